// The XML Spreadsheet reader: the document is scanned once. A worksheet says whether it is
// hidden only after its cells, and how wide it is not at all, so each worksheet's cells are kept
// as they are read, as the text they show. Once its first rows tell a width, its cells are
// handed on as they come, taken back at its end if it was hidden, and handed on again from
// those kept if a later row was wider.
#include "sheets/xml_spreadsheet.h"

#include "sheets/cell_formats.h"
#include "sheets/date_serial.h"
#include "sheets/gb18030.h"
#include "sheets/number_format.h"
#include "sheets/scan_cursor.h"
#include "sheets/sheet_writer.h"
#include "sheets/visible_sheets.h"
#include "sheets/xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brisquel::sheets {

namespace {

// The named formats of ss:Format, as a Chinese Excel shows them; any other value is a code.
std::string_view codeOfFormat(std::string_view format) {
    static constexpr std::pair<std::string_view, std::string_view> named[] = {
        {"General", "General"},
        {"General Number", "General"},
        {"General Date", "yyyy/m/d h:mm"},
        {"Fixed", "0.00"},
        {"Standard", "#,##0.00"},
        {"Percent", "0.00%"},
        {"Scientific", "0.00E+00"},
        {"Short Date", "yyyy/m/d"},
        {"Medium Date", "d-mmm-yy"},
        {"Long Date", "yyyy\"年\"m\"月\"d\"日\""},
        {"Short Time", "h:mm"},
        {"Medium Time", "h:mm AM/PM"},
        {"Long Time", "h:mm:ss"},
        {"Yes/No", "\"Yes\";\"Yes\";\"No\""},
        {"True/False", "\"True\";\"True\";\"False\""},
        {"On/Off", "\"On\";\"On\";\"Off\""},
        {"Currency", "\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
        {"Euro Currency", "\"€\"#,##0.00;\"€\"\\-#,##0.00"},
    };
    for (const auto& [name, code] : named)
        if (name == format)
            return code;
    return format;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Decimal digits alone, clamped to `limit`; nothing when the text is no number.
std::optional<std::int64_t> parseNumber(std::string_view text, std::int64_t limit) {
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = std::min(value * 10 + (c - '0'), limit);
    }
    return value;
}

// The cell styles of the workbook by ss:ID, each resolved through its ss:Parent to the number
// format it shows.
class Styles {
public:
    void add(std::string_view id, std::string_view parent) {
        m_own = m_index.try_emplace(std::string(id), m_styles.size()).second;
        if (m_own)
            m_styles.push_back({std::string(id), std::string(parent), {}, false});
    }
    // The style added last shows `format`.
    void setFormat(std::string_view format) {
        if (!m_own)
            return;
        m_styles.back().format = format.empty() ? "General" : codeOfFormat(format);
        m_styles.back().hasFormat = true;
    }

    // Once every style is in. A style without a parent of its own takes Default's format; a
    // chain of parents that loops, or ends at no style, ends in General.
    void settle() {
        std::unordered_map<std::string_view, std::uint64_t> idOfCode;
        const std::size_t count = m_styles.size();
        std::vector<std::string_view> codes(count);
        std::vector<char> state(count, 0); // 1 on the chain being followed, 2 resolved
        std::vector<std::size_t> chain;
        const auto defaultStyle = m_index.find("Default");
        for (std::size_t i = 0; i < count; ++i) {
            std::string_view code = "General";
            chain.clear();
            for (std::size_t at = i;;) {
                if (state[at] == 2) {
                    code = codes[at];
                    break;
                }
                if (state[at] == 1)
                    break;
                state[at] = 1;
                chain.push_back(at);
                const Style& style = m_styles[at];
                if (style.hasFormat) {
                    code = style.format;
                    break;
                }
                const auto parent = style.parent.empty() ? defaultStyle : m_index.find(style.parent);
                if (parent == m_index.end())
                    break;
                at = parent->second;
            }
            for (const std::size_t at : chain) {
                codes[at] = code;
                state[at] = 2;
            }
        }
        // Style 0 of the table, for cells of no style or of one the file does not define.
        const std::string_view defaultCode =
            defaultStyle == m_index.end() ? "General" : codes[defaultStyle->second];
        auto add = [&](std::string_view code) {
            const auto [found, added] = idOfCode.try_emplace(code, 1000 + idOfCode.size());
            if (added)
                m_formats.define(found->second, std::string(code));
            m_formats.addStyle(found->second);
        };
        add(defaultCode);
        for (const std::string_view code : codes)
            add(code);
        m_formats.settle();
        m_settled = true;
    }
    bool settled() const { return m_settled; }

    // The style of ss:ID `id`, as settle numbered them; 0 for Default and for no style.
    std::uint32_t find(std::string_view id) const {
        const auto found = m_index.find(id);
        return found == m_index.end() ? 0 : static_cast<std::uint32_t>(found->second + 1);
    }
    const NumberFormat& format(std::uint32_t style) const { return m_formats.ofStyle(style); }

private:
    struct Style {
        std::string id, parent, format;
        bool hasFormat;
    };
    std::vector<Style> m_styles;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> m_index;
    bool m_own = false; // the style added last has an ss:ID of its own
    bool m_settled = false;
    FormatTable m_formats;
};

// The columns that cells merged down from the rows above cover, each to the last row it is
// covered in: the place of a cell written without ss:Index is the first column from its own on
// that no merge covers, found in a few steps however many merges there are.
class Coverage {
public:
    // Uncovers every column at once, through the root: a workbook of many worksheets with a
    // merge each costs no pass over the columns for each.
    void clear() {
        if (m_lastRow == 0)
            return;
        m_least[1] = m_assigned[1] = 0;
        m_lastRow = 0;
    }
    // Columns `first` to `last` are covered to row `lastRow`.
    void cover(std::int32_t first, std::int32_t last, std::int64_t lastRow) {
        if (m_least.empty()) {
            m_least.assign(2 * leaves, 0);
            m_assigned.assign(2 * leaves, -1);
        }
        assign(1, 1, leaves, first, last, lastRow);
        m_lastRow = std::max(m_lastRow, lastRow);
    }
    // The first column from `column` on that no merge covers in `row`; past the largest sheet
    // when none is.
    std::int32_t firstFree(std::int32_t column, std::int64_t row) {
        if (row > m_lastRow || column > leaves)
            return column;
        const std::int32_t free = find(1, 1, leaves, column, row);
        return free < 0 ? leaves + 1 : free;
    }

private:
    static constexpr std::int32_t leaves = maxColumns;

    void pushDown(std::size_t node) {
        if (m_assigned[node] < 0)
            return;
        for (const std::size_t child : {2 * node, 2 * node + 1})
            m_least[child] = m_assigned[child] = m_assigned[node];
        m_assigned[node] = -1;
    }
    void assign(std::size_t node, std::int32_t low, std::int32_t high, std::int32_t first, std::int32_t last,
                std::int64_t row) {
        if (last < low || high < first)
            return;
        if (first <= low && high <= last) {
            m_least[node] = m_assigned[node] = row;
            return;
        }
        pushDown(node);
        const std::int32_t middle = low + (high - low) / 2;
        assign(2 * node, low, middle, first, last, row);
        assign(2 * node + 1, middle + 1, high, first, last, row);
        m_least[node] = std::min(m_least[2 * node], m_least[2 * node + 1]);
    }
    std::int32_t find(std::size_t node, std::int32_t low, std::int32_t high, std::int32_t from,
                      std::int64_t row) {
        if (high < from || m_least[node] >= row)
            return -1;
        if (low == high)
            return low;
        pushDown(node);
        const std::int32_t middle = low + (high - low) / 2;
        const std::int32_t left = find(2 * node, low, middle, from, row);
        return left >= 0 ? left : find(2 * node + 1, middle + 1, high, from, row);
    }

    std::vector<std::int64_t> m_least;    // the least last row covered in the node's columns
    std::vector<std::int64_t> m_assigned; // a last row for all the node's columns, -1 if none
    std::int64_t m_lastRow = 0;           // no row after it is covered
};

// A worksheet's cells holding values, row by row, as the text they show.
class SheetCells {
public:
    std::string& text() { return m_text; }
    std::size_t size() const { return m_cells.size(); }
    std::size_t rows() const { return m_rows.size(); } // those holding a value
    std::int32_t lastColumn() const { return m_lastColumn; }
    // The text appended since `start` is the cell's, at `row` and `column`: whether it holds a
    // value, and so was added.
    bool add(std::int64_t row, std::int32_t column, std::size_t start) {
        if (m_text.size() == start)
            return false;
        if (m_rows.empty() || m_rows.back().row != row)
            m_rows.push_back({row, m_cells.size()});
        m_cells.push_back({column, m_text.size()});
        m_lastColumn = std::max(m_lastColumn, column);
        return true;
    }
    void clear() {
        m_text.clear();
        m_cells.clear();
        m_rows.clear();
        m_lastColumn = 0;
    }

    // The text of the last cell added.
    std::string_view last() const {
        const std::size_t start = m_cells.size() > 1 ? m_cells[m_cells.size() - 2].end : 0;
        return std::string_view(m_text).substr(start, m_cells.back().end - start);
    }

    // What a worksheet of the cells so far would take, scaled by `share`, the part of the
    // worksheet they are thought to be.
    SheetSize expected(double share = 1) const {
        const std::int64_t rows = m_rows.empty() ? 0 : m_rows.back().row;
        const auto scaled = [share](double size) { return size / std::max(share, 1e-9); };
        return {static_cast<std::int64_t>(scaled(static_cast<double>(rows))),
                static_cast<std::size_t>(scaled(static_cast<double>(m_text.size()) +
                                                static_cast<double>(rows) * (m_lastColumn + 1)))};
    }

    void write(SheetSink& sink) const {
        writeSheet(sink, expected(), m_lastColumn, [&](SheetWriter& writer) { feed(writer); });
    }

    // Every cell, in order.
    void feed(SheetWriter& writer) const {
        std::size_t start = 0;
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            const std::size_t end = r + 1 < m_rows.size() ? m_rows[r + 1].firstCell : m_cells.size();
            for (std::size_t c = m_rows[r].firstCell; c < end; ++c) {
                writer.cell(m_rows[r].row, m_cells[c].column,
                            std::string_view(m_text).substr(start, m_cells[c].end - start));
                start = m_cells[c].end;
            }
        }
    }

private:
    struct Cell {
        std::int32_t column;
        std::size_t end; // of its text in m_text
    };
    struct Row {
        std::int64_t row;
        std::size_t firstCell;
    };
    std::string m_text;
    std::vector<Cell> m_cells;
    std::vector<Row> m_rows;
    std::int32_t m_lastColumn = 0;
};

// The attributes that place a row or a cell and give its style, "" when absent.
struct Placement {
    std::string_view index, span, style, across, down;

