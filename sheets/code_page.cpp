// Code pages to UTF-8: single-byte pages through a generated table of their upper halves,
// GBK through the GB18030 decoder, UTF-8 repaired.
#include "sheets/code_page.h"

#include "sheets/gb18030.h"
#include "unicode/unicode.h"

#include <array>

namespace brisquel::sheets {

namespace {

struct SingleBytePage {
    std::uint32_t number;
    std::array<char16_t, 128> upper;
};

#include "sheets/code_page_table.inc"

const char16_t* singleByte(std::uint32_t number) {
    for (const SingleBytePage& page : singleBytePages)
        if (page.number == number)
            return page.upper.data();
    return nullptr;
}

} // namespace

std::optional<CodePage> CodePage::find(std::uint32_t number) {
    switch (number) {
    case 936:
        return CodePage(Kind::Gb18030, nullptr);
    case 65001:
        return CodePage(Kind::Utf8, nullptr);
    case 1200: // UTF-16, little-endian; a string's length counts its bytes
        return CodePage(Kind::Utf16, nullptr);
    case 367:   // US-ASCII, of which Windows Latin 1 is a superset
    case 32769: // Windows Latin 1, as Excel names it in a BIFF file
        number = 1252;
        break;
    case 32768: // Apple Roman
        number = 10000;
        break;
    default:
        break;
    }
    if (const char16_t* upper = singleByte(number))
        return CodePage(Kind::SingleByte, upper);
    return std::nullopt;
}

void CodePage::decode(std::string_view bytes, std::string& out) const {
    if (m_kind == Kind::Utf16) {
        Utf16Decoder utf16;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            utf16.put(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8),
                      out);
        utf16.finish(out);
        if (bytes.size() % 2 != 0) // half a unit, as half a pair
            appendUtf8(replacementCharacter, out);
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 3);
    char* end = out.data() + start;
    switch (m_kind) {
    case Kind::Utf16:
        break;
    case Kind::Gb18030:
        end = decodeGb18030(bytes, end);
        break;
    case Kind::Utf8:
        end = repairUtf8(bytes, end);
        break;
    case Kind::SingleByte:
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80)
                *end++ = c;
            else
                end = writeUtf8(m_upper[byte - 0x80], end);
        }
        break;
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
}

} // namespace brisquel::sheets
