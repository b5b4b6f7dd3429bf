// Placeholder until the formatter lands: General for whole numbers and plain decimals only.
#include "sheets/number_format.h"

#include <cstdio>

namespace brisquel::sheets {

std::string_view builtinFormatCode(int) {
    return {};
}

NumberFormat::NumberFormat(std::string_view) {}

void NumberFormat::format(double value, DateSystem, std::string& out) const {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    out += text;
}

void NumberFormat::formatText(std::string_view text, std::string& out) const {
    out += text;
}

} // namespace brisquel::sheets
