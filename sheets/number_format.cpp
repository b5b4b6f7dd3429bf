// The number formats of a Chinese Excel: a code is read once into sections of tokens, then each
// value is shown through the section it falls in, without allocating.
#include "sheets/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <tuple>

namespace brisquel::sheets {

namespace {

// General shows at most this many characters: the width of a cell of standard width.
constexpr int generalWidth = 11;
// What a cell shows when its value has no text under the code: a date before 1900 or after
// 9999, or a value no section's condition takes.
constexpr std::string_view unshowable = "########";
// What a cell shows for a value a workbook cannot hold (NaN, infinity).
constexpr std::string_view notANumber = "#NUM!";
// The last serial that is still a date: 9999-12-31 in the 1900 system.
constexpr double lastSerial1900 = 2958465;
// 1904-01-01 is serial 1462 of the 1900 system.
constexpr double lastSerial1904 = lastSerial1900 - 1462;

// A number as the decimal digits a cell keeps: at most 15 significant digits and no trailing
// zeros; the value is 0.digits times ten to the power `point`. No digits is zero.
struct Decimal {
    std::array<char, 24> digits{};
    int count = 0;
    int point = 0;
};

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

// `magnitude` is finite and not negative. The shortest text that reads back as the same
// double is what was typed; past 15 digits Excel keeps 15, so 0.1+0.2 is 0.3.
Decimal decimalOf(double magnitude) {
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

// Rounds half away from zero on the decimal digits, as a cell does: 2.5 shows 3 under "0".
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

int wholeLength(const Decimal& decimal) {
    return decimal.count == 0 ? 0 : std::max(decimal.point, 0);
}

// The digit `fromRight` places left of the point (0 is the units).
char wholeDigit(const Decimal& decimal, int fromRight) {
    const int index = decimal.point - 1 - fromRight;
    return index >= 0 && index < decimal.count ? decimal.digits[index] : '0';
}

// The digit `fromPoint` places right of the point (0 is the tenths).
char fractionDigit(const Decimal& decimal, int fromPoint) {
    const int index = decimal.point + fromPoint;
    return index >= 0 && index < decimal.count ? decimal.digits[index] : '0';
}

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

void appendPadded(std::int64_t number, int width, std::string& out) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, number).ptr;
    for (auto length = end - text; length < width; ++length)
        out += '0';
    out.append(text, end);
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

// General: whole numbers of up to 11 digits in full, other numbers rounded to fit 11
// characters with the sign and the point, scientific past that or below 0.0001.
void appendGeneral(double value, std::string& out) {
    if (!std::isfinite(value)) {
        out += notANumber;
        return;
    }
    const double magnitude = std::fabs(value);
    if (magnitude < 1e11 && magnitude == std::floor(magnitude)) {
        char text[24];
        out.append(text, std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(value)).ptr);
        return;
    }
    const int width = value < 0 ? generalWidth - 1 : generalWidth;
    if (value < 0)
        out += '-';
    Decimal decimal = decimalOf(magnitude);
    if (decimal.point >= -3 && decimal.point <= generalWidth) {
        roundTo(decimal, std::max(width - std::max(decimal.point, 1) - 1, 0));
        if (decimal.point <= generalWidth) {
            appendPlain(decimal, out);
            return;
        }
    }
    appendGeneralScientific(decimal, width, out);
}

enum class Kind : std::uint8_t {
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
enum class Group : std::uint8_t { Whole, Decimals, Exponent, Numerator, Denominator, Count };

struct Token {
    Kind kind = Kind::Literal;
    // '0', '#' or '?' for a digit; the letter count of a date part; the digits shown of an
    // elapsed time or of the fraction of a second; 1 for an exponent that shows its plus sign.
    int count = 0;
    char placeholder = 0;
    Group group = Group::Whole;
    // Of a digit: its place in its group, counted from where the group fills.
    int position = 0;
    std::string text;
};

enum class Comparison : std::uint8_t { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };

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

} // namespace

struct NumberFormat::Section {
    enum class Type : std::uint8_t { Number, Scientific, Fraction, Date, General, Text };
    Type type = Type::Number;
    std::vector<Token> tokens;
    std::optional<Condition> condition;
    std::array<int, static_cast<int>(Group::Count)> placeholders{};
    bool thousands = false;
    // Powers of ten the value is shifted by: two for each percent, minus three for each
    // comma that scales by a thousand.
    int shift = 0;
    // Scientific mantissas whose whole part holds '#' keep exponents that are multiples of
    // its width ("##0.0E+0" shows 12.3E+3).
    bool engineering = false;
    int fixedDenominator = 0;
    bool twelveHour = false;
    int subsecondDigits = 0;
};

namespace {

using Section = NumberFormat::Section;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[at + i]) != prefix[i])
            return false;
    return true;
}

