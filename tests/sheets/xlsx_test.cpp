// readZipWorkbook: files written by spreadsheet programs, edge and hostile files, and random
// workbooks against a naive reading of their description.
#include "sheets/number_format.h"
#include "sheets/workbook.h"
#include "xlsx_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

namespace brisquel::sheets {
namespace {

using namespace testing;

// The text of every sheet, the sheets joined by form feeds.
std::string readSheets(std::string_view file) {
    struct Sink final : SheetSink {
        std::string text;
        std::size_t sheetStart = 0;
        int sheets = 0;
        void beginSheet(SheetSize) override {
            text += sheets++ ? "\f" : "";
            sheetStart = text.size();
        }
        void append(std::string_view piece) override { text += piece; }
        void restartSheet() override { text.resize(sheetStart); }
        void endSheet() override {}
    } sink;
    readZipWorkbook(file, sink);
    return sink.text;
}

Problem problemOf(std::string_view file) {
    try {
        readSheets(file);
    } catch (const ReadError& error) {
        return error.problem();
    }
    ADD_FAILURE() << "read without error";
    return Problem::Empty;
}

std::string fileText(const std::string& name) {
    std::ifstream in(std::string(BRISQUEL_SHEETS_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(XlsxReader, ReadsFilesAsLibreOfficeShowsThem) {
    for (const char* name : {"openpyxl", "xlsxwriter", "libreoffice", "libreoffice-resaved", "gnumeric"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fileText(std::string(name) + ".txt"), readSheets(fileText(std::string(name) + ".xlsx")));
    }
}

// A workbook of one sheet whose XML is `sheetData` in a <sheetData> of its own, its elements
// named with `prefix`.
std::string oneSheet(std::string_view sheetData, std::string_view dimension = "", std::string prefix = "x:") {
    ZipWriter zip;
    addWorkbookParts(zip, {{{"S", {}, "", ""}}, {}, false});
    zip.add("xl/worksheets/sheet1.xml", "<" + prefix + "worksheet xmlns:x='m'>" + std::string(dimension) +
                                            "<" + prefix + "sheetData>" + std::string(sheetData) + "</" +
                                            prefix + "sheetData></" + prefix + "worksheet>");
    zip.add("xl/sharedStrings.xml", "<sst><si><t>s0</t></si></sst>");
    return zip.finish();
}

// `xml` with the x: prefix of its elements taken off, for the cells to be scanned from the bytes.
std::string unprefixed(std::string_view xml) {
    std::string out;
    for (std::size_t at = 0; at < xml.size(); ++at) {
        out += xml[at];
        if ((xml[at] == '<' || (at > 0 && xml[at] == '/' && xml[at - 1] == '<')) &&
            xml.substr(at + 1, 2) == "x:")
            at += 2;
    }
    return out;
}

TEST(XlsxReader, CellsGiveTheTextTheyShow) {
    const std::string big(20 << 20, 'x');
    const struct {
        const char* name;
        std::string sheetData;
        std::string text;
    } cases[] = {
        {"cells and rows without r follow the previous",
         "<x:row><x:c><x:v>1</x:v></x:c><x:c t='b'><x:v>1</x:v></x:c></x:row><x:row><x:c r='C2' "
         "t='e'><x:v>#N/A</x:v>"
         "</x:c></x:row><x:row><x:c t='b'><x:v>0</x:v></x:c></x:row>",
         "1\tTRUE\t\r\n\t\t#N/A\r\nFALSE\t\t\r\n"},
        {"escapes",
         "<x:row><x:c "
         "t='inlineStr'><x:is><x:t>a_x000D__x005F_x0041_b_xD83D__xDE00__xDC00_</x:t></x:is></x:c></x:row>",
         "a\r_x0041_b😀\uFFFD\r\n"},
        {"rich runs joined, phonetic runs left out",
         "<x:row><x:c "
         "t='inlineStr'><x:is><x:r><x:t>东</x:t></x:r><x:r><x:t>京</x:t></x:r><x:rPh><x:t>とう</x:t>"
         "</x:rPh></x:is></x:c><x:c t='s'><x:v>0</x:v></x:c></x:row>",
         "东京\ts0\r\n"},
        {"ISO date to serial",
         "<x:c r='A1' t='d'><x:v>2023-05-07T12:00:00</x:v></x:c><x:c r='B1' "
         "t='d'><x:v>1900-01-01</x:v></x:c>",
         "45053.5\t1\r\n"},
        {"ISO times, as the date shown as General",
         "<x:c r='A1' t='d'><x:v>2021-01-01T10:10:10</x:v></x:c><x:c r='B1' t='d'><x:v>1900-01-01T00:00:00.5"
         "</x:v></x:c><x:c r='C1' t='d'><x:v>10:10:10</x:v></x:c><x:c r='D1' t='d'><x:v>2021-01-01T24:00:00"
         "</x:v></x:c><x:c r='E1' t='d'><x:v>2021-01-01T10:10:10+08:00</x:v></x:c><x:c r='F1' "
         "t='d'><x:v>1900-02-29</x:v></x:c>",
         "44197.42373\t1.000005787\t0.423726852\t44198\t44197.09039\t60\r\n"},
        {"formula without a value gives nothing",
         "<x:c r='A1'><x:f>1+1</x:f></x:c><x:c r='B1' t='str'><x:f>\"a\"</x:f><x:v>a</x:v></x:c>", "\ta\r\n"},
        {"an empty row element, as Excel writes for a formatted empty row, moves no row",
         "<x:row r='1'><x:c><x:v>1</x:v></x:c></x:row><x:row r='3' s='1' customFormat='1' ht='20'/>"
         "<x:row><x:c><x:v>4</x:v></x:c></x:row>",
         "1\r\n\r\n\r\n4\r\n"},
        {"whole numbers as General shows them",
         "<x:c r='A1'><x:v>99999999999</x:v></x:c><x:c r='B1'><x:v>123456789012</x:v></x:c><x:c "
         "r='C1'><x:v>007</x:v></x:c><x:c r='D1'><x:v>0</x:v></x:c><x:c r='E1' s='1'><x:v>5</x:v></x:c>",
         "99999999999\t1.23457E+11\t7\t0\t5\r\n"},
        {"style past the styles shows as style 0", "<x:c r='A2' s='99'><x:v>5</x:v></x:c>", "\r\n5\r\n"},
        {"the last column", "<x:c r='XFD1'><x:v>1</x:v></x:c>", std::string(16383, '\t') + "1\r\n"},
        {"a large cell", "<x:c r='B1' t='inlineStr'><x:is><x:t>" + big + "</x:t></x:is></x:c>",
         "\t" + big + "\r\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        for (const char* dimension : {"", "<x:dimension ref='A1'/>", "<x:dimension ref='A1:XFD3'/>"}) {
            EXPECT_EQ(entry.text, readSheets(oneSheet(entry.sheetData, dimension))) << dimension;
            EXPECT_EQ(entry.text, readSheets(oneSheet(unprefixed(entry.sheetData), dimension, "")))
                << dimension;
        }
    }
}

// `file` with the directory record of entry `name` changed at `offset` to the `size`-byte `value`.
std::string patched(std::string file, std::string_view name, std::size_t offset, std::uint64_t value,
                    int size) {
    const std::size_t record = file.rfind(name) - 46;
    for (int i = 0; i < size; ++i)
        file[record + offset + i] = static_cast<char>(value >> (8 * i));
    return file;
}

std::string zipOf(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    ZipWriter zip;
    for (const auto& [name, content] : entries)
        zip.add(name, content);
    return zip.finish();
}

TEST(XlsxReader, RefusesWhatItCannotRead) {
    const std::string good = oneSheet("<x:c r='A1'><x:v>1</x:v></x:c>");
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const std::uint64_t size = good[good.rfind(sheet) - 46 + 24] & 0xFF;
    // Large enough to be inflated on a thread of its own.
    const std::string padding(8 << 20, ' ');
    const std::string large = oneSheet("<x:c r='A1'><x:v>1</x:v></x:c>" + padding);
    const struct {
        const char* name;
        std::string file;
        Problem problem;
    } cases[] = {
        {"truncated", good.substr(0, good.size() / 2), Problem::Damaged},
        {"random bytes", "PK\x03\x04" + std::string(300, '\x55'), Problem::Damaged},
        {"CRC", patched(good, sheet, 16, 0x12345678, 4), Problem::Damaged},
        {"encrypted", patched(good, sheet, 8, 1, 2), Problem::Encrypted},
        {"CRC of a part inflated ahead", patched(large, sheet, 16, 0x12345678, 4), Problem::Damaged},
        {"damage early in a part inflated ahead", oneSheet("<x:c r='a1'/>" + padding), Problem::Damaged},
        {"inflates past its size", patched(good, sheet, 24, size - 1, 4), Problem::Damaged},
        {"absurd size", patched(good, sheet, 24, 0xFFFFFFF0, 4), Problem::Damaged},
        {"offset past the end", patched(good, sheet, 42, 0x7FFFFFFF, 4), Problem::Damaged},
        {"doctype", oneSheet("<!DOCTYPE x [<!ENTITY e 'e'>]>"), Problem::Damaged},
        {"shared string past the table", oneSheet("<x:c r='A1' t='s'><x:v>1</x:v></x:c>"), Problem::Damaged},
        {"column past XFD", oneSheet("<x:c r='XFE1'><x:v>1</x:v></x:c>"), Problem::Damaged},
        {"row past the last", oneSheet("<x:c r='A1048577'><x:v>1</x:v></x:c>"), Problem::Damaged},
        {"row number past the last", oneSheet("<x:row r='1048577'><x:c><x:v>1</x:v></x:c></x:row>"),
         Problem::Damaged},
        {"row number past the last, scanned from the bytes",
         oneSheet("<row r='1048576'/><row r='4294967297'><c><v>1</v></c></row>", "", ""), Problem::Damaged},
        {"row after the last, scanned from the bytes",
         oneSheet("<row r='1048576'/><row><c><v>1</v></c></row>", "", ""), Problem::Damaged},
        {"cell after XFD, scanned from the bytes", oneSheet("<c r='XFD1'/><c><v>1</v></c>", "", ""),
         Problem::Damaged},
        {"dimension past XFD", oneSheet("<x:c r='A1'><x:v>1</x:v></x:c>", "<x:dimension ref='A1:XFE1'/>"),
         Problem::Damaged},
        {"dimension past the last row",
         oneSheet("<x:c r='A1'><x:v>1</x:v></x:c>", "<x:dimension ref='A1048577:A1048578'/>"),
         Problem::Damaged},
        {"reference with a leading zero in its row",
         oneSheet("<row r='2'><c r='A02'><v>1</v></c></row>", "", ""), Problem::Damaged},
        {"lower-case reference", oneSheet("<x:c r='a1'><x:v>1</x:v></x:c>"), Problem::Damaged},
        {"cells out of order", oneSheet("<x:c r='B1'/><x:c r='A1'/>"), Problem::Damaged},
        {"not a number", oneSheet("<x:c r='A1'><x:v>1x</x:v></x:c>"), Problem::Damaged},
        {"day its month lacks", oneSheet("<x:c r='A1' t='d'><x:v>2021-02-29</x:v></x:c>"), Problem::Damaged},
        {"minute past 59", oneSheet("<x:c r='A1' t='d'><x:v>2021-01-01T10:60</x:v></x:c>"), Problem::Damaged},
        {"seconds not a number", oneSheet("<x:c r='A1' t='d'><x:v>2021-01-01T10:10:nan</x:v></x:c>"),
         Problem::Damaged},
        {"seconds with an exponent", oneSheet("<x:c r='A1' t='d'><x:v>2021-01-01T10:10:10.5e3</x:v></x:c>"),
         Problem::Damaged},
        {"no values", oneSheet("<x:c r='A1'/>"), Problem::Empty},
        {"binary workbook", zipOf({{"xl/workbook.bin", "x"}}), Problem::OtherSpreadsheet},
        {"OpenDocument text", zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"}}),
         Problem::NotASpreadsheet},
        {"Word", zipOf({{"word/document.xml", "<w/>"}}), Problem::NotASpreadsheet},
        {"any archive", zipOf({{"a.txt", "a"}}), Problem::NotASpreadsheet},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.problem, problemOf(entry.file));
    }
}

TEST(XlsxReader, ReadsZip64Archives) {
    ZipWriter zip(true);
    addWorkbookParts(zip, {{{"S", {}, "", ""}}, {}, false});
    zip.add("xl/worksheets/sheet1.xml",
            "<worksheet><sheetData><c r='B1'><v>7</v></c></sheetData></worksheet>", false);
    EXPECT_EQ("\t7\r\n", readSheets(zip.finish()));
}

// Part names differ from the names the relationships give, and from the usual ones, in case
// only: OPC compares them regardless of ASCII case.
TEST(XlsxReader, FindsPartsWhateverTheirCase) {
    const std::string file =
        xlsxFile({{{"S", {{1, 1, 's', "台区"}, {1, 2, 'n', "2", 1}}, "", ""}}, {"0.00"}, false});
    for (const auto& [name, renamed] : {std::pair{"xl/sharedStrings.xml", "xl/SharedStrings.xml"},
                                        {"xl/workbook.xml", "XL/Workbook.xml"},
                                        {"xl/_rels/workbook.xml.rels", "xl/_RELS/Workbook.xml.rels"},
                                        {"xl/styles.xml", "xl/Styles.xml"},
                                        {"worksheets/sheet1.xml", "Worksheets/Sheet1.XML"},
                                        {"_rels/.rels", "_Rels/.RELS"}}) {
        SCOPED_TRACE(renamed);
        std::string changed = file;
        for (std::size_t at = changed.find(name); at != std::string::npos; at = changed.find(name, at))
            changed.replace(at, std::string_view(name).size(), renamed);
        EXPECT_EQ("台区\t2.00\r\n", readSheets(changed));
    }
}

// Shared strings in the shapes read straight from the bytes decode their escapes as any other.
TEST(XlsxReader, SharedStringsDecodeTheirEscapes) {
    ZipWriter zip;
    addWorkbookParts(zip, {{{"S", {}, "", ""}}, {}, false});
    std::string row;
    for (int i = 0; i < 4; ++i)
        row += "<c t='s'><v>" + std::to_string(i) + "</v></c>";
    zip.add("xl/worksheets/sheet1.xml",
            "<worksheet><sheetData><row>" + row + "</row></sheetData></worksheet>");
    zip.add("xl/sharedStrings.xml",
            "<sst><si><t>a_x0041_b</t></si><si><t>a_b</t></si><si><t>_x005F_x0041_</t></si>"
            "<si><t xml:space='preserve'>_x0041_</t></si></sst>");
    EXPECT_EQ("aAb\ta_b\t_x0041_\tA\r\n", readSheets(zip.finish()));
}

// A very hidden sheet is left out like a hidden one, and a workbook in the 1904 date system
// shows its dates from 1904: a formatted serial and an ISO date alike.
TEST(XlsxReader, VeryHiddenSheetsAndThe1904DateSystem) {
    const std::vector<TestCell> cells = {{1, 1, 'n', "1", 1}, {1, 2, 'd', "1904-01-03"}};
    TestWorkbook workbook{{{"V", cells, "", "veryHidden"}, {"S", cells, "", ""}, {"H", cells, "", "hidden"}},
                          {"yyyy-mm-dd"},
                          true};
    EXPECT_EQ("1904-01-02\t2\r\n", readSheets(xlsxFile(workbook)));
}

// The text of the visible sheets of `workbook` the naive way: a grid of texts joined.
std::string naiveText(const TestWorkbook& workbook) {
    std::string text;
    int sheets = 0;
    for (const TestSheet& sheet : workbook.sheets) {
        if (!sheet.state.empty())
            continue;
        text += sheets++ ? "\f" : "";
        std::vector<std::vector<std::string>> grid(9, std::vector<std::string>(7));
        std::size_t rows = 0, columns = 0;
        for (const TestCell& cell : sheet.cells) {
            grid[cell.row][cell.column] =
                cell.kind == 'n' && cell.style == 1 ? cell.value + ".00" : cell.value;
            if (!cell.value.empty()) {
                rows = std::max(rows, std::size_t(cell.row));
                columns = std::max(columns, std::size_t(cell.column));
            }
        }
        for (std::size_t row = 1; row <= rows; ++row) {
            for (std::size_t column = 1; column <= columns; ++column)
                text += grid[row][column] + (column < columns ? "\t" : "\r\n");
        }
    }
    return text;
}

TEST(XlsxReader, RandomWorkbooksGiveTheNaiveText) {
    std::minstd_rand random(7);
    const std::string texts[] = {"", "a", "台区", "x y", "<&>\"'", "1", "2.5", "-3"};
    for (int round = 0; round < 300; ++round) {
        TestWorkbook workbook;
        workbook.formats = {"0.00"};
        for (int s = 0, sheets = 1 + int(random() % 3); s < sheets; ++s) {
            TestSheet sheet{std::to_string(s), {}, "", random() % 4 == 0 ? "hidden" : ""};
            for (std::int64_t row = 1; row <= 8; ++row) {
                for (std::int32_t column = 1; column <= 6; ++column) {
                    if (random() % 3 != 0)
                        continue;
                    const std::string& value = texts[random() % std::size(texts)];
                    const bool number =
                        !value.empty() && value.find_first_not_of("0123456789.-") == std::string::npos;
                    const char kind = number ? 'n' : "sif"[random() % 3];
                    sheet.cells.push_back({row, column, kind, value, number && value == "1" ? 1 : 0});
                }
            }
            if (random() % 3 != 0)
                sheet.dimension =
                    cellReference(1, 1) + ":" + cellReference(1 + int(random() % 7), 1 + random() % 9);
            workbook.sheets.push_back(sheet);
        }
        const std::string expected = naiveText(workbook);
        const std::string file = xlsxFile(workbook);
        SCOPED_TRACE(round);
        if (expected.find_first_not_of("\f") == std::string::npos)
            EXPECT_EQ(Problem::Empty, problemOf(file));
        else
            EXPECT_EQ(expected, readSheets(file));
    }
}

// The text of the sheet, or the error that refused it.
std::string outcome(const std::string& file) {
    try {
        return readSheets(file);
    } catch (const ReadError& error) {
        return "error " + std::to_string(int(error.problem())) + ": " + error.detail();
    }
}

// Cells scanned straight from the bytes, or by the general scanner from where those stopped,
// read as the general scanner alone reads them (it reads every element with a prefix).
TEST(XlsxReader, ScanningCellsFromTheBytesChangesNothing) {
    // The first few in the shapes scanned straight from the bytes.
    const std::string cells[] = {"<c t='s'><v>0</v></c>",
                                 "<c s='0' t='inlineStr'><is><t xml:space='preserve'> a</t></is></c>",
                                 "<c><f t='shared' si='0'/><v>2.5</v></c>",
                                 "<c s='9'/>",
                                 " \n",
                                 "<c r='E1'><v>4</v></c>",
                                 "<c t='str'><f>\"a\"&amp;1</f><v>a1</v></c>",
                                 "<c t='inlineStr'><is><t>&lt;&#x41;</t></is></c>",
                                 "<c t='str'><v>a\r\nb</v></c>",
                                 "<c t='b'><v>1</v><v>0</v></c>",
                                 "<c r='B2' r='C2'><v>3</v></c>",
                                 "<!-- c --><c><v>1</v></c>",
                                 "<c r='A3'><v>x</v></c>",
                                 "<c t='inlineStr'><is><r><t>r</t></r></is></c>",
                                 "<c t='q'/>"};
    std::minstd_rand random(3);
    for (int round = 0; round < 300; ++round) {
        std::string sheetData;
        for (int row = 1; row <= 4; ++row) {
            sheetData += random() % 2 ? "<row r='" + std::to_string(row) + "'>" : "<row>";
            for (int cell = 0, count = int(random() % 4); cell < count; ++cell)
                sheetData += cells[round < 100 ? random() % 5 : random() % std::size(cells)];
            sheetData += "</row>";
        }
        // Every other round in double quotes, the shape most files give.
        if (round % 2)
            std::replace(sheetData.begin(), sheetData.end(), '\'', '"');
        const std::string prefixed = std::regex_replace(sheetData, std::regex("<(/?)([a-z])"), "<$1x:$2");
        SCOPED_TRACE(sheetData);
        EXPECT_EQ(outcome(oneSheet(prefixed)), outcome(oneSheet(sheetData, "", "")));
    }
}

// Rows crossing the end of a piece of the inflater, shifted a byte at a time, so that the cut
// falls on every byte of them; one of them leaves the rest to the general scanner.
TEST(XlsxReader, CellsCutByThePiecesOfThePartReadWhole) {
    const std::string row =
        "<row><c s=\"0\" t=\"s\"><v>0</v></c><c t='inlineStr'><is><t>ab</t></is></c><c><v>2.5</v></c></row>";
    const std::string other = "<row><c t='s'><v>0</v></c><c t='str'><v>&amp;</v></c><c><v>2.5</v></c></row>";
    const std::size_t rows = (std::size_t{1} << 18) / row.size() + 4;
    for (std::size_t shift = 0; shift < 2 * row.size(); ++shift) {
        std::string sheetData(shift, ' '), text;
        for (std::size_t i = 0; i < rows; ++i) {
            sheetData += i == rows - 4 ? other : row;
            text += i == rows - 4 ? "s0\t&\t2.5\r\n" : "s0\tab\t2.5\r\n";
        }
        SCOPED_TRACE(shift);
        EXPECT_EQ(text, readSheets(oneSheet(sheetData, "", "")));
    }
}

} // namespace
} // namespace brisquel::sheets
