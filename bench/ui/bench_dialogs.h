// BenchDialogs: Yes to every question, and a clipboard that hands its text over. The
// system clipboard keeps a copied sheet in the program that copied it, not in this one.
#pragma once

#include "userdialogs.h"

#include <QString>

#include <utility>

class BenchDialogs final : public UserDialogs {
public:
    QString clipboard;
    QString lastNotice;
    bool ask(QWidget*, const QString&, const QString&) override { return true; }
    void notify(QWidget*, const QString& text) override { lastNotice = text; }
    QString clipboardText() override { return std::exchange(clipboard, {}); }
};
