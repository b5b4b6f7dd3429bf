// Tests of the string routines the engine's passes share.
#include "engine/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace brisquel {
namespace {

std::vector<std::string> pieces(std::string_view text) {
    std::vector<std::string> result;
    RowCursor rows(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    while (rows.next(begin, end))
        result.emplace_back(text.substr(begin, end - begin));
    return result;
}

TEST(Text, RowsAreCutAtEveryCrLf) {
    struct Case {
        const char* name;
        std::string_view text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"empty", "", {""}},
        {"one pair", "\r\n", {"", ""}},
        {"two rows", "a\r\nb", {"a", "b"}},
        {"lone CR and LF", "a\rb\nc", {"a\rb\nc"}},
        {"CR before pair", "a\r\r\nb", {"a\r", "b"}},
        {"LF after pair", "a\r\n\nb", {"a", "\nb"}},
        {"LF CR", "a\n\rb", {"a\n\rb"}},
        {"pairs in a row", "\r\n\r\n", {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, pieces(c.text));
        EXPECT_EQ(static_cast<std::int64_t>(c.expected.size()) - 1, countCrLf(c.text));
    }
}

TEST(Text, CellAt) {
    struct Case {
        const char* name;
        std::string_view row;
        std::int64_t index;
        std::optional<std::string_view> expected;
    };
    const Case cases[] = {
        {"first", "a\tb", 0, "a"},       {"last", "a\tb", 1, "b"},
        {"past the end", "a\tb", 2, {}}, {"not found yet", "a\tb", -1, {}},
        {"empty cell", "a\t\tb", 1, ""}, {"empty last cell", "a\t", 1, ""},
        {"empty row", "", 0, ""},        {"empty row, second cell", "", 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, cellAt(c.row, c.index));
    }
}

TEST(Text, ContainsScan) {
    // Ranges of "ab\r\nxab\r\n\r\nb": "ab", "xab", "", "b".
    const std::string_view text = "ab\r\nxab\r\n\r\nb";
    struct Case {
        const char* name;
        std::string_view needle;
        std::vector<bool> expected;
    };
    const Case cases[] = {
        {"empty needle in non-empty ranges only", "", {true, true, false, true}},
        {"one byte", "b", {true, true, false, true}},
        {"longer text", "ab", {true, true, false, false}},
        {"across a range end", "b\r", {false, false, false, false}},
        {"absent", "q", {false, false, false, false}},
    };
    const std::pair<std::size_t, std::size_t> ranges[] = {{0, 2}, {4, 7}, {9, 9}, {11, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContainsScan scan(text, c.needle);
        std::vector<bool> found;
        for (const auto& [begin, end] : ranges)
            found.push_back(scan.contains(begin, end));
        EXPECT_EQ(c.expected, found);
    }
}

// The fast search must agree with the plain one for every needle length: short needles
// take the 16-position scan and its tail, long ones Knuth-Morris-Pratt.
TEST(Text, FinderAgreesWithPlainSearch) {
    std::mt19937 random(7);
    const std::string_view alphabet = "ab\t\r\n台";
    for (int round = 0; round < 3000; ++round) {
        std::string haystack;
        const std::size_t size = random() % 200;
        while (haystack.size() < size)
            haystack += alphabet[random() % alphabet.size()];
        const std::size_t from = random() % (size + 2);
        const std::size_t length = std::min<std::size_t>(random() % 70, size);
        const std::size_t start = random() % (size - length + 1);
        const std::string needle = round % 3 == 0 ? std::string(length, 'a') : haystack.substr(start, length);
        SCOPED_TRACE(::testing::Message() << "round " << round);
        EXPECT_EQ(std::string_view(haystack).find(needle, from), Finder(needle).find(haystack, from));
    }
}

} // namespace
} // namespace brisquel
