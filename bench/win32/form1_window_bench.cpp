// form1_window_bench: the Windows window's import, statistics and export of a generated
// meter report, through the real clipboard and the real window, against the engine alone.
//
//   form1_window_bench [--rows N]
//
// The clipboard holds the report (default 1,048,576 rows) as CF_UNICODETEXT with rows ended
// by CR LF, as a Windows spreadsheet copies it. Prints per phase the window's time, the
// engine's time on the same report (in a second run of this program, so that both sides
// start from fresh memory), their ratio, and how often the title changed a second.
#include "form1_window.h"
#include "wide_text.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "meter_report.h"
#include "tests/win32/put_clipboard.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

LRESULT CALLBACK countTitle(int code, WPARAM wParam, LPARAM lParam) {
    const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call.hwnd == countedWindow && call.message == WM_SETTEXT)
        ++titleChanges;
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
    const char* engineOnly = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--engine-only") == 0 && i + 1 < argc) {
            engineOnly = argv[++i];
        } else {
            std::fprintf(stderr, "usage: form1_window_bench [--rows N]\n");
            return 2;
        }
    }
    const std::string folder = exportFolder();
    if (engineOnly)
        return runEngineOnly(rows, folder, engineOnly);
    std::array<double, 3> windowSeconds{}, engineSeconds{}, titlesPerSecond{};
    {
        const std::string report = brisquel::bench::meterReport(rows);
        std::printf("report: %lld rows, %.1f MB as UTF-8, rows ended by CR LF\n",
                    static_cast<long long>(rows), static_cast<double>(report.size()) / 1e6);
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
        const double handOver = handOverSeconds();
        std::printf("the clipboard's text handed over to this process in %.3f s, before the import\n",
                    handOver);
        countedWindow = form.window();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, countTitle, nullptr, GetCurrentThreadId());
        const brisquel::ControlId buttons[] = {brisquel::ControlId::Command1, brisquel::ControlId::Command3,
                                               brisquel::ControlId::Command4};
        for (std::size_t i = 0; i < 3; ++i) {
            titleChanges = 0;
            const auto start = Clock::now();
            SendMessageW(form.control(buttons[i]), BM_CLICK, 0, 0);
            windowSeconds[i] = secondsSince(start);
            // The closing text is one of the changes; the rest are progress.
            titlesPerSecond[i] = (titleChanges > 0 ? titleChanges - 1 : 0) / windowSeconds[i];
        }
        UnhookWindowsHookEx(hook);
        std::printf("window: Label3 %ls, Label5 %ls\n",
                    brisquel::win32::widen(std::to_string(form.form().tallyState().alli())).c_str(),
                    brisquel::win32::widen(std::to_string(form.form().tallyState().alltxti())).c_str());
    }
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    if (!runEngineProcess(rows, folder, engineSeconds))
        return 1;
    const char* names[] = {"import", "statistics", "export"};
    std::printf("%-10s %10s %10s %7s %14s\n", "phase", "window s", "engine s", "ratio", "titles a second");
    for (std::size_t i = 0; i < 3; ++i)
        std::printf("%-10s %10.3f %10.3f %7.2f %14.1f\n", names[i], windowSeconds[i], engineSeconds[i],
                    windowSeconds[i] / engineSeconds[i], i < 2 ? titlesPerSecond[i] : 0.0);
    std::printf("the exports are in %s\n", folder.c_str());
    return 0;
}
