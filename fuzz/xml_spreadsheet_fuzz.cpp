// The fuzzer's input read as an XML Spreadsheet into a sink that checks the order of its
// calls. Only ReadError may come out; the text is cut off past a bound, since a cell far down
// and right in a file of a few dozen bytes rightly stands for gigabytes of padding.
#include "sheets/xml_spreadsheet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

struct TooLong {};

class BoundedSink final : public brisquel::sheets::SheetSink {
public:
    void beginSheet(brisquel::sheets::SheetSize) override {
        check(!m_open);
        m_open = true;
    }
    void append(std::string_view text) override {
        check(m_open);
        m_bytes += text.size();
        if (m_bytes > (std::size_t{1} << 24))
            throw TooLong();
    }
    void restartSheet() override { check(m_open); }
    void endSheet() override {
        check(m_open);
        m_open = false;
    }

private:
    static void check(bool condition) {
        if (!condition)
            std::abort();
    }

    bool m_open = false;
    std::size_t m_bytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BoundedSink sink;
    try {
        brisquel::sheets::readXmlSpreadsheet(std::string_view(reinterpret_cast<const char*>(data), size),
                                             sink);
    } catch (const brisquel::sheets::ReadError& error) {
        if (error.problem() == brisquel::sheets::Problem::Damaged && error.detail().empty())
            std::abort();
    } catch (const TooLong&) {
    }
    return 0;
}
