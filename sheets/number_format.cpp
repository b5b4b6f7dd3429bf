// Placeholder until the formatter lands: every number as General would show a whole number.
#include "sheets/number_format.h"

namespace brisquel::sheets {

std::string_view builtinFormatCode(int) {
    return {};
}

NumberFormat::NumberFormat(std::string_view) {}

void NumberFormat::format(double value, DateSystem, std::string& out) const {
    out += std::to_string(value);
}

void NumberFormat::formatText(std::string_view text, std::string& out) const {
    out += text;
}

} // namespace brisquel::sheets
