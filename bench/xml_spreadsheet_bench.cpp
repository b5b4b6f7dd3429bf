// xml_spreadsheet_bench: the generated meter report written as an XML Spreadsheet laid out as
// Excel saves one, and as a UTF-8 CSV; each read into a counting sink, the XML Spreadsheet by
// readWorkbook and the CSV by readTextFile, each the best of three, and their ratio; beside
// them the XML scanner alone over the XML Spreadsheet, which is the reader's floor but for
// the rows and cells it scans straight from the bytes.
//
//   xml_spreadsheet_bench               100,000 rows, the header included
//   xml_spreadsheet_bench --rows N      N rows
//   xml_spreadsheet_bench --write F     only writes the XML Spreadsheet to F (with --rows N first)
#include "meter_report.h"
#include "sheets/text_file.h"
#include "sheets/workbook.h"
#include "sheets/xml.h"
#include "xlsx_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

namespace {

using namespace brisquel;

// The columns Excel keeps as numbers: 序号, 倍率, 抄表段, 电话; 安装日期 is a date.
bool isNumberColumn(std::size_t column) {
    return column == 0 || column == 10 || column == 14 || column == 17;
}
constexpr std::size_t dateColumn = 13;

// One row as Excel writes it, a cell a line; an empty cell is left out and the next one says
// where it stands.
void appendRow(std::string_view text, bool header, std::string& xml) {
    xml += "   <Row>\n";
    bool skipped = false;
    for (std::size_t column = 0; !text.empty(); ++column) {
        const std::size_t tab = text.find('\t');
        const std::string_view cell = text.substr(0, tab);
        text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
        if (cell.empty()) {
            skipped = true;
            continue;
        }
        xml += "    <Cell";
        if (std::exchange(skipped, false))
            xml += " ss:Index=\"" + std::to_string(column + 1) + "\"";
        if (!header && column == dateColumn) {
            const std::string day = std::string(cell.size() == 9 ? "0" : "") += cell.substr(8);
            xml += " ss:StyleID=\"s62\"><Data ss:Type=\"DateTime\">2023-05-" + day + "T00:00:00.000";
        } else if (!header && isNumberColumn(column)) {
            xml += "><Data ss:Type=\"Number\">" + std::string(cell);
        } else {
            xml += "><Data ss:Type=\"String\">" + sheets::testing::xmlEscaped(cell);
        }
        xml += "</Data></Cell>\n";
    }
    xml += "   </Row>\n";
}

std::string xmlSpreadsheet(std::int64_t rows) {
    std::string xml =
        "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n<Workbook "
        "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n "
        "xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\n "
        "xmlns:html=\"http://www.w3.org/TR/REC-html40\">\n <Styles>\n  <Style ss:ID=\"Default\" "
        "ss:Name=\"Normal\">\n   <Alignment ss:Vertical=\"Center\"/>\n   <Font ss:FontName=\"宋体\" "
        "x:CharSet=\"134\" ss:Size=\"11\"/>\n  </Style>\n  <Style ss:ID=\"s62\">\n   <NumberFormat "
        "ss:Format=\"Short Date\"/>\n  </Style>\n </Styles>\n <Worksheet ss:Name=\"Sheet1\">\n  <Table "
        "x:FullColumns=\"1\" x:FullRows=\"1\" ss:DefaultColumnWidth=\"54\" ss:DefaultRowHeight=\"13.5\">\n";
    bool header = true;
    bench::generateMeterReport(
        rows, "", [&](std::string_view text) { appendRow(text, std::exchange(header, false), xml); });
    xml +=
        "  </Table>\n  <WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">\n   <Selected/>\n"
        "   <ProtectObjects>False</ProtectObjects>\n  </WorksheetOptions>\n </Worksheet>\n</Workbook>\n";
    return xml;
}

std::string csv(std::int64_t rows) {
    std::string text;
    bench::generateMeterReport(rows, "\r\n", [&](std::string_view row) {
        const std::size_t start = text.size();
        text += row;
        std::replace(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), '\t', ',');
    });
    return text;
}

// Only counts what it is given.
struct CountingSink final : sheets::SheetSink {
    std::size_t bytes = 0;
    std::int64_t rows = 0;
    void beginSheet(sheets::SheetSize) override { bytes = 0, rows = 0; }
    void append(std::string_view text) override {
        bytes += text.size();
        rows += std::count(text.begin(), text.end(), '\n');
    }
    void restartSheet() override { beginSheet({}); }
    void endSheet() override {}
};

double best(const std::function<void()>& run) {
    double fastest = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        fastest = std::min(fastest,
                           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return fastest;
}

} // namespace

int main(int argc, char** argv) {
    std::int64_t rows = 100000;
    const char* write = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::max<std::int64_t>(1, std::atoll(argv[i + 1]));
        else if (std::strcmp(argv[i], "--write") == 0)
            write = argv[i + 1];
    }
    const std::string xml = xmlSpreadsheet(rows);
    if (write) {
        std::ofstream(write, std::ios::binary).write(xml.data(), static_cast<std::streamsize>(xml.size()));
        return 0;
    }
    const std::string text = csv(rows);
    CountingSink xmlSink, csvSink;
    const double xmlSeconds = best([&] { sheets::readWorkbook(xml, xmlSink); });
    const double csvSeconds = best([&] { sheets::readTextFile(text, csvSink); });
    const double scanSeconds = best([&] {
        sheets::XmlScanner scanner(
            [&, given = false]() mutable {
                return std::exchange(given, true) ? std::string_view() : std::string_view(xml);
            },
            "");
        while (scanner.next() != sheets::XmlScanner::Event::Done) {
        }
    });
    std::printf("XML Spreadsheet %7.1f MB: %.3f s, %.1f MB of text, %lld rows\n",
                static_cast<double>(xml.size()) / 1e6, xmlSeconds, static_cast<double>(xmlSink.bytes) / 1e6,
                static_cast<long long>(xmlSink.rows));
    std::printf("UTF-8 CSV       %7.1f MB: %.3f s, %.1f MB of text, %lld rows\n",
                static_cast<double>(text.size()) / 1e6, csvSeconds, static_cast<double>(csvSink.bytes) / 1e6,
                static_cast<long long>(csvSink.rows));
    std::printf("XML scanner alone over the XML Spreadsheet, its events unread: %.3f s\n", scanSeconds);
    std::printf("ratio to the CSV %.2f, peak memory %.0f MB\n", xmlSeconds / csvSeconds,
                bench::peakMegabytes());
    return 0;
}
