// Reads the input as a text file. A ReadError is an answer; anything else escaping, or a
// sheet's text that breaks the rules of whole-sheet text, is a fault.
#include "sheets/text_file.h"
#include "unicode/unicode.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace brisquel::sheets;

struct CheckingSink final : SheetSink {
    int sheets = 0;
    std::int64_t expectedRows = 0;
    std::string text;
    void beginSheet(SheetSize expected) override {
        ++sheets;
        expectedRows = expected.rows;
    }
    void append(std::string_view piece) override { text += piece; }
    void restartSheet() override { text.clear(); }
    void endSheet() override {}
};

std::int64_t rowEnds(const std::string& text) {
    std::int64_t count = 0;
    for (std::size_t at = text.find("\r\n"); at != text.npos; at = text.find("\r\n", at + 2))
        ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckingSink sink;
    try {
        readTextFile(std::string_view(reinterpret_cast<const char*>(data), size), sink);
    } catch (const ReadError&) {
        if (sink.sheets != 0)
            std::abort(); // refused after the sheet began
        return 0;
    }
    const bool wellFormed = sink.sheets == 1 && !sink.text.empty() && sink.text.ends_with("\r\n") &&
                            rowEnds(sink.text) == sink.expectedRows && brisquel::isValidUtf8(sink.text);
    if (!wellFormed)
        std::abort();
    return 0;
}
