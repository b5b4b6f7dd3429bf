// What the file readers' fuzz targets share: a sink that traps on calls out of order and cuts
// the text off past a bound, and the one exception a reader may throw.
#pragma once

#include "sheets/sheet_sink.h"

#include <cstddef>
#include <string_view>

namespace brisquel::fuzz {

// Thrown by the sink past its bound: a tiny file may rightly stand for gigabytes of empty
// cells (one value at A1 and one at XFD1048576), and a reader must survive a sink that throws
// as it survives running out of memory.
struct TextBound {};

class CheckingSink final : public sheets::SheetSink {
public:
    explicit CheckingSink(std::size_t limit) : m_limit(limit) {}
    void beginSheet(sheets::SheetSize) override {
        check(!m_open);
        m_open = true;
    }
    void append(std::string_view text) override {
        check(m_open);
        m_text += text.size();
        if (m_text > m_limit)
            throw TextBound{};
    }
    void restartSheet() override { check(m_open); }
    void endSheet() override {
        check(m_open);
        m_open = false;
    }

private:
    static void check(bool condition) {
        if (!condition)
            __builtin_trap();
    }

    std::size_t m_limit;
    std::size_t m_text = 0;
    bool m_open = false;
};

// Reads `bytes` with `read`, its text cut off past 64 MiB.
template <typename Reader> void readChecked(std::string_view bytes, Reader read) {
    CheckingSink sink(std::size_t{1} << 26);
    try {
        read(bytes, sink);
    } catch (const sheets::ReadError&) {
    } catch (const TextBound&) {
    }
}

} // namespace brisquel::fuzz
