// String routines the engine's passes share: finding rows, cells and substrings in large
// texts without copying them, and numbers as decimal text without allocating.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel {

inline constexpr std::size_t npos = std::string_view::npos;

// The position of the first CR LF at or after `from`, or npos.
std::size_t findCrLf(std::string_view text, std::size_t from);

// The number of CR LF pairs in the text.
std::int64_t countCrLf(std::string_view text);

// Walks the pieces of a text cut at every CR LF, in order. The piece after the last
// CR LF counts too, even when empty, so a text with n pairs has n + 1 pieces.
class RowCursor {
public:
    explicit RowCursor(std::string_view text) : m_text(text) {}

    // The next piece as [begin, end) offsets; false once every piece was given.
    bool next(std::size_t& begin, std::size_t& end);

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_done = false;
};

// Cell `index` of a row cut at every TAB, or nothing when the row has no such cell.
std::optional<std::string_view> cellAt(std::string_view row, std::int64_t index);

// Searches texts for one needle. Short needles, the usual header texts, are found by a
// scan that looks at 16 positions at once; long ones, up to a whole header row, by
// Knuth-Morris-Pratt, which is linear in the needle and the text whatever either holds.
class Finder {
public:
    explicit Finder(std::string_view needle);

    // The first occurrence at or after `from`, or npos. The empty needle is found at `from`.
    std::size_t find(std::string_view haystack, std::size_t from = 0) const;
    std::size_t size() const { return m_needle.size(); }

private:
    static constexpr std::size_t longNeedle = 32;
    std::size_t findLong(std::string_view haystack, std::size_t from) const;

    std::string_view m_needle;
    // Long needles only: for each prefix of the needle, the length of its longest proper
    // prefix that is also its suffix.
    std::vector<std::size_t> m_borders;
};

// One search for one needle.
inline std::size_t findText(std::string_view haystack, std::string_view needle, std::size_t from = 0) {
    return Finder(needle).find(haystack, from);
}

// Answers "does text[begin, end) contain the needle?" for a series of ranges that move
// forward through one text, searching each byte of the text about once in all.
class ContainsScan {
public:
    ContainsScan(std::string_view text, std::string_view needle);

    // `begin` must not decrease from one call to the next. A non-empty range contains
    // the empty needle; an empty range contains nothing.
    bool contains(std::size_t begin, std::size_t end);
    // Goes on with another text, from `from`, keeping the needle's tables.
    void restart(std::string_view text, std::size_t from = 0);

private:
    std::string_view m_text;
    Finder m_finder;
    std::size_t m_next; // first occurrence at or after the last `begin`, or npos
};

// A number as decimal text, held in place.
class DecimalText {
public:
    explicit DecimalText(std::int64_t value);
    std::string_view view() const { return {m_digits.data(), m_size}; }

private:
    std::array<char, 24> m_digits{};
    std::size_t m_size = 0;
};

} // namespace brisquel