    bool take(std::string_view name, std::string_view value) {
        std::string_view* to = name == "Index"         ? &index
                               : name == "Span"        ? &span
                               : name == "StyleID"     ? &style
                               : name == "MergeAcross" ? &across
                               : name == "MergeDown"   ? &down
                                                       : nullptr;
        if (to && !to->data()) // the first of a repeated attribute, as XmlScanner takes it
            *to = value;
        return true;
    }
};

// Rows and cells as Excel and LibreOffice write them, straight from the input: a row's tag, or
// a cell with at most one Data of plain text, without prefixes, entities or CR. At anything
// else it stops, leaving the input where that starts, for the XmlScanner to go on from.
// Whatever it hands out is what the XmlScanner would have found there.
class RowScanner {
public:
    enum class Item {
        Row,      // a row's start tag
        EmptyRow, // a row written <Row/>
        Cell,     // a whole cell: hasData(), type() and value() tell its Data
        RowEnd,   // the end of a row this scanner started
        Other,    // something this scanner does not take is next
    };

    explicit RowScanner(PieceInput& input) : m_in(input) {}

    // The next item: between rows when `inRow` is false, in a row otherwise, which this
    // scanner started when `started` is true.
    Item next(bool inRow, bool started) {
        const Scan scan = scanWhole<Scan>(m_in, [&](ScanCursor& at) { return scanItem(at, inRow, started); });
        switch (scan) {
        case Scan::Row:
            return Item::Row;
        case Scan::EmptyRow:
            return Item::EmptyRow;
        case Scan::Cell:
            return Item::Cell;
        case Scan::RowEnd:
            return Item::RowEnd;
        default:
            return Item::Other;
        }
    }

