// Form1Window: Form1 shown with the Windows API's own controls.
#pragma once

#include "dialogs.h"
#include "dpi.h"
#include "form/form1.h"

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace brisquel::win32 {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using DcHandle = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// The tool's one window: a top-level window of its own class whose children are the
// standard BUTTON, EDIT and STATIC controls of controlTable, in tab order. The program's
// message loop passes every message through isDialogMessage first, for Tab and Enter.
class Form1Window final : private Form1Host {
public:
    // Exports go to `exportFolder`, the program's own folder unless a test says otherwise. The
    // window scales with the system's DPI functions unless a test hands in others.
    Form1Window(HINSTANCE instance, std::unique_ptr<Dialogs> dialogs, std::string exportFolder,
                DpiFunctions dpiFunctions = DpiFunctions::ofSystem());
    // Destroys the window. Only a window the user closes ends the message loop.
    ~Form1Window() override;
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    HWND window() const { return m_window; }
    HWND control(ControlId id) const { return m_controls[static_cast<std::size_t>(id)]; }
    Form1& form() { return m_form; }
    UINT dpi() const { return m_dpi; }
    // The point size a count label draws its number in: the table's, or smaller when the
    // number would not fit the label's width.
    int drawnPointSize(ControlId count) const { return m_fitted[static_cast<std::size_t>(count)].points; }

    bool isDialogMessage(MSG& message) { return IsDialogMessageW(m_window, &message); }

private:
    struct FittedFont {
        HFONT font = nullptr; // one of m_countFonts
        int points = 0;
    };
    // A count label's font at one size, kept selected into a DC of its own for measuring:
    // selecting a font costs a third of a millisecond under Wine, and a count too wide for
    // its label is measured at several sizes, thirty times a second while a pass runs.
    struct CountFont {
        FontHandle font;
        DcHandle measuring; // declared after the font, so deleted before it
        int ascent = 0;
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK fieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR subclass, DWORD_PTR self);
    static LRESULT CALLBACK countProcedure(HWND count, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR subclass, DWORD_PTR self);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void connectHandlers();
    void applyDpi(UINT dpi);
    void setIcons();
    void fitCount(ControlId count, const std::wstring& text);
    const CountFont& countFont(FontSpec wanted);
    void paint();
    void drawCount(const DRAWITEMSTRUCT& item);
    void onCommand(WORD id, WORD code);
    void onActivate(bool active);
    [[noreturn]] static void endProgram();

    // Form1Host
    bool ask(std::string_view title, std::string_view text) override;
    void notify(std::string_view text) override;
    void setTitle(std::string_view title) override;
    void setText(ControlId control, std::string_view text) override;
    void setEnabled(ControlId control, bool enabled) override;
    void setFocus(ControlId control) override;
    std::string fieldText(ControlId field) override;
    ClipboardText readClipboard() override;
    void showPendingNow() override;

    HINSTANCE m_instance;
    std::unique_ptr<Dialogs> m_dialogs;
    Dpi m_dpiOf;
    Form1 m_form;
    HWND m_window = nullptr;
    UINT m_dpi = USER_DEFAULT_SCREEN_DPI;
    std::array<HWND, controlTable.size()> m_controls{}; // indexed by ControlId
    // What each control is clicked or double-clicked for, indexed by ControlId.
    std::array<void (Form1::*)(), controlTable.size()> m_handlers{};
    std::array<FontHandle, controlTable.size()> m_fonts;  // the table's font at m_dpi
    std::array<FittedFont, controlTable.size()> m_fitted; // count labels only
    // The count labels' fonts at m_dpi by point size and weight, each made when a fit first
    // tries it.
    std::map<std::pair<int, bool>, CountFont> m_countFonts;
    BitmapHandle m_background;
    std::array<IconHandle, 2> m_icons; // ICON_SMALL and ICON_BIG at m_dpi
    HWND m_focusBeforeDeactivation = nullptr;
};

// The control's row in controlTable from its window id.
constexpr int controlWindowId(ControlId id) {
    return 100 + static_cast<int>(id);
}

} // namespace brisquel::win32
