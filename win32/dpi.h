// Dots per inch on every Windows the tool runs on: the per-monitor functions of Windows 10
// 1607 and later where the system has them, the system's own DPI where it has not.
#pragma once

#include <windows.h>

namespace brisquel::win32 {

// Sent to a per-monitor aware window from Windows 8.1 on, when it moves to a monitor of
// another DPI; the headers declare it only for programs that need Windows 10.
inline constexpr UINT dpiChangedMessage = 0x02E0;

// The functions of Windows 10 1607 that the window scales with, found at run time, so that
// the program still loads on Windows 7, 8.1 and early Windows 10, which lack them. A test
// hands in none of them to run the path those systems take.
struct DpiFunctions {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;

    // The system's, each null where USER32 lacks it.
    static DpiFunctions ofSystem();
};

// Where a function is missing, what a Windows 7 program gets: the system DPI, which every
// monitor shares there, and the frames and metrics the system gives for it.
class Dpi {
public:
    explicit Dpi(DpiFunctions functions) : m_functions(functions) {}

    UINT ofWindow(HWND window) const;
    // The window's whole box for a client area of `client` at `dpi`.
    RECT frameFor(RECT client, DWORD style, UINT dpi) const;
    int systemMetric(int metric, UINT dpi) const;

private:
    DpiFunctions m_functions;
};

} // namespace brisquel::win32
