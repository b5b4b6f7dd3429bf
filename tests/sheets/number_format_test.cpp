// NumberFormat: values through format codes to the text a Chinese Excel shows. Where LibreOffice
// agrees with Excel its output was taken as the expected text; Excel's own General, its 1900 leap
// day and the Chinese names follow what a Chinese Excel shows.
#include "sheets/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace brisquel::sheets {
namespace {

constexpr auto d1900 = DateSystem::From1900;
constexpr auto d1904 = DateSystem::From1904;

std::string shown(double value, std::string_view code, DateSystem dates = d1900) {
    std::string out = "<";
    NumberFormat(code).format(value, dates, out);
    return out.substr(1);
}

struct Case {
    const char* name;
    double value;
    const char* code;
    DateSystem dates;
    const char* expected;
};

template <std::size_t N> void check(const Case (&cases)[N]) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, shown(c.value, c.code, c.dates));
    }
}

TEST(NumberFormat, GeneralFitsElevenCharacters) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"zero", 0, "General", d1900, "0"},
        {"negative zero", -0.0, "General", d1900, "0"},
        {"eleven digits in full", 12345678901, "General", d1900, "12345678901"},
        {"eleven digits negative", -12345678901, "General", d1900, "-12345678901"},
        {"twelve digits scientific", 123456789012, "General", d1900, "1.23457E+11"},
        {"twelve digits negative", -123456789012, "General", d1900, "-1.2346E+11"},
        {"fifteen digits kept", 0.1 + 0.2, "General", d1900, "0.3"},
        {"decimals cut to eleven", 1234567.891234, "General", d1900, "1234567.891"},
        {"negative counts its sign", -0.1234567890123, "General", d1900, "-0.12345679"},
        {"round half up", 123456789.15, "General", d1900, "123456789.2"},
        {"rounds into twelve digits", 99999999999.5, "General", d1900, "1E+11"},
        {"rounds to a whole", 12345678901.5, "General", d1900, "12345678902"},
        {"ten thousandth fixed", 0.0001, "General", d1900, "0.0001"},
        {"small fixed rounded", 0.000123456789, "General", d1900, "0.000123457"},
        {"hundred thousandth scientific", 1e-5, "General", d1900, "1E-05"},
        {"tiny", 1e-10, "General", d1900, "1E-10"},
        {"seven places", 0.0000001, "General", d1900, "1E-07"},
        {"three digit exponent", 1.5e-100, "General", d1900, "1.5E-100"},
        {"huge", 1e300, "General", d1900, "1E+300"},
        {"not a number", nan, "General", d1900, "#NUM!"},
        {"infinity", -inf, "0.00", d1900, "#NUM!"},
        {"empty code", 2.5, "", d1900, "2.5"},
        {"text only code", 7, "@", d1900, "7"},
        {"general with text", 123.456, "General\"元\"", d1900, "123.456元"},
        {"general second section", -123.456, "General;-General", d1900, "-123.456"},
    };
    check(cases);
}

TEST(NumberFormat, DigitPlaceholders) {
    const Case cases[] = {
        {"round half up", 2.5, "0", d1900, "3"},
        {"half up on decimal digits", 2.675, "0.00", d1900, "2.68"},
        {"half up on 1.005", 1.005, "0.00", d1900, "1.01"},
        {"negative rounding to zero drops sign", -0.4, "0", d1900, "0"},
        {"thousands", 1234567.891, "#,##0.00", d1900, "1,234,567.89"},
        {"thousands of a small number", 5, "#,##0", d1900, "5"},
        {"thousands with zeros", 5, "0,000", d1900, "0,005"},
        {"thousands huge", 1e20, "#,##0", d1900, "100,000,000,000,000,000,000"},
        {"scaled by thousand", 1234.5, "0.0,", d1900, "1.2"},
        {"scaled by million", 1234567, "0.0,,", d1900, "1.2"},
        {"question marks pad", 1.5, "0.0?", d1900, "1.5 "},
        {"hash hides zeros", 1.5, "#.##", d1900, "1.5"},
        {"literal digits", 1234567, "000-0000", d1900, "123-4567"},
        {"zero padded", 12, "000-0000", d1900, "000-0012"},
        {"quoted text", 5, "0.00\"元\"", d1900, "5.00元"},
        {"escaped and blank", 5, "\\$0_)", d1900, "$5 "},
        {"fill emits nothing", 5, "*-0", d1900, "5"},
        {"percent", 0.125, "0%", d1900, "13%"},
        {"percent decimals", 0.12345, "0.00%", d1900, "12.35%"},
        {"currency locale", 1234.5, "[$¥-804]#,##0.00", d1900, "¥1,234.50"},
        {"colour ignored", 0.5, "[Red]0.0", d1900, "0.5"},
        {"numeral system ignored", 5, "[DBNum1][$-804]0", d1900, "5"},
    };
    check(cases);
}

