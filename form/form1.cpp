// Form1's handlers: each asks, locks, runs one engine operation, reports and unlocks.
#include "form/form1.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/memory.h"
#include "engine/tally.h"
#include "engine/text.h"
#include "form/clipboard_text.h"
#include "form/file_import.h"

#include <new>

namespace brisquel {

namespace {

constexpr std::string_view questionTitle = "是否执行?";
constexpr std::string_view importQuestion = "确定要导入吗？先在WPS报表里全选复制报表，再导入";
constexpr std::string_view importFailure = "失败，请先打开EXCEL报表并全选复制";
constexpr std::string_view importDone = "已完成导入，如果还有更多相同报表可继续全选复制并导入";
constexpr std::string_view resetQuestion = "确定要置零吗？";
constexpr std::string_view statisticsQuestion = "确定要统计吗？先导入报表所有行再统计";
constexpr std::string_view statisticsDone = "已完成统计";
constexpr std::string_view exportQuestion =
    "确定要导出本次统计有效的列表吗？导出文本文件可以用WPS报表打开就是报表了，可另存为XLSX格式，"
    "TAB制表符分隔，如果有数字变指数请在WPS报表里把该列单元格属性改为分数或文本";
constexpr std::string_view exportRefusal = "导出失败，请先统计，有结果才能导出....";
constexpr std::string_view exportDone = "文件路径:";
constexpr std::string_view exportFailure = "导出失败，无法写入文件:";
constexpr std::string_view outOfMemory = "失败，内存不足，无法完成此操作";
// A file of an import that cannot be imported: what is wrong, the file, and what to do.
constexpr std::string_view fileCannotOpen = "无法打开文件:";
constexpr std::string_view fileNotAReport = "无法导入，这不是报表文件:";
constexpr std::string_view fileReportKinds =
    "可以导入的文件：XLSX、XLSM、XLS、ET、ODS 工作簿，网页格式、XML 格式的 XLS 表格，CSV、TXT 文本文件";
constexpr std::string_view fileOtherKind = "无法导入这种表格文件:";
constexpr std::string_view fileSaveAsXlsx = "请在WPS或EXCEL里打开它，另存为XLSX格式，再导入另存的文件";
constexpr std::string_view fileDamaged = "文件已损坏，无法导入:";
constexpr std::string_view fileEncrypted = "文件设有密码，无法导入:";
constexpr std::string_view fileRemovePassword =
    "请在WPS或EXCEL里打开它，取消密码后另存为XLSX格式，再导入另存的文件";
constexpr std::string_view fileEmpty = "文件里没有数据，无法导入:";
constexpr std::string_view nothingImported = "本次导入没有导入任何数据";

// The engine reports every row; the window shows the latest report at most this often.
constexpr std::chrono::milliseconds showInterval{33};
// The counts, which change with nearly every row, at most this often: drawn in their large
// type ten times a second they read as well, and cost the window a third as much.
constexpr std::chrono::milliseconds countsInterval{100};

std::string lines(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) {
        if (!text.empty())
            text += crlf; // messages break lines with CR LF
        text += part;
    }
    return text;
}

// The notice for a file that could not be imported.
std::string fileNotice(const FileImportResult& result) {
    const std::string_view path = result.path;
    const std::string_view detail = result.detail;
    switch (result.failure) {
    case FileFailure::CannotOpen:
        return lines({fileCannotOpen, path, detail, nothingImported});
    case FileFailure::NotASpreadsheet:
        if (detail.empty())
            return lines({fileNotAReport, path, fileReportKinds, nothingImported});
        return lines({fileNotAReport, path, detail, fileReportKinds, nothingImported});
    case FileFailure::OtherSpreadsheet:
        return lines({fileOtherKind, path, detail, fileSaveAsXlsx, nothingImported});
    case FileFailure::Damaged:
        return lines({fileDamaged, path, detail, nothingImported});
    case FileFailure::Encrypted:
        if (detail.empty())
            return lines({fileEncrypted, path, fileRemovePassword, nothingImported});
        return lines({fileEncrypted, path, detail, fileRemovePassword, nothingImported});
    case FileFailure::Empty:
        return lines({fileEmpty, path, nothingImported});
    case FileFailure::OutOfMemory:
    case FileFailure::None:
        break;
    }
    return lines({outOfMemory, path, nothingImported});
}

std::size_t fileTextLimit() {
    return importTextLimit(physicalMemory(), addressSpace());
}

} // namespace