// The bytes of the UTF-8 character that starts at `at`, cut short at the end of the text.
std::size_t characterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, text.size() - at);
}

std::vector<std::string_view> splitSections(std::string_view code) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"' || c == '[') {
            const std::size_t close = code.find(c == '"' ? '"' : ']', i + 1);
            i = close == std::string_view::npos ? code.size() : close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == ';') {
            sections.push_back(code.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(code.substr(std::min(start, code.size())));
    return sections;
}

void addLiteral(std::vector<Token>& tokens, std::string_view text) {
    if (!tokens.empty() && tokens.back().kind == Kind::Literal)
        tokens.back().text += text;
    else
        tokens.push_back({Kind::Literal, 0, 0, Group::Whole, 0, std::string(text)});
}

void addToken(std::vector<Token>& tokens, Kind kind, int count, char c = 0) {
    tokens.push_back({kind, count, c, Group::Whole, 0, c == 0 ? std::string() : std::string(1, c)});
}

std::optional<Condition> readCondition(std::string_view text) {
    static constexpr std::pair<std::string_view, Comparison> operators[] = {
        {"<=", Comparison::LessOrEqual}, {">=", Comparison::GreaterOrEqual}, {"<>", Comparison::NotEqual},
        {"<", Comparison::Less},         {">", Comparison::Greater},         {"=", Comparison::Equal}};
    for (const auto& [symbol, comparison] : operators) {
        if (!text.starts_with(symbol))
            continue;
        double operand = 0;
        const auto rest = text.substr(symbol.size());
        if (std::from_chars(rest.data(), rest.data() + rest.size(), operand).ec != std::errc{})
            return std::nullopt;
        return Condition{comparison, operand};
    }
    return std::nullopt;
}

// What a [...] holds: a condition, an elapsed time, a currency symbol, or a colour, a locale
// or a numeral system that a copied cell does not show.
void readBracket(std::string_view inside, Section& section, std::vector<Token>& tokens,
                 std::string_view& systemFormat) {
    if (inside.empty())
        return;
    const char first = lower(inside[0]);
    if (first == '<' || first == '>' || first == '=') {
        section.condition = readCondition(inside);
    } else if (first == '$') {
        const auto dash = inside.find('-');
        addLiteral(tokens, inside.substr(1, dash == std::string_view::npos ? dash : dash - 1));
        const auto locale = dash == std::string_view::npos ? std::string_view{} : inside.substr(dash + 1);
        // The system's long date and time, as a Chinese Windows writes them.
        if (startsWithNoCase(locale, 0, "f800"))
            systemFormat = "yyyy\"年\"m\"月\"d\"日\"";
        else if (startsWithNoCase(locale, 0, "f400"))
            systemFormat = "h:mm:ss";
    } else if ((first == 'h' || first == 'm' || first == 's') &&
               std::all_of(inside.begin(), inside.end(), [&](char c) { return lower(c) == first; })) {
        const Kind kind = first == 'h'   ? Kind::ElapsedHours
                          : first == 'm' ? Kind::ElapsedMinutes
                                         : Kind::ElapsedSeconds;
        addToken(tokens, kind, static_cast<int>(std::min<std::size_t>(inside.size(), 20)));
    }
}

std::size_t runLength(std::string_view code, std::size_t at) {
    std::size_t end = at;
    while (end < code.size() && lower(code[end]) == lower(code[at]))
        ++end;
    return end - at;
}

// Reads one section into tokens; what needs context (month or minute, thousands or scaling)
// is settled afterwards.
std::vector<Token> tokenize(std::string_view code, Section& section, std::string_view& systemFormat) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        const char l = lower(c);
        std::size_t next = i + 1;
        if (c == '"') {
            const auto close = code.find('"', next);
            next = close == std::string_view::npos ? code.size() : close + 1;
            addLiteral(tokens, code.substr(i + 1, next - i - 1 - (close == std::string_view::npos ? 0 : 1)));
        } else if (c == '\\' && next < code.size()) {
            next += characterLength(code, next);
            addLiteral(tokens, code.substr(i + 1, next - i - 1));
        } else if (c == '_' && next < code.size()) {
            next += characterLength(code, next);
            addLiteral(tokens, " ");
        } else if (c == '*' && next < code.size()) {
            next += characterLength(code, next);
        } else if (c == '[') {
            const auto close = code.find(']', next);
            next = close == std::string_view::npos ? code.size() : close + 1;
            readBracket(code.substr(i + 1, next - i - 1 - (close == std::string_view::npos ? 0 : 1)), section,
                        tokens, systemFormat);
        } else if (c == '0' || c == '#' || c == '?') {
            addToken(tokens, Kind::Digit, 0, c);
        } else if (c == '.' || c == ',' || c == '/' || c == '%' || c == '@') {
            const Kind kind = c == '.'   ? Kind::Point
                              : c == ',' ? Kind::Comma
                              : c == '/' ? Kind::Slash
                              : c == '%' ? Kind::Percent
                                         : Kind::Text;
            addToken(tokens, kind, 0, c);
        } else if (l == 'e' && next < code.size() && (code[next] == '+' || code[next] == '-')) {
            addToken(tokens, Kind::Exponent, code[next] == '+' ? 1 : 0, 'E');
            ++next;
        } else if (startsWithNoCase(code, i, "general")) {
            addToken(tokens, Kind::General, 0);
            next = i + 7;
        } else if (startsWithNoCase(code, i, "am/pm") || startsWithNoCase(code, i, "a/p") ||
                   code.substr(i).starts_with("上午/下午")) {
            addToken(tokens, Kind::AmPm, 0);
            next =
                i + (l == 'a' ? (lower(code[i + 1]) == 'm' ? 5 : 3) : std::string_view("上午/下午").size());
        } else if (l == 'y' || l == 'e' || l == 'm' || l == 'd' || l == 'h' || l == 's' || l == 'g' ||
                   l == 'b' || (l == 'a' && runLength(code, i) >= 3)) {
            const std::size_t run = runLength(code, i);
            next = i + run;
            const int count = static_cast<int>(std::min<std::size_t>(run, 20));
            switch (l) {
            case 'y':
            case 'e':
                addToken(tokens, Kind::Year, l == 'e' ? 4 : count);
                break;
            case 'm':
                addToken(tokens, Kind::MonthOrMinute, count);
                break;
            case 'd':
                addToken(tokens, Kind::Day, count);
                break;
            case 'a':
                addToken(tokens, Kind::ChineseWeekday, count);
                break;
            case 'h':
                addToken(tokens, Kind::Hour, count);
                break;
            case 's':
                addToken(tokens, Kind::Second, count);
                break;
            default: // eras and the Buddhist year: not shown in a Chinese workbook's cells
                break;
            }
        } else {
            next = i + characterLength(code, i);
            addLiteral(tokens, code.substr(i, next - i));
        }
        i = next;
    }
    return tokens;
}

