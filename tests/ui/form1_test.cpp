// Form1: the layout against the table of controls, and the flow of every handler.
#include "controls.h"
#include "form1_fixture.h"

#include "engine/export.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

const QString windowTitleText = QStringLiteral("Brisquel v1.2 - 程序设计：Velkaran");
const QString importDone = QStringLiteral("已完成导入，如果还有更多相同报表可继续全选复制并导入");
const QString statisticsDone = QStringLiteral("已完成统计");

const QStringList commandNames = {"Command1", "Command2", "Command3", "Command4"};
const QStringList fieldNames = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"};

// Rows as a spreadsheet copies them: cells joined by TAB, every row ended by the line end.
QString sheet(const QList<QStringList>& rows, const QString& lineEnd = QStringLiteral("\r\n")) {
    QString text;
    for (const QStringList& row : rows)
        text += row.join(u'\t') + lineEnd;
    return text;
}

// A header and four meters: three in 镇府公用台变, of which one counts for Text5 and one for Text8.
const QString smallReport = sheet({{"序号", "台区", "设备类型"},
                                   {"1", "镇府公用台变", "三相多功能电能表"},
                                   {"2", "镇府公用台变", "三相载波电子式电能表"},
                                   {"3", "其他台变", "三相多功能电能表"},
                                   {"4", "镇府公用台变", "单相电能表"}});

QString readFixture(const char* name) {
    QFile file(QStringLiteral(BRISQUEL_TEST_DATA "/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the fixture %s", name);
    return QString::fromUtf8(file.readAll());
}

// Counts the title changes of a window.
class TitleCounter : public QObject {
public:
    int changes = 0;
    QStringList titles;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange) {
            ++changes;
            titles.append(static_cast<QWidget*>(watched)->windowTitle());
        }
        return false;
    }
};

// Records which buttons were enabled or disabled, in order.
class EnabledRecorder : public QObject {
public:
    QStringList changes;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            const auto* widget = static_cast<QWidget*>(watched);
            changes.append(widget->objectName() + (widget->isEnabled() ? " on" : " off"));
        }
        return false;
    }
};

} // namespace

class Form1Test : public QObject, private Form1Fixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithDefaults();
    void onlyImportWorksAtStart();

    void controlsSitInTheirBoxes_data();
    void controlsSitInTheirBoxes();
    void linesAndBackgroundPicture();
    void captionsFitAndFacesResolve();
    void fieldsCoverOverlappingCaptions();
    void tabOrderFollowsTheTable();
    void enterAndEscapeDoNothing();
    void accessibleNames();

    void answeringNoChangesNothing_data();
    void answeringNoChangesNothing();
    void importRefusesUnusableClipboard_data();
    void importRefusesUnusableClipboard();
    void importLocksReportsAndUnlocks();
    void inputDuringAnOperationIsDropped();
    void progressIsShownAtMostThirtyTimesASecond();
    void importsLinuxSpreadsheetCopies_data();
    void importsLinuxSpreadsheetCopies();

    void resetClearsCountsAndKeepsTitleAndFields();

    void statisticsCountsAndReports();

    void exportRefusedWithoutResult();
    void exportWritesTheListAndNamesTheFile();
    void exportFailureIsReported();

    void labelClicksShowCurrentCounts();

    void doubleClickPastesIntoThatField();
    void pasteDropsFinalLineBreak_data();
    void pasteDropsFinalLineBreak();

    void wideNumberShrinksToFit_data();
    void wideNumberShrinksToFit();

private:
    QStringList enabledCommands() const;
    void importText(const QString& clipboard);
    void runStatistics();
};

void Form1Test::init() {
    openWindow();
}

void Form1Test::cleanup() {
    closeWindow();
}

QStringList Form1Test::enabledCommands() const {
    QStringList enabled;
    for (const QString& name : commandNames) {
        if (control<QPushButton>(name)->isEnabled())
            enabled.append(name);
    }
    return enabled;
}

void Form1Test::importText(const QString& clipboard) {
    m_dialogs->clipboard = clipboard;
    click("Command1");
}

void Form1Test::runStatistics() {
    click("Command3");
}

