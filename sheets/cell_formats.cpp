// Cell styles to number formats: each code read once, however many styles use it.
#include "sheets/cell_formats.h"

#include <utility>

namespace brisquel::sheets {

void FormatTable::define(std::uint64_t id, std::string code) {
    m_codes[id] = std::move(code);
}

void FormatTable::addStyle(std::uint64_t id) {
    m_styleIds.push_back(id);
}

void FormatTable::settle() {
    std::map<std::uint64_t, std::uint32_t> formatOfId;
    m_formatOfStyle.clear();
    m_formatOfStyle.reserve(m_styleIds.size());
    for (const std::uint64_t id : m_styleIds) {
        const auto [found, added] = formatOfId.try_emplace(id, static_cast<std::uint32_t>(m_formats.size()));
        if (added) {
            const auto own = m_codes.find(id);
            const std::string_view builtin = id < 1000 ? builtinFormatCode(static_cast<int>(id)) : "";
            const std::string_view code = own != m_codes.end() ? std::string_view(own->second)
                                          : builtin.empty()    ? std::string_view("General")
                                                               : builtin;
            m_formats.emplace_back(code);
            m_general.push_back(code == "General");
        }
        m_formatOfStyle.push_back(found->second);
    }
    m_styleIds = {};
    m_codes = {};
}

} // namespace brisquel::sheets