    const Placement& placement() const { return m_placement; }
    bool hasData() const { return m_hasData; }
    std::string_view type() const { return m_type; }
    std::string_view value() const { return m_value; }

private:
    enum class Scan { Row, EmptyRow, Cell, RowEnd, Other, Skipped, Incomplete };

    // The cursor's literal and tagName, compared inline where the input holds the bytes whole:
    // a call to memcmp for each of a cell's few tags costs more than the compare.
    template <std::size_t N> static bool literal(ScanCursor& at, const char (&bytes)[N]) {
        constexpr std::size_t size = N - 1;
        if (static_cast<std::size_t>(at.end - at.p) < size)
            return at.literal(std::string_view(bytes, size));
        for (std::size_t i = 0; i < size; ++i) {
            if (at.p[i] != bytes[i])
                return false;
        }
        at.p += size;
        return true;
    }
    template <std::size_t N> static bool tagName(ScanCursor& at, const char (&tag)[N]) {
        const char* start = at.p;
        if (!literal(at, tag))
            return false;
        if (at.p != at.end && (isXmlSpace(*at.p) || *at.p == '>' || *at.p == '/'))
            return true;
        at.cut = at.p == at.end;
        at.p = start;
        return false;
    }

    Scan scanItem(ScanCursor& at, bool inRow, bool started) {
        if (at.skipSpaces())
            return Scan::Skipped;
        m_placement = {};
        m_hasData = false;
        bool empty = false;
        const auto place = [&](std::string_view name, std::string_view value) {
            return m_placement.take(name, value);
        };
        if (!inRow) {
            if (!tagName(at, "<Row") || !at.attributes(empty, place))
                return at.stopped<Scan>();
            return empty ? Scan::EmptyRow : Scan::Row;
        }
        if (started && literal(at, "</Row>"))
            return Scan::RowEnd;
        if (at.cut || !tagName(at, "<Cell") || !at.attributes(empty, place))
            return at.stopped<Scan>();
        if (empty)
            return Scan::Cell;
        if (!at.spaces())
            return at.stopped<Scan>();
        if (literal(at, "</Cell>"))
            return Scan::Cell;
        m_type = {};
        const auto typed = [&](std::string_view name, std::string_view value) {
            m_type = value;
            return name == "Type";
        };
        if (at.cut || !tagName(at, "<Data") || !at.attributes(empty, typed) || empty || !at.text(m_value) ||
            !literal(at, "</Data>") || !at.spaces() || !literal(at, "</Cell>"))
            return at.stopped<Scan>();
        m_hasData = true;
        return Scan::Cell;
    }

