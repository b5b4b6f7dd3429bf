// ScriptedDialogs: answers the window's questions from a script and records every box.
#pragma once

#include "userdialogs.h"

#include <QList>
#include <QString>

#include <functional>

class ScriptedDialogs final : public UserDialogs {
public:
    struct Box {
        bool question = false; // a Yes/No question, or else an OK notice
        QString title;         // questions only; notices carry the application's name
        QString text;
    };

    // Answers to the next questions, in order; once they run out every answer is Yes.
    QList<bool> answers;
    QString clipboard;
    // Handed over before `clipboard` when not empty, as the X11 clipboard hands over UTF-8.
    QByteArray utf8Clipboard;
    // Every box shown, in order.
    QList<Box> shown;
    // Called while a box is up, as a modal box would leave the window at that moment.
    std::function<void(const Box&)> whileShown;

    bool ask(QWidget*, const QString& title, const QString& text) override {
        show({true, title, text});
        return answers.isEmpty() || answers.takeFirst();
    }
    void notify(QWidget*, const QString& text) override { show({false, {}, text}); }
    brisquel::ClipboardText readClipboard() override {
        return utf8Clipboard.isEmpty() ? heldClipboardText(clipboard) : heldClipboardText(utf8Clipboard);
    }

    QStringList notices() const {
        QStringList texts;
        for (const Box& box : shown) {
            if (!box.question)
                texts.append(box.text);
        }
        return texts;
    }

private:
    void show(const Box& box) {
        shown.append(box);
        if (whileShown)
            whileShown(box);
    }
};
