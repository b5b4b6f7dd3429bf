// A sheet's cells turned into the text a whole-sheet copy of it gives.
#pragma once

#include "sheets/sheet_sink.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace brisquel::sheets {

// The largest sheet a spreadsheet holds: 1,048,576 rows and 16,384 columns (XFD).
inline constexpr std::int64_t maxRows = std::int64_t{1} << 20;
inline constexpr std::int32_t maxColumns = 1 << 14;

// Writes rows 1 to the last row holding a value, each with the cells from column A to the
// sheet's last column holding a value, joined by TAB and ended by CR LF: the text a
// spreadsheet puts on the clipboard when a whole sheet is copied. A row without values gives
// TABs only. A cell holds a value when its text is not empty.
class SheetWriter {
public:
    // With `columns` 0 the writer only measures: it hands nothing on.
    SheetWriter(SheetSink& sink, std::int32_t columns);
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    // Cell `column` of row `row`, both from 1, showing `text`. Cells come row by row and, in
    // a row, column by column; a cell out of that order or outside the largest sheet is a
    // damaged file (ReadError).
    void cell(std::int64_t row, std::int32_t column, std::string_view text);
    // After the last cell.
    void finish();

    // The last column holding a value among the cells so far; 0 when none did.
    std::int32_t lastColumn() const { return m_lastColumn; }
    // Whether every row was handed on: false once the writer took to measuring only.
    bool wroteAll() const { return m_writing; }

private:
    void endRow();
    void flush();

    SheetSink& m_sink;
    const std::int32_t m_columns;
    bool m_writing; // false once a value stood right of m_columns, or none reached it for long
    std::int32_t m_lastColumn = 0;
    std::int64_t m_row = 0;         // the row of the last cell given, 0 before the first
    std::int32_t m_column = 0;      // the column of the last cell given in m_row
    std::int32_t m_rowColumn = 0;   // the last column holding a value in m_row, 0 if none
    std::int64_t m_rowsWritten = 0; // the rows handed on so far, 1 to m_rowsWritten
    std::uint32_t m_unpolled = 0;   // cells measured since the sink was last polled
    std::size_t m_handedOn = 0;     // bytes of text handed on
    std::string m_out;              // text not yet handed on
};

// Reads one sheet: `pass` hands every cell of the sheet to the writer it is given, in order.
// `columns` is the sheet's last column holding a value as the file says, 0 when it does not
// say. When the cells tell otherwise, `pass` runs once more, with the columns they told.
void writeSheet(SheetSink& sink, SheetSize expected, std::int32_t columns,
                const std::function<void(SheetWriter&)>& pass);

} // namespace brisquel::sheets
