// UTF-8 to and from UTF-16 through the system's own conversion.
#include "wide_text.h"

#include <windows.h>

#include <limits>

namespace brisquel::win32 {

namespace {

// The API counts in int; a field or a message is far below that, but a clipboard pasted into
// a field may be a whole sheet, so longer texts go in slices that end on a whole character.
constexpr std::size_t slice = std::size_t{1} << 28;

} // namespace

std::wstring widen(std::string_view utf8) {
    std::wstring wide;
    while (!utf8.empty()) {
        std::size_t size = std::min(slice, utf8.size());
        while (size < utf8.size() && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80)
            --size;
        const int count = static_cast<int>(size);
        const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, nullptr, 0);
        const std::size_t start = wide.size();
        wide.resize(start + static_cast<std::size_t>(units));
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, wide.data() + start, units);
        utf8.remove_prefix(size);
    }
    return wide;
}

std::string narrow(std::wstring_view utf16) {
    std::string utf8;
    while (!utf16.empty()) {
        std::size_t size = std::min(slice, utf16.size());
        if (size < utf16.size() && utf16[size] >= 0xDC00 && utf16[size] <= 0xDFFF)
            --size; // keep a surrogate pair together
        const int count = static_cast<int>(size);
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, nullptr, 0, nullptr, nullptr);
        const std::size_t start = utf8.size();
        utf8.resize(start + static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), count, utf8.data() + start, bytes, nullptr, nullptr);
        utf16.remove_prefix(size);
    }
    return utf8;
}

} // namespace brisquel::win32
