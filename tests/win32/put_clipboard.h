// Puts text on the Windows clipboard as CF_UNICODETEXT, as a spreadsheet puts a copied sheet.
#pragma once

#include <windows.h>

#include <string_view>

namespace brisquel::win32 {

inline bool putOnClipboard(std::wstring_view text) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* units = memory ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (!units) {
        CloseClipboard();
        return false;
    }
    text.copy(units, text.size());
    units[text.size()] = L'\0';
    GlobalUnlock(memory);
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return put;
}

} // namespace brisquel::win32
