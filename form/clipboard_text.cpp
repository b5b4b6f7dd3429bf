// Clipboard text for the import (UTF-8 rows ending in CR LF) and for the condition fields.
#include "form/clipboard_text.h"

#include "engine/import.h"
#include "engine/memory.h"
#include "unicode/unicode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define BRISQUEL_CLIPBOARD_SSE2 1
#include <emmintrin.h>
#endif

namespace brisquel {

namespace {

template <typename Char> bool containsCrLf(std::basic_string_view<Char> text) {
    for (std::size_t cr = text.find(Char('\r')); cr != text.npos; cr = text.find(Char('\r'), cr + 1)) {
        if (cr + 1 < text.size() && text[cr + 1] == Char('\n'))
            return true;
    }
    return false;
}

// A text's line feeds are widened when asked and when it has LFs but no CR LF.
constexpr bool widened(LineEnds lineEnds, bool hasLineFeed, bool hasCrLf) {
    return lineEnds == LineEnds::WidenLineFeeds && hasLineFeed && !hasCrLf;
}

template <typename Char> bool widens(std::basic_string_view<Char> text, LineEnds lineEnds) {
    return widened(lineEnds, text.find(Char('\n')) != text.npos, containsCrLf(text));
}

// `out` has room for three bytes per unit and utf16ToUtf8Slack more.
char* encode(std::u16string_view text, bool widen, char* out) {
    return utf16ToUtf8(text, widen, out);
}

// Copies valid UTF-8 to `out`, which has room for twice its size, and returns the end of
// what was written; with `widen`, every LF becomes CR LF.
char* copyUtf8(std::string_view text, bool widen, char* out) {
    std::size_t run = 0;
    if (widen) {
        for (std::size_t lf = text.find('\n'); lf != text.npos; lf = text.find('\n', lf + 1)) {
            std::memcpy(out, text.data() + run, lf - run);
            out += lf - run;
            *out++ = '\r';
            run = lf;
        }
    }
    std::memcpy(out, text.data() + run, text.size() - run);
    return out + (text.size() - run);
}

// Copies UTF-8 to `out`, which has room for three bytes per byte, and returns the end of
// what was written; each maximal invalid subpart becomes U+FFFD, and with `widen` every LF
// becomes CR LF. A copied sheet is valid UTF-8, checked sixteen bytes at a time; only a text
// that is not goes through character by character. An LF is never part of an invalid
// subpart, so the lines between LFs are repaired each on its own.
char* encode(std::string_view text, bool widen, char* out) {
    if (isValidUtf8(text))
        return copyUtf8(text, widen, out);
    if (!widen)
        return repairUtf8(text, out);
    std::size_t line = 0;
    for (std::size_t lf = text.find('\n'); lf != text.npos; lf = text.find('\n', line)) {
        out = repairUtf8(text.substr(line, lf - line), out);
        *out++ = '\r';
        *out++ = '\n';
        line = lf + 1;
    }
    return repairUtf8(text.substr(line), out);
}

// Where a slice that should end at `end` can end without cutting a character in two: never
// between the halves of a surrogate pair, nor after the lead byte of a UTF-8 sequence that
// may continue past `end` (a valid sequence is at most four bytes long).
std::size_t sliceEnd(std::u16string_view text, std::size_t end) {
    if (end >= text.size())
        return text.size();
    return text[end - 1] >= 0xD800 && text[end - 1] < 0xDC00 ? end - 1 : end;
}

std::size_t sliceEnd(std::string_view text, std::size_t end) {
    if (end >= text.size())
        return text.size();
    for (std::size_t back = 1; back <= 3; ++back) {
        if (static_cast<unsigned char>(text[end - back]) >= 0xC0)
            return end - back;
    }
    return end;
}

// What the import needs to know before its first row: whether its line feeds are widened,
// the number of row ends of the converted text once its quotes are deleted, and about how
// many bytes it takes as UTF-8. CR, LF and the quote are single units in UTF-16 and single
// bytes in UTF-8, and the conversion leaves them as they are, so they are counted in the
// clipboard's own text.
struct Survey {
    std::int64_t pairs = 0; // the row ends: CR LF pairs, or LFs when widened
    std::size_t utf8Bytes = 0;
    bool widen = false;     // a text with LF but no CR LF, with line feeds widened
    bool validUtf8 = false; // UTF-8 found valid throughout, so its slices need no check
};

// One pass over a hundred million units, in blocks that the compiler runs several units at
// a time: no branch, and each unit compared with the one before it rather than with a value
// carried along. Only an LF right after a quote sends the count back to look past the quotes
// for a CR.
Survey survey(std::u16string_view text, LineEnds lineEnds) {
    const char16_t* const units = text.data();
    const auto extraBytes = [](char16_t c) { // beyond one byte a unit
        return std::uint32_t{c >= 0x80} + std::uint32_t{c >= 0x800} -
               std::uint32_t{static_cast<std::uint16_t>(c - 0xD800) < 0x800};
    };
    std::size_t lineFeeds = 0;
    std::size_t pairs = 0;
    std::size_t quotedLineFeeds = 0;
    std::size_t utf8Bytes = text.size();
    if (!text.empty()) {
        lineFeeds += units[0] == u'\n';
        utf8Bytes += extraBytes(units[0]);
    }
    constexpr std::size_t block = std::size_t{1} << 14; // small enough for 32-bit counts
    for (std::size_t start = 1; start < text.size(); start += block) {
        const std::size_t end = std::min(text.size(), start + block);
        std::uint32_t blockLineFeeds = 0;
        std::uint32_t blockPairs = 0;
        std::uint32_t blockQuoted = 0;
        std::uint32_t blockExtra = 0;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint32_t lineFeed = units[i] == u'\n';
            blockLineFeeds += lineFeed;
            blockPairs += lineFeed & (units[i - 1] == u'\r');
            blockQuoted += lineFeed & (units[i - 1] == u'"');
            blockExtra += extraBytes(units[i]);
        }
        lineFeeds += blockLineFeeds;
        pairs += blockPairs;
        quotedLineFeeds += blockQuoted;
        utf8Bytes += blockExtra;
    }
    const bool widen = widened(lineEnds, lineFeeds > 0, pairs > 0);
    if (quotedLineFeeds > 0 && !widen) {
        for (std::size_t lf = text.find(u'\n'); lf != text.npos; lf = text.find(u'\n', lf + 1)) {
            if (lf == 0 || text[lf - 1] != u'"')
                continue;
            std::size_t before = lf - 1;
            while (before > 0 && text[before - 1] == u'"')
                --before;
            pairs += before > 0 && text[before - 1] == u'\r';
        }
    }
    if (widen)
        return {static_cast<std::int64_t>(lineFeeds), utf8Bytes + lineFeeds, true};
    return {static_cast<std::int64_t>(pairs), utf8Bytes, false};
}

// UTF-8 keeps its size, widening aside. Its validity and whether it is widened are found in
// the pass that counts its LFs.
Survey survey(std::string_view text, LineEnds lineEnds) {
    const Utf8Survey bytes = surveyUtf8(text);
    if (widened(lineEnds, bytes.lineFeeds > 0, bytes.crLf)) {
        return {static_cast<std::int64_t>(bytes.lineFeeds), text.size() + bytes.lineFeeds, true, bytes.valid};
    }
    CrLfCounter counter;
    counter.add(text);
    return {counter.pairs(), text.size(), false, bytes.valid};
}

#ifdef BRISQUEL_CLIPBOARD_SSE2
// Counts the LFs of bytes[1..] sixteen bytes at a time, in byte lanes added up before they can
// wrap, and notes in `pairs` whether one follows a CR; returns where it stopped.
__attribute__((target("sse2"))) std::size_t countSixteenAtATime(std::string_view bytes,
                                                                std::size_t& lineFeeds, bool& pairs) {
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    __m128i pairLanes = zero;
    std::size_t i = 1;
    while (i + 16 <= bytes.size()) {
        __m128i lanes = zero;
        for (int k = 0; k < 255 && i + 16 <= bytes.size(); ++k, i += 16) {
            const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
            const __m128i previous = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i - 1));
            const __m128i found = _mm_cmpeq_epi8(input, lineFeed);
            lanes = _mm_sub_epi8(lanes, found);
            pairLanes =
                _mm_or_si128(pairLanes, _mm_and_si128(found, _mm_cmpeq_epi8(previous, carriageReturn)));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        lineFeeds += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                     static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    pairs = pairs || _mm_movemask_epi8(pairLanes) != 0;
    return i;
}
#endif

// The LFs of `bytes`, and whether one follows a CR noted in `crLf`; `before` is the byte
// before them.
std::size_t countLineFeeds(std::string_view bytes, char before, bool& crLf) {
    std::size_t lineFeeds = 0;
    std::size_t i = 0;
#ifdef BRISQUEL_CLIPBOARD_SSE2
    if (!bytes.empty() && __builtin_cpu_supports("sse2")) {
        lineFeeds = bytes[0] == '\n';
        crLf = crLf || (bytes[0] == '\n' && before == '\r');
        i = countSixteenAtATime(bytes, lineFeeds, crLf);
    }
#endif
    for (; i < bytes.size(); ++i) {
        const bool lineFeed = bytes[i] == '\n';
        lineFeeds += lineFeed;
        crLf = crLf || (lineFeed && (i > 0 ? bytes[i - 1] : before) == '\r');
    }
    return lineFeeds;
}

} // namespace

