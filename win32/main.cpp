// Starts the tool on Windows: opens Form1, the one window, and runs until it is closed.
#include "form1_window.h"
#include "wide_text.h"

#include "engine/export.h"

#include <commctrl.h>
#include <shellapi.h>

#include <new>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        brisquel::win32::Form1Window form(instance, std::make_unique<brisquel::win32::MessageBoxDialogs>(),
                                          brisquel::programFolder());
        ShowWindow(form.window(), show);
        UpdateWindow(form.window());
        // Report files dropped on the program's icon, or opened with it, arrive as arguments.
        std::vector<std::string> files;
        int count = 0;
        if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
            for (int i = 1; i < count; ++i)
                files.push_back(brisquel::win32::narrow(arguments[i]));
            LocalFree(arguments);
        }
        form.form().Form_OLEDragDrop(files);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (!form.isDialogMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception&) {
        MessageBoxW(nullptr, L"Brisquel 无法打开窗口", L"Brisquel", MB_OK);
        return 1;
    }
}
