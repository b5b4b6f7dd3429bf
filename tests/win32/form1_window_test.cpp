// Form1Window under Wine: the real window and controls, driven with window messages.
#include "form1_window.h"
#include "put_clipboard.h"
#include "scripted_dialogs.h"
#include "wide_text.h"

#include "engine/export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

using brisquel::ControlId;
using brisquel::ControlKind;
using brisquel::ControlSpec;
using brisquel::controlSpec;
using brisquel::controlTable;
using brisquel::twipsToPixels;
using brisquel::win32::Form1Window;
using brisquel::win32::narrow;
using brisquel::win32::widen;

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

// Handles what is queued, as the message loop would, Tab and Enter included.
void pump(Form1Window& form) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT && !form.isDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void setClipboard(std::wstring_view text) {
    ASSERT_TRUE(brisquel::win32::putOnClipboard(text));
}

// A sheet as a Windows spreadsheet copies it: the header row, then `rows` rows that meet
// condition 1 and alternative 5.
std::wstring sheet(int rows) {
    std::wstring text = L"序号\t台区\t设备类型\r\n";
    for (int row = 1; row <= rows; ++row)
        text += std::to_wstring(row) + L"\t镇府公用台变\t三相多功能电能表\r\n";
    return text;
}

// Every title the window gets while the hook is set.
std::vector<std::wstring>* recordedTitles = nullptr;
HWND titledWindow = nullptr;

