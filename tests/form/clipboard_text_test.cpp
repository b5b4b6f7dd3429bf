// The clipboard's text as the import and the fields take it: line ends, UTF-16 and UTF-8.
#include "form/clipboard_text.h"
#include "unicode/unicode.h"

#include "engine/import.h"
#include "engine/state.h"
#include "tests/recording_view.h"

#include <gtest/gtest.h>

#include <algorithm>
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
        {"a stray CR before the first CR LF", u"甲\r乙\r\n丙\n", "甲\r乙\r\n丙\n", "甲\r乙\r\n丙\n"},
        {"a CR before an LF-only row end", u"甲\r乙\n丙\n", "甲\r乙\r\n丙\r\n", "甲\r乙\n丙\n"},
        {"beyond the Basic Multilingual Plane", u"𠀀\t😀\n", "𠀀\t😀\r\n", "𠀀\t😀\n"},
        {"half a surrogate pair becomes U+FFFD", u"甲\xD800乙\xDC00\n", "甲\uFFFD乙\uFFFD\r\n",
         "甲\uFFFD乙\uFFFD\n"},
        {"a high half at the very end", u"甲\n\xD83D", "甲\r\n\uFFFD", "甲\n\uFFFD"},
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

// Each maximal invalid subpart becomes U+FFFD, with the line ends widened around it.
TEST(ClipboardText, InvalidUtf8BecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"a stray continuation byte before an LF", "a\x80\nb", "a" + fffd + "\r\nb"},
        {"a lead byte cut short by an LF", "\xE5\x8F\nx\n", fffd + "\r\nx\r\n"},
        {"an overlong slash", "\xC0\xAF\n", fffd + fffd + "\r\n"},
        {"a lead byte at the very end", "a\n\xF0\x9F\x98", "a\r\n" + fffd},
        {"a NUL byte is kept", std::string("a\0b\n", 4), std::string("a\0b\r\n", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, reportText(clipboardOf(c.bytes), LineEnds::WidenLineFeeds));
    }
}

// The survey checks and counts a block at a time; texts of random pieces cross the blocks'
// edges, and the byte lanes' wrap, at many places, against a plain check, count and search.
TEST(ClipboardText, SurveyAgreesWithAPlainCheckCountAndSearch) {
    const std::string_view pieces[] = {"a", "\n", "\r", "\r\n", "台", "😀", "\xE5\x8F", "\x80"};
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const std::size_t size = random() % 70'000;
        // Long runs of one piece, so that CR LF, LF and broken bytes are now rare, now dense.
        while (text.size() < size) {
            const std::size_t piece = random() % 4 ? random() % 6 : random() % std::size(pieces);
            for (std::size_t k = random() % 4000; k > 0; --k)
                text += random() % 64 ? pieces[piece] : pieces[random() % 6];
        }
        const Utf8Survey survey = surveyUtf8(text);
        ASSERT_EQ(isValidUtf8(text), survey.valid) << round;
        ASSERT_EQ(std::ranges::count(text, '\n'), survey.lineFeeds) << round;
        ASSERT_EQ(text.find("\r\n") != text.npos, survey.crLf) << round;
    }
    for (std::size_t size : {0, 1, 16, 17, 4080, 4081, 4082, 16383, 16384, 16385, 100'000}) {
        SCOPED_TRACE(size);
        const Utf8Survey lineFeeds = surveyUtf8(std::string(size, '\n') + "台\n\xE5");
        EXPECT_FALSE(lineFeeds.valid);
        EXPECT_EQ(size + 1, lineFeeds.lineFeeds);
        EXPECT_TRUE(surveyUtf8(std::string(size, 'a') + "\r\n").crLf);
    }
}

// The import converts the clipboard a slice at a time. Slices of a few units put each unit
// of these texts on a slice's edge in turn: the halves of a surrogate pair, the bytes of a
// UTF-8 character, a CR and its LF, quotes between them, and the header text. Every import
// must equal the import of the whole converted text: rows, labels and progress. What the
// import says it is done with is overwritten at once, as memory given back would read.
TEST(ClipboardText, ImportInSlicesEqualsTheImportOfTheWholeText) {
    const std::u16string units = u"台😀\"\r\"\n\t台区\n乙\r\n\xD800台区\t设备类型\r\n镇府\r\n";
    const std::string bytes = "台\"\r\n\xE5\x8F\t台区\n\x80乙😀\r\"\n台区\t\xF0\x9F\x98\x80\r\n";
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
