// Dialogs: the window's questions and notices, behind one interface.
#pragma once

#include <windows.h>

#include <string>

namespace brisquel::win32 {

// Form1Window owns one of these and asks the user only through it. The program uses
// MessageBoxDialogs; tests install one that answers from a script and records every text.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A Yes/No question without an icon. Returns false only when the answer was No.
    virtual bool ask(HWND owner, const std::wstring& title, const std::wstring& text) = 0;
    // An OK notice without an icon, titled "Brisquel".
    virtual void notify(HWND owner, const std::wstring& text) = 0;
};

// The system's message boxes, owned by the window. Windows writes their buttons in the
// system's language: 是 / 否 / 确定 on a Chinese Windows.
class MessageBoxDialogs final : public Dialogs {
public:
    bool ask(HWND owner, const std::wstring& title, const std::wstring& text) override;
    void notify(HWND owner, const std::wstring& text) override;
};

} // namespace brisquel::win32
