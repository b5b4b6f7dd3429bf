// The per-monitor DPI functions where the system has them, the system DPI elsewhere.
#include "dpi.h"

namespace brisquel::win32 {

namespace {

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// GetProcAddress gives every function as FARPROC; each is cast to the type it has.
template <typename Function> Function lookUp(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace

DpiFunctions DpiFunctions::ofSystem() {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    DpiFunctions functions;
    functions.getDpiForWindow = lookUp<decltype(functions.getDpiForWindow)>(user32, "GetDpiForWindow");
    functions.adjustWindowRectExForDpi =
        lookUp<decltype(functions.adjustWindowRectExForDpi)>(user32, "AdjustWindowRectExForDpi");
    functions.getSystemMetricsForDpi =
        lookUp<decltype(functions.getSystemMetricsForDpi)>(user32, "GetSystemMetricsForDpi");
    return functions;
}

UINT Dpi::ofWindow(HWND window) const {
    if (m_functions.getDpiForWindow) {
        if (const UINT dpi = m_functions.getDpiForWindow(window))
            return dpi;
    }
    return systemDpi();
}

// Without the per-monitor function the frame is the system DPI's: Windows 8.1 scales only
// the client area of a window that moves to another monitor, never its frame.
RECT Dpi::frameFor(RECT client, DWORD style, UINT dpi) const {
    if (!m_functions.adjustWindowRectExForDpi ||
        !m_functions.adjustWindowRectExForDpi(&client, style, FALSE, 0, dpi))
        AdjustWindowRectEx(&client, style, FALSE, 0);
    return client;
}

// GetSystemMetrics answers for the system DPI; at another (Windows 8.1, after a move to
// another monitor) its answer is scaled.
int Dpi::systemMetric(int metric, UINT dpi) const {
    if (m_functions.getSystemMetricsForDpi)
        return m_functions.getSystemMetricsForDpi(metric, dpi);
    const UINT system = systemDpi();
    const int value = GetSystemMetrics(metric);
    return dpi == system ? value : MulDiv(value, static_cast<int>(dpi), static_cast<int>(system));
}

} // namespace brisquel::win32
