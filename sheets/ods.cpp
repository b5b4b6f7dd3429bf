// The OpenDocument spreadsheet reader: content.xml is scanned once as it inflates, each table's
// rows and cells kept as runs of repeated cells, so that a repeat count costs nothing where no
// value is repeated.
#include "sheets/ods.h"

#include "sheets/ods_scanner.h"
#include "sheets/sheet_writer.h"
#include "sheets/visible_sheets.h"
#include "sheets/xml.h"
#include "sheets/zip.h"

#include <algorithm>
#include <set>
#include <vector>

namespace brisquel::sheets {

namespace {

constexpr std::string_view contentPart = "content.xml";

// How much of a table is read before its width is settled: the rows holding values and the
// bytes of their text. Most sheets end within it; a longer one takes the widest row seen so
// far, which for a report is its header.
constexpr std::size_t lookaheadRows = 1024;
constexpr std::size_t lookaheadBytes = std::size_t{1} << 20;
// Rows, cells and other markup without a value may run on for long without anything reaching
// the sink: it is polled every this many of them, so that a stop is not kept waiting.
constexpr std::uint32_t pollInterval = 1u << 14;

// A value repeated past the sheet's last row or column: what a spreadsheet writes repeats only
// empty cells and rows that far, so a file doing it is damaged, and is told so before the
// repeats are written.
[[noreturn]] void pastTheSheet(std::int64_t row, std::int32_t column) {
    damaged("单元格位置超出工作表范围", {"", row, column});
}

// A count attribute such as number-rows-repeated: 1 when absent, at most `limit`.
std::int64_t countOf(const XmlScanner& xml, std::string_view name, std::string_view text,
                     std::int64_t limit) {
    if (text.empty())
        return 1;
    const auto count = parseCount(text, limit);
    if (!count)
        xml.fail("属性 " + std::string(name) + " 的值“" + std::string(text) + "”无效");
    return *count;
}

std::int64_t countOf(const XmlScanner& xml, std::string_view name, std::int64_t limit) {
    return countOf(xml, name, xml.attribute(name), limit);
}

// The cells holding values of some row elements, each row and each cell with its repeat count.
class RowRuns {
public:
    // Where a cell's text is appended, between beginCell and endCell.
    std::string& text() { return m_text; }
    std::size_t beginCell() const { return m_text.size(); }
    // The cell begun at `start`, in `column` and the `count` - 1 columns after it, of `row`.
    void endCell(std::size_t start, std::int64_t row, std::int32_t column, std::int64_t count) {
        if (m_text.size() == start)
            return;
        if (count > maxColumns - column + 1)
            pastTheSheet(row, column);
        const auto columns = static_cast<std::int32_t>(count);
        m_runs.push_back({column, columns, m_text.size()});
        m_lastColumn = std::max(m_lastColumn, column + columns - 1);
    }
    // The row element of `count` rows from `row`, holding the cells since the last endRow.
    void endRow(std::int64_t row, std::int64_t count) {
        const std::size_t runsStart = m_rows.empty() ? 0 : m_rows.back().runsEnd;
        if (m_runs.size() == runsStart)
            return;
        if (count > maxRows - row + 1)
            pastTheSheet(row, m_runs[runsStart].column);
        m_rows.push_back({row, count, m_runs.size()});
        m_lastRow = row + count - 1;
    }
    void clear() {
        m_text.clear();
        m_runs.clear();
        m_rows.clear();
        m_lastColumn = 0;
        m_lastRow = 0;
    }

    std::size_t rows() const { return m_rows.size(); }
    std::size_t bytes() const { return m_text.size(); }
    std::int32_t lastColumn() const { return m_lastColumn; }
    std::int64_t lastRow() const { return m_lastRow; }

