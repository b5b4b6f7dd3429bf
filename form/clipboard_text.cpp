// Clipboard text for the import (UTF-8 rows ending in CR LF) and for the condition fields.
#include "form/clipboard_text.h"

#include "engine/memory.h"

#include <memory>

namespace brisquel {

namespace {

constexpr bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

template <typename Char> bool containsCrLf(std::basic_string_view<Char> text) {
    for (std::size_t cr = text.find(Char('\r')); cr != text.npos; cr = text.find(Char('\r'), cr + 1)) {
        if (cr + 1 < text.size() && text[cr + 1] == Char('\n'))
            return true;
    }
    return false;
}

template <typename Char> bool widens(std::basic_string_view<Char> text, LineEnds lineEnds) {
    return lineEnds == LineEnds::WidenLineFeeds && text.find(Char('\n')) != text.npos && !containsCrLf(text);
}

// Writes UTF-16 as UTF-8 to `out`, which has room for three bytes per unit, and returns the
// end of what was written; with `widen`, every LF is written as CR LF. A whole sheet is a
// hundred million units that switch between Chinese and ASCII every few characters, so
// each unit is written as three byte stores chosen without branches and the output moves
// on by the unit's length; only surrogates take a branch.
char* encode(std::u16string_view text, bool widen, char* out) {
    const char16_t* unit = text.data();
    const char16_t* const end = unit + text.size();
    while (unit < end) {
        const char32_t c = *unit++;
        if (isSurrogate(c)) {
            if (c >= 0xDC00 || unit == end || *unit < 0xDC00 || *unit > 0xDFFF) {
                *out++ = '?'; // half a pair
                continue;
            }
            const char32_t code = 0x10000 + ((c - 0xD800) << 10) + (*unit++ - 0xDC00);
            *out++ = static_cast<char>(0xF0 | code >> 18);
            *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
            continue;
        }
        const bool one = c < 0x80;
        const bool two = c < 0x800;
        const bool lineFeed = widen && c == u'\n';
        const char32_t b0 = one ? c : two ? (0xC0 | c >> 6) : (0xE0 | c >> 12);
        const char32_t b1 = two ? (0x80 | (c & 0x3F)) : (0x80 | (c >> 6 & 0x3F));
        const char32_t b2 = 0x80 | (c & 0x3F);
        out[0] = static_cast<char>(lineFeed ? '\r' : b0);
        out[1] = static_cast<char>(lineFeed ? '\n' : b1);
        out[2] = static_cast<char>(b2);
        out += lineFeed ? 2 : one ? 1 : two ? 2 : 3;
    }
    return out;
}

// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when none starts
// there: a lead byte C2..F4 with all its continuation bytes, no overlong form, no surrogate,
// nothing above U+10FFFF.
std::size_t validSequence(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || bytes.size() < length)
        return 0;
    char32_t code = lead & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    return code < least || isSurrogate(code) || code > 0x10FFFF ? 0 : length;
}

// Copies UTF-8 to `out`, which has room for three bytes per byte, and returns the end of
// what was written; a byte that starts no valid sequence becomes U+FFFD, and with `widen`
// every LF becomes CR LF.
char* encode(std::string_view text, bool widen, char* out) {
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            if (widen && c == '\n')
                *out++ = '\r';
            *out++ = c;
            ++i;
            continue;
        }
        const std::size_t length = validSequence(text.substr(i));
        if (length == 0) {
            for (char replacement : {'\xEF', '\xBF', '\xBD'})
                *out++ = replacement;
            ++i;
            continue;
        }
        for (const std::size_t end = i + length; i < end; ++i)
            *out++ = text[i];
    }
    return out;
}

} // namespace

std::string reportText(const ClipboardText& clipboard, LineEnds lineEnds) {
    return std::visit(
        [&](auto text) {
            // Room for the longest encoding; the pages beyond what is written are never
            // touched, so they cost address space, not memory.
            const std::size_t room = text.size() * 3;
            const std::unique_ptr<char[]> buffer(new char[room]);
            adviseHugePages(buffer.get(), room);
            char* end = encode(text, widens(text, lineEnds), buffer.get());
            std::string converted;
            reserveLarge(converted, static_cast<std::size_t>(end - buffer.get()));
            converted.assign(buffer.get(), end);
            return converted;
        },
        clipboard.text);
}

std::string fieldText(const ClipboardText& clipboard) {
    std::string text = reportText(clipboard, LineEnds::AsCopied);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

} // namespace brisquel
