// The web-page reader, through readWorkbook as a page of any name reaches it.
#include "sheets/workbook.h"
#include "text_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>

namespace brisquel::sheets {
namespace {

using namespace std::string_literals;

std::string repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

struct PageCase {
    const char* name;
    std::string page;
    std::string text;
};

void expectSheets(const PageCase* first, const PageCase* last) {
    for (; first != last; ++first) {
        SCOPED_TRACE(first->name);
        TextSink sink;
        readWorkbook(first->page, sink);
        ASSERT_EQ(1u, sink.sheets.size());
        EXPECT_EQ(first->text, sink.sheets[0]);
    }
}

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(BRISQUEL_SHEETS_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

// The workbooks of the .xlsx tests saved as web pages by LibreOffice and Gnumeric give the
// text the workbooks do.
TEST(HtmlReader, ReadsPagesAsTheirWorkbooksRead) {
    for (const char* name : {"libreoffice", "gnumeric"}) {
        SCOPED_TRACE(name);
        const PageCase page{name, fixture("html-" + std::string(name) + ".html"), fixture(name + ".txt"s)};
        expectSheets(&page, &page + 1);
    }
}

TEST(HtmlReader, CellsShowWhatThePageShows) {
    const PageCase cases[] = {
        {"leading zeros kept",
         "<table><tr><td style='mso-number-format:\"\\@\"'>0363383683</td><td>1.50</td></tr>",
         "0363383683\t1.50\r\n"},
        {"colspan", "<table><tr><td colspan=2>a</td><td>b</td></tr><tr><td>c</td><td>d</td><td>e</td></tr>",
         "a\t\tb\r\nc\td\te\r\n"},
        {"rowspan carries down",
         "<table><tr><td rowspan=2>a</td><td>b</td></tr><tr><td>c</td></tr><tr><td>d</td>",
         "a\tb\r\n\tc\r\nd\t\r\n"},
        {"rowspan and colspan",
         "<table><tr><td>1</td><td rowspan=3 colspan=2>x</td><td>2</td></tr><tr><td>3</td><td>4</td></tr>"
         "<tr><td>5<td>6<tr><td>7<td>8<td>9<td>10",
         "1\tx\t\t2\r\n3\t\t\t4\r\n5\t\t\t6\r\n7\t8\t9\t10\r\n"},
        {"rowspans end in turn", "<table><tr><td rowspan=3>a<td rowspan=2>b<td>c<tr><td>d<tr><td>e<td>f",
         "a\tb\tc\r\n\t\td\r\n\te\tf\r\n"},
        {"references",
         "<table><td>&amp;&LT;&#65;&#x4E2D;&#150;&#0;&nbsp;x&nbsp&copy&notit;&bogus;&#;& ;&ampx",
         "&<A中–\xEF\xBF\xBD\xC2\xA0x\xC2\xA0©¬it;&bogus;&#;& ;&x\r\n"},
        {"spaces and line breaks",
         "<table><td>  a \r\n\t b&#32; <br> c<BR/>d </td><td> &nbsp; <br></td><td><p>e</p><div>f</div></td>",
         "a b\nc\nd\t\te\nf\r\n"},
        {"sloppy markup", "<TABLE><TR><TD>a<TD class=x>b<Tr><td title='>'>c<td title=\">\">a < b</TABLE>",
         "a\tb\r\nc\ta < b\r\n"},
        {"comments, styles, scripts",
         "<html><style>td{}</style><script>x='<td>no'</script><!--[if gte mso 9]><td>no<![endif]-->"
         "<table><tr><td>a<!-- b --><td><![CDATA[<i>&amp;]]><![if !mso]><td>c<![endif]><td><!--->d<!--->",
         "a\t<i>&amp;\tc\td\r\n"},
        {"tables in order, nested rows between",
         "<table><tr><td>a</table><p>x</p><table><tr><td>b<td>c<table><tr><td>d</table>e<td>f</table>",
         "a\t\t\r\nb\tc\t\r\nd\t\t\r\n\te\tf\r\n"},
        {"text outside cells", "<table>x<tr>y<td>a</td>z</tr><caption>t</caption></table>", "a\r\n"},
        {"empty rows kept", "<table><tr><td>a<tr></tr><tr><td>b", "a\r\n\r\nb\r\n"},
        {"cells without a table", "<html><body><tr><td>a</td></tr>", "a\r\n"},
        {"nested 100,000 deep", repeated("<table><tr><td>", 100000) + "x", repeated("\r\n", 99999) + "x\r\n"},
        {"a long attribute", "<table><td title=\"" + std::string(10'000'000, 'a') + "\">b", "b\r\n"},
    };
    expectSheets(std::begin(cases), std::end(cases));
}

TEST(HtmlReader, EncodingsAreTold) {
    const PageCase cases[] = {
        {"meta charset", "<meta charset=\"gb2312\"><table><td>\xD6\xD0", "中\r\n"},
        {"meta content type over valid UTF-8",
         "<html><meta http-equiv=Content-Type content='text/html; charset=GBK'><table><td>\xC3\xA9",
         "茅\r\n"},
        {"meta utf-8, bad bytes repaired", "<META CHARSET=utf-8><table><td>a\xFF\x62",
         "a\xEF\xBF\xBD\x62\r\n"},
        {"not UTF-8: GB18030", "<table><td>\xD6\xD0&nbsp;\x81\x30\x81\x30", "中\xC2\xA0\xC2\x80\r\n"},
        {"valid UTF-8", "<table><td>中", "中\r\n"},
        {"UTF-8 mark over the meta", "\xEF\xBB\xBF<meta charset=gbk><table><td>\xC3\xA9", "é\r\n"},
        {"UTF-16 LE", utf16(u"<table><td>中\xD800", false), "中\xEF\xBF\xBD\r\n"},
        {"UTF-16 BE", utf16(u"<table><td>中", true), "中\r\n"},
    };
    expectSheets(std::begin(cases), std::end(cases));
}

TEST(HtmlReader, HostilePagesAreRefused) {
    struct Case {
        const char* name;
        std::string page;
        Problem problem;
        std::string detail;
    };
    const Case cases[] = {
        {"no table", "<html><body>hi</body></html>", Problem::Empty, ""},
        {"no text in the cells", "<table><tr><td> &nbsp; <br></td></tr></table>", Problem::Empty, ""},
        {"unclosed comment", "<table><tr><!-- <td>a</td></tr></table>", Problem::Empty, ""},
        {"unclosed attribute", "<table><tr><td title=\"a>b</td></tr></table>", Problem::Empty, ""},
        {"a column past the sheet", "<table><tr>" + repeated("<td>1", 16385), Problem::Damaged,
         "第 1 行：一行超过 16384 列"},
        {"colspan past the sheet", "<table><tr><td>a<td colspan=\"1000000000\">b", Problem::Damaged,
         "单元格 B1：单元格跨越工作表范围之外"},
        {"rowspan past the sheet", "<table><tr><td>a<tr><td rowspan=1048576>b", Problem::Damaged,
         "单元格 A2：单元格跨越工作表范围之外"},
        {"tables nested too deep", repeated("<table>", 1048577), Problem::Damaged, "表格嵌套超过 1048576 层"},
        {"a row past the sheet", "<table>" + repeated("<tr>", 1048577) + "<td>a", Problem::Damaged,
         "表格超过 1048576 行"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        TextSink sink;
        try {
            readWorkbook(entry.page, sink);
            ADD_FAILURE() << "read";
        } catch (const ReadError& error) {
            EXPECT_EQ(entry.problem, error.problem());
            EXPECT_EQ(entry.detail, error.detail());
        }
    }
}

// A row wider than those read ahead comes late: the sheet is laid out again at its width.
TEST(HtmlReader, AWideRowLateWidensEveryRow) {
    TextSink sink;
    readWorkbook("<table>" + repeated("<tr><td>a", 2000) + "<tr><td>b<td>c</table>", sink);
    ASSERT_EQ(1u, sink.sheets.size());
    EXPECT_EQ(repeated("a\t\r\n", 2000) + "b\tc\r\n", sink.sheets[0]);
}

// Random tables of spanning cells, some of their end tags left out, against a naive layout of
// every cell on a grid of taken places.
TEST(HtmlReader, RandomTablesGiveTheNaiveLayout) {
    const std::pair<std::string, std::string> texts[] = {
        {"", ""},           {"a", "a"},     {" a \r\n b ", "a b"}, {"&amp;", "&"},
        {"x<br>y", "x\ny"}, {"&nbsp;", ""}, {"中", "中"},          {"<b>0</b>1", "01"}};
    std::minstd_rand random(7);
    for (int round = 0; round < 300; ++round) {
        std::map<std::pair<int, int>, std::string> grid;
        std::set<std::pair<int, int>> taken;
        std::string page = "<table>";
        int rows = 0, columns = 0;
        for (int row = 1, count = 1 + int(random() % 6); row <= count; ++row) {
            page += random() % 4 ? "<tr>" : "<TR>";
            int column = 1;
            for (int cell = 0, cells = int(random() % 5); cell < cells; ++cell) {
                const int across = 1 + int(random() % 3), down = random() % 3 ? 1 : 2 + int(random() % 3);
                const auto& [text, shown] = texts[random() % std::size(texts)];
                page += "<td colspan=" + std::to_string(across) + " rowspan='" + std::to_string(down) + "'>" +
                        text;
                page += random() % 3 ? "</td>" : "";
                while (taken.count({row, column}))
                    ++column;
                int end = column + 1;
                while (end < column + across && !taken.count({row, end}))
                    ++end;
                for (int below = row + 1; below < row + down; ++below)
                    for (int c = column; c < end; ++c)
                        taken.insert({below, c});
                if (!shown.empty()) {
                    grid[{row, column}] = shown;
                    rows = std::max(rows, row);
                    columns = std::max(columns, column);
                }
                column += across;
            }
            page += random() % 2 ? "</tr>" : "";
        }
        std::string expected;
        for (int row = 1; row <= rows; ++row) {
            for (int column = 1; column <= columns; ++column)
                expected += (column > 1 ? "\t" : "") + grid[{row, column}];
            expected += "\r\n";
        }
        SCOPED_TRACE(page);
        TextSink sink;
        if (columns == 0) {
            EXPECT_THROW(readWorkbook(page, sink), ReadError);
            continue;
        }
        readWorkbook(page, sink);
        ASSERT_EQ(1u, sink.sheets.size());
        EXPECT_EQ(expected, sink.sheets[0]);
    }
}

} // namespace
} // namespace brisquel::sheets
