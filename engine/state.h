// The tally state: the imported rows, their count, the last statistics result and the
// list to export. It lives as long as the window that owns it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisquel {

class TallyView;

inline constexpr std::string_view crlf = "\r\n";

class TallyState {
public:
    // A new state is the initialised one: both counters 0, both texts empty.
    TallyState() = default;

    // Clears all four variables, showing "0" in every count label as it goes.
    void reset(TallyView& view);

    // Matches of the last statistics run (the sum of the five alternatives' counts).
    std::int64_t alli() const { return m_alli; }
    // Every imported row, each preceded by CR LF.
    const std::string& alltxt() const { return m_alltxt; }
    // The number of rows in alltxt.
    std::int64_t alltxti() const { return m_alltxti; }
    // The header row followed by every matching row, each preceded by CR LF.
    const std::string& allouttxt() const { return m_allouttxt; }

    // For the import: appends CR LF and the row, and counts it.
    void appendRow(std::string_view row);
    // Makes room for `bytes` more bytes of alltxt, so a large import grows it once, and
    // gives back what an import that dropped most of its rows left unused.
    void reserveRows(std::size_t bytes);
    void releaseSpareRows();
    // Whether alltxt contains `text` (the empty text is contained in any non-empty alltxt).
    bool alltxtContains(std::string_view text);

    // Where alltxt stands, so that an import that runs out of memory half-way can take back
    // what it appended.
    struct RowsMark {
        std::size_t bytes = 0;
        std::int64_t rows = 0;
    };
    RowsMark rowsMark() const { return {m_alltxt.size(), m_alltxti}; }
    void restoreRows(RowsMark mark);

    // For the statistics: the result of a run.
    void setResult(std::int64_t alli, std::string allouttxt);

private:
    std::int64_t m_alli = 0;
    std::string m_alltxt;
    std::int64_t m_alltxti = 0;
    std::string m_allouttxt;

    // alltxt only ever grows by appending, so "alltxt contains H" needs to search only
    // what was appended since the last search (plus the few bytes an occurrence could
    // straddle). These remember that search; a different H starts it again.
    std::string m_searchedText;
    std::size_t m_searchedUpTo = 0;
    bool m_searchFound = false;
};

} // namespace brisquel
