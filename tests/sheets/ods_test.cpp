// The .ods reader through readZipWorkbook: files written by spreadsheet programs, edge and
// hostile tables, and random tables against a naive expansion of their repeats.
#include "sheets/xlsx.h"
#include "text_sink.h"
#include "xlsx_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

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

// The sheets' texts joined by form feeds, or what refused() gives for its problem.
std::string readSheets(const std::string& file) {
    TextSink sink;
    try {
        readZipWorkbook(file, sink);
    } catch (const ReadError& error) {
        return refused(error.problem());
    }
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
        {"hidden and empty tables",
         "<t:table t:style-name='h'><t:table-row><t:table-cell><p>h</p>"
         "</t:table-cell></t:table-row></t:table><t:table/><t:table><t:table-row><t:table-cell><p>v</p>"
         "</t:table-cell></t:table-row></t:table>",
         "\fv\r\n"},
        {"a value repeated 2^31 times fills the sheet's rows",
         "<t:table><t:table-row t:number-rows-repeated="
         "'2147483648'><t:table-cell "
         "t:number-columns-repeated='2147483648'/></t:table-row></t:table><t:table>"
         "<t:table-row "
         "t:number-rows-repeated='2147483648'><t:table-cell><p>1</p></t:table-cell><t:table-cell "
         "t:number-columns-repeated='2147483648'/></t:table-row></t:table>",
         [] {
             std::string rows = "\f";
             for (int row = 0; row < 1 << 20; ++row)
                 rows += "1\r\n";
             return rows;
         }()},
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
        EXPECT_EQ(entry.text, readSheets(odsFile(entry.tables)));
    }
}

} // namespace
} // namespace brisquel::sheets
