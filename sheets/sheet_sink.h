// What the file readers hand on: the text of each sheet of a file, exactly as a whole-sheet
// copy of it reaches the clipboard, and the one way a reader says a file cannot be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
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
    // Everything appended since beginSheet is void: the sheet's text begins again.
    virtual void restartSheet() = 0;
    virtual void endSheet() = 0;
};

// Why a file cannot be read.
enum class Problem {
    NotASpreadsheet,  // no kind of report file: `detail` names what it is, when known
    OtherSpreadsheet, // a spreadsheet kind the tool does not read: `detail` names it
    Damaged,          // `detail` says where
    Encrypted,        // protected by a password
    Empty,            // no sheet in it holds a value
};

// Thrown by a reader for a file it cannot read. What the reader handed to the sink before is
// void. Running out of memory is std::bad_alloc, as everywhere else.
class ReadError : public std::runtime_error {
public:
    // `detail` is UTF-8 and, like every text the user sees, Chinese.
    ReadError(Problem problem, std::string detail)
        : std::runtime_error(detail), m_problem(problem), m_detail(std::move(detail)) {}

    Problem problem() const { return m_problem; }
    const std::string& detail() const { return m_detail; }

private:
    Problem m_problem;
    std::string m_detail;
};

} // namespace brisquel::sheets
