// UTF-8 to and from UTF-16 through the Unicode unit, by its rule: half a surrogate pair and
// each invalid subpart of UTF-8 become U+FFFD.
#include "wide_text.h"

#include "unicode/unicode.h"

#include <memory>

namespace brisquel::win32 {

// A field may hold a whole pasted sheet: the text is written into room for its longest
// conversion, which costs address space only, then copied at its real size.
std::wstring widen(std::string_view utf8) {
    const std::unique_ptr<wchar_t[]> room(new wchar_t[utf8.size()]);
    return {room.get(), utf8ToUtf16(utf8, room.get())};
}

std::string narrow(std::wstring_view utf16) {
    const std::unique_ptr<char[]> room(new char[utf16.size() * 3 + utf16ToUtf8Slack]);
    return {room.get(), utf16ToUtf8(utf16, false, room.get())};
}

} // namespace brisquel::win32
