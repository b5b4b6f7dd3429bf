// Placeholder until the text-file reader lands.
#include "sheets/text_file.h"

namespace brisquel::sheets {

void readTextFile(std::string_view, SheetSink&) {
    throw ReadError(Problem::NotASpreadsheet, "文本文件");
}

} // namespace brisquel::sheets