// Start state ---------------------------------------------------------------------------

void Form1Test::startsWithDefaults() {
    QCOMPARE(m_form->windowTitle(), windowTitleText);
    QCOMPARE(m_form->size(), QSize(746, 365));
    const QStringList defaults = {"镇府公用台变",
                                  "三相多功能电能表(费控)",
                                  "台区",
                                  "设备类型",
                                  "三相载波电子式电能表",
                                  "普通三相电子式电能表",
                                  "三相智能电能表（费控）",
                                  "三相多功能电能表"};
    for (int i = 0; i < fieldNames.size(); ++i)
        QCOMPARE(text(fieldNames[i]), defaults[i]);
    QCOMPARE(countTexts(), QStringList(8, "0"));
    QCOMPARE(enabledCommands(), QStringList{"Command1"});
    QCOMPARE(m_form->tallyState().alli(), 0);
    QCOMPARE(m_form->tallyState().alltxti(), 0);
    QVERIFY(m_form->tallyState().alltxt().empty());
}

void Form1Test::onlyImportWorksAtStart() {
    for (const char* name : {"Command2", "Command3", "Command4"})
        click(name);
    QVERIFY(m_dialogs->shown.isEmpty());

    m_dialogs->answers = {true};
    importText(smallReport);
    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(enabledCommands(), commandNames);
}

// Layout --------------------------------------------------------------------------------

void Form1Test::controlsSitInTheirBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("box"); // pixels at 96 dots per inch
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour"); // invalid: the platform's text colour

    const QColor platform;
    const QColor red(0xC0, 0x00, 0x00);
    QTest::newRow("Command1") << "Command1" << QRect(184, 224, 177, 49) << 9 << false << platform;
    QTest::newRow("Text1") << "Text1" << QRect(16, 56, 225, 25) << 9 << false << platform;
    QTest::newRow("Text2") << "Text2" << QRect(264, 56, 209, 25) << 9 << false << platform;
    QTest::newRow("Label1") << "Label1" << QRect(16, 8, 89, 17) << 9 << true << platform;
    QTest::newRow("Label2") << "Label2" << QRect(272, 8, 89, 17) << 9 << true << platform;
    QTest::newRow("Label3") << "Label3" << QRect(560, 96, 169, 97) << 72 << true << QColor(0x00, 0xC0, 0x00);
    QTest::newRow("Command2") << "Command2" << QRect(16, 224, 161, 49) << 9 << false << platform;
    QTest::newRow("Text3") << "Text3" << QRect(80, 32, 161, 18) << 9 << false << platform;
    QTest::newRow("Text4") << "Text4" << QRect(320, 32, 153, 18) << 9 << false << platform;
    QTest::newRow("Label4") << "Label4" << QRect(24, 288, 705, 73) << 12 << false << platform;
    QTest::newRow("Label5") << "Label5" << QRect(640, 31, 97, 17) << 12 << true << QColor(0x00, 0x00, 0xFF);
    QTest::newRow("Command3") << "Command3" << QRect(368, 224, 153, 49) << 9 << false << platform;
    QTest::newRow("Label6") << "Label6" << QRect(560, 32, 73, 17) << 9 << false << platform;
    QTest::newRow("Text5") << "Text5" << QRect(264, 88, 209, 25) << 9 << false << platform;
    QTest::newRow("Text6") << "Text6" << QRect(264, 120, 209, 25) << 9 << false << platform;
    QTest::newRow("Text7") << "Text7" << QRect(264, 152, 209, 25) << 9 << false << platform;
    QTest::newRow("Text8") << "Text8" << QRect(264, 184, 209, 25) << 9 << false << platform;
    QTest::newRow("Label7") << "Label7" << QRect(192, 88, 49, 17) << 12 << true << red;
    QTest::newRow("Label8") << "Label8" << QRect(480, 64, 41, 17) << 12 << true << red;
    QTest::newRow("Label9") << "Label9" << QRect(480, 96, 49, 17) << 12 << true << red;
    QTest::newRow("Label10") << "Label10" << QRect(480, 128, 49, 17) << 12 << true << red;
    QTest::newRow("Label11") << "Label11" << QRect(480, 160, 49, 17) << 12 << true << red;
    QTest::newRow("Label12") << "Label12" << QRect(480, 192, 49, 17) << 12 << true << red;
    QTest::newRow("Command4") << "Command4" << QRect(552, 224, 185, 49) << 9 << false << platform;
    QTest::newRow("Label13") << "Label13" << QRect(16, 32, 65, 17) << 9 << false << platform;
    QTest::newRow("Label14") << "Label14" << QRect(264, 32, 65, 17) << 9 << false << platform;
    QTest::newRow("Label15") << "Label15" << QRect(136, 88, 49, 17) << 9 << false << platform;
}

