// Web pages: the .xls that business systems save as an HTML table, and .htm or .html pages.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands the rows of every table of the page, in the page's order, to `sink` as one sheet, as a
// spreadsheet opens the page; or throws ReadError.
void readHtml(std::string_view bytes, SheetSink& sink);

} // namespace brisquel::sheets
