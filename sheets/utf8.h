// UTF-8 for the clipboard and the text files: the validity of bytes, and UTF-16 written as UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace brisquel {

// The length of the valid UTF-8 sequence at the start of `bytes`, or 0 when none starts
// there: an ASCII byte, or a lead byte C2..F4 with all its continuation bytes, no overlong
// form, no surrogate, nothing above U+10FFFF.
std::size_t utf8SequenceLength(std::string_view bytes);

// Whether the bytes are valid UTF-8 from start to end.
bool isValidUtf8(std::string_view bytes);

// What the import needs to know of a clipboard's bytes before its first row, found in one
// pass over them.
struct Utf8Survey {
    bool valid = true;         // valid UTF-8 from start to end
    std::size_t lineFeeds = 0; // LF bytes
    bool crLf = false;         // a CR right before an LF somewhere
};

Utf8Survey surveyUtf8(std::string_view bytes);

// Writes UTF-16 as UTF-8 to `out`, which has room for three bytes per unit and
// utf16EncodeSlack bytes more, and returns the end of what was written. Half a surrogate
// pair becomes "?"; with `widen`, every LF is written as CR LF.
char* encodeUtf16(std::u16string_view text, bool widen, char* out);

inline constexpr std::size_t utf16EncodeSlack = 16;

} // namespace brisquel
