// The kinds of report file, told apart by their first bytes.
#include "sheets/workbook.h"

#include "sheets/text_file.h"
#include "sheets/xls.h"
#include "sheets/xlsx.h"

namespace brisquel::sheets {

void readWorkbook(std::string_view bytes, SheetSink& sink) {
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with(std::string_view("PK\x05\x06", 4)))
        return readZipWorkbook(bytes, sink);
    if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return readCompoundWorkbook(bytes, sink);
    readTextFile(bytes, sink);
}

} // namespace brisquel::sheets