bool isDatePart(Kind kind) {
    return kind >= Kind::Year;
}

void makeLiteral(Token& token) {
    token.kind = Kind::Literal;
}

// A month after an hour or before a second is a minute; a point and zeros after a second
// show its fraction.
void settleDate(Section& section) {
    auto& tokens = section.tokens;
    Kind previous = Kind::Literal;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& token = tokens[i];
        if (token.kind == Kind::MonthOrMinute) {
            auto after = std::find_if(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, tokens.end(),
                                      [](const Token& t) { return isDatePart(t.kind); });
            const bool minute =
                token.count <= 2 && (previous == Kind::Hour || previous == Kind::ElapsedHours ||
                                     (after != tokens.end() &&
                                      (after->kind == Kind::Second || after->kind == Kind::ElapsedSeconds)));
            token.kind = minute ? Kind::Minute : Kind::Month;
        } else if (token.kind == Kind::Point &&
                   (previous == Kind::Second || previous == Kind::ElapsedSeconds)) {
            std::size_t zeros = i + 1;
            while (zeros < tokens.size() && tokens[zeros].kind == Kind::Digit &&
                   tokens[zeros].placeholder == '0')
                ++zeros;
            if (zeros > i + 1) {
                token.kind = Kind::Subsecond;
                token.count = static_cast<int>(std::min<std::size_t>(zeros - i - 1, 3));
                section.subsecondDigits = std::max(section.subsecondDigits, token.count);
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                             tokens.begin() + static_cast<std::ptrdiff_t>(zeros));
            }
        }
        if (token.kind == Kind::AmPm)
            section.twelveHour = true;
        if (isDatePart(token.kind))
            previous = token.kind;
        else if (token.kind != Kind::Literal)
            makeLiteral(token);
    }
}

