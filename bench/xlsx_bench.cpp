// xlsx_bench: writes the generated meter report as an .xlsx laid out as Excel writes it,
// then reads it back: the time of inflating its parts alone (the floor), the time of the
// whole read, their ratio, the same by the CPU time of the reading thread, and the peak memory.
//
//   xlsx_bench [ROWS]            1,048,576 rows unless told; xlsx_bench_ROWS.xlsx is written
//                                in the temporary folder unless it is there already
//   xlsx_bench ROWS --write F    only writes the file to F
#include "meter_report.h"
#include "sheets/workbook.h"
#include "sheets/zip.h"
#include "xlsx_writer.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#if defined(__unix__)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace brisquel;
using sheets::testing::cellReference;
using sheets::testing::xmlEscaped;

// The columns Excel keeps as numbers: 序号, 倍率, 抄表段, 电话; 安装日期 is a date.
bool isNumberColumn(std::size_t column) {
    return column == 0 || column == 10 || column == 14 || column == 17;
}
constexpr std::size_t dateColumn = 13;

// The serial of "2023-05-D".
std::string dateSerial(std::string_view text) {
    return std::to_string(45046 + std::stoi(std::string(text.substr(8))));
}

std::string writeWorkbook(std::int64_t rows) {
    sheets::testing::ZipWriter zip;
    sheets::testing::TestWorkbook workbook;
    workbook.sheets.push_back({"Sheet1", {}, "", ""});
    workbook.formats = {"yyyy-mm-d"};
    sheets::testing::addWorkbookParts(zip, workbook);
    std::unordered_map<std::string, std::size_t> shared;
    std::string strings;
    zip.begin("xl/worksheets/sheet1.xml");
    zip.write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
              "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><dimension "
              "ref=\"A1:" +
              cellReference(20, rows) + "\"/><sheetData>");
    std::int64_t row = 0;
    std::string xml;
    bench::generateMeterReport(rows, "", [&](std::string_view text) {
        ++row;
        xml = "<row r=\"" + std::to_string(row) + "\" spans=\"1:20\">";
        for (std::size_t column = 0; !text.empty() || column < 20; ++column) {
            const std::size_t tab = text.find('\t');
            const std::string_view cell = text.substr(0, tab);
            text = tab == std::string_view::npos ? std::string_view() : text.substr(tab + 1);
            if (cell.empty())
                continue;
            xml += "<c r=\"" + cellReference(static_cast<std::int32_t>(column + 1), row) + "\"";
            if (row > 1 && column == dateColumn) {
                xml += " s=\"1\"><v>" + dateSerial(cell) + "</v></c>";
            } else if (row > 1 && isNumberColumn(column)) {
                xml += "><v>" + std::string(cell) + "</v></c>";
            } else {
                const auto [found, added] = shared.try_emplace(std::string(cell), shared.size());
                if (added)
                    strings += "<si><t>" + xmlEscaped(cell) + "</t></si>";
                xml += " t=\"s\"><v>" + std::to_string(found->second) + "</v></c>";
            }
            if (tab == std::string_view::npos)
                break;
        }
        xml += "</row>";
        zip.write(xml);
    });
    zip.write("</sheetData></worksheet>");
    zip.end();
    zip.add("xl/sharedStrings.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst "
            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
                std::to_string(shared.size()) + "\" uniqueCount=\"" + std::to_string(shared.size()) + "\">" +
                strings + "</sst>");
    return zip.finish();
}

void writeFile(const std::string& path, std::int64_t rows) {
    const std::string file = writeWorkbook(rows);
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
}

// The report's text, kept as a CRC and a count of rows.
class CheckingSink final : public sheets::SheetSink {
public:
    void beginSheet(sheets::SheetSize) override { restartSheet(); }
    void append(std::string_view text) override {
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
        m_bytes += text.size();
        m_rows += std::count(text.begin(), text.end(), '\n');
    }
    void restartSheet() override { m_crc = 0, m_bytes = 0, m_rows = 0; }
    void endSheet() override {}

    unsigned long m_crc = 0;
    std::size_t m_bytes = 0;
    std::int64_t m_rows = 0;
};

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / 1e6;
}

// The CPU time of the calling thread, 0 where it is not known. On a machine shared with other
// work it is steadier than the clock on the wall, and the reading thread is the one the
// window waits for.
double threadSeconds() {
#if defined(__unix__)
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#else
    return 0;
#endif
}

struct Seconds {
    double wall = 1e9, thread = 1e9;
};

// The best of three runs, by each clock.
template <typename F> Seconds bestSeconds(F&& run) {
    Seconds best;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double threadStart = threadSeconds();
        run();
        best.thread = std::min(best.thread, threadSeconds() - threadStart);
        best.wall = std::min(best.wall,
                             std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Every entry inflated with zlib alone, nothing checked, nothing kept.
std::size_t inflateAll(std::string_view file) {
    const sheets::ZipArchive archive(file);
    std::vector<unsigned char> out(1 << 18);
    std::size_t total = 0;
    for (const sheets::ZipEntry& entry : archive.entries()) {
        const std::string_view data = archive.data(entry);
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        int result = Z_OK;
        while (result == Z_OK) {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            total += out.size() - stream.avail_out;
        }
        inflateEnd(&stream);
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const std::int64_t rows = argc > 1 ? std::atoll(argv[1]) : std::int64_t{1} << 20;
    if (argc > 3 && std::string_view(argv[2]) == "--write") {
        writeFile(argv[3], rows);
        return 0;
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / ("xlsx_bench_" + std::to_string(rows) + ".xlsx")).string();
    const bool written = static_cast<bool>(std::ifstream(path));
#if defined(__unix__)
    // Written by a child, so that the writer's tables count nothing in the peak memory.
    if (written) {
    } else if (const pid_t child = fork(); child == 0) {
        writeFile(path, rows);
        _exit(0);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
    }
#else
    if (!written)
        writeFile(path, rows);
#endif
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), {});
    std::printf("%s: %lld rows, %.1f MB\n", path.c_str(), static_cast<long long>(rows),
                megabytes(file.size()));

    std::size_t inflated = 0;
    const Seconds floor = bestSeconds([&] { inflated = inflateAll(file); });
    CheckingSink sink;
    const Seconds read = bestSeconds([&] { sheets::readZipWorkbook(file, sink); });
    std::printf("inflated parts: %.1f MB\n", megabytes(inflated));
    std::printf("inflate floor:  %.3f s\n", floor.wall);
    std::printf("whole read:     %.3f s (%.2f x the floor)\n", read.wall, read.wall / floor.wall);
    if (floor.thread > 0)
        std::printf("reading thread: %.3f s of CPU against %.3f s inflating (%.2f x)\n", read.thread,
                    floor.thread, read.thread / floor.thread);
    std::printf("sheet text:     %.1f MB, %lld rows\n", megabytes(sink.m_bytes),
                static_cast<long long>(sink.m_rows));
    std::printf("peak memory:    %.0f MB\n", bench::peakMegabytes());

    unsigned long expected = 0;
    std::size_t expectedBytes = 0;
    bench::generateMeterReport(rows, "\r\n", [&](std::string_view text) {
        expected =
            crc32(expected, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
        expectedBytes += text.size();
    });
    const bool same = sink.m_crc == expected && sink.m_bytes == expectedBytes;
    std::printf("text %s the report's%s\n", same ? "equals" : "differs from",
                same ? "" : " (the number formatter may still be the placeholder)");
    return sink.m_rows == rows ? 0 : 1;
}
