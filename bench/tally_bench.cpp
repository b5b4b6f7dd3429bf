// tally_bench: runs import, statistics and export over one large report with the
// default conditions and prints the counts, each phase's time and the peak memory.
//
//   tally_bench FILE                 a UTF-8 report with CR LF rows, as the clipboard gives it
//   tally_bench --rows N             a generated meter report of N data rows
//   tally_bench --rows N --write F   only writes the generated report to F
//   --out DIR                        where the export goes (default: a new temporary folder)
#include "engine/export.h"
#include "engine/import.h"
#include "engine/memory.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "engine/tally_view.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#if defined(__unix__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace brisquel;

// Receives every call, as the window does, and keeps only the latest texts.
class LatestView final : public TallyView {
public:
    std::string fieldText(FieldId field) override { return std::string(defaults[static_cast<int>(field)]); }
    void showText(LabelId label, std::string_view text) override { m_labels[static_cast<int>(label)] = text; }
    void progress(std::int64_t index, std::int64_t lastIndex) override {
        m_index = index;
        m_lastIndex = lastIndex;
    }
    const std::string& label(LabelId id) const { return m_labels[static_cast<int>(id)]; }

private:
    static constexpr std::array<std::string_view, 8> defaults = {"镇府公用台变",
                                                                 "三相多功能电能表(费控)",
                                                                 "台区",
                                                                 "设备类型",
                                                                 "三相载波电子式电能表",
                                                                 "普通三相电子式电能表",
                                                                 "三相智能电能表（费控）",
                                                                 "三相多功能电能表"};
    std::array<std::string, 8> m_labels;
    std::int64_t m_index = 0;
    std::int64_t m_lastIndex = 0;
};

// A meter report as a spreadsheet copies it: a header row, then one row per meter with
// about 20 cells and 210 bytes, rows ended by CR LF.
std::string generateReport(std::int64_t rows) {
    static constexpr std::array<std::string_view, 6> areas = {"镇府公用台变", "东街台变", "西村二号台变",
                                                              "工业园专变",   "南山台变", "河口公用变"};
    static constexpr std::array<std::string_view, 9> types = {
        "三相多功能电能表(费控)", "三相载波电子式电能表", "普通三相电子式电能表",
        "三相智能电能表（费控）", "三相多功能电能表",     "单相电子式电能表",
        "单相智能电能表",         "三相四线电能表",       "单相载波电能表"};
    std::string text = "序号\t供电所\t台区\t台区编号\t户号\t户名\t用电地址\t设备类型\t表号\t资产编号\t"
                       "倍率\t电压等级\t接线方式\t安装日期\t抄表段\t线路\t状态\t电话\t采集方式\t备注\r\n";
    reserveLarge(text, static_cast<std::size_t>(rows) * 215 + text.size());
    std::mt19937_64 random(20261206);
    std::string row;
    for (std::int64_t i = 1; i <= rows; ++i) {
        const std::uint64_t r = random();
        // About 30% of the rows lie in the area the default conditions ask for.
        const std::string_view area = r % 10 < 3 ? areas[0] : areas[1 + (r >> 8) % 5];
        const std::string_view type = types[(r >> 16) % types.size()];
        const auto number = std::to_string(i);
        row.clear();
        row += number;
        row += "\t城关供电所\t";
        row += area;
        row += "\t0";
        row += std::to_string(1000 + (r >> 24) % 9000);
        row += "\t33010";
        row += std::to_string(10000000 + i);
        row += "\t用户";
        row += number;
        row += "\t建设路";
        row += std::to_string((r >> 40) % 500);
        row += "号\t";
        row += type;
        row += "\t3301000000";
        row += std::to_string(100000 + i);
        row += "\tZC";
        row += number;
        row += "\t1\t0.4kV\t三相四线\t2023-05-";
        row += std::to_string(1 + (r >> 48) % 28);
        row += "\t";
        row += std::to_string(100 + (r >> 52) % 50);
        row += "\t城关线\t运行\t88001234\t载波\t\r\n";
        text += row;
    }
    return text;
}

