// ods_bench: writes the generated meter report as an .ods laid out as LibreOffice writes it
// (or takes an .ods given), then reads it back: the time of inflating its content.xml alone
// (the floor), the time of the whole read, their ratio, and the peak memory. Beside the wall
// clock it tells the processor time of all threads, which holds on a busy machine.
//
//   ods_bench [ROWS]            1,048,576 rows unless told
//   ods_bench ROWS --write F    only writes the file to F
//   ods_bench --file F          reads F instead, checking nothing of its text
#include "meter_report.h"
#include "sheets/sheet_writer.h"
#include "sheets/workbook.h"
#include "sheets/xml.h"
#include "sheets/zip.h"
#include "xlsx_writer.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace {

using namespace brisquel;

// The columns LibreOffice keeps as numbers: 序号, 倍率, 抄表段, 电话; 安装日期 is a date.
bool isNumberColumn(std::size_t column) {
    return column == 0 || column == 10 || column == 14 || column == 17;
}
constexpr std::size_t dateColumn = 13;

// One row as LibreOffice writes it: each cell with its value and its shown text, then one
// run of empty cells to the sheet's last column.
void appendRow(std::string_view text, bool header, std::string& xml) {
    xml += "<table:table-row table:style-name=\"ro1\">";
    std::size_t column = 0;
    for (; !text.empty(); ++column) {
        const std::size_t tab = text.find('\t');
        const std::string_view cell = text.substr(0, tab);
        text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
        if (cell.empty()) {
            xml += "<table:table-cell/>";
            continue;
        }
        if (!header && column == dateColumn) {
            const std::string day = std::string(cell.size() == 9 ? "0" : "") += cell.substr(8);
            xml += "<table:table-cell table:style-name=\"ce1\" office:value-type=\"date\" "
                   "office:date-value=\"2023-05-" +
                   day + "\" calcext:value-type=\"date\">";
        } else if (!header && isNumberColumn(column)) {
            xml += "<table:table-cell office:value-type=\"float\" office:value=\"" + std::string(cell) +
                   "\" calcext:value-type=\"float\">";
        } else {
            xml += "<table:table-cell office:value-type=\"string\" calcext:value-type=\"string\">";
        }
        xml += "<text:p>" + sheets::testing::xmlEscaped(cell) + "</text:p></table:table-cell>";
    }
    xml += "<table:table-cell table:number-columns-repeated=\"" +
           std::to_string(sheets::maxColumns - static_cast<std::int32_t>(column)) + "\"/></table:table-row>";
}

std::string writeSpreadsheet(std::int64_t rows) {
    sheets::testing::ZipWriter zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    zip.begin("content.xml");
    zip.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
              "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
              "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
              "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
              "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
              "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
              "office:version=\"1.3\"><office:automatic-styles><style:style style:name=\"ta1\" "
              "style:family=\"table\"><style:table-properties table:display=\"true\"/></style:style>"
              "</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"Sheet1\" "
              "table:style-name=\"ta1\"><table:table-column table:style-name=\"co1\" "
              "table:number-columns-repeated=\"16384\" table:default-cell-style-name=\"Default\"/>");
    std::string xml;
    bool header = true;
    bench::generateMeterReport(rows, "", [&](std::string_view text) {
        xml.clear();
        appendRow(text, std::exchange(header, false), xml);
        zip.write(xml);
    });
    if (rows < sheets::maxRows)
        zip.write("<table:table-row table:style-name=\"ro1\" table:number-rows-repeated=\"" +
                  std::to_string(sheets::maxRows - rows) +
                  "\"><table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>");
    zip.write("</table:table></office:spreadsheet></office:body></office:document-content>");
    zip.end();
    zip.add("META-INF/manifest.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
            "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">"
            "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
            "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry "
            "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/></manifest:manifest>");
    return zip.finish();
}

// The report's text, kept as a CRC, its bytes and its rows.
class SummingSink final : public sheets::SheetSink {
public:
    void beginSheet(sheets::SheetSize) override { m_crc = 0, m_bytes = 0, m_rows = 0; }
    void append(std::string_view text) override {
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
        m_bytes += text.size();
        m_rows += std::count(text.begin(), text.end(), '\n');
    }
    void restartSheet() override {
        beginSheet({});
        ++m_restarts;
    }
    void endSheet() override {}

