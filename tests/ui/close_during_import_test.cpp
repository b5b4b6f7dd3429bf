// Closing the window while an import runs ends the program at once, with a success status:
// the process exits 0 only through that path; an import that runs on to its end, or a
// crash, fails the test.
#include "form1_widget.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    auto dialogs = std::make_unique<ScriptedDialogs>();
    QString report = QStringLiteral("序号\t台区\t设备类型\r\n");
    for (int i = 1; i <= 1000000; ++i)
        report += QStringLiteral("%1\t镇府公用台变\t三相多功能电能表\r\n").arg(i);
    dialogs->clipboard = report;
    Form1Widget form(std::move(dialogs));
    form.show();

    // The close comes as the window system hands it over: an event for the window, queued
    // while the import runs and seen when the window next shows its progress.
    QTimer::singleShot(0, &form,
                       [&form] { QCoreApplication::postEvent(form.windowHandle(), new QCloseEvent); });
    form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    std::fprintf(stderr, "the import ran to its end (%s) although the window was closed\n",
                 qPrintable(form.windowTitle()));
    return 1;
}
