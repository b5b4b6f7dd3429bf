// readTextFile: encodings, the two layouts, and the files it refuses; a naive reader beside it.
#include "sheets/gb18030.h"
#include "sheets/text_file.h"
#include "sheets/workbook.h"

#include "text_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace brisquel::sheets {
namespace {

using namespace std::string_literals;

// The text read from `bytes`, its expected rows checked against the row ends it holds.
std::string read(std::string_view bytes, int* pieces = nullptr) {
    TextSink sink;
    readTextFile(bytes, sink);
    EXPECT_EQ(1u, sink.sheets.size());
    const std::string& text = sink.sheets.at(0);
    std::int64_t rowEnds = 0;
    for (std::size_t at = text.find("\r\n"); at != text.npos; at = text.find("\r\n", at + 2))
        ++rowEnds;
    EXPECT_EQ(rowEnds, sink.expectedRows.at(0));
    if (pieces != nullptr)
        *pieces = sink.pieces;
    return text;
}

TEST(TextFile, FilesGiveTheTextOfTheirSheet) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"utf-8 csv", "a,b\r\nc,d\r\n", "a\tb\r\nc\td\r\n"},
        {"utf-8 mark", "\xEF\xBB\xBF名,值\n", "名\t值\r\n"},
        {"utf-16 le", "\xFF\xFE\x61\x00\x2D\x4E\x09\x00\x62\x00"s, "a中\tb\r\n"},
        {"utf-16 be, lone surrogate, odd byte", "\xFE\xFF\x00\x61\xD8\x00\x00,\x00\x62\x01"s,
         "a\uFFFD\tb\uFFFD\r\n"},
        {"gb18030 two bytes", "\xD6\xD0,\xA2\xE3", "中\t€\r\n"},
        {"gb18030 four bytes", "\x81\x30\x81\x30,\x95\x32\x82\x36", "\u0080\t\U00020000\r\n"},
        {"gb18030 invalid bytes", "\xD6\xD0\x81,\xFF\x81\x30\x81\n", "中\uFFFD\t\uFFFD\uFFFD0\uFFFD\r\n"},
        {"utf-8 mark, invalid bytes",
         "\xEF\xBB\xBF"
         "a\xE4\xB8,\xC0\xAF",
         "a\uFFFD\t\uFFFD\uFFFD\r\n"},
        {"tab in first line", "a\tb,c\r\nd", "a\tb,c\r\nd\r\n"},
        {"tab after empty lines", "\r\n\na\tb", "\r\n\na\tb\r\n"},
        {"tabs, lf only", "a\tb\n\"c\n", "a\tb\r\n\"c\r\n"},
        {"tabs, cr only", "a\tb\r\rc", "a\tb\r\n\r\nc\r\n"},
        {"tabs, crlf keeps lone breaks", "\"a\tb\nc\"\r\nd\re\r\n", "\"a\tb\nc\"\r\nd\re\r\n"},
        {"quoted commas and quotes", "\"a,b\",\"c\"\"d\",\"\"\"\"\r\n", "a,b\tc\"d\t\"\r\n"},
        {"quoted line breaks", "\"x\r\ny\rz\n!\",2", "x\ny\nz\n!\t2\r\n"},
        {"quote inside unquoted", "a\"b,c\"", "a\"b\tc\"\r\n"},
        {"text after closing quote", "\"a\"b\"c,d", "ab\"c\td\r\n"},
        {"unclosed quote", "x\n\"a,b\nc", "x\r\na,b\nc\r\n"},
        {"cr rows", "a,b\rc,d", "a\tb\r\nc\td\r\n"},
        {"padded to the widest value", "a,b,c\nd\n,e\n", "a\tb\tc\r\nd\t\t\r\n\te\t\r\n"},
        {"empty fields past the widest", "a,,,\n\"\",b,,", "a\t\r\n\tb\r\n"},
        {"empty rows kept between values", "\n,\na,b\n\n\"\",\nc\n\n,,\n\"\"\n",
         "\t\r\n\t\r\na\tb\r\n\t\r\n\t\r\nc\t\r\n"},
        {"a spreadsheet's own markup-like text", "<1,2>", "<1\t2>\r\n"},
        {"export of the tool's own",
         "\xCC\xA8\xC7\xF8\x09\xC9\xE8\xB1\xB8\xC0\xE0\xD0\xCD\x0D\x0A\xD5\xF2\xB8\xAE\xB9\xAB\xD3\xC3\xCC"
         "\xA8\xB1"
         "\xE4\x09\xC8\xFD\xCF\xE0\xB6\xE0\xB9\xA6\xC4\xDC\xB5\xE7\xC4\xDC\xB1\xED\x28\xB7\xD1\xBF\xD8\x29",
         "台区\t设备类型\r\n镇府公用台变\t三相多功能电能表(费控)\r\n"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.text, read(entry.bytes));
    }
}

