// Unicode for every layer. UTF-8 is checked sixteen bytes at a time and UTF-16 written as UTF-8
// eight units at a time where the processor can; one by one elsewhere.
#include "unicode/unicode.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define BRISQUEL_UNICODE_SSSE3 1
#include <tmmintrin.h>
#endif

namespace brisquel {

namespace {

// A decoded sequence's code when the bytes begin none.
constexpr char32_t invalid = 0xFFFFFFFF;

// The character at the start of non-empty `bytes`, by Unicode's table of well-formed
// sequences: the second byte's range depends on the lead, which rules out overlong forms,
// surrogates and codes above U+10FFFF; where a byte falls outside its range, what came
// before it is the maximal invalid subpart.
DecodedUtf8 decode(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0)
        return {invalid, 1};
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    char32_t code = lead & (0xFFu >> (length + 1));
    for (std::size_t i = 1; i < length; ++i) {
        const bool inRange =
            i < bytes.size() && byte(i) >= (i == 1 ? low : 0x80) && byte(i) <= (i == 1 ? high : 0xBF);
        if (!inRange)
            return {invalid, i};
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    return {code, length};
}

#ifdef BRISQUEL_UNICODE_SSSE3
// The classification by lookup tables of "Validating UTF-8 In Less Than One Instruction Per
// Byte" (Keiser and Lemire): each byte's high nibble, and its predecessor's two nibbles, pick
// bit sets of the errors the pair could be part of; what all three share is an error, unless
// it is the continuation that the bytes two or three before call for.
template <int N> __attribute__((target("ssse3"))) __m128i shifted(__m128i input, __m128i previous) {
    return _mm_alignr_epi8(input, previous, 16 - N);
}

// What a byte pair can be part of, one bit for each error.
constexpr std::uint8_t tooShort = 1 << 0;     // a lead byte, then no continuation byte
constexpr std::uint8_t tooLong = 1 << 1;      // an ASCII byte, then a continuation byte
constexpr std::uint8_t overlong3 = 1 << 2;    // E0, then 80..9F
constexpr std::uint8_t tooLarge = 1 << 3;     // F4, then 90..BF; F5..FF, then any continuation
constexpr std::uint8_t surrogate = 1 << 4;    // ED, then A0..BF
constexpr std::uint8_t overlong2 = 1 << 5;    // C0 or C1, then a continuation byte
constexpr std::uint8_t tooLarge1000 = 1 << 6; // F5..FF, then 80..8F
constexpr std::uint8_t overlong4 = 1 << 6;    // F0, then 80..8F
constexpr std::uint8_t twoConts = 1 << 7;     // two continuation bytes: fine if a lead calls for it
constexpr std::uint8_t carry = tooShort | tooLong | twoConts;
constexpr std::uint8_t large = carry | tooLarge | tooLarge1000;

// Indexed by the first byte's high nibble, its low nibble, and the second byte's high nibble.
// clang-format off
alignas(16) constexpr std::uint8_t firstHigh[16] = {
    tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, // ASCII
    twoConts, twoConts, twoConts, twoConts,                                 // continuation
    tooShort | overlong2, tooShort,                                         // two-byte lead
    tooShort | overlong3 | surrogate,                                       // three-byte lead
    tooShort | tooLarge | tooLarge1000 | overlong4};                        // four-byte lead
alignas(16) constexpr std::uint8_t firstLow[16] = {
    carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry,
    carry | tooLarge, large, large, large,
    large, large, large, large,
    large, large | surrogate, large, large};
alignas(16) constexpr std::uint8_t secondHigh[16] = {
    tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, // ASCII
    tooLong | overlong2 | twoConts | overlong3 | tooLarge1000 | overlong4,          // 80..8F
    tooLong | overlong2 | twoConts | overlong3 | tooLarge,                          // 90..9F
    tooLong | overlong2 | twoConts | surrogate | tooLarge,                          // A0..AF
    tooLong | overlong2 | twoConts | surrogate | tooLarge,                          // B0..BF
    tooShort, tooShort, tooShort, tooShort};                                        // a lead
// Above these, the last three bytes of a block begin a sequence the block does not finish.
alignas(16) constexpr std::uint8_t unfinished[16] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0 - 1, 0xE0 - 1, 0xC0 - 1};
// clang-format on

__attribute__((target("ssse3"))) __m128i load(const std::uint8_t (&table)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(table));
}

