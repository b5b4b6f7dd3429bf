// Numbers as the decimal digits a cell keeps, rounded as a cell rounds them, and General, the
// format of a cell that has none.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace brisquel::sheets {

// A number as the decimal digits a cell keeps: at most 15 significant digits and no trailing
// zeros; the value is 0.digits times ten to the power `point`. No digits is zero.
struct Decimal {
    std::array<char, 24> digits; // only the first `count` are ever read
    int count = 0;
    int point = 0;
};

// `magnitude` is finite and not negative. The shortest text that reads back as the same
// double is what was typed; past 15 digits Excel keeps 15, so 0.1+0.2 is 0.3.
Decimal decimalOf(double magnitude);
Decimal decimalOfWhole(std::uint64_t whole);

// Rounds half away from zero on the decimal digits, as a cell does: 2.5 shows 3 under "0".
void roundTo(Decimal& decimal, int fractionDigits);

inline int wholeLength(const Decimal& decimal) {
    return decimal.count == 0 ? 0 : (decimal.point > 0 ? decimal.point : 0);
}

// The digit `fromRight` places left of the point (0 is the units).
inline char wholeDigit(const Decimal& decimal, int fromRight) {
    const int index = decimal.point - 1 - fromRight;
    return index >= 0 && index < decimal.count ? decimal.digits[index] : '0';
}

// The digit `fromPoint` places right of the point (0 is the tenths).
inline char fractionDigit(const Decimal& decimal, int fromPoint) {
    const int index = decimal.point + fromPoint;
    return index >= 0 && index < decimal.count ? decimal.digits[index] : '0';
}

// The short way for the numbers sheets mostly hold: scaled to 15 whole digits, the value
// rounds to its 15 significant digits unless the scaling's own rounding error (under 0.07 of
// the last digit) could tip a half; then there is no answer and the long way decides.
// `digits` gets the 15 digits, `wholeDigits` n where 10^(n-1) <= magnitude < 10^n.
bool scaledDigits(double magnitude, std::uint64_t& digits, int& wholeDigits);

inline constexpr std::uint64_t powersOfTen[] = {1,
                                                10,
                                                100,
                                                1000,
                                                10000,
                                                100000,
                                                1000000,
                                                10000000,
                                                100000000,
                                                1000000000,
                                                10000000000,
                                                100000000000,
                                                1000000000000,
                                                10000000000000,
                                                100000000000000,
                                                1000000000000000};

// Rounds the 15 digits scaledDigits gives to their first `keep` (1 to 15), half up. A carry
// to one more digit (9.99 to 10.0) moves the point: the result then has keep + 1 digits.
inline std::uint64_t roundDigits(std::uint64_t digits, int keep, int& wholeDigits) {
    const std::uint64_t drop = powersOfTen[15 - keep];
    digits = (digits + drop / 2) / drop;
    if (digits >= powersOfTen[keep])
        ++wholeDigits;
    return digits;
}

// Appends `number` with at least `width` digits, zeros in front.
void appendPadded(std::int64_t number, int width, std::string& out);

// General: whole numbers of up to 11 digits in full, other numbers rounded to fit 11
// characters with the point (a minus sign comes on top), scientific past that or below
// 0.0001. NaN and the infinities show "#NUM!".
void appendGeneral(double value, std::string& out);

} // namespace brisquel::sheets
