// Form1 fed clipboard texts that no spreadsheet would produce: each is imported, counted and
// exported, the tally must hold together afterwards, and where the outcome is known it is checked.
#include "form/clipboard_text.h"
#include "form1_fixture.h"

#include "engine/export.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTest>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

const QString importDone = QStringLiteral("已完成导入，如果还有更多相同报表可继续全选复制并导入");
const QString importFailure = QStringLiteral("失败，请先打开EXCEL报表并全选复制");
const QString statisticsDone = QStringLiteral("已完成统计");
const QString exportRefusal = QStringLiteral("导出失败，请先统计，有结果才能导出....");
const QString exportDone = QStringLiteral("文件路径:\r\n");

const QStringList alternativeCountNames = {"Label8", "Label9", "Label10", "Label11", "Label12"};

// The default conditions.
const QString header1 = QStringLiteral("台区");
const QString header2 = QStringLiteral("设备类型");
const QString value1 = QStringLiteral("镇府公用台变");
const QStringList alternatives = {"三相多功能电能表(费控)", "三相载波电子式电能表", "普通三相电子式电能表",
                                  "三相智能电能表（费控）", "三相多功能电能表"};
const QString otherValue = QStringLiteral("其他台变");
const QString noAlternative = QStringLiteral("单相电能表");
const QString headerRow = header1 + u'\t' + header2;

constexpr std::string_view crlf = "\r\n";

// Rows as a spreadsheet copies them: every row ended by CR LF.
QString sheet(const QStringList& rows) {
    return rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// The list an export writes: the header row, then each matching row after a CR LF.
QString list(const QStringList& rows) {
    return rows.join(QStringLiteral("\r\n"));
}

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray ansi(const QString& text) {
    return QByteArray::fromStdString(brisquel::toAnsi(view(text.toUtf8())));
}

// The rows of alltxt: the pieces after its leading CR LF, cut at every CR LF.
std::vector<std::string_view> storedRows(std::string_view alltxt) {
    std::vector<std::string_view> rows;
    if (alltxt.empty())
        return rows;
    for (std::size_t begin = crlf.size();;) {
        const std::size_t end = alltxt.find(crlf, begin);
        rows.push_back(alltxt.substr(begin, end == std::string_view::npos ? end : end - begin));
        if (end == std::string_view::npos)
            return rows;
        begin = end + crlf.size();
    }
}

std::int64_t countCrLf(std::string_view text) {
    std::int64_t pairs = 0;
    for (std::size_t at = text.find(crlf); at != std::string_view::npos; at = text.find(crlf, at + 2))
        ++pairs;
    return pairs;
}

bool hasCell(std::string_view row, std::string_view cell) {
    for (std::size_t begin = 0;;) {
        const std::size_t tab = row.find('\t', begin);
        if (row.substr(begin, tab == std::string_view::npos ? tab : tab - begin) == cell)
            return true;
        if (tab == std::string_view::npos)
            return false;
        begin = tab + 1;
    }
}

bool isValidUtf8(std::string_view text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return !decoder.hasError();
}

} // namespace

class HostileClipboardTest : public QObject, private Form1Fixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void randomBytes();
    void loneSurrogates_data();
    void loneSurrogates();
    void wideRows_data();
    void wideRows();
    void quotesAndLineEndsOnly_data();
    void quotesAndLineEndsOnly();
    void fiftyMegabyteRow_data();
    void fiftyMegabyteRow();
    void everyRowHoldsTheHeaderText_data();
    void everyRowHoldsTheHeaderText();

private:
    void importCountExport(QString clipboard, const QString& exported, bool importable = true);
    void verifyTally();
};

void HostileClipboardTest::init() {
    openWindow();
}

void HostileClipboardTest::cleanup() {
    closeWindow();
}

