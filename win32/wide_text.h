// UTF-8, the texts inside the tool, to and from UTF-16, the texts of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace brisquel::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

} // namespace brisquel::win32
