// GB18030 to UTF-8: ASCII sixteen bytes at a time where the processor can, other characters
// through tables expanded once from the generated runs.
#include "sheets/gb18030.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisquel::sheets {

namespace {

#include "sheets/gb18030_table.inc"

constexpr std::size_t twoByteCodes = 126 * 190;
constexpr std::size_t fourByteBmpCodes = 39420;
constexpr std::uint32_t supplementaryFirst = 189000; // the four-byte index of U+10000
constexpr std::uint16_t runMark = 0xFFFF;

// A character's UTF-8, up to three bytes, and its length; length 0 where no character is.
struct Utf8Char {
    char bytes[3];
    std::uint8_t length;
};
static_assert(sizeof(Utf8Char) == 4);

Utf8Char utf8Of(std::uint16_t code) {
    if (code == 0)
        return {{}, 0};
    if (code < 0x80)
        return {{static_cast<char>(code)}, 1};
    if (code < 0x800)
        return {{static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))}, 2};
    return {{static_cast<char>(0xE0 | code >> 12), static_cast<char>(0x80 | (code >> 6 & 0x3F)),
             static_cast<char>(0x80 | (code & 0x3F))},
            3};
}

// Fills `table` from the generated runs (see the table's header).
template <std::size_t N> void expand(std::span<const std::uint16_t> runs, std::array<Utf8Char, N>& table) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < runs.size() && at < N; ++i) {
        if (runs[i] != runMark) {
            table[at++] = utf8Of(runs[i]);
            continue;
        }
        const std::size_t length = runs[i + 1];
        const std::uint16_t first = runs[i + 2];
        for (std::size_t k = 0; k < length && at < N; ++k)
            table[at++] = utf8Of(first == 0 ? 0 : static_cast<std::uint16_t>(first + k));
        i += 2;
    }
}

struct CodeTables {
    std::array<Utf8Char, twoByteCodes> twoByte{};
    std::array<Utf8Char, fourByteBmpCodes> fourByte{};

    CodeTables() {
        expand(gb18030TwoByteRuns, twoByte);
        expand(gb18030FourByteRuns, fourByte);
    }
};

// The tables are built once, at the first decoding, and shared by every later one.
const CodeTables& codeTables() {
    static const CodeTables tables;
    return tables;
}

bool inRange(unsigned char byte, unsigned first, unsigned last) {
    return byte >= first && byte <= last;
}

char* writeChar(const Utf8Char& c, char* out) {
    std::memcpy(out, &c, sizeof c);
    return out + c.length;
}

char* writeSupplementary(std::uint32_t code, char* out) {
    out[0] = static_cast<char>(0xF0 | code >> 18);
    out[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return out + 4;
}

// One character that does not start with an ASCII byte; `at` moves past what it took.
char* decodeOne(const CodeTables& tables, const unsigned char*& at, const unsigned char* end, char* out) {
    const unsigned char* p = at;
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (inRange(p[0], 0x81, 0xFE) && left >= 2) {
        const unsigned lead = p[0] - 0x81u;
        if (inRange(p[1], 0x40, 0xFE) && p[1] != 0x7F) {
            const unsigned trail = p[1] - 0x40u - (p[1] > 0x7F ? 1 : 0);
            const Utf8Char& c = tables.twoByte[lead * 190 + trail];
            if (c.length != 0) {
                at += 2;
                return writeChar(c, out);
            }
        } else if (inRange(p[1], 0x30, 0x39) && left >= 4 && inRange(p[2], 0x81, 0xFE) &&
                   inRange(p[3], 0x30, 0x39)) {
            const std::uint32_t index =
                ((lead * 10 + (p[1] - 0x30u)) * 126 + (p[2] - 0x81u)) * 10 + (p[3] - 0x30u);
            if (index < fourByteBmpCodes && tables.fourByte[index].length != 0) {
                at += 4;
                return writeChar(tables.fourByte[index], out);
            }
            if (index >= supplementaryFirst && index - supplementaryFirst < 0x100000) {
                at += 4;
                return writeSupplementary(0x10000 + index - supplementaryFirst, out);
            }
        }
    }
    ++at;
    std::memcpy(out, "\xEF\xBF\xBD", 3); // U+FFFD
    return out + 3;
}

} // namespace

char* decodeGb18030(std::string_view bytes, char* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    const CodeTables* tables = nullptr;
    while (p < end) {
#if defined(__SSE2__)
        // Sixteen bytes are copied as they stand; the ASCII ones among them are kept.
        if (end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
            const int ascii = high == 0 ? 16 : __builtin_ctz(high);
            p += ascii;
            out += ascii;
            if (ascii == 16)
                continue;
        }
#endif
        if (*p < 0x80) {
            *out++ = static_cast<char>(*p++);
            continue;
        }
        if (tables == nullptr)
            tables = &codeTables();
        // Chinese text comes in runs of characters.
        do
            out = decodeOne(*tables, p, end, out);
        while (p < end && *p >= 0x80);
    }
    return out;
}

} // namespace brisquel::sheets
