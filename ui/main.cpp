// Starts the tool: opens Form1, the one window, and runs until it is closed.
#include "form1_widget.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// What Qt says while it opens the display is held back. When no display can be opened,
// Qt ends with a fatal message and aborts; the tool says so in one plain line and exits
// with a failure status instead. Otherwise the held messages are passed on.
std::vector<std::pair<QtMsgType, QString>> heldMessages;

void holdStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs("brisquel: cannot open a display (无法打开显示)\n", stderr);
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    heldMessages.emplace_back(type, message);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Brisquel"));
    const QtMessageHandler previousHandler = qInstallMessageHandler(holdStartupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const auto& [type, message] : std::exchange(heldMessages, {}))
        previousHandler(type, QMessageLogContext(), message);

    installChineseTranslations(app);
    Form1Widget form;
    form.show();
    // Report files named on the command line ("Open with" of a file manager) are imported
    // once the window is up, as though dropped on it. Qt has taken its own options out of argv.
    std::vector<std::string> files(argv + 1, argv + argc);
    if (!files.empty())
        QTimer::singleShot(0, &form, [&form, files] { form.form().Form_OLEDragDrop(files); });
    return app.exec();
}
