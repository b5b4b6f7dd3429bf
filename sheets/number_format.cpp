// The number formats of a Chinese Excel: a code is read once into sections of tokens, then each
// value is shown through the section it falls in, without allocating.
#include "sheets/number_format.h"

#include "sheets/date_serial.h"
#include "sheets/decimal_digits.h"
#include "sheets/format_code.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace brisquel::sheets {

namespace {

// What a cell shows when its value has no text under the code: a date before 1900 or after
// 9999, or a value no section's condition takes.
constexpr std::string_view unshowable = "########";

// The digits each placeholder group is filled from, for one value.
struct Fill {
    std::array<Decimal, static_cast<int>(DigitGroup::Count)> groups;
    bool negativeExponent = false;
    // A fraction whose numerator is 0 shows its whole part alone, blanks in place of the rest.
    bool blankFraction = false;
    // Whether what shows is zero: a negative number that rounds to zero shows no sign.
    bool zero = false;
};

// Most literals are one character: a separator between digits or date parts.
void appendLiteral(const std::string& text, std::string& out) {
    if (text.size() == 1)
        out += text[0];
    else
        out += text;
}

void appendPad(char placeholder, std::string& out) {
    if (placeholder == '0')
        out += '0';
    else if (placeholder == '?')
        out += ' ';
}

void appendDigit(const FormatSection& section, const FormatToken& token, const Fill& fill, std::string& out) {
    const Decimal& digits = fill.groups[static_cast<int>(token.group)];
    switch (token.group) {
    case DigitGroup::Decimals:
        if (digits.count > 0 &&
            token.position < std::min(digits.count - digits.point, section.placeholders[1]))
            out += fractionDigit(digits, token.position);
        else
            appendPad(token.placeholder, out);
        return;
    case DigitGroup::Denominator: {
        const int length = wholeLength(digits);
        if (fill.blankFraction)
            out += token.placeholder == '#' ? "" : " ";
        else if (token.position < length)
            out += wholeDigit(digits, length - 1 - token.position);
        else
            appendPad(token.placeholder, out);
        return;
    }
    default:
        break;
    }
    if (fill.blankFraction && token.group == DigitGroup::Numerator) {
        out += token.placeholder == '#' ? "" : " ";
        return;
    }
    const int length = wholeLength(digits);
    const int placeholders = section.placeholders[static_cast<int>(token.group)];
    const bool grouped = section.thousands && token.group == DigitGroup::Whole;
    const auto separate = [&](int fromRight) {
        if (grouped && fromRight > 0 && fromRight % 3 == 0)
            out += ',';
    };
    if (token.position == placeholders - 1) {
        for (int i = length - 1; i >= placeholders; --i) {
            out += wholeDigit(digits, i);
            separate(i);
        }
    }
    if (token.position < length) {
        out += wholeDigit(digits, token.position);
        separate(token.position);
    } else if (token.placeholder == '0') {
        out += '0';
        separate(token.position);
    } else {
        appendPad(token.placeholder, out);
    }
}

void appendNumberTokens(const FormatSection& section, const Fill& fill, std::string& out) {
    for (const FormatToken& token : section.tokens) {
        switch (token.kind) {
        case TokenKind::Digit:
            appendDigit(section, token, fill, out);
            break;
        case TokenKind::Point:
            out += '.';
            break;
        case TokenKind::Exponent:
            out += 'E';
            if (fill.negativeExponent)
                out += '-';
            else if (token.count == 1)
                out += '+';
            break;
        case TokenKind::Slash:
            out += fill.blankFraction ? ' ' : '/';
            break;
        default:
            if (fill.blankFraction && token.group == DigitGroup::Denominator) {
                out.append(static_cast<std::size_t>(token.count), ' ');
                out.append(token.text, static_cast<std::size_t>(token.count));
                break;
            }
            appendLiteral(token.text, out);
            break;
        }
    }
}

// The fraction Excel shows for `magnitude` with a denominator of at most `limit`: the last
// convergent of its continued fraction that fits, never a semiconvergent, though one may lie
// nearer. So 0.456 shows 1/2 under "?/?" (not 4/9) and 26/57 under "??/??" (not 31/68). The
// expansion is of the double the cell holds: 0.3 is held just under 3/10, expands as
// [0; 3, 2, 1, ...] and shows 2/7, while 12.3, held just over, shows 12 1/3.
std::pair<std::int64_t, std::int64_t> lastConvergent(double magnitude, std::int64_t limit) {
    std::int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double rest = magnitude;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        if (whole > 1e15)
            break;
        const auto a = static_cast<std::int64_t>(whole);
        if (q1 > 0 && a > (limit - q0) / q1)
            break;
        const std::int64_t p2 = p0 + a * p1, q2 = q0 + a * q1;
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        if (rest - whole < 1e-12)
            break;
        rest = 1 / (rest - whole);
    }
    return {p1, q1};
}

