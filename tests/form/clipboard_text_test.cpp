// The clipboard's text as the import and the fields take it: line ends, UTF-16 and UTF-8.
#include "form/clipboard_text.h"
#include "sheets/utf8.h"

#include "engine/import.h"
#include "engine/state.h"
#include "tests/recording_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace brisquel {
namespace {

ClipboardText clipboardOf(const std::u16string& text) {
    return {std::u16string_view(text), nullptr};
}

ClipboardText clipboardOf(const std::string& text) {
    return {std::string_view(text), nullptr};
}

TEST(ClipboardText, LineEndsAreWidenedOnlyInTextsWithoutCrLf) {
    struct Case {
        const char* name;
        std::u16string clipboard;
        std::string widened;  // what the import takes off Windows
        std::string asCopied; // what it takes on Windows
    };
    const Case cases[] = {
        {"empty", u"", "", ""},
        {"Excel rows keep their CR LF", u"台区\t设备类型\r\n镇府\t表\r\n", "台区\t设备类型\r\n镇府\t表\r\n",
         "台区\t设备类型\r\n镇府\t表\r\n"},
        {"Calc rows get CR LF", u"台区\t设备类型\n镇府\t表\n", "台区\t设备类型\r\n镇府\t表\r\n",
         "台区\t设备类型\n镇府\t表\n"},
        {"Gnumeric leaves the last row bare", u"台区\n镇府", "台区\r\n镇府", "台区\n镇府"},
        {"an LF beside a CR LF is a break in a cell", u"台区\r\n甲\n乙\r\n", "台区\r\n甲\n乙\r\n",
         "台区\r\n甲\n乙\r\n"},
        {"lone CRs stay", u"台区\r镇府\r", "台区\r镇府\r", "台区\r镇府\r"},
        {"a CR before an LF-only row end", u"甲\r乙\n丙\n", "甲\r乙\r\n丙\r\n", "甲\r乙\n丙\n"},
        {"beyond the Basic Multilingual Plane", u"𠀀\t😀\n", "𠀀\t😀\r\n", "𠀀\t😀\n"},
        {"half a surrogate pair becomes ?", u"甲\xD800乙\xDC00\n", "甲?乙?\r\n", "甲?乙?\n"},
        {"a high half at the very end", u"甲\n\xD83D", "甲\r\n?", "甲\n?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widened, reportText(clipboardOf(c.clipboard), LineEnds::WidenLineFeeds));
        EXPECT_EQ(c.asCopied, reportText(clipboardOf(c.clipboard), LineEnds::AsCopied));
        // The same text handed over as UTF-8 gives the same report.
        if (c.clipboard.find_first_of(u"\xD800\xDC00\xD83D") == std::u16string::npos) {
            EXPECT_EQ(c.widened, reportText(clipboardOf(c.asCopied), LineEnds::WidenLineFeeds));
        }
    }
}

// A byte that starts no valid sequence becomes U+FFFD, and the next byte is read afresh.
TEST(ClipboardText, InvalidUtf8BecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"a stray continuation byte",
         "a\x80"
         "b",
         "a" + fffd + "b"},
        {"a lead byte cut short by an ASCII byte", "\xE5\x8F\tx", fffd + fffd + "\tx"},
        {"a lead byte at the very end", "a\xE5", "a" + fffd},
        {"an overlong slash", "\xC0\xAF", fffd + fffd},
        {"an overlong three-byte form", "\xE0\x80\xAF", fffd + fffd + fffd},
        {"an encoded surrogate", "\xED\xA0\x80", fffd + fffd + fffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        {"F5 and above never lead", "\xF5\xFF", fffd + fffd},
        {"the largest code point is kept", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"a NUL byte is kept", std::string("a\0b\n", 4), std::string("a\0b\r\n", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, reportText(clipboardOf(c.bytes), LineEnds::WidenLineFeeds));
    }
}

// Unicode's table of well-formed byte sequences, read literally.
bool wellFormed(std::string_view text) {
    struct Form {
        unsigned char first[2];
        unsigned char rest[3][2]; // {0, 0}: no such byte
    };
    constexpr Form forms[] = {
        {{0x00, 0x7F}, {}},
        {{0xC2, 0xDF}, {{0x80, 0xBF}}},
        {{0xE0, 0xE0}, {{0xA0, 0xBF}, {0x80, 0xBF}}},
        {{0xE1, 0xEC}, {{0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xED, 0xED}, {{0x80, 0x9F}, {0x80, 0xBF}}},
        {{0xEE, 0xEF}, {{0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF0, 0xF0}, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF1, 0xF3}, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF4, 0xF4}, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
    };
    const auto in = [](unsigned char byte, const unsigned char(&range)[2]) {
        return byte >= range[0] && byte <= range[1];
    };
    for (std::size_t i = 0; i < text.size();) {
        const Form* form = nullptr;
        for (const Form& candidate : forms) {
            if (in(static_cast<unsigned char>(text[i]), candidate.first))
                form = &candidate;
        }
        if (!form)
            return false;
        ++i;
        for (const auto& range : form->rest) {
            if (range[1] == 0)
                break;
            if (i == text.size() || !in(static_cast<unsigned char>(text[i]), range))
                return false;
            ++i;
        }
    }
    return true;
}

// The survey that lets a valid sheet through without a look at each byte, against the table
// and a plain count of LFs and search for CR LF, on random texts of characters at the edges
// of each form and broken ones, at every length around the sixteen bytes it takes at a time.
TEST(Utf8, SurveyAgreesWithTheTableOfWellFormedSequencesAndAPlainCount) {
    const std::string_view pieces[] = {"a", "\n", "\r", "台", "😀", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
                                       "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                                       // not well formed
                                       "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",
                                       "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80", "\xFF", "\xE5\x8F",
                                       "\xF0\x9F\x98"};
    std::mt19937 random(7);
    int invalid = 0;
    for (int round = 0; round < 200'000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 24);
        for (int k = 0; k < count; ++k) {
            // Mostly well-formed pieces, so that a broken one can hide deep in a long text.
            const std::size_t piece = random() % 8 ? random() % 12 : random() % std::size(pieces);
            text += pieces[piece];
        }
        const bool expected = wellFormed(text);
        invalid += !expected;
        ASSERT_EQ(expected, isValidUtf8(text)) << testing::PrintToString(text);
        const Utf8Survey survey = surveyUtf8(text);
        ASSERT_EQ(std::ranges::count(text, '\n'), survey.lineFeeds) << testing::PrintToString(text);
        ASSERT_EQ(text.find("\r\n") != text.npos, survey.crLf) << testing::PrintToString(text);
    }
    EXPECT_GT(invalid, 10'000);
}

// The LFs are counted sixteen bytes at a time in byte-wide counters, which must be emptied
// before they wrap: a text of nothing but LFs fills each of them at every step.
TEST(Utf8, LineFeedsAreCountedInTextsOfAnyLength) {
    for (std::size_t size : {0, 1, 15, 16, 17, 4079, 4080, 4081, 4096, 100'000}) {
        SCOPED_TRACE(size);
        const std::string lineFeeds(size, '\n');
        EXPECT_EQ(size, surveyUtf8(lineFeeds).lineFeeds);
        const Utf8Survey broken = surveyUtf8(lineFeeds + "台\n\xE5");
        EXPECT_FALSE(broken.valid);
        EXPECT_EQ(size + 1, broken.lineFeeds);
    }
}

// UTF-16 as UTF-8, read literally off the definitions, one code point at a time.
std::string literalUtf8(std::u16string_view text, bool widen) {
    std::string out;
    const auto put = [&](char32_t bits) { out += static_cast<char>(bits); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
            continue;
        }
        if (widen && c == u'\n') {
            out += "\r\n";
        } else if (c < 0x80) {
            put(c);
        } else if (c < 0x800) {
            put(0xC0 | c >> 6);
            put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            put(0xE0 | c >> 12);
            put(0x80 | (c >> 6 & 0x3F));
            put(0x80 | (c & 0x3F));
        } else {
            put(0xF0 | c >> 18);
            put(0x80 | (c >> 12 & 0x3F));
            put(0x80 | (c >> 6 & 0x3F));
            put(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The conversion takes eight units at a time where it can: random texts of ASCII, Chinese,
// two-byte characters, pairs and halves of pairs, at every length around eight, each
// written into a buffer of exactly the room it is given.
TEST(Utf8, Utf16IsWrittenAsTheDefinitionsSay) {
    const std::u16string_view pieces[] = {
        u"a",      u"\t",     u"\n", u"\r",     u"\x7F", u"台区",         u"\x0800", u"\xD7FF", u"\xE000",
        u"\xFFFF", u"\x0080", u"é",  u"\x07FF", u"😀",    u"\xDBFF\xDFFF", u"\xD800", u"\xDC00"};
    std::mt19937 random(11);
    for (int round = 0; round < 100'000; ++round) {
        std::u16string text;
        const int count = static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k) {
            // Mostly ASCII and Chinese, as a sheet is, so that eight units often go together.
            text += pieces[random() % 4 ? random() % 10 : random() % std::size(pieces)];
        }
        for (bool widen : {false, true}) {
            std::vector<char> room(text.size() * 3 + utf16EncodeSlack);
            char* end = encodeUtf16(text, widen, room.data());
            ASSERT_EQ(literalUtf8(text, widen), std::string(room.data(), end)) << widen;
        }
    }
}

TEST(ClipboardText, LinuxSpreadsheetCopiesBecomeImportable) {
    for (const char* name : {"calc-whole-sheet.utf8.txt", "gnumeric-whole-sheet.utf8.txt"}) {
        std::ifstream file(std::string(BRISQUEL_TEST_DATA "/") + name, std::ios::binary);
        const std::string copied{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(copied.empty()) << name;
        EXPECT_FALSE(isImportable(reportText(clipboardOf(copied), LineEnds::AsCopied)));
        EXPECT_TRUE(isImportable(reportText(clipboardOf(copied), LineEnds::WidenLineFeeds)));
    }
}

// The import converts the clipboard a slice at a time. Slices of a few units put each unit
// of these texts on a slice's edge in turn: the halves of a surrogate pair, the bytes of a
// UTF-8 character, a CR and its LF, quotes between them, and the header text. Every import
// must equal the import of the whole converted text: rows, labels and progress. What the
// import says it is done with is overwritten at once, as memory given back would read.
TEST(ClipboardText, ImportInSlicesEqualsTheImportOfTheWholeText) {
    const std::u16string units = u"台😀\"\r\"\n\t台区\n乙\r\n\xD800台区\t设备类型\r\n镇府\r\n";
    const std::string bytes = "台\"\r\n\xE5\x8F\t台区\n\x80乙\r\"\n台区\t\xF0\x9F\x98\x80\r\n";
    const auto compare = [](const auto& text, LineEnds lineEnds) {
        TallyState whole;
        test::RecordingView wholeView;
        importText(whole, reportText(clipboardOf(text), lineEnds), wholeView);
        for (std::size_t slice : {4, 5, 6, 7, 64}) {
            SCOPED_TRACE(slice);
            auto held = text;
            ClipboardText clipboard = clipboardOf(held);
            std::size_t released = 0;
            clipboard.release = [&](std::size_t upTo) {
                ASSERT_LE(released, upTo);
                std::fill(held.begin() + static_cast<std::ptrdiff_t>(released),
                          held.begin() + static_cast<std::ptrdiff_t>(upTo), '"');
                released = upTo;
            };
            TallyState sliced;
            test::RecordingView slicedView;
            importClipboard(sliced, clipboard, lineEnds, slicedView, slice);
            EXPECT_EQ(held.size(), released);
            EXPECT_EQ(whole.alltxt(), sliced.alltxt());
            EXPECT_EQ(whole.alltxti(), sliced.alltxti());
            EXPECT_EQ(wholeView.log(), slicedView.log());
        }
    };
    // Rows as Linux copies them: each CR LF an LF; a CR before quotes and an LF stays.
    const auto lineFeedsOnly = [](auto text) {
        using Char = typename decltype(text)::value_type;
        for (std::size_t at = text.find(Char('\r')); at != text.npos; at = text.find(Char('\r'), at + 1)) {
            if (at + 1 < text.size() && text[at + 1] == Char('\n'))
                text.erase(at, 1);
        }
        return text;
    };
    for (int times : {1, 3}) {
        std::u16string utf16;
        std::string utf8;
        for (int i = 0; i < times; ++i) {
            utf16 += units;
            utf8 += bytes;
        }
        compare(utf16, LineEnds::AsCopied);
        compare(utf8, LineEnds::AsCopied);
        compare(lineFeedsOnly(utf16), LineEnds::WidenLineFeeds);
        compare(lineFeedsOnly(utf8), LineEnds::WidenLineFeeds);
    }
}

} // namespace
} // namespace brisquel
