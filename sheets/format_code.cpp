// Format codes read once: split into sections, each tokenized, then its context settled (a
// month that is a minute, a comma that groups or scales, a fraction's denominator).
#include "sheets/format_code.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <system_error>

namespace brisquel::sheets {

namespace {

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

void addLiteral(std::vector<FormatToken>& tokens, std::string_view text) {
    if (!tokens.empty() && tokens.back().kind == TokenKind::Literal)
        tokens.back().text += text;
    else
        tokens.push_back({TokenKind::Literal, 0, 0, DigitGroup::Whole, 0, std::string(text)});
}

void addToken(std::vector<FormatToken>& tokens, TokenKind kind, int count, char c = 0) {
    tokens.push_back({kind, count, c, DigitGroup::Whole, 0, c == 0 ? std::string() : std::string(1, c)});
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
void readBracket(std::string_view inside, FormatSection& section, std::vector<FormatToken>& tokens,
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
        const TokenKind kind = first == 'h'   ? TokenKind::ElapsedHours
                               : first == 'm' ? TokenKind::ElapsedMinutes
                                              : TokenKind::ElapsedSeconds;
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
std::vector<FormatToken> tokenize(std::string_view code, FormatSection& section,
                                  std::string_view& systemFormat) {
    std::vector<FormatToken> tokens;
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
            addToken(tokens, TokenKind::Digit, 0, c);
        } else if (c == '.' || c == ',' || c == '/' || c == '%' || c == '@') {
            const TokenKind kind = c == '.'   ? TokenKind::Point
                                   : c == ',' ? TokenKind::Comma
                                   : c == '/' ? TokenKind::Slash
                                   : c == '%' ? TokenKind::Percent
                                              : TokenKind::Text;
            addToken(tokens, kind, 0, c);
        } else if (l == 'e' && next < code.size() && (code[next] == '+' || code[next] == '-')) {
            addToken(tokens, TokenKind::Exponent, code[next] == '+' ? 1 : 0, 'E');
            ++next;
        } else if (startsWithNoCase(code, i, "general")) {
            addToken(tokens, TokenKind::General, 0);
            next = i + 7;
        } else if (startsWithNoCase(code, i, "am/pm") || startsWithNoCase(code, i, "a/p") ||
                   code.substr(i).starts_with("上午/下午")) {
            addToken(tokens, TokenKind::AmPm, 0);
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
                addToken(tokens, TokenKind::Year, l == 'e' ? 4 : count);
                break;
            case 'm':
                addToken(tokens, TokenKind::MonthOrMinute, count);
                break;
            case 'd':
                addToken(tokens, TokenKind::Day, count);
                break;
            case 'a':
                addToken(tokens, TokenKind::ChineseWeekday, count);
                break;
            case 'h':
                addToken(tokens, TokenKind::Hour, count);
                break;
            case 's':
                addToken(tokens, TokenKind::Second, count);
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

bool isDatePart(TokenKind kind) {
    return kind >= TokenKind::Year;
}

void makeLiteral(FormatToken& token) {
    token.kind = TokenKind::Literal;
}

// A month after an hour or before a second is a minute; a point and zeros after a second
// show its fraction.
void settleDate(FormatSection& section) {
    auto& tokens = section.tokens;
    TokenKind previous = TokenKind::Literal;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        FormatToken& token = tokens[i];
        if (token.kind == TokenKind::MonthOrMinute) {
            auto after = std::find_if(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, tokens.end(),
                                      [](const FormatToken& t) { return isDatePart(t.kind); });
            const bool minute =
                token.count <= 2 && (previous == TokenKind::Hour || previous == TokenKind::ElapsedHours ||
                                     (after != tokens.end() && (after->kind == TokenKind::Second ||
                                                                after->kind == TokenKind::ElapsedSeconds)));
            token.kind = minute ? TokenKind::Minute : TokenKind::Month;
        } else if (token.kind == TokenKind::Point &&
                   (previous == TokenKind::Second || previous == TokenKind::ElapsedSeconds)) {
            std::size_t zeros = i + 1;
            while (zeros < tokens.size() && tokens[zeros].kind == TokenKind::Digit &&
                   tokens[zeros].placeholder == '0')
                ++zeros;
            if (zeros > i + 1) {
                token.kind = TokenKind::Subsecond;
                token.count = static_cast<int>(std::min<std::size_t>(zeros - i - 1, 3));
                section.subsecondDigits = std::max(section.subsecondDigits, token.count);
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                             tokens.begin() + static_cast<std::ptrdiff_t>(zeros));
            }
        }
        if (token.kind == TokenKind::AmPm)
            section.twelveHour = true;
        if (isDatePart(token.kind))
            previous = token.kind;
        else if (token.kind != TokenKind::Literal)
            makeLiteral(token);
    }
}

bool isDigit(const std::vector<FormatToken>& tokens, std::size_t i) {
    return i < tokens.size() && tokens[i].kind == TokenKind::Digit;
}

// A comma between digits groups thousands; commas after the last digit of a number scale it
// down by a thousand each; any other comma is shown.
void settleCommas(FormatSection& section) {
    auto& tokens = section.tokens;
    bool afterDigits = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        FormatToken& token = tokens[i];
        if (token.kind == TokenKind::Comma) {
            std::size_t j = i;
            while (j < tokens.size() && tokens[j].kind == TokenKind::Comma)
                ++j;
            const bool betweenDigits =
                afterDigits && isDigit(tokens, j) && tokens[i - 1].group == DigitGroup::Whole;
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
        afterDigits = token.kind == TokenKind::Digit;
    }
}

void assignGroup(std::vector<FormatToken>& tokens, std::size_t begin, std::size_t end, DigitGroup group) {
    for (std::size_t i = begin; i < end; ++i)
        if (tokens[i].kind == TokenKind::Digit)
            tokens[i].group = group;
}

// A fraction's denominator is either digits given in the code ("?/8") or placeholders that
// bound it ("??" allows up to 99).
bool settleFraction(FormatSection& section) {
    auto& tokens = section.tokens;
    const auto slash = static_cast<std::size_t>(
        std::find_if(tokens.begin(), tokens.end(),
                     [](const FormatToken& t) { return t.kind == TokenKind::Slash; }) -
        tokens.begin());
    if (slash == tokens.size() || slash == 0 || !isDigit(tokens, slash - 1) || slash + 1 == tokens.size())
        return false;
    std::size_t numerator = slash;
    while (numerator > 0 && isDigit(tokens, numerator - 1))
        --numerator;
    assignGroup(tokens, 0, numerator, DigitGroup::Whole);
    assignGroup(tokens, numerator, slash, DigitGroup::Numerator);
    FormatToken& first = tokens[slash + 1];
    if (first.kind == TokenKind::Literal && !first.text.empty() && first.text[0] >= '1' &&
        first.text[0] <= '9') {
        std::int64_t denominator = 0;
        for (std::size_t i = slash + 1; i < tokens.size(); ++i) {
            FormatToken& token = tokens[i];
            if (token.kind == TokenKind::Digit && token.placeholder == '0') {
                makeLiteral(token); // the zeros of "?/100" are digits of the denominator
            } else if (token.kind != TokenKind::Literal) {
                break;
            }
            std::size_t used = 0;
            while (used < token.text.size() && token.text[used] >= '0' && token.text[used] <= '9')
                denominator =
                    std::min<std::int64_t>(denominator * 10 + (token.text[used++] - '0'), 100000000);
            // A whole number blanks the denominator's digits with the rest of the fraction.
            token.group = DigitGroup::Denominator;
            token.count = static_cast<int>(used);
            if (used < token.text.size())
                break;
        }
        section.fixedDenominator = static_cast<int>(denominator);
    } else if (first.kind == TokenKind::Digit) {
        std::size_t end = slash + 1;
        while (isDigit(tokens, end))
            ++end;
        assignGroup(tokens, slash + 1, end, DigitGroup::Denominator);
        for (std::size_t i = end; i < tokens.size(); ++i)
            if (tokens[i].kind == TokenKind::Digit)
                makeLiteral(tokens[i]);
    } else {
        return false;
    }
    section.type = FormatSection::Type::Fraction;
    return true;
}

void settlePlain(FormatSection& section) {
    if (section.type != FormatSection::Type::Number || section.placeholders[0] == 0)
        return;
    enum { Before, Within, After } where = Before;
    char last = '#';
    for (const FormatToken& token : section.tokens) {
        if (token.kind == TokenKind::Literal) {
            if (token.text.empty()) // a thousands or scaling comma
                continue;
            if (where != Before)
                where = After;
            (where == Before ? section.prefix : section.suffix) += token.text;
            continue;
        }
        const bool decimal = token.kind == TokenKind::Point || token.group == DigitGroup::Decimals;
        if (where == After || token.placeholder == '?' ||
            (token.placeholder == '#' && (decimal || last == '0')))
            return; // text between digits, '?' pads, or a '#' after a '0'
        section.point = section.point || token.kind == TokenKind::Point;
        section.zeros += !decimal && token.placeholder == '0' ? 1 : 0;
        last = decimal ? '0' : token.placeholder;
        where = Within;
    }
    section.plain = true;
}

void settleNumber(FormatSection& section) {
    auto& tokens = section.tokens;
    const auto find = [&](TokenKind kind) {
        return static_cast<std::size_t>(
            std::find_if(tokens.begin(), tokens.end(), [&](const FormatToken& t) { return t.kind == kind; }) -
            tokens.begin());
    };
    const std::size_t exponent = find(TokenKind::Exponent);
    if (exponent == tokens.size() && settleFraction(section)) {
        // settled
    } else {
        const std::size_t point = std::min(find(TokenKind::Point), exponent);
        assignGroup(tokens, 0, point, DigitGroup::Whole);
        assignGroup(tokens, point, exponent, DigitGroup::Decimals);
        if (exponent < tokens.size()) {
            section.type = FormatSection::Type::Scientific;
            assignGroup(tokens, exponent, tokens.size(), DigitGroup::Exponent);
        }
    }
    settleCommas(section);
    const bool fraction = section.type == FormatSection::Type::Fraction;
    bool pointSeen = false;
    for (FormatToken& token : tokens) {
        if (token.kind == TokenKind::Percent)
            section.shift += 2;
        const bool kept = token.kind == TokenKind::Digit || token.kind == TokenKind::Exponent ||
                          (token.kind == TokenKind::Slash && fraction) ||
                          (token.kind == TokenKind::Point && !fraction && !pointSeen);
        pointSeen = pointSeen || token.kind == TokenKind::Point;
        if (!kept)
            makeLiteral(token);
    }
    for (FormatToken& token : tokens)
        if (token.kind == TokenKind::Digit)
            token.position = section.placeholders[static_cast<int>(token.group)]++;
    for (FormatToken& token : tokens) {
        const auto group = token.group;
        if (token.kind == TokenKind::Digit && group != DigitGroup::Decimals &&
            group != DigitGroup::Denominator)
            token.position = section.placeholders[static_cast<int>(group)] - 1 - token.position;
        if (token.kind == TokenKind::Digit && group == DigitGroup::Whole && token.placeholder == '#')
            section.engineering = section.type == FormatSection::Type::Scientific;
    }
    section.engineering = section.engineering && section.placeholders[0] > 1;
    settlePlain(section);
}

FormatSection readSection(std::string_view code) {
    FormatSection section;
    std::string_view systemFormat;
    section.tokens = tokenize(code, section, systemFormat);
    if (!systemFormat.empty()) {
        FormatSection ignored;
        std::string_view none;
        section.tokens = tokenize(systemFormat, ignored, none);
    }
    const auto has = [&](auto test) {
        return std::any_of(section.tokens.begin(), section.tokens.end(), test);
    };
    if (has([](const FormatToken& t) { return t.kind == TokenKind::Text; })) {
        section.type = FormatSection::Type::Text;
    } else if (has([](const FormatToken& t) { return isDatePart(t.kind); })) {
        section.type = FormatSection::Type::Date;
        settleDate(section);
    } else if (has([](const FormatToken& t) { return t.kind == TokenKind::General; })) {
        section.type = FormatSection::Type::General;
    } else {
        settleNumber(section);
    }
    return section;
}

} // namespace

std::vector<FormatSection> readFormatCode(std::string_view code) {
    const auto texts = splitSections(code);
    std::vector<FormatSection> sections;
    if (code.empty() || texts.size() > 4)
        return sections;
    sections.reserve(texts.size());
    for (const std::string_view text : texts)
        sections.push_back(readSection(text));
    return sections;
}

} // namespace brisquel::sheets