    // Hands the cells to `writer`, told `columns` wide (0 to measure). Once the writer only
    // measures, one cell of a run and one row of a repeated row tell it all it keeps, so a
    // repeat count costs time only where its text is written.
    void write(SheetWriter& writer, std::int32_t columns) const {
        std::size_t run = 0;
        std::size_t textStart = 0;
        for (const Row& row : m_rows) {
            for (std::int64_t repeat = 0; repeat < row.count; ++repeat) {
                const bool measuring = columns == 0 || writer.lastColumn() > columns;
                std::size_t start = textStart;
                for (std::size_t i = run; i < row.runsEnd; ++i) {
                    const std::string_view text =
                        std::string_view(m_text).substr(start, m_runs[i].end - start);
                    const std::int32_t first =
                        measuring ? m_runs[i].column + m_runs[i].count - 1 : m_runs[i].column;
                    for (std::int32_t column = first; column < m_runs[i].column + m_runs[i].count; ++column)
                        writer.cell(row.first + repeat, column, text);
                    start = m_runs[i].end;
                }
                if (measuring)
                    break;
            }
            textStart = m_runs[row.runsEnd - 1].end;
            run = row.runsEnd;
        }
    }

private:
    struct Run {
        std::int32_t column;
        std::int32_t count;
        std::size_t end; // of its text in m_text
    };
    struct Row {
        std::int64_t first;
        std::int64_t count;
        std::size_t runsEnd; // of its runs in m_runs
    };

    std::string m_text;
    std::vector<Run> m_runs;
    std::vector<Row> m_rows;
    std::int32_t m_lastColumn = 0;
    std::int64_t m_lastRow = 0;
};

// content.xml from its start, table by table, the table styles that hide a table noted on
// the way: they come before the tables.
class Content {
public:
    Content(const ZipArchive& archive, const ZipEntry& entry, SheetSink& sink)
        : m_source(archive, entry), m_xml([this] { return m_source.next(); }, entry.name), m_sink(sink) {}
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;

    XmlScanner& xml() { return m_xml; }
    // The bytes of the part inflated so far.
    std::uint64_t inflated() const { return m_source.handedOut(); }
    // Counts a step of the scan, polling the sink now and then.
    void tick() {
        if (++m_unpolled == pollInterval) {
            m_unpolled = 0;
            m_sink.poll();
        }
    }

    // Moves past the start tag of the next table; false when no table is left.
    bool nextTable(Visibility& visibility) {
        for (auto event = m_xml.next(); event != XmlScanner::Event::Done; event = m_xml.next()) {
            tick();
            if (event == XmlScanner::Event::End && m_xml.name() == "style")
                m_style.clear();
            if (event != XmlScanner::Event::Start)
                continue;
            const std::string_view name = m_xml.name();
            if (name == "style") {
                m_style = m_xml.attribute("family") == "table" ? m_xml.attribute("name") : "";
            } else if (name == "table-properties" && !m_style.empty() &&
                       m_xml.attribute("display") == "false") {
                m_hidden.insert(m_style);
            } else if (name == "table") {
                visibility = m_hidden.contains(m_xml.attribute("style-name")) ? Visibility::Hidden
                                                                              : Visibility::Visible;
                return true;
            }
        }
        return false;
    }

    // Moves past the end of the table just begun.
    void skipTable() {
        for (int depth = 0; depth >= 0;) {
            tick();
            const auto event = m_xml.next();
            if (event == XmlScanner::Event::Start)
                ++depth;
            else if (event == XmlScanner::Event::End)
                --depth;
            else if (event == XmlScanner::Event::Done)
                return;
        }
    }

private:
    ZipEntrySource m_source;
    XmlScanner m_xml;
    SheetSink& m_sink;
    std::uint32_t m_unpolled = 0; // steps since the sink was last polled
    std::string m_style;          // the table style being read
    std::set<std::string, std::less<>> m_hidden;
};

// Reads one table from just after its start tag, row element by row element.
class TableReader {
public:
    explicit TableReader(Content& content)
        : m_content(content), m_xml(content.xml()), m_fast(m_xml.input()) {}

