// The fuzzer's input read as an XML Spreadsheet into a sink that checks the order of its calls
// and cuts the text off past a bound. Only ReadError may come out.
#include "sheets/xml_spreadsheet.h"

#include "reader_fuzz.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brisquel::fuzz::readChecked(std::string_view(reinterpret_cast<const char*>(data), size),
                                brisquel::sheets::readXmlSpreadsheet);
    return 0;
}
