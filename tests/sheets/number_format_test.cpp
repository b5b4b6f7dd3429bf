// The number formatter from one table of cells: the code reader, digits and General, dates, the
// built-in codes. Where LibreOffice agrees with Excel its output is the expected text; General,
// the 1900 leap day and the Chinese names follow what a Chinese Excel shows.
#include "sheets/date_serial.h"
#include "sheets/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <string_view>

namespace brisquel::sheets {
namespace {

constexpr auto d1900 = DateSystem::From1900;
constexpr auto d1904 = DateSystem::From1904;

// What a cell holds: a number, a text, or the ISO 8601 text of a date cell.
struct Input {
    enum Kind { Number, Text, Iso } kind;
    double value = 0;
    std::string_view text;
    constexpr Input(double number) : kind(Number), value(number) {}
    // An array, so that a 0 in the table is a number.
    template <std::size_t N> constexpr Input(const char (&cellText)[N]) : kind(Text), text(cellText) {}
    constexpr Input(Kind textKind, std::string_view cellText) : kind(textKind), text(cellText) {}
};

constexpr Input iso(std::string_view text) {
    return {Input::Iso, text};
}

struct Case {
    const char* name;
    const char* code;
    Input input;
    const char* expected;
    int builtin = -1; // the built-in format whose code `code` is
    DateSystem dates = d1900;
};

constexpr const char* accounting = "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ";

const Case cases[] = {
    // The code reader: sections, conditions, brackets, literals.
    {"second section drops sign", "0;0.0", -5, "5.0"},
    {"negative in its own section", "\"¥\"#,##0;\"¥\"\\-#,##0", -5, "¥-5", 5},
    {"one section keeps sign", "\"¥\"#,##0", -5, "-¥5"},
    {"colour in the second section", "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00", -1.5, "¥-1.50", 8},
    {"zero section", "0.00;-0.00;\"zero\"", 0, "zero"},
    {"empty section hides", "0;;0", -3, ""},
    {"quoted semicolon", "\"a;b\"0", 5, "a;b5"},
    {"five sections are no code", "0;0;0;@;0", 2.5, "2.5"},
    {"accounting positive", accounting, 1234.5, " 1,234.50 ", 43},
    {"accounting negative", accounting, -1234.5, " -1,234.50 ", 43},
    {"accounting zero", accounting, 0, " -   ", 43},
    {"accounting yuan", "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ", 1234, " ¥1,234 ", 42},
    {"parentheses", "#,##0 ;(#,##0)", -1234, "(1,234)", 37},
    {"condition first", "[>=100][Red]0;[<0]0.0;0.00", 100, "100"},
    {"condition second", "[>=100][Red]0;[<0]0.0;0.00", -3, "3.0"},
    {"condition neither", "[>=100][Red]0;[<0]0.0;0.00", 7, "7.00"},
    {"condition drops sign", "[<0]\"neg\"0;0", -5, "neg5"},
    {"negative-only condition drops sign", "[<-25]0.0;0.0", -30, "30.0"},
    {"the rest keeps sign beside positives", "[<-25]0.0;0.0", -5, "-5.0"},
    {"the rest drops sign when all negative", "[>=-1]0;0", -2, "2"},
    {"third section keeps sign beside positives", "[>=100]0;[<=-10]0.0;0.00", -3, "-3.00"},
    {"unconditioned takes the rest", "[>=100]0;0.0", -5, "-5.0"},
    {"no section takes it", "[>10]0", 5, "########"},
    {"text section skipped for numbers", "h\"时\"mm\"分\";@", 0.5, "12时00分"},
    {"quoted text", "0.00\"元\"", 5, "5.00元"},
    {"escaped and blank", "\\$0_)", 5, "$5 "},
    {"fill emits nothing", "*-0", 5, "5"},
    {"currency locale", "[$¥-804]#,##0.00", 1234.5, "¥1,234.50"},
    {"colour ignored", "[Red]0.0", 0.5, "0.5"},
    {"numeral system ignored", "[DBNum1][$-804]0", 5, "5"},
    {"text section", "@", "abc", "abc", 49},
    {"text in quotes", "\"编号:\"@", "abc", "编号:abc"},
    {"no text section", "0.00", "abc", "abc"},
    {"fourth section", "0;-0;0;\"x\"@\"y\"", "abc", "xabcy"},
    {"fourth section without @", "0;-0;0;\"fixed\"", "abc", "fixed"},
    {"fourth section general", "0;-0;0;General", "foo", "foo"},
    {"accounting text", "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ", "abc", " abc ", 41},
    // Digits and General.
    {"zero", "General", 0, "0"},
    {"negative zero", "General", -0.0, "0"},
    {"eleven digits in full", "General", 12345678901, "12345678901"},
    {"eleven digits negative", "General", -12345678901, "-12345678901"},
    {"twelve digits scientific", "General", 123456789012, "1.23457E+11"},
    {"twelve digits negative", "General", -123456789012, "-1.23457E+11"},
    {"minus sign not counted", "General", -1.127783765, "-1.127783765"},
    {"fifteen digits kept", "General", 0.1 + 0.2, "0.3", 0},
    {"decimals cut to eleven", "General", 1234567.891234, "1234567.891"},
    {"negative decimals cut to eleven", "General", -0.1234567890123, "-0.123456789"},
    {"general rounds half up", "General", 123456789.15, "123456789.2"},
    {"rounds into twelve digits", "General", 99999999999.5, "1E+11"},
    {"rounds to a whole", "General", 12345678901.5, "12345678902"},
    {"ten thousandth fixed", "General", 0.0001, "0.0001"},
    {"small fixed rounded", "General", 0.000123456789, "0.000123457"},
    {"hundred thousandth scientific", "General", 1e-5, "1E-05"},
    {"three digit exponent", "General", 1.5e-100, "1.5E-100"},
    {"huge", "General", 1e300, "1E+300"},
    {"not a number", "General", std::numeric_limits<double>::quiet_NaN(), "#NUM!"},
    {"infinity", "0.00", -std::numeric_limits<double>::infinity(), "#NUM!"},
    {"empty code", "", 2.5, "2.5"},
    {"text only code", "@", 7, "7"},
    {"general with text", "General\"元\"", 123.456, "123.456元"},
    {"general second section", "General;-General", -123.456, "-123.456"},
    {"round half up", "0", 2.5, "3", 1},
    {"half up on decimal digits", "0.00", 2.675, "2.68", 2},
    {"negative rounding to zero drops sign", "0", -0.4, "0"},
    {"thousands", "#,##0.00", 1234567.891, "1,234,567.89", 4},
    {"thousands rounded", "#,##0", 1234.5, "1,235", 3},
    {"thousands with zeros", "0,000", 5, "0,005"},
    {"thousands huge", "#,##0", 1e20, "100,000,000,000,000,000,000"},
    {"scaled by thousand", "0.0,", 1234.5, "1.2"},
    {"scaled by million", "0.0,,", 1234567, "1.2"},
    {"question marks pad", "0.0?", 1.5, "1.5 "},
    {"question marks pad a rounded zero", "0.0?", 0.002, "0.0 "},
    {"hash hides zeros", "#.##", 1.5, "1.5"},
    {"literal digits", "000-0000", 1234567, "123-4567"},
    {"zero padded", "000-0000", 12, "000-0012"},
    {"percent", "0%", 0.125, "13%", 9},
    {"percent decimals", "0.00%", 0.12345, "12.35%", 10},
    {"scientific", "0.00E+00", 12345.678, "1.23E+04", 11},
    {"scientific small", "0.00E+00", 0.00012345, "1.23E-04"},
    {"scientific zero", "0.00E+00", 0, "0.00E+00"},
    {"scientific rounds up a digit", "0.00E+00", 9.999, "1.00E+01"},
    {"scientific minus only", "0.0E-0", 12345, "1.2E4"},
    {"engineering", "##0.0E+0", 12345, "12.3E+3", 48},
    {"engineering small", "##0.0E+0", 0.5, "500.0E-3"},
    {"two digit mantissa", "00.0E+0", 0.5, "50.0E-2"},
    {"half", "# ?/?", 0.5, " 1/2"},
    {"mixed", "# ?/?", 1.25, "1 1/4", 12},
    {"whole blanks fraction", "# ?/?", 2, "2    "},
    {"zero shows 0", "# ?/?", 0, "0    "},
    {"two digit padding", "# ?\?/??", 0.5, "  1/2 ", 13},
    {"two digit convergent", "# ?\?/??", 3.14159, "3  1/7 "},
    {"convergent, not the nearer 2/7", "# ?/?", 12.3, "12 1/3"},
    {"0.3 is held under 3/10", "?/?", 0.3, "2/7"},
    {"convergent, not the nearer 31/68", "# ?\?/??", 123.456, "123 26/57"},
    {"improper", "?/?", 0.333, "1/3"},
    {"improper above one", "?/?", 2.5, "5/2"},
    {"improper zero", "?/?", -0.05, "0/1"},
    {"rounds up to whole", "# ?/?", 0.999, "1    "},
    {"fixed denominator", "# ?/8", 3.75, "3 6/8"},
    {"fixed hundredths", "?/100", 0.37, "37/100"},
    {"sixteenths blank for a whole", "# ?\?/16", 1, "1      "},
    {"eighths round up to a whole", "# ?/8", 2.97, "3    "},
    {"negative fraction", "# ?/?", -1.5, "-1 1/2"},
    // Dates and times: serials both ways, the 1900 leap day, 1904, ISO text.
    {"date and time", "yyyy/m/d h:mm", 46000.5, "2025/12/9 12:00", 22},
    {"1900-02-28", "yyyy-mm-dd", 59, "1900-02-28"},
    {"the leap day that never was", "yyyy-mm-dd", 60, "1900-02-29"},
    {"1900-03-01", "yyyy-mm-dd ddd", 61, "1900-03-01 周四"},
    {"serial zero", "yyyy/m/d", 0, "1900/1/0", 14},
    {"serial one is a Sunday", "dddd", 1, "星期日"},
    {"1904 system", "yyyy-mm-dd dddd", 46000, "2029-12-10 星期一", -1, d1904},
    {"1904 zero", "yyyy-mm-dd", 0, "1904-01-01", -1, d1904},
    {"last day", "yyyy-mm-dd", 2958465, "9999-12-31"},
    {"past the last day", "yyyy-mm-dd", 2958466, "########"},
    {"past the last 1904 day", "yyyy-mm-dd", 2957004, "########", -1, d1904},
    {"negative date", "yyyy-mm-dd", -1, "########"},
    {"iso date", "General", iso("1900-03-01"), "61"},
    {"iso before the leap day", "General", iso("1900-02-28"), "59"},
    {"iso 1904", "General", iso("1904-01-02"), "1", -1, d1904},
    {"iso date and time", "yyyy-mm-dd hh:mm:ss", iso("2023-05-01T08:30:15Z"), "2023-05-01 08:30:15"},
    {"iso fraction of a second", "hh:mm:ss.00", iso("2023-05-01T08:30:15.25"), "08:30:15.25"},
    {"iso without T", "General", iso("2023-05-01 08:30"), "not a date"},
    {"months", "mmm mmmm mmmmm", 46000, "12月 十二月 十二"},
    {"weekdays", "ddd dddd aaa aaaa", 45000, "周三 星期三 三 星期三"},
    {"month name", "d-mmm-yy", 46000, "9-12月-25", 15},
    {"year and month", "yyyy\"年\"m\"月\"", 46000, "2025年12月", 27},
    {"year month day", "yyyy\"年\"m\"月\"d\"日\"", 46000, "2025年12月9日", 31},
    {"month and day", "m\"月\"d\"日\"", 46000, "12月9日", 58},
    {"morning", "h:mm AM/PM", 46000.25, "6:00 上午", 18},
    {"afternoon", "h:mm:ss A/P", 46000.75, "6:00:00 下午"},
    {"noon", "hh:mm am/pm", 0.5, "12:00 下午"},
    {"midnight", "上午/下午h\"时\"mm\"分\"", 1, "上午12时00分", 34},
    {"hours minutes seconds", "h\"时\"mm\"分\"ss\"秒\"", 0.5, "12时00分00秒", 33},
    {"afternoon in Chinese", "上午/下午h\"时\"mm\"分\"ss\"秒\"", 0.75, "下午6时00分00秒", 35},
    {"minutes after hours", "h:m", 0.0423611, "1:1"},
    {"minutes before seconds", "mm:ss", 0.0123, "17:43", 45},
    {"tenths of a second", "mm:ss.0", 0.0123, "17:42.7", 47},
    {"hundredths round up", "ss.00", 0.000011574, "01.00"},
    {"rounds to the next day", "h:mm:ss", 0.99999999, "0:00:00"},
    {"elapsed hours", "[h]:mm:ss", 1.5, "36:00:00", 46},
    {"elapsed minutes", "[mm]:ss", 1.5, "2160:00"},
    {"elapsed seconds", "[s]", 0.5, "43200"},
    {"system long date", "[$-F800]dddd, mmmm dd, yyyy", 46000, "2025年12月9日"},
};

// What the cell shows after "<": format appends to what is there.
std::string shown(const Case& c) {
    const NumberFormat format(c.code);
    std::string out = "<";
    if (c.input.kind == Input::Text) {
        format.formatText(c.input.text, out);
    } else {
        const auto serial = c.input.kind == Input::Iso ? isoDateSerial(c.input.text, c.dates) : c.input.value;
        if (!serial)
            return "not a date";
        format.format(*serial, c.dates, out);
    }
    return out.substr(1);
}

TEST(NumberFormat, ShowsEachCellAsExcelDoes) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, shown(c));
    }
}