TEST(NumberFormat, SectionsAndConditions) {
    const char* accounting = "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ";
    const Case cases[] = {
        {"second section drops sign", -5, "0;0.0", d1900, "5.0"},
        {"negative in its own section", -5, "\"¥\"#,##0;\"¥\"\\-#,##0", d1900, "¥-5"},
        {"one section keeps sign", -5, "\"¥\"#,##0", d1900, "-¥5"},
        {"zero section", 0, "0.00;-0.00;\"zero\"", d1900, "zero"},
        {"empty section hides", -3, "0;;0", d1900, ""},
        {"accounting positive", 1234.5, accounting, d1900, " 1,234.50 "},
        {"accounting negative", -1234.5, accounting, d1900, " -1,234.50 "},
        {"accounting zero", 0, accounting, d1900, " -   "},
        {"condition first", 100, "[>=100][Red]0;[<0]0.0;0.00", d1900, "100"},
        {"condition second", -3, "[>=100][Red]0;[<0]0.0;0.00", d1900, "3.0"},
        {"condition neither", 7, "[>=100][Red]0;[<0]0.0;0.00", d1900, "7.00"},
        {"condition drops sign", -5, "[<0]\"neg\"0;0", d1900, "neg5"},
        {"unconditioned takes the rest", -5, "[>=100]0;0.0", d1900, "5.0"},
        {"no section takes it", 5, "[>10]0", d1900, "########"},
        {"text section skipped for numbers", 0.5, "h\"时\"mm\"分\";@", d1900, "12时00分"},
    };
    check(cases);
}

TEST(NumberFormat, ScientificAndFractions) {
    const Case cases[] = {
        {"scientific", 12345.678, "0.00E+00", d1900, "1.23E+04"},
        {"scientific small", 0.00012345, "0.00E+00", d1900, "1.23E-04"},
        {"scientific zero", 0, "0.00E+00", d1900, "0.00E+00"},
        {"scientific rounds up a digit", 9.999, "0.00E+00", d1900, "1.00E+01"},
        {"scientific minus only", 12345, "0.0E-0", d1900, "1.2E4"},
        {"engineering", 12345, "##0.0E+0", d1900, "12.3E+3"},
        {"engineering small", 0.5, "##0.0E+0", d1900, "500.0E-3"},
        {"two digit mantissa", 0.5, "00.0E+0", d1900, "50.0E-2"},
        {"half", 0.5, "# ?/?", d1900, " 1/2"},
        {"mixed", 1.25, "# ?/?", d1900, "1 1/4"},
        {"whole blanks fraction", 2, "# ?/?", d1900, "2    "},
        {"zero shows 0", 0, "# ?/?", d1900, "0    "},
        {"two digit padding", 0.5, "# ?\?/??", d1900, "  1/2 "},
        {"two digit nearest", 3.14159, "# ?\?/??", d1900, "3 14/99"},
        {"improper", 0.333, "?/?", d1900, "1/3"},
        {"improper above one", 2.5, "?/?", d1900, "5/2"},
        {"rounds up to whole", 0.999, "# ?/?", d1900, "1    "},
        {"fixed denominator", 3.75, "# ?/8", d1900, "3 6/8"},
        {"fixed hundredths", 0.37, "?/100", d1900, "37/100"},
        {"negative fraction", -1.5, "# ?/?", d1900, "-1 1/2"},
    };
    check(cases);
}

