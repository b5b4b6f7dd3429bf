// Drives the engine through imports, statistics runs, resets, field changes and exports
// taken from the fuzzer's input, and checks the tally state after every step. On small
// inputs the naive tally runs beside the engine and must agree with it exactly.
//
// The input is cut at every 0xFF byte, which UTF-8 text never holds. The first piece is
// imported as it stands, so a copied sheet is a seed of its own. Each later piece starts
// with a step byte and its rest is the step's text. After the last piece the statistics
// run once more and the list is exported.
#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "naive_tally.h"
#include "recording_view.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel {
namespace {

// The naive tally copies and splits the whole text at every step; beyond this size it
// would slow the search down more than it adds.
constexpr std::size_t naiveLimit = 4096;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "tally_fuzz: broken: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what) {
    if (!holds)
        fail(what);
}

std::int64_t countPairs(std::string_view text) {
    std::int64_t pairs = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
        ++pairs;
    return pairs;
}

// A view that keeps its log as numbers: the fuzzer calls it for every row, and strings
// there would cost more than the engine itself.
class FuzzView : public TallyView {
public:
    struct Event {
        int label; // the label written, or -1 for a progress report
        std::int64_t first;
        std::int64_t second;
        bool operator==(const Event&) const = default;
    };

    std::string fieldText(FieldId field) override { return m_fields[index(field)]; }
    void showText(LabelId label, std::string_view text) override {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        check(error == std::errc() && end == text.data() + text.size() && !text.starts_with('-'),
              "labels show decimal numbers");
        m_shown[index(label)] = value;
        m_log.push_back({static_cast<int>(label), value, 0});
    }
    void progress(std::int64_t at, std::int64_t lastIndex) override {
        // Progress runs 0, 1, ... up to the last index the first report named.
        if (m_nextProgress == 0)
            m_lastIndex = lastIndex;
        check(at == m_nextProgress++ && lastIndex == m_lastIndex && at <= lastIndex,
              "progress counts up to its last index");
        m_log.push_back({-1, at, lastIndex});
    }

    void setField(FieldId field, std::string text) { m_fields[index(field)] = std::move(text); }
    std::int64_t shown(LabelId label) const { return m_shown[index(label)]; }
    const std::vector<Event>& log() const { return m_log; }
    void endStep() {
        m_log.clear();
        m_nextProgress = 0;
    }

private:
    template <typename Id> static std::size_t index(Id id) { return static_cast<std::size_t>(id); }

    std::array<std::string, 8> m_fields = test::defaultFieldTexts;
    std::array<std::int64_t, 8> m_shown{}; // every label starts as "0"
    std::vector<Event> m_log;
    std::int64_t m_nextProgress = 0;
    std::int64_t m_lastIndex = 0;
};

// What every operation keeps, whatever it was given.
void checkState(const TallyState& state, const FuzzView& view) {
    const std::string_view alltxt = state.alltxt();
    check(alltxt.empty() || alltxt.starts_with("\r\n"), "alltxt begins with CR LF");
    check(alltxt.find('"') == std::string_view::npos, "no stored row holds a double quote");
    // Pairs cannot overlap, so an empty row shows as two pairs in a row or a pair at the end.
    check(alltxt.find("\r\n\r\n") == std::string_view::npos && !alltxt.ends_with("\r\n"),
          "no stored row is empty");
    check(state.alltxti() == countPairs(alltxt), "alltxti counts the CR LF pairs of alltxt");
    check(view.shown(LabelId::Label5) == state.alltxti(), "Label5 shows alltxti");

    std::int64_t sum = 0;
    for (LabelId label :
         {LabelId::Label8, LabelId::Label9, LabelId::Label10, LabelId::Label11, LabelId::Label12})
        sum += view.shown(label);
    check(state.alli() == sum, "alli is the sum of the five alternatives' counts");
    check(view.shown(LabelId::Label3) == state.alli(), "Label3 shows alli");

    // The list begins with the header row, which is one of the stored rows.
    const std::string_view list = state.allouttxt();
    if (!list.empty()) {
        const std::string_view header = list.substr(0, list.find("\r\n"));
        check(!header.empty() && alltxt.find("\r\n" + std::string(header)) != std::string_view::npos,
              "allouttxt begins with a stored row");
    }
}