void Form1Test::controlsSitInTheirBoxes() {
    QFETCH(QString, name);
    QFETCH(QRect, box);
    QFETCH(int, pointSize);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);

    QWidget* widget = control(name);
    QCOMPARE(widget->geometry(), box);
    QCOMPARE(widget->font().family(), QStringLiteral("宋体"));
    QCOMPARE(widget->font().pointSize(), pointSize);
    QCOMPARE(widget->font().weight(), bold ? QFont::Bold : QFont::Normal);
    QVERIFY(!widget->font().italic() && !widget->font().underline() && !widget->font().strikeOut());
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QVERIFY(label->focusPolicy() == Qt::NoFocus);
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
        const QColor expected =
            colour.isValid() ? colour : QApplication::palette().color(QPalette::WindowText);
        QCOMPARE(label->palette().color(QPalette::WindowText), expected);
    }

    // Resizing or maximising the window moves nothing.
    m_form->resize(1200, 800);
    QCOMPARE(widget->geometry(), box);
    m_form->resize(300, 200);
    QCOMPARE(widget->geometry(), box);
}

void Form1Test::linesAndBackgroundPicture() {
    QCOMPARE(control<QFrame>("Line1")->geometry(), QRect(256, 32, 1, 185));
    QCOMPARE(control<QFrame>("Line2")->geometry(), QRect(536, 32, 1, 241));

    const QImage window = m_form->grab().toImage();
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    for (const QPoint& onLine : {QPoint(256, 32), QPoint(256, 216), QPoint(536, 150), QPoint(536, 272)})
        QCOMPARE(window.pixelColor(onLine), ink);

    const QImage picture(QStringLiteral(":/background.png"));
    QCOMPARE(picture.size(), QSize(16, 16));
    QCOMPARE(window.copy(0, 0, 16, 16).convertToFormat(QImage::Format_RGB32),
             picture.convertToFormat(QImage::Format_RGB32));
    QVERIFY(m_form->windowIcon().availableSizes().contains(QSize(128, 128)));
}

void Form1Test::captionsFitAndFacesResolve() {
    // The window's face is a 9-point CJK face whose Chinese characters are 12 pixels wide.
    const QFontInfo face(m_form->font());
    QVERIFY2(QFontDatabase::writingSystems(face.family()).contains(QFontDatabase::SimplifiedChinese),
             qPrintable(face.family()));
    QCOMPARE(QFontMetrics(m_form->font()).horizontalAdvance(QChar(u'导')), 12);

    for (QPushButton* button : m_form->findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->objectName()));
    for (QLineEdit* field : m_form->findChildren<QLineEdit*>())
        QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) < field->width() - 4,
                 qPrintable(field->objectName()));
    for (QLabel* label : m_form->findChildren<QLabel*>()) {
        if (qobject_cast<CountLabel*>(label))
            continue; // see wideNumberShrinksToFit
        const QFontInfo labelFace(label->font());
        QVERIFY2(QFontDatabase::writingSystems(labelFace.family()).contains(QFontDatabase::SimplifiedChinese),
                 qPrintable(label->objectName()));
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                                               Qt::TextWordWrap, label->text());
        QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                 qPrintable(label->objectName()));
    }
}

void Form1Test::fieldsCoverOverlappingCaptions() {
    // Label13 runs one pixel into Text3, Label14 nine pixels into Text4.
    QCOMPARE(m_form->childAt(80, 40), control("Text3"));
    QCOMPARE(m_form->childAt(325, 40), control("Text4"));
    QCOMPARE(m_form->childAt(20, 40), control("Label13"));
}