TEST(NumberFormat, DatesAndTimes) {
    const Case cases[] = {
        {"date and time", 46000.5, "yyyy/m/d h:mm", d1900, "2025/12/9 12:00"},
        {"padded", 46000.5, "yyyy-mm-dd hh:mm:ss", d1900, "2025-12-09 12:00:00"},
        {"1900-02-28", 59, "yyyy-mm-dd", d1900, "1900-02-28"},
        {"the leap day that never was", 60, "yyyy-mm-dd", d1900, "1900-02-29"},
        {"1900-03-01", 61, "yyyy-mm-dd ddd", d1900, "1900-03-01 周四"},
        {"serial zero", 0, "yyyy/m/d", d1900, "1900/1/0"},
        {"serial one is a Sunday", 1, "dddd", d1900, "星期日"},
        {"1904 system", 46000, "yyyy-mm-dd dddd", d1904, "2029-12-10 星期一"},
        {"1904 zero", 0, "yyyy-mm-dd", d1904, "1904-01-01"},
        {"last day", 2958465, "yyyy-mm-dd", d1900, "9999-12-31"},
        {"past the last day", 2958466, "yyyy-mm-dd", d1900, "########"},
        {"past the last 1904 day", 2957004, "yyyy-mm-dd", d1904, "########"},
        {"negative date", -1, "yyyy-mm-dd", d1900, "########"},
        {"two digit year", 46000, "yy", d1900, "25"},
        {"months", 46000, "mmm mmmm mmmmm", d1900, "12月 十二月 十二"},
        {"weekdays", 45000, "ddd dddd aaa aaaa", d1900, "周三 星期三 三 星期三"},
        {"built in month format", 46000, "d-mmm-yy", d1900, "9-12月-25"},
        {"morning", 46000.25, "h:mm AM/PM", d1900, "6:00 上午"},
        {"afternoon", 46000.75, "h:mm:ss A/P", d1900, "6:00:00 下午"},
        {"noon", 0.5, "hh:mm am/pm", d1900, "12:00 下午"},
        {"midnight", 1, "上午/下午h\"时\"mm\"分\"", d1900, "上午12时00分"},
        {"minutes after hours", 0.0423611, "h:m", d1900, "1:1"},
        {"minutes before seconds", 0.0123, "mm:ss", d1900, "17:43"},
        {"tenths of a second", 0.0123, "mm:ss.0", d1900, "17:42.7"},
        {"hundredths round up", 0.000011574, "ss.00", d1900, "01.00"},
        {"rounds to the next day", 0.99999999, "h:mm:ss", d1900, "0:00:00"},
        {"elapsed hours", 1.5, "[h]:mm:ss", d1900, "36:00:00"},
        {"elapsed minutes", 1.5, "[mm]:ss", d1900, "2160:00"},
        {"elapsed seconds", 0.5, "[s]", d1900, "43200"},
        {"system long date", 46000, "[$-F800]dddd, mmmm dd, yyyy", d1900, "2025年12月9日"},
        {"chinese locale prefix", 46000, "[$-804]yyyy\"年\"m\"月\"d\"日\"", d1900, "2025年12月9日"},
    };
    check(cases);
}

TEST(NumberFormat, BuiltinCodes) {
    const struct {
        int id;
        double value;
        const char* expected;
    } cases[] = {
        {0, 0.1 + 0.2, "0.3"},
        {3, 1234.5, "1,235"},
        {5, -5, "¥-5"},
        {8, 1.5, "¥1.50"},
        {9, 0.5, "50%"},
        {12, 1.5, "1 1/2"},
        {14, 46000, "2025/12/9"},
        {22, 46000.5, "2025/12/9 12:00"},
        {27, 46000, "2025年12月"},
        {31, 46000, "2025年12月9日"},
        {33, 0.5, "12时00分00秒"},
        {35, 0.75, "下午6时00分00秒"},
        {37, -1234, "(1,234)"},
        {42, 1234, " ¥1,234 "},
        {47, 0.0123, "17:42.7"},
        {48, 12345, "12.3E+3"},
        {58, 46000, "12月9日"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.expected, shown(c.value, builtinFormatCode(c.id)));
    }
    EXPECT_EQ("", builtinFormatCode(23));
    EXPECT_EQ("", builtinFormatCode(-1));
}

TEST(NumberFormat, TextThroughTheTextSection) {
    const struct {
        const char* code;
        const char* expected;
    } cases[] = {
        {"@", "abc"},
        {"\"编号:\"@", "编号:abc"},
        {"0.00", "abc"},
        {"0;-0;0;\"x\"@\"y\"", "xabcy"},
        {"0;-0;0;\"fixed\"", "fixed"},
        {"_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ", " abc "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        std::string out;
        NumberFormat(c.code).formatText("abc", out);
        EXPECT_EQ(c.expected, out);
    }
}

// Whole, numerator and denominator of a shown fraction, read back.
double readFraction(std::string text) {
    const bool negative = !text.empty() && text[0] == '-';
    double whole = 0, numerator = 0, denominator = 1;
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

// General's text reads back as the value to its shown digits and fits the cell; "# ??\?/???"
// comes as near to the value as the best fraction a naive search over every denominator finds.
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
        const bool wholeNegative = text[0] == '-' && text.find_first_of(".E") == std::string::npos;
        EXPECT_LE(text.size(), wholeNegative ? 12u : 11u);
        EXPECT_NEAR(value, std::stod(text), std::fabs(value) * 5e-5);
        if (std::fabs(value) >= 1e6) // read back, larger wholes leave too few bits for the fraction
            continue;
        const double part = std::fabs(value) - std::floor(std::fabs(value));
        double best = 1;
        for (int q = 1; q < 1000; ++q)
            best = std::min(best, std::fabs(part - std::floor(part * q + 0.5) / q));
        EXPECT_LE(std::fabs(std::fabs(value) - std::fabs(readFraction(mixed))), best + 1e-9);
    }
}

} // namespace
} // namespace brisquel::sheets
