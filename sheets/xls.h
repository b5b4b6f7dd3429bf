// Excel 97-2003 workbooks (.xls, and the .et files WPS keeps in the same container): BIFF8
// records in the `Workbook` stream of a compound file.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands every visible worksheet of the workbook in the compound file `bytes` to `sink`, in
// the workbook's order, or names what the file is when it holds no workbook the tool reads.
void readCompoundWorkbook(std::string_view bytes, SheetSink& sink);

// The same for the records of a `Workbook` stream alone.
void readBiffWorkbook(std::string_view stream, SheetSink& sink);

} // namespace brisquel::sheets
