// What a workbook's cells refer to by number: the number formats of their styles and the
// shared strings. One table of each, whatever kind of workbook holds them.
#pragma once

#include "sheets/number_format.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// The number formats of a workbook's cell styles (the XF records of an .xls, the cellXfs of
// an .xlsx): each style names a format by id, a built-in one or one the file defines.
class FormatTable {
public:
    // The file's own code for format `id`, in place of the built-in one.
    void define(std::uint64_t id, std::string code);
    // The next cell style shows format `id`.
    void addStyle(std::uint64_t id);
    // Once every define and addStyle is in: reads each code the styles use, once.
    void settle();

    // The format of cell style `style`. A style past the workbook's styles shows as style 0
    // does (General when there is none): the cell's value is still known, only its look is not.
    const NumberFormat& ofStyle(std::uint64_t style) const {
        if (style < m_formatOfStyle.size())
            return m_formats[m_formatOfStyle[static_cast<std::size_t>(style)]];
        return m_formats[m_formatOfStyle.empty() ? 0 : m_formatOfStyle[0]];
    }

    // True when style `style` shows numbers as General alone does.
    bool showsGeneral(std::uint64_t style) const {
        const std::size_t format = style < m_formatOfStyle.size()
                                       ? m_formatOfStyle[static_cast<std::size_t>(style)]
                                   : m_formatOfStyle.empty() ? 0
                                                             : m_formatOfStyle[0];
        return m_general[format];
    }

private:
    std::map<std::uint64_t, std::string> m_codes; // the file's own
    std::vector<std::uint64_t> m_styleIds;
    std::vector<NumberFormat> m_formats{NumberFormat()}; // General, then each code used
    std::vector<bool> m_general{true};                   // whether each of m_formats is General
    std::vector<std::uint32_t> m_formatOfStyle;
};

// A workbook's shared strings, held for the whole read in one buffer.
class StringTable {
public:
    // Where the next string is appended, then ended by endString.
    std::string& text() { return m_text; }
    void endString() { m_ends.push_back(m_text.size()); }
    // Room for `strings` strings of `bytes` in all, taken once rather than grown into.
    void reserve(std::size_t strings, std::size_t bytes = 0) {
        m_ends.reserve(strings);
        m_text.reserve(bytes);
    }
    // After the last string: gives back the room no string took, at the cost of a copy.
    void shrink() {
        m_text.shrink_to_fit();
        m_ends.shrink_to_fit();
    }

    std::size_t size() const { return m_ends.size(); }
    std::optional<std::string_view> at(std::uint64_t index) const {
        if (index >= m_ends.size())
            return std::nullopt;
        const auto at = static_cast<std::size_t>(index); // below size(), a size_t
        const std::size_t begin = at == 0 ? 0 : m_ends[at - 1];
        return std::string_view(m_text).substr(begin, m_ends[at] - begin);
    }

private:
    std::string m_text;
    std::vector<std::size_t> m_ends;
};

} // namespace brisquel::sheets
