// The OpenDocument spreadsheet reader (.ods): the tables of content.xml, scanned as it inflates.
#pragma once

#include "sheets/sheet_sink.h"
#include "sheets/zip.h"

namespace brisquel::sheets {

// Hands every visible table of the OpenDocument spreadsheet in `archive` to `sink`, in the
// document's order, each cell showing the text its paragraphs hold.
void readOds(const ZipArchive& archive, SheetSink& sink);

} // namespace brisquel::sheets
