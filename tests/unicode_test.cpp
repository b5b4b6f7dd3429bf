// The Unicode unit, direction by direction: UTF-8 decoded, code points and UTF-16 written as
// UTF-8, UTF-8 written as UTF-16, each with half a surrogate pair and invalid bytes as U+FFFD.
#include "unicode/unicode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace brisquel {
namespace {

std::string utf8Of(std::u32string_view codes) {
    std::string out;
    for (char32_t code : codes)
        appendUtf8(code, out);
    return out;
}

std::u16string utf16Of(std::u32string_view codes) {
    std::u16string out;
    for (char32_t code : codes) {
        if (code >= 0x10000)
            out += {static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)),
                    static_cast<char16_t>(0xDC00 + (code & 0x3FF))};
        else
            out += static_cast<char16_t>(code);
    }
    return out;
}

// Each row's bytes decode to its code points, one U+FFFD for each maximal invalid subpart;
// the repair writes those code points, and the UTF-16 is theirs.
TEST(Unicode, Utf8DecodesToCodePointsWithOneReplacementForEachInvalidSubpart) {
    constexpr char32_t bad = replacementCharacter;
    struct Case {
        const char* name;
        std::string bytes;
        std::u32string codes;
    };
    const Case cases[] = {
        {"empty", "", U""},
        {"U+007F and U+0080", "\x7F\xC2\x80", {0x7F, 0x80}},
        {"U+07FF and U+0800", "\xDF\xBF\xE0\xA0\x80", {0x7FF, 0x800}},
        {"U+D7FF and U+E000 beside the surrogates", "\xED\x9F\xBF\xEE\x80\x80", {0xD7FF, 0xE000}},
        {"U+FFFF and U+10000", "\xEF\xBF\xBF\xF0\x90\x80\x80", {0xFFFF, 0x10000}},
        {"U+10FFFF", "\xF4\x8F\xBF\xBF", {0x10FFFF}},
        {"U+FFFD itself", "\xEF\xBF\xBD", {bad}},
        {"a NUL", std::string("\0", 1), {0}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {bad, bad, bad, bad}},
        {"overlong two bytes", "\xC0\xAF\xC1\xBF", {bad, bad, bad, bad}},
        {"overlong three bytes", "\xE0\x80\xAF\xE0\x9F\xBF", {bad, bad, bad, bad, bad, bad}},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", {bad, bad, bad, bad}},
        {"an encoded surrogate", "\xED\xA0\x80", {bad, bad, bad}},
        {"three bytes cut short by ASCII",
         "a\xE4\xB8"
         "b",
         {'a', bad, 'b'}},
        {"four bytes cut short at the end", "a\xF0\x9F\x98", {'a', bad}},
        {"a lead after a lead", "\xE4\xE4\xB8\xAD", {bad, U'中'}},
        {"stray continuations", "\x80\xBF", {bad, bad}},
        {"F5 and above never lead", "\xF5\xFF", {bad, bad}},
        {"Unicode's own example",
         "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         {'a', bad, bad, bad, 'b', bad, 'c', bad, bad, 'd'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::u32string decoded;
        for (std::string_view rest = c.bytes; !rest.empty();) {
            const DecodedUtf8 d = decodeUtf8(rest);
            ASSERT_GT(d.length, 0u);
            EXPECT_EQ(d.code != bad || rest.starts_with("\xEF\xBF\xBD") ? d.length : 0,
                      utf8SequenceLength(rest));
            decoded += d.code;
            rest.remove_prefix(d.length);
        }
        EXPECT_EQ(c.codes, decoded);
        EXPECT_EQ(c.bytes == utf8Of(c.codes), isValidUtf8(c.bytes));

        std::string repaired(c.bytes.size() * 3, '\0');
        repaired.resize(static_cast<std::size_t>(repairUtf8(c.bytes, repaired.data()) - repaired.data()));
        EXPECT_EQ(utf8Of(c.codes), repaired);
        std::u16string utf16(c.bytes.size(), u'\0');
        utf16.resize(static_cast<std::size_t>(utf8ToUtf16(c.bytes, utf16.data()) - utf16.data()));
        EXPECT_EQ(utf16Of(c.codes), utf16);
    }
}

TEST(Unicode, CodePointsAreWrittenAsUtf8AndSurrogatesAsReplacement) {
    struct Case {
        char32_t code;
        std::string utf8;
    };
    const std::string fffd = "\xEF\xBF\xBD";
    const Case cases[] = {
        {0x00, std::string("\0", 1)},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xD800, fffd},
        {0xDBFF, fffd},
        {0xDC00, fffd},
        {0xDFFF, fffd},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, fffd},
        {0xFFFFFFFF, fffd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<std::uint32_t>(c.code));
        std::string out = "a";
        appendUtf8(c.code, out);
        EXPECT_EQ("a" + c.utf8, out);
    }
}

