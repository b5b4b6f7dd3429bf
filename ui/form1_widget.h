// Form1Widget: Form1 shown with Qt Widgets.
#pragma once

#include "form/form1.h"
#include "userdialogs.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <memory>

class Form1Widget : public QWidget, private brisquel::Form1Host {
    Q_OBJECT
public:
    explicit Form1Widget(std::unique_ptr<UserDialogs> dialogs = std::make_unique<MessageBoxDialogs>(),
                         QWidget* parent = nullptr);
    ~Form1Widget() override;

    brisquel::Form1& form() { return m_form; }
    const brisquel::Form1& form() const { return m_form; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Swallows the user's clicks, keys and wheel turns while an operation shows its progress.
    class InputBlocker : public QObject {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override;
    };

    void createControls();
    void connectHandlers();
    QWidget* control(brisquel::ControlId id) const { return m_controls[static_cast<std::size_t>(id)]; }

    // brisquel::Form1Host
    bool ask(std::string_view title, std::string_view text) override;
    void notify(std::string_view text) override;
    void setTitle(std::string_view title) override;
    void setText(brisquel::ControlId control, std::string_view text) override;
    void setEnabled(brisquel::ControlId control, bool enabled) override;
    void setFocus(brisquel::ControlId control) override;
    std::string fieldText(brisquel::ControlId field) override;
    brisquel::ClipboardText readClipboard() override;
    void showPendingNow() override;

    std::unique_ptr<UserDialogs> m_dialogs;
    brisquel::Form1 m_form;
    std::array<QWidget*, brisquel::controlTable.size()> m_controls{}; // indexed by ControlId
    QPixmap m_background;
    InputBlocker m_inputBlocker;
};