void fillFraction(const FormatSection& section, double magnitude, Fill& fill) {
    const bool hasWhole = section.placeholders[static_cast<int>(DigitGroup::Whole)] > 0;
    std::int64_t limit = section.fixedDenominator;
    if (limit == 0) {
        limit = 1;
        for (int i = 0; i < std::min(section.placeholders[static_cast<int>(DigitGroup::Denominator)], 9); ++i)
            limit *= 10;
        limit = std::max<std::int64_t>(limit - 1, 1);
    }
    // Past this the numerator would not fit in 64 bits: the value shows as a whole number.
    if (magnitude * static_cast<double>(limit) >= 1e17) {
        Decimal rounded = decimalOf(magnitude);
        roundTo(rounded, 0);
        fill.groups[static_cast<int>(hasWhole ? DigitGroup::Whole : DigitGroup::Numerator)] = rounded;
        fill.groups[static_cast<int>(DigitGroup::Denominator)] = decimalOfWhole(1);
        fill.blankFraction = hasWhole;
        return;
    }
    double whole = hasWhole ? std::floor(magnitude) : 0;
    const double part = magnitude - whole;
    std::int64_t numerator = 0, denominator = limit;
    if (section.fixedDenominator > 0)
        numerator = static_cast<std::int64_t>(std::floor(part * static_cast<double>(limit) + 0.5));
    else
        std::tie(numerator, denominator) = lastConvergent(part, limit);
    if (hasWhole && numerator == denominator) {
        whole += 1;
        numerator = 0;
    }
    fill.groups[0] = decimalOfWhole(static_cast<std::uint64_t>(whole));
    fill.groups[static_cast<int>(DigitGroup::Numerator)] =
        decimalOfWhole(static_cast<std::uint64_t>(numerator));
    fill.groups[static_cast<int>(DigitGroup::Denominator)] =
        decimalOfWhole(static_cast<std::uint64_t>(denominator));
    fill.blankFraction = hasWhole && numerator == 0;
    fill.zero = numerator == 0 && whole == 0;
    // A zero still shows its 0, whatever the placeholder: in the whole part, or without one
    // in the numerator ("0/1").
    Decimal& zero = fill.groups[static_cast<int>(hasWhole ? DigitGroup::Whole : DigitGroup::Numerator)];
    if (zero.count == 0 && (!hasWhole || fill.blankFraction)) {
        zero.digits[0] = '0';
        zero.count = zero.point = 1;
    }
}

void fillScientific(const FormatSection& section, double magnitude, Fill& fill) {
    Decimal mantissa = decimalOf(magnitude);
    const int width = std::max(section.placeholders[static_cast<int>(DigitGroup::Whole)], 1);
    const int decimals = section.placeholders[static_cast<int>(DigitGroup::Decimals)];
    int exponent = 0;
    if (mantissa.count > 0) {
        const int natural = mantissa.point - 1;
        const auto place = [&](int e) {
            if (!section.engineering)
                return e - (width - 1);
            return e >= 0 ? e / width * width : -((-e + width - 1) / width) * width;
        };
        exponent = place(natural);
        mantissa.point -= exponent;
        roundTo(mantissa, decimals);
        if (mantissa.point > width) { // rounded up to one more digit: 9.99 to 10.0
            mantissa.point += exponent;
            exponent = place(mantissa.point - 1);
            mantissa.point -= exponent;
        }
    }
    fill.groups[0] = mantissa;
    fill.groups[1] = mantissa;
    fill.zero = mantissa.count == 0;
    fill.negativeExponent = exponent < 0;
    fill.groups[static_cast<int>(DigitGroup::Exponent)] =
        decimalOfWhole(static_cast<std::uint64_t>(std::abs(exponent)));
}

constexpr std::string_view chineseNumerals[] = {"日", "一", "二", "三", "四",   "五",  "六",
                                                "七", "八", "九", "十", "十一", "十二"};