bool isDigit(const std::vector<Token>& tokens, std::size_t i) {
    return i < tokens.size() && tokens[i].kind == Kind::Digit;
}

// A comma between digits groups thousands; commas after the last digit of a number scale it
// down by a thousand each; any other comma is shown.
void settleCommas(Section& section) {
    auto& tokens = section.tokens;
    bool afterDigits = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& token = tokens[i];
        if (token.kind == Kind::Comma) {
            std::size_t j = i;
            while (j < tokens.size() && tokens[j].kind == Kind::Comma)
                ++j;
            const bool betweenDigits =
                afterDigits && isDigit(tokens, j) && tokens[i - 1].group == Group::Whole;
            const bool scaling = afterDigits && !isDigit(tokens, j);
            if (betweenDigits)
                section.thousands = true;
            for (std::size_t k = i; k < j; ++k) {
                if (betweenDigits || scaling)
                    tokens[k].text.clear();
                makeLiteral(tokens[k]);
            }
            if (scaling)
                section.shift -= 3 * static_cast<int>(j - i);
            i = j - 1;
            continue;
        }
        afterDigits = token.kind == Kind::Digit;
    }
}

void assignGroup(std::vector<Token>& tokens, std::size_t begin, std::size_t end, Group group) {
    for (std::size_t i = begin; i < end; ++i)
        if (tokens[i].kind == Kind::Digit)
            tokens[i].group = group;
}

// A fraction's denominator is either digits given in the code ("?/8") or placeholders that
// bound it ("??" allows up to 99).
bool settleFraction(Section& section) {
    auto& tokens = section.tokens;
    const auto slash = static_cast<std::size_t>(
        std::find_if(tokens.begin(), tokens.end(), [](const Token& t) { return t.kind == Kind::Slash; }) -
        tokens.begin());
    if (slash == tokens.size() || slash == 0 || !isDigit(tokens, slash - 1) || slash + 1 == tokens.size())
        return false;
    std::size_t numerator = slash;
    while (numerator > 0 && isDigit(tokens, numerator - 1))
        --numerator;
    assignGroup(tokens, 0, numerator, Group::Whole);
    assignGroup(tokens, numerator, slash, Group::Numerator);
    Token& first = tokens[slash + 1];
    if (first.kind == Kind::Literal && !first.text.empty() && first.text[0] >= '1' && first.text[0] <= '9') {
        std::int64_t denominator = 0;
        for (std::size_t i = slash + 1; i < tokens.size(); ++i) {
            Token& token = tokens[i];
            if (token.kind == Kind::Digit && token.placeholder == '0') {
                makeLiteral(token); // the zeros of "?/100" are digits of the denominator
            } else if (token.kind != Kind::Literal) {
                break;
            }
            std::size_t used = 0;
            while (used < token.text.size() && token.text[used] >= '0' && token.text[used] <= '9')
                denominator =
                    std::min<std::int64_t>(denominator * 10 + (token.text[used++] - '0'), 100000000);
            if (used < token.text.size())
                break;
        }
        section.fixedDenominator = static_cast<int>(denominator);
    } else if (first.kind == Kind::Digit) {
        std::size_t end = slash + 1;
        while (isDigit(tokens, end))
            ++end;
        assignGroup(tokens, slash + 1, end, Group::Denominator);
        for (std::size_t i = end; i < tokens.size(); ++i)
            if (tokens[i].kind == Kind::Digit)
                makeLiteral(tokens[i]);
    } else {
        return false;
    }
    section.type = Section::Type::Fraction;
    return true;
}

