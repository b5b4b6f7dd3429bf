// Clipboard text turned into what the import and the condition fields take.
#pragma once

#include "form/host.h"

#include <string>

namespace brisquel {

class TallyState;
class TallyView;

// How line ends are read. Spreadsheets on Windows end every row of a copied sheet with
// CR LF, which is what the import cuts rows at; spreadsheets on Linux (LibreOffice Calc,
// Gnumeric) end rows with LF alone.
enum class LineEnds {
    AsCopied,      // the text is taken as it stands
    WidenLineFeeds // a text with LF but no CR LF has every LF turned into CR LF
};

// The choice on this platform: Windows text is taken as it stands.
constexpr LineEnds platformLineEnds() {
#ifdef _WIN32
    return LineEnds::AsCopied;
#else
    return LineEnds::WidenLineFeeds;
#endif
}

// The clipboard text as the import takes it: valid UTF-8, with the line ends treated as
// asked. Half a surrogate pair becomes U+FFFD, as does each maximal invalid subpart of UTF-8.
std::string reportText(const ClipboardText& clipboard, LineEnds lineEnds);

// Whether the clipboard text can be imported: it is not empty and, with its line ends
// treated as asked, holds a CR LF.
bool isImportable(const ClipboardText& clipboard, LineEnds lineEnds);

// Imports the clipboard text exactly as importText imports reportText(clipboard, lineEnds),
// converting it `sliceUnits` units at a time (a few megabytes of UTF-8): no second copy of
// a whole sheet is made, and the progress runs from the first row.
void importClipboard(TallyState& state, const ClipboardText& clipboard, LineEnds lineEnds, TallyView& view,
                     std::size_t sliceUnits = std::size_t{1} << 20);

// The clipboard text as a double-click pastes it into a field: a copied cell ends in a
// line break (CR LF, or LF on Linux) that would keep the field from ever equalling a cell,
// so the CR and LF characters at the very end are dropped; every other character is kept.
std::string fieldText(const ClipboardText& clipboard);

// What the import needs to know of a clipboard's bytes before its first row, found in one
// pass over them.
struct Utf8Survey {
    bool valid = true;         // valid UTF-8 from start to end
    std::size_t lineFeeds = 0; // LF bytes
    bool crLf = false;         // a CR right before an LF somewhere
};

Utf8Survey surveyUtf8(std::string_view bytes);

} // namespace brisquel