void appendDatePart(const FormatSection& section, const FormatToken& token, const Moment& moment,
                    std::string& out) {
    const int count = token.count;
    switch (token.kind) {
    case TokenKind::Year:
        appendPadded(count <= 2 ? moment.year % 100 : moment.year, count <= 2 ? 2 : 4, out);
        break;
    case TokenKind::Month:
        if (count <= 2) {
            appendPadded(moment.month, count, out);
        } else if (count == 3) {
            appendPadded(moment.month, 1, out);
            out += "月";
        } else {
            out += chineseNumerals[moment.month];
            if (count == 4)
                out += "月";
        }
        break;
    case TokenKind::Day:
        if (count <= 2)
            appendPadded(moment.day, count, out);
        else
            out += count == 3 ? "周" : "星期", out += chineseNumerals[moment.weekday];
        break;
    case TokenKind::ChineseWeekday:
        if (count > 3)
            out += "星期";
        out += chineseNumerals[moment.weekday];
        break;
    case TokenKind::Hour:
        appendPadded(section.twelveHour ? (moment.hour + 11) % 12 + 1 : moment.hour, std::min(count, 2), out);
        break;
    case TokenKind::Minute:
        appendPadded(moment.minute, std::min(count, 2), out);
        break;
    case TokenKind::Second:
        appendPadded(moment.second, std::min(count, 2), out);
        break;
    case TokenKind::Subsecond: {
        out += '.';
        std::int64_t digits = moment.subsecond;
        for (int i = count; i < section.subsecondDigits; ++i)
            digits /= 10;
        appendPadded(digits, count, out);
        break;
    }
    case TokenKind::AmPm:
        out += moment.hour < 12 ? "上午" : "下午";
        break;
    case TokenKind::ElapsedHours:
        appendPadded(moment.totalUnits / moment.unitsPerSecond / 3600, count, out);
        break;
    case TokenKind::ElapsedMinutes:
        appendPadded(moment.totalUnits / moment.unitsPerSecond / 60, count, out);
        break;
    case TokenKind::ElapsedSeconds:
        appendPadded(moment.totalUnits / moment.unitsPerSecond, count, out);
        break;
    default:
        appendLiteral(token.text, out);
        break;
    }
}

void appendDate(const FormatSection& section, double value, DateSystem dates, std::string& out) {
    Moment moment;
    if (!momentOf(value, dates, section.subsecondDigits, moment)) {
        out += unshowable;
        return;
    }
    for (const FormatToken& token : section.tokens)
        appendDatePart(section, token, moment, out);
}

// The short way of a plain fixed-point section: false, with nothing written, when it has no
// answer (a value rounding to zero or past 15 digits, or one scaledDigits cannot decide).
bool appendPlainFixed(const FormatSection& section, double magnitude, bool negative, std::string& out) {
    std::uint64_t digits = 0;
    int wholeDigits = 0;
    if (!scaledDigits(magnitude, digits, wholeDigits))
        return false;
    wholeDigits += section.shift;
    const int decimals = section.placeholders[static_cast<int>(DigitGroup::Decimals)];
    const int keep = wholeDigits + decimals;
    if (keep < 1 || keep > 15)
        return false;
    digits = roundDigits(digits, keep, wholeDigits);
    char text[24];
    std::to_chars(text, text + sizeof text, digits);
    if (negative)
        out += '-';
    out += section.prefix;
    const int shown = std::max(wholeDigits, 0);
    for (int i = std::max(shown, section.zeros) - 1; i >= 0; --i) {
        out += i < shown ? text[shown - 1 - i] : '0';
        if (section.thousands && i > 0 && i % 3 == 0)
            out += ',';
    }
    if (section.point)
        out += '.';
    for (int i = wholeDigits; i < wholeDigits + decimals; ++i)
        out += i >= 0 ? text[i] : '0';
    out += section.suffix;
    return true;
}

void appendNumber(const FormatSection& section, double magnitude, bool negative, std::string& out) {
    if (section.plain && appendPlainFixed(section, magnitude, negative, out))
        return;
    Fill fill;
    if (section.type == FormatSection::Type::Fraction) {
        fillFraction(section, magnitude, fill);
    } else if (section.type == FormatSection::Type::Scientific) {
        fillScientific(section, magnitude, fill);
    } else {
        Decimal decimal = decimalOf(magnitude);
        decimal.point += section.shift;
        roundTo(decimal, section.placeholders[static_cast<int>(DigitGroup::Decimals)]);
        fill.groups[0] = fill.groups[1] = decimal;
        fill.zero = decimal.count == 0;
    }
    if (negative && !fill.zero)
        out += '-';
    appendNumberTokens(section, fill, out);
}

} // namespace

