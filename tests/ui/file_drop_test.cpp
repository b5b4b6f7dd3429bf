// Report files through the Qt window: the files a file manager puts on the clipboard, and
// files dropped on the window.
#include "form1_fixture.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

class FileDropTest : public QObject, Form1Fixture {
    Q_OBJECT
private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void copiedFilesAreTakenBeforeTheirText();
    void aDropImportsItsFiles();
};

void FileDropTest::copiedFilesAreTakenBeforeTheirText() {
    struct Case {
        const char* name;
        QList<QUrl> urls;
        QByteArray gnomeFiles;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"uri list, local files only, in order",
         {QUrl::fromLocalFile("/报表/b 2.xlsx"), QUrl("https://example.org/c.csv"),
          QUrl::fromLocalFile("/a.csv")},
         {},
         {"/报表/b 2.xlsx", "/a.csv"}},
        {"GNOME's own list",
         {},
         "copy\nfile:///%E6%8A%A5%E8%A1%A8/a.xlsx\nfile:///b.csv",
         {"/报表/a.xlsx", "/b.csv"}},
        {"text alone", {}, {}, {}},
    };
    for (const Case& entry : cases) {
        auto* mime = new QMimeData;
        mime->setUrls(entry.urls);
        if (!entry.gnomeFiles.isEmpty())
            mime->setData(QStringLiteral("x-special/gnome-copied-files"), entry.gnomeFiles);
        mime->setText(QStringLiteral("台区\r\n"));
        QGuiApplication::clipboard()->setMimeData(mime);
        const brisquel::ClipboardText read = MessageBoxDialogs().readClipboard();
        QVERIFY2(read.files == entry.files, entry.name);
        QVERIFY2(!read.empty(), entry.name);
    }
}

// The question a drop asks first is Form1's; here a drop reaches it with its files.
void FileDropTest::aDropImportsItsFiles() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("甲表.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n");
    file.close();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_form, &dropped);
    QCOMPARE(text("Label5"), QStringLiteral("2"));
}

QTEST_MAIN(FileDropTest)
#include "file_drop_test.moc"
