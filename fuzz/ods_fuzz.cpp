// Reads the input as the content.xml of an .ods, stored in an archive of its own, so that the
// fuzzer's changes reach the table reader rather than a checksum. Whatever it holds, the reader
// gives well-bracketed sheets or a ReadError; text past a bound stops the run, since a tiny
// table may rightly repeat a value to the sheet's end.
#include "sheets/sheet_sink.h"
#include "sheets/workbook.h"
#include "xlsx_writer.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

struct TooLong {};

// Aborts on a call out of order: append or an end outside a sheet, a sheet begun inside one.
class CheckingSink final : public brisquel::sheets::SheetSink {
public:
    void beginSheet(brisquel::sheets::SheetSize) override { expect(!std::exchange(m_inSheet, true)); }
    void append(std::string_view text) override {
        expect(m_inSheet);
        if ((m_bytes += text.size()) > (std::size_t{1} << 24))
            throw TooLong();
    }
    void restartSheet() override { expect(m_inSheet); }
    void endSheet() override { expect(std::exchange(m_inSheet, false)); }

private:
    static void expect(bool condition) {
        if (!condition)
            std::abort();
    }
    bool m_inSheet = false;
    std::size_t m_bytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brisquel::sheets::testing::ZipWriter zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    zip.add("content.xml", std::string_view(reinterpret_cast<const char*>(data), size), false);
    const std::string file = zip.finish();
    CheckingSink sink;
    try {
        brisquel::sheets::readZipWorkbook(file, sink);
    } catch (const brisquel::sheets::ReadError& error) {
        if (error.problem() == brisquel::sheets::Problem::Damaged && error.detail().empty())
            std::abort();
    } catch (const TooLong&) {
    }
    return 0;
}
