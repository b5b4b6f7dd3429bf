// Checking the CRC-32 of an inflated part costs longer than inflating it with zlib's own
// crc32 (a byte-at-a-time table, a few GB/s): on a 64-bit x86 processor with PCLMULQDQ, the
// bytes are folded sixty-four at a time by carry-less multiplication instead, and what is left
// over goes to zlib. 32-bit programs keep zlib's: their stack is not kept aligned for SSE.
#include "sheets/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#include <wmmintrin.h>
#define BRISQUEL_CRC_FOLDING 1
#endif

namespace brisquel::sheets {

namespace {

std::uint32_t zlibCrc(std::uint32_t crc, const char* data, std::size_t size) {
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(data), piece));
        data += piece;
        size -= piece;
    }
    return crc;
}

#ifdef BRISQUEL_CRC_FOLDING

__attribute__((target("sse2"))) __m128i load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// x times the constants' two halves, each by its own, added to the next block.
__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i x, __m128i constants, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, constants, 0x00), _mm_clmulepi64_si128(x, constants, 0x11)),
        next);
}

// The folding constants of the reflected polynomial 0xEDB88320: x^(4*128+32), x^(4*128-32)
// mod P for folding by four blocks, x^(128+32), x^(128-32) for folding by one, x^64 for the
// last 64 bits, then Barrett's constant and P itself.
__attribute__((target("pclmul,sse2"))) std::uint32_t foldedCrc(std::uint32_t crc, const char* data,
                                                               std::size_t size) {
    const __m128i byFour = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    const __m128i byOne = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    const __m128i last64 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(data + 16), x3 = load(data + 32), x4 = load(data + 48);
    data += 64;
    size -= 64;
    for (; size >= 64; data += 64, size -= 64) {
        x1 = fold(x1, byFour, load(data));
        x2 = fold(x2, byFour, load(data + 16));
        x3 = fold(x3, byFour, load(data + 32));
        x4 = fold(x4, byFour, load(data + 48));
    }
    x1 = fold(fold(fold(x1, byOne, x2), byOne, x3), byOne, x4);
    for (; size >= 16; data += 16, size -= 16)
        x1 = fold(x1, byOne, load(data));

    // 128 bits to 64, 64 to 32, then Barrett's reduction to the remainder.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, byOne, 0x10), _mm_srli_si128(x1, 8));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), last64, 0x00), _mm_srli_si128(x1, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x1, t), 4)));
}

bool foldingAvailable() {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return available;
}

#endif

} // namespace

std::uint32_t crc32Of(std::uint32_t crc, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
#ifdef BRISQUEL_CRC_FOLDING
    if (size >= 64 && foldingAvailable()) {
        const std::size_t folded = size & ~std::size_t{15};
        // The folding works on the register's value, zlib's on its complement.
        crc = ~foldedCrc(~crc, data, folded);
        data += folded;
        size -= folded;
    }
#endif
    return zlibCrc(crc, data, size);
}

} // namespace brisquel::sheets
