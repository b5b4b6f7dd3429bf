// The reader of number format codes: a code split into its sections, each read into tokens
// (digits, date parts, literals), with its condition and the brackets it holds settled.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// What a token of a section shows. The date and time parts come last, from Year on.
enum class TokenKind : std::uint8_t {
    Literal,
    Digit,
    Point,
    Comma,
    Slash,
    Percent,
    Exponent,
    Text,
    General,
    Year,
    MonthOrMinute,
    Month,
    Minute,
    Day,
    ChineseWeekday,
    Hour,
    Second,
    Subsecond,
    AmPm,
    ElapsedHours,
    ElapsedMinutes,
    ElapsedSeconds,
};

// The digit placeholders of a number section fall in groups, each filled from its own
// digits: whole digits fill from the right, decimals and denominators from the left.
enum class DigitGroup : std::uint8_t { Whole, Decimals, Exponent, Numerator, Denominator, Count };

struct FormatToken {
    TokenKind kind = TokenKind::Literal;
    // '0', '#' or '?' for a digit; the letter count of a date part; the digits shown of an
    // elapsed time or of the fraction of a second; 1 for an exponent that shows its plus sign;
    // the digits of a fixed denominator ("?/16") a literal opens with, its group Denominator.
    int count = 0;
    char placeholder = 0;
    DigitGroup group = DigitGroup::Whole;
    // Of a digit: its place in its group, counted from where the group fills.
    int position = 0;
    std::string text;
};

enum class Comparison : std::uint8_t { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };

// A section's condition ("[>=100]"): the numbers it takes.
struct Condition {
    Comparison comparison;
    double operand;

    bool holds(double value) const {
        switch (comparison) {
        case Comparison::Less:
            return value < operand;
        case Comparison::LessOrEqual:
            return value <= operand;
        case Comparison::Greater:
            return value > operand;
        case Comparison::GreaterOrEqual:
            return value >= operand;
        case Comparison::Equal:
            return value == operand;
        case Comparison::NotEqual:
            return value != operand;
        }
        return false;
    }
};

// One section of a code as read, with what its tokens settled about how it shows a value.
struct FormatSection {
    enum class Type : std::uint8_t { Number, Scientific, Fraction, Date, General, Text };
    Type type = Type::Number;
    std::vector<FormatToken> tokens;
    std::optional<Condition> condition;
    std::array<int, static_cast<int>(DigitGroup::Count)> placeholders{};
    bool thousands = false;
    // Powers of ten the value is shifted by: two for each percent, minus three for each
    // comma that scales by a thousand.
    int shift = 0;
    // Scientific mantissas whose whole part holds '#' keep exponents that are multiples of
    // its width ("##0.0E+0" shows 12.3E+3).
    bool engineering = false;
    // A fixed-point section of the plain kind ("0.00", "#,##0", "0.0%", "¥#,##0.00元"): text,
    // whole digits '#' then '0', a point and decimals '0' only, text; `zeros` counts the whole
    // '0's. Such sections take the short way.
    bool plain = false;
    bool point = false;
    int zeros = 0;
    std::string prefix, suffix;
    int fixedDenominator = 0;
    bool twelveHour = false;
    int subsecondDigits = 0;
};

// The sections of `code` in its order, at most four: numbers through the first three, text
// through the one with "@" or the fourth. None when the code is empty or has more, which no
// cell's code can: such a code shows its cells as General.
std::vector<FormatSection> readFormatCode(std::string_view code);

} // namespace brisquel::sheets
