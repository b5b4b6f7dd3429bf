// Form1Window under Wine: the real window and controls, driven with window messages. The
// handlers' flows are Form1's own tests; here each handler is shown wired to the window.
#include "form1_window.h"
#include "put_clipboard.h"
#include "scripted_dialogs.h"
#include "wide_text.h"

#include "engine/export.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <fstream>
#include <iterator>
#include <latch>
#include <regex>
#include <thread>
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

// A box as left, top, width and height in pixels: a control's in its parent, or the table's
// at `dpi`.
using PixelBox = std::array<int, 4>;

PixelBox boxOf(HWND control) {
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

PixelBox tableBox(const ControlSpec& entry, int dpi) {
    return {twipsToPixels(entry.box.left, dpi), twipsToPixels(entry.box.top, dpi),
            twipsToPixels(entry.box.width, dpi), twipsToPixels(entry.box.height, dpi)};
}

// A font as face, character set, height and weight: a control's, or the table's at `dpi`.
using Font = std::tuple<std::wstring, int, int, int>;

Font fontOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return {font.lfFaceName, font.lfCharSet, font.lfHeight, font.lfWeight};
}

Font tableFont(FontSpec font, int dpi) {
    if (font.pointSize == 0)
        font = windowFont;
    return {L"宋体", gb2312Charset, -MulDiv(font.pointSize, dpi, 72), font.bold ? FW_BOLD : FW_NORMAL};
}

// A control drawn into a bitmap: how many of its pixels are `ink`, and its bottom-right pixel.
std::pair<int, COLORREF> drawn(HWND control, COLORREF ink) {
    RECT box;
    GetClientRect(control, &box);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, box.right, box.bottom);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    int inked = 0;
    for (int y = 0; y < box.bottom; ++y) {
        for (int x = 0; x < box.right; ++x)
            inked += GetPixel(dc, x, y) == ink;
    }
    const COLORREF corner = GetPixel(dc, box.right - 1, box.bottom - 1);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return {inked, corner};
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
    Form1WindowTest() {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_form =
            std::make_unique<Form1Window>(GetModuleHandleW(nullptr), std::move(dialogs), programFolder());
        ShowWindow(window(), SW_SHOW);
        pump();
    }

    HWND window() const { return m_form->window(); }
    HWND control(ControlId id) const { return m_form->control(id); }
    std::wstring text(ControlId id) const { return windowText(control(id)); }

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