void Form1Test::tabOrderFollowsTheTable() {
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    QCOMPARE(QApplication::focusWidget(), control("Command1"));

    const auto tabRound = [] {
        QStringList visited;
        for (int i = 0; i < 13; ++i) {
            visited.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return visited;
    };
    QCOMPARE(tabRound(), QStringList({"Command1", "Text1", "Text2", "Text3", "Text4", "Text5", "Text6",
                                      "Text7", "Text8", "Command1", "Text1", "Text2", "Text3"}));

    control("Command1")->setFocus();
    importText(smallReport);
    control("Command1")->setFocus();
    QCOMPARE(tabRound(), QStringList({"Command1", "Text1", "Text2", "Command2", "Text3", "Text4", "Command3",
                                      "Text5", "Text6", "Text7", "Text8", "Command4", "Command1"}));
}

void Form1Test::enterAndEscapeDoNothing() {
    importText(smallReport);
    const qsizetype boxes = m_dialogs->shown.size();
    for (const QString& name : fieldNames) {
        QWidget* field = control(name);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter);
        QTest::keyClick(field, Qt::Key_Escape);
    }
    QCOMPARE(m_dialogs->shown.size(), boxes);
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_form->windowTitle(), importDone);
    for (QPushButton* button : m_form->findChildren<QPushButton*>())
        QVERIFY(!button->isDefault() && !button->autoDefault());
}

void Form1Test::accessibleNames() {
    const QStringList expected = {"条件1 内容",  "条件2 内容1", "条件1 表头文字", "条件2 表头文字",
                                  "条件2 内容2", "条件2 内容3", "条件2 内容4",    "条件2 内容5"};
    for (int i = 0; i < fieldNames.size(); ++i) {
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(control(fieldNames[i]));
        QCOMPARE(field->text(QAccessible::Name), expected[i]);
    }
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(control("Command3"));
    QCOMPARE(button->text(QAccessible::Name), QStringLiteral("统计 "));
    QAccessibleInterface* caption = QAccessible::queryAccessibleInterface(control("Label6"));
    QCOMPARE(caption->text(QAccessible::Name), QStringLiteral("已导入行数:"));
    QAccessibleInterface* count = QAccessible::queryAccessibleInterface(control("Label5"));
    importText(smallReport);
    QCOMPARE(count->text(QAccessible::Name), QStringLiteral("5"));
}

// The questions of Command1_Click..Command4_Click -------------------------------------------

void Form1Test::answeringNoChangesNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::newRow("import") << "Command1"
                            << "确定要导入吗？先在WPS报表里全选复制报表，再导入";
    QTest::newRow("reset") << "Command2"
                           << "确定要置零吗？";
    QTest::newRow("statistics") << "Command3"
                                << "确定要统计吗？先导入报表所有行再统计";
    QTest::newRow("export")
        << "Command4"
        << "确定要导出本次统计有效的列表吗？导出文本文件可以用WPS报表打开就是报表了，"
           "可另存为XLSX格式，TAB制表符分隔，如果有数字变指数请在WPS报表里把该列单元格属性"
           "改为分数或文本";
}

void Form1Test::answeringNoChangesNothing() {
    QFETCH(QString, button);
    QFETCH(QString, question);
    importText(smallReport);
    control<QLineEdit>("Text5")->clear();
    runStatistics();
    control<QLineEdit>("Text5")->setText("三相载波电子式电能表"); // a new run would count differently
    const QStringList counts = countTexts();
    const qsizetype boxes = m_dialogs->shown.size();
    EnabledRecorder recorder;
    for (const QString& name : commandNames)
        control(name)->installEventFilter(&recorder);

    m_dialogs->answers = {false};
    click(button);
    QCOMPARE(m_dialogs->shown.size(), boxes + 1);
    QVERIFY(m_dialogs->shown.last().question);
    QCOMPARE(m_dialogs->shown.last().title, QStringLiteral("是否执行?"));
    QCOMPARE(m_dialogs->shown.last().text, question);
    QVERIFY(recorder.changes.isEmpty());
    QCOMPARE(m_form->windowTitle(), statisticsDone);
    QCOMPARE(countTexts(), counts);
    QCOMPARE(m_form->tallyState().alltxti(), 5);
    QCOMPARE(m_form->tallyState().alli(), 1);
    QVERIFY(QDir(m_exportDir->path()).isEmpty());
}

