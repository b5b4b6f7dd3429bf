// Report import: clipboard text in, non-empty rows appended to the tally state.
#pragma once

#include <string_view>

namespace brisquel {

class TallyState;
class TallyView;

// Whether a clipboard text can be imported at all: it is not empty and holds a CR LF.
bool isImportable(std::string_view text);

// Appends the text's non-empty rows to alltxt, dropping every row that contains the
// header text (Text3) once alltxt holds it too, and reports progress row by row.
void importText(TallyState& state, std::string_view text, TallyView& view);

} // namespace brisquel
