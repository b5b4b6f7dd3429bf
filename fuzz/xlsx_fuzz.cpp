// Reads the input as a workbook archive. Whatever it holds, the reader gives sheets or a
// ReadError; its text is cut off past a bound, since a tiny file may rightly stand for
// gigabytes of empty cells.
#include "sheets/sheet_sink.h"
#include "sheets/workbook.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct TooLong {};

class BoundedSink final : public brisquel::sheets::SheetSink {
public:
    void beginSheet(brisquel::sheets::SheetSize) override {
        if (m_open)
            std::abort();
        m_open = true;
    }
    void append(std::string_view text) override {
        if (!m_open)
            std::abort();
        m_bytes += text.size();
        if (m_bytes > (std::size_t{1} << 24))
            throw TooLong();
    }
    void restartSheet() override {
        if (!m_open)
            std::abort();
    }
    void endSheet() override {
        if (!m_open)
            std::abort();
        m_open = false;
    }

private:
    bool m_open = false;
    std::size_t m_bytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BoundedSink sink;
    try {
        brisquel::sheets::readZipWorkbook(std::string_view(reinterpret_cast<const char*>(data), size), sink);
    } catch (const brisquel::sheets::ReadError& error) {
        if (error.problem() == brisquel::sheets::Problem::Damaged && error.detail().empty())
            std::abort();
    } catch (const TooLong&) {
    }
    return 0;
}