void settleNumber(Section& section) {
    auto& tokens = section.tokens;
    const auto find = [&](Kind kind) {
        return static_cast<std::size_t>(
            std::find_if(tokens.begin(), tokens.end(), [&](const Token& t) { return t.kind == kind; }) -
            tokens.begin());
    };
    const std::size_t exponent = find(Kind::Exponent);
    if (exponent == tokens.size() && settleFraction(section)) {
        // settled
    } else {
        const std::size_t point = std::min(find(Kind::Point), exponent);
        assignGroup(tokens, 0, point, Group::Whole);
        assignGroup(tokens, point, exponent, Group::Decimals);
        if (exponent < tokens.size()) {
            section.type = Section::Type::Scientific;
            assignGroup(tokens, exponent, tokens.size(), Group::Exponent);
        }
    }
    settleCommas(section);
    const bool fraction = section.type == Section::Type::Fraction;
    bool pointSeen = false;
    for (Token& token : tokens) {
        if (token.kind == Kind::Percent)
            section.shift += 2;
        const bool kept = token.kind == Kind::Digit || token.kind == Kind::Exponent ||
                          (token.kind == Kind::Slash && fraction) ||
                          (token.kind == Kind::Point && !fraction && !pointSeen);
        pointSeen = pointSeen || token.kind == Kind::Point;
        if (!kept)
            makeLiteral(token);
    }
    for (Token& token : tokens)
        if (token.kind == Kind::Digit)
            token.position = section.placeholders[static_cast<int>(token.group)]++;
    for (Token& token : tokens) {
        const auto group = token.group;
        if (token.kind == Kind::Digit && group != Group::Decimals && group != Group::Denominator)
            token.position = section.placeholders[static_cast<int>(group)] - 1 - token.position;
        if (token.kind == Kind::Digit && group == Group::Whole && token.placeholder == '#')
            section.engineering = section.type == Section::Type::Scientific;
    }
    section.engineering = section.engineering && section.placeholders[0] > 1;
}

Section readSection(std::string_view code) {
    Section section;
    std::string_view systemFormat;
    section.tokens = tokenize(code, section, systemFormat);
    if (!systemFormat.empty()) {
        Section ignored;
        std::string_view none;
        section.tokens = tokenize(systemFormat, ignored, none);
    }
    const auto has = [&](auto test) {
        return std::any_of(section.tokens.begin(), section.tokens.end(), test);
    };
    if (has([](const Token& t) { return t.kind == Kind::Text; })) {
        section.type = Section::Type::Text;
    } else if (has([](const Token& t) { return isDatePart(t.kind); })) {
        section.type = Section::Type::Date;
        settleDate(section);
    } else if (has([](const Token& t) { return t.kind == Kind::General; })) {
        section.type = Section::Type::General;
    } else {
        settleNumber(section);
    }
    return section;
}

// The digits each placeholder group is filled from, for one value.
struct Fill {
    std::array<Decimal, static_cast<int>(Group::Count)> groups;
    bool negativeExponent = false;
    // A fraction whose numerator is 0 shows its whole part alone, blanks in place of the rest.
    bool blankFraction = false;
};

void appendPad(char placeholder, std::string& out) {
    if (placeholder == '0')
        out += '0';
    else if (placeholder == '?')
        out += ' ';
}

