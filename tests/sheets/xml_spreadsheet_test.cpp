// The XML Spreadsheet reader through readWorkbook: where cells land, what their styles show,
// hidden worksheets, and damaged or hostile files.
#include "sheets/workbook.h"
#include "text_sink.h"
#include "unicode/unicode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

namespace brisquel::sheets {
namespace {

std::string workbook(std::string_view styles, std::string_view worksheets) {
    return "<?xml version='1.0'?>\n<?mso-application progid=\"Excel.Sheet\"?>\n<Workbook "
           "xmlns='urn:schemas-microsoft-com:office:spreadsheet' "
           "xmlns:x='urn:schemas-microsoft-com:office:excel' "
           "xmlns:ss='urn:schemas-microsoft-com:office:spreadsheet'>\n <Styles>" +
           std::string(styles) + "</Styles>\n" + std::string(worksheets) + "</Workbook>\n";
}

// A worksheet named "s" of `rows`, with `options` in its WorksheetOptions.
std::string worksheet(std::string_view rows, std::string_view options = "") {
    return "<Worksheet ss:Name='s'>\n <Table>" + std::string(rows) + "</Table>\n <x:WorksheetOptions>" +
           std::string(options) + "</x:WorksheetOptions>\n</Worksheet>\n";
}

// A cell holding `value` of ss:Type `type`, with `attributes` of its own.
std::string cell(std::string_view type, std::string_view value, std::string_view attributes = "") {
    return "<Cell" + std::string(attributes) + "><Data ss:Type='" + std::string(type) + "'>" +
           std::string(value) + "</Data></Cell>";
}

// The sheets' texts joined by form feeds, or "!" and the number of the problem.
std::string readSheets(const std::string& file) {
    TextSink sink;
    try {
        readWorkbook(file, sink);
    } catch (const ReadError& error) {
        return "!" + std::to_string(static_cast<int>(error.problem()));
    }
    std::string text;
    for (std::size_t i = 0; i < sink.sheets.size(); ++i)
        text += (i == 0 ? "" : "\f") + sink.sheets[i];
    return text;
}

TEST(XmlSpreadsheetReader, ReadsAFileAsLibreOfficeWritesIt) {
    const auto file = [](const char* name) {
        std::ifstream in(std::string(BRISQUEL_SHEETS_TEST_DATA) + "/" + name, std::ios::binary);
        EXPECT_TRUE(in) << name;
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(file("xmlss-libreoffice.txt"), readSheets(file("xmlss-libreoffice.xml")));
}

TEST(XmlSpreadsheetReader, CellsLandWhereExcelPutsThem) {
    const std::string a = cell("String", "a"), b = cell("String", "b");
    const struct {
        const char* name;
        std::string rows, text;
    } cases[] = {
        {"indexes and spans",
         "<Row>" + a + cell("String", "c", " ss:Index='3'") + "</Row><Row ss:Index='3' ss:Span='1'/><Row>" +
             cell("Number", "5", " ss:Index='2'") + "</Row>",
         "a\t\tc\r\n\t\t\r\n\t\t\r\n\t\t\r\n\t5\t\r\n"},
        {"merged cells",
         "<Row>" + cell("String", "m", " ss:MergeAcross='1' ss:MergeDown='1'") + a + "</Row><Row>" + b +
             "</Row><Row>" + b + "</Row>",
         "m\t\ta\r\n\t\tb\r\nb\t\t\r\n"},
        {"merges down side by side",
         "<Row>" + cell("String", "m", " ss:MergeDown='2'") +
             cell("String", "n", " ss:Index='3' ss:MergeDown='1'") + "</Row><Row>" + a + b + "</Row><Row>" +
             a + b + "</Row>",
         "m\t\tn\t\r\n\ta\t\tb\r\n\ta\tb\t\r\n"},
        {"rich text, comments, empty cells",
         "<Row><Cell><ss:Data ss:Type='String' "
         "xmlns='http://www.w3.org/TR/REC-html40'><Font>红</Font><B>粗</B> "
         "体</ss:Data><Comment><ss:Data>注</ss:Data></Comment></Cell><Cell ss:StyleID='x'/>" +
             cell("String", "") + a + "</Row>",
         "红粗 体\t\t\ta\r\n"},
        {"values of every type",
         "<Row>" + cell("Number", "1234.5") + cell("Number", " 12345678901234 ") + cell("Boolean", "1") +
             cell("Boolean", "0") + cell("Error", "#N/A") + cell("DateTime", "2023-05-01T12:00:00.000") +
             cell("String", "x&amp;&#10;y") + "</Row>",
         "1234.5\t1.23457E+13\tTRUE\tFALSE\t#N/A\t45047.5\tx&\ny\r\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(test.text, readSheets(workbook("", worksheet(test.rows))));
    }
}

TEST(XmlSpreadsheetReader, StylesShowTheirNumberFormats) {
    const std::string styles =
        "<Style ss:ID='Default'><NumberFormat ss:Format='Fixed'/></Style><Style ss:ID='d'><NumberFormat "
        "ss:Format='Short Date'/></Style><Style ss:ID='d2' ss:Parent='d'><Font/></Style><Style ss:ID='p'>"
        "<NumberFormat ss:Format='Percent'/></Style><Style ss:ID='c'><NumberFormat "
        "ss:Format='0.0;&quot;负&quot;0'/>"
        "</Style><Style ss:ID='t'><NumberFormat ss:Format='&quot;编号:&quot;@'/></Style><Style "
        "ss:ID='y'><NumberFormat "
        "ss:Format='Yes/No'/></Style><Style ss:ID='l1' ss:Parent='l2'/><Style ss:ID='l2' ss:Parent='l1'/>"
        "<Style ss:ID='g'/>";
    const std::string rows = "<Column ss:StyleID='p'/><Row>" + cell("Number", "0.5") + cell("Number", "2") +
                             "</Row><Row ss:StyleID='c'>" + cell("Number", "-2") + cell("Number", "2") +
                             "</Row><Row>" + cell("DateTime", "2023-05-01T00:00:00.000", " ss:StyleID='d2'") +
                             cell("String", "7", " ss:StyleID='t'") + cell("Number", "0", " ss:StyleID='y'") +
                             cell("Number", "1.5", " ss:StyleID='l1'") +
                             cell("Number", "3", " ss:StyleID='g'") +
                             cell("Number", "3", " ss:StyleID='none'") + "</Row>";
    EXPECT_EQ("50.00%\t2.00\t\t\t\t\r\n负2\t2.0\t\t\t\t\r\n2023/5/1\t编号:7\tNo\t1.5\t3.00\t3.00\r\n",
              readSheets(workbook(styles, worksheet(rows))));
    const std::string date1904 =
        "<ExcelWorkbook xmlns='urn:schemas-microsoft-com:office:excel'><Date1904/></ExcelWorkbook>";
    EXPECT_EQ("1\r\n", readSheets(workbook(
                           "", date1904 + worksheet("<Row>" + cell("DateTime", "1904-01-02") + "</Row>"))));
}

TEST(XmlSpreadsheetReader, HiddenWorksheetsAreLeftOut) {
    const std::string hidden = worksheet("<Row>" + cell("String", "h", " ss:MergeDown='3'") + "</Row>",
                                         "<x:Visible>SheetHidden</x:Visible>");
    const std::string veryHidden =
        worksheet("<Row>" + cell("String", "v") + "</Row>", "<Visible>SheetVeryHidden</Visible>");
    // The merge of the hidden worksheet covers nothing of the next one.
    EXPECT_EQ("\r\na\r\n\f",
              readSheets(workbook("", hidden + worksheet("<Row/><Row>" + cell("String", "a") + "</Row>") +
                                          veryHidden + worksheet(""))));
    EXPECT_EQ("!4", readSheets(workbook("", hidden + veryHidden + worksheet("<Row><Cell/></Row>"))));
}

// Past its first rows a worksheet is handed on as it is read: hidden, it is taken back at its
// end; widened by a later row, it is handed on again at that width.
TEST(XmlSpreadsheetReader, LongWorksheetsComeOutAsShortOnesDo) {
    std::string rows, widened, text, widenedText;
    for (int row = 1; row <= 3000; ++row) {
        const std::string number = std::to_string(row);
        rows += "<Row>" + cell("Number", number) + cell("String", "b") + "</Row>\n";
        text += number + "\tb\r\n";
        const bool wide = row == 2500;
        widened +=
            "<Row>" + cell("Number", number) + (wide ? cell("String", "c", " ss:Index='3'") : "") + "</Row>";
        widenedText += number + (wide ? "\t\tc\r\n" : "\t\t\r\n");
    }
    const std::string hidden = worksheet(rows, "<Visible>SheetHidden</Visible>");
    EXPECT_EQ("\f" + text + "\f" + widenedText,
              readSheets(workbook("", hidden + worksheet(rows) + worksheet(widened))));
    EXPECT_EQ("!4", readSheets(workbook("", hidden)));
}

TEST(XmlSpreadsheetReader, IsToldByItsNamespaceAndRoot) {
    const std::string rows = "<Row>" + cell("String", "a") + "</Row>";
    EXPECT_EQ("a\r\n", readSheets("<ss:Workbook xmlns:ss='urn:schemas-microsoft-com:office:spreadsheet'>" +
                                  worksheet(rows) + "</ss:Workbook>"));
    // A web page naming the namespace goes to the web page reader, which this one would refuse.
    EXPECT_NE("!2",
              readSheets("<html xmlns:ss='urn:schemas-microsoft-com:office:spreadsheet'><body><table><tr>"
                         "<td>a<br></td></tr></table></body></html>"));
}

TEST(XmlSpreadsheetReader, ReadsUtf16AndGbkDocuments) {
    const std::string body = workbook("", worksheet("<Row>" + cell("String", "甲") + "</Row>"));
    std::u16string units(body.size(), u'\0');
    units.resize(static_cast<std::size_t>(utf8ToUtf16(body, units.data()) - units.data()));
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (const char16_t unit : units) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    std::string gbk = "<?xml version='1.0' encoding='GB2312'?>" + body.substr(body.find('\n'));
    gbk.replace(gbk.find("甲"), 3, "\xBC\xD7");
    for (const std::string& file : {little, big, gbk})
        EXPECT_EQ("甲\r\n", readSheets(file));
}

// Rows and cells of plain tags go the scanner's short way, the same under a prefix the long
// way: random tables of both must read the same.
TEST(XmlSpreadsheetReader, ShortAndLongWaysAgree) {
    std::mt19937 random(7);
    const auto pick = [&](std::initializer_list<const char*> choices) {
        return std::string(choices.begin()[random() % choices.size()]);
    };
    for (int table = 0; table < 300; ++table) {
        std::string plain;
        for (int row = 0, rows = static_cast<int>(random() % 6); row < rows; ++row) {
            plain += pick(
                {"<Row>", "<Row ss:Index='4'>", "<Row ss:Span='1'>", "<Row ss:StyleID='p'>", "<Row/><Row>"});
            for (int column = 0, columns = static_cast<int>(random() % 5); column < columns; ++column)
                plain +=
                    pick({"<Cell", "<Cell ss:Index='3'", "<Cell ss:MergeDown='2'", "<Cell ss:MergeAcross='1'",
                          "<Cell ss:StyleID='p'"}) +
                    pick({"/>", "></Cell>", "> <Data ss:Type='Number'>0.5</Data> </Cell>",
                          "><Data ss:Type='String'>a&amp;b</Data></Cell>",
                          "><Data ss:Type='Boolean'>1</Data></Cell>", "><Data ss:Type='Text'>x</Data></Cell>",
                          "><Data ss:Type='String'>c</Data></Cell>"});
            plain += "</Row>";
        }
        std::string prefixed = std::regex_replace(plain, std::regex("<(/?)(Row|Cell|Data)"), "<$1ss:$2");
        const std::string styles = "<Style ss:ID='p'><NumberFormat ss:Format='Percent'/></Style>";
        SCOPED_TRACE(plain);
        EXPECT_EQ(readSheets(workbook(styles, worksheet(prefixed))),
                  readSheets(workbook(styles, worksheet(plain))));
    }
}

TEST(XmlSpreadsheetReader, DamagedAndHostileFilesAreRefused) {
    const std::string a = cell("String", "a");
    for (const std::string& rows : std::initializer_list<std::string>{
             "<Row>" + a + cell("String", "b", " ss:Index='1'") + "</Row>",
             "<Row>" + cell("String", "m", " ss:MergeAcross='2'") + cell("String", "b", " ss:Index='3'") +
                 "</Row>",
             "<Row ss:Index='2'/><Row ss:Index='1'/>", "<Row ss:Index='0'/>",
             "<Row ss:Index='99999999999999999999'/>", "<Row ss:Index='1048577'/>",
             "<Row ss:Index='1048576'/><Row/>", "<Row ss:Span='1048576'/><Row/>",
             "<Row>" + cell("String", "a", " ss:Index='16385'") + "</Row>",
             "<Row>" + cell("String", "a", " ss:Index='16384'") + a + "</Row>",
             "<Row>" + cell("String", "a", " ss:Index='2' ss:MergeAcross='16383'") + "</Row>",
             "<Row ss:Index='2'>" + cell("String", "a", " ss:MergeDown='1048575'") + "</Row>",
             "<Row>" + cell("String", "a", " ss:MergeAcross='-1'") + "</Row>",
             "<Row>" + cell("Number", "1,5") + "</Row>", "<Row>" + cell("Number", "1e999") + "</Row>",
             "<Row>" + cell("Text", "a") + "</Row>", "<Row>" + cell("Boolean", "TRUE") + "</Row>",
             "<Row>" + cell("DateTime", "2023-13-01") + "</Row>", "<Row>" + a + "<Row>"}) {
        SCOPED_TRACE(rows);
        EXPECT_EQ("!2", readSheets(workbook("", worksheet(rows))));
    }
    EXPECT_EQ("!2", readSheets("<!DOCTYPE x [<!ENTITY e 'e'>]><Workbook "
                               "xmlns='urn:schemas-microsoft-com:office:spreadsheet'/>"));
    TextSink sink;
    try {
        readWorkbook(workbook("", worksheet("<Row/><Row>" + a + cell("Number", "x") + "</Row>")), sink);
        ADD_FAILURE();
    } catch (const ReadError& error) {
        EXPECT_EQ("工作表“s” 单元格 B2：数值无效", error.detail());
    }
}

} // namespace
} // namespace brisquel::sheets
