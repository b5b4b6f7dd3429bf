// The tally state, its reset, and the incremental "alltxt contains H" search.
#include "state.h"

#include "memory.h"
#include "tally_view.h"
#include "text.h"

#include <algorithm>

namespace brisquel {

void TallyState::reset(TallyView& view) {
    m_alltxti = 0;
    view.showText(LabelId::Label5, "0");
    std::string().swap(m_alltxt); // hand the memory of a large report back
    m_searchedUpTo = 0;
    m_searchFound = false;
    m_alli = 0;
    view.showText(LabelId::Label3, "0");
    for (LabelId label : {LabelId::Label7, LabelId::Label8, LabelId::Label9, LabelId::Label10,
                          LabelId::Label11, LabelId::Label12})
        view.showText(label, "0");
    std::string().swap(m_allouttxt);
}

void TallyState::appendRow(std::string_view row) {
    appendLarge(m_alltxt, crlf);
    appendLarge(m_alltxt, row);
    ++m_alltxti;
}

void TallyState::restoreRows(RowsMark mark) {
    m_alltxt.resize(mark.bytes);
    m_alltxti = mark.rows;
    m_searchedUpTo = 0;
    m_searchFound = false;
}

// The first import makes room for just its text; later ones, a workbook's sheets among them,
// grow alltxt geometrically, so that many passes do not copy the rows once each.
void TallyState::reserveRows(std::size_t bytes) {
    const std::size_t needed = m_alltxt.size() + bytes;
    if (needed > m_alltxt.capacity())
        reserveLarge(m_alltxt, m_alltxt.empty() ? needed : std::max(needed, m_alltxt.capacity() * 2));
}

void TallyState::releaseSpareRows() {
    if (m_alltxt.capacity() - m_alltxt.size() > m_alltxt.size())
        m_alltxt.shrink_to_fit();
}

bool TallyState::alltxtContains(std::string_view text) {
    if (text.empty())
        return !m_alltxt.empty();
    if (text != m_searchedText) {
        m_searchedText = text;
        m_searchedUpTo = 0;
        m_searchFound = false;
    }
    if (!m_searchFound && m_searchedUpTo < m_alltxt.size()) {
        // An occurrence may begin up to size - 1 bytes before the part not yet searched.
        const std::size_t overlap = text.size() - 1;
        const std::size_t from = m_searchedUpTo > overlap ? m_searchedUpTo - overlap : 0;
        m_searchFound = findText(m_alltxt, text, from) != npos;
        m_searchedUpTo = m_alltxt.size();
    }
    return m_searchFound;
}

void TallyState::setResult(std::int64_t alli, std::string allouttxt) {
    m_alli = alli;
    m_allouttxt = std::move(allouttxt);
}

} // namespace brisquel
