// The number formats a workbook names by number alone, as a Chinese Excel shows them.
#pragma once

#include <string_view>

namespace brisquel::sheets {

// The code of built-in number format `id` as a Chinese Excel shows it (14 is "yyyy/m/d"),
// or "" when `id` is no built-in format.
std::string_view builtinFormatCode(int id);

} // namespace brisquel::sheets
