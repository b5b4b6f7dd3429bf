// window_shot OUTPUT.png: opens the window, imports the sample sheet copied from LibreOffice
// Calc, counts it, and saves a picture of the window with its frame. Run on a real display
// (scripts/screenshot.sh runs it under Xvfb with a window manager).
#include "form1_widget.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisquel"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_shot OUTPUT.png\n");
        return 2;
    }
    QFile sample(QStringLiteral(BRISQUEL_TEST_DATA "/calc-whole-sheet.utf8.txt"));
    if (!sample.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "window_shot: cannot read the sample sheet\n");
        return 1;
    }
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs->clipboard = QString::fromUtf8(sample.readAll());
    Form1Widget form(std::move(dialogs));
    form.show();

    const QString output = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(500, &form, [&] {
        form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        form.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        form.findChild<QPushButton*>(QStringLiteral("Command1"))->setFocus();
    });
    QTimer::singleShot(2000, &form, [&] {
        const QRect frame = form.frameGeometry();
        const QPixmap shot =
            form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        QApplication::exit(shot.save(output) ? 0 : 1);
    });
    return QApplication::exec();
}
