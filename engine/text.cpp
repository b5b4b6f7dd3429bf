// String routines shared by the import, the statistics and the export.
#include "text.h"

#include <bit>
#include <charconv>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define BRISQUEL_HAVE_SSE2 1
#endif

namespace brisquel {

std::size_t findCrLf(std::string_view text, std::size_t from) {
    const char* const base = text.data();
    std::size_t pos = from;
    while (pos < text.size()) {
        const void* lf = std::memchr(base + pos, '\n', text.size() - pos);
        if (lf == nullptr)
            return npos;
        const std::size_t at = static_cast<const char*>(lf) - base;
        // A LF right at `from` follows the previous pair's LF (or the text's start), so it
        // cannot end a pair that begins inside this piece.
        if (at > from && base[at - 1] == '\r')
            return at - 1;
        pos = at + 1;
    }
    return npos;
}

std::int64_t countCrLf(std::string_view text) {
    std::int64_t count = 0;
    for (std::size_t at = findCrLf(text, 0); at != npos; at = findCrLf(text, at + 2))
        ++count;
    return count;
}

bool RowCursor::next(std::size_t& begin, std::size_t& end) {
    if (m_done)
        return false;
    begin = m_pos;
    const std::size_t at = findCrLf(m_text, m_pos);
    if (at == npos) {
        end = m_text.size();
        m_done = true;
    } else {
        end = at;
        m_pos = at + 2;
    }
    return true;
}

std::optional<std::string_view> cellAt(std::string_view row, std::int64_t index) {
    if (index < 0)
        return std::nullopt;
    std::size_t begin = 0;
    for (std::int64_t k = 0; k < index; ++k) {
        const void* tab = std::memchr(row.data() + begin, '\t', row.size() - begin);
        if (tab == nullptr)
            return std::nullopt;
        begin = static_cast<const char*>(tab) - row.data() + 1;
    }
    const void* tab = std::memchr(row.data() + begin, '\t', row.size() - begin);
    const std::size_t end = tab == nullptr ? row.size() : static_cast<const char*>(tab) - row.data();
    return row.substr(begin, end - begin);
}

// Not the standard library's Boyer-Moore: its setup takes time quadratic in a needle that
// repeats one byte, and a header row of many empty cells is little else than TABs.
Finder::Finder(std::string_view needle) : m_needle(needle) {
    if (needle.size() <= longNeedle)
        return;
    m_borders.resize(needle.size());
    for (std::size_t i = 1, border = 0; i < needle.size(); ++i) {
        while (border > 0 && needle[i] != needle[border])
            border = m_borders[border - 1];
        if (needle[i] == needle[border])
            ++border;
        m_borders[i] = border;
    }
}

std::size_t Finder::find(std::string_view haystack, std::size_t from) const {
    const std::size_t m = m_needle.size();
    if (from > haystack.size() || haystack.size() - from < m)
        return npos;
    if (m > longNeedle)
        return findLong(haystack, from);
#ifdef BRISQUEL_HAVE_SSE2
    if (m >= 2) {
        // Compare the needle's first and last byte at 16 positions at once and check the
        // middle only where both agree: in Chinese text the first byte alone matches often.
        const char* const h = haystack.data();
        const __m128i first = _mm_set1_epi8(m_needle.front());
        const __m128i last = _mm_set1_epi8(m_needle.back());
        std::size_t i = from;
        for (; i + m - 1 + 16 <= haystack.size(); i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + m - 1));
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
            while (mask != 0) {
                const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
                if (std::memcmp(h + at + 1, m_needle.data() + 1, m - 2) == 0)
                    return at;
                mask &= mask - 1;
            }
        }
        from = i;
    }
#endif
    return haystack.find(m_needle, from);
}

std::size_t Finder::findLong(std::string_view haystack, std::size_t from) const {
    const char* const h = haystack.data();
    const std::size_t m = m_needle.size();
    std::size_t matched = 0;
    for (std::size_t i = from; i < haystack.size(); ++i) {
        if (matched == 0) {
            // Nothing matched: go straight to the next byte that can begin an occurrence.
            const void* first = std::memchr(h + i, m_needle[0], haystack.size() - i);
            if (first == nullptr)
                return npos;
            i = static_cast<std::size_t>(static_cast<const char*>(first) - h);
        }
        while (matched > 0 && h[i] != m_needle[matched])
            matched = m_borders[matched - 1];
        if (h[i] == m_needle[matched])
            ++matched;
        if (matched == m)
            return i + 1 - m;
    }
    return npos;
}

ContainsScan::ContainsScan(std::string_view text, std::string_view needle)
    : m_text(text), m_finder(needle), m_next(m_finder.find(text)) {}

bool ContainsScan::contains(std::size_t begin, std::size_t end) {
    if (m_finder.size() == 0)
        return end > begin;
    if (m_next < begin)
        m_next = m_finder.find(m_text, begin);
    // Occurrences are ordered by start, so if the first one at or after `begin` runs past
    // `end`, every later one does too.
    return m_next != npos && m_next + m_finder.size() <= end;
}

void ContainsScan::restart(std::string_view text, std::size_t from) {
    m_text = text;
    m_next = m_finder.find(text, from);
}

DecimalText::DecimalText(std::int64_t value) {
    const auto result = std::to_chars(m_digits.data(), m_digits.data() + m_digits.size(), value);
    m_size = static_cast<std::size_t>(result.ptr - m_digits.data());
}

} // namespace brisquel