// With line feeds widened, any LF ends a row: it follows a CR already, or it is widened.
bool isImportable(const ClipboardText& clipboard, LineEnds lineEnds) {
    return std::visit(
        [&](auto text) {
            using Char = typename decltype(text)::value_type;
            if (lineEnds == LineEnds::WidenLineFeeds)
                return text.find(Char('\n')) != text.npos;
            return containsCrLf(text);
        },
        clipboard.text);
}

void importClipboard(TallyState& state, const ClipboardText& clipboard, LineEnds lineEnds, TallyView& view,
                     std::size_t sliceUnits) {
    sliceUnits = std::max<std::size_t>(sliceUnits, 4); // room to step back over a cut character
    std::visit(
        [&](auto text) {
            const Survey size = survey(text, lineEnds);
            const std::unique_ptr<char[]> buffer(new char[sliceUnits * 3 + utf16ToUtf8Slack]);
            // The pass reads each LF of a text to be widened as a CR LF, so the slices keep
            // their line ends, and a slice of valid UTF-8 goes to the import without a copy.
            ImportPass pass(state, view, size.pairs, size.utf8Bytes,
                            size.widen ? RowEnd::LineFeed : RowEnd::CrLf);
            const auto utf8 = [&](auto slice) -> std::string_view {
                if constexpr (std::is_same_v<decltype(slice), std::string_view>) {
                    if (size.validUtf8)
                        return slice;
                }
                const char* written = encode(slice, false, buffer.get());
                return {buffer.get(), static_cast<std::size_t>(written - buffer.get())};
            };
            for (std::size_t begin = 0; begin < text.size();) {
                const std::size_t end = sliceEnd(text, begin + sliceUnits);
                pass.append(utf8(text.substr(begin, end - begin)));
                begin = end;
                if (clipboard.release)
                    clipboard.release(begin);
            }
            pass.finish();
            state.releaseSpareRows();
        },
        clipboard.text);
}

