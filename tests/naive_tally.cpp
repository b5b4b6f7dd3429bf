// The naive import and statistics: every field read at each test, every search over the whole text.
#include "naive_tally.h"

#include <optional>

namespace brisquel::naive {

namespace {

const std::string crlf = "\r\n";

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    const std::vector<std::string> pieces = split(text, from);
    std::string result;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        result += (i == 0 ? "" : to) + pieces[i];
    return result;
}

// Cell k of a split row; a cell the row does not have meets no condition.
bool cellEquals(const std::vector<std::string>& cells, std::int64_t k, const std::string& text) {
    return k >= 0 && k < static_cast<std::int64_t>(cells.size()) &&
           cells[static_cast<std::size_t>(k)] == text;
}

} // namespace

std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (text.empty())
        return pieces;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

bool contains(const std::string& text, const std::string& part) {
    return !text.empty() && text.find(part) != std::string::npos;
}

bool isImportable(const std::string& text) {
    return !text.empty() && contains(text, crlf);
}

void reset(State& state, TallyView& view) {
    state.alltxti = 0;
    view.showText(LabelId::Label5, "0");
    state.alltxt = "";
    state.alli = 0;
    view.showText(LabelId::Label3, "0");
    for (LabelId label : {LabelId::Label7, LabelId::Label8, LabelId::Label9, LabelId::Label10,
                          LabelId::Label11, LabelId::Label12})
        view.showText(label, "0");
    state.allouttxt = "";
}

void importText(State& state, const std::string& text, TallyView& view) {
    std::string s = text + crlf;
    if (contains(s, "\""))
        s = replaceAll(s, "\"", "");
    const std::vector<std::string> e = split(s, crlf);
    const auto u = static_cast<std::int64_t>(e.size()) - 1;
    for (std::int64_t i = 0; i <= u - 1; ++i) {
        view.progress(i, u - 1);
        const std::string& row = e[static_cast<std::size_t>(i)];
        if (row.empty())
            continue;
        if (contains(row, view.fieldText(FieldId::Text3)) &&
            contains(state.alltxt, view.fieldText(FieldId::Text3)))
            continue;
        state.alltxti = state.alltxti + 1;
        view.showText(LabelId::Label5, std::to_string(state.alltxti));
        state.alltxt = state.alltxt + crlf + row;
    }
}

void runStatistics(State& state, TallyView& view) {
    state.allouttxt = "";
    std::int64_t k[6] = {};
    for (LabelId label : {LabelId::Label7, LabelId::Label8, LabelId::Label9, LabelId::Label10,
                          LabelId::Label11, LabelId::Label12})
        view.showText(label, "0");
    state.alli = 0;
    view.showText(LabelId::Label3, "0");
    std::int64_t c1 = -1;
    std::int64_t c2 = -1;
    std::string headerRow;

    const std::vector<std::string> e = split(state.alltxt + crlf, crlf);
    const auto u = static_cast<std::int64_t>(e.size()) - 1;
    for (std::int64_t r = 0; r <= u - 1; ++r) {
        view.progress(r, u - 1);
        const std::string& row = e[static_cast<std::size_t>(r)];
        if (contains(row, view.fieldText(FieldId::Text3)) || row.empty()) {
            if (row.empty())
                continue;
            const std::vector<std::string> f = split(row, "\t");
            for (std::size_t cell = 0; cell < f.size(); ++cell) {
                if (f[cell] == view.fieldText(FieldId::Text3)) {
                    c1 = static_cast<std::int64_t>(cell);
                    if (headerRow.empty())
                        headerRow = row;
                }
                if (f[cell] == view.fieldText(FieldId::Text4))
                    c2 = static_cast<std::int64_t>(cell);
            }
            continue;
        }
        const std::vector<std::string> f = split(row, "\t");
        if (!cellEquals(f, c1, view.fieldText(FieldId::Text1)))
            continue;
        k[0] = k[0] + 1;
        view.showText(LabelId::Label7, std::to_string(k[0]));
        const auto countMatch = [&](int n, LabelId label) {
            state.alli = state.alli + 1;
            view.showText(LabelId::Label3, std::to_string(state.alli));
            k[n] = k[n] + 1;
            view.showText(label, std::to_string(k[n]));
            state.allouttxt = state.allouttxt + crlf + row;
        };
        if (cellEquals(f, c2, view.fieldText(FieldId::Text2)))
            countMatch(1, LabelId::Label8);
        if (!view.fieldText(FieldId::Text5).empty() && cellEquals(f, c2, view.fieldText(FieldId::Text5)))
            countMatch(2, LabelId::Label9);
        if (!view.fieldText(FieldId::Text6).empty() && cellEquals(f, c2, view.fieldText(FieldId::Text6)))
            countMatch(3, LabelId::Label10);
        if (!view.fieldText(FieldId::Text7).empty() && cellEquals(f, c2, view.fieldText(FieldId::Text7)))
            countMatch(4, LabelId::Label11);
        if (!view.fieldText(FieldId::Text8).empty() && cellEquals(f, c2, view.fieldText(FieldId::Text8)))
            countMatch(5, LabelId::Label12);
    }
    if (!contains(state.allouttxt, headerRow))
        state.allouttxt = headerRow + state.allouttxt;
}

} // namespace brisquel::naive