TEST(BuiltinFormats, AreTheCodesOfTheCases) {
    for (const Case& c : cases) {
        if (c.builtin < 0)
            continue;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.code, builtinFormatCode(c.builtin));
    }
    for (const int unknown : {-1, 23, 59})
        EXPECT_EQ("", builtinFormatCode(unknown));
}

// The date each serial shows is the date whose serial it is, in both systems; only the 1900
// system's 1900-02-29 has no date to read back from.
TEST(DateSerial, EveryDateReadsBackAsItsSerial) {
    for (const auto dates : {d1900, d1904}) {
        for (double serial = 1; serial <= (dates == d1900 ? 2958465 : 2957003); ++serial) {
            Moment moment;
            ASSERT_TRUE(momentOf(serial, dates, 0, moment)) << serial;
            if (dates == d1900 && serial == 60)
                continue;
            ASSERT_EQ(serial, serialOfDate(moment.year, moment.month, moment.day, dates)) << serial;
        }
    }
}

// A shown fraction read back, and its denominator.
double readFraction(std::string text, double& denominator) {
    const bool negative = !text.empty() && text[0] == '-';
    double whole = 0, numerator = 0;
    denominator = 1;
    for (std::size_t at = negative ? 1 : 0; text.find_first_not_of(' ', at) != std::string::npos;) {
        std::size_t used = 0;
        const double number = std::stod(text.substr(at), &used);
        at += used;
        if (at < text.size() && text[at] == '/') {
            numerator = number;
            denominator = std::stod(text.substr(at + 1), &used);
            break;
        }
        whole = number;
    }
    const double magnitude = whole + numerator / denominator;
    return negative ? -magnitude : magnitude;
}

