// form1_window_bench: the Windows window's import, statistics and export of a generated
// meter report, through the real clipboard and the real window, against the engine alone.
//
//   form1_window_bench [--rows N] [--repeat N]
//
// The clipboard holds the report (default 1,048,576 rows) as CF_UNICODETEXT with rows ended
// by CR LF, as a Windows spreadsheet copies it. The window resets, imports, counts and
// exports N times (default 3), and the engine does the same in as many runs of this program
// of its own (--engine-only), so that each starts from fresh memory. Prints per phase each
// side's best time, their ratio, and for the window's best when the title first showed
// progress and how often it changed a second from then on. Wine copies the clipboard's text
// from its server into the process on every read, which takes about as long as the engine's
// whole import: the copy is timed on its own before each import, and the import is given
// less it too.
#include "form1_window.h"
#include "wide_text.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "meter_report.h"
#include "tests/win32/put_clipboard.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Answers Yes to every question and shows nothing.
class YesDialogs final : public brisquel::win32::Dialogs {
public:
    bool ask(HWND, const std::wstring&, const std::wstring&) override { return true; }
    void notify(HWND, const std::wstring&) override {}
};

HWND countedWindow = nullptr;
int titleChanges = 0;
Clock::time_point firstTitle; // when the phase first changed the title

LRESULT CALLBACK countTitle(int code, WPARAM wParam, LPARAM lParam) {
    const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call.hwnd == countedWindow && call.message == WM_SETTEXT && titleChanges++ == 0)
        firstTitle = Clock::now();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Reads the clipboard's text once, as the window will: the first read after the text was
// put there is when Wine brings it over from its server; the process keeps it afterwards.
double handOverSeconds() {
    const auto start = Clock::now();
    if (!OpenClipboard(nullptr))
        return 0;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        GlobalLock(data);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return secondsSince(start);
}

std::string exportFolder() {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = path;
    folder += L"brisquel-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    return brisquel::win32::narrow(folder);
}

// The engine alone on the same report, rows ended by CR LF as the import takes them; writes
// the three phases' seconds to `output`.
int runEngineOnly(std::int64_t rows, const std::string& folder, const char* output) {
    const std::string report = brisquel::bench::meterReport(rows);
    brisquel::TallyState state;
    brisquel::bench::LatestView view;
    std::array<double, 3> seconds{};
    auto start = Clock::now();
    brisquel::importText(state, report, view);
    seconds[0] = secondsSince(start);
    start = Clock::now();
    brisquel::runStatistics(state, view);
    seconds[1] = secondsSince(start);
    start = Clock::now();
    const brisquel::ExportResult result = brisquel::exportList(state, folder, brisquel::currentLocalTime());
    seconds[2] = secondsSince(start);
    if (!result.ok()) {
        std::fprintf(stderr, "engine export failed: %s\n", result.error.c_str());
        return 1;
    }
    std::FILE* file = std::fopen(output, "w");
    std::fprintf(file, "%f %f %f\n", seconds[0], seconds[1], seconds[2]);
    std::fclose(file);
    return 0;
}

// Runs this program again with --engine-only, so that each side starts from fresh memory.
bool runEngineProcess(std::int64_t rows, const std::string& folder, std::array<double, 3>& seconds) {
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string output = folder + "\\engine-seconds.txt";
    std::wstring command = L"\"" + std::wstring(program) + L"\" --rows " + std::to_wstring(rows) +
                           L" --engine-only \"" + brisquel::win32::widen(output) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::FILE* file = std::fopen(output.c_str(), "r");
    const bool read = file && std::fscanf(file, "%lf %lf %lf", &seconds[0], &seconds[1], &seconds[2]) == 3;
    if (file)
        std::fclose(file);
    return read;
}

} // namespace

