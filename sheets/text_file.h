// Text files: a .csv, .txt or .tsv report, or an export of the tool's own, read as one sheet.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands the file's text to `sink` as one sheet. UTF-8 with or without a byte-order mark,
// UTF-16 with one, otherwise GB18030; TAB-separated when the first line holds a TAB,
// otherwise comma-separated with quoted fields.
void readTextFile(std::string_view bytes, SheetSink& sink);

} // namespace brisquel::sheets