// Command1_Click: import -----------------------------------------------------------------

void Form1Test::importRefusesUnusableClipboard_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("empty") << QString();
    QTest::newRow("one cell") << QStringLiteral("镇府公用台变");
    QTest::newRow("cells without a line break") << QStringLiteral("台区\t设备类型");
    QTest::newRow("lone CR") << QStringLiteral("台区\r设备类型\r");
}

void Form1Test::importRefusesUnusableClipboard() {
    QFETCH(QString, clipboard);
    QStringList enabledDuringNotice;
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box& box) {
        if (!box.question)
            enabledDuringNotice = enabledCommands();
    };
    importText(clipboard);

    QCOMPARE(m_dialogs->notices(), QStringList{"失败，请先打开EXCEL报表并全选复制"});
    QCOMPARE(enabledDuringNotice, QStringList{"Command1"});
    QCOMPARE(enabledCommands(), QStringList{"Command1"});
    QCOMPARE(m_form->windowTitle(), windowTitleText);
    QCOMPARE(text("Label5"), QStringLiteral("0"));

    // The same refusal once the buttons are enabled: they stay enabled throughout.
    importText(smallReport);
    importText(clipboard);
    QCOMPARE(enabledDuringNotice, commandNames);
    QCOMPARE(m_form->windowTitle(), importDone);
    QCOMPARE(m_form->tallyState().alltxti(), 5);
}

void Form1Test::importLocksReportsAndUnlocks() {
    EnabledRecorder recorder;
    for (const QString& name : commandNames)
        control(name)->installEventFilter(&recorder);
    QStringList enabledDuringNotice{"not shown"};
    QString titleDuringNotice;
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box& box) {
        if (!box.question) {
            enabledDuringNotice = enabledCommands();
            titleDuringNotice = m_form->windowTitle();
        }
    };

    importText(smallReport);
    QCOMPARE(m_dialogs->notices(), QStringList{importDone});
    QCOMPARE(titleDuringNotice, importDone);
    QVERIFY(enabledDuringNotice.isEmpty());
    QCOMPARE(m_form->windowTitle(), importDone);
    QCOMPARE(text("Label5"), QStringLiteral("5"));
    QCOMPARE(recorder.changes,
             QStringList({"Command1 off", "Command1 on", "Command2 on", "Command3 on", "Command4 on"}));

    // A second import locks all four, in order, and drops the repeated header row.
    recorder.changes.clear();
    importText(smallReport);
    QCOMPARE(recorder.changes, QStringList({"Command1 off", "Command2 off", "Command3 off", "Command4 off",
                                            "Command1 on", "Command2 on", "Command3 on", "Command4 on"}));
    QCOMPARE(text("Label5"), QStringLiteral("9"));
}

void Form1Test::inputDuringAnOperationIsDropped() {
    QStringList enabledInside{"not seen"};
    QTimer::singleShot(0, m_form, [&] {
        enabledInside = enabledCommands();
        QTest::keyClicks(control("Text1"), "abc");
        QTest::mouseDClick(control("Text2"), Qt::LeftButton);
        QTest::mouseClick(control("Label3"), Qt::LeftButton);
    });
    const QList<QStringList> rows(20000, QStringList{"1", "镇府公用台变", "三相多功能电能表"});
    importText(sheet({{"序号", "台区", "设备类型"}}) + sheet(rows));

    QVERIFY(enabledInside.isEmpty());
    QCOMPARE(text("Text1"), QStringLiteral("镇府公用台变"));
    QCOMPARE(text("Text2"), QStringLiteral("三相多功能电能表(费控)"));
    QCOMPARE(m_dialogs->shown.size(), 2);

    // Once the operation is over, input is taken again.
    m_dialogs->clipboard = QStringLiteral("粘贴");
    QTest::mouseDClick(control("Text2"), Qt::LeftButton);
    QCOMPARE(text("Text2"), QStringLiteral("粘贴"));
}

