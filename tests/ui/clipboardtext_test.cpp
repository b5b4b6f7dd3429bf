// The clipboard reader: UTF-8 report text with the line ends the import cuts rows at.
#include "clipboardtext.h"

#include "engine/import.h"

#include <QFile>
#include <QTest>

class ClipboardTextTest : public QObject {
    Q_OBJECT

private slots:
    void lineEnds_data();
    void lineEnds();
    void largeTextConvertsWhole();
    void linuxCopiesBecomeImportable();
};

void ClipboardTextTest::lineEnds_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("widened");  // what the reader gives off Windows
    QTest::addColumn<QString>("asCopied"); // what it gives on Windows

    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("Excel rows keep their CR LF") << "台区\t设备类型\r\n镇府\t表\r\n"
                                                 << "台区\t设备类型\r\n镇府\t表\r\n"
                                                 << "台区\t设备类型\r\n镇府\t表\r\n";
    QTest::newRow("Calc rows get CR LF") << "台区\t设备类型\n镇府\t表\n"
                                         << "台区\t设备类型\r\n镇府\t表\r\n"
                                         << "台区\t设备类型\n镇府\t表\n";
    QTest::newRow("Gnumeric rows get CR LF") << "台区\n镇府"
                                             << "台区\r\n镇府"
                                             << "台区\n镇府";
    QTest::newRow("an LF beside a CR LF is a break in a cell") << "台区\r\n甲\n乙\r\n"
                                                               << "台区\r\n甲\n乙\r\n"
                                                               << "台区\r\n甲\n乙\r\n";
    QTest::newRow("lone CRs stay") << "台区\r镇府\r"
                                   << "台区\r镇府\r"
                                   << "台区\r镇府\r";
    QTest::newRow("CR before an LF-only row end") << "甲\r乙\n丙\n"
                                                  << "甲\r乙\r\n丙\r\n"
                                                  << "甲\r乙\n丙\n";
    QTest::newRow("no line break") << "镇府公用台变"
                                   << "镇府公用台变"
                                   << "镇府公用台变";
    QTest::newRow("beyond the Basic Multilingual Plane") << "𠀀\t😀\n"
                                                         << "𠀀\t😀\r\n"
                                                         << "𠀀\t😀\n";
    const QString lone = QStringLiteral("甲") + QChar(0xD800) + QStringLiteral("乙") + QChar(0xDC00);
    QTest::newRow("surrogate halves without their partner") << lone + u'\n' << lone + "\r\n" << lone + u'\n';
}

void ClipboardTextTest::lineEnds() {
    QFETCH(QString, clipboard);
    QFETCH(QString, widened);
    QFETCH(QString, asCopied);
    QCOMPARE(reportTextFromClipboard(clipboard, LineEnds::WidenLineFeeds), widened.toUtf8());
    QCOMPARE(reportTextFromClipboard(clipboard, LineEnds::AsCopied), asCopied.toUtf8());
}

// The text is converted in pieces of 65536 UTF-16 units. Shifting a six-unit pattern
// puts each of its units, the two halves of a surrogate pair and the LF among them, on a
// piece's edge in turn; every character must come through whole.
void ClipboardTextTest::largeTextConvertsWhole() {
    const QString pattern = QStringLiteral("台😀b\n甲");
    QCOMPARE(pattern.size(), 6);
    for (int shift = 0; shift < pattern.size(); ++shift) {
        const QString text = QString(shift, u'x') + pattern.repeated(40000);
        QString widened = text;
        widened.replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(reportTextFromClipboard(text, LineEnds::WidenLineFeeds), widened.toUtf8());
        QCOMPARE(reportTextFromClipboard(text, LineEnds::AsCopied), text.toUtf8());
    }
}

void ClipboardTextTest::linuxCopiesBecomeImportable() {
    for (const char* name : {"calc-whole-sheet.utf8.txt", "gnumeric-whole-sheet.utf8.txt"}) {
        QFile file(QStringLiteral(BRISQUEL_TEST_DATA "/") + QLatin1StringView(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString copied = QString::fromUtf8(file.readAll());
        QVERIFY(!brisquel::isImportable(reportTextFromClipboard(copied, LineEnds::AsCopied).toStdString()));
        QVERIFY(
            brisquel::isImportable(reportTextFromClipboard(copied, LineEnds::WidenLineFeeds).toStdString()));
    }
}

QTEST_APPLESS_MAIN(ClipboardTextTest)
#include "clipboardtext_test.moc"
