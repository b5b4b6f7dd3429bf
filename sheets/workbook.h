// A report file of any kind the tool reads, recognised by its content.
#pragma once

#include "sheets/sheet_sink.h"

#include <string_view>

namespace brisquel::sheets {

// Hands the sheets of the file whose bytes are `bytes` to `sink`, in the file's order, or
// throws ReadError. The kind is told by the content, never by the file's name.
void readWorkbook(std::string_view bytes, SheetSink& sink);

// readWorkbook's branches for a ZIP archive and for a compound file, each telling the kind
// inside its container.
void readZipWorkbook(std::string_view bytes, SheetSink& sink);
void readCompoundWorkbook(std::string_view bytes, SheetSink& sink);

} // namespace brisquel::sheets