void Form1Test::progressIsShownAtMostThirtyTimesASecond() {
    TitleCounter counter;
    m_form->installEventFilter(&counter);
    QList<QStringList> rows{{"序号", "台区", "设备类型"}};
    for (int i = 1; i <= 200000; ++i)
        rows.append({QString::number(i), i % 3 ? "其他台变" : "镇府公用台变", "三相多功能电能表"});
    const QString report = sheet(rows);

    QElapsedTimer clock;
    clock.start();
    importText(report);
    const qint64 importMs = clock.elapsed();
    QVERIFY2(counter.changes <= 3 + importMs / 30, qPrintable(QString::number(counter.changes)));
    QVERIFY(counter.changes >= 2);
    QCOMPARE(counter.titles.last(), importDone);
    // The last progress shown is the last row of the pass.
    QCOMPARE(counter.titles[counter.titles.size() - 2], QStringLiteral("200001/200001"));
    for (qsizetype i = 0; i + 1 < counter.titles.size(); ++i)
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+/200001$")).match(counter.titles[i]).hasMatch());
    QCOMPARE(text("Label5"), QStringLiteral("200001"));

    counter.changes = 0;
    counter.titles.clear();
    clock.restart();
    runStatistics();
    const qint64 statisticsMs = clock.elapsed();
    QVERIFY2(counter.changes <= 3 + statisticsMs / 30, qPrintable(QString::number(counter.changes)));
    QCOMPARE(counter.titles.last(), statisticsDone);
    QCOMPARE(counter.titles[counter.titles.size() - 2], QStringLiteral("200001/200001"));
    QCOMPARE(text("Label7"), QStringLiteral("66666"));
    QCOMPARE(text("Label12"), QStringLiteral("66666"));
    QCOMPARE(text("Label3"), QStringLiteral("66666"));
}

void Form1Test::importsLinuxSpreadsheetCopies_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("rows");
    // Ten rows each; rows 3 and 6 name an area ending in 台区 and are dropped like a
    // repeated header. Calc ends every row with LF; Gnumeric leaves the last one bare and
    // writes the line break inside row 2's last cell as a bare LF, which splits that row.
    QTest::newRow("LibreOffice Calc") << readFixture("calc-whole-sheet.utf8.txt") << "8";
    QTest::newRow("Gnumeric") << readFixture("gnumeric-whole-sheet.utf8.txt") << "9";
}

void Form1Test::importsLinuxSpreadsheetCopies() {
    QFETCH(QString, clipboard);
    QFETCH(QString, rows);
    importText(clipboard);
    QCOMPARE(m_dialogs->notices(), QStringList{importDone});
    QCOMPARE(text("Label5"), rows);

    runStatistics();
    // Rows 1, 2, 5, 7 and 8 lie in 镇府公用台变 (row 4's cell has a leading blank); rows 1,
    // 2, 7 and 5 hold the types of Text2, Text5, Text7 and Text8, row 8 none of them.
    QCOMPARE(countTexts(), QStringList({"4", rows, "5", "1", "1", "0", "1", "1"}));
}

// Command2_Click: reset ------------------------------------------------------------------

void Form1Test::resetClearsCountsAndKeepsTitleAndFields() {
    importText(smallReport);
    control<QLineEdit>("Text8")->setText("单相电能表");
    runStatistics();
    QCOMPARE(text("Label12"), QStringLiteral("1"));
    EnabledRecorder recorder;
    for (const QString& name : commandNames)
        control(name)->installEventFilter(&recorder);
    const qsizetype boxes = m_dialogs->shown.size();

    click("Command2");
    QCOMPARE(m_dialogs->shown.size(), boxes + 1); // the question only
    QCOMPARE(countTexts(), QStringList(8, "0"));
    QCOMPARE(m_form->windowTitle(), statisticsDone);
    QCOMPARE(text("Text8"), QStringLiteral("单相电能表"));
    QVERIFY(recorder.changes.isEmpty());
    QCOMPARE(enabledCommands(), commandNames);
    QVERIFY(m_form->tallyState().alltxt().empty());
    QVERIFY(m_form->tallyState().allouttxt().empty());

    // The next import starts from nothing again.
    importText(smallReport);
    QCOMPARE(text("Label5"), QStringLiteral("5"));
}

