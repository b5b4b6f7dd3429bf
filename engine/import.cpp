// Report import: clipboard text cut into rows and appended to alltxt.
#include "import.h"

#include "state.h"
#include "tally_view.h"
#include "text.h"

namespace brisquel {

bool isImportable(std::string_view text) {
    return !text.empty() && findCrLf(text, 0) != npos;
}

namespace {

void importRows(TallyState& state, std::string_view text, TallyView& view) {
    const std::string header = view.fieldText(FieldId::Text3);
    // The text is cut at every CR LF, and a CR LF is added after it first, so the piece
    // after the last pair is a row too; the empty piece after the added pair is not examined.
    const std::int64_t lastIndex = countCrLf(text);
    state.reserveRows(text.size() + crlf.size());

    ContainsScan headerScan(text, header);
    RowCursor rows(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    for (std::int64_t index = 0; rows.next(begin, end); ++index) {
        view.progress(index, lastIndex);
        if (begin == end)
            continue;
        // The header test looks at the whole row, not at a cell: once alltxt holds the
        // header text, every row containing it anywhere is taken for a repeated header.
        if (headerScan.contains(begin, end) && state.alltxtContains(header))
            continue;
        state.appendRow(text.substr(begin, end - begin));
        view.showText(LabelId::Label5, DecimalText(state.alltxti()).view());
    }
    state.releaseSpareRows();
}

} // namespace

void importText(TallyState& state, std::string_view text, TallyView& view) {
    // Quotes mean nothing to the tool. Deleting them first can join a CR and a LF that a
    // quote kept apart, and that pair then ends a row like any other.
    if (text.find('"') == npos)
        return importRows(state, text, view);
    std::string unquoted(text);
    std::erase(unquoted, '"');
    importRows(state, unquoted, view);
}

} // namespace brisquel