    PieceInput& m_in;
    Placement m_placement;
    bool m_hasData = false;
    std::string_view m_type, m_value;
};

// The encoding a document's XML declaration names, in lower case; "" when it names none.
std::string declaredEncoding(std::string_view bytes) {
    const std::string_view declaration = bytes.substr(0, std::min(bytes.find("?>"), std::size_t{256}));
    if (!declaration.starts_with("<?xml"))
        return {};
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = declaration.find_first_of("\"'", at);
    const std::size_t end = at == std::string_view::npos ? at : declaration.find(declaration[at], at + 1);
    if (end == std::string_view::npos)
        return {};
    std::string name(declaration.substr(at + 1, end - at - 1));
    for (char& c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return name;
}

// The document as UTF-8, decoded into `decoded` when it is written otherwise: UTF-16 told by
// its byte-order mark, and GB18030 (GBK, GB2312) when its declaration names it, as Chinese
// business systems write.
std::string_view utf8Document(std::string_view bytes, std::string& decoded) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        decoded = utf16BytesToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        return decoded;
    }
    const std::string encoding = declaredEncoding(bytes);
    if (encoding != "gb2312" && encoding != "gbk" && encoding != "gb18030" && encoding != "cp936")
        return bytes;
    // In pieces cut after a byte below 0x30, which no sequence holds, so that the room a
    // piece needs, three bytes a byte, is never asked for the whole file at once.
    constexpr std::size_t piece = std::size_t{1} << 16;
    decoded.reserve(bytes.size() + bytes.size() / 2);
    std::string room;
    const auto cutsAfter = [&](std::size_t end) { return static_cast<unsigned char>(bytes[end - 1]) < 0x30; };
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = std::min(bytes.size(), at + piece);
        while (end < bytes.size() && end > at && !cutsAfter(end))
            --end;
        if (end == at) {
            for (end = at + piece; end < bytes.size() && !cutsAfter(end);)
                ++end;
        }
        room.resize((end - at) * 3);
        decoded.append(room.data(), decodeGb18030(bytes.substr(at, end - at), room.data()));
        at = end;
    }
    return decoded;
}