// Checks sixteen bytes at a time.
__attribute__((target("ssse3"))) bool validSixteenAtATime(const unsigned char* data, std::size_t size) {
    const __m128i byte1High = load(firstHigh);
    const __m128i byte1Low = load(firstLow);
    const __m128i byte2High = load(secondHigh);
    const __m128i incompleteMax = load(unfinished);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i highBit = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i zero = _mm_setzero_si128();
    __m128i previous = zero;
    __m128i error = zero;
    __m128i incomplete = zero;
    std::size_t i = 0;
    alignas(16) unsigned char tail[16] = {};
    for (;;) {
        __m128i input;
        if (i + 16 <= size) {
            input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        } else if (i < size) {
            for (std::size_t k = 0; i + k < size; ++k)
                tail[k] = data[i + k];
            input = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
        } else {
            break;
        }
        i += 16;
        if (_mm_movemask_epi8(input) == 0) { // all ASCII: only an unfinished sequence before it
            error = _mm_or_si128(error, incomplete);
            previous = input;
            incomplete = zero;
            continue;
        }
        const __m128i prev1 = shifted<1>(input, previous);
        const __m128i b1h = _mm_shuffle_epi8(byte1High, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble));
        const __m128i b1l = _mm_shuffle_epi8(byte1Low, _mm_and_si128(prev1, nibble));
        const __m128i b2h = _mm_shuffle_epi8(byte2High, _mm_and_si128(_mm_srli_epi16(input, 4), nibble));
        const __m128i special = _mm_and_si128(_mm_and_si128(b1h, b1l), b2h);
        const __m128i prev2 = shifted<2>(input, previous);
        const __m128i prev3 = shifted<3>(input, previous);
        const __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m128i must23 = _mm_and_si128(_mm_or_si128(third, fourth), highBit);
        error = _mm_or_si128(error, _mm_xor_si128(must23, special));
        incomplete = _mm_subs_epu8(input, incompleteMax);
        previous = input;
    }
    // An unfinished sequence at the very end.
    error = _mm_or_si128(error, incomplete);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(error, zero)) == 0xFFFF;
}

#endif

// One unit, or a surrogate pair, as UTF-8. A sheet switches between Chinese and ASCII every
// few characters, so a unit is written as three byte stores chosen without branches and the
// output moves on by its length; only surrogates take a branch.
template <typename Unit> char* encodeUnit(const Unit*& unit, const Unit* end, bool widen, char* out) {
    const char32_t c = static_cast<char16_t>(*unit++);
    if (c >= 0xD800 && c <= 0xDFFF) {
        if (c >= 0xDC00 || unit == end || *unit < 0xDC00 || *unit > 0xDFFF)
            return writeUtf8(replacementCharacter, out); // half a pair
        return writeUtf8(0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(*unit++) - 0xDC00u), out);
    }
    const bool one = c < 0x80;
    const bool two = c < 0x800;
    const bool lineFeed = widen && c == u'\n';
    const char32_t b0 = one ? c : two ? (0xC0 | c >> 6) : (0xE0 | c >> 12);
    const char32_t b1 = two ? (0x80 | (c & 0x3F)) : (0x80 | (c >> 6 & 0x3F));
    const char32_t b2 = 0x80 | (c & 0x3F);
    out[0] = static_cast<char>(lineFeed ? '\r' : b0);
    out[1] = static_cast<char>(lineFeed ? '\n' : b1);
    out[2] = static_cast<char>(b2);
    return out + (lineFeed ? 2 : one ? 1 : two ? 2 : 3);
}

