// Form1Window: the standard controls made from Form1's table, their events handed to Form1.
#include "form1_window.h"

#include "resource.h"
#include "wide_text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace brisquel::win32 {

namespace {

constexpr wchar_t windowClass[] = L"BrisquelForm1";
constexpr DWORD windowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

int scaled(int twips, UINT dpi) {
    return twipsToPixels(twips, static_cast<int>(dpi));
}

// Every font is "宋体" in the GB2312 character set; a control without a font of its own
// takes the window's. The size asked for is the height of a line, which in "宋体" is the
// size of its characters: a face standing in for it that reaches higher or lower is made
// smaller, so the window's texts keep to their boxes.
FontHandle makeFont(FontSpec entry, UINT dpi) {
    if (entry.pointSize == 0)
        entry = windowFont;
    static const std::wstring face = widen(songFace);
    return FontHandle(CreateFontW(MulDiv(entry.pointSize, static_cast<int>(dpi), 72), 0, 0, 0,
                                  entry.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, gb2312Charset,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

COLORREF textColour(const ControlSpec& entry) {
    if (!entry.colour)
        return GetSysColor(COLOR_WINDOWTEXT);
    return RGB(entry.colour->red, entry.colour->green, entry.colour->blue);
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HWND makeControl(HWND parent, HINSTANCE instance, const ControlSpec& entry) {
    constexpr DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    const wchar_t* kind = L"STATIC";
    DWORD style = common | SS_NOPREFIX;
    DWORD exStyle = 0;
    switch (entry.kind) {
    case ControlKind::Button:
        // None is the default button: Enter presses the focused one, a field presses none.
        kind = L"BUTTON";
        style = common | WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case ControlKind::Field:
        kind = L"EDIT";
        style = common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Label:
        style |= SS_LEFT; // wraps within the box, and cuts off what does not fit
        break;
    case ControlKind::Count:
        // Drawn by the window, which shrinks a wide number; the text stays the control's.
        style |= SS_OWNERDRAW | SS_NOTIFY;
        break;
    }
    if (!entry.enabled)
        style |= WS_DISABLED;
    HWND control = CreateWindowExW(exStyle, kind, widen(entry.text).c_str(), style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlWindowId(entry.id))),
                                   instance, nullptr);
    if (!control)
        throw std::runtime_error("cannot create a control");
    if (entry.kind == ControlKind::Field)
        SendMessageW(control, EM_SETLIMITTEXT, 0, 0); // no limit
    return control;
}

// Form1 reads its clock at every row the engine reports, a million times in a full sheet.
// The tick count is read from memory the system keeps up to date, where the precise
// counters cost a call into the system each (a microsecond under Wine, as long as the row);
// its steps of 16 ms or less are fine for progress shown every 33 ms.
std::chrono::steady_clock::time_point progressClock() {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(GetTickCount64()));
}

// The files of a drop or of the clipboard's file list, in their order, as UTF-8.
std::vector<std::string> droppedFiles(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        files.push_back(narrow(path));
    }
    return files;
}

// The pointer messages of Windows 8 and later follow WM_TOUCH; the headers declare them only
// for programs that need Windows 8.
constexpr UINT pointerLast = 0x024F; // WM_POINTERHWHEEL

bool isUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           (message >= WM_IME_STARTCOMPOSITION && message <= WM_IME_KEYLAST) || message == WM_IME_CHAR ||
           (message >= WM_TOUCH && message <= pointerLast) || message == WM_NCMOUSEHOVER ||
           message == WM_NCMOUSELEAVE || message == WM_MOUSEHOVER || message == WM_MOUSELEAVE;
}

// The title bar's moving, minimising and maximising are the window manager's, not input to
// the form.
bool isTitleBarInput(const MSG& message) {
    return message.message >= WM_NCMOUSEMOVE && message.message <= WM_NCMBUTTONDBLCLK &&
           (message.wParam == HTCAPTION || message.wParam == HTMINBUTTON || message.wParam == HTMAXBUTTON);
}

// A close the user asks for with the mouse or the keyboard, which would otherwise be
// dropped with the rest of the input.
bool isCloseInput(const MSG& message) {
    return (message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE) ||
           (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4);
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClassInfo{};
    windowClassInfo.cbSize = sizeof windowClassInfo;
    windowClassInfo.lpfnWndProc = procedure;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClassInfo.lpszClassName = windowClass;
    windowClassInfo.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_BRISQUEL), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    windowClassInfo.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_BRISQUEL),
                                                            IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!RegisterClassExW(&windowClassInfo) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("cannot register the window class");
}

} // namespace