// The rows of a worksheet kept before its cells are handed on as they come: their widest tells
// the worksheet's width, and the bytes they take about its size.
constexpr std::size_t rowsAhead = 1024;

class XmlSpreadsheetReader {
public:
    XmlSpreadsheetReader(std::string_view bytes, SheetSink& sink)
        : m_xml([bytes,
                 given = false]() mutable { return std::exchange(given, true) ? std::string_view() : bytes; },
                ""),
          m_sink(sink), m_document(bytes) {}

    void read() {
        try {
            scan();
        } catch (ReadError& error) {
            error.locate(where());
            throw;
        }
        m_sink.finish();
    }

private:
    enum class Type { String, Number, DateTime, Boolean, Error };

    Where where() const {
        if (m_worksheet < 0)
            return {};
        return {"工作表“" + m_sheetName + "”", m_rowNumber, m_cell >= 0 ? m_column : 0};
    }

    void scan() {
        for (;;) {
            if (m_table >= 0 && m_cell < 0 && m_depth == (m_row < 0 ? m_table : m_row) &&
                !m_xml.isEmptyElement())
                scanFast();
            const auto event = m_xml.next();
            if (event == XmlScanner::Event::Done)
                break;
            if (event == XmlScanner::Event::Start) {
                ++m_depth;
                start(m_xml.name());
            } else if (event == XmlScanner::Event::End) {
                end();
                --m_depth;
            } else if (m_data >= 0) {
                m_cells.text() += m_xml.text();
            } else if (m_visible >= 0 && m_visibleText.size() < 32) {
                m_visibleText += m_xml.text();
            }
        }
    }

    // The rows and cells the row scanner takes, until anything else, which m_xml goes on from.
    void scanFast() {
        RowScanner fast(m_xml.input());
        for (;;) {
            switch (fast.next(m_row >= 0, m_rowScanned)) {
            case RowScanner::Item::Row:
                ++m_depth;
                startRow(fast.placement());
                m_rowScanned = true;
                break;
            case RowScanner::Item::EmptyRow:
                startRow(fast.placement());
                m_row = -1;
                break;
            case RowScanner::Item::Cell:
                ++m_depth;
                startCell(fast.placement());
                if (fast.hasData()) {
                    ++m_depth;
                    startData(fast.type());
                    addData(fast.value());
                    --m_depth;
                }
                m_cell = -1;
                --m_depth;
                break;
            case RowScanner::Item::RowEnd:
                m_row = -1;
                m_rowScanned = false;
                --m_depth;
                break;
            case RowScanner::Item::Other:
                if (m_rowScanned)
                    m_xml.opened("Row");
                m_rowScanned = false;
                return;
            }
        }
    }

    // The attributes of the element m_xml stands at that place it.
    Placement placement() const {
        return {m_xml.attribute("Index"), m_xml.attribute("Span"), m_xml.attribute("StyleID"),
                m_xml.attribute("MergeAcross"), m_xml.attribute("MergeDown")};
    }

