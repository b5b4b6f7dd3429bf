// Office Open XML workbooks (.xlsx, .xlsm) in a ZIP archive.
#pragma once

#include "sheets/sheet_sink.h"
#include "sheets/zip.h"

#include <string>

namespace brisquel::sheets {

// The main part of the package in `archive`, as its relationships name it: "" when it has none.
std::string officeDocumentPart(const ZipArchive& archive);

// Hands every visible worksheet of the workbook whose workbook part is `workbookPart` to
// `sink`, in the workbook's order.
void readXlsx(const ZipArchive& archive, const std::string& workbookPart, SheetSink& sink);

} // namespace brisquel::sheets
