// Cells to whole-sheet text: rows padded to the sheet's width, empty rows kept between rows
// that hold values and dropped after the last one.
#include "sheets/sheet_writer.h"

namespace brisquel::sheets {

namespace {

// Text is handed on in pieces of about this size.
constexpr std::size_t pieceSize = std::size_t{1} << 20;
// While a sheet is only measured nothing reaches the sink for the whole sheet, which may take
// seconds: the sink is polled every this many cells, so that a stop is not kept waiting.
constexpr std::uint32_t pollInterval = 1u << 14;
// A file may say its sheet is far wider than its values reach (formatting left in empty
// columns, or a lie: A1:XFD1048576 over one column is 17 GB of TABs). Once this much text is
// handed on with no value as far right as the file said, the writer only measures: the sheet
// is written again at the width its values reach, for the cost of one more pass.
constexpr std::size_t trustedText = std::size_t{16} << 20;

} // namespace

SheetWriter::SheetWriter(SheetSink& sink, std::int32_t columns)
    : m_sink(sink), m_columns(columns), m_writing(columns > 0) {
    if (m_writing)
        m_out.reserve(pieceSize + pieceSize / 4);
}

void SheetWriter::cell(std::int64_t row, std::int32_t column, std::string_view text) {
    if (!m_writing && ++m_unpolled == pollInterval) {
        m_unpolled = 0;
        m_sink.poll();
    }
    if (row < 1 || row > maxRows || column < 1 || column > maxColumns)
        damaged("单元格位置超出工作表范围", {"", row, column});
    if (row < m_row || (row == m_row && column <= m_column))
        damaged("单元格顺序错乱", {"", row, column});
    if (row != m_row) {
        endRow();
        m_row = row;
        m_rowColumn = 0;
    }
    m_column = column;
    if (text.empty())
        return;
    if (column > m_lastColumn)
        m_lastColumn = column;
    if (column > m_columns)
        m_writing = false; // the sheet is wider than the file said: measuring only, from here
    if (!m_writing)
        return;
    if (m_rowColumn == 0) {
        // The first value of a row: the rows without values before it come first.
        const std::size_t emptyRow = static_cast<std::size_t>(m_columns - 1) + 2;
        for (; m_rowsWritten + 1 < row; ++m_rowsWritten) {
            m_out.append(emptyRow - 2, '\t').append("\r\n");
            if (m_out.size() >= pieceSize)
                flush();
            if (!m_writing)
                return;
        }
        m_out.append(static_cast<std::size_t>(column - 1), '\t');
    } else {
        m_out.append(static_cast<std::size_t>(column - m_rowColumn), '\t');
    }
    m_out.append(text);
    m_rowColumn = column;
}

void SheetWriter::endRow() {
    if (!m_writing || m_rowColumn == 0)
        return;
    m_out.append(static_cast<std::size_t>(m_columns - m_rowColumn), '\t').append("\r\n");
    m_rowsWritten = m_row;
    if (m_out.size() >= pieceSize)
        flush();
}

// The buffer goes to the sink whole, which leaves it empty, with room to fill again or none.
void SheetWriter::flush() {
    m_handedOn += m_out.size();
    m_sink.give(m_out);
    if (m_lastColumn < m_columns && m_handedOn >= trustedText)
        m_writing = false;
    if (m_out.capacity() < pieceSize)
        m_out.reserve(pieceSize + pieceSize / 4);
}

void SheetWriter::finish() {
    endRow();
    m_rowColumn = 0;
    if (m_writing && !m_out.empty())
        m_sink.give(m_out);
}

void writeSheet(SheetSink& sink, SheetSize expected, std::int32_t columns,
                const std::function<void(SheetWriter&)>& pass) {
    if (columns > 0) {
        sink.beginSheet(expected);
        SheetWriter writer(sink, columns);
        pass(writer);
        writer.finish();
        // A sheet without values gave no text, whatever its width.
        if (writer.wroteAll() && (writer.lastColumn() == columns || writer.lastColumn() == 0)) {
            sink.endSheet();
            return;
        }
        columns = writer.lastColumn();
        sink.restartSheet();
    } else {
        SheetWriter measuring(sink, 0);
        pass(measuring);
        measuring.finish();
        columns = measuring.lastColumn();
        sink.beginSheet(expected);
    }
    if (columns > 0) {
        SheetWriter writer(sink, columns);
        pass(writer);
        writer.finish();
    }
    sink.endSheet();
}

} // namespace brisquel::sheets