#ifdef BRISQUEL_UNICODE_SSSE3
// Four units of one or three bytes each, their bytes one unit to a 32-bit lane (lead,
// middle, last): which bytes to keep, in order, for each choice of ASCII units among the
// four (bit k for unit k), and how many they are.
struct Compaction {
    alignas(16) std::uint8_t shuffle[16];
    std::uint8_t length;
};

constexpr std::array<Compaction, 16> makeCompactions() {
    std::array<Compaction, 16> compactions{};
    for (unsigned ascii = 0; ascii < 16; ++ascii) {
        Compaction& compaction = compactions[ascii];
        std::uint8_t length = 0;
        for (std::uint8_t k = 0; k < 4; ++k) {
            for (std::uint8_t byte = 0; byte < (ascii >> k & 1 ? 1 : 3); ++byte)
                compaction.shuffle[length++] = static_cast<std::uint8_t>(4 * k + byte);
        }
        compaction.length = length;
        for (std::uint8_t rest = length; rest < 16; ++rest)
            compaction.shuffle[rest] = 0x80; // a zero byte, written past the end and overwritten
    }
    return compactions;
}

constexpr std::array<Compaction, 16> compactions = makeCompactions();

// Four units, one to a 32-bit lane, none of two bytes or a surrogate; writes sixteen bytes.
__attribute__((target("ssse3"))) char* encodeFour(__m128i units, unsigned ascii, char* out) {
    const __m128i sixBits = _mm_set1_epi32(0x3F);
    const __m128i continuation = _mm_set1_epi32(0x80);
    const __m128i lead = _mm_or_si128(_mm_srli_epi32(units, 12), _mm_set1_epi32(0xE0));
    const __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(units, 6), sixBits), continuation);
    const __m128i last = _mm_or_si128(_mm_and_si128(units, sixBits), continuation);
    const __m128i three =
        _mm_or_si128(lead, _mm_or_si128(_mm_slli_epi32(middle, 8), _mm_slli_epi32(last, 16)));
    const __m128i isAscii =
        _mm_cmpeq_epi32(_mm_and_si128(units, _mm_set1_epi32(0xFF80)), _mm_setzero_si128());
    const __m128i bytes = _mm_or_si128(_mm_and_si128(isAscii, units), _mm_andnot_si128(isAscii, three));
    const Compaction& compaction = compactions[ascii];
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(compaction.shuffle));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, shuffle));
    return out + compaction.length;
}

// Eight units at a time while eight are left. A sheet's units are ASCII or Chinese, of one
// byte or three; eight that hold a unit of two bytes or a surrogate go one by one.
template <typename Unit>
__attribute__((target("ssse3"))) char* encodeEightAtATime(const Unit*& unit, const Unit* end, char* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i highFive = _mm_set1_epi16(static_cast<short>(0xF800));
    while (end - unit >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(unit));
        const __m128i ascii =
            _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
        const __m128i belowTwoBytes = _mm_cmpeq_epi16(_mm_and_si128(units, highFive), zero);
        const __m128i surrogates =
            _mm_cmpeq_epi16(_mm_and_si128(units, highFive), _mm_set1_epi16(static_cast<short>(0xD800)));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_andnot_si128(ascii, belowTwoBytes), surrogates)) != 0) {
            for (const Unit* const eighth = unit + 8; unit < eighth;)
                out = encodeUnit(unit, end, false, out);
            continue;
        }
        const auto asciiBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero)));
        out = encodeFour(_mm_unpacklo_epi16(units, zero), asciiBits & 0xF, out);
        out = encodeFour(_mm_unpackhi_epi16(units, zero), asciiBits >> 4, out);
        unit += 8;
    }
    return out;
}
#endif

template <typename Unit> char* encodeUtf16(std::basic_string_view<Unit> units, bool widen, char* out) {
    const Unit* unit = units.data();
    const Unit* const end = unit + units.size();
#ifdef BRISQUEL_UNICODE_SSSE3
    if (!widen && __builtin_cpu_supports("ssse3"))
        out = encodeEightAtATime(unit, end, out);
#endif
    while (unit < end)
        out = encodeUnit(unit, end, widen, out);
    return out;
}

