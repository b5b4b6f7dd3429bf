// The .ods reader through readZipWorkbook: files written by spreadsheet programs, edge and
// hostile tables, and random tables against a naive expansion of their repeats.
#include "sheets/workbook.h"
#include "text_sink.h"
#include "xlsx_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <regex>

namespace brisquel::sheets {
namespace {

// An .ods whose body holds `tables`; the table style "h" hides its table.
std::string odsFile(std::string_view tables) {
    testing::ZipWriter zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    zip.add("content.xml",
            "<o:document-content xmlns:o='o' xmlns:s='s' xmlns:t='t'><o:automatic-styles><s:style s:name='h' "
            "s:family='table'><s:table-properties t:display='false'/></s:style>"
            "</o:automatic-styles><o:body><o:spreadsheet>" +
                std::string(tables) + "</o:spreadsheet></o:body></o:document-content>");
    return zip.finish();
}

// What a test expects of a file the reader refuses.
std::string refused(Problem problem) {
    std::string text = "!";
    text += static_cast<char>('0' + static_cast<int>(problem));
    return text;
}

// The sheets' texts joined by form feeds, or what refused() gives for its problem; with the
// sheets read twice counted in `restarts`.
std::string readSheets(const std::string& file, int* restarts = nullptr) {
    TextSink sink;
    try {
        readZipWorkbook(file, sink);
    } catch (const ReadError& error) {
        return refused(error.problem());
    }
    if (restarts)
        *restarts = sink.restarts;
    std::string text;
    for (const std::string& sheet : sink.sheets)
        text += (text.empty() && &sheet == sink.sheets.data() ? "" : "\f") + sheet;
    return text;
}

std::string fileText(const std::string& name) {
    std::ifstream in(std::string(BRISQUEL_SHEETS_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OdsReader, ReadsFilesAsLibreOfficeShowsThem) {
    for (const char* name : {"ods-libreoffice", "ods-gnumeric"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fileText(std::string(name) + ".txt"), readSheets(fileText(std::string(name) + ".ods")));
    }
}

TEST(OdsReader, TablesGiveTheTextTheyShow) {
    const std::string damaged = refused(Problem::Damaged);
    const struct {
        const char* name;
        std::string tables, text;
    } cases[] = {
        {"paragraphs, spaces, tabs and runs",
         "<t:table><t:table-row><t:table-cell><o:annotation><p>note</p>"
         "</o:annotation><p> a \n b<s "
         "c='3'/><tab/><a>c</a></p><p><span>d</span><line-break/></p></t:table-cell>"
         "</t:table-row></t:table>",
         " a \n b   \tc\nd\n\r\n"},
        {"repeats, covered cells, trailing runs",
         "<t:table><t:table-row t:number-rows-repeated='2'><t:table-cell"
         " t:number-columns-repeated='2'><p>x</p></t:table-cell><t:covered-table-cell><p>y</p>"
         "</t:covered-table-cell><t:table-cell><p>z</p></t:table-cell><t:table-cell "
         "t:number-columns-repeated="
         "'16380'/></t:table-row><t:table-row t:number-rows-repeated='1048574'><t:table-cell/></t:table-row>"
         "</t:table>",
         "x\tx\t\tz\r\nx\tx\t\tz\r\n"},
        {"hidden, wide, empty and narrow tables",
         "<t:table "
         "t:style-name='h'><t:table-row><t:table-cell><p>h</p></t:table-cell></t:table-row></t:table>"
         "<t:table><t:table-row><t:table-cell t:number-columns-repeated='2'><p>w</p></t:table-cell>"
         "</t:table-row></t:table><t:table/><t:table><t:table-row><t:table-cell><p>v</p>"
         "</t:table-cell></t:table-row></t:table>",
         "w\tw\r\n\f\fv\r\n"},
        {"empty cells and rows repeated past the sheet's end, a value to its last row",
         "<t:table><t:table-row t:number-rows-repeated="
         "'2147483648'><t:table-cell "
         "t:number-columns-repeated='2147483648'/></t:table-row></t:table><t:table>"
         "<t:table-row "
         "t:number-rows-repeated='1048576'><t:table-cell><p>1</p></t:table-cell><t:table-cell "
         "t:number-columns-repeated='2147483648'/></t:table-row></t:table>",
         [] {
             std::string rows = "\f";
             for (int row = 0; row < 1 << 20; ++row)
                 rows += "1\r\n";
             return rows;
         }()},
        {"cell tags differing in one value",
         [] {
             // Each cell as its value, the quote around it, its repeat count and its text.
             std::string row = "<t:table><table:table-row>";
             for (const std::string cell :
                  {"1'1a", "2'1b", "333'1c", "it's\"1d", "4'2e", "55'2f", "666'2g"}) {
                 const std::string quote = cell.substr(cell.size() - 3, 1);
                 row += "<table:table-cell o:value=" + quote + cell.substr(0, cell.size() - 3) + quote +
                        " table:number-columns-repeated='" + cell[cell.size() - 2] + "'><text:p>" +
                        cell.back() + "</text:p></table:table-cell>";
             }
             return row + "</table:table-row></t:table>";
         }(),
         "a\tb\tc\td\te\te\tf\tf\tg\tg\r\n"},
        {"a changed value XML refuses",
         "<t:table><table:table-row><table:table-cell o:value='1'/><table:table-cell o:value='2'/>"
         "<table:table-cell o:value='<'><text:p>a</text:p></table:table-cell></table:table-row></t:table>",
         damaged},
        {"a value repeated past the last row",
         "<t:table><t:table-row t:number-rows-repeated='999999999'><t:table-cell "
         "t:number-columns-repeated='16384'><p>1</p></t:table-cell></t:table-row></t:table>",
         damaged},
        {"a value repeated past the last column",
         "<t:table><t:table-row t:number-rows-repeated='1048576'><t:table-cell "
         "t:number-columns-repeated='999999999'><p>1</p></t:table-cell></t:table-row></t:table>",
         damaged},
        {"a value past the last row",
         "<t:table><t:table-row t:number-rows-repeated='2147483648'/><t:table-row>"
         "<t:table-cell><p>1</p></t:table-cell></t:table-row></t:table>",
         damaged},
        {"a value past the last column",
         "<t:table><t:table-row><t:table-cell t:number-columns-repeated="
         "'16384'/><t:table-cell><p>1</p></t:table-cell></t:table-row></t:table>",
         damaged},
        {"a bad repeat count", "<t:table><t:table-row t:number-rows-repeated='-1'/></t:table>", damaged},
        {"no value", "<t:table><t:table-row><t:table-cell><p/></t:table-cell></t:table-row></t:table>",
         refused(Problem::Empty)},
        {"a doctype", "<!DOCTYPE x>", damaged},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        int restarts = 0;
        EXPECT_EQ(entry.text, readSheets(odsFile(entry.tables), &restarts));
        EXPECT_EQ(0, restarts) << "tables this small are read once";
    }
}

struct Stopped {};

// Throws Stopped at its second poll once `restarts` restarts have passed, as a window asked to
// stop would; counts the sheets begun and the bytes since the last restart.
struct StoppingSink final : SheetSink {
    int restarts = 0, sheets = 0, polls = 0;
    std::size_t bytes = 0;
    void beginSheet(SheetSize) override { ++sheets; }
    void append(std::string_view text) override { bytes += text.size(); }
    void poll() override {
        if (restarts == 0 && ++polls == 2)
            throw Stopped();
    }
    void restartSheet() override { --restarts, bytes = 0; }
    void endSheet() override {}
};

// Long runs of markup handing nothing on end at a stop asked during them: nothing of the
// tables after them is read.
TEST(OdsReader, StopEndsALongSkip) {
    std::string emptyRows, valueRows, hidden = "<t:table t:style-name='h'>";
    for (int i = 0; i < 100000; ++i)
        emptyRows += "<t:table-row><t:table-cell/></t:table-row>";
    for (int i = 0; i < 1100; ++i)
        valueRows += "<t:table-row><t:table-cell><p>a</p></t:table-cell></t:table-row>";
    hidden += emptyRows + "<t:table-row><t:table-cell><p>h</p></t:table-cell></t:table-row></t:table>";
    const std::string wider = "<t:table-row><t:table-cell t:number-columns-repeated='2'><p>w</p>"
                              "</t:table-cell></t:table-row>";
    const struct {
        const char* name;
        std::string tables;
        int restarts, sheets;
    } cases[] = {
        {"a hidden table", hidden + "<t:table>" + valueRows + "</t:table>", 0, 0},
        {"empty rows read ahead", "<t:table>" + emptyRows + valueRows + "</t:table>", 0, 0},
        {"a hidden table skipped again for a later, wider row",
         hidden + "<t:table>" + valueRows + wider + "</t:table>", 1, 1},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        StoppingSink sink;
        sink.restarts = entry.restarts;
        EXPECT_THROW(readZipWorkbook(odsFile(entry.tables), sink), Stopped);
        EXPECT_EQ(entry.sheets, sink.sheets);
        EXPECT_EQ(0u, sink.bytes) << "stopped before the table was written again";
    }
}

// Random tables of repeated rows and cells, some long enough that a row wider than those read
// ahead comes late, against a naive expansion of every repeat into a grid.
TEST(OdsReader, RandomTablesGiveTheNaiveText) {
    std::minstd_rand random(11);
    const std::pair<std::string, std::string> texts[] = {{"", ""},
                                                         {"a", "a"},
                                                         {"台区", "台区"},
                                                         {"x y", "x y"},
                                                         {"<span>a</span><s c='2'/>b", "a  b"},
                                                         {"a</p><p>b", "a\nb"},
                                                         {"a&amp;b", "a&b"},
                                                         {"<a>b</a>", "b"}};
    for (int round = 0; round < 60; ++round) {
        std::string tables, expected;
        for (int table = 0, count = 1 + int(random() % 2); table < count; ++table) {
            std::map<std::pair<int, int>, std::string> grid;
            int row = 1, rows = 0, columns = 0;
            tables += "<t:table>";
            for (int element = 0, elements = random() % 4 ? 6 : 1100; element < elements; ++element) {
                const int rowRepeat = 1 + int(random() % 3);
                tables += "<t:table-row t:number-rows-repeated='" + std::to_string(rowRepeat) + "'>";
                for (int cell = 0, column = 1, cells = 1 + int(random() % (element < 1050 ? 3 : 7));
                     cell < cells; ++cell) {
                    const int repeat = 1 + int(random() % 2);
                    const bool covered = random() % 5 == 0;
                    const auto& [xml, text] = texts[random() % std::size(texts)];
                    tables += std::string(covered ? "<t:covered-table-cell" : "<t:table-cell") +
                              " t:number-columns-repeated='" + std::to_string(repeat) + "'><p>" + xml +
                              "</p>" + (covered ? "</t:covered-table-cell>" : "</t:table-cell>");
                    for (int r = row; r < row + rowRepeat && !covered && !text.empty(); ++r) {
                        for (int c = column; c < column + repeat; ++c)
                            grid[{r, c}] = text;
                        rows = r, columns = std::max(columns, column + repeat - 1);
                    }
                    column += repeat;
                }
                tables += "</t:table-row>";
                row += rowRepeat;
            }
            tables += "</t:table>";
            expected += table ? "\f" : "";
            for (int r = 1; r <= rows; ++r) {
                for (int c = 1; c <= columns; ++c)
                    expected += grid[{r, c}] + (c < columns ? "\t" : "\r\n");
            }
        }
        SCOPED_TRACE(round);
        const bool empty = expected.find_first_not_of('\f') == std::string::npos;
        EXPECT_EQ(empty ? refused(Problem::Empty) : expected, readSheets(odsFile(tables)));
        // With the usual prefixes most of it is scanned fast, the rest handed over.
        tables = std::regex_replace(tables, std::regex("<(/?)t:"), "<$1table:");
        tables = std::regex_replace(tables, std::regex("<(/?)(p|s|span)\\b"), "<$1text:$2");
        tables = std::regex_replace(tables, std::regex(" t:"), " table:");
        tables = std::regex_replace(tables, std::regex(" c="), " text:c=");
        EXPECT_EQ(empty ? refused(Problem::Empty) : expected, readSheets(odsFile(tables)));
    }
}

// Rows crossing the end of a piece of the inflater, shifted a byte at a time, so that the cut
// falls on every byte of them; one of them leaves the rest of its row to the general scanner.
TEST(OdsReader, CellsCutByThePiecesOfThePartReadWhole) {
    const std::string row =
        "<table:table-row><table:table-cell office:value-type='string'><text:p>a<text:s/>b"
        "</text:p></table:table-cell><table:covered-table-cell/><table:table-cell "
        "table:number-columns-repeated='2'><text:p>台</text:p><text:p/></table:table-cell>"
        "<table:table-cell><text:p>plain text</text:p></table:table-cell></table:table-row>";
    const std::string other = "<table:table-row><table:table-cell><text:p>&lt;</text:p></table:table-cell>"
                              "<table:table-cell><text:p>b</text:p></table:table-cell></table:table-row>";
    const std::size_t rows = (std::size_t{1} << 18) / row.size() + 4;
    for (std::size_t shift = 0; shift < 2 * row.size(); ++shift) {
        std::string tables = "<table:table>" + std::string(shift, ' '), text;
        for (std::size_t i = 0; i < rows; ++i) {
            tables += i == rows - 4 ? other : row;
            text += i == rows - 4 ? "<\tb\t\t\t\r\n" : "a b\t\t台\n\t台\n\tplain text\r\n";
        }
        SCOPED_TRACE(shift);
        EXPECT_EQ(text, readSheets(odsFile(tables + "</table:table>")));
    }
}

} // namespace
} // namespace brisquel::sheets