void appendDigit(const Section& section, const Token& token, const Fill& fill, std::string& out) {
    const Decimal& digits = fill.groups[static_cast<int>(token.group)];
    switch (token.group) {
    case Group::Decimals:
        if (token.position < std::min(digits.count - digits.point, section.placeholders[1]))
            out += fractionDigit(digits, token.position);
        else
            appendPad(token.placeholder, out);
        return;
    case Group::Denominator: {
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
    if (fill.blankFraction && token.group == Group::Numerator) {
        out += token.placeholder == '#' ? "" : " ";
        return;
    }
    const int length = wholeLength(digits);
    const int placeholders = section.placeholders[static_cast<int>(token.group)];
    const bool grouped = section.thousands && token.group == Group::Whole;
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

void appendNumberTokens(const Section& section, const Fill& fill, std::string& out) {
    bool afterNumerator = false;
    for (const Token& token : section.tokens) {
        switch (token.kind) {
        case Kind::Digit:
            appendDigit(section, token, fill, out);
            afterNumerator = afterNumerator || token.group == Group::Numerator;
            break;
        case Kind::Point:
            out += '.';
            break;
        case Kind::Exponent:
            out += 'E';
            if (fill.negativeExponent)
                out += '-';
            else if (token.count == 1)
                out += '+';
            break;
        case Kind::Slash:
            out += fill.blankFraction ? ' ' : '/';
            break;
        default:
            out += token.text;
            break;
        }
    }
}

// Whole + numerator/denominator nearest to `magnitude`, the denominator at most `limit`:
// the best rational approximation, from the continued fraction.
std::pair<std::int64_t, std::int64_t> nearestFraction(double magnitude, std::int64_t limit) {
    std::int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double rest = magnitude;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        if (whole > 1e15)
            break;
        const auto a = static_cast<std::int64_t>(whole);
        if (q1 > 0 && a > (limit - q0) / q1) {
            const std::int64_t k = (limit - q0) / q1;
            const std::int64_t pk = p0 + k * p1, qk = q0 + k * q1;
            if (std::fabs(magnitude - static_cast<double>(pk) / static_cast<double>(qk)) <
                std::fabs(magnitude - static_cast<double>(p1) / static_cast<double>(q1)))
                return {pk, qk};
            break;
        }
        const std::int64_t p2 = p0 + a * p1, q2 = q0 + a * q1;
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        if (rest - whole < 1e-12)
            break;
        rest = 1 / (rest - whole);
    }
    return {p1, q1};
}

void fillFraction(const Section& section, double magnitude, Fill& fill) {
    const bool hasWhole = section.placeholders[static_cast<int>(Group::Whole)] > 0;
    if (magnitude >= 1e15) {
        fill.groups[0] = decimalOf(magnitude);
        fill.blankFraction = hasWhole;
        return;
    }
    double whole = hasWhole ? std::floor(magnitude) : 0;
    const double part = magnitude - whole;
    std::int64_t numerator = 0, denominator = 1;
    if (section.fixedDenominator > 0) {
        denominator = section.fixedDenominator;
        numerator = static_cast<std::int64_t>(std::floor(part * static_cast<double>(denominator) + 0.5));
    } else {
        std::int64_t limit = 1;
        for (int i = 0; i < std::min(section.placeholders[static_cast<int>(Group::Denominator)], 9); ++i)
            limit *= 10;
        std::tie(numerator, denominator) = nearestFraction(part, std::max<std::int64_t>(limit - 1, 1));
    }
    if (hasWhole && numerator == denominator) {
        whole += 1;
        numerator = 0;
    }
    fill.groups[0] = decimalOfWhole(static_cast<std::uint64_t>(whole));
    fill.groups[static_cast<int>(Group::Numerator)] = decimalOfWhole(static_cast<std::uint64_t>(numerator));
    fill.groups[static_cast<int>(Group::Denominator)] =
        decimalOfWhole(static_cast<std::uint64_t>(denominator));
    fill.blankFraction = hasWhole && numerator == 0;
    if (fill.blankFraction && whole == 0) {
        // A zero still shows its 0, whatever the placeholder.
        fill.groups[0].digits[0] = '0';
        fill.groups[0].count = fill.groups[0].point = 1;
    }
}

void fillScientific(const Section& section, double magnitude, Fill& fill) {
    Decimal mantissa = decimalOf(magnitude);
    const int width = std::max(section.placeholders[static_cast<int>(Group::Whole)], 1);
    const int decimals = section.placeholders[static_cast<int>(Group::Decimals)];
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
    fill.negativeExponent = exponent < 0;
    fill.groups[static_cast<int>(Group::Exponent)] =
        decimalOfWhole(static_cast<std::uint64_t>(std::abs(exponent)));
}

// The parts of a date and time, after rounding to what the section shows.
struct Moment {
    int year = 0, month = 0, day = 0, weekday = 0; // weekday 0 is Sunday
    std::int64_t totalUnits = 0, unitsPerSecond = 1;
    int hour = 0, minute = 0, second = 0, subsecond = 0;
};

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void civilFromDays(std::int64_t days, Moment& moment) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    moment.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    moment.month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    moment.year = static_cast<int>(yearOfEra + era * 400 + (moment.month <= 2 ? 1 : 0));
}

// False when the value is no date the section can show.
bool momentOf(double value, DateSystem dates, int subsecondDigits, Moment& moment) {
    if (!(value >= 0) || value >= (dates == DateSystem::From1900 ? lastSerial1900 : lastSerial1904) + 1)
        return false;
    for (int i = 0; i < subsecondDigits; ++i)
        moment.unitsPerSecond *= 10;
    const std::int64_t unitsPerDay = 86400 * moment.unitsPerSecond;
    moment.totalUnits = static_cast<std::int64_t>(std::floor(value * static_cast<double>(unitsPerDay) + 0.5));
    const std::int64_t serial = moment.totalUnits / unitsPerDay;
    if (static_cast<double>(serial) > (dates == DateSystem::From1900 ? lastSerial1900 : lastSerial1904))
        return false;
    const std::int64_t units = moment.totalUnits % unitsPerDay;
    const std::int64_t seconds = units / moment.unitsPerSecond;
    moment.subsecond = static_cast<int>(units % moment.unitsPerSecond);
    moment.hour = static_cast<int>(seconds / 3600);
    moment.minute = static_cast<int>(seconds / 60 % 60);
    moment.second = static_cast<int>(seconds % 60);
    if (dates == DateSystem::From1904) {
        civilFromDays(serial - 24107, moment);
        moment.weekday = static_cast<int>((serial + 5) % 7);
        return true;
    }
    // The 1900 system counts 1900-02-29 (serial 60), and shows serial 0 as 1900-01-00.
    moment.weekday = static_cast<int>((serial + 6) % 7);
    if (serial == 0)
        moment.year = 1900, moment.month = 1, moment.day = 0;
    else if (serial == 60)
        moment.year = 1900, moment.month = 2, moment.day = 29;
    else
        civilFromDays(serial - (serial < 60 ? 25568 : 25569), moment);
    return true;
}

constexpr std::string_view chineseNumerals[] = {"日", "一", "二", "三", "四",   "五",  "六",
                                                "七", "八", "九", "十", "十一", "十二"};

void appendDatePart(const Section& section, const Token& token, const Moment& moment, std::string& out) {
    const int count = token.count;
    switch (token.kind) {
    case Kind::Year:
        appendPadded(count <= 2 ? moment.year % 100 : moment.year, count <= 2 ? 2 : 4, out);
        break;
    case Kind::Month:
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
    case Kind::Day:
        if (count <= 2)
            appendPadded(moment.day, count, out);
        else
            out += count == 3 ? "周" : "星期", out += chineseNumerals[moment.weekday];
        break;
    case Kind::ChineseWeekday:
        if (count > 3)
            out += "星期";
        out += chineseNumerals[moment.weekday];
        break;
    case Kind::Hour:
        appendPadded(section.twelveHour ? (moment.hour + 11) % 12 + 1 : moment.hour, std::min(count, 2), out);
        break;
    case Kind::Minute:
        appendPadded(moment.minute, std::min(count, 2), out);
        break;
    case Kind::Second:
        appendPadded(moment.second, std::min(count, 2), out);
        break;
    case Kind::Subsecond: {
        out += '.';
        std::int64_t digits = moment.subsecond;
        for (int i = count; i < section.subsecondDigits; ++i)
            digits /= 10;
        appendPadded(digits, count, out);
        break;
    }
    case Kind::AmPm:
        out += moment.hour < 12 ? "上午" : "下午";
        break;
    case Kind::ElapsedHours:
        appendPadded(moment.totalUnits / moment.unitsPerSecond / 3600, count, out);
        break;
    case Kind::ElapsedMinutes:
        appendPadded(moment.totalUnits / moment.unitsPerSecond / 60, count, out);
        break;
    case Kind::ElapsedSeconds:
        appendPadded(moment.totalUnits / moment.unitsPerSecond, count, out);
        break;
    default:
        out += token.text;
        break;
    }
}

void appendDate(const Section& section, double value, DateSystem dates, std::string& out) {
    Moment moment;
    if (!momentOf(value, dates, section.subsecondDigits, moment)) {
        out += unshowable;
        return;
    }
    for (const Token& token : section.tokens)
        appendDatePart(section, token, moment, out);
}

void appendNumber(const Section& section, double magnitude, bool negative, std::string& out) {
    Fill fill;
    if (section.type == Section::Type::Fraction) {
        fillFraction(section, magnitude, fill);
    } else if (section.type == Section::Type::Scientific) {
        fillScientific(section, magnitude, fill);
    } else {
        Decimal decimal = decimalOf(magnitude);
        decimal.point += section.shift;
        roundTo(decimal, section.placeholders[static_cast<int>(Group::Decimals)]);
        fill.groups[0] = fill.groups[1] = decimal;
    }
    // A negative number that rounds to zero shows no sign.
    if (negative &&
        std::any_of(fill.groups.begin(), fill.groups.end(), [](const Decimal& d) { return d.count > 0; }))
        out += '-';
    appendNumberTokens(section, fill, out);
}

} // namespace