    void start(std::string_view name) {
        if (m_depth <= 3)
            m_names[m_depth - 1] = name;
        if (m_cell >= 0) {
            if (m_depth == m_cell + 1 && name == "Data" && !m_hadData)
                startData(m_xml.attribute("Type"));
        } else if (m_row >= 0) {
            if (m_depth == m_row + 1 && name == "Cell")
                startCell(placement());
        } else if (m_table >= 0) {
            if (m_depth == m_table + 1 && name == "Row")
                startRow(placement());
            else if (m_depth == m_table + 1 && name == "Column")
                column();
        } else if (m_worksheet >= 0) {
            if (m_depth == m_worksheet + 1 && name == "Table")
                startTable();
            else if (m_depth == m_worksheet + 1 && name == "WorksheetOptions")
                m_options = m_depth;
            else if (m_options >= 0 && m_depth == m_options + 1 && name == "Visible")
                m_visible = m_depth;
        } else if (m_depth == 2 && name == "Worksheet") {
            startWorksheet();
        } else if (m_depth == 3 && m_names[1] == "Styles" && name == "Style") {
            if (!m_styles.settled())
                m_styles.add(m_xml.attribute("ID"), m_xml.attribute("Parent"));
        } else if (m_depth == 4 && m_names[1] == "Styles" && m_names[2] == "Style" &&
                   name == "NumberFormat") {
            if (!m_styles.settled())
                m_styles.setFormat(m_xml.attribute("Format"));
        } else if (m_depth == 3 && m_names[1] == "ExcelWorkbook" && name == "Date1904") {
            m_dates = DateSystem::From1904;
        }
    }

    void end() {
        if (m_depth == m_data) {
            endData();
        } else if (m_depth == m_cell) {
            m_cell = -1;
        } else if (m_depth == m_row) {
            m_row = -1;
        } else if (m_depth == m_table) {
            m_table = -1;
        } else if (m_depth == m_visible) {
            m_visible = -1;
        } else if (m_depth == m_options) {
            m_options = -1;
        } else if (m_depth == m_worksheet) {
            endWorksheet();
        }
    }

    void startWorksheet() {
        if (!m_styles.settled())
            m_styles.settle();
        m_worksheet = m_depth;
        m_sheetName = m_xml.attribute("Name");
        m_cells.clear();
        m_coverage.clear();
        m_nextRow = 1;
        m_rowNumber = 0;
        m_visibleText.clear();
    }

    void endWorksheet() {
        m_worksheet = -1;
        const std::string_view visible = trimmed(m_visibleText);
        const bool hidden = visible == "SheetHidden" || visible == "SheetVeryHidden";
        if (!m_writer) {
            if (!hidden)
                m_cells.write(m_sink);
            return;
        }
        m_writer->finish();
        const bool whole = m_writer->wroteAll() && m_writer->lastColumn() == m_cells.lastColumn();
        m_writer.reset();
        if (hidden || !whole) {
            m_sink.restartSheet();
            if (!hidden) {
                SheetWriter writer(m_sink, m_cells.lastColumn());
                m_cells.feed(writer);
                writer.finish();
            }
        }
        m_sink.endSheet();
    }

    // The rows kept tell the worksheet's width: they are handed on, and from here on each
    // cell as it comes.
    void startHandingOn() {
        const PieceInput& in = m_xml.input();
        const char* const at = in.input.data() + in.pos;
        double share = 1;
        if (at > m_document.data() && at <= m_document.data() + m_document.size())
            share = static_cast<double>(at - m_document.data()) / static_cast<double>(m_document.size());
        m_sink.beginSheet(m_cells.expected(share));
        m_writer.emplace(m_sink, m_cells.lastColumn());
        m_cells.feed(*m_writer);
    }

    void startTable() {
        m_table = m_depth;
        m_tableStyle = styleOf(m_xml.attribute("StyleID"), 0);
        m_columnStyles.clear();
        m_nextColumnElement = 1;
    }

    // A Column element: its ss:StyleID is the style of the cells in its columns that have none.
    void column() {
        const Placement at = placement();
        const std::int32_t first =
            static_cast<std::int32_t>(index(at.index, m_nextColumnElement, maxColumns));
        if (first < m_nextColumnElement)
            m_xml.fail("列的位置顺序错乱");
        if (first > maxColumns)
            m_xml.fail("列超出工作表范围");
        const std::int64_t span = count("Span", at.span, maxColumns);
        const std::int32_t last = static_cast<std::int32_t>(std::min<std::int64_t>(first + span, maxColumns));
        m_nextColumnElement = last + 1;
        const std::uint32_t style = styleOf(at.style, m_tableStyle);
        if (style == m_tableStyle)
            return;
        m_columnStyles.push_back({first, last, style});
    }