Form1::Form1(Form1Host& host, std::string exportFolder, Clock clock)
    : m_host(host), m_exportFolder(std::move(exportFolder)), m_clock(std::move(clock)) {}

void Form1::Form_Load() {
    // A new tally state is the initialised one: alli and alltxti 0, both texts empty.
    m_state = TallyState();
}

void Form1::Command1_Click() {
    if (!ask(importQuestion))
        return;
    // The clipboard is let go before any notice: on Windows it stays open, and closed to
    // every other program, for as long as its text is held.
    ClipboardText clipboard = m_host.readClipboard();
    if (!clipboard.files.empty()) {
        const std::vector<std::string> files = std::move(clipboard.files);
        clipboard = {};
        importFromFiles(files);
        return;
    }
    if (!isImportable(clipboard, platformLineEnds())) {
        clipboard = {};
        m_host.notify(importFailure);
        return;
    }
    lockWindow();
    const bool imported = runOperation([&] {
        const ClipboardText text = std::move(clipboard);
        importClipboard(m_state, text, platformLineEnds(), *this);
    });
    if (imported) {
        setTitle(importDone);
        m_host.notify(importDone);
    }
    unlockWindow(ControlId::Command1);
}

void Form1::Command2_Click() {
    if (!ask(resetQuestion))
        return;
    m_state.reset(*this);
    setPendingTexts(true);
}

void Form1::Command3_Click() {
    if (!ask(statisticsQuestion))
        return;
    lockWindow();
    if (runOperation([&] { runStatistics(m_state, *this); })) {
        setTitle(statisticsDone);
        m_host.notify(statisticsDone);
    }
    unlockWindow(ControlId::Command3);
}

void Form1::Command4_Click() {
    if (!canExport(m_state)) {
        m_host.notify(exportRefusal);
        return;
    }
    if (!ask(exportQuestion))
        return;
    lockWindow();
    ExportResult result;
    if (runOperation([&] { result = exportList(m_state, m_exportFolder, currentLocalTime()); })) {
        if (result.ok())
            m_host.notify(lines({exportDone, result.path}));
        else
            m_host.notify(lines({exportFailure, result.path, result.error}));
    }
    unlockWindow(ControlId::Command4);
}

void Form1::Label3_Click() {
    m_host.setText(ControlId::Label3, DecimalText(m_state.alli()).view());
}

void Form1::Label5_Click() {
    m_host.setText(ControlId::Label5, DecimalText(m_state.alltxti()).view());
}

void Form1::Text1_DblClick() {
    pasteInto(FieldId::Text1);
}

void Form1::Text2_DblClick() {
    pasteInto(FieldId::Text2);
}

void Form1::Text3_DblClick() {
    pasteInto(FieldId::Text3);
}

void Form1::Text4_DblClick() {
    pasteInto(FieldId::Text4);
}

void Form1::Text5_DblClick() {
    pasteInto(FieldId::Text5);
}

void Form1::Text6_DblClick() {
    pasteInto(FieldId::Text6);
}

void Form1::Text7_DblClick() {
    pasteInto(FieldId::Text7);
}

void Form1::Text8_DblClick() {
    pasteInto(FieldId::Text8);
}

void Form1::Form_OLEDragDrop(const std::vector<std::string>& files) {
    if (files.empty() || !ask(importQuestion))
        return;
    importFromFiles(files);
}

