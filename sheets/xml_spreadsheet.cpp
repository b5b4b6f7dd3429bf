#include "sheets/xml_spreadsheet.h"

#include "sheets/read_error.h"

namespace brisquel::sheets {

void readXmlSpreadsheet(std::string_view, SheetSink&) {
    throw ReadError(Problem::OtherSpreadsheet, "XML 格式的表格");
}

} // namespace brisquel::sheets
