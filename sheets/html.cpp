#include "sheets/html.h"

#include "sheets/read_error.h"

namespace brisquel::sheets {

void readHtml(std::string_view, SheetSink&) {
    throw ReadError(Problem::OtherSpreadsheet, "网页格式（HTML）的表格");
}

} // namespace brisquel::sheets
