// Report import: clipboard text in, non-empty rows appended to the tally state.
#pragma once

#include <string>
#include <string_view>

namespace brisquel {

class TallyState;
class TallyView;

// Whether a clipboard text can be imported at all: it is not empty and holds a CR LF.
bool isImportable(std::string_view text);

// Appends the text's non-empty rows to alltxt, dropping every row that contains the
// header text (Text3) once alltxt holds it too, and reports progress row by row.
// Takes the text by value so that a caller can move a large clipboard in.
void importText(TallyState& state, std::string text, TallyView& view);

} // namespace brisquel