    // Reads through the next row element, adding its cells holding values to `rows`; false
    // once the table has ended.
    bool readRow(RowRuns& rows) {
        for (;;) {
            if (m_cell < 0 && (m_row < 0 || m_depth == m_row) && !m_xml.isEmptyElement() && scanFast(rows))
                return true;
            m_content.tick();
            const auto event = m_xml.next();
            if (event == XmlScanner::Event::Done)
                return false;
            if (event == XmlScanner::Event::Text) {
                if (m_paragraph >= 0 && !m_covered)
                    rows.text() += m_xml.text();
            } else if (event == XmlScanner::Event::Start) {
                ++m_depth;
                start(rows);
            } else if (m_depth == 0) {
                return false;
            } else if (end(rows)) {
                return true;
            }
        }
    }

private:
    // Rows and cells as most files write them, straight from the input: true at the end of a
    // row, false at anything else, which m_xml goes on from.
    bool scanFast(RowRuns& rows) {
        using Place = OdsScanner::Place;
        for (;;) {
            const Place place = m_row < 0      ? Place::BetweenRows
                                : m_rowScanned ? Place::InRowStarted
                                               : Place::InRow;
            m_cellStart = rows.beginCell();
            m_content.tick();
            switch (m_fast.next(place, rows.text())) {
            case OdsScanner::Item::Row:
                ++m_depth;
                startRow(countOf(m_xml, "number-rows-repeated", m_fast.count(), maxRows + 1));
                m_rowScanned = true;
                break;
            case OdsScanner::Item::Cell:
                m_cellCount = countOf(m_xml, "number-columns-repeated", m_fast.count(), maxColumns + 1);
                endCell(rows);
                break;
            case OdsScanner::Item::RowEnd:
                --m_depth;
                endRow(rows);
                return true;
            case OdsScanner::Item::Other:
                if (m_rowScanned)
                    m_xml.opened("table:table-row");
                m_rowScanned = false;
                return false;
            }
        }
    }

    void startRow(std::int64_t count) {
        m_row = m_depth;
        m_rowCount = count;
        m_column = 1;
    }
    void endCell(RowRuns& rows) {
        rows.endCell(m_cellStart, m_nextRow, m_column, m_cellCount);
        m_column = static_cast<std::int32_t>(std::min<std::int64_t>(m_column + m_cellCount, maxColumns + 1));
        m_cell = -1;
        m_paragraph = -1;
    }
    void endRow(RowRuns& rows) {
        rows.endRow(m_nextRow, m_rowCount);
        m_nextRow = std::min<std::int64_t>(m_nextRow + m_rowCount, maxRows + 1);
        m_row = -1;
        m_rowScanned = false;
    }

    void start(RowRuns& rows) {
        const std::string_view name = m_xml.name();
        if (m_cell >= 0) {
            if (m_covered)
                return;
            if (m_depth == m_cell + 1 && name == "p") {
                if (m_paragraph == -2)
                    rows.text() += '\n';
                m_paragraph = m_depth;
            } else if (m_paragraph >= 0) {
                startInParagraph(name, rows.text());
            }
        } else if (m_row >= 0) {
            if (name == "table-cell" || name == "covered-table-cell") {
                m_cell = m_depth;
                m_covered = name != "table-cell";
                m_cellCount = countOf(m_xml, "number-columns-repeated", maxColumns + 1);
                m_cellStart = rows.beginCell();
            }
        } else if (name == "table-row") {
            startRow(countOf(m_xml, "number-rows-repeated", maxRows + 1));
        }
    }

    // White space is taken as it stands, as LibreOffice takes it; the elements standing for
    // spaces, tabs and line breaks add theirs.
    void startInParagraph(std::string_view name, std::string& text) {
        if (name == "s")
            text.append(static_cast<std::size_t>(countOf(m_xml, "c", maxSpaces)), ' ');
        else if (name == "tab")
            text += '\t';
        else if (name == "line-break")
            text += '\n';
    }

    // True at the end of a row element.
    bool end(RowRuns& rows) {
        const int depth = m_depth--;
        if (depth == m_paragraph) {
            m_paragraph = -2; // a paragraph before the next one
        } else if (depth == m_cell) {
            endCell(rows);
        } else if (depth == m_row) {
            endRow(rows);
            return true;
        }
        return false;
    }

