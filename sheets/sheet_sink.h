// What the file readers hand on: the text of each sheet of a file, exactly as a whole-sheet
// copy of it reaches the clipboard, and the one way a reader says a file cannot be read.
#pragma once

#include "sheets/read_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisquel::sheets {

// What a file says of a sheet's text before it is read: for the progress shown while it is
// imported, and to make room for it once. Either may be 0 when the file does not say.
struct SheetSize {
    std::int64_t rows = 0; // the row ends (CR LF) its text will hold, as far as the file tells
    std::size_t bytes = 0; // about how long its text will be
};

// Receives the sheets of one file in the file's order. A sheet's text is UTF-8, its cells
// joined by TAB and every row ended by CR LF, as a spreadsheet puts a whole sheet on the
// clipboard; quotes are passed on as they stand.
class SheetSink {
public:
    virtual ~SheetSink() = default;

    virtual void beginSheet(SheetSize expected) = 0;
    // The next piece of the sheet's text. Pieces may cut a row, a CR LF or a character
    // anywhere.
    virtual void append(std::string_view text) = 0;
    // The next piece, as append takes it, from a buffer the sink may take whole: `text` is
    // left empty, perhaps with the room of a buffer the sink is done with, for the next piece.
    virtual void give(std::string& text) {
        append(text);
        text.clear();
    }
    // Called now and then while a reader works on without handing anything on (measuring a
    // sheet, say), so that a sink may end the read by throwing.
    virtual void poll() {}
    // Everything appended since beginSheet is void: the sheet's text begins again.
    virtual void restartSheet() = 0;
    virtual void endSheet() = 0;
};

} // namespace brisquel::sheets