// The controls at 96 dots per inch, and their boxes and fonts again after a change to 144.
TEST_F(Form1WindowTest, ControlsMatchTheTable) {
    ASSERT_EQ(96u, m_form->dpi());
    EXPECT_EQ(widen(windowTitle), windowText(window()));
    RECT client;
    GetClientRect(window(), &client);
    EXPECT_EQ(746, client.right);
    EXPECT_EQ(365, client.bottom);
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(GetClassLongPtrW(window(), GCLP_HICON)));

    const wchar_t* const classOfKind[] = {L"Button", L"Edit", L"Static", L"Static"};
    for (const ControlSpec& entry : controlTable) {
        SCOPED_TRACE(std::string(entry.name));
        const HWND item = control(entry.id);
        EXPECT_EQ(0, _wcsicmp(classOfKind[static_cast<int>(entry.kind)], className(item).c_str()));
        EXPECT_EQ(widen(entry.text), windowText(item));
        EXPECT_EQ(entry.enabled, IsWindowEnabled(item) != FALSE);
        const bool takesFocus = entry.kind == ControlKind::Button || entry.kind == ControlKind::Field;
        EXPECT_EQ(takesFocus, (GetWindowLongPtrW(item, GWL_STYLE) & WS_TABSTOP) != 0);
        if (entry.colour) { // the count labels: the number in its colour, on the dialog background
            const auto [inked, corner] =
                drawn(item, RGB(entry.colour->red, entry.colour->green, entry.colour->blue));
            EXPECT_GT(inked, 3);
            EXPECT_EQ(GetSysColor(COLOR_BTNFACE), corner);
        }
    }
    // The fields keep any length of text.
    EXPECT_GE(SendMessageW(control(ControlId::Text1), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);

    for (int dpi : {96, 144}) {
        RECT suggested{0, 0, 1200, 700};
        if (dpi != 96)
            SendMessageW(window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        for (const ControlSpec& entry : controlTable) {
            SCOPED_TRACE(std::string(entry.name) + " at " + std::to_string(dpi));
            EXPECT_EQ(tableBox(entry, dpi), boxOf(control(entry.id)));
            EXPECT_EQ(tableFont(entry.font, dpi), fontOf(control(entry.id)));
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
    EXPECT_EQ(L"镇府公用台变", text(Text1));
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
// window: the counts, the focus, the real clipboard (empty too), and an export in GBK in the
// program's folder, its path joined with a forward slash.
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
    const std::wstring path = notice.substr(notice.find(L'\n') + 1);
    std::ifstream file(path.c_str(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    file.close();
    EXPECT_EQ("\xCC\xA8\xC7\xF8\t\xC9\xE8\xB1\xB8\xC0\xE0\xD0\xCD\r\n"
              "\xD5\xF2\xB8\xAE\xB9\xAB\xD3\xC3\xCC\xA8\xB1\xE4\t\xC8\xFD\xCF\xE0\xB6\xE0\xB9\xA6\xC4\xDC\xB5"
              "\xE7\xC4\xDC\xB1\xED",
              bytes);
    EXPECT_TRUE(DeleteFileW(path.c_str()));

    for (const auto& [count, shown] : {std::pair{Label3, L"1"}, std::pair{Label5, L"3"}}) {
        SetWindowTextW(control(count), L"");
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

// Another program holding the clipboard open gets a few short retries, then the import fails.
TEST_F(Form1WindowTest, ClipboardHeldOpenElsewhereFailsTheImport) {
    ASSERT_TRUE(putOnClipboard(sheet(2)));
    std::latch opened(1), release(1);
    std::thread holder([&] {
        OpenClipboard(nullptr);
        opened.count_down();
        release.wait();
        CloseClipboard();
    });
    opened.wait();
    click(ControlId::Command1);
    release.count_down();
    holder.join();
    EXPECT_EQ(std::vector<std::wstring>{L"失败，请先打开EXCEL报表并全选复制"}, m_dialogs->notices);
}

// While a long import runs the title counts the rows, the window repaints, and the clicks and
// keys given meanwhile are dropped, not handled once it ends.
TEST_F(Form1WindowTest, LongImportShowsProgressAndDropsInput) {
    constexpr int rows = 400000;
    ASSERT_TRUE(putOnClipboard(sheet(rows)));
    m_dialogs->onAsk = [&] {
        PostMessageW(control(ControlId::Command1), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(control(ControlId::Command1), WM_LBUTTONUP, 0, 0);
        PostMessageW(control(ControlId::Text1), WM_CHAR, L'x', 1);
        PostMessageW(control(ControlId::Text2), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        PostMessageW(window(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        PostMessageW(window(), WM_LBUTTONUP, 0, 0); // ends the move a handled caption click starts
        InvalidateRect(window(), nullptr, TRUE);    // as a question box leaves it
        m_dialogs->onAsk = nullptr;
    };
    // The window's titles, its paints while the import runs, and its frame's clicks.
    struct Seen {
        Form1Window* form;
        std::vector<std::wstring> titles;
        int paints = 0, frameClicks = 0;
    } seen{m_form.get(), {}};
    const SUBCLASSPROC spy = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
        auto& record = *reinterpret_cast<Seen*>(data);
        if (message == WM_SETTEXT)
            record.titles.push_back(reinterpret_cast<const wchar_t*>(lParam));
        if (message == WM_PAINT && record.form->form().operationRunning())
            ++record.paints;
        record.frameClicks += message == WM_NCLBUTTONDOWN;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    };
    SetWindowSubclass(window(), spy, 0, reinterpret_cast<DWORD_PTR>(&seen));
    click(ControlId::Command1);
    RemoveWindowSubclass(window(), spy, 0);

    EXPECT_GE(seen.paints, 1);
    EXPECT_EQ(0, seen.frameClicks);
    EXPECT_EQ(1u, m_dialogs->questions.size());
    EXPECT_EQ(L"镇府公用台变", text(ControlId::Text1));
    EXPECT_EQ(L"三相多功能电能表(费控)", text(ControlId::Text2));
    EXPECT_EQ(std::to_wstring(rows + 1), text(ControlId::Label5));
    const std::wregex fraction(L"\\d+/\\d+");
    std::vector<std::wstring> progress;
    std::copy_if(seen.titles.begin(), seen.titles.end(), std::back_inserter(progress),
                 [&](const std::wstring& title) { return std::regex_match(title, fraction); });
    ASSERT_GE(progress.size(), 2u);
    EXPECT_NE(progress.front(), progress.back());
    EXPECT_EQ(L"已完成导入，如果还有更多相同报表可继续全选复制并导入", seen.titles.back());
}

// The number of rows no longer fits Label3 at 72 points; it is drawn at the largest size at
// which it does.
TEST_F(Form1WindowTest, WideNumbersShrinkToFit) {
    ASSERT_TRUE(putOnClipboard(sheet(1234)));
    click(ControlId::Command1);
    click(ControlId::Command3);
    ASSERT_EQ(L"1234", text(ControlId::Label3));
    const int points = m_form->drawnPointSize(ControlId::Label3);
    EXPECT_LT(points, 72);
    const ControlSpec& entry = controlSpec(ControlId::Label3);
    const auto fits = [&](int size) {
        HFONT font = CreateFontW(-MulDiv(size, 96, 72), 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0,
                                 L"宋体");
        HDC dc = GetDC(window());
        const HGDIOBJ previous = SelectObject(dc, font);
        SIZE extent{};
        GetTextExtentPoint32W(dc, L"1234", 4, &extent);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, previous);
        ReleaseDC(window(), dc);
        DeleteObject(font);
        return extent.cx <= twipsToPixels(entry.box.width) &&
               metrics.tmAscent <= twipsToPixels(entry.box.height);
    };
    EXPECT_TRUE(fits(points));
    EXPECT_FALSE(fits(points + 1));
}

// A close while an import runs ends the program at once, with nothing more shown.
TEST(Form1WindowDeathTest, CloseDuringImportEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto dialogs = std::make_unique<ScriptedDialogs>();
            ScriptedDialogs& script = *dialogs;
            Form1Window form(GetModuleHandleW(nullptr), std::move(dialogs), programFolder());
            ShowWindow(form.window(), SW_SHOW);
            putOnClipboard(sheet(1000));
            script.onAsk = [&] { PostMessageW(form.window(), WM_SYSCOMMAND, SC_CLOSE, 0); };
            form.form().Command1_Click();
            std::exit(script.notices.empty() ? 2 : 3);
        },
        testing::ExitedWithCode(0), "");
}

// The system's own message boxes, once: a timer reads each box as "title|text|buttons",
// marked if it shows an icon or the window does not own it, then presses its last button.
HWND boxOwner = nullptr;
std::vector<std::wstring>* seenBoxes = nullptr;

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
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), readBox, 0);
    });
    form.form().Command1_Click(); // the question, answered No: nothing more
    form.form().Command4_Click(); // nothing to export yet: a notice
    KillTimer(nullptr, timer);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"是否执行?|确定要导入吗？先在WPS报表里全选复制报表，再导入|[是][否]",
                  L"Brisquel|导出失败，请先统计，有结果才能导出....|[确定]",
              }),
              boxes);
}

} // namespace
} // namespace brisquel::win32