// Imports the clipboard, counts and exports as a clerk would, every question answered Yes,
// and checks each step's notice and the tally after it. `exported` is the list the export
// must write, or empty when there is none; a text that is not importable goes no further
// than the import, which leaves the window as it was.
void HostileClipboardTest::importCountExport(QString clipboard, const QString& exported, bool importable) {
    m_dialogs->clipboard = std::move(clipboard);
    click("Command1");
    m_dialogs->clipboard.clear(); // the largest texts hold hundreds of megabytes
    m_dialogs->utf8Clipboard.clear();
    if (!importable) {
        QCOMPARE(m_dialogs->notices(), QStringList{importFailure});
        QVERIFY(m_form->form().tallyState().alltxt().empty());
        QVERIFY(!control<QPushButton>("Command3")->isEnabled());
        return;
    }
    QCOMPARE(m_dialogs->notices(), QStringList{importDone});
    verifyTally();
    if (QTest::currentTestFailed())
        return;

    click("Command3");
    QCOMPARE(m_dialogs->notices(), QStringList({importDone, statisticsDone}));
    verifyTally();
    if (QTest::currentTestFailed())
        return;

    click("Command4");
    const QStringList files = QDir(m_exportDir->path()).entryList(QDir::Files);
    if (exported.isEmpty()) {
        QCOMPARE(m_dialogs->notices(), QStringList({importDone, statisticsDone, exportRefusal}));
        QVERIFY(files.isEmpty());
        return;
    }
    QCOMPARE(files.size(), 1);
    const QString path = m_exportDir->path() + u'/' + files[0];
    QCOMPARE(m_dialogs->notices(), QStringList({importDone, statisticsDone, exportDone + path}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ansi(exported));
}

// What holds after any import or count, whatever the clipboard held.
void HostileClipboardTest::verifyTally() {
    const brisquel::TallyState& state = m_form->form().tallyState();
    const std::string_view alltxt = state.alltxt();
    QVERIFY(alltxt.empty() || alltxt.starts_with(crlf));
    QCOMPARE(alltxt.find('"'), std::string_view::npos);
    // Cut at every CR LF, so alltxti rows mean that no row holds a pair of its own.
    const std::vector<std::string_view> rows = storedRows(alltxt);
    QCOMPARE(state.alltxti(), static_cast<std::int64_t>(rows.size()));
    QCOMPARE(std::count(rows.begin(), rows.end(), std::string_view()), std::ptrdiff_t(0));
    QCOMPARE(text("Label5"), QString::number(state.alltxti()));

    std::int64_t shown = 0;
    for (const QString& name : alternativeCountNames)
        shown += text(name).toLongLong();
    QCOMPARE(state.alli(), shown);
    QCOMPARE(text("Label3"), QString::number(state.alli()));

    // The list starts with the first row holding a cell equal to Text3's header text, and
    // then holds one row for each match.
    const std::string header = control<QLineEdit>("Text3")->text().toStdString();
    std::string_view firstHeaderRow;
    for (std::string_view row : rows) {
        if (row.find(header) != std::string_view::npos && hasCell(row, header)) {
            firstHeaderRow = row;
            break;
        }
    }
    const std::string_view allouttxt = state.allouttxt();
    if (!allouttxt.empty()) {
        QVERIFY(!firstHeaderRow.empty());
        QVERIFY(allouttxt.starts_with(firstHeaderRow));
        QCOMPARE(countCrLf(allouttxt), state.alli());
    }
}

// Random bytes -------------------------------------------------------------------------------

// 100 MB of random bytes as the X11 clipboard hands them over, as UTF-8: the import must make
// of them what QString::fromUtf8 makes, NULs and U+FFFD for every invalid sequence included.
// CR LF pairs after runs of up to a kilobyte make rows; a header row leads, and rows of known
// cells are mixed in.
void HostileClipboardTest::randomBytes() {
    std::mt19937_64 random(20240611);
    const qsizetype size = 100'000'000;
    QByteArray bytes;
    bytes.reserve(size + 4096);
    bytes += headerRow.toUtf8() + "\r\n";
    QStringList exported{headerRow};
    std::array<qint64, 5> matches{};
    qint64 conditionOne = 0;
    for (int run = 1; bytes.size() < size; ++run) {
        const qsizetype at = bytes.size();
        const auto length = static_cast<qsizetype>(1 + random() % 1024);
        bytes.resize(at + length);
        char* const out = bytes.data() + at;
        for (qsizetype i = 0; i < length; i += 8) {
            const std::uint64_t eight = random();
            for (qsizetype k = 0; k < 8 && i + k < length; ++k)
                out[i + k] = static_cast<char>(eight >> 8 * k);
        }
        bytes += "\r\n";
        if (run % 50 == 0) {
            const int k = run / 50;
            const bool meets = k % 3 != 0;
            const QString row =
                (meets ? value1 : otherValue) + u'\t' + (k % 6 < 5 ? alternatives[k % 6] : noAlternative);
            bytes += row.toUtf8() + "\r\n";
            conditionOne += meets;
            if (meets && k % 6 < 5) {
                ++matches[k % 6];
                exported.append(row);
            }
        }
    }
    QString clipboard = QString::fromUtf8(bytes);
    m_dialogs->utf8Clipboard = std::move(bytes);
    QVERIFY(clipboard.contains(QChar(0)) && clipboard.contains(QChar::ReplacementCharacter));

    // The rows as the tool's rules make them: quotes deleted first, then cut at every CR LF;
    // empty rows dropped, and the rows holding the header text once one has been kept.
    QByteArray expected;
    {
        QString unquoted = clipboard;
        unquoted.remove(u'"');
        expected.reserve(unquoted.size() * 2);
        bool headerKept = false;
        for (QStringView row : QStringView(unquoted).split(u"\r\n")) {
            if (row.isEmpty() || (headerKept && row.contains(header1)))
                continue;
            headerKept = headerKept || row.contains(header1);
            expected += "\r\n";
            expected += row.toUtf8();
        }
    }

    clipboard.clear();
    importCountExport({}, list(exported));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(m_form->form().tallyState().alltxt() == view(expected));
    QVERIFY(m_form->form().tallyState().alltxti() > 10'000);
    const qint64 total = matches[0] + matches[1] + matches[2] + matches[3] + matches[4];
    QStringList counts{QString::number(total), QString::number(m_form->form().tallyState().alltxti()),
                       QString::number(conditionOne)};
    for (qint64 count : matches)
        counts.append(QString::number(count));
    QCOMPARE(countTexts(), counts);
}

// Lone surrogates ----------------------------------------------------------------------------

void HostileClipboardTest::loneSurrogates_data() {
    QTest::addColumn<QChar>("high");
    QTest::addColumn<QChar>("low");
    QTest::newRow("first halves") << QChar(0xD800) << QChar(0xDC00);
    QTest::newRow("last halves") << QChar(0xDBFF) << QChar(0xDFFF);
}

// Halves of a surrogate pair without their partner: at the start and the end of the text,
// inside cells, right before a row's CR LF, beside whole pairs, and the two halves the wrong
// way round. Whatever the window stores for a half, it stores the same for each, as valid
// UTF-8 that holds no TAB, line end or quote; the characters around it come through, and the
// rows whose counted cells it does not touch are counted.
void HostileClipboardTest::loneSurrogates() {
    QFETCH(QChar, high);
    QFETCH(QChar, low);
    // \x01 stands for the high half, \x02 for the low one.
    const QStringList rows = {"\x02序号\t" + headerRow + "\t备注\x01",
                              "1\t" + value1 + u'\t' + alternatives[4] + "\t\x01",
                              "2\t" + value1 + "\x01\t" + alternatives[4] + "\t",
                              "3\t" + value1 + "\t\x01" + alternatives[0] + "\t",
                              "4\x02\x01\t" + value1 + u'\t' + alternatives[1] + "\t😀\x02",
                              "5\t" + value1 + u'\t' + alternatives[2] + "\t\x01😀",
                              "\x01",
                              "6\t" + value1 + u'\t' + alternatives[3] + "\x01"};
    const QString layout = rows.join(QStringLiteral("\r\n")); // no line end after the last row
    QString clipboard = layout;
    clipboard.replace(u'\x01', high).replace(u'\x02', low);

    // rows[6], a high half alone, shows what a half becomes.
    m_dialogs->clipboard = clipboard;
    click("Command1");
    const std::vector<std::string_view> stored = storedRows(m_form->form().tallyState().alltxt());
    QCOMPARE(stored.size(), std::size_t(8));
    const std::string half(stored[6]);
    QVERIFY(!half.empty());
    QVERIFY(isValidUtf8(half));
    QCOMPARE(half.find_first_of("\t\r\n\""), std::string::npos);
    const auto withHalves = [&](const QString& text) {
        return text.toUtf8().replace('\x01', half).replace('\x02', half).toStdString();
    };
    const std::string alltxt = "\r\n" + withHalves(layout);
    click("Command2");
    m_dialogs->shown.clear();

    // A half spoils the value of rows[2] and the types of rows[3] and rows[7]; rows[6] has
    // no such cells.
    importCountExport(clipboard,
                      QString::fromStdString(withHalves(list({rows[0], rows[1], rows[4], rows[5]}))));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_form->form().tallyState().alltxt(), alltxt);
    QCOMPARE(countTexts(), QStringList({"3", "8", "5", "0", "1", "1", "0", "1"}));
}

// Wide rows ----------------------------------------------------------------------------------

void HostileClipboardTest::wideRows_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("counts"); // Label3, Label5, Label7, Label8..Label12
    QTest::addColumn<QString>("exported");

    // 200,000 cells: the header texts in the last two, beyond any 16-bit column number.
    const auto lastCells = [](const QString& first, const QString& second, qsizetype before = 199'998) {
        return QString(before, u'\t') + first + u'\t' + second;
    };
    const QString wideHeader = lastCells(header1, header2);
    QTest::newRow("200,000 cells")
        << sheet({wideHeader, lastCells(value1, alternatives[4]), lastCells(value1, alternatives[1]),
                  lastCells(otherValue, alternatives[4]), lastCells(value1, noAlternative),
                  // where a 16-bit column number would look
                  lastCells(value1, alternatives[4], 199'998 % 65'536),
                  // one cell to the left
                  lastCells(value1, alternatives[4], 199'997)})
        << QStringList({"2", "7", "3", "0", "1", "0", "0", "1"})
        << list({wideHeader, lastCells(value1, alternatives[4]), lastCells(value1, alternatives[1])});

    // A million TABs in one row: before the header texts, after them, between them, alone.
    const QString tabs(1'000'000, u'\t');
    const QString tabsFirst = tabs + headerRow;
    const QString matchAfterTabs = tabs + value1 + u'\t' + alternatives[0];
    QTest::newRow("a million TABs first")
        << sheet({tabsFirst, matchAfterTabs, tabs + value1})
        << QStringList({"1", "3", "2", "1", "0", "0", "0", "0"}) << list({tabsFirst, matchAfterTabs});
    const QString tabsLast = headerRow + tabs;
    const QString matchBeforeTabs = value1 + u'\t' + alternatives[2] + tabs;
    QTest::newRow("a million TABs last")
        << sheet({tabsLast, matchBeforeTabs, tabs}) << QStringList({"1", "3", "1", "0", "0", "1", "0", "0"})
        << list({tabsLast, matchBeforeTabs});
    const QString tabsBetween = header1 + tabs + header2;
    const QString matchAcross = value1 + tabs + alternatives[3];
    QTest::newRow("a million TABs between")
        << sheet({tabsBetween, matchAcross, value1 + tabs.chopped(1) + alternatives[3]})
        << QStringList({"1", "3", "2", "0", "0", "0", "1", "0"}) << list({tabsBetween, matchAcross});
    QTest::newRow("a million TABs alone")
        << sheet({headerRow, tabs}) << QStringList({"0", "2", "0", "0", "0", "0", "0", "0"}) << headerRow;
    QTest::newRow("a million TABs without a header row")
        << sheet({tabs}) << QStringList({"0", "1", "0", "0", "0", "0", "0", "0"}) << QString();
}

// Every row is stored whole, and the counts find the columns however far out they lie.
void HostileClipboardTest::wideRows() {
    QFETCH(QString, clipboard);
    QFETCH(QStringList, counts);
    QFETCH(QString, exported);
    // Every row has cells and none repeats the header row: all are kept as they are.
    const std::string stored = "\r\n" + clipboard.chopped(2).toStdString();
    importCountExport(clipboard, exported);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_form->form().tallyState().alltxt(), stored);
    QCOMPARE(countTexts(), counts);
}

// Quotes and line ends -----------------------------------------------------------------------

void HostileClipboardTest::quotesAndLineEndsOnly_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<bool>("importable");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<QString>("row"); // what every stored row holds

    // A Linux copy has LF alone turned into CR LF, unless it holds a CR LF already.
    const bool widened = brisquel::platformLineEnds() == brisquel::LineEnds::WidenLineFeeds;
    const qsizetype n = 2'000'000;
    const auto times = [n](const char* piece) { return QString::fromUtf8(piece).repeated(n); };
    QTest::newRow("CR LF") << times("\r\n") << true << qint64(0) << QString();
    QTest::newRow("quote, CR LF") << times("\"\r\n") << true << qint64(0) << QString();
    QTest::newRow("CR LF, quote") << times("\r\n\"") << true << qint64(0) << QString();
    // Deleting the quote joins CR and LF into a pair: rows are cut there.
    QTest::newRow("CR, quote, LF after a CR LF")
        << "\r\n" + times("\r\"\n") << true << qint64(0) << QString();
    QTest::newRow("quote, CR LF, CR, quote, LF") << times("\"\r\n\r\"\n") << true << qint64(0) << QString();
    // Without a CR LF of its own, each LF is widened first and the CR before it stays.
    QTest::newRow("CR, quote, LF") << times("\r\"\n") << true << qint64(widened ? n : 0)
                                   << QStringLiteral("\r");
    QTest::newRow("CR, quotes, LF, quote")
        << times("\r\"\"\n\"") << true << qint64(widened ? n : 0) << QStringLiteral("\r");
    QTest::newRow("LF") << times("\n") << widened << qint64(0) << QString();
    QTest::newRow("CR, quote, then one CR LF") << times("\r\"") + "\r\n"
                                               << true << qint64(1) << QString(n, u'\r');
    QTest::newRow("quotes") << times("\"") << false << qint64(0) << QString();
}

// Nothing but quotes and line ends: accepted when a CR LF remains, yet no row with anything
// in it is made, so nothing is counted or exported.
void HostileClipboardTest::quotesAndLineEndsOnly() {
    QFETCH(QString, clipboard);
    QFETCH(bool, importable);
    QFETCH(qint64, rows);
    QFETCH(QString, row);
    importCountExport(clipboard, {}, importable);
    if (QTest::currentTestFailed())
        return;
    const std::vector<std::string_view> stored = storedRows(m_form->form().tallyState().alltxt());
    QCOMPARE(qint64(stored.size()), rows);
    const std::string expectedRow = row.toStdString();
    QCOMPARE(std::count(stored.begin(), stored.end(), expectedRow), std::ptrdiff_t(stored.size()));
    QCOMPARE(countTexts(), QStringList({"0", QString::number(rows), "0", "0", "0", "0", "0", "0"}));
}

// One very long row ---------------------------------------------------------------------------

void HostileClipboardTest::fiftyMegabyteRow_data() {
    QTest::addColumn<bool>("afterHeader");
    QTest::addColumn<QString>("lineEnd");
    QTest::newRow("alone, ended by CR LF") << false << "\r\n";
    QTest::newRow("alone, without a line end") << false << "";
    QTest::newRow("after a header row, ended by CR LF") << true << "\r\n";
    QTest::newRow("after a header row, without a line end") << true << "";
}

// A single row of 50 MB of UTF-8: a meter that counts, then cells of Chinese and ASCII text.
void HostileClipboardTest::fiftyMegabyteRow() {
    QFETCH(bool, afterHeader);
    QFETCH(QString, lineEnd);
    QString row = value1 + u'\t' + alternatives[4] + u'\t';
    const QString piece = QStringLiteral("三相电能表\t0.5S\t"); // 21 bytes of UTF-8
    row.reserve(row.size() + piece.size() * 50'000'000 / 21);
    for (qsizetype i = 0; i < 50'000'000 / 21; ++i)
        row += piece;
    const QString header = afterHeader ? headerRow + QStringLiteral("\r\n") : QString();
    const bool importable = afterHeader || !lineEnd.isEmpty();
    importCountExport(header + row + lineEnd, afterHeader ? list({headerRow, row}) : QString(), importable);
    if (QTest::currentTestFailed() || !importable)
        return;
    const QByteArray rowUtf8 = row.toUtf8();
    const std::string_view alltxt = m_form->form().tallyState().alltxt();
    QVERIFY(alltxt.ends_with(view(rowUtf8)));
    QCOMPARE(alltxt.substr(0, alltxt.size() - rowUtf8.size()), "\r\n" + header.toStdString());
    QCOMPARE(countTexts(), afterHeader ? QStringList({"1", "2", "1", "0", "0", "0", "0", "1"})
                                       : QStringList({"0", "1", "0", "0", "0", "0", "0", "0"}));
}

// The header text in every row ----------------------------------------------------------------

void HostileClipboardTest::everyRowHoldsTheHeaderText_data() {
    QTest::addColumn<QString>("firstRow");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("exported");
    QTest::newRow("a header row first") << headerRow << headerRow << headerRow;
    QTest::newRow("quotes inside the header text") << "\"台\"区\"\t设备类型" << headerRow << headerRow;
    // Not a header row, since no cell is the header text: nothing to export.
    QTest::newRow("the header text inside a longer cell") << "镇府公用台区\t设备类型"
                                                          << "镇府公用台区\t设备类型" << QString();
}

// Once the first row holding the header text is stored, every later one is taken for a
// repeated header row and dropped, in this import and the next.
void HostileClipboardTest::everyRowHoldsTheHeaderText() {
    QFETCH(QString, firstRow);
    QFETCH(QString, stored);
    QFETCH(QString, exported);
    const QStringList holding = {header1,
                                 headerRow,
                                 value1 + u'\t' + header1,
                                 "镇府公用台区变\t" + alternatives[4],
                                 value1 + "\t\"台\"区\"",
                                 header1 + QString(100, u'\t'),
                                 value1 + u'\t' + alternatives[0] + u'\t' + header1};
    QStringList rows{firstRow};
    for (qsizetype i = 0; i < 300'000; ++i)
        rows.append(holding[i % holding.size()]);
    const QString clipboard = sheet(rows);
    importCountExport(clipboard, exported);
    if (QTest::currentTestFailed())
        return;
    const std::string alltxt = "\r\n" + stored.toStdString();
    QCOMPARE(m_form->form().tallyState().alltxt(), alltxt);
    QCOMPARE(countTexts(), QStringList({"0", "1", "0", "0", "0", "0", "0", "0"}));

    m_dialogs->clipboard = clipboard;
    click("Command1");
    QCOMPARE(m_dialogs->notices().last(), importDone);
    QCOMPARE(m_form->form().tallyState().alltxt(), alltxt);
    QCOMPARE(text("Label5"), QStringLiteral("1"));
}

QTEST_MAIN(HostileClipboardTest)
#include "hostile_clipboard_test.moc"