    void startRow(const Placement& at) {
        if (!m_writer && m_cells.rows() >= rowsAhead)
            startHandingOn();
        if (m_nextRow > maxRows && at.index.empty()) {
            m_rowNumber = maxRows + 1;
            m_xml.fail("行超出工作表范围");
        }
        const std::int64_t row = index(at.index, m_nextRow, maxRows);
        if (row < m_nextRow)
            m_xml.fail("行的位置顺序错乱");
        m_rowNumber = row;
        m_row = m_depth;
        m_nextRow = std::min(row + 1 + count("Span", at.span, maxRows), maxRows + 1);
        m_column = 0;
        m_nextColumn = 1;
        m_rowStyle = at.style.empty() ? -1 : static_cast<std::int64_t>(styleOf(at.style, 0));
    }

    void startCell(const Placement& at) {
        m_cell = m_depth;
        m_hadData = false;
        std::int32_t column = 0;
        if (at.index.empty()) {
            column = m_coverage.firstFree(m_nextColumn, m_rowNumber);
            if (column > maxColumns) {
                m_column = column;
                m_xml.fail("单元格超出工作表范围");
            }
        } else {
            column = static_cast<std::int32_t>(index(at.index, m_nextColumn, maxColumns));
            m_column = column;
            if (column < m_nextColumn)
                m_xml.fail("单元格顺序错乱");
        }
        m_column = column;
        const std::int64_t across = count("MergeAcross", at.across, maxColumns);
        const std::int64_t down = count("MergeDown", at.down, maxRows);
        if (column + across > maxColumns || m_rowNumber + down > maxRows)
            m_xml.fail("合并区域超出工作表范围");
        const auto last = static_cast<std::int32_t>(column + across);
        if (down > 0)
            m_coverage.cover(column, last, m_rowNumber + down);
        m_nextColumn = last + 1;
        std::uint32_t style = 0;
        if (!at.style.empty())
            style = styleOf(at.style, 0);
        else if (m_rowStyle >= 0)
            style = static_cast<std::uint32_t>(m_rowStyle);
        else
            style = columnStyle(column);
        m_cellStyle = style;
    }

    void startData(std::string_view type) {
        m_data = m_depth;
        m_hadData = true;
        if (type == "String")
            m_type = Type::String;
        else if (type == "Number")
            m_type = Type::Number;
        else if (type == "DateTime")
            m_type = Type::DateTime;
        else if (type == "Boolean")
            m_type = Type::Boolean;
        else if (type == "Error")
            m_type = Type::Error;
        else
            m_xml.fail("数据类型“" + std::string(type) + "”无效");
        m_dataStart = m_cells.text().size();
    }

    // The value written in the cell becomes the text it shows.
    void endData() {
        m_data = -1;
        std::string& text = m_cells.text();
        const NumberFormat& format = m_styles.format(m_cellStyle);
        if (text.size() > m_dataStart && !showsAsWritten(format)) {
            m_value.assign(text, m_dataStart);
            text.resize(m_dataStart);
            show(format, m_value, text);
        }
        addCell();
    }

    // The whole value of the Data begun last, as the row scanner found it.
    void addData(std::string_view value) {
        m_data = -1;
        const NumberFormat& format = m_styles.format(m_cellStyle);
        if (value.empty() || showsAsWritten(format))
            m_cells.text() += value;
        else
            show(format, value, m_cells.text());
        addCell();
    }

    // Errors, and most strings, show as written.
    bool showsAsWritten(const NumberFormat& format) const {
        return m_type == Type::Error || (m_type == Type::String && format.showsTextAsIs());
    }

    void addCell() {
        if (m_cells.add(m_rowNumber, m_column, m_dataStart) && m_writer)
            m_writer->cell(m_rowNumber, m_column, m_cells.last());
        // While the first rows are kept nothing reaches the sink: it is polled now and then.
        if (++m_unpolled == 1u << 14) {
            m_unpolled = 0;
            m_sink.poll();
        }
    }

