// Message boxes and the system clipboard for the window.
#include "userdialogs.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

// The tool's messages break lines with CR LF; a plain-text label breaks them at LF and
// would show the CR as a blank.
QString shownText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

bool MessageBoxDialogs::ask(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, shownText(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec() != QMessageBox::No;
}

void MessageBoxDialogs::notify(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), shownText(text),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString MessageBoxDialogs::clipboardText() {
    return QGuiApplication::clipboard()->text();
}
