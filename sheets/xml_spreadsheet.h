// Excel 2003 XML Spreadsheets: the other .xls that business systems save, a workbook written as
// one XML document.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands the worksheets that are not hidden, in the workbook's order, to `sink`; or throws
// ReadError.
void readXmlSpreadsheet(std::string_view bytes, SheetSink& sink);

} // namespace brisquel::sheets
