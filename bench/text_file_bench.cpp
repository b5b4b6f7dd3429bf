// text_file_bench: the generated meter report written as a GB18030 CSV and as a UTF-8 TSV
// file, read back, and read by the text-file reader; prints each reading's best of three.
//
//   text_file_bench               the full sheet, 1,048,576 rows
//   text_file_bench --rows N      N rows, the header included
#include "meter_report.h"
#include "sheets/gb18030.h"
#include "sheets/text_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

using namespace brisquel;

// Only counts what it is given, as a window that imports nothing would.
struct CountingSink final : sheets::SheetSink {
    std::int64_t rows = 0;
    std::size_t bytes = 0;
    void beginSheet(sheets::SheetSize expected) override { rows = expected.rows; }
    void append(std::string_view text) override { bytes += text.size(); }
    void restartSheet() override { bytes = 0; }
    void endSheet() override {}
};

// The GB18030 bytes of every two-byte character, found by decoding each code once.
std::map<std::string, std::string, std::less<>> gb18030Encoder() {
    std::map<std::string, std::string, std::less<>> codes;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string bytes = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            const std::string text(out, sheets::decodeGb18030(bytes, out));
            if (text != "\xEF\xBF\xBD" && text.size() > 1)
                codes.emplace(text, bytes);
        }
    }
    return codes;
}

// The report's rows as a GB18030 CSV: its cells hold no comma, quote or line break.
std::string gb18030Csv(std::int64_t rows) {
    const auto codes = gb18030Encoder();
    std::string csv;
    bench::generateMeterReport(rows, "\r\n", [&](std::string_view row) {
        for (std::size_t i = 0; i < row.size();) {
            const auto lead = static_cast<unsigned char>(row[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (length == 1)
                csv += row[i] == '\t' ? ',' : row[i];
            else
                csv += codes.find(row.substr(i, length))->second;
            i += length;
        }
    });
    return csv;
}

std::string readBack(const std::filesystem::path& path, const std::string& bytes, double& seconds) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const auto start = std::chrono::steady_clock::now();
    std::ifstream in(path, std::ios::binary);
    std::string read(static_cast<std::size_t>(std::filesystem::file_size(path)), '\0');
    in.read(read.data(), static_cast<std::streamsize>(read.size()));
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(path);
    return read;
}

void measure(const char* name, const std::string& bytes, const std::filesystem::path& path) {
    double fileSeconds = 0;
    const std::string file = readBack(path, bytes, fileSeconds);
    double best = 1e9;
    CountingSink sink;
    for (int run = 0; run < 3; ++run) {
        sink = CountingSink();
        const auto start = std::chrono::steady_clock::now();
        sheets::readTextFile(file, sink);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf(
        "%-12s %7.1f MB file (read in %.3f s), %7.1f MB of text, %lld rows: %.3f s, %.0f MB/s of text\n",
        name, static_cast<double>(file.size()) / 1e6, fileSeconds, static_cast<double>(sink.bytes) / 1e6,
        static_cast<long long>(sink.rows), best, static_cast<double>(sink.bytes) / 1e6 / best);
}

} // namespace

int main(int argc, char** argv) {
    std::int64_t rows = std::int64_t{1} << 20;
    if (argc == 3 && std::strcmp(argv[1], "--rows") == 0)
        rows = std::max<std::int64_t>(1, std::atoll(argv[2]));
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    measure("GB18030 CSV", gb18030Csv(rows), folder / "text_file_bench.csv");
    measure("UTF-8 TSV", bench::meterReport(rows), folder / "text_file_bench.txt");
    std::printf("peak memory %.0f MB\n", bench::peakMegabytes());
    return 0;
}