    Content& m_content;
    XmlScanner& m_xml;
    OdsScanner m_fast;
    int m_depth = 0;      // of the elements open inside the table
    int m_row = -1;       // the depth of the open row element, -1 outside one
    int m_cell = -1;      // the depth of the open cell, -1 outside one
    int m_paragraph = -1; // the depth of the open paragraph; -2 after one in the cell
    bool m_covered = false;
    bool m_rowScanned = false; // the open row was started by the fast scan
    std::int64_t m_nextRow = 1;
    std::int64_t m_rowCount = 1;
    std::int32_t m_column = 1;
    std::int64_t m_cellCount = 1;
    std::size_t m_cellStart = 0;
};

// Reads the visible tables. The width a sheet's text is padded to must be known before its
// first row is written, and content.xml does not say it (LibreOffice declares the columns to
// the sheet's end, Gnumeric too, and pads every row to it with a run of empty cells), so the
// first rows holding values are read ahead: when the table ends within them the width is
// known, otherwise the widest of them stands for it, and only a later, wider row costs a
// second pass from the part's start, once in a file.
class OdsReader {
public:
    OdsReader(const ZipArchive& archive, const ZipEntry& entry, SheetSink& sink)
        : m_archive(archive), m_entry(entry), m_sink(sink), m_content(archive, entry, m_sink) {}

    void read() {
        Visibility visibility = Visibility::Visible;
        for (int table = 0; m_content.nextTable(visibility); ++table) {
            if (VisibleSheets::reads(visibility))
                readTable(table);
            else
                m_content.skipTable();
        }
        m_sink.finish();
    }

private:
    void readTable(int table) {
        const std::uint64_t tableStart = m_content.inflated();
        TableReader reader(m_content);
        m_ahead.clear();
        bool more = true;
        while (more && (m_readWhole || (m_ahead.rows() < lookaheadRows && m_ahead.bytes() < lookaheadBytes)))
            more = reader.readRow(m_ahead);
        const std::int32_t columns = m_ahead.lastColumn();
        // The text read ahead, and the rows it holds: all of them when the table has ended.
        // Otherwise the text is a twelfth to a fourteenth of the markup LibreOffice or Gnumeric
        // write for it: room is made for a fourteenth of what is left of the part, and the rows
        // are told as that many bytes of rows like the first.
        const std::int64_t rows = m_ahead.lastRow();
        const std::size_t text = m_ahead.bytes() + static_cast<std::size_t>(rows) * std::size_t(columns + 1);
        SheetSize expected{rows, text};
        if (more) {
            expected.bytes =
                static_cast<std::size_t>((m_entry.size - std::min(m_entry.size, tableStart)) / 14);
            expected.rows = std::min(maxRows, static_cast<std::int64_t>(expected.bytes / (text / rows)));
        }
        bool first = true;
        writeSheet(m_sink, expected, columns, [&](SheetWriter& writer) {
            if (first) {
                first = false;
                m_ahead.write(writer, columns);
                while (more)
                    more = writeRow(reader, writer, columns);
            } else {
                // The width is right this time: the writer never measures.
                m_readWhole = true;
                Content again(m_archive, m_entry, m_sink);
                Visibility visibility = Visibility::Visible;
                for (int skipped = 0; again.nextTable(visibility) && skipped < table; ++skipped)
                    again.skipTable();
                TableReader rereader(again);
                while (writeRow(rereader, writer, maxColumns)) {
                }
            }
        });
    }

    bool writeRow(TableReader& reader, SheetWriter& writer, std::int32_t columns) {
        m_row.clear();
        const bool more = reader.readRow(m_row);
        m_row.write(writer, columns);
        return more;
    }

    const ZipArchive& m_archive;
    const ZipEntry& m_entry;
    VisibleSheets m_sink;
    Content m_content;
    RowRuns m_ahead; // a table's first rows
    RowRuns m_row;   // the row being written
    // Once a table was read twice, each later one is read whole before it is written, so that
    // no file of many tables makes the part be read from its start again and again.
    bool m_readWhole = false;
};

} // namespace

void readOds(const ZipArchive& archive, SheetSink& sink) {
    const ZipEntry* content = archive.find(contentPart);
    if (!content)
        damaged("缺少这一部分", {std::string(contentPart)});
    try {
        OdsReader(archive, *content, sink).read();
    } catch (ReadError& error) {
        error.locate({std::string(contentPart)});
        throw;
    }
}

} // namespace brisquel::sheets