std::string reportText(const ClipboardText& clipboard, LineEnds lineEnds) {
    return std::visit(
        [&](auto text) {
            // Room for the longest encoding; the pages beyond what is written are never
            // touched, so they cost address space, not memory.
            const std::size_t room = text.size() * 3 + utf16ToUtf8Slack;
            const std::unique_ptr<char[]> buffer(new char[room]);
            adviseHugePages(buffer.get(), room);
            char* end = encode(text, widens(text, lineEnds), buffer.get());
            std::string converted;
            reserveLarge(converted, static_cast<std::size_t>(end - buffer.get()));
            converted.assign(buffer.get(), end);
            return converted;
        },
        clipboard.text);
}

// A block is checked and its LFs counted while it is in the cache. It ends before an ASCII
// byte, which no UTF-8 sequence spans, so the blocks are valid exactly when the whole is.
Utf8Survey surveyUtf8(std::string_view bytes) {
    constexpr std::size_t blockSize = std::size_t{1} << 14;
    Utf8Survey survey;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t next = std::min(at + blockSize, bytes.size());
        while (next < bytes.size() && static_cast<unsigned char>(bytes[next]) >= 0x80)
            ++next;
        const std::string_view block = bytes.substr(at, next - at);
        survey.valid = survey.valid && isValidUtf8(block);
        survey.lineFeeds += countLineFeeds(block, at > 0 ? bytes[at - 1] : '\0', survey.crLf);
        at = next;
    }
    return survey;
}

std::string fieldText(const ClipboardText& clipboard) {
    std::string text = reportText(clipboard, LineEnds::AsCopied);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

} // namespace brisquel