// Command3_Click: statistics -------------------------------------------------------------

void Form1Test::statisticsCountsAndReports() {
    importText(smallReport);
    QStringList enabledDuringNotice{"not shown"};
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box& box) {
        if (!box.question)
            enabledDuringNotice = enabledCommands();
    };
    runStatistics();
    QCOMPARE(m_dialogs->notices().last(), statisticsDone);
    QVERIFY(enabledDuringNotice.isEmpty());
    QCOMPARE(enabledCommands(), commandNames);
    QCOMPARE(m_form->windowTitle(), statisticsDone);
    QCOMPARE(countTexts(), QStringList({"2", "5", "3", "0", "1", "0", "0", "1"}));

    // The fields are read at each run: clearing Text5 drops its match.
    control<QLineEdit>("Text5")->clear();
    runStatistics();
    QCOMPARE(countTexts(), QStringList({"1", "5", "3", "0", "0", "0", "0", "1"}));
}

// Command4_Click: export -----------------------------------------------------------------

void Form1Test::exportRefusedWithoutResult() {
    importText(smallReport);
    QStringList enabledDuringNotice;
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box& box) {
        if (!box.question)
            enabledDuringNotice = enabledCommands();
    };
    const qsizetype boxes = m_dialogs->shown.size();
    click("Command4");
    QCOMPARE(m_dialogs->shown.size(), boxes + 1);
    QVERIFY(!m_dialogs->shown.last().question);
    QCOMPARE(m_dialogs->shown.last().text, QStringLiteral("导出失败，请先统计，有结果才能导出...."));
    QCOMPARE(enabledDuringNotice, commandNames);
    QVERIFY(QDir(m_exportDir->path()).isEmpty());
}

void Form1Test::exportWritesTheListAndNamesTheFile() {
    importText(smallReport);
    runStatistics();
    QStringList enabledDuringNotice{"not shown"};
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box& box) {
        if (!box.question)
            enabledDuringNotice = enabledCommands();
    };
    click("Command4");

    const QStringList files = QDir(m_exportDir->path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^导出文件_\\d{4}-\\d{1,2}-\\d{1,2}_\\d{3,6}\\.txt$"))
                .match(files[0])
                .hasMatch());
    const QString path = m_exportDir->path() + u'/' + files[0];
    QCOMPARE(m_dialogs->notices().last(), QStringLiteral("文件路径:\r\n") + path);
    QVERIFY(enabledDuringNotice.isEmpty());
    QCOMPARE(enabledCommands(), commandNames);
    QCOMPARE(m_form->windowTitle(), statisticsDone);

    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().toStdString(), brisquel::toAnsi(m_form->tallyState().allouttxt()));
}

void Form1Test::exportFailureIsReported() {
    importText(smallReport);
    runStatistics();
    const QString missing = m_exportDir->path() + QStringLiteral("/没有这个文件夹");
    m_form->setExportFolder(missing);
    click("Command4");

    const QStringList lines = m_dialogs->notices().last().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("导出失败，无法写入文件:"));
    QVERIFY(lines[1].startsWith(missing + QStringLiteral("/导出文件_")));
    QVERIFY(!lines[2].isEmpty());
    QCOMPARE(enabledCommands(), commandNames);
    QCOMPARE(m_form->windowTitle(), statisticsDone);
    QCOMPARE(text("Label3"), QStringLiteral("2"));
}

// Label3_Click, Label5_Click -------------------------------------------------------------

void Form1Test::labelClicksShowCurrentCounts() {
    importText(smallReport);
    runStatistics();
    control<QLabel>("Label3")->setText("x");
    control<QLabel>("Label5")->setText("y");
    click("Label3");
    QCOMPARE(text("Label3"), QStringLiteral("2"));
    QCOMPARE(text("Label5"), QStringLiteral("y"));
    click("Label5");
    QCOMPARE(text("Label5"), QStringLiteral("5"));
    QCOMPARE(m_dialogs->shown.size(), 4);
}

