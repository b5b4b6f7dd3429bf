// BIFF8 or BIFF5 records from the fuzzer's input, read as a workbook's stream into a sink that
// checks the order of its calls. Only ReadError may come out.
#include "sheets/xls.h"

#include "reader_fuzz.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brisquel::fuzz::readChecked(std::string_view(reinterpret_cast<const char*>(data), size),
                                brisquel::sheets::readBiffWorkbook);
    return 0;
}
