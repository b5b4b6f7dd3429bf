// Form1: the tool's one window, its controls, and the handlers that drive the tally engine.
#pragma once

#include "engine/state.h"
#include "engine/tally_view.h"
#include "userdialogs.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class ConditionField;
class CountLabel;
class QPushButton;

class Form1 : public QWidget, public brisquel::TallyView {
    Q_OBJECT
public:
    explicit Form1(std::unique_ptr<UserDialogs> dialogs = std::make_unique<MessageBoxDialogs>(),
                   QWidget* parent = nullptr);
    ~Form1() override;

    // Exports go to the program's folder unless told otherwise.
    void setExportFolder(const QString& folder);

    const brisquel::TallyState& tallyState() const { return m_state; }

    // brisquel::TallyView
    std::string fieldText(brisquel::FieldId field) override;
    void showText(brisquel::LabelId label, std::string_view text) override;
    void progress(std::int64_t index, std::int64_t lastIndex) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Swallows the user's clicks, keys and wheel turns while an operation runs.
    class InputBlocker : public QObject {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override;
    };

    void createControls();
    void connectHandlers();

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

    bool ask(QStringView question);
    void notify(const QString& text);
    void lockWindow();
    void unlockWindow();
    template <typename Operation> bool runOperation(Operation operation);
    void showProgressNow();
    void showPending();
    void pasteInto(brisquel::FieldId field);
    CountLabel* countLabel(brisquel::LabelId label) const;

    std::unique_ptr<UserDialogs> m_dialogs;
    brisquel::TallyState m_state;
    std::string m_exportFolder;

    std::array<QPushButton*, 4> m_commands{};  // Command1..Command4
    std::array<ConditionField*, 8> m_fields{}; // indexed by FieldId
    std::array<CountLabel*, 8> m_counts{};     // indexed by LabelId
    QPixmap m_background;

    // What the engine last reported, not yet on screen.
    struct PendingText {
        std::string text;
        bool changed = false;
    };
    std::array<PendingText, 8> m_pendingCounts; // indexed by LabelId
    std::int64_t m_progressIndex = 0;
    std::int64_t m_progressLast = 0;
    bool m_progressChanged = false;
    QElapsedTimer m_sinceShown;

    bool m_operationRunning = false;
    InputBlocker m_inputBlocker;
};
