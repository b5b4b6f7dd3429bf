// Message boxes and the system clipboard for the window, and Qt's Chinese texts.
#include "userdialogs.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QTranslator>
#include <QUrl>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace {

// The tool's messages break lines with CR LF; a plain-text label breaks them at LF and
// would show the CR as a blank.
QString shownText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

int exec(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    const std::pair<QMessageBox::StandardButton, QString> captions[] = {
        {QMessageBox::Yes, QStringLiteral("是(&Y)")},
        {QMessageBox::No, QStringLiteral("否(&N)")},
        {QMessageBox::Ok, QStringLiteral("确定")},
    };
    for (const auto& [which, caption] : captions) {
        if (QAbstractButton* button = box.button(which))
            button->setText(caption);
    }
    return box.exec();
}

} // namespace

bool MessageBoxDialogs::ask(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, shownText(text), QMessageBox::Yes | QMessageBox::No, parent);
    return exec(box) != QMessageBox::No;
}

void MessageBoxDialogs::notify(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), shownText(text),
                    QMessageBox::Ok, parent);
    exec(box);
}

brisquel::ClipboardText heldClipboardText(QString text) {
    auto held = std::make_shared<const QString>(std::move(text));
    const QStringView units(*held);
    return {std::u16string_view(units.utf16(), static_cast<std::size_t>(units.size())), held};
}

brisquel::ClipboardText heldClipboardText(QByteArray utf8) {
    auto held = std::make_shared<const QByteArray>(std::move(utf8));
    brisquel::ClipboardText text{std::string_view(held->constData(), static_cast<std::size_t>(held->size())),
                                 held};
#ifdef Q_OS_LINUX
    // A whole sheet's bytes are hundreds of megabytes, as large as the rows imported from
    // them: the pages the import is done with go back to the system as it goes, so the report
    // is not held twice at its end. Only where no one else shares the bytes, since those pages
    // read as zeros afterwards.
    constexpr qsizetype worthIt = qsizetype{16} << 20;
    if (held->isDetached() && held->size() >= worthIt) {
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const auto start = reinterpret_cast<std::uintptr_t>(held->constData());
        text.release = [start, page, done = (start + page - 1) / page * page](std::size_t units) mutable {
            const std::uintptr_t upTo = (start + units) / page * page;
            if (upTo > done) {
                madvise(reinterpret_cast<void*>(done), upTo - done, MADV_DONTNEED);
                done = upTo;
            }
        };
    }
#endif
    return text;
}

std::vector<std::string> localFiles(const QMimeData& mime) {
    std::vector<std::string> files;
    QList<QUrl> urls = mime.urls();
    // GNOME's file manager names its copied files in a format of its own too: "copy" or
    // "cut", then one URL a line.
    const QString gnomeFiles = QStringLiteral("x-special/gnome-copied-files");
    if (urls.isEmpty() && mime.hasFormat(gnomeFiles)) {
        const QList<QByteArray> lines = mime.data(gnomeFiles).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            urls.append(QUrl::fromEncoded(lines[i].trimmed()));
    }
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return files;
}

// Files copied in a file manager come first. On X11 and Wayland the program that owns the
// clipboard hands a copied sheet over as UTF-8 bytes, which the import takes as they are;
// asking Qt for text would make a UTF-16 copy of a whole sheet first. Where the owner offers
// no UTF-8, and on Windows, the text it is.
brisquel::ClipboardText MessageBoxDialogs::readClipboard() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return {};
    brisquel::ClipboardText text;
#ifndef Q_OS_WIN
    const QString utf8 = QStringLiteral("text/plain;charset=utf-8");
    if (mime->hasFormat(utf8))
        text = heldClipboardText(mime->data(utf8));
    else
#endif
        text = heldClipboardText(mime->text());
    text.files = localFiles(*mime);
    return text;
}

void installChineseTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
