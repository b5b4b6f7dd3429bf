// Workbooks in a ZIP archive: Office Open XML (.xlsx, .xlsm), OpenDocument spreadsheets (.ods),
// and the kinds the tool names but does not read.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands every visible worksheet of the workbook in the archive `bytes` to `sink`, in the
// workbook's order.
void readZipWorkbook(std::string_view bytes, SheetSink& sink);

} // namespace brisquel::sheets
