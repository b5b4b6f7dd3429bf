// Reads format codes from the fuzzer's input and shows numbers and a text through them,
// checking that nothing crashes and that what a cell shows stays in proportion to the code.
//
// The input is the code, then after the first 0xFF byte the values: each eight bytes one
// double, the last short piece the text a text cell holds.
#include "sheets/number_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using brisquel::sheets::DateSystem;
using brisquel::sheets::NumberFormat;

[[noreturn]] void fail(const char* what, std::string_view code) {
    std::fprintf(stderr, "number_format_fuzz: broken: %s for code \"%.*s\"\n", what,
                 static_cast<int>(code.size()), code.data());
    std::abort();
}

// Every byte of a code adds a few characters at most, whatever the value: a digit and its
// thousands comma, a percent's two digits, a date part's name.
std::size_t shownLimit(std::string_view code, std::size_t text) {
    return 1024 + code.size() * (12 + text);
}

void show(const NumberFormat& format, std::string_view code, double value) {
    for (const auto dates : {DateSystem::From1900, DateSystem::From1904}) {
        std::string out;
        format.format(value, dates, out);
        if (out.size() > shownLimit(code, 0))
            fail("a number shows out of proportion", code);
    }
    // General must read back as the value it shows (near the largest double, rounding up may
    // read back as infinity).
    std::string general;
    NumberFormat().format(value, DateSystem::From1900, general);
    const double back = std::strtod(general.c_str(), nullptr);
    if (std::isfinite(value) && std::isfinite(back) && std::fabs(back - value) > std::fabs(value) * 1e-3)
        fail("General does not read back", general);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto cut = input.find('\xFF');
    const std::string_view code = input.substr(0, cut);
    std::string_view rest = cut == std::string_view::npos ? std::string_view{} : input.substr(cut + 1);
    const NumberFormat format(code);
    for (const double value : {0.0, -0.0, 1.0, -1.5, 0.5, 1234.5678, 45000.75, -45000.75, 1e-7, 1e20})
        show(format, code, value);
    for (; rest.size() >= sizeof(double); rest.remove_prefix(sizeof(double))) {
        double value = 0;
        std::memcpy(&value, rest.data(), sizeof value);
        show(format, code, value);
    }
    std::string text;
    format.formatText(rest, text);
    if (text.size() > shownLimit(code, rest.size()))
        fail("a text shows out of proportion", code);
    return 0;
}
