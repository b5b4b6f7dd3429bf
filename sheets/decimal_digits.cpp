// The digits of a number as a cell keeps them, their rounding, and General with the short ways
// it takes for the numbers sheets mostly hold.
#include "sheets/decimal_digits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace brisquel::sheets {

namespace {

// General shows at most this many characters, a minus sign aside: the width of a cell of
// standard width.
constexpr int generalWidth = 11;
// What a cell shows for a value a workbook cannot hold (NaN, infinity).
constexpr std::string_view notANumber = "#NUM!";

void readScientific(const char* begin, const char* end, Decimal& decimal) {
    decimal.count = 0;
    const char* p = begin;
    for (; p != end && *p != 'e'; ++p)
        if (*p != '.')
            decimal.digits[decimal.count++] = *p;
    int exponent = 0;
    if (p != end)
        std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    while (decimal.count > 0 && decimal.digits[decimal.count - 1] == '0')
        --decimal.count;
    decimal.point = exponent + 1;
}

} // namespace

Decimal decimalOfWhole(std::uint64_t whole) {
    Decimal decimal;
    if (whole == 0)
        return decimal;
    const auto end =
        std::to_chars(decimal.digits.data(), decimal.digits.data() + decimal.digits.size(), whole).ptr;
    decimal.count = decimal.point = static_cast<int>(end - decimal.digits.data());
    while (decimal.digits[decimal.count - 1] == '0')
        --decimal.count;
    return decimal;
}

bool scaledDigits(double magnitude, std::uint64_t& digits, int& wholeDigits) {
    static constexpr double powers[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    if (!(magnitude >= 1e-4 && magnitude < 1e15))
        return false;
    // From the binary exponent: 1233 / 4096 is just under log10(2), so the guess is n or n - 1.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    wholeDigits = ((static_cast<int>(bits >> 52) - 1023) * 1233 >> 12) + 1;
    if (magnitude >= powers[wholeDigits + 4])
        ++wholeDigits;
    const double scaled = magnitude * powers[19 - wholeDigits];
    if (scaled < 1e14 || scaled >= 1e15)
        return false;
    digits = static_cast<std::uint64_t>(scaled); // truncates: the floor of a positive number
    const double fraction = scaled - static_cast<double>(digits);
    if (fraction > 0.4 && fraction < 0.6)
        return false;
    digits += fraction >= 0.6 ? 1 : 0;
    return true;
}

namespace {

std::optional<Decimal> decimalOfScaled(double magnitude) {
    std::uint64_t digits = 0;
    int wholeDigits = 0;
    if (!scaledDigits(magnitude, digits, wholeDigits))
        return std::nullopt;
    Decimal decimal = decimalOfWhole(digits);
    decimal.point += wholeDigits - 15;
    return decimal;
}

} // namespace

Decimal decimalOf(double magnitude) {
    if (const auto scaled = decimalOfScaled(magnitude))
        return *scaled;
    Decimal decimal;
    if (magnitude == 0)
        return decimal;
    char text[40];
    auto end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific).ptr;
    readScientific(text, end, decimal);
    if (decimal.count > 15) {
        end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 14).ptr;
        readScientific(text, end, decimal);
    }
    return decimal;
}

void roundTo(Decimal& decimal, int fractionDigits) {
    const int keep = decimal.point + fractionDigits;
    if (keep >= decimal.count)
        return;
    if (keep < 0) {
        decimal.count = 0;
        return;
    }
    const bool up = decimal.digits[keep] >= '5';
    decimal.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && decimal.digits[i] == '9')
            --i;
        if (i < 0) {
            decimal.digits[0] = '1';
            decimal.count = 1;
            ++decimal.point;
            return;
        }
        ++decimal.digits[i];
        decimal.count = i + 1;
    }
    while (decimal.count > 0 && decimal.digits[decimal.count - 1] == '0')
        --decimal.count;
}

void appendPadded(std::int64_t number, int width, std::string& out) {
    if (number >= 0 && number < 100 && width <= 2) { // the parts of a date and time
        if (number >= 10 || width == 2)
            out += static_cast<char>('0' + number / 10);
        out += static_cast<char>('0' + number % 10);
        return;
    }
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, number).ptr;
    for (auto length = end - text; length < width; ++length)
        out += '0';
    out.append(text, end);
}

namespace {

void appendPlain(const Decimal& decimal, std::string& out) {
    const int whole = wholeLength(decimal);
    if (whole == 0)
        out += '0';
    for (int i = whole - 1; i >= 0; --i)
        out += wholeDigit(decimal, i);
    if (decimal.count > decimal.point) {
        out += '.';
        for (int i = 0; decimal.point + i < decimal.count; ++i)
            out += fractionDigit(decimal, i);
    }
}

void appendGeneralScientific(Decimal decimal, int width, std::string& out) {
    int exponent = decimal.point - 1;
    decimal.point = 1;
    // "d." before the digits, "E+dd" after them.
    roundTo(decimal, width - 4 - (std::abs(exponent) >= 100 ? 3 : 2));
    if (decimal.point == 2) {
        ++exponent;
        decimal.point = 1;
    }
    appendPlain(decimal, out);
    out += exponent < 0 ? "E-" : "E+";
    appendPadded(std::abs(exponent), 2, out);
}

// General's short way for a fixed-point number: the 15 digits rounded in one step to the
// digits `width` characters hold. False, with nothing written, when it has no answer.
bool appendGeneralFixed(double magnitude, int width, std::string& out) {
    std::uint64_t digits = 0;
    int wholeDigits = 0;
    if (magnitude >= 1e11 || !scaledDigits(magnitude, digits, wholeDigits))
        return false;
    const int keep = wholeDigits >= 1 ? std::max(width - 1, wholeDigits) : width - 2 + wholeDigits;
    digits = roundDigits(digits, keep, wholeDigits);
    if (wholeDigits > generalWidth)
        return false;
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, digits).ptr;
    const auto whole = std::max(wholeDigits, 0);
    char* last = end;
    while (last > text + whole && last[-1] == '0')
        --last;
    if (whole == 0)
        out.append("0.").append(static_cast<std::size_t>(-wholeDigits), '0');
    else
        out.append(text, static_cast<std::size_t>(whole));
    if (last > text + whole) {
        if (whole > 0)
            out += '.';
        out.append(text + whole, static_cast<std::size_t>(last - (text + whole)));
    }
    return true;
}

} // namespace

void appendGeneral(double value, std::string& out) {
    if (!std::isfinite(value)) {
        out += notANumber;
        return;
    }
    const double magnitude = std::fabs(value);
    if (magnitude < 1e11 && magnitude == static_cast<double>(static_cast<std::int64_t>(magnitude))) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(value)).ptr;
        out.append(text, static_cast<std::size_t>(end - text));
        return;
    }
    // The minus sign is not counted: -1.127783765 keeps the digits 1.127783765 has.
    if (value < 0)
        out += '-';
    if (appendGeneralFixed(magnitude, generalWidth, out))
        return;
    Decimal decimal = decimalOf(magnitude);
    if (decimal.point >= -3 && decimal.point <= generalWidth) {
        roundTo(decimal, std::max(generalWidth - std::max(decimal.point, 1) - 1, 0));
        if (decimal.point <= generalWidth) {
            appendPlain(decimal, out);
            return;
        }
    }
    appendGeneralScientific(decimal, generalWidth, out);
}

} // namespace brisquel::sheets