// Runs of ASCII, which most of a sheet is, go eight bytes at a time.
template <typename Unit> Unit* decodeToUtf16(std::string_view bytes, Unit* out) {
    const auto eightAscii = [&](std::size_t i) {
        std::uint64_t eight;
        std::memcpy(&eight, bytes.data() + i, 8);
        return (eight & 0x8080808080808080u) == 0;
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes.size() - i >= 8 && eightAscii(i)) {
            for (std::size_t k = 0; k < 8; ++k)
                *out++ = static_cast<Unit>(bytes[i + k]);
            i += 8;
            continue;
        }
        DecodedUtf8 c = decode(bytes.substr(i));
        i += c.length;
        if (c.code == invalid)
            c.code = replacementCharacter;
        if (c.code >= 0x10000) {
            *out++ = static_cast<Unit>(0xD800 + ((c.code - 0x10000) >> 10));
            *out++ = static_cast<Unit>(0xDC00 + (c.code & 0x3FF));
        } else {
            *out++ = static_cast<Unit>(c.code);
        }
    }
    return out;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty())
        return 0;
    const DecodedUtf8 c = decode(bytes);
    return c.code == invalid ? 0 : c.length;
}

bool isValidUtf8(std::string_view bytes) {
#ifdef BRISQUEL_UNICODE_SSSE3
    if (__builtin_cpu_supports("ssse3"))
        return validSixteenAtATime(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
#endif
    for (std::size_t i = 0; i < bytes.size();) {
        const DecodedUtf8 c = decode(bytes.substr(i));
        if (c.code == invalid)
            return false;
        i += c.length;
    }
    return true;
}

DecodedUtf8 decodeUtf8(std::string_view bytes) {
    if (bytes.empty())
        return {replacementCharacter, 0};
    const DecodedUtf8 c = decode(bytes);
    return {c.code == invalid ? replacementCharacter : c.code, c.length};
}

char* writeUtf8(char32_t code, char* out) {
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        code = replacementCharacter;
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | code >> 6);
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | code >> 12);
        *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | code >> 18);
        *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

std::string utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2 + bytes.size() % 2, u'\uFFFD');
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units[i / 2] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    std::string text(units.size() * 3 + utf16ToUtf8Slack, '\0');
    text.resize(static_cast<std::size_t>(utf16ToUtf8(units, false, text.data()) - text.data()));
    return text;
}

void appendUtf8(char32_t code, std::string& out) {
    char bytes[4];
    out.append(bytes, writeUtf8(code, bytes));
}

char* repairUtf8(std::string_view bytes, char* out) {
    std::size_t run = 0; // where the valid bytes not yet copied start
    for (std::size_t i = 0; i < bytes.size();) {
        const DecodedUtf8 c = decode(bytes.substr(i));
        if (c.code != invalid) {
            i += c.length;
            continue;
        }
        std::memcpy(out, bytes.data() + run, i - run);
        out = writeUtf8(replacementCharacter, out + (i - run));
        i += c.length;
        run = i;
    }
    std::memcpy(out, bytes.data() + run, bytes.size() - run);
    return out + (bytes.size() - run);
}

char* utf16ToUtf8(std::u16string_view units, bool widen, char* out) {
    return encodeUtf16(units, widen, out);
}

char16_t* utf8ToUtf16(std::string_view bytes, char16_t* out) {
    return decodeToUtf16(bytes, out);
}

#if WCHAR_MAX == 0xFFFF
char* utf16ToUtf8(std::wstring_view units, bool widen, char* out) {
    return encodeUtf16(units, widen, out);
}

wchar_t* utf8ToUtf16(std::string_view bytes, wchar_t* out) {
    return decodeToUtf16(bytes, out);
}
#endif

} // namespace brisquel
