// Form1: the tool's one window as behaviour, without a toolkit. It holds the tally state and
// the handlers of every click and double-click, and reaches the screen through a Form1Host.
#pragma once

#include "engine/state.h"
#include "engine/tally_view.h"
#include "form/host.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel {

class Form1 final : public TallyView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Exports go to `exportFolder`; `clock` times the progress shown while an operation runs.
    Form1(
        Form1Host& host, std::string exportFolder,
        Clock clock = [] { return std::chrono::steady_clock::now(); });

    // The handlers, named after their control and event. The host has built every control
    // from controlTable before it calls Form_Load, and calls one handler per event.
    void Form_Load();
    void Command1_Click(); // import from the clipboard
    void Command2_Click(); // reset
    void Command3_Click(); // statistics
    void Command4_Click(); // export
    void Label3_Click();
    void Label5_Click();
    void Text1_DblClick();
    void Text2_DblClick();
    void Text3_DblClick();
    void Text4_DblClick();
    void Text5_DblClick();
    void Text6_DblClick();
    void Text7_DblClick();
    void Text8_DblClick();
    // Files dropped on the window, or on the program's icon (its command line): imported
    // as the clipboard's copied files are.
    void Form_OLEDragDrop(const std::vector<std::string>& files);

    // Whether an import, a count or an export is running. A close of the window can only
    // arrive then from inside Form1Host::showPendingNow; the engine cannot be stopped in the
    // middle of a pass and nothing the tool holds outlives the window, so the host ends the
    // process at once instead of working on behind a vanished window.
    bool operationRunning() const { return m_operationRunning; }

    const TallyState& tallyState() const { return m_state; }
    void setExportFolder(std::string folder) { m_exportFolder = std::move(folder); }

    // TallyView
    std::string fieldText(FieldId field) override;
    void showText(LabelId label, std::string_view text) override;
    void progress(std::int64_t index, std::int64_t lastIndex) override;
    void stillWorking() override;

private:
    bool ask(std::string_view question);
    void setTitle(std::string_view title);
    void lockWindow();
    void unlockWindow(ControlId pressed);
    void importFromFiles(const std::vector<std::string>& files);
    template <typename Operation> bool runOperation(Operation operation);
    void showPendingNow();
    void showPending(bool withCounts);
    void setPendingTexts(bool withCounts);
    void pasteInto(FieldId field);

    Form1Host& m_host;
    std::string m_exportFolder;
    Clock m_clock;
    TallyState m_state;
    std::string m_title{windowTitle}; // the title but for the progress shown in it

    // What the engine last reported, not yet on screen.
    struct PendingText {
        std::string text;
        bool changed = false;
    };
    std::array<PendingText, 8> m_pendingCounts; // indexed by LabelId
    std::int64_t m_progressIndex = 0;
    std::int64_t m_progressLast = 0;
    bool m_progressChanged = false;
    std::chrono::steady_clock::time_point m_lastShown;
    std::chrono::steady_clock::time_point m_countsShown;
    bool m_shownYet = false;

    bool m_operationRunning = false;
    bool m_unlockedOnce = false; // an import has unlocked the window: all four buttons work
};

} // namespace brisquel
