// Tests of the string routines the engine's passes share: the contains scan with its empty
// cases, and the search for needles of every length. Rows and cells are held by the import's
// and the statistics' examples and by the differential test.
#include "engine/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace brisquel {
namespace {

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
// take the 16-position scan and its tail, long ones Knuth-Morris-Pratt, whose table needs
// needles that repeat their own beginnings, as texts of two letters do.
TEST(Text, FinderAgreesWithPlainSearch) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const std::string_view alphabet = round % 2 == 0 ? "ab\t\r\n台" : "ab";
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
