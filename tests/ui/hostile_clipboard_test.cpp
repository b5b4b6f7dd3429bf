// Form1 fed clipboard texts that no spreadsheet would produce: each is imported, counted and
// exported, and after every step the stored rows, the counts, the list and the notices are
// checked against what the text must come to.
#include "form/clipboard_text.h"
#include "form1_fixture.h"

#include "engine/export.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <string>

namespace {

const QString importDone = QStringLiteral("已完成导入，如果还有更多相同报表可继续全选复制并导入");

// The default conditions.
const QString header1 = QStringLiteral("台区");
const QString header2 = QStringLiteral("设备类型");
const QString value1 = QStringLiteral("镇府公用台变");
const QStringList alternatives = {"三相多功能电能表(费控)", "三相载波电子式电能表", "普通三相电子式电能表",
                                  "三相智能电能表（费控）", "三相多功能电能表"};
const QString otherValue = QStringLiteral("其他台变");
const QString noAlternative = QStringLiteral("单相电能表");
const QString headerRow = header1 + u'\t' + header2;

// What importing, counting and exporting a clipboard comes to.
struct Outcome {
    std::string alltxt;
    QString counts;   // Label3, Label5, Label7, Label8..Label12, a space between each
    QString exported; // the list the export writes, or empty when it is refused
    bool importable = true;
};

// The list an export writes: the header row, then each matching row after a CR LF.
QString list(const QStringList& rows) {
    return rows.join(QStringLiteral("\r\n"));
}

// alltxt holding these rows, each after a CR LF.
std::string stored(const QStringList& rows) {
    return rows.isEmpty() ? std::string() : (QStringLiteral("\r\n") + list(rows)).toStdString();
}

QString nothingCounted(qint64 rows) {
    return QStringLiteral("0 %1 0 0 0 0 0 0").arg(rows);
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class HostileClipboardTest : public QObject, private Form1Fixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void knownOutcome_data();
    void knownOutcome();

private:
    void importCountExport(QString clipboard, const Outcome& outcome);
    void verifyTally(const Outcome& outcome);
};

// Imports the clipboard, counts and exports as a clerk would, every question answered Yes,
// and checks each step's notice and the tally after it. A text that is not importable goes
// no further than the import, which leaves the window as it was.
void HostileClipboardTest::importCountExport(QString clipboard, const Outcome& outcome) {
    const brisquel::TallyState& state = m_form->form().tallyState();
    m_dialogs->clipboard = std::move(clipboard);
    click("Command1");
    m_dialogs->clipboard.clear(); // the largest texts hold a hundred megabytes
    QStringList notices{outcome.importable ? importDone
                                           : QStringLiteral("失败，请先打开EXCEL报表并全选复制")};
    QCOMPARE(m_dialogs->notices(), notices);
    QCOMPARE(control<QPushButton>("Command3")->isEnabled(), outcome.importable);
    verifyTally(outcome);
    if (!outcome.importable || QTest::currentTestFailed())
        return;

    click("Command3");
    QCOMPARE(m_dialogs->notices(), notices << QStringLiteral("已完成统计"));
    verifyTally(outcome);
    QCOMPARE(countTexts().join(u' '), outcome.counts);
    QVERIFY(state.allouttxt() == outcome.exported.toStdString());

    click("Command4");
    const QStringList files = QDir(m_exportDir->path()).entryList(QDir::Files);
    QCOMPARE(files.size(), outcome.exported.isEmpty() ? 0 : 1);
    if (files.isEmpty()) {
        QCOMPARE(m_dialogs->notices(), notices << QStringLiteral("导出失败，请先统计，有结果才能导出...."));
        return;
    }
    const QString path = m_exportDir->path() + u'/' + files[0];
    QCOMPARE(m_dialogs->notices(), notices << QStringLiteral("文件路径:\r\n") + path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray::fromStdString(brisquel::toAnsi(state.allouttxt())));
}

// The rows stored are the expected ones, and the labels show the tally's own numbers.
void HostileClipboardTest::verifyTally(const Outcome& outcome) {
    const brisquel::TallyState& state = m_form->form().tallyState();
    QVERIFY(state.alltxt() == outcome.alltxt);
    QCOMPARE(text("Label5"), QString::number(state.alltxti()));
    QCOMPARE(text("Label3"), QString::number(state.alli()));
}

void HostileClipboardTest::knownOutcome_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<Outcome>("outcome");
    // Rows each ended by CR LF, with cells and none repeating the header row: all kept whole.
    // The export lists the first `listed` of them.
    const auto addSheet = [](const char* name, const QStringList& rows, const QString& counts,
                             qsizetype listed) {
        QTest::newRow(name) << list(rows) + "\r\n" << Outcome{stored(rows), counts, list(rows.first(listed))};
    };

