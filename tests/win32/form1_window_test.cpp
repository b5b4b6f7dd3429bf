// Form1Window under Wine: the real window and controls, driven with window messages. The
// handlers' flows are Form1's own tests; here each handler is shown wired to the window.
#include "form1_window.h"
#include "put_clipboard.h"
#include "scripted_dialogs.h"
#include "wide_text.h"

#include "tests/form/intended_layout.h"

#include "engine/export.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <map>
#include <regex>
#include <tuple>

namespace brisquel::win32 {
namespace {

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A box as left, top, width and height in pixels: a control's in its parent.
using PixelBox = std::array<int, 4>;

PixelBox boxOf(HWND control) {
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

// A control as it draws itself: the pixels of `ink`, where they lie, and its bottom-right pixel.
struct Drawing {
    int inked = 0;
    RECT inkBounds{LONG_MAX, LONG_MAX, -1, -1};
    SIZE size{};
    COLORREF corner = 0;
};

Drawing drawn(HWND control, COLORREF ink) {
    RECT box;
    GetClientRect(control, &box);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, box.right, box.bottom);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    Drawing drawing{.size = {box.right, box.bottom}, .corner = GetPixel(dc, box.right - 1, box.bottom - 1)};
    for (int y = 0; y < box.bottom; ++y) {
        for (int x = 0; x < box.right; ++x) {
            if (GetPixel(dc, x, y) != ink)
                continue;
            ++drawing.inked;
            RECT& bounds = drawing.inkBounds;
            bounds = {std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                      std::max<LONG>(bounds.right, x), std::max<LONG>(bounds.bottom, y)};
        }
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawing;
}

LOGFONTW fontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

COLORREF colourOf(const test::IntendedControl& intended) {
    const unsigned rgb = intended.colour;
    return rgb ? RGB(rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF) : GetSysColor(COLOR_WINDOWTEXT);
}

// Whether the control's text, in the font it is drawn in, fits its box: a label's wrapped
// lines, a field's or a button's one line.
bool textIsWhole(HWND control, bool wraps) {
    RECT box;
    GetClientRect(control, &box);
    const std::wstring text = windowText(control);
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, box.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return needed.right <= box.right && needed.bottom <= box.bottom;
}

// A sheet as a Windows spreadsheet copies it: the header row, then `rows` rows that meet
// condition 1 and alternative 5.
std::wstring sheet(int rows) {
    std::wstring text = L"序号\t台区\t设备类型\r\n";
    for (int row = 1; row <= rows; ++row)
        text += std::to_wstring(row) + L"\t镇府公用台变\t三相多功能电能表\r\n";
    return text;
}

class Form1WindowTest : public testing::Test {
protected:
    explicit Form1WindowTest(DpiFunctions dpiFunctions = DpiFunctions::ofSystem()) {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_form = std::make_unique<Form1Window>(GetModuleHandleW(nullptr), std::move(dialogs), programFolder(),
                                               dpiFunctions);
        ShowWindow(window(), SW_SHOW);
        pump();
    }

    HWND window() const { return m_form->window(); }
    HWND control(ControlId id) const { return m_form->control(id); }
    std::wstring text(ControlId id) const { return windowText(control(id)); }
    HWND controlNamed(std::string_view name) const {
        const auto entry = std::ranges::find(controlTable, name, &ControlSpec::name);
        return entry == controlTable.end() ? nullptr : control(entry->id);
    }

    // Handles what is queued, as the message loop would, Tab and Enter included.
    void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT && !m_form->isDialogMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    void click(ControlId id) {
        SendMessageW(control(id), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(control(id), WM_LBUTTONUP, 0, 0);
        pump();
    }
    // A key pressed on the focused control.
    void press(WPARAM key) {
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
        pump();
    }

    ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<Form1Window> m_form;
};

// The window with the per-monitor DPI functions of Windows 10 1607 and later, and without them
// as on Windows 7, 8.1 and early Windows 10. Wine has them all, so only a window that is handed
// none takes the older systems' path.
class Form1WindowOnEveryWindows : public Form1WindowTest, public testing::WithParamInterface<bool> {
protected:
    Form1WindowOnEveryWindows() : Form1WindowTest(GetParam() ? DpiFunctions::ofSystem() : DpiFunctions{}) {}

    // What the system's icons measure at `dpi`: Windows 7 has the metrics of the system DPI only.
    static int iconSize(int metric, int dpi) {
        const DpiFunctions system = DpiFunctions::ofSystem();
        if (GetParam())
            return system.getSystemMetricsForDpi(metric, static_cast<UINT>(dpi));
        return MulDiv(GetSystemMetrics(metric), dpi, USER_DEFAULT_SCREEN_DPI);
    }
};

INSTANTIATE_TEST_SUITE_P(DpiFunctions, Form1WindowOnEveryWindows, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "PerMonitor" : "SystemDpiOnly";
                         });

TEST(DpiFunctions, WineHasThePerMonitorOnes) {
    const DpiFunctions system = DpiFunctions::ofSystem();
    EXPECT_TRUE(system.getDpiForWindow && system.adjustWindowRectExForDpi && system.getSystemMetricsForDpi);
}

// Each control as intended, its text whole in its box in whatever face stands in for 宋体 (under
// Wine a taller one), on the dialog background, and no button the default. Then the counts of
// 12345 rows, which no longer fit Label3 at 72 points, drawn whole in their colours; the boxes,
// fonts, counts and the window's icons again after a change to 144 dots per inch, which Windows
// 8.1 and later send to a per-monitor aware window.
TEST_P(Form1WindowOnEveryWindows, ControlsLookAsIntended) {
    ASSERT_EQ(96u, m_form->dpi());
    EXPECT_EQ(L"Brisquel v1.2 - 程序设计：Velkaran", windowText(window()));
    RECT client;
    GetClientRect(window(), &client);
    EXPECT_EQ(746, client.right);
    EXPECT_EQ(365, client.bottom);
    for (const test::IntendedControl& intended : test::intendedControls) {
        SCOPED_TRACE(std::string(intended.name));
        const HWND item = controlNamed(intended.name);
        const std::wstring kind = intended.kind == 'B'   ? L"Button"
                                  : intended.kind == 'F' ? L"Edit"
                                                         : L"Static";
        EXPECT_EQ(0, _wcsicmp(kind.c_str(), className(item).c_str()));
        const LONG_PTR style = GetWindowLongPtrW(item, GWL_STYLE);
        EXPECT_TRUE(intended.kind != 'B' || (style & BS_TYPEMASK) == BS_PUSHBUTTON);
        EXPECT_EQ(intended.kind != 'L', (style & WS_TABSTOP) != 0);
        EXPECT_TRUE(intended.kind != 'F' || SendMessageW(item, EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE);
        EXPECT_EQ(widen(intended.text), windowText(item));
        EXPECT_EQ(intended.enabled, IsWindowEnabled(item) != FALSE);
        const LOGFONTW font = fontOf(item);
        EXPECT_EQ(std::tuple(std::wstring(L"宋体"), 134, intended.bold ? FW_BOLD : FW_NORMAL),
                  std::tuple(std::wstring(font.lfFaceName), int{font.lfCharSet}, int{font.lfWeight}));
        if (intended.kind == 'L') {
            const Drawing drawing = drawn(item, colourOf(intended));
            EXPECT_EQ(GetSysColor(COLOR_BTNFACE), drawing.corner);
        }
        if (!intended.colour) { // the counts are CountsAreDrawnWholeAtEveryDpi's
            EXPECT_TRUE(textIsWhole(item, intended.kind == 'L'));
        }
    }
    ASSERT_TRUE(putOnClipboard(sheet(12345)));
    click(ControlId::Command1);
    click(ControlId::Command3);
    ASSERT_EQ(L"12345", text(ControlId::Label3));
    std::map<std::string_view, LONG> heightAt96;
    for (int dpi : {96, 144}) {
        RECT suggested{0, 0, 1200, 700};
        if (dpi != 96)
            SendMessageW(window(), dpiChangedMessage, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&suggested));
        for (const test::IntendedControl& intended : test::intendedControls) {
            SCOPED_TRACE(std::string(intended.name) + " at " + std::to_string(dpi));
            const auto pixels = [dpi](int twips) { return twipsToPixels(twips, dpi); };
            const HWND item = controlNamed(intended.name);
            EXPECT_EQ(PixelBox({pixels(intended.left), pixels(intended.top), pixels(intended.width),
                                pixels(intended.height)}),
                      boxOf(item));
            EXPECT_EQ(MulDiv(intended.points ? intended.points : 9, dpi, 72),
                      std::abs(fontOf(item).lfHeight));
            if (!intended.colour)
                continue;
            const Drawing drawing = drawn(item, colourOf(intended));
            EXPECT_GT(drawing.inked, 3);
            // A number cut off by the box leaves ink in its last column or row.
            EXPECT_LT(drawing.inkBounds.right, drawing.size.cx - 1);
            EXPECT_LT(drawing.inkBounds.bottom, drawing.size.cy - 1);
            const LONG height = drawing.inkBounds.bottom - drawing.inkBounds.top + 1;
            if (dpi == 96)
                heightAt96[intended.name] = height;
            else
                EXPECT_NEAR(1.5, double(height) / heightAt96[intended.name], 0.2);
        }
        for (const auto& [which, metric] :
             {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
            ICONINFO icon{};
            ASSERT_TRUE(
                GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window(), WM_GETICON, which, 0)), &icon));
            BITMAP image{};
            GetObjectW(icon.hbmColor, sizeof image, &image);
            DeleteObject(icon.hbmColor);
            DeleteObject(icon.hbmMask);
            EXPECT_EQ(iconSize(metric, dpi), image.bmWidth) << which << " at " << dpi;
        }
    }
}

// Tab and Shift+Tab follow the table, skipping the disabled buttons; Enter and Space press the
// focused button; Enter in a field presses nothing and Escape closes nothing.
TEST_F(Form1WindowTest, KeysFollowTheTableAndPressTheFocusedButtonOnly) {
    using enum ControlId;
    const auto tabs = [&](std::initializer_list<ControlId> order) {
        for (ControlId id : order) {
            press(VK_TAB);
            EXPECT_EQ(control(id), GetFocus()) << controlSpec(id).name;
        }
    };
    // Enter first, on the focus the window opens with: the dialog manager sends it as IDOK,
    // which the window hands to the focused button. (A button reached with Tab becomes the
    // default button, which the dialog manager presses itself.)
    EXPECT_EQ(control(Command1), GetFocus());
    m_dialogs->answers = {false, false};
    press(VK_RETURN);
    EXPECT_EQ(1u, m_dialogs->questions.size());
    press(VK_SPACE);
    EXPECT_EQ(2u, m_dialogs->questions.size());
    SetFocus(control(Text1));
    press(VK_RETURN);
    press(VK_ESCAPE);
    EXPECT_EQ(2u, m_dialogs->questions.size());
    EXPECT_TRUE(IsWindowVisible(window()));
    tabs({Text2, Text3, Text4, Text5, Text6, Text7, Text8, Command1, Text1});

    ASSERT_TRUE(putOnClipboard(sheet(2)));
    click(Command1); // enables the other three buttons, and gives the focus back to Command1
    tabs({Text1, Text2, Command2, Text3, Text4, Command3, Text5, Text6, Text7, Text8, Command4, Command1});
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    tabs({Command4, Text8});
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// Every button, count label and field reaches its own handler, and the handlers reach the
// window: the counts, the focus, the real clipboard (empty too), and an export in the program's
// folder, its path joined with a forward slash (its bytes are the export's own tests').
TEST_F(Form1WindowTest, EveryControlReachesItsHandler) {
    using enum ControlId;
    ASSERT_TRUE(
        putOnClipboard(L"台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n东街\t三相多功能电能表\r\n"));
    click(Command1);
    click(Command3);
    EXPECT_EQ(L"3", text(Label5));            // the header row is imported too
    EXPECT_EQ(control(Command3), GetFocus()); // back on the button pressed

    click(Command4);
    ASSERT_EQ(3u, m_dialogs->notices.size());
    const std::wstring& notice = m_dialogs->notices[2];
    const std::wstring start = L"文件路径:\r\n" + widen(programFolder()) + L"/导出文件_";
    ASSERT_EQ(start, notice.substr(0, start.size()));
    EXPECT_TRUE(DeleteFileW(notice.substr(notice.find(L'\n') + 1).c_str()));

    for (const auto& [count, shown] : {std::pair{Label3, L"1"}, std::pair{Label5, L"3"}}) {
        SetWindowTextW(control(count), L"");
        SendMessageW(control(count), WM_LBUTTONDOWN, MK_LBUTTON, 0); // taken back outside: no click
        SendMessageW(control(count), WM_LBUTTONUP, 0, MAKELPARAM(-5, -5));
        pump();
        EXPECT_EQ(L"", text(count));
        click(count);
        EXPECT_EQ(shown, text(count));
    }
    click(Command2); // reset
    EXPECT_EQ(L"0", text(Label3));
    EXPECT_EQ(L"0", text(Label5));

    OpenClipboard(nullptr); // no text on the clipboard leaves the field as it was
    EmptyClipboard();
    CloseClipboard();
    SendMessageW(control(Text3), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(L"台区", text(Text3));
    for (const ControlSpec& entry : controlTable) {
        if (entry.kind != ControlKind::Field)
            continue;
        const std::wstring cell = L"新的 " + widen(entry.name);
        ASSERT_TRUE(putOnClipboard(cell + L"\r\n"));
        SendMessageW(control(entry.id), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        EXPECT_EQ(cell, text(entry.id));
    }
}

// Another program holding the clipboard open for a moment, as a spreadsheet does just after
// its copy, is waited for; one that keeps holding it fails the import.
TEST_F(Form1WindowTest, ClipboardHeldOpenElsewhereIsWaitedForAWhile) {
    // clipboard_holder.exe stands beside this program.
    std::wstring holder(MAX_PATH, L'\0');
    holder.resize(GetModuleFileNameW(nullptr, holder.data(), MAX_PATH));
    holder = holder.substr(0, holder.find_last_of(L"\\/") + 1) + L"clipboard_holder.exe";
    for (const bool letsGo : {true, false}) {
        ASSERT_TRUE(putOnClipboard(sheet(2)));
        const HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, L"BrisquelClipboardHeld");
        std::wstring command = L"\"" + holder + L"\" BrisquelClipboardHeld " + (letsGo ? L"60" : L"1500");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(holder.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 10000));
        click(ControlId::Command1);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(opened);
        EXPECT_EQ(letsGo ? L"已完成导入，如果还有更多相同报表可继续全选复制并导入"
                         : L"失败，请先打开EXCEL报表并全选复制",
                  m_dialogs->notices.back());
    }
}

// The window's titles, and its paints and system commands while an import runs. A function of
// its own: a lambda does not convert to the stdcall procedures of 32-bit Windows.
struct WindowSeen {
    Form1Window* form = nullptr;
    std::vector<std::wstring> titles{};
    int paints = 0;
    std::vector<WPARAM> systemCommands{};
};

LRESULT CALLBACK spyOnWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
    auto& record = *reinterpret_cast<WindowSeen*>(data);
    if (message == WM_SETTEXT)
        record.titles.push_back(reinterpret_cast<const wchar_t*>(lParam));
    if (message == WM_PAINT && record.form->form().operationRunning())
        ++record.paints;
    if (message == WM_SYSCOMMAND && record.form->form().operationRunning())
        record.systemCommands.push_back(wParam & 0xFFF0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// While a long import runs the title counts the rows, the window repaints, the title bar moves,
// minimises and maximises the window, and the clicks and keys given to the form meanwhile are
// dropped, not handled once it ends.
TEST_F(Form1WindowTest, LongImportShowsProgressAndDropsInput) {
    constexpr int rows = 400000;
    ASSERT_TRUE(putOnClipboard(sheet(rows)));
    m_dialogs->onAsk = [&] {
        PostMessageW(control(ControlId::Command1), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(control(ControlId::Command1), WM_LBUTTONUP, 0, 0);
        PostMessageW(control(ControlId::Text1), WM_CHAR, L'x', 1);
        PostMessageW(control(ControlId::Text2), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        for (const WPARAM part : {HTCAPTION, HTMINBUTTON, HTMAXBUTTON}) {
            PostMessageW(window(), WM_NCLBUTTONDOWN, part, 0);
            PostMessageW(window(), WM_LBUTTONUP, 0, 0); // ends the move or the press it starts
        }
        InvalidateRect(window(), nullptr, TRUE); // as a question box leaves it
        m_dialogs->onAsk = nullptr;
    };
    WindowSeen seen{.form = m_form.get()};
    const SUBCLASSPROC spy = spyOnWindow;
    SetWindowSubclass(window(), spy, 0, reinterpret_cast<DWORD_PTR>(&seen));
    click(ControlId::Command1);
    RemoveWindowSubclass(window(), spy, 0);

    EXPECT_GE(seen.paints, 1);
    EXPECT_EQ((std::vector<WPARAM>{SC_MOVE, SC_MINIMIZE, SC_MAXIMIZE}), seen.systemCommands);
    EXPECT_EQ(1u, m_dialogs->questions.size());
    EXPECT_EQ(L"镇府公用台变", text(ControlId::Text1));
    EXPECT_EQ(L"三相多功能电能表(费控)", text(ControlId::Text2));
    EXPECT_EQ(std::to_wstring(rows + 1), text(ControlId::Label5));
    ASSERT_GE(seen.titles.size(), 3u); // the progress twice or more, then the closing text
    EXPECT_TRUE(std::regex_match(seen.titles.front(), std::wregex(L"\\d+/\\d+")));
    EXPECT_NE(seen.titles.front(), seen.titles[seen.titles.size() - 2]);
    EXPECT_EQ(L"已完成导入，如果还有更多相同报表可继续全选复制并导入", seen.titles.back());
}

// A close while an import runs, from the system menu or the title bar's button, ends the
// program at once, with nothing more shown.
TEST(Form1WindowDeathTest, CloseDuringImportEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool button : {false, true}) {
        EXPECT_EXIT(
            {
                auto dialogs = std::make_unique<ScriptedDialogs>();
                ScriptedDialogs& script = *dialogs;
                Form1Window form(GetModuleHandleW(nullptr), std::move(dialogs), programFolder());
                ShowWindow(form.window(), SW_SHOW);
                putOnClipboard(sheet(1000));
                script.onAsk = [&] {
                    if (!button) {
                        PostMessageW(form.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
                        return;
                    }
                    PostMessageW(form.window(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
                    PostMessageW(form.window(), WM_LBUTTONUP, 0, 0);
                };
                form.form().Command1_Click();
                std::exit(script.notices.empty() ? 2 : 3);
            },
            testing::ExitedWithCode(0), "")
            << button;
    }
}

// The system's own message boxes, once: a timer reads each box as "title|text|buttons",
// marked if it shows an icon or the window does not own it, then presses its last button.
HWND boxOwner = nullptr;
std::vector<std::wstring>* seenBoxes = nullptr;

BOOL CALLBACK readBox(HWND box, LPARAM);

void CALLBACK readBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), readBox, 0);
}

BOOL CALLBACK readBox(HWND box, LPARAM) {
    if (className(box) != L"#32770" || !IsWindowVisible(box))
        return TRUE;
    std::wstring text, buttons, marks = GetWindow(box, GW_OWNER) == boxOwner ? L"" : L" (not owned)";
    HWND last = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const std::wstring childText = windowText(child);
        if (_wcsicmp(className(child).c_str(), L"Button") == 0) {
            buttons += L"[" + childText.substr(0, childText.find(L'(')) + L"]"; // without "(&Y)"
            last = child;
        } else if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            marks += SendMessageW(child, STM_GETICON, 0, 0) ? L" (icon)" : L"";
        } else if (!childText.empty()) {
            text = childText;
        }
    }
    seenBoxes->push_back(windowText(box) + L"|" + text + L"|" + buttons + marks);
    PostMessageW(last, BM_CLICK, 0, 0);
    return FALSE;
}

TEST(Form1WindowMessageBoxTest, QuestionsAndNoticesAreSystemMessageBoxes) {
    Form1Window form(GetModuleHandleW(nullptr), std::make_unique<MessageBoxDialogs>(), programFolder());
    ShowWindow(form.window(), SW_SHOW);
    std::vector<std::wstring> boxes;
    boxOwner = form.window();
    seenBoxes = &boxes;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, readBoxes);
    SetFocus(form.control(ControlId::Text5));
    form.form().Command1_Click(); // the question, answered No: nothing more
    form.form().Command4_Click(); // nothing to export yet: a notice
    KillTimer(nullptr, timer);
    EXPECT_EQ(form.control(ControlId::Text5), GetFocus()); // back where it was before the boxes
    // and after another window was active
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    EXPECT_NE(form.control(ControlId::Text5), GetFocus());
    DestroyWindow(other);
    SetActiveWindow(form.window());
    EXPECT_EQ(form.control(ControlId::Text5), GetFocus());
    EXPECT_EQ((std::vector<std::wstring>{
                  L"是否执行?|确定要导入吗？先在WPS报表里全选复制报表，再导入|[是][否]",
                  L"Brisquel|导出失败，请先统计，有结果才能导出....|[确定]",
              }),
              boxes);
}

} // namespace
} // namespace brisquel::win32