// The bulk conversion and the one fed a unit at a time agree with each row.
TEST(Unicode, HalfASurrogatePairBecomesReplacementFromUtf16) {
    struct Case {
        const char* name;
        std::u16string units;
        std::string utf8;
    };
    const std::string fffd = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"U+10000 and U+10FFFF", u"\xD800\xDC00\xDBFF\xDFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"a high half before a letter",
         u"\xD800"
         "a",
         fffd + "a"},
        {"a high half at the very end", u"甲\xDBFF", "甲" + fffd},
        {"a low half alone", u"\xDC00\xDFFF", fffd + fffd},
        {"two high halves, then a low", u"\xD83D\xD83D\xDE00", fffd + "😀"},
        {"a low half before a high one", u"\xDE00\xD83D", fffd + fffd},
        {"U+D7FF and U+E000", u"\xD7FF\xE000", "\xED\x9F\xBF\xEE\x80\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> room(c.units.size() * 3 + utf16ToUtf8Slack);
        EXPECT_EQ(c.utf8, std::string(room.data(), utf16ToUtf8(c.units, false, room.data())));
        std::string fed;
        Utf16Decoder decoder;
        for (char16_t unit : c.units)
            decoder.put(unit, fed);
        decoder.finish(fed);
        EXPECT_EQ(c.utf8, fed);
    }
}

// UTF-16 as UTF-8, read literally off the definitions, one code point at a time.
std::string literalUtf8(std::u16string_view text, bool widen) {
    std::u32string codes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = replacementCharacter;
        if (widen && c == '\n')
            codes += '\r';
        codes += c;
    }
    return utf8Of(codes);
}

// The units with each half of a pair alone replaced by U+FFFD.
std::u16string repairedUtf16(std::u16string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (text[i] >= 0xD800 && text[i] <= 0xDFFF)
            text[i] = u'\uFFFD';
    }
    return text;
}

// The conversion takes eight units at a time where it can: random texts of ASCII, Chinese,
// two-byte characters, pairs and halves of pairs, at every length around eight, each
// written into a buffer of exactly the room it is given, and read back as UTF-16.
TEST(Unicode, Utf16IsWrittenAsTheDefinitionsSay) {
    const std::u16string_view pieces[] = {
        u"a",      u"\t",     u"\n", u"\r",     u"\x7F", u"台区",         u"\x0800", u"\xD7FF", u"\xE000",
        u"\xFFFF", u"\x0080", u"é",  u"\x07FF", u"😀",    u"\xDBFF\xDFFF", u"\xD800", u"\xDC00"};
    std::mt19937 random(11);
    for (int round = 0; round < 100'000; ++round) {
        std::u16string text;
        const int count = static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k) {
            // Mostly ASCII and Chinese, as a sheet is, so that eight units often go together.
            text += pieces[random() % 4 ? random() % 10 : random() % std::size(pieces)];
        }
        for (bool widen : {false, true}) {
            std::vector<char> room(text.size() * 3 + utf16ToUtf8Slack);
            const std::string utf8(room.data(), utf16ToUtf8(text, widen, room.data()));
            ASSERT_EQ(literalUtf8(text, widen), utf8) << widen;
            if (widen)
                continue;
            std::u16string back(utf8.size(), u'\0');
            back.resize(static_cast<std::size_t>(utf8ToUtf16(utf8, back.data()) - back.data()));
            ASSERT_EQ(repairedUtf16(text), back);
        }
    }
}

// Unicode's table of well-formed byte sequences, read literally.
bool wellFormed(std::string_view text) {
    struct Form {
        unsigned char first[2];
        unsigned char rest[3][2]; // {0, 0}: no such byte
    };
    constexpr Form forms[] = {
        {{0x00, 0x7F}, {}},
        {{0xC2, 0xDF}, {{0x80, 0xBF}}},
        {{0xE0, 0xE0}, {{0xA0, 0xBF}, {0x80, 0xBF}}},
        {{0xE1, 0xEC}, {{0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xED, 0xED}, {{0x80, 0x9F}, {0x80, 0xBF}}},
        {{0xEE, 0xEF}, {{0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF0, 0xF0}, {{0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF1, 0xF3}, {{0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}},
        {{0xF4, 0xF4}, {{0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}},
    };
    const auto in = [](unsigned char byte, const unsigned char(&range)[2]) {
        return byte >= range[0] && byte <= range[1];
    };
    for (std::size_t i = 0; i < text.size();) {
        const Form* form = nullptr;
        for (const Form& candidate : forms) {
            if (in(static_cast<unsigned char>(text[i]), candidate.first))
                form = &candidate;
        }
        if (!form)
            return false;
        ++i;
        for (const auto& range : form->rest) {
            if (range[1] == 0)
                break;
            if (i == text.size() || !in(static_cast<unsigned char>(text[i]), range))
                return false;
            ++i;
        }
    }
    return true;
}

// The check that lets a valid sheet through sixteen bytes at a time, against the table, on
// random texts of characters at the edges of each form and broken ones, at every length
// around sixteen bytes.
TEST(Unicode, ValidityAgreesWithTheTableOfWellFormedSequences) {
    const std::string_view pieces[] = {"a", "\n", "\r", "台", "😀", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80",
                                       "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                                       // not well formed
                                       "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80",
                                       "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80", "\xFF", "\xE5\x8F",
                                       "\xF0\x9F\x98"};
    std::mt19937 random(7);
    int invalid = 0;
    for (int round = 0; round < 200'000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 24);
        for (int k = 0; k < count; ++k) {
            // Mostly well-formed pieces, so that a broken one can hide deep in a long text.
            const std::size_t piece = random() % 8 ? random() % 12 : random() % std::size(pieces);
            text += pieces[piece];
        }
        const bool expected = wellFormed(text);
        invalid += !expected;
        ASSERT_EQ(expected, isValidUtf8(text)) << testing::PrintToString(text);
    }
    EXPECT_GT(invalid, 10'000);
}

} // namespace
} // namespace brisquel
