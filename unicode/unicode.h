// Unicode for every layer: UTF-8 checked and decoded, code points and UTF-16 written as UTF-8,
// UTF-8 written as UTF-16. One rule throughout: half a surrogate pair, a surrogate code, a code
// above U+10FFFF and each maximal invalid subpart of UTF-8 become U+FFFD.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>

namespace brisquel {

inline constexpr char32_t replacementCharacter = U'\uFFFD';

// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when none starts
// there: an ASCII byte, or a lead byte C2..F4 with all its continuation bytes, no overlong
// form, no surrogate, nothing above U+10FFFF.
std::size_t utf8SequenceLength(std::string_view bytes);

// Whether the bytes are valid UTF-8 from start to end.
bool isValidUtf8(std::string_view bytes);

struct DecodedUtf8 {
    char32_t code;
    std::size_t length; // the bytes taken, 1 to 4; 0 only for no bytes
};

// The character at the start of `bytes`: a valid sequence's code point, or U+FFFD for the
// maximal invalid subpart there (the longest start of a valid sequence, or else one byte).
DecodedUtf8 decodeUtf8(std::string_view bytes);

// Writes the UTF-8 bytes of `code`, at most four, and returns their end; a surrogate code or
// one above U+10FFFF writes U+FFFD.
char* writeUtf8(char32_t code, char* out);
void appendUtf8(char32_t code, std::string& out);

// Copies UTF-8 to `out`, which has room for three bytes per byte, with U+FFFD for each
// maximal invalid subpart, and returns the end of what was written.
char* repairUtf8(std::string_view bytes, char* out);

// Writes UTF-16 as UTF-8 to `out`, which has room for three bytes per unit and
// utf16ToUtf8Slack bytes more, and returns the end of what was written; with `widen`, every
// LF is written as CR LF.
char* utf16ToUtf8(std::u16string_view units, bool widen, char* out);
inline constexpr std::size_t utf16ToUtf8Slack = 16;

// UTF-16 bytes, little- or big-endian, as UTF-8; an odd last byte becomes U+FFFD, as half a
// surrogate pair does.
std::string utf16BytesToUtf8(std::string_view bytes, bool bigEndian);

// Writes UTF-8 as UTF-16 to `out`, which has room for one unit per byte, and returns the end
// of what was written.
char16_t* utf8ToUtf16(std::string_view bytes, char16_t* out);

#if WCHAR_MAX == 0xFFFF
// The same for the wide text of the Windows API.
char* utf16ToUtf8(std::wstring_view units, bool widen, char* out);
wchar_t* utf8ToUtf16(std::string_view bytes, wchar_t* out);
#endif

// UTF-16 handed over one unit at a time, as a reader finds it, written as UTF-8; a pair may
// straddle two calls.
class Utf16Decoder {
public:
    void put(char16_t unit, std::string& out) {
        if (m_high != 0) {
            const char32_t high = m_high;
            m_high = 0;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                appendUtf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00u), out);
                return;
            }
            appendUtf8(replacementCharacter, out);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_high = unit;
        else
            appendUtf8(unit, out);
    }

    // The end of the text: a high half still waiting for its other half is U+FFFD.
    void finish(std::string& out) {
        if (m_high != 0)
            appendUtf8(replacementCharacter, out);
        m_high = 0;
    }

private:
    char16_t m_high = 0;
};

} // namespace brisquel
