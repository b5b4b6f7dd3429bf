// Two-condition statistics: one pass over alltxt that counts and collects the matches.
#include "tally.h"

#include "memory.h"
#include "state.h"
#include "tally_view.h"
#include "text.h"

#include <array>

namespace brisquel {

namespace {

struct Conditions {
    std::string header1; // H1, Text3
    std::string value1;  // V1, Text1
    std::string header2; // H2, Text4
    // A1..A5 from Text2, Text5..Text8, each with the label that shows its count.
    std::array<std::string, 5> alternatives;
};

constexpr std::array<LabelId, 5> alternativeLabels = {LabelId::Label8, LabelId::Label9, LabelId::Label10,
                                                      LabelId::Label11, LabelId::Label12};

Conditions readConditions(TallyView& view) {
    return {view.fieldText(FieldId::Text3),
            view.fieldText(FieldId::Text1),
            view.fieldText(FieldId::Text4),
            {view.fieldText(FieldId::Text2), view.fieldText(FieldId::Text5), view.fieldText(FieldId::Text6),
             view.fieldText(FieldId::Text7), view.fieldText(FieldId::Text8)}};
}

} // namespace

void runStatistics(TallyState& state, TallyView& view) {
    const Conditions conditions = readConditions(view);

    // The pass runs over alltxt followed by one CR LF: alltxt begins with CR LF, so the
    // first piece is empty, and the empty piece after the added pair is not examined.
    const std::string_view text = state.alltxt();
    const std::int64_t lastIndex = state.alltxti();

    // Room for a list as long as alltxt, taken before anything changes: only the pages the
    // list reaches are ever touched, and a large list is never copied while it grows.
    std::string allouttxt;
    reserveLarge(allouttxt, text.size());
    std::array<std::int64_t, 5> matches{}; // K1..K5
    std::int64_t conditionOne = 0;         // K0
    std::int64_t alli = 0;
    view.showText(LabelId::Label7, "0");
    for (LabelId label : alternativeLabels)
        view.showText(label, "0");
    state.setResult(0, {});
    view.showText(LabelId::Label3, "0");

    // Column numbers stay -1 until a header row names them; a data row met before then,
    // or one too short to have the cell, does not meet that condition.
    std::int64_t column1 = -1;
    std::int64_t column2 = -1;
    std::string_view headerRow;

    ContainsScan headerScan(text, conditions.header1);
    RowCursor rows(text);
    std::size_t begin = 0;
    std::size_t end = 0;
    for (std::int64_t index = 0; rows.next(begin, end); ++index) {
        view.progress(index, lastIndex);
        const std::string_view row = text.substr(begin, end - begin);
        if (row.empty())
            continue;

        // Any row containing H1, even inside a longer cell, is a header row and never
        // counted; only a cell equal to H1 or H2 moves the column numbers.
        if (headerScan.contains(begin, end)) {
            std::int64_t cell = 0;
            for (std::size_t from = 0;; ++cell) {
                const std::size_t tab = row.find('\t', from);
                const std::string_view cellText = row.substr(from, tab == npos ? npos : tab - from);
                if (cellText == conditions.header1) {
                    column1 = cell;
                    if (headerRow.empty())
                        headerRow = row;
                }
                if (cellText == conditions.header2)
                    column2 = cell;
                if (tab == npos)
                    break;
                from = tab + 1;
            }
            continue;
        }

        if (cellAt(row, column1) != conditions.value1)
            continue;
        ++conditionOne;
        view.showText(LabelId::Label7, DecimalText(conditionOne).view());
        const std::optional<std::string_view> cell2 = cellAt(row, column2);
        if (!cell2)
            continue;
        for (std::size_t k = 0; k < conditions.alternatives.size(); ++k) {
            const std::string& alternative = conditions.alternatives[k];
            // A1 is tested even when empty; A2..A5 only when filled in.
            if ((k > 0 && alternative.empty()) || *cell2 != alternative)
                continue;
            ++alli;
            view.showText(LabelId::Label3, DecimalText(alli).view());
            ++matches[k];
            view.showText(alternativeLabels[k], DecimalText(matches[k]).view());
            appendLarge(allouttxt, crlf);
            appendLarge(allouttxt, row);
        }
    }

    // The header row goes first, unless the list already holds its text.
    if (allouttxt.empty() || findText(allouttxt, headerRow) == npos)
        allouttxt.insert(0, headerRow);
    state.setResult(alli, std::move(allouttxt));
}

} // namespace brisquel