// General's text reads back as the value to its shown digits and fits the cell, a minus sign
// aside. "# ??\?/???" shows the last convergent that fits: no denominator q under 1000 takes
// q times the value nearer to a whole number, as a naive search over every one finds.
TEST(NumberFormat, RandomValuesReadBack) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-12, 11);
    const NumberFormat general, fraction("# ??\?/???");
    for (int i = 0; i < 20000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        std::string text, mixed;
        general.format(value, d1900, text);
        fraction.format(value, d1900, mixed);
        SCOPED_TRACE(text + " | " + mixed);
        EXPECT_LE(text.size(), value < 0 ? 12u : 11u);
        EXPECT_NEAR(value, std::stod(text), std::fabs(value) * 5e-5);
        if (std::fabs(value) >= 1e6) // read back, larger wholes leave too few bits for the fraction
            continue;
        const double part = std::fabs(value) - std::floor(std::fabs(value));
        double best = 1;
        for (int q = 1; q < 1000; ++q)
            best = std::min(best, std::fabs(part * q - std::floor(part * q + 0.5)));
        double q = 1;
        const double shown = std::fabs(readFraction(mixed, q));
        EXPECT_LE(q * std::fabs(std::fabs(value) - shown), best + 1e-6);
    }
}

// Plain fixed-point codes take a short way; a text between the digits makes the same code
// take the long one, and the two must agree but for that text.
TEST(NumberFormat, PlainCodesAgreeWithTheLongWay) {
    const std::pair<const char*, const char*> codes[] = {
        {"#,##0.00", "#,##-0.00"}, {"0.0%", "#-0.0%"}, {"#,##0,", "#,##-0,"}, {"¥0.000元", "¥#-0.000元"}};
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-6, 16), places(0, 6);
    const auto dashless = [](const char* code, double value) {
        std::string text;
        NumberFormat(code).format(value, d1900, text);
        return std::erase(text, '-'), text;
    };
    for (int i = 0; i < 5000; ++i) {
        const double scale = std::pow(10.0, places(random));
        const double value = std::round(mantissa(random) * std::pow(10.0, exponent(random)) * scale) / scale;
        for (const auto& [plain, split] : codes) {
            SCOPED_TRACE(std::to_string(value) + " " + plain);
            EXPECT_EQ(dashless(split, value), dashless(plain, value));
        }
    }
}

} // namespace
} // namespace brisquel::sheets