    void show(const NumberFormat& format, std::string_view value, std::string& text) {
        switch (m_type) {
        case Type::String:
            format.formatText(value, text);
            break;
        case Type::Number: {
            value = trimmed(value);
            double number = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
                !std::isfinite(number))
                m_xml.fail("数值无效");
            format.format(number, m_dates, text);
            break;
        }
        case Type::DateTime: {
            const auto serial = isoDateSerial(trimmed(value), m_dates);
            if (!serial)
                m_xml.fail("日期无效");
            format.format(*serial, m_dates, text);
            break;
        }
        case Type::Boolean:
            value = trimmed(value);
            if (value != "0" && value != "1")
                m_xml.fail("逻辑值无效");
            text += value == "1" ? "TRUE" : "FALSE";
            break;
        case Type::Error:
            break;
        }
    }

    std::uint32_t columnStyle(std::int32_t column) const {
        if (m_columnStyles.empty())
            return m_tableStyle;
        const auto run =
            std::partition_point(m_columnStyles.begin(), m_columnStyles.end(),
                                 [&](const ColumnStyle& styled) { return styled.last < column; });
        return run != m_columnStyles.end() && run->first <= column ? run->style : m_tableStyle;
    }

    // An ss:Index written `text`, from 1, or `next` when there is none.
    std::int64_t index(std::string_view text, std::int64_t next, std::int64_t limit) {
        if (text.empty())
            return next;
        const auto value = parseNumber(text, limit + 1);
        if (!value || *value < 1)
            m_xml.fail("位置“" + std::string(text) + "”无效");
        if (*value > limit)
            m_xml.fail("位置超出工作表范围");
        return *value;
    }
    // The count attribute `name` written `text`, 0 when there is none.
    std::int64_t count(std::string_view name, std::string_view text, std::int64_t limit) {
        if (text.empty())
            return 0;
        const auto value = parseNumber(text, limit + 1);
        if (!value)
            m_xml.fail("属性 " + std::string(name) + " 的值“" + std::string(text) + "”无效");
        return *value;
    }
    // The style an ss:StyleID names, `none` when there is none.
    std::uint32_t styleOf(std::string_view id, std::uint32_t none) const {
        return id.empty() ? none : m_styles.find(id);
    }

    XmlScanner m_xml;
    VisibleSheets m_sink;
    const std::string_view m_document;
    std::optional<SheetWriter> m_writer; // once the worksheet's cells are handed on as they come
    Styles m_styles;
    DateSystem m_dates = DateSystem::From1900;
    SheetCells m_cells;
    Coverage m_coverage;
    std::string m_names[3]; // of the open elements at depths 1 to 3
    int m_depth = 0;
    // The depths of the open elements that matter, -1 when one is not open.
    int m_worksheet = -1, m_table = -1, m_row = -1, m_cell = -1, m_data = -1, m_options = -1, m_visible = -1;
    std::string m_sheetName;
    std::string m_visibleText;
    std::uint32_t m_tableStyle = 0;
    struct ColumnStyle {
        std::int32_t first, last;
        std::uint32_t style;
    };
    std::vector<ColumnStyle> m_columnStyles; // in the order of their columns
    std::int32_t m_nextColumnElement = 1;
    std::int64_t m_nextRow = 1;
    std::int64_t m_rowNumber = 0;
    std::int64_t m_rowStyle = -1;
    bool m_rowScanned = false; // the open row was started by the row scanner
    std::int32_t m_nextColumn = 1;
    std::int32_t m_column = 0;
    std::uint32_t m_cellStyle = 0;
    Type m_type = Type::String;
    std::size_t m_dataStart = 0;
    bool m_hadData = false; // a cell's first Data is its value
    std::string m_value;
    std::uint32_t m_unpolled = 0;
};

} // namespace

void readXmlSpreadsheet(std::string_view bytes, SheetSink& sink) {
    std::string decoded;
    XmlSpreadsheetReader(utf8Document(bytes, decoded), sink).read();
}

} // namespace brisquel::sheets