    // Wide rows: the counts find the columns however far out they lie. 200,000 cells, the
    // header texts in the last two, beyond any 16-bit column number.
    const auto lastCells = [](const QString& first, const QString& second, qsizetype before = 199'998) {
        return QString(before, u'\t') + first + u'\t' + second;
    };
    addSheet("200,000 cells",
             {lastCells(header1, header2), lastCells(value1, alternatives[4]),
              lastCells(value1, alternatives[1]), lastCells(otherValue, alternatives[4]),
              lastCells(value1, noAlternative),
              lastCells(value1, alternatives[4], 199'998 % 65'536), // where a 16-bit column number would look
              lastCells(value1, alternatives[4], 199'997)},         // one cell to the left
             "2 7 3 0 1 0 0 1", 3);
    // A million TABs in a header row, before the header texts, after them or between them:
    // the header row the statistics look for in the list starts, ends or is mostly a run of TABs.
    const QString tabs(1'000'000, u'\t');
    addSheet("a million TABs first",
             {tabs + headerRow, tabs + value1 + u'\t' + alternatives[0], tabs + value1}, "1 3 2 1 0 0 0 0",
             2);
    addSheet("a million TABs last", {headerRow + tabs, value1 + u'\t' + alternatives[2] + tabs, tabs},
             "1 3 1 0 0 1 0 0", 2);
    addSheet("a million TABs between",
             {header1 + tabs + header2, value1 + tabs + alternatives[3],
              value1 + tabs.chopped(1) + alternatives[3]},
             "1 3 2 0 0 0 1 0", 2);

    // Nothing but quotes and line ends: accepted when a CR LF remains, yet no row with
    // anything in it is made, so nothing is counted or exported. A Linux copy has LF alone
    // turned into CR LF, unless it holds a CR LF already.
    const bool widened = brisquel::platformLineEnds() == brisquel::LineEnds::WidenLineFeeds;
    const qsizetype n = 2'000'000;
    const auto addLineEnds = [n](const char* name, const char* piece, QString tail, bool importable,
                                 qint64 rows, const QString& row) {
        const std::string alltxt = ("\r\n" + row).repeated(rows).toStdString();
        QTest::newRow(name) << QString::fromUtf8(piece).repeated(n) + tail
                            << Outcome{alltxt, nothingCounted(rows), {}, importable};
    };
    addLineEnds("CR LF", "\r\n", {}, true, 0, {});
    // Deleting a quote between CR and LF joins them into a pair: rows are cut there.
    addLineEnds("quote, CR LF, CR, quote, LF, then a quote", "\"\r\n\r\"\n", "\"", true, 0, {});
    // Without a CR LF of its own, each LF is widened first and the CR before it stays.
    addLineEnds("CR, quotes, LF, quote", "\r\"\"\n\"", {}, true, widened ? n : 0, QStringLiteral("\r"));
    addLineEnds("LF", "\n", {}, widened, 0, {});
    addLineEnds("CR, quote, then one CR LF", "\r\"", "\r\n", true, 1, QString(n, u'\r'));
    addLineEnds("quotes", "\"", {}, false, 0, {});

    // A single row of 50 MB of UTF-8, carried across many slices of the import: a meter that
    // counts, then cells of Chinese and ASCII text.
    const QString longRow = value1 + u'\t' + alternatives[4] + u'\t' +
                            QStringLiteral("三相电能表\t0.5S\t").repeated(50'000'000 / 21); // 21 bytes each
    addSheet("a 50 MB row alone, ended by CR LF", {longRow}, nothingCounted(1), 0);
    const QString afterHeader = list({headerRow, longRow}); // the clipboard and the list alike
    QTest::newRow("a 50 MB row after a header row, without a line end")
        << afterHeader << Outcome{stored({headerRow, longRow}), "1 2 1 0 0 0 0 1", afterHeader};
}

void HostileClipboardTest::knownOutcome() {
    QFETCH(QString, clipboard);
    QFETCH(Outcome, outcome);
    importCountExport(clipboard, outcome);
}

QTEST_MAIN(HostileClipboardTest)
#include "hostile_clipboard_test.moc"