NumberFormat::NumberFormat(std::string_view code) {
    auto sections = readFormatCode(code);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        FormatSection& section = sections[i];
        if (i == 3 || (section.type == FormatSection::Type::Text && sections.size() < 4))
            m_textSection.assign(1, std::move(section));
        else if (section.type != FormatSection::Type::Text)
            m_numberSections.push_back(std::move(section));
    }
    const auto plain = [](const FormatSection& s) {
        return s.type == FormatSection::Type::General && s.tokens.size() == 1 && !s.condition;
    };
    m_plainGeneral = m_numberSections.empty() || (m_numberSections.size() == 1 && plain(m_numberSections[0]));
    for (std::size_t i = 0; i < m_numberSections.size(); ++i)
        m_showsMinus[i] = takesPositives(m_numberSections[i]);
}

NumberFormat::NumberFormat(const NumberFormat&) = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(const NumberFormat&) = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;
NumberFormat::~NumberFormat() = default;

// Without conditions one section takes every number, two split at zero (negatives to the
// second), three give zero the third. Conditions pick their section first; a section without
// one takes what the conditions leave.
const FormatSection* NumberFormat::sectionFor(double value) const {
    const auto& sections = m_numberSections;
    const bool conditioned =
        std::any_of(sections.begin(), sections.end(), [](const FormatSection& s) { return s.condition; });
    if (!conditioned) {
        if (sections.size() == 1 || (value > 0) || (value == 0 && sections.size() == 2))
            return &sections[0];
        return value < 0 ? &sections[1] : &sections[2];
    }
    for (const FormatSection& section : sections)
        if (section.condition && section.condition->holds(value))
            return &section;
    for (const FormatSection& section : sections)
        if (!section.condition)
            return &section;
    return nullptr;
}

// A section shows a negative number's minus sign only if it takes positive numbers too; one
// that takes negatives alone says so by being chosen. So Excel shows -5 as 5 under "0;0" and
// "[<0]0", -30 as 30 under "[<-25]0.0;0.0" but -5 there as -5.0, since the section left after
// "[<-25]" also takes the positives; under "[>=-1]0;0" the rest is all negative, and -2 shows 2.
// Which section a positive number falls in changes only at the conditions' operands, so the
// operands, a point between each two of them and one past the last stand for all of them.
bool NumberFormat::takesPositives(const FormatSection& section) const {
    std::vector<double> operands;
    for (const FormatSection& s : m_numberSections)
        if (s.condition && s.condition->operand > 0)
            operands.push_back(s.condition->operand);
    std::sort(operands.begin(), operands.end());
    const auto takes = [&](double value) { return sectionFor(value) == &section; };
    double below = 0;
    for (const double operand : operands) {
        if (takes(below / 2 + operand / 2) || takes(operand))
            return true;
        below = operand;
    }
    return takes(below == 0 ? 1 : below * 2);
}

void NumberFormat::format(double value, DateSystem dates, std::string& out) const {
    if (m_plainGeneral || !std::isfinite(value)) {
        appendGeneral(value, out);
        return;
    }
    const FormatSection* section = sectionFor(value);
    if (section == nullptr) {
        out += unshowable;
        return;
    }
    const bool negative =
        value < 0 && m_showsMinus[static_cast<std::size_t>(section - m_numberSections.data())];
    const double magnitude = std::fabs(value);
    switch (section->type) {
    case FormatSection::Type::Date:
        appendDate(*section, value, dates, out);
        break;
    case FormatSection::Type::General:
        for (const FormatToken& token : section->tokens)
            if (token.kind == TokenKind::General)
                appendGeneral(negative ? value : magnitude, out);
            else
                out += token.text;
        break;
    default:
        appendNumber(*section, magnitude, negative, out);
        break;
    }
}

void NumberFormat::formatText(std::string_view text, std::string& out) const {
    if (m_textSection.empty()) {
        out += text;
        return;
    }
    for (const FormatToken& token : m_textSection[0].tokens)
        if (token.kind == TokenKind::Text || token.kind == TokenKind::General)
            out += text;
        else if (token.kind == TokenKind::Literal)
            out += token.text;
}

} // namespace brisquel::sheets
