// window_shot BRISQUEL.EXE SHEET.txt RECT.txt: starts brisquel.exe, puts the sample sheet on
// the clipboard as a Windows spreadsheet copies it (rows ended by CR LF), imports and counts
// it by pressing the buttons and answering the message boxes, then writes the window's
// frame as "x y width height" for scripts/screenshot-windows.sh to cut the picture out.
#include "put_clipboard.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring utf16(const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), static_cast<int>(text.size()))));
    return text;
}

struct BoxSearch {
    HWND owner;
    HWND box = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<BoxSearch*>(lParam);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && GetWindow(window, GW_OWNER) == search.owner &&
        IsWindowVisible(window)) {
        search.box = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the window's next message box and presses its first button (是, or 确定).
bool answerBox(HWND form) {
    for (int wait = 0; wait < 200; ++wait) {
        BoxSearch search{form};
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        if (search.box) {
            HWND button = FindWindowExW(search.box, nullptr, L"Button", nullptr);
            PostMessageW(button, BM_CLICK, 0, 0);
            for (int gone = 0; gone < 100 && IsWindow(search.box); ++gone)
                Sleep(50);
            return true;
        }
        Sleep(50);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: window_shot BRISQUEL.EXE SHEET.txt RECT.txt\n");
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::string sheet{std::istreambuf_iterator<char>(file), {}};
    std::string crlf;
    for (char c : sheet) {
        if (c == '\n' && (crlf.empty() || crlf.back() != '\r'))
            crlf += '\r';
        crlf += c;
    }
    if (sheet.empty() || !brisquel::win32::putOnClipboard(utf16(crlf))) {
        std::fprintf(stderr, "window_shot: cannot put the sample sheet on the clipboard\n");
        return 1;
    }

    std::wstring command = L"\"" + utf16(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "window_shot: cannot start %s\n", argv[1]);
        return 1;
    }
    WaitForInputIdle(process.hProcess, 10000);
    HWND form = nullptr;
    for (int wait = 0; wait < 200 && !form; ++wait) {
        form = FindWindowW(L"BrisquelForm1", nullptr);
        Sleep(50);
    }
    if (!form)
        return 1;
    Sleep(500);
    for (int button : {100, 111}) { // Command1, the import; Command3, the statistics
        PostMessageW(GetDlgItem(form, button), BM_CLICK, 0, 0);
        if (!answerBox(form) || !answerBox(form)) {
            std::fprintf(stderr, "window_shot: no message box came\n");
            return 1;
        }
    }
    Sleep(500);
    RECT frame;
    GetWindowRect(form, &frame);
    std::ofstream(argv[3]) << frame.left << ' ' << frame.top << ' ' << frame.right - frame.left << ' '
                           << frame.bottom - frame.top << '\n';
    return 0;
}
