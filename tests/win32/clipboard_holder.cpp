// Another program holding the clipboard open, as a spreadsheet does for a moment after Ctrl+C:
//   clipboard_holder EVENT MILLISECONDS
// opens the clipboard, sets the named event, and closes it again after the milliseconds.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t* argv[]) {
    if (argc != 3)
        return 2;
    const HANDLE opened = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!opened || !OpenClipboard(nullptr))
        return 1;
    SetEvent(opened);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    CloseClipboard();
    CloseHandle(opened);
    return 0;
}
