// html_bench: the generated meter report as a web page of one table, as a business system or
// Excel saves it (a style on every cell), read by the web-page reader, beside the same rows as
// a UTF-8 CSV read by the text-file reader; prints each reading's best of five and the ratio.
//
//   html_bench               100,000 rows
//   html_bench --rows N      N rows, the header included
//   html_bench --write F     writes the page to F and the CSV to F.csv, for file_bench
#include "meter_report.h"
#include "sheets/html.h"
#include "sheets/text_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

std::string webPage(std::int64_t rows) {
    std::string page = "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\">\r\n<head>\r\n"
                       "<meta http-equiv=Content-Type content=\"text/html; charset=utf-8\">\r\n"
                       "<style>\r\ntd {mso-number-format:General; white-space:nowrap;}\r\n</style>\r\n"
                       "</head>\r\n<body>\r\n<table border=1 cellspacing=0 cellpadding=0>\r\n";
    bench::generateMeterReport(rows, "", [&](std::string_view row) {
        page += "<tr height=18 style='height:13.5pt'>\r\n";
        for (std::size_t at = 0; at <= row.size();) {
            const std::size_t tab = std::min(row.find('\t', at), row.size());
            page += " <td style=\"mso-number-format:'\\@'\">";
            for (const char c : row.substr(at, tab - at))
                page += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
            page += "</td>\r\n";
            at = tab + 1;
        }
        page += "</tr>\r\n";
    });
    return page + "</table>\r\n</body>\r\n</html>\r\n";
}

std::string csv(std::int64_t rows) {
    std::string text;
    bench::generateMeterReport(rows, "\r\n", [&](std::string_view row) {
        const std::size_t from = text.size();
        text += row;
        std::replace(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), '\t', ',');
    });
    return text;
}

template <typename Read> double measure(const char* name, const std::string& bytes, Read read) {
    double best = 1e9;
    CountingSink sink;
    for (int run = 0; run < 5; ++run) {
        sink = CountingSink();
        const auto start = std::chrono::steady_clock::now();
        read(bytes, sink);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-10s %7.1f MB file, %7.1f MB of text, %lld rows expected: %.3f s, %.0f MB/s of file\n",
                name, static_cast<double>(bytes.size()) / 1e6, static_cast<double>(sink.bytes) / 1e6,
                static_cast<long long>(sink.rows), best, static_cast<double>(bytes.size()) / 1e6 / best);
    return best;
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
    if (write) {
        const std::string page = webPage(rows), text = csv(rows);
        std::ofstream(write, std::ios::binary).write(page.data(), static_cast<std::streamsize>(page.size()));
        std::ofstream(std::string(write) + ".csv", std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        return 0;
    }
    const double page = measure("web page", webPage(rows), sheets::readHtml);
    const double text = measure("UTF-8 CSV", csv(rows), sheets::readTextFile);
    std::printf("web page / CSV: %.2f\npeak memory %.0f MB\n", page / text, bench::peakMegabytes());
    return 0;
}
