// Placeholder until the workbook reader lands.
#include "sheets/xlsx.h"

namespace brisquel::sheets {

void readZipWorkbook(std::string_view, SheetSink&) {
    throw ReadError(Problem::OtherSpreadsheet, "ZIP");
}

} // namespace brisquel::sheets
