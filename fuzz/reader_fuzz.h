// What the file readers' fuzz targets share: a sink that traps on calls out of order or on
// more text than the input can give, and the one exception a reader may throw.
#pragma once

#include "sheets/sheet_sink.h"

#include <cstddef>
#include <string_view>

namespace brisquel::fuzz {

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
        check(m_text <= m_limit);
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

// Reads `bytes` with `read`. A cell far down and right in a sheet of a few dozen bytes
// gives megabytes of padding, but no more: the text stays within a bound linear in the
// input.
template <typename Reader> void readChecked(std::string_view bytes, Reader read) {
    CheckingSink sink(bytes.size() * (std::size_t{1} << 19) + (std::size_t{1} << 26));
    try {
        read(bytes, sink);
    } catch (const sheets::ReadError&) {
    }
}

} // namespace brisquel::fuzz