// The window is built in three steps: the controls from the table, then the handlers
// wired to them, then Form_Load.
Form1Window::Form1Window(HINSTANCE instance, std::unique_ptr<Dialogs> dialogs, std::string exportFolder,
                         DpiFunctions dpiFunctions)
    : m_instance(instance), m_dialogs(std::move(dialogs)), m_dpiOf(dpiFunctions),
      m_form(*this, std::move(exportFolder), progressClock) {
    registerWindowClass(instance, windowProcedure);
    m_background.reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    CreateWindowExW(0, windowClass, widen(windowTitle).c_str(), windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!m_window)
        throw std::runtime_error("cannot create the window");
    createControls();
    applyDpi(m_dpiOf.ofWindow(m_window));
    const RECT frame =
        m_dpiOf.frameFor({0, 0, scaled(clientWidth, m_dpi), scaled(clientHeight, m_dpi)}, windowStyle, m_dpi);
    SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    connectHandlers();
    DragAcceptFiles(m_window, TRUE);
    m_form.Form_Load();
    m_focusBeforeDeactivation = control(ControlId::Command1); // focused when the window activates
}

Form1Window::~Form1Window() {
    if (m_window) {
        // Destroyed by its owner, not closed by the user: the message loop goes on.
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

// Created in tab order: the dialog manager's Tab follows the children's order.
void Form1Window::createControls() {
    for (const ControlSpec& entry : controlTable)
        m_controls[static_cast<std::size_t>(entry.id)] = makeControl(m_window, m_instance, entry);
    for (const ControlSpec& entry : controlTable) {
        if (entry.kind == ControlKind::Field)
            SetWindowSubclass(control(entry.id), fieldProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
        else if (entry.kind == ControlKind::Count)
            SetWindowSubclass(control(entry.id), countProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

void Form1Window::connectHandlers() {
    const auto on = [this](ControlId id, void (Form1::*handler)()) {
        m_handlers[static_cast<std::size_t>(id)] = handler;
    };
    on(ControlId::Command1, &Form1::Command1_Click);
    on(ControlId::Command2, &Form1::Command2_Click);
    on(ControlId::Command3, &Form1::Command3_Click);
    on(ControlId::Command4, &Form1::Command4_Click);
    on(ControlId::Label3, &Form1::Label3_Click);
    on(ControlId::Label5, &Form1::Label5_Click);
    on(ControlId::Text1, &Form1::Text1_DblClick);
    on(ControlId::Text2, &Form1::Text2_DblClick);
    on(ControlId::Text3, &Form1::Text3_DblClick);
    on(ControlId::Text4, &Form1::Text4_DblClick);
    on(ControlId::Text5, &Form1::Text5_DblClick);
    on(ControlId::Text6, &Form1::Text6_DblClick);
    on(ControlId::Text7, &Form1::Text7_DblClick);
    on(ControlId::Text8, &Form1::Text8_DblClick);
}

// Boxes and fonts for the monitor's dots per inch. The new fonts are set before the old
// ones are deleted, so no control ever holds a deleted font.
void Form1Window::applyDpi(UINT dpi) {
    m_dpi = dpi;
    m_countFonts.clear(); // each count label is fitted again below, before it is drawn
    for (const ControlSpec& entry : controlTable) {
        const std::size_t i = static_cast<std::size_t>(entry.id);
        MoveWindow(m_controls[i], scaled(entry.box.left, dpi), scaled(entry.box.top, dpi),
                   scaled(entry.box.width, dpi), scaled(entry.box.height, dpi), FALSE);
        FontHandle font = makeFont(entry.font, dpi);
        SendMessageW(m_controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        m_fonts[i] = std::move(font);
        if (entry.kind == ControlKind::Count)
            fitCount(entry.id, windowText(m_controls[i]));
    }
    setIcons();
    InvalidateRect(m_window, nullptr, TRUE);
}

// The window's own icons, which the task bar and Alt+Tab ask for, at the sizes the system
// shows them at m_dpi; each replaced before the old one is destroyed.
void Form1Window::setIcons() {
    for (const auto& [which, metric] : {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
        const int size = m_dpiOf.systemMetric(metric, m_dpi);
        IconHandle icon(static_cast<HICON>(
            LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_BRISQUEL), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        SendMessageW(m_window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon.get()));
        m_icons[static_cast<std::size_t>(which)] = std::move(icon);
    }
}

// The largest point size, down from the table's, at which the number, drawn from the
// label's top-left corner, fits the label: its advance within the width, and the digits,
// which sit on the baseline, above the bottom edge. A face standing in for "宋体" may
// reach higher above the baseline than "宋体" does.
void Form1Window::fitCount(ControlId count, const std::wstring& text) {
    const ControlSpec& entry = controlSpec(count);
    const int width = scaled(entry.box.width, m_dpi);
    const int height = scaled(entry.box.height, m_dpi);
    FittedFont fitted;
    for (int points = entry.font.pointSize; points >= 1; --points) {
        const CountFont& font = countFont({points, entry.font.bold});
        fitted = {font.font.get(), points};
        SIZE size{};
        GetTextExtentPoint32W(font.measuring.get(), text.c_str(), static_cast<int>(text.size()), &size);
        if (size.cx <= width && font.ascent <= height)
            break;
    }
    m_fitted[static_cast<std::size_t>(count)] = fitted;
}

const Form1Window::CountFont& Form1Window::countFont(FontSpec wanted) {
    CountFont& font = m_countFonts[{wanted.pointSize, wanted.bold}];
    if (!font.font) {
        font.font = makeFont(wanted, m_dpi);
        font.measuring.reset(CreateCompatibleDC(nullptr));
        SelectObject(font.measuring.get(), font.font.get());
        TEXTMETRICW metrics{};
        GetTextMetricsW(font.measuring.get(), &metrics);
        font.ascent = metrics.tmAscent;
    }
    return font;
}

LRESULT CALLBACK Form1Window::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        return self->handleMessage(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Form1Window::fieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(field, fieldProcedure, 0);
    const LRESULT result = DefSubclassProc(field, message, wParam, lParam);
    if (message == WM_LBUTTONDBLCLK) {
        auto& window = *reinterpret_cast<Form1Window*>(self);
        const auto id = static_cast<std::size_t>(GetDlgCtrlID(field) - controlWindowId(ControlId{}));
        (window.m_form.*window.m_handlers[id])();
    }
    return result;
}

// A count is clicked as a button is: pressed, then released over it; a press taken back by
// releasing the button elsewhere is no click. The static control's own STN_CLICKED comes on
// the press and goes unused. The second press of a double click is a click of its own.
LRESULT CALLBACK Form1Window::countProcedure(HWND count, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(count);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == count) {
            ReleaseCapture();
            RECT area;
            GetClientRect(count, &area);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            auto& window = *reinterpret_cast<Form1Window*>(self);
            const auto id = static_cast<std::size_t>(GetDlgCtrlID(count) - controlWindowId(ControlId{}));
            if (PtInRect(&area, at) && window.m_handlers[id])
                (window.m_form.*window.m_handlers[id])();
        }
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(count, countProcedure, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(count, message, wParam, lParam);
}

LRESULT Form1Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_PAINT:
        paint();
        return 0;
    case WM_DRAWITEM:
        drawCount(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) - controlWindowId(ControlId{});
        if (id >= 0 && id < static_cast<int>(controlTable.size()))
            SetTextColor(dc, textColour(controlTable[static_cast<std::size_t>(id)]));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DROPFILES: {
        // A drop is input: while an operation runs it is dropped like the rest.
        const auto drop = reinterpret_cast<HDROP>(wParam);
        const std::vector<std::string> files = droppedFiles(drop);
        DragFinish(drop);
        if (!m_form.operationRunning())
            m_form.Form_OLEDragDrop(files);
        return 0;
    }
    case WM_ACTIVATE:
        onActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case dpiChangedMessage: {
        applyDpi(HIWORD(wParam));
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && m_form.operationRunning())
            endProgram();
        break;
    case WM_CLOSE:
        if (m_form.operationRunning())
            endProgram();
        DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        m_window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

// A button's click comes as BN_CLICKED; a count's comes from its own procedure. Enter comes from the dialog
// manager as IDOK and presses the focused button, if one has the focus; Escape comes as IDCANCEL and closes
// nothing.
void Form1Window::onCommand(WORD id, WORD code) {
    if (id == IDOK) {
        const HWND focus = GetFocus();
        for (ControlId command : commandIds) {
            if (focus == control(command) && IsWindowEnabled(focus))
                (m_form.*m_handlers[static_cast<std::size_t>(command)])();
        }
        return;
    }
    const int row = id - controlWindowId(ControlId{});
    if (code != BN_CLICKED || row < 0 || row >= static_cast<int>(controlTable.size()))
        return;
    const auto handler = m_handlers[static_cast<std::size_t>(row)];
    if (handler && controlTable[static_cast<std::size_t>(row)].kind == ControlKind::Button)
        (m_form.*handler)();
}

// The focus leaves with the window and comes back to the same control, as in a dialog:
// a message box the window owns takes it and gives it back.
void Form1Window::onActivate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus && IsChild(m_window, focus))
            m_focusBeforeDeactivation = focus;
    } else if (m_focusBeforeDeactivation && IsWindow(m_focusBeforeDeactivation)) {
        SetFocus(m_focusBeforeDeactivation);
    }
}

// The background picture at the top-left corner and the two lines; the controls paint
// themselves.
void Form1Window::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_window, &ps);
    if (m_background) {
        HDC source = CreateCompatibleDC(dc);
        const HGDIOBJ previous = SelectObject(source, m_background.get());
        const int size = MulDiv(16, static_cast<int>(m_dpi), USER_DEFAULT_SCREEN_DPI);
        StretchBlt(dc, 0, 0, size, size, source, 0, 0, 16, 16, SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    const int width = std::max(1, MulDiv(1, static_cast<int>(m_dpi), USER_DEFAULT_SCREEN_DPI));
    for (const LineSpec& line : lineTable) {
        const RECT rule{scaled(line.x, m_dpi), scaled(line.top, m_dpi), scaled(line.x, m_dpi) + width,
                        scaled(line.bottom, m_dpi) + 1};
        FillRect(dc, &rule, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
    EndPaint(m_window, &ps);
}

void Form1Window::drawCount(const DRAWITEMSTRUCT& item) {
    const auto row = static_cast<std::size_t>(static_cast<int>(item.CtlID) - controlWindowId(ControlId{}));
    const std::wstring text = windowText(item.hwndItem);
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, textColour(controlTable[row]));
    const HGDIOBJ previous = SelectObject(item.hDC, m_fitted[row].font);
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, previous);
}

// A close while an operation runs: the engine cannot stop in the middle of a pass, and
// nothing the tool holds outlives the window.
void Form1Window::endProgram() {
    ExitProcess(0);
}

bool Form1Window::ask(std::string_view title, std::string_view text) {
    return m_dialogs->ask(m_window, widen(title), widen(text));
}

void Form1Window::notify(std::string_view text) {
    m_dialogs->notify(m_window, widen(text));
}

void Form1Window::setTitle(std::string_view title) {
    SetWindowTextW(m_window, widen(title).c_str());
}

void Form1Window::setText(ControlId id, std::string_view text) {
    const std::wstring wide = widen(text);
    if (controlSpec(id).kind == ControlKind::Count)
        fitCount(id, wide);
    SetWindowTextW(control(id), wide.c_str());
    if (controlSpec(id).kind == ControlKind::Count)
        InvalidateRect(control(id), nullptr, TRUE);
}

void Form1Window::setEnabled(ControlId id, bool enabled) {
    EnableWindow(control(id), enabled);
}

void Form1Window::setFocus(ControlId id) {
    SetFocus(control(id));
}

std::string Form1Window::fieldText(ControlId field) {
    return narrow(windowText(control(field)));
}

// The clipboard's text stays in the clipboard's own memory, locked and with the clipboard
// open, until Form1 lets go of it. Another program may hold the clipboard open for a moment
// (a spreadsheet still writing its copy): a few short retries before giving up. Files copied
// in Explorer come as a file list instead, and are read before any text.
ClipboardText Form1Window::readClipboard() {
    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(m_window)); ++attempt)
        Sleep(20);
    if (!open)
        return {};
    if (const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP))) {
        ClipboardText copied;
        copied.files = droppedFiles(drop);
        if (!copied.files.empty()) {
            CloseClipboard();
            return copied;
        }
    }
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* units = data ? static_cast<const char16_t*>(GlobalLock(data)) : nullptr;
    if (!units) {
        CloseClipboard();
        return {};
    }
    std::shared_ptr<const void> keeper;
    try {
        keeper = std::shared_ptr<const void>(units, [data](const void*) {
            GlobalUnlock(data);
            CloseClipboard();
        });
    } catch (...) {
        GlobalUnlock(data);
        CloseClipboard();
        throw;
    }
    const std::u16string_view all(units, GlobalSize(data) / sizeof(char16_t));
    return {all.substr(0, all.find(u'\0')), std::move(keeper)};
}

// Paints, timers, the system's own messages and the title bar's moves are handled; the user's
// keys and clicks are dropped, so that nothing acts after the operation. A close ends the
// program at once (see Form1::operationRunning).
void Form1Window::showPendingNow() {
    MSG message;
    bool quit = false;
    WPARAM quitCode = 0;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            quitCode = message.wParam;
            continue;
        }
        if (isCloseInput(message) && m_form.operationRunning())
            endProgram();
        if (!isUserInput(message.message) || isTitleBarInput(message))
            DispatchMessageW(&message);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

} // namespace brisquel::win32
