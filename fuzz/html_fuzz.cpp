// The fuzzer's input read as a web page into a sink that checks the order of its calls and
// the size of the text. Only ReadError may come out.
#include "sheets/html.h"

#include "reader_fuzz.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brisquel::fuzz::readChecked(std::string_view(reinterpret_cast<const char*>(data), size),
                                brisquel::sheets::readHtml);
    return 0;
}
