// BenchDialogs: Yes to every question, and a clipboard that hands its text over. The
// system clipboard keeps a copied sheet in the program that copied it, not in this one.
#pragma once

#include "userdialogs.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

class BenchDialogs final : public UserDialogs {
public:
    QString clipboard;
    QByteArray utf8Clipboard;       // taken before `clipboard` when not empty, as on X11
    bool systemClipboard = false;   // the system's clipboard instead of either
    std::vector<std::string> files; // copied files, taken before any text
    QString lastNotice;
    bool ask(QWidget*, const QString&, const QString&) override { return true; }
    void notify(QWidget*, const QString& text) override { lastNotice = text; }
    brisquel::ClipboardText readClipboard() override {
        if (systemClipboard)
            return MessageBoxDialogs().readClipboard();
        if (!files.empty()) {
            brisquel::ClipboardText copied;
            copied.files = files;
            return copied;
        }
        if (!utf8Clipboard.isEmpty())
            return heldClipboardText(std::exchange(utf8Clipboard, {}));
        return heldClipboardText(std::exchange(clipboard, {}));
    }
};