TEST(TextFile, FilesThatAreNoTextAreRefused) {
    struct Case {
        const char* name;
        std::string bytes;
        Problem problem;
        std::string detail;
    };
    const Case cases[] = {
        {"empty", "", Problem::Empty, ""},
        {"mark only", "\xEF\xBB\xBF", Problem::Empty, ""},
        {"utf-16 mark only", "\xFF\xFE", Problem::Empty, ""},
        {"line breaks only", "\r\n\n\r", Problem::Empty, ""},
        {"no field holds a value", ",\n\"\",,\r\n", Problem::Empty, ""},
        {"nul byte", "a,b\0"s, Problem::NotASpreadsheet, ""},
        {"pdf", "%PDF-1.7\n", Problem::NotASpreadsheet, "PDF 文档"},
        {"png", "\x89PNG\r\n\x1A\n", Problem::NotASpreadsheet, "PNG 图片"},
        {"executable", "MZ\x90\0"s, Problem::NotASpreadsheet, "Windows 程序"},
        {"web page", "\xEF\xBB\xBF \r\n<!DOCTYPE html>\n<HTML><body>", Problem::Empty, ""},
        {"bare table", "<table><tr><td> </td></tr></table>", Problem::Empty, ""},
        {"xml", "<?xml version=\"1.0\"?>\n<Workbook>", Problem::OtherSpreadsheet, "XML 格式的表格"},
        {"wider than a sheet", std::string(16384, ',') + "a", Problem::Damaged, "一行超过 16384 列"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        TextSink sink;
        try {
            readWorkbook(entry.bytes, sink);
            ADD_FAILURE() << "read";
        } catch (const ReadError& error) {
            EXPECT_EQ(entry.problem, error.problem());
            EXPECT_EQ(entry.detail, error.detail());
        }
        EXPECT_TRUE(sink.sheets.empty());
    }
}

TEST(TextFile, LargeFilesAreHandedOnInPieces) {
    std::string csv, tsv, text, tsvText;
    for (int i = 0; i < 200000; ++i) {
        csv += i % 2 == 0 ? "\xD6\xD0,a\n" : "\"\xD6\xD0\",\"\"\"b\"\n";
        text += i % 2 == 0 ? "中\ta\r\n" : "中\t\"b\r\n";
        tsv += "\xD6\xD0\ta\r\n";
        tsvText += "中\ta\r\n";
    }
    for (const auto& [bytes, expected] : {std::pair(csv, text), std::pair(tsv, tsvText)}) {
        int pieces = 0;
        EXPECT_EQ(expected, read(bytes, &pieces));
        EXPECT_GT(pieces, 1);
    }
}

TEST(Gb18030, DecodesAsPythonsCodec) {
    const std::pair<std::string_view, std::string_view> vectors[] = {
#include "gb18030_vectors.inc"
    };
    for (const auto& [bytes, utf8] : vectors) {
        std::string out(bytes.size() * 3, '\0');
        out.resize(static_cast<std::size_t>(decodeGb18030(bytes, out.data()) - out.data()));
        EXPECT_EQ(utf8, out);
    }
}

// The rules read literally: character by character into rows of fields, then laid out.
std::optional<std::string> naiveRead(const std::string& file) {
    if (file.find_first_not_of("\r\n") == file.npos)
        return std::nullopt;
    const std::size_t first = file.find_first_not_of("\r\n");
    if (file.substr(first, file.find_first_of("\r\n", first) - first).find('\t') != file.npos) {
        std::string end = file.find("\r\n") != file.npos ? "\r\n"
                          : file.find('\n') != file.npos ? "\n"
                                                         : "\r";
        std::string text;
        for (std::size_t at = 0; at < file.size();) {
            const std::size_t next = std::min(file.find(end, at), file.size());
            text += file.substr(at, next - at) + "\r\n";
            at = next + end.size();
        }
        return text;
    }
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    enum { Start, Plain, Quoted, QuoteInQuoted } state = Start;
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        std::string& field = rows.back().back();
        if (state == Quoted && c == '"') {
            state = QuoteInQuoted;
        } else if (state == Quoted) {
            field += c == '\r' ? '\n' : c;
            if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
                ++i;
        } else if (state == QuoteInQuoted && c == '"') {
            field += '"';
            state = Quoted;
        } else if (c == ',') {
            rows.back().emplace_back();
            state = Start;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
                ++i;
            if (i + 1 < file.size())
                rows.emplace_back(1);
            state = Start;
        } else if (state == Start && c == '"') {
            state = Quoted;
        } else {
            field += c;
            state = Plain;
        }
    }
    std::size_t width = 0;
    std::size_t height = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t f = 0; f < rows[r].size(); ++f) {
            if (!rows[r][f].empty()) {
                width = std::max(width, f + 1);
                height = r + 1;
            }
        }
    }
    if (height == 0)
        return std::nullopt;
    std::string text;
    for (std::size_t r = 0; r < height; ++r) {
        rows[r].resize(width);
        for (std::size_t f = 0; f < width; ++f)
            text += (f > 0 ? "\t" : "") + rows[r][f];
        text += "\r\n";
    }
    return text;
}

TEST(TextFile, ReadsSmallFilesAsTheNaiveReaderDoes) {
    const std::string_view alphabet[] = {",", "\"", "\r", "\n", "中", "a", "\t"};
    std::mt19937 random(7);
    for (int round = 0; round < 40000; ++round) {
        std::string utf8;
        std::string gb18030;
        for (std::size_t length = random() % 14; length > 0; --length) {
            std::string_view piece = alphabet[random() % (random() % 8 == 0 ? 7 : 6)];
            if (round % 2 == 1 && (piece == "\"" || piece == "\r" || piece == "\n"))
                piece = "\r\n"; // rows of one shape, as most files have
            utf8 += piece;
            gb18030 += piece == "中" ? "\xD6\xD0" : piece;
        }
        SCOPED_TRACE(testing::PrintToString(utf8));
        const std::optional<std::string> expected = naiveRead(utf8);
        for (const std::string& file : {utf8, gb18030}) {
            try {
                ASSERT_EQ(expected, read(file));
            } catch (const ReadError& error) {
                ASSERT_EQ(std::nullopt, expected);
                ASSERT_EQ(Problem::Empty, error.problem());
            }
        }
    }
}

} // namespace
} // namespace brisquel::sheets