// Text1_DblClick..Text8_DblClick ---------------------------------------------------------

void Form1Test::doubleClickPastesIntoThatField() {
    for (const QString& name : fieldNames) {
        m_dialogs->clipboard = name + QStringLiteral("的值");
        QTest::mouseDClick(control(name), Qt::LeftButton);
    }
    for (const QString& name : fieldNames)
        QCOMPARE(text(name), name + QStringLiteral("的值"));
    QVERIFY(m_dialogs->shown.isEmpty());
}

void Form1Test::pasteDropsFinalLineBreak_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("pasted");
    QTest::newRow("cell without a line break") << "镇府公用台变"
                                               << "镇府公用台变";
    QTest::newRow("cell from Excel or WPS") << "镇府公用台变\r\n"
                                            << "镇府公用台变";
    QTest::newRow("cell from Calc") << "镇府公用台变\n"
                                    << "镇府公用台变";
    QTest::newRow("blanks and TABs are kept") << " 台变\t \r\n"
                                              << " 台变\t ";
    QTest::newRow("inner line breaks are kept") << "甲\r\n乙\r\n"
                                                << "甲\r\n乙";
    QTest::newRow("an empty cell") << "\r\n"
                                   << "";
    QTest::newRow("empty clipboard leaves the field") << ""
                                                      << "台区";
}

void Form1Test::pasteDropsFinalLineBreak() {
    QFETCH(QString, clipboard);
    QFETCH(QString, pasted);
    m_dialogs->clipboard = clipboard;
    QTest::mouseDClick(control("Text3"), Qt::LeftButton);
    QCOMPARE(text("Text3"), pasted);
}

// Count labels ---------------------------------------------------------------------------

void Form1Test::wideNumberShrinksToFit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("shrinks");
    QTest::newRow("Label3, seven digits") << "Label3"
                                          << "1048576" << true;
    QTest::newRow("Label3, ten digits") << "Label3"
                                        << "2147483647" << true;
    QTest::newRow("Label5, ten digits fit") << "Label5"
                                            << "2147483647" << false;
    QTest::newRow("Label7") << "Label7"
                            << "1048576" << true;
    QTest::newRow("Label8, the narrow one") << "Label8"
                                            << "314573" << true;
    QTest::newRow("Label12") << "Label12"
                             << "1048576" << true;
}

void Form1Test::wideNumberShrinksToFit() {
    QFETCH(QString, name);
    QFETCH(QString, number);
    QFETCH(bool, shrinks);
    auto* label = control<CountLabel>(name);
    QCOMPARE(label->drawnFont(), label->font()); // "0" fits as it is

    label->setText(number);
    const QFont own = label->font();
    const QFont drawn = label->drawnFont();
    QCOMPARE(drawn.pointSize() < own.pointSize(), shrinks);
    QCOMPARE(drawn.family(), own.family());
    QCOMPARE(drawn.weight(), own.weight());
    const auto fits = [&](const QFont& font) {
        const QFontMetricsF metrics(font);
        return metrics.horizontalAdvance(number) <= label->width() &&
               metrics.ascent() + metrics.tightBoundingRect(number).bottom() <= label->height();
    };
    QVERIFY(fits(drawn));
    if (shrinks) {
        QFont larger = drawn;
        larger.setPointSize(drawn.pointSize() + 1);
        QVERIFY(!fits(larger));
    }

    // Drawn whole: ink in the label, none in its last column or row, where a cut would show.
    const QImage image = label->grab().toImage();
    const QColor ink = label->palette().color(QPalette::WindowText);
    const auto isInk = [&](int x, int y) { return image.pixelColor(x, y) == ink; };
    int inkPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            inkPixels += isInk(x, y);
        QVERIFY(!isInk(image.width() - 1, y));
    }
    for (int x = 0; x < image.width(); ++x)
        QVERIFY(!isInk(x, image.height() - 1));
    QVERIFY(inkPixels > 0);
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