int main(int argc, char* argv[]) {
    std::int64_t rows = 1048576;
    int repeat = 3;
    const char* engineOnly = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--engine-only") == 0 && i + 1 < argc) {
            engineOnly = argv[++i];
        } else {
            std::fprintf(stderr, "usage: form1_window_bench [--rows N] [--repeat N]\n");
            return 2;
        }
    }
    const std::string folder = exportFolder();
    if (engineOnly)
        return runEngineOnly(rows, folder, engineOnly);
    // Each side's best of `repeat` runs, and the titles of the window's best.
    constexpr double none = std::numeric_limits<double>::infinity();
    std::array<double, 3> windowSeconds{none, none, none}, engineSeconds{none, none, none};
    std::array<double, 3> titlesPerSecond{}, untilFirstTitle{};
    double handOver = none;
    double importLessHandOver = none;
    {
        const std::string report = brisquel::bench::meterReport(rows);
        std::printf("report: %lld rows, %.1f MB as UTF-8, rows ended by CR LF; best of %d runs\n",
                    static_cast<long long>(rows), static_cast<double>(report.size()) / 1e6, repeat);
        if (!brisquel::win32::putOnClipboard(brisquel::win32::widen(report))) {
            std::fprintf(stderr, "cannot put the report on the clipboard\n");
            return 1;
        }
    }
    {
        brisquel::win32::Form1Window form(GetModuleHandleW(nullptr), std::make_unique<YesDialogs>(), folder);
        ShowWindow(form.window(), SW_SHOW);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        countedWindow = form.window();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, countTitle, nullptr, GetCurrentThreadId());
        const brisquel::ControlId buttons[] = {brisquel::ControlId::Command1, brisquel::ControlId::Command3,
                                               brisquel::ControlId::Command4};
        for (int run = 0; run < repeat; ++run) {
            SendMessageW(form.control(brisquel::ControlId::Command2), BM_CLICK, 0, 0); // reset
            const double runHandOver = handOverSeconds();
            handOver = std::min(handOver, runHandOver);
            std::printf("window run %d: hand-over %.3f s", run + 1, runHandOver);
            for (std::size_t i = 0; i < 3; ++i) {
                titleChanges = 0;
                const auto start = Clock::now();
                SendMessageW(form.control(buttons[i]), BM_CLICK, 0, 0);
                const double seconds = secondsSince(start);
                std::printf(", %.3f s", seconds);
                if (i == 0)
                    importLessHandOver = std::min(importLessHandOver, seconds - runHandOver);
                if (seconds >= windowSeconds[i])
                    continue;
                windowSeconds[i] = seconds;
                // The closing text is one of the changes; the rest are progress, from the
                // first row on.
                if (titleChanges > 1) {
                    untilFirstTitle[i] = std::chrono::duration<double>(firstTitle - start).count();
                    titlesPerSecond[i] = (titleChanges - 1) / (seconds - untilFirstTitle[i]);
                }
            }
            std::printf("\n");
        }
        UnhookWindowsHookEx(hook);
        std::printf("window: Label3 %ls, Label5 %ls\n",
                    brisquel::win32::widen(std::to_string(form.form().tallyState().alli())).c_str(),
                    brisquel::win32::widen(std::to_string(form.form().tallyState().alltxti())).c_str());
    }
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    for (int run = 0; run < repeat; ++run) {
        std::array<double, 3> seconds{};
        if (!runEngineProcess(rows, folder, seconds))
            return 1;
        std::printf("engine run %d: %.3f s, %.3f s, %.3f s\n", run + 1, seconds[0], seconds[1], seconds[2]);
        for (std::size_t i = 0; i < 3; ++i)
            engineSeconds[i] = std::min(engineSeconds[i], seconds[i]);
    }
    std::printf("the clipboard's text handed over to this process in %.3f s\n", handOver);
    const char* names[] = {"import", "statistics", "export"};
    std::printf("%-10s %10s %10s %7s %16s %16s\n", "phase", "window s", "engine s", "ratio", "first title s",
                "titles a second");
    for (std::size_t i = 0; i < 3; ++i)
        std::printf("%-10s %10.3f %10.3f %7.2f %16.3f %16.1f\n", names[i], windowSeconds[i], engineSeconds[i],
                    windowSeconds[i] / engineSeconds[i], untilFirstTitle[i], titlesPerSecond[i]);
    // The window's import reads the clipboard once more, and Wine hands the text over again.
    std::printf("import less its hand-over: %.3f s, %.2f times the engine's\n", importLessHandOver,
                importLessHandOver / engineSeconds[0]);
    std::printf("the exports are in %s\n", folder.c_str());
    return 0;
}