LRESULT CALLBACK recordTitle(int code, WPARAM wParam, LPARAM lParam) {
    const auto& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call.hwnd == titledWindow && call.message == WM_SETTEXT)
        recordedTitles->push_back(reinterpret_cast<const wchar_t*>(call.lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// How often the window is painted while an operation runs.
Form1Window* runningForm = nullptr;
int paintsWhileRunning = 0;

LRESULT CALLBACK countPaint(int code, WPARAM wParam, LPARAM lParam) {
    const auto& message = *reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && message.message == WM_PAINT && message.hwnd == runningForm->window() &&
        runningForm->form().operationRunning())
        ++paintsWhileRunning;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class Form1WindowTest : public testing::Test {
protected:
    void SetUp() override {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_form = std::make_unique<Form1Window>(GetModuleHandleW(nullptr), std::move(dialogs),
                                               brisquel::programFolder());
        ShowWindow(window(), SW_SHOW);
        pump(*m_form);
    }

    HWND window() const { return m_form->window(); }
    HWND control(ControlId id) const { return m_form->control(id); }
    std::wstring text(ControlId id) const { return windowText(control(id)); }

    void click(ControlId id) {
        if (controlSpec(id).kind == ControlKind::Button) {
            SendMessageW(control(id), BM_CLICK, 0, 0);
        } else {
            SendMessageW(control(id), WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageW(control(id), WM_LBUTTONUP, 0, 0);
        }
        pump(*m_form);
    }

    // A key pressed on the focused control, through the dialog manager as the loop passes it.
    void press(WPARAM key) {
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key, 1, 0, {}};
            if (!m_form->isDialogMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        pump(*m_form);
    }

    void importAndCount(int rows) {
        setClipboard(sheet(rows));
        click(ControlId::Command1);
        click(ControlId::Command3);
    }

    ScriptedDialogs* m_dialogs = nullptr;
    std::unique_ptr<Form1Window> m_form;
};

TEST_F(Form1WindowTest, ControlsMatchTheTableAt96Dpi) {
    ASSERT_EQ(96u, m_form->dpi());
    EXPECT_EQ(widen(brisquel::windowTitle), windowText(window()));
    RECT client;
    GetClientRect(window(), &client);
    EXPECT_EQ(746, client.right);
    EXPECT_EQ(365, client.bottom);
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(GetClassLongPtrW(window(), GCLP_HICON)));

    for (const ControlSpec& entry : controlTable) {
        SCOPED_TRACE(std::string(entry.name));
        const HWND item = control(entry.id);
        const wchar_t* expectedClass = entry.kind == ControlKind::Button  ? L"Button"
                                       : entry.kind == ControlKind::Field ? L"Edit"
                                                                          : L"Static";
        EXPECT_EQ(0, _wcsicmp(expectedClass, className(item).c_str()));
        EXPECT_EQ(widen(entry.text), windowText(item));
        EXPECT_EQ(entry.enabled, IsWindowEnabled(item) != FALSE);
        const bool takesFocus = entry.kind == ControlKind::Button || entry.kind == ControlKind::Field;
        EXPECT_EQ(takesFocus, (GetWindowLongPtrW(item, GWL_STYLE) & WS_TABSTOP) != 0);

        RECT box;
        GetWindowRect(item, &box);
        MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(twipsToPixels(entry.box.left), box.left);
        EXPECT_EQ(twipsToPixels(entry.box.top), box.top);
        EXPECT_EQ(twipsToPixels(entry.box.width), box.right - box.left);
        EXPECT_EQ(twipsToPixels(entry.box.height), box.bottom - box.top);

        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0)), sizeof font, &font);
        const brisquel::FontSpec expected = entry.font.pointSize ? entry.font : brisquel::windowFont;
        EXPECT_STREQ(L"宋体", font.lfFaceName);
        EXPECT_EQ(brisquel::gb2312Charset, font.lfCharSet);
        EXPECT_EQ(-MulDiv(expected.pointSize, 96, 72), font.lfHeight);
        EXPECT_EQ(expected.bold ? FW_BOLD : FW_NORMAL, font.lfWeight);
    }
    // The fields keep any length of text.
    EXPECT_GE(SendMessageW(control(ControlId::Text1), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

// The count labels' numbers come out in the table's colours, on the dialog background.
TEST_F(Form1WindowTest, CountLabelsDrawInTheirColours) {
    for (const ControlSpec& entry : controlTable) {
        if (entry.kind != ControlKind::Count)
            continue;
        SCOPED_TRACE(std::string(entry.name));
        RECT box;
        GetClientRect(control(entry.id), &box);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, box.right, box.bottom);
        ReleaseDC(nullptr, screen);
        const HGDIOBJ previous = SelectObject(dc, bitmap);
        SendMessageW(control(entry.id), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        const COLORREF ink = RGB(entry.colour->red, entry.colour->green, entry.colour->blue);
        int inked = 0;
        for (int y = 0; y < box.bottom; ++y) {
            for (int x = 0; x < box.right; ++x)
                inked += GetPixel(dc, x, y) == ink;
        }
        EXPECT_GT(inked, 3);
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, box.right - 1, box.bottom - 1));
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

TEST_F(Form1WindowTest, TabFollowsTheTableOrder) {
    using enum ControlId;
    EXPECT_EQ(control(Command1), GetFocus());
    const auto visit = [&](std::initializer_list<ControlId> order) {
        for (ControlId id : order) {
            press(VK_TAB);
            EXPECT_EQ(controlSpec(id).name,
                      controlSpec(static_cast<ControlId>(GetDlgCtrlID(GetFocus()) - 100)).name);
        }
    };
    visit({Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Command1});

    setClipboard(sheet(2));
    click(Command1); // enables the other three buttons
    visit({Text1, Text2, Command2, Text3, Text4, Command3, Text5, Text6, Text7, Text8, Command4, Command1});

    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    visit({Command4, Text8});
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

TEST_F(Form1WindowTest, EnterAndSpacePressTheFocusedButtonOnly) {
    m_dialogs->answers = {false, false};
    press(VK_RETURN); // on Command1
    press(VK_SPACE);
    ASSERT_EQ(2u, m_dialogs->questions.size());
    EXPECT_EQ(L"是否执行?", m_dialogs->questions[0].title);

    SetFocus(control(ControlId::Text1));
    press(VK_RETURN);
    press(VK_ESCAPE);
    EXPECT_EQ(2u, m_dialogs->questions.size());
    EXPECT_TRUE(IsWindowVisible(window()));
    EXPECT_EQ(L"镇府公用台变", text(ControlId::Text1));
}

TEST_F(Form1WindowTest, ImportCountAndExportThroughTheButtons) {
    importAndCount(3);
    EXPECT_EQ(L"4", text(ControlId::Label5)); // the header row is imported too
    EXPECT_EQ(L"3", text(ControlId::Label3));
    EXPECT_EQ(L"3", text(ControlId::Label7));
    EXPECT_EQ(L"3", text(ControlId::Label12));
    EXPECT_EQ(L"0", text(ControlId::Label8));
    EXPECT_EQ(L"已完成统计", windowText(window()));
    ASSERT_EQ(2u, m_dialogs->notices.size());
    EXPECT_EQ(L"已完成导入，如果还有更多相同报表可继续全选复制并导入", m_dialogs->notices[0]);
    for (ControlId command : brisquel::commandIds)
        EXPECT_TRUE(IsWindowEnabled(control(command)));
    EXPECT_EQ(control(ControlId::Command3), GetFocus()); // back on the button pressed

    click(ControlId::Command2); // reset
    EXPECT_EQ(L"0", text(ControlId::Label3));
    EXPECT_EQ(L"0", text(ControlId::Label5));
    EXPECT_EQ(L"已完成统计", windowText(window()));
}

TEST_F(Form1WindowTest, ExportIsWrittenInGbkToTheProgramFolder) {
    setClipboard(L"台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n东街\t三相多功能电能表\r\n");
    click(ControlId::Command1);
    click(ControlId::Command3);
    click(ControlId::Command4);
    ASSERT_EQ(3u, m_dialogs->notices.size());
    const std::wstring& notice = m_dialogs->notices[2];
    const std::wstring prefix = L"文件路径:\r\n";
    ASSERT_EQ(prefix, notice.substr(0, prefix.size()));
    const std::wstring path = notice.substr(prefix.size());
    EXPECT_EQ(widen(brisquel::programFolder()) + L"\\导出文件_", path.substr(0, path.find(L"导出文件_") + 5));

    std::ifstream file(path.c_str(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    file.close();
    EXPECT_EQ("\xCC\xA8\xC7\xF8\t\xC9\xE8\xB1\xB8\xC0\xE0\xD0\xCD\r\n"
              "\xD5\xF2\xB8\xAE\xB9\xAB\xD3\xC3\xCC\xA8\xB1\xE4\t\xC8\xFD\xCF\xE0\xB6\xE0\xB9\xA6\xC4\xDC\xB5"
              "\xE7\xC4\xDC\xB1\xED",
              bytes);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(Form1WindowTest, RefusalsAndNoLeaveTheWindowAsItWas) {
    setClipboard(L"一行没有换行");
    m_dialogs->answers = {true};
    click(ControlId::Command1);
    EXPECT_EQ(L"失败，请先打开EXCEL报表并全选复制", m_dialogs->notices.back());
    EXPECT_FALSE(IsWindowEnabled(control(ControlId::Command2)));

    m_dialogs->answers = {false};
    setClipboard(sheet(2));
    click(ControlId::Command1);
    EXPECT_EQ(L"0", text(ControlId::Label5));
    EXPECT_EQ(widen(brisquel::windowTitle), windowText(window()));

    m_form->form().Command4_Click();
    EXPECT_EQ(L"导出失败，请先统计，有结果才能导出....", m_dialogs->notices.back());
}

// Another program holding the clipboard open gets a few short retries, then the import fails.
TEST_F(Form1WindowTest, ClipboardHeldOpenElsewhereFailsTheImport) {
    setClipboard(sheet(2));
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        OpenClipboard(nullptr);
        SetEvent(opened);
        WaitForSingleObject(release, 10000);
        CloseClipboard();
    });
    WaitForSingleObject(opened, 10000);
    click(ControlId::Command1);
    SetEvent(release);
    holder.join();
    CloseHandle(opened);
    CloseHandle(release);
    ASSERT_EQ(1u, m_dialogs->notices.size());
    EXPECT_EQ(L"失败，请先打开EXCEL报表并全选复制", m_dialogs->notices[0]);
    EXPECT_EQ(L"0", text(ControlId::Label5));
}

TEST_F(Form1WindowTest, LabelClicksAndFieldDoubleClicks) {
    importAndCount(4);
    SetWindowTextW(control(ControlId::Label3), L"");
    SetWindowTextW(control(ControlId::Label5), L"");
    click(ControlId::Label3);
    click(ControlId::Label5);
    EXPECT_EQ(L"4", text(ControlId::Label3));
    EXPECT_EQ(L"5", text(ControlId::Label5));

    setClipboard(L"新的 内容\r\n");
    SendMessageW(control(ControlId::Text7), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(L"新的 内容", text(ControlId::Text7));

    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    SendMessageW(control(ControlId::Text3), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    EXPECT_EQ(L"台区", text(ControlId::Text3));
}

// While a long import runs the title counts the rows, the window repaints, and the clicks and
// keys given meanwhile are dropped, not handled once it ends.
TEST_F(Form1WindowTest, LongImportShowsProgressAndDropsInput) {
    constexpr int rows = 400000;
    setClipboard(sheet(rows));
    m_dialogs->onAsk = [&] {
        PostMessageW(control(ControlId::Command1), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(control(ControlId::Command1), WM_LBUTTONUP, 0, 0);
        PostMessageW(control(ControlId::Text1), WM_CHAR, L'x', 1);
        PostMessageW(control(ControlId::Text2), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        PostMessageW(window(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        InvalidateRect(window(), nullptr, TRUE); // as a question box leaves it
        m_dialogs->onAsk = nullptr;
    };
    std::vector<std::wstring> titles;
    recordedTitles = &titles;
    titledWindow = window();
    runningForm = m_form.get();
    paintsWhileRunning = 0;
    HHOOK titleHook = SetWindowsHookExW(WH_CALLWNDPROC, recordTitle, nullptr, GetCurrentThreadId());
    HHOOK paintHook = SetWindowsHookExW(WH_GETMESSAGE, countPaint, nullptr, GetCurrentThreadId());
    click(ControlId::Command1);
    UnhookWindowsHookEx(titleHook);
    UnhookWindowsHookEx(paintHook);

    EXPECT_GE(paintsWhileRunning, 1);

    EXPECT_EQ(1u, m_dialogs->questions.size());
    EXPECT_EQ(L"镇府公用台变", text(ControlId::Text1));
    EXPECT_EQ(L"三相多功能电能表(费控)", text(ControlId::Text2));
    EXPECT_EQ(std::to_wstring(rows + 1), text(ControlId::Label5));

    const std::wregex progress(L"(\\d+)/(\\d+)");
    std::vector<std::wstring> progressTitles;
    for (const std::wstring& title : titles) {
        if (std::regex_match(title, progress))
            progressTitles.push_back(title);
    }
    ASSERT_GE(progressTitles.size(), 2u);
    EXPECT_NE(progressTitles.front(), progressTitles.back());
    EXPECT_EQ(L"已完成导入，如果还有更多相同报表可继续全选复制并导入", titles.back());
}

// The number of rows no longer fits Label3 at 72 points; it is drawn at the largest size at
// which it does.
TEST_F(Form1WindowTest, WideNumbersShrinkToFit) {
    importAndCount(1234);
    ASSERT_EQ(L"1234", text(ControlId::Label3));
    const int points = m_form->drawnPointSize(ControlId::Label3);
    EXPECT_LT(points, 72);
    EXPECT_GT(points, 20);
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

TEST_F(Form1WindowTest, DpiChangeRescalesBoxesAndFonts) {
    RECT suggested{0, 0, 1200, 700};
    SendMessageW(window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    const ControlSpec& entry = controlSpec(ControlId::Label4);
    RECT box;
    GetWindowRect(control(entry.id), &box);
    MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(twipsToPixels(entry.box.left, 144), box.left);
    EXPECT_EQ(twipsToPixels(entry.box.width, 144), box.right - box.left);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(entry.id), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    EXPECT_EQ(-MulDiv(12, 144, 72), font.lfHeight);
}

// A close while an import runs ends the program at once, with nothing more shown.
TEST(Form1WindowDeathTest, CloseDuringImportEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto dialogs = std::make_unique<ScriptedDialogs>();
            ScriptedDialogs& script = *dialogs;
            Form1Window form(GetModuleHandleW(nullptr), std::move(dialogs), brisquel::programFolder());
            ShowWindow(form.window(), SW_SHOW);
            setClipboard(sheet(1000));
            script.onAsk = [&] { PostMessageW(form.window(), WM_SYSCOMMAND, SC_CLOSE, 0); };
            form.form().Command1_Click();
            std::exit(script.notices.empty() ? 2 : 3);
        },
        testing::ExitedWithCode(0), "");
}

// The system's own message boxes, once: owned by the window, titled, worded and buttoned as
// a Chinese Windows shows them, without an icon.
struct SeenBox {
    HWND owner = nullptr;
    std::wstring title, text;
    std::vector<std::wstring> buttons;
    bool icon = false;
};
std::vector<SeenBox>* seenBoxes = nullptr;
const wchar_t* buttonToPress = nullptr;

BOOL CALLBACK readBox(HWND box, LPARAM) {
    if (className(box) != L"#32770" || !IsWindowVisible(box))
        return TRUE;
    SeenBox seen{GetWindow(box, GW_OWNER), windowText(box), {}, {}, false};
    HWND press = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if (_wcsicmp(className(child).c_str(), L"Button") == 0) {
            seen.buttons.push_back(windowText(child));
            if (seen.buttons.back().find(buttonToPress) != std::wstring::npos)
                press = child;
        } else if ((style & SS_TYPEMASK) == SS_ICON) {
            seen.icon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
        } else if (!windowText(child).empty()) {
            seen.text = windowText(child);
        }
    }
    seenBoxes->push_back(seen);
    if (press)
        PostMessageW(press, BM_CLICK, 0, 0);
    return FALSE;
}

void CALLBACK findBox(HWND, UINT, UINT_PTR timer, DWORD) {
    const std::size_t before = seenBoxes->size();
    EnumThreadWindows(GetCurrentThreadId(), readBox, 0);
    if (seenBoxes->size() > before)
        KillTimer(nullptr, timer);
}

TEST(Form1WindowMessageBoxTest, QuestionsAndNoticesAreSystemMessageBoxes) {
    Form1Window form(GetModuleHandleW(nullptr), std::make_unique<brisquel::win32::MessageBoxDialogs>(),
                     brisquel::programFolder());
    ShowWindow(form.window(), SW_SHOW);
    std::vector<SeenBox> boxes;
    seenBoxes = &boxes;

    buttonToPress = L"否";
    SetTimer(nullptr, 0, 100, findBox);
    form.form().Command1_Click(); // the question, answered No
    buttonToPress = L"确定";
    SetTimer(nullptr, 0, 100, findBox);
    form.form().Command4_Click(); // nothing to export yet: a notice

    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(form.window(), boxes[0].owner);
    EXPECT_EQ(L"是否执行?", boxes[0].title);
    EXPECT_EQ(L"确定要导入吗？先在WPS报表里全选复制报表，再导入", boxes[0].text);
    ASSERT_EQ(2u, boxes[0].buttons.size());
    EXPECT_NE(std::wstring::npos, boxes[0].buttons[0].find(L"是"));
    EXPECT_NE(std::wstring::npos, boxes[0].buttons[1].find(L"否"));
    EXPECT_FALSE(boxes[0].icon);
    EXPECT_EQ(widen(brisquel::windowTitle), windowText(form.window())); // No: nothing ran

    EXPECT_EQ(form.window(), boxes[1].owner);
    EXPECT_EQ(L"Brisquel", boxes[1].title);
    EXPECT_EQ(L"导出失败，请先统计，有结果才能导出....", boxes[1].text);
    ASSERT_EQ(1u, boxes[1].buttons.size());
    EXPECT_EQ(L"确定", boxes[1].buttons[0]);
    EXPECT_FALSE(boxes[1].icon);
}

} // namespace
