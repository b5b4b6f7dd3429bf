// The steps the specialised scanners share: a place in the inflated bytes that takes tags,
// attributes and plain text of the common shapes, and the loop that tries an item again with
// more input when a piece cut it.
#pragma once

#include "sheets/xml.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisquel::sheets {

// An item cut by a piece and longer than this is left to XmlScanner, so that scanning it
// again as input comes stays cheap.
inline constexpr std::size_t maxScanItem = std::size_t{1} << 16;

// The first of `Stops` from `p` on, or `end`: sixteen bytes at a time where the input holds
// them, since a table's markup is mostly names, values and text between such bytes; one lookup
// a byte in the last few.
template <char... Stops> const char* findFirstOf(const char* p, const char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(Stops)))), ...);
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0)
            return p + __builtin_ctz(mask);
    }
#endif
    static constexpr std::array<bool, 256> stops = [] {
        std::array<bool, 256> in{};
        ((in[static_cast<unsigned char>(Stops)] = true), ...);
        return in;
    }();
    while (p != end && !stops[static_cast<unsigned char>(*p)])
        ++p;
    return p;
}

// The bytes that end a run of text or an attribute value, or that leave it to the general
// scanner, and those that end a name or its prefix.
inline const char* findTextStop(const char* p, const char* end) {
    return findFirstOf<'<', '&', '\r'>(p, end);
}
inline const char* findValueStop(const char* p, const char* end) {
    return findFirstOf<'"', '\'', '<', '&', '\t', '\n', '\r'>(p, end);
}
inline const char* findNamePart(const char* p, const char* end) {
    return findFirstOf<' ', '\t', '\n', '\r', '/', '>', '=', '<', '"', '\'', ':'>(p, end);
}

// A place in the input. Each step says false when the input does not go on as it expects;
// `cut` tells whether that was only for want of input.
struct ScanCursor {
    const char* p;
    const char* end;
    bool cut = false;

    bool cutOff() {
        cut = true;
        return false;
    }
    // What a scanner's step that stopped found: too little input, or something it does not take.
    template <typename Scan> Scan stopped() const { return cut ? Scan::Incomplete : Scan::Other; }

    // Whitespace between items, passed over: true when there was some.
    bool skipSpaces() {
        if (!isXmlSpace(*p))
            return false;
        while (p != end && isXmlSpace(*p))
            ++p;
        return true;
    }
    // Compared whole where the input holds it, byte by byte where a piece cuts it.
    bool literal(std::string_view bytes) {
        if (static_cast<std::size_t>(end - p) >= bytes.size()) {
            if (std::memcmp(p, bytes.data(), bytes.size()) != 0)
                return false;
            p += bytes.size();
            return true;
        }
        const auto available = static_cast<std::size_t>(end - p);
        for (std::size_t i = 0; i < available; ++i) {
            if (p[i] != bytes[i])
                return false;
        }
        if (available < bytes.size())
            return cutOff();
        p += available;
        return true;
    }
    // The start of an element named `tag`, such as "<c"; where it stood when it is not.
    bool tagName(std::string_view tag) {
        const char* start = p;
        if (!literal(tag))
            return false;
        if (p != end && (isXmlSpace(*p) || *p == '>' || *p == '/'))
            return true;
        cut = p == end;
        p = start;
        return false;
    }
    bool spaces() {
        while (p != end && isXmlSpace(*p))
            ++p;
        return p != end || cutOff();
    }
    // Text up to the next '<', with no reference and no CR that would need decoding.
    bool text(std::string_view& out) {
        const char* start = p;
        p = findTextStop(p, end);
        if (p == end)
            return cutOff();
        out = std::string_view(start, static_cast<std::size_t>(p - start));
        return *p == '<';
    }
    // The attributes up to the tag's end, each handed to `take` by its local name; `empty`
    // tells a tag ended by "/>".
    template <typename Take> bool attributes(bool& empty, Take&& take) {
        for (;;) {
            const char* before = p;
            if (!spaces())
                return false;
            if (*p == '>' || *p == '/') {
                empty = *p == '/';
                return empty ? literal("/>") : (++p, true);
            }
            if (p == before)
                return false;
            const char* local = p;
            for (p = findNamePart(p, end); p != end && *p == ':'; p = findNamePart(p + 1, end))
                local = p + 1;
            const char* nameEnd = p;
            if (p == end || p + 1 == end)
                return cutOff();
            const char quote = p[1];
            if (*p != '=' || local == p || (quote != '"' && quote != '\''))
                return false;
            p += 2;
            const char* value = p;
            for (p = findValueStop(p, end); p != end && *p != quote; p = findValueStop(p + 1, end)) {
                if (*p != '"' && *p != '\'')
                    return false;
            }
            if (p == end)
                return cutOff();
            if (!take(std::string_view(local, static_cast<std::size_t>(nameEnd - local)),
                      std::string_view(value, static_cast<std::size_t>(p - value))))
                return false;
            ++p;
        }
    }
};

// Tries `scanOne` from where `in` stands, again with more input while the input cuts the
// item, until it finds an item, which it moves past, or stops. `Scan` has Skipped (input
// passed over), Incomplete and Other (nothing taken) besides its items.
template <typename Scan, typename ScanOne> Scan scanWhole(PieceInput& in, ScanOne&& scanOne) {
    for (;;) {
        in.settle();
        if (in.pos == in.input.size()) {
            if (!in.refill())
                return Scan::Other;
            continue;
        }
        const char* begin = in.input.data();
        ScanCursor at{begin + in.pos, begin + in.input.size()};
        const Scan scan = scanOne(at);
        if (scan == Scan::Other)
            return scan;
        if (scan == Scan::Incomplete) {
            if (in.input.size() - in.pos > maxScanItem || !in.refill())
                return Scan::Other;
            continue;
        }
        in.pos = static_cast<std::size_t>(at.p - begin);
        if (scan != Scan::Skipped)
            return scan;
    }
}

} // namespace brisquel::sheets
