// The window's questions and notices as the system's message boxes.
#include "dialogs.h"

namespace brisquel::win32 {

bool MessageBoxDialogs::ask(HWND owner, const std::wstring& title, const std::wstring& text) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), MB_YESNO) != IDNO;
}

void MessageBoxDialogs::notify(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), L"Brisquel", MB_OK);
}

} // namespace brisquel::win32