// Each file fails on its own notice, after which the window is as the import found it: the
// rows, the counts, the title, and the buttons a first import had not yet enabled.
void Form1::importFromFiles(const std::vector<std::string>& files) {
    lockWindow();
    FileImportResult result;
    const bool finished = runOperation([&] { result = importFiles(m_state, files, *this, fileTextLimit()); });
    if (finished && result.ok()) {
        setTitle(importDone);
        m_host.notify(importDone);
    } else if (finished) {
        m_host.setTitle(m_title);
        m_host.notify(fileNotice(result));
        if (!m_unlockedOnce) {
            m_host.setEnabled(ControlId::Command1, true);
            m_host.setFocus(ControlId::Command1);
            return;
        }
    }
    unlockWindow(ControlId::Command1);
}

void Form1::pasteInto(FieldId field) {
    const ClipboardText clipboard = m_host.readClipboard();
    if (clipboard.empty())
        return;
    m_host.setText(controlOf(field), brisquel::fieldText(clipboard));
}

bool Form1::ask(std::string_view question) {
    return m_host.ask(questionTitle, question);
}

void Form1::setTitle(std::string_view title) {
    m_title = title;
    m_host.setTitle(title);
}

void Form1::lockWindow() {
    for (ControlId command : commandIds)
        m_host.setEnabled(command, false);
}

// Disabling the buttons lets the toolkit move the focus on, into a field with its text
// selected, where one stray key would replace a condition; it goes back to the button pressed.
void Form1::unlockWindow(ControlId pressed) {
    for (ControlId command : commandIds)
        m_host.setEnabled(command, true);
    m_host.setFocus(pressed);
    m_unlockedOnce = true;
}

// Runs one engine operation to its end. Meanwhile the engine's latest texts are shown now
// and then (see progress()), and once more at the end, which also drops the input still
// queued before the closing notice could take it. A report too large for the memory left
// ends the operation with a notice instead of ending the program; the engine takes its
// large buffers before it changes anything, or takes back what it changed, and the title
// loses its progress. Returns whether the operation ran to its end.
template <typename Operation> bool Form1::runOperation(Operation operation) {
    m_operationRunning = true;
    m_shownYet = false;
    bool finished = true;
    try {
        operation();
    } catch (const std::bad_alloc&) {
        finished = false;
    }
    showPendingNow();
    m_operationRunning = false;
    if (!finished) {
        m_host.setTitle(m_title);
        m_host.notify(outOfMemory);
    }
    return finished;
}

std::string Form1::fieldText(FieldId field) {
    return m_host.fieldText(controlOf(field));
}

void Form1::showText(LabelId label, std::string_view text) {
    PendingText& pending = m_pendingCounts[static_cast<std::size_t>(label)];
    pending.text.assign(text);
    pending.changed = true;
}

// The engine reports every row of a pass. Setting the title and labels a million times
// would cost more than the pass itself, so only the latest report is kept and shown at
// most every showInterval, the counts every countsInterval (the first report at once), and
// all once more when the pass ends.
void Form1::progress(std::int64_t index, std::int64_t lastIndex) {
    m_progressIndex = index;
    m_progressLast = lastIndex;
    m_progressChanged = true;
    if (!m_shownYet) {
        showPendingNow();
        return;
    }
    const std::chrono::steady_clock::time_point now = m_clock();
    if (now - m_lastShown >= showInterval)
        showPending(now - m_countsShown >= countsInterval);
}

void Form1::stillWorking() {
    if (m_clock() - m_lastShown >= showInterval)
        showPending(false);
}

void Form1::showPendingNow() {
    showPending(true);
}

void Form1::showPending(bool withCounts) {
    setPendingTexts(withCounts);
    m_host.showPendingNow();
    m_lastShown = m_clock();
    if (withCounts)
        m_countsShown = m_lastShown;
    m_shownYet = true;
}

void Form1::setPendingTexts(bool withCounts) {
    if (m_progressChanged) {
        std::string title(DecimalText(m_progressIndex).view());
        title += '/';
        title += DecimalText(m_progressLast).view();
        m_host.setTitle(title);
        m_progressChanged = false;
    }
    for (std::size_t i = 0; withCounts && i < m_pendingCounts.size(); ++i) {
        PendingText& pending = m_pendingCounts[i];
        if (pending.changed) {
            m_host.setText(controlOf(static_cast<LabelId>(i)), pending.text);
            pending.changed = false;
        }
    }
}

} // namespace brisquel
