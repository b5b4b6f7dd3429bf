// tally_bench: runs import, statistics and export over one large report with the
// default conditions and prints the counts, each phase's time and the peak memory.
//
//   tally_bench FILE                 a UTF-8 report with CR LF rows, as the clipboard gives it
//   tally_bench --rows N             a generated meter report of N rows, the header included
//   tally_bench --rows N --write F   only writes the generated report to F
//   --out DIR                        where the export goes (default: a new temporary folder)
//   --slice BYTES                    imports the text BYTES at a time, as the window hands over a
//                                    large clipboard: its pairs counted first, then an ImportPass
#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "engine/tally_view.h"
#include "meter_report.h"

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
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace brisquel;
using bench::LatestView;
using bench::peakMegabytes;

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
    std::fprintf(stderr, "usage: tally_bench FILE | --rows N [--write FILE] [--out DIR] [--slice BYTES]\n");
    return 2;
}

void importInSlices(TallyState& state, std::string_view text, TallyView& view, std::size_t sliceBytes) {
    CrLfCounter counter;
    for (std::size_t at = 0; at < text.size(); at += sliceBytes)
        counter.add(text.substr(at, sliceBytes));
    ImportPass pass(state, view, counter.pairs(), text.size());
    for (std::size_t at = 0; at < text.size(); at += sliceBytes)
        pass.append(text.substr(at, sliceBytes));
    pass.finish();
}

} // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* writeTo = nullptr;
    std::int64_t rows = -1;
    std::size_t sliceBytes = 0;
    std::filesystem::path outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--rows" && i + 1 < argc)
            rows = std::atoll(argv[++i]);
        else if (arg == "--write" && i + 1 < argc)
            writeTo = argv[++i];
        else if (arg == "--out" && i + 1 < argc)
            outDir = argv[++i];
        else if (arg == "--slice" && i + 1 < argc && std::atoll(argv[i + 1]) > 0)
            sliceBytes = static_cast<std::size_t>(std::atoll(argv[++i]));
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
        generated = bench::meterReport(rows);
    const std::string_view text = report ? report->text() : std::string_view(generated);
    const std::size_t bytes = text.size();
    if (writeTo != nullptr) {
        std::ofstream(writeTo, std::ios::binary).write(text.data(), static_cast<std::streamsize>(bytes));
        return 0;
    }
    printPhase(file != nullptr ? "map" : "generate", watch.seconds(), bytes);
    if (!isImportable(text)) {
        std::fprintf(stderr, "tally_bench: the text holds no CR LF\n");
        return 1;
    }

    TallyState state;
    LatestView view;
    watch = Stopwatch();
    if (sliceBytes > 0)
        importInSlices(state, text, view, sliceBytes);
    else
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
