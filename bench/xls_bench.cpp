// xls_bench: reads a large .xls workbook into a sink that only counts its text, and prints
// the best of three times and the peak memory.
//
//   xls_bench --sheets N               a generated workbook of N sheets of the meter report,
//                                      65,536 rows of 20 columns each, written and then read
//   xls_bench --sheets N --biff5       the same as an Excel 95 workbook, its texts in GBK
//   xls_bench --sheets N --reversed    its rows' records last row first, as Excel never
//                                      writes them
//   xls_bench --sheets N [--biff5] [--reversed] --write F
//                                      only writes that workbook to F
//   xls_bench F                        reads the workbook F (the peak memory then counts the
//                                      file and the reading alone)
#include "meter_report.h"
#include "sheets/gb18030.h"
#include "sheets/workbook.h"
#include "xls_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

using namespace brisquel;
using namespace brisquel::sheets::testing;

constexpr int sheetRows = 65536;

std::u16string utf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (c >= 0x10000)
            out += {static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
        else
            out += static_cast<char16_t>(c);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

// Whole numbers of up to 9 digits are numbers in the workbook, as General shows them the
// same; codes with leading zeros and long numbers are texts, as a report keeps them.
bool isNumber(std::string_view cell) {
    return !cell.empty() && cell.size() <= 9 && cell[0] != '0' &&
           std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The GBK bytes of every character of the two-byte codes, found by decoding each code.
std::unordered_map<std::string, std::string> gbkCodes() {
    std::unordered_map<std::string, std::string> codes;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char utf8[8];
            codes.try_emplace(std::string(utf8, sheets::decodeGb18030({code, 2}, utf8)), code, 2);
        }
    }
    return codes;
}

std::string gbk(std::string_view text) {
    static const std::unordered_map<std::string, std::string> codes = gbkCodes();
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        out += length == 1 ? std::string(1, text[i]) : codes.at(std::string(text.substr(i, length)));
        i += length;
    }
    return out;
}

// The meter report's rows as a workbook stream of `sheets` equal sheets, BIFF8 or BIFF5, the
// rows in order or last first; `textBytes` gets the length of the text they should give.
std::string meterWorkbook(int sheets, bool biff5, bool reversed, std::size_t& textBytes) {
    std::vector<std::u16string> strings;
    std::unordered_map<std::string, std::uint32_t> indexes;
    std::string cells = biff5 ? record(0x0200, le(0, 2) + le(0xFFFF, 2) + le(0, 2) + le(20, 2) + le(0, 2))
                              : record(0x0200, le(0, 4) + le(sheetRows, 4) + le(0, 2) + le(20, 2) + le(0, 2));
    int row = 0;
    textBytes = 0;
    std::vector<std::string> rows;
    bench::generateMeterReport(sheetRows, "", [&](std::string_view line) {
        textBytes += line.size() + 2;
        std::string& rowCells = reversed ? rows.emplace_back() : cells;
        for (int column = 0;; ++column) {
            const std::string_view cell = line.substr(0, line.find('\t'));
            line.remove_prefix(std::min(line.size(), cell.size() + 1));
            if (isNumber(cell)) {
                rowCells += numberCell(row, column, std::atof(std::string(cell).c_str()));
            } else if (!cell.empty() && biff5) {
                rowCells += byteLabel(row, column, gbk(cell));
            } else if (!cell.empty()) {
                auto [entry, added] =
                    indexes.try_emplace(std::string(cell), static_cast<std::uint32_t>(strings.size()));
                if (added)
                    strings.push_back(utf16(cell));
                rowCells += sstCell(row, column, entry->second);
            }
            if (line.empty())
                break;
        }
        ++row;
    });
    std::reverse(rows.begin(), rows.end());
    for (const std::string& cellsOfRow : rows)
        cells += cellsOfRow;
    textBytes *= static_cast<std::size_t>(sheets);
    return workbookStream(biff5 ? record(0x0042, le(936, 2)) : sharedStrings(strings),
                          std::vector<XlsSheet>(static_cast<std::size_t>(sheets), {cells}), biff5);
}

struct CountingSink final : sheets::SheetSink {
    std::size_t bytes = 0;
    std::int64_t rowEnds = 0;
    int sheetCount = 0;
    void beginSheet(sheets::SheetSize) override { ++sheetCount; }
    void append(std::string_view text) override {
        bytes += text.size();
        rowEnds += std::count(text.begin(), text.end(), '\n');
    }
    void restartSheet() override { std::fputs("a sheet was read twice\n", stderr); }
    void endSheet() override {}
};

} // namespace

int main(int argc, char** argv) {
    std::string file;
    std::size_t expectedBytes = 0;
    if (argc >= 3 && std::string_view(argv[1]) == "--sheets") {
        const int sheets = std::atoi(argv[2]);
        int at = 3;
        const bool biff5 = at < argc && std::string_view(argv[at]) == "--biff5" && ++at;
        const bool reversed = at < argc && std::string_view(argv[at]) == "--reversed" && ++at;
        file = compoundFile(
            {{biff5 ? "Book" : "Workbook", meterWorkbook(sheets, biff5, reversed, expectedBytes)}});
        if (argc == at + 2 && std::string_view(argv[at]) == "--write") {
            std::ofstream(argv[at + 1], std::ios::binary)
                .write(file.data(), static_cast<std::streamsize>(file.size()));
            return 0;
        }
    } else if (argc == 2) {
        std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
        file.resize(static_cast<std::size_t>(in.tellg()));
        in.seekg(0).read(file.data(), static_cast<std::streamsize>(file.size()));
    } else {
        std::fputs("usage: xls_bench --sheets N [--biff5] [--reversed] [--write FILE] | xls_bench FILE\n",
                   stderr);
        return 2;
    }
    // Wall clock and, as other work on a shared machine inflates it, processor time too.
    double best = 1e9, bestCpu = 1e9;
    CountingSink sink;
    for (int run = 0; run < 3; ++run) {
        sink = CountingSink();
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        sheets::readCompoundWorkbook(file, sink);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bestCpu = std::min(bestCpu, static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    }
    std::printf("file %.1f MiB, %d sheets, %lld rows, text %.1f MiB\n",
                static_cast<double>(file.size()) / (1 << 20), sink.sheetCount,
                static_cast<long long>(sink.rowEnds), static_cast<double>(sink.bytes) / (1 << 20));
    std::printf("read: best of 3 %.3f s (processor %.3f s), peak memory %.1f MiB\n", best, bestCpu,
                bench::peakMegabytes());
    if (expectedBytes != 0 && expectedBytes != sink.bytes) {
        std::fprintf(stderr, "the text should be %zu bytes\n", expectedBytes);
        return 1;
    }
    return 0;
}