// The report file, mapped rather than read: the import copies what it keeps anyway.
class ReportFile {
public:
    explicit ReportFile(const char* path) {
#if defined(__unix__)
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size == 0) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        m_size = static_cast<std::size_t>(info.st_size);
        m_map = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ::close(fd);
        if (m_map == MAP_FAILED) {
            m_map = nullptr;
            m_size = 0;
        }
#else
        std::ifstream in(path, std::ios::binary);
        m_copy.assign(std::istreambuf_iterator<char>(in), {});
#endif
    }
    ~ReportFile() {
#if defined(__unix__)
        if (m_map != nullptr)
            ::munmap(m_map, m_size);
#endif
    }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    std::string_view text() const {
#if defined(__unix__)
        return {static_cast<const char*>(m_map), m_size};
#else
        return m_copy;
#endif
    }

private:
#if defined(__unix__)
    void* m_map = nullptr;
    std::size_t m_size = 0;
#else
    std::string m_copy;
#endif
};

double peakMegabytes() {
#if defined(__unix__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
#else
    return 0.0;
#endif
}

class Stopwatch {
public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

void printPhase(const char* name, double seconds, std::size_t bytes) {
    std::printf("%-10s %8.3f s %9.0f MB/s\n", name, seconds, static_cast<double>(bytes) / 1e6 / seconds);
}

int usage() {
    std::fprintf(stderr, "usage: tally_bench FILE | --rows N [--write FILE] [--out DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* writeTo = nullptr;
    std::int64_t rows = -1;
    std::filesystem::path outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--rows" && i + 1 < argc)
            rows = std::atoll(argv[++i]);
        else if (arg == "--write" && i + 1 < argc)
            writeTo = argv[++i];
        else if (arg == "--out" && i + 1 < argc)
            outDir = argv[++i];
        else if (!arg.starts_with("--") && file == nullptr)
            file = argv[i];
        else
            return usage();
    }
    if ((file == nullptr) == (rows < 0))
        return usage();

    const Stopwatch total;
    Stopwatch watch;
    std::optional<ReportFile> report;
    std::string generated;
    if (file != nullptr)
        report.emplace(file);
    else
        generated = generateReport(rows);
    const std::string_view text = report ? report->text() : std::string_view(generated);
    const std::size_t bytes = text.size();
    if (writeTo != nullptr) {
        std::ofstream(writeTo, std::ios::binary).write(text.data(), static_cast<std::streamsize>(bytes));
        return 0;
    }
    printPhase(file != nullptr ? "read" : "generate", watch.seconds(), bytes);
    if (!isImportable(text)) {
        std::fprintf(stderr, "tally_bench: the text holds no CR LF\n");
        return 1;
    }

    TallyState state;
    LatestView view;
    watch = Stopwatch();
    importText(state, text, view);
    printPhase("import", watch.seconds(), bytes);
    report.reset();
    std::string().swap(generated);

    watch = Stopwatch();
    runStatistics(state, view);
    printPhase("statistics", watch.seconds(), state.alltxt().size());

    const bool ownFolder = outDir.empty();
    if (ownFolder) {
        outDir = std::filesystem::temp_directory_path() /
                 ("tally_bench_" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(outDir);
    }
    watch = Stopwatch();
    const ExportResult exported = exportList(state, outDir.string(), currentLocalTime());
    printPhase("export", watch.seconds(), state.allouttxt().size());
    if (!exported.ok()) {
        std::fprintf(stderr, "tally_bench: %s: %s\n", exported.path.c_str(), exported.error.c_str());
        return 1;
    }
    if (ownFolder)
        std::filesystem::remove_all(outDir);

    std::printf("counts K0=%s K1=%s K2=%s K3=%s K4=%s K5=%s alli=%lld alltxti=%lld\n",
                view.label(LabelId::Label7).c_str(), view.label(LabelId::Label8).c_str(),
                view.label(LabelId::Label9).c_str(), view.label(LabelId::Label10).c_str(),
                view.label(LabelId::Label11).c_str(), view.label(LabelId::Label12).c_str(),
                static_cast<long long>(state.alli()), static_cast<long long>(state.alltxti()));
    std::printf("total      %8.3f s for %.1f MB; peak memory %.0f MB (%.2f x the text)\n", total.seconds(),
                static_cast<double>(bytes) / 1e6, peakMegabytes(),
                peakMegabytes() * 1048576.0 / static_cast<double>(bytes));
    return 0;
}