    unsigned long m_crc = 0;
    std::size_t m_bytes = 0;
    std::int64_t m_rows = 0;
    int m_restarts = 0;
};

// The seconds `run` takes, on the wall clock and of the processor's time over all threads.
struct Seconds {
    double wall = 1e9;
    double processor = 1e9;
};
template <typename F> Seconds seconds(F&& run) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t processorStart = std::clock();
    run();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            static_cast<double>(std::clock() - processorStart) / CLOCKS_PER_SEC};
}
void keepBest(Seconds& best, Seconds run) {
    best.wall = std::min(best.wall, run.wall);
    best.processor = std::min(best.processor, run.processor);
}

// content.xml inflated with zlib alone, nothing checked, nothing kept.
std::size_t inflateContent(std::string_view file) {
    const sheets::ZipArchive archive(file);
    const sheets::ZipEntry* entry = archive.find("content.xml");
    if (!entry)
        return 0;
    const std::string_view data = archive.data(*entry);
    std::string out(std::size_t{1} << 18, '\0');
    std::size_t total = 0;
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT32_MAX));
    for (int result = Z_OK; result == Z_OK; total += out.size() - stream.avail_out) {
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        result = inflate(&stream, Z_NO_FLUSH);
    }
    inflateEnd(&stream);
    return total;
}

// content.xml through the ZIP reader and the XML scanner, its events left unread.
void scanContent(std::string_view file) {
    const sheets::ZipArchive archive(file);
    sheets::ZipEntryReader reader(archive, *archive.find("content.xml"));
    sheets::XmlScanner xml([&] { return reader.next(); }, "content.xml");
    while (xml.next() != sheets::XmlScanner::Event::Done) {
    }
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

int main(int argc, char** argv) {
    const bool given = argc > 2 && std::string_view(argv[1]) == "--file";
    const std::int64_t rows = argc > 1 && !given ? std::atoll(argv[1]) : std::int64_t{1} << 20;
    if (argc > 3 && std::string_view(argv[2]) == "--write") {
        const std::string file = writeSpreadsheet(rows);
        std::ofstream(argv[3], std::ios::binary)
            .write(file.data(), static_cast<std::streamsize>(file.size()));
        return 0;
    }
    const std::string file = given ? fileBytes(argv[2]) : writeSpreadsheet(rows);
    std::printf("%s: %.1f MB\n", given ? argv[2] : "generated .ods", static_cast<double>(file.size()) / 1e6);

    // The best of three rounds, each measuring the three in turn under the same conditions.
    std::size_t inflated = 0;
    SummingSink sink;
    Seconds floor, scan, read;
    for (int round = 0; round < 3; ++round) {
        keepBest(floor, seconds([&] { inflated = inflateContent(file); }));
        keepBest(scan, seconds([&] { scanContent(file); }));
        keepBest(read, seconds([&] { sheets::readZipWorkbook(file, sink); }));
    }
    std::printf("content.xml:    %.1f MB\n", static_cast<double>(inflated) / 1e6);
    std::printf("inflate floor:  %.3f s, processor %.3f s\n", floor.wall, floor.processor);
    std::printf("XML scan alone: %.3f s (%.2f x the floor)\n", scan.wall, scan.wall / floor.wall);
    std::printf("whole read:     %.3f s (%.2f x the floor), restarted %d times\n", read.wall,
                read.wall / floor.wall, sink.m_restarts / 3);
    std::printf("its processor:  %.3f s over its threads (%.2f x the floor's)\n", read.processor,
                read.processor / floor.processor);
    std::printf("sheet text:     %.1f MB, %lld rows\n", static_cast<double>(sink.m_bytes) / 1e6,
                static_cast<long long>(sink.m_rows));
    std::printf("peak memory:    %.0f MB (the file included)\n", bench::peakMegabytes());
    if (given)
        return 0;

    unsigned long expected = 0;
    bench::generateMeterReport(rows, "\r\n", [&](std::string_view text) {
        expected =
            crc32(expected, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    });
    if (expected != sink.m_crc) {
        std::printf("the text differs from the report\n");
        return 1;
    }
    return 0;
}
