// UserDialogs: the questions, notices and clipboard reads of the window, behind one interface.
#pragma once

#include "form/host.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

class QCoreApplication;
class QMimeData;
class QWidget;

// Form1Widget owns one of these and reaches the user only through it. The program uses
// MessageBoxDialogs; tests install one that answers from a script and records every text.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A Yes/No question without an icon. Returns false only when the answer was No.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text) = 0;
    // An OK notice without an icon, titled with the application's name.
    virtual void notify(QWidget* parent, const QString& text) = 0;
    // The clipboard's plain text as the system hands it over; empty when it holds none.
    virtual brisquel::ClipboardText readClipboard() = 0;
};

// The local files that a file manager's copy, or a drop, names: paths in the system's own
// encoding, in the order given.
std::vector<std::string> localFiles(const QMimeData& mime);

// A clipboard text held by the Qt string or byte array that the clipboard handed over.
brisquel::ClipboardText heldClipboardText(QString text);
brisquel::ClipboardText heldClipboardText(QByteArray utf8);

// Message boxes and the system clipboard. The boxes' buttons read 是(&Y), 否(&N) and 确定,
// as on a Chinese Windows, whatever the system's language.
class MessageBoxDialogs final : public UserDialogs {
public:
    bool ask(QWidget* parent, const QString& title, const QString& text) override;
    void notify(QWidget* parent, const QString& text) override;
    brisquel::ClipboardText readClipboard() override;
};

// Loads Qt's own Chinese texts (the fields' context menus, for one), whatever the system's
// language. Where they are not installed, Qt's English texts stay.
void installChineseTranslations(QCoreApplication& application);