std::string_view builtinFormatCode(int id) {
    // The built-in formats as a Chinese Excel shows them, its date and time formats and its
    // yuan currency formats included.
    static constexpr std::pair<int, std::string_view> codes[] = {
        {0, "General"},
        {1, "0"},
        {2, "0.00"},
        {3, "#,##0"},
        {4, "#,##0.00"},
        {5, "\"¥\"#,##0;\"¥\"\\-#,##0"},
        {6, "\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
        {7, "\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
        {8, "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
        {9, "0%"},
        {10, "0.00%"},
        {11, "0.00E+00"},
        {12, "# ?/?"},
        {13, "# ?\?/??"},
        {14, "yyyy/m/d"},
        {15, "d-mmm-yy"},
        {16, "d-mmm"},
        {17, "mmm-yy"},
        {18, "h:mm AM/PM"},
        {19, "h:mm:ss AM/PM"},
        {20, "h:mm"},
        {21, "h:mm:ss"},
        {22, "yyyy/m/d h:mm"},
        {27, "yyyy\"年\"m\"月\""},
        {28, "m\"月\"d\"日\""},
        {29, "m\"月\"d\"日\""},
        {30, "m-d-yy"},
        {31, "yyyy\"年\"m\"月\"d\"日\""},
        {32, "h\"时\"mm\"分\""},
        {33, "h\"时\"mm\"分\"ss\"秒\""},
        {34, "上午/下午h\"时\"mm\"分\""},
        {35, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
        {36, "yyyy\"年\"m\"月\""},
        {37, "#,##0 ;(#,##0)"},
        {38, "#,##0 ;[Red](#,##0)"},
        {39, "#,##0.00;(#,##0.00)"},
        {40, "#,##0.00;[Red](#,##0.00)"},
        {41, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ "},
        {42, "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ "},
        {43, "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ "},
        {44, "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ "},
        {45, "mm:ss"},
        {46, "[h]:mm:ss"},
        {47, "mm:ss.0"},
        {48, "##0.0E+0"},
        {49, "@"},
        {50, "yyyy\"年\"m\"月\""},
        {51, "m\"月\"d\"日\""},
        {52, "yyyy\"年\"m\"月\""},
        {53, "m\"月\"d\"日\""},
        {54, "m\"月\"d\"日\""},
        {55, "上午/下午h\"时\"mm\"分\""},
        {56, "上午/下午h\"时\"mm\"分\"ss\"秒\""},
        {57, "yyyy\"年\"m\"月\""},
        {58, "m\"月\"d\"日\""},
    };
    for (const auto& [builtin, code] : codes)
        if (builtin == id)
            return code;
    return {};
}

NumberFormat::NumberFormat(std::string_view code) {
    const auto sections = splitSections(code);
    if (code.empty() || sections.size() > 4)
        return;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        Section section = readSection(sections[i]);
        if (i == 3 || (section.type == Section::Type::Text && sections.size() < 4))
            m_textSection.assign(1, std::move(section));
        else if (section.type != Section::Type::Text)
            m_numberSections.push_back(std::move(section));
    }
    const auto plain = [](const Section& s) {
        return s.type == Section::Type::General && s.tokens.size() == 1 && !s.condition;
    };
    m_plainGeneral = m_numberSections.empty() || (m_numberSections.size() == 1 && plain(m_numberSections[0]));
}

NumberFormat::NumberFormat(const NumberFormat&) = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(const NumberFormat&) = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;
NumberFormat::~NumberFormat() = default;

// Without conditions one section takes every number, two split at zero (negatives to the
// second), three give zero the third. Conditions pick their section first; a section without
// one takes what the conditions leave.
const NumberFormat::Section* NumberFormat::sectionFor(double value) const {
    const auto& sections = m_numberSections;
    const bool conditioned =
        std::any_of(sections.begin(), sections.end(), [](const Section& s) { return s.condition; });
    if (!conditioned) {
        if (sections.size() == 1 || (value > 0) || (value == 0 && sections.size() == 2))
            return &sections[0];
        return value < 0 ? &sections[1] : &sections[2];
    }
    for (const Section& section : sections)
        if (section.condition && section.condition->holds(value))
            return &section;
    for (const Section& section : sections)
        if (!section.condition)
            return &section;
    return nullptr;
}

void NumberFormat::format(double value, DateSystem dates, std::string& out) const {
    if (m_plainGeneral || !std::isfinite(value)) {
        appendGeneral(value, out);
        return;
    }
    const Section* section = sectionFor(value);
    if (section == nullptr) {
        out += unshowable;
        return;
    }
    // The second section and any section with a condition show negatives without a sign.
    const bool signless = section->condition || section - m_numberSections.data() == 1;
    const bool negative = value < 0 && !signless;
    const double magnitude = std::fabs(value);
    switch (section->type) {
    case Section::Type::Date:
        appendDate(*section, value, dates, out);
        break;
    case Section::Type::General:
        for (const Token& token : section->tokens)
            if (token.kind == Kind::General)
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
    for (const Token& token : m_textSection[0].tokens)
        if (token.kind == Kind::Text)
            out += text;
        else if (token.kind == Kind::Literal)
            out += token.text;
}

} // namespace brisquel::sheets
