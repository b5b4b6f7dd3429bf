// The Windows code pages an Excel 5.0/95 workbook keeps its strings in, decoded to UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisquel::sheets {

class CodePage {
public:
    // The code page a workbook's CODEPAGE record names by `number`, or nothing for one the
    // tool does not read: 936 (GBK, read as GB18030), the Windows pages 874 and 1250 to 1258,
    // the DOS pages 437, 850, 852 and 866, 10000 (Mac Roman), 65001 (UTF-8), 1200 (UTF-16),
    // and 367, 32768 and 32769 as Excel uses them.
    static std::optional<CodePage> find(std::uint32_t number);

    // Appends `bytes`, text in the code page, to `out` as UTF-8.
    void decode(std::string_view bytes, std::string& out) const;

private:
    enum class Kind { SingleByte, Gb18030, Utf8, Utf16 };
    CodePage(Kind kind, const char16_t* upper) : m_kind(kind), m_upper(upper) {}

    Kind m_kind;
    const char16_t* m_upper; // a single-byte page's characters for the bytes 80 to FF
};

} // namespace brisquel::sheets
