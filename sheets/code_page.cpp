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

// Bytes 80 to FF as U+0080 to U+00FF: the one-byte characters of BIFF8's UTF-16.
constexpr std::array<char16_t, 128> latin1 = [] {
    std::array<char16_t, 128> codes{};
    for (std::size_t i = 0; i < codes.size(); ++i)
        codes[i] = static_cast<char16_t>(0x80 + i);
    return codes;
}();

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
    case 1200: // UTF-16: a byte string then holds its characters' low bytes
        return CodePage(Kind::SingleByte, latin1.data());
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
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 3);
    char* end = out.data() + start;
    switch (m_kind) {
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