// A folder of its own for each export, removed again afterwards.
class ExportFolder {
public:
    ExportFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brisquel-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            fail("cannot make a folder for the export");
        m_path = pattern;
    }
    ~ExportFolder() { std::filesystem::remove_all(m_path); }
    ExportFolder(const ExportFolder&) = delete;
    ExportFolder& operator=(const ExportFolder&) = delete;

    std::string path() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// The file holds allouttxt in the ANSI code page, which keeps every CR, LF and TAB.
void checkExport(const TallyState& state) {
    if (!canExport(state)) {
        check(state.allouttxt().empty(), "a list can be exported");
        return;
    }
    const std::string ansi = toAnsi(state.allouttxt());
    for (char control : {'\r', '\n', '\t'})
        check(std::count(ansi.begin(), ansi.end(), control) ==
                  std::count(state.allouttxt().begin(), state.allouttxt().end(), control),
              "the ANSI text keeps every control character");

    const ExportFolder folder;
    const ExportResult result = exportList(state, folder.path(), LocalTime{2026, 1, 5, 9, 30, 15});
    check(result.ok(), "the export writes its file");
    std::ifstream file(result.path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    check(written == ansi, "the file holds the list in the ANSI code page");
}

// One run of the engine, with the naive tally beside it while the input is small.
class Run {
public:
    explicit Run(bool compare) : m_compare(compare) {}

    void import(std::string_view text) {
        check(isImportable(text) == (!text.empty() && text.find("\r\n") != std::string_view::npos),
              "the accept test");
        importText(m_state, text, m_view);
        if (m_compare)
            naive::importText(m_naive, std::string(text), m_naiveView);
        settle();
    }
    void statistics() {
        runStatistics(m_state, m_view);
        if (m_compare)
            naive::runStatistics(m_naive, m_naiveView);
        settle();
    }
    void reset() {
        m_state.reset(m_view);
        if (m_compare)
            naive::reset(m_naive, m_naiveView);
        settle();
    }
    void setField(FieldId field, std::string text) {
        m_view.setField(field, text);
        m_naiveView.setField(field, std::move(text));
    }
    void exportList() { checkExport(m_state); }

private:
    void settle() {
        checkState(m_state, m_view);
        if (m_compare) {
            check(m_state.alltxt() == m_naive.alltxt && m_state.alltxti() == m_naive.alltxti &&
                      m_state.alli() == m_naive.alli && m_state.allouttxt() == m_naive.allouttxt,
                  "the engine's state equals the naive tally's");
            check(m_view.log() == m_naiveView.log(), "the engine shows what the naive tally shows");
        }
        m_view.endStep();
        m_naiveView.endStep();
    }

    bool m_compare;
    TallyState m_state;
    FuzzView m_view;
    naive::State m_naive;
    FuzzView m_naiveView;
};

void runSteps(std::string_view input) {
    Run run(input.size() <= naiveLimit);
    std::size_t end = input.find('\xFF');
    run.import(input.substr(0, end));
    while (end != std::string_view::npos) {
        const std::size_t begin = end + 1;
        end = input.find('\xFF', begin);
        std::string_view piece = input.substr(begin, end == std::string_view::npos ? end : end - begin);
        const unsigned step = piece.empty() ? 0 : static_cast<unsigned char>(piece[0]) % 8;
        piece.remove_prefix(piece.empty() ? 0 : 1);
        switch (step) {
        case 0:
            run.statistics();
            break;
        case 1:
        case 2:
            run.import(piece);
            break;
        case 3:
            run.reset();
            break;
        case 4:
            run.exportList();
            break;
        case 5: // a field typed in: the first byte picks it
        case 6: // a field back to its default
            if (!piece.empty()) {
                const auto field = static_cast<std::size_t>(static_cast<unsigned char>(piece[0]) % 8);
                run.setField(static_cast<FieldId>(field),
                             step == 5 ? std::string(piece.substr(1)) : test::defaultFieldTexts[field]);
            }
            break;
        default:
            run.statistics();
            run.exportList();
            break;
        }
    }
    run.statistics();
    run.exportList();
}

} // namespace
} // namespace brisquel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    brisquel::runSteps(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
