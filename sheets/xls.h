// Excel 97-2003 workbooks (.xls, and the .et files WPS keeps in the same container): BIFF8
// records in the `Workbook` stream of a compound file; and Excel 5.0/95 ones, BIFF5 records in
// its `Book` stream.
#pragma once

#include "sheets/compound.h"
#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands every visible worksheet of the workbook in the stream `stream` of `file` to `sink`,
// in the workbook's order, or names the kind when it is an Excel the tool does not read. A
// workbook encrypted with Excel's default password, which Excel opens unasked, is decrypted.
void readXls(const CompoundFile& file, std::string_view stream, SheetSink& sink);

// The same for the records of a `Workbook` or `Book` stream alone.
void readBiffWorkbook(std::string_view stream, SheetSink& sink);

} // namespace brisquel::sheets
