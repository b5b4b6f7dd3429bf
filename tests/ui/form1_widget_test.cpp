// Form1Widget: each widget against the table, events reaching their handlers, focus and keys,
// input dropped during an operation, the real message boxes, and shrink-to-fit.
#include "controls.h"
#include "form1_fixture.h"

#include "engine/export.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace {

const QString windowTitleText = QStringLiteral("Brisquel v1.2 - 程序设计：Velkaran");
const QString importDone = QStringLiteral("已完成导入，如果还有更多相同报表可继续全选复制并导入");

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

} // namespace

class Form1WidgetTest : public QObject, private Form1Fixture {
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
    void accessibleNames();

    void eventsReachTheirHandlers();
    void importsLinuxSpreadsheetCopies_data();
    void importsLinuxSpreadsheetCopies();
    void inputDuringAnOperationIsDropped();
    void focusReturnsToThePressedButton();
    void enterPressesOnlyAFocusedButton();
    void fieldTakesAHundredThousandCharacters();

    void messageBoxesSpeakChinese();
    void contextMenuSpeaksChinese();

    void wideNumberShrinksToFit_data();
    void wideNumberShrinksToFit();

private:
    QStringList enabledCommands() const;
    void importText(const QString& clipboard);
    void runStatistics();
};

void Form1WidgetTest::init() {
    openWindow();
}

void Form1WidgetTest::cleanup() {
    closeWindow();
}

QStringList Form1WidgetTest::enabledCommands() const {
    QStringList enabled;
    for (const QString& name : commandNames) {
        if (control<QPushButton>(name)->isEnabled())
            enabled.append(name);
    }
    return enabled;
}

void Form1WidgetTest::importText(const QString& clipboard) {
    m_dialogs->clipboard = clipboard;
    click("Command1");
}

void Form1WidgetTest::runStatistics() {
    click("Command3");
}

// Start state ---------------------------------------------------------------------------

void Form1WidgetTest::startsWithDefaults() {
    QCOMPARE(m_form->windowTitle(), windowTitleText);
    QCOMPARE(m_form->size(), QSize(746, 365));
    // Every caption, character for character: ASCII and full-width brackets and colons, the
    // blank after 统计.
    const QList<std::pair<QString, QString>> captions = {
        {"Command1", "从剪贴板导入"},
        {"Command2", "置零"},
        {"Command3", "统计 "},
        {"Command4", "导出统计列表到TXT"},
        {"Text1", "镇府公用台变"},
        {"Text2", "三相多功能电能表(费控)"},
        {"Text3", "台区"},
        {"Text4", "设备类型"},
        {"Text5", "三相载波电子式电能表"},
        {"Text6", "普通三相电子式电能表"},
        {"Text7", "三相智能电能表（费控）"},
        {"Text8", "三相多功能电能表"},
        {"Label1", "导入统计条件1"},
        {"Label2", "导入统计条件2"},
        {"Label4",
         "说明：用于对EXCEL进行双条件满足的个数统计。先填写条件1的表头文字，如台区，再填写下面的条件"
         "内容，条件2也如法炮制。然后，逐个表全选并复制数据，再点按钮从剪贴板导入并统计，即可得到个"
         "数，导入数据量大的话，可能会无响应，请耐心等待即可。注意，复制了数据要粘贴到文本栏，双击文"
         "本栏即可。"},
        {"Label6", "已导入行数:"},
        {"Label13", "表头文字:"},
        {"Label14", "表头文字:"},
        {"Label15", "符合数:"},
    };
    for (const auto& [name, caption] : captions) {
        QWidget* widget = control(name);
        const QString shown =
            qobject_cast<QPushButton*>(widget) ? static_cast<QPushButton*>(widget)->text() : text(name);
        QCOMPARE(shown, caption);
    }
    QCOMPARE(text("Label4").size(), 143);
    QCOMPARE(countTexts(), QStringList(8, "0"));
    QCOMPARE(enabledCommands(), QStringList{"Command1"});
}

void Form1WidgetTest::onlyImportWorksAtStart() {
    for (const char* name : {"Command2", "Command3", "Command4"})
        click(name);
    QVERIFY(m_dialogs->shown.isEmpty());

    m_dialogs->answers = {true};
    importText(smallReport);
    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(enabledCommands(), commandNames);
}

// Layout --------------------------------------------------------------------------------

void Form1WidgetTest::controlsSitInTheirBoxes_data() {
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

void Form1WidgetTest::controlsSitInTheirBoxes() {
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

void Form1WidgetTest::linesAndBackgroundPicture() {
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

void Form1WidgetTest::captionsFitAndFacesResolve() {
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

void Form1WidgetTest::fieldsCoverOverlappingCaptions() {
    // Label13 runs one pixel into Text3, Label14 nine pixels into Text4.
    QCOMPARE(m_form->childAt(80, 40), control("Text3"));
    QCOMPARE(m_form->childAt(325, 40), control("Text4"));
    QCOMPARE(m_form->childAt(20, 40), control("Label13"));
}

void Form1WidgetTest::tabOrderFollowsTheTable() {
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

void Form1WidgetTest::accessibleNames() {
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

// Events and keys -----------------------------------------------------------------------

// A click on each button and count label and a double-click on each field reach their own
// handler, and nothing else does.
void Form1WidgetTest::eventsReachTheirHandlers() {
    importText(smallReport);
    QCOMPARE(m_dialogs->shown.size(), 2);
    QCOMPARE(m_dialogs->shown[0].text, QStringLiteral("确定要导入吗？先在WPS报表里全选复制报表，再导入"));
    const QList<std::pair<QString, QString>> questions = {
        {"Command2", "确定要置零吗？"},
        {"Command3", "确定要统计吗？先导入报表所有行再统计"},
        {"Command4", "导出失败，请先统计，有结果才能导出...."}, // refused: nothing was counted
    };
    for (const auto& [button, shown] : questions) {
        m_dialogs->answers = {false};
        click(button);
        QCOMPARE(m_dialogs->shown.last().text, shown);
    }
    m_dialogs->answers.clear();

    runStatistics();
    const qsizetype boxes = m_dialogs->shown.size();
    control<QLabel>("Label3")->setText("x");
    control<QLabel>("Label5")->setText("y");
    click("Label3");
    QCOMPARE(text("Label3"), QStringLiteral("2"));
    QCOMPARE(text("Label5"), QStringLiteral("y"));
    click("Label5");
    QCOMPARE(text("Label5"), QStringLiteral("5"));
    click("Label7"); // no handler
    QCOMPARE(m_dialogs->shown.size(), boxes);

    for (const QString& name : fieldNames) {
        m_dialogs->clipboard = name + QStringLiteral("的值\r\n");
        QTest::mouseDClick(control(name), Qt::LeftButton);
    }
    for (const QString& name : fieldNames)
        QCOMPARE(text(name), name + QStringLiteral("的值"));
    QCOMPARE(m_dialogs->shown.size(), boxes);
}

void Form1WidgetTest::inputDuringAnOperationIsDropped() {
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

void Form1WidgetTest::importsLinuxSpreadsheetCopies_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("rows");
    // Ten rows each; rows 3 and 6 name an area ending in 台区 and are dropped like a
    // repeated header. Calc ends every row with LF; Gnumeric leaves the last one bare and
    // writes the line break inside row 2's last cell as a bare LF, which splits that row.
    QTest::newRow("LibreOffice Calc") << readFixture("calc-whole-sheet.utf8.txt") << "8";
    QTest::newRow("Gnumeric") << readFixture("gnumeric-whole-sheet.utf8.txt") << "9";
}

void Form1WidgetTest::importsLinuxSpreadsheetCopies() {
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

// Disabling the buttons moves Qt's focus into a field with its text selected; after every
// operation the focus is back on the button pressed, so a stray key replaces no condition.
void Form1WidgetTest::focusReturnsToThePressedButton() {
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    importText(smallReport);
    for (const QString& name : QStringList{"Command1", "Command3", "Command4", "Command2"}) {
        m_dialogs->clipboard = smallReport;
        QString focusDuringNotice;
        m_dialogs->whileShown = [&](const ScriptedDialogs::Box&) {
            if (QApplication::focusWidget())
                focusDuringNotice = QApplication::focusWidget()->objectName();
        };
        control(name)->setFocus();
        QTest::keyClick(control(name), Qt::Key_Space);
        QVERIFY2(!focusDuringNotice.isEmpty(), qPrintable(name));
        QCOMPARE(QApplication::focusWidget(), control(name));
        QTest::keyClicks(QApplication::focusWidget(), "x");
        QCOMPARE(text("Text1"), QStringLiteral("镇府公用台变"));
    }
}

// Enter on a focused button presses it, as on Windows; Enter in a field presses nothing,
// and Escape closes nothing.
void Form1WidgetTest::enterPressesOnlyAFocusedButton() {
    importText(smallReport);
    const qsizetype boxes = m_dialogs->shown.size();
    for (const QString& name : fieldNames) {
        QWidget* field = control(name);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(field, Qt::Key_Escape);
    }
    QCOMPARE(m_dialogs->shown.size(), boxes);
    QVERIFY(m_form->isVisible());
    for (QPushButton* button : m_form->findChildren<QPushButton*>())
        QVERIFY(!button->isDefault());

    control("Command3")->setFocus();
    QTest::keyClick(control("Command3"), Qt::Key_Return);
    QCOMPARE(m_dialogs->shown.size(), boxes + 2);
    QCOMPARE(m_dialogs->notices().last(), QStringLiteral("已完成统计"));
    control("Command2")->setFocus();
    m_dialogs->answers = {false};
    QTest::keyClick(control("Command2"), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(m_dialogs->shown.last().text, QStringLiteral("确定要置零吗？"));
}

void Form1WidgetTest::fieldTakesAHundredThousandCharacters() {
    const QString pasted = QString(100'000, u'台');
    m_dialogs->clipboard = pasted;
    QTest::mouseDClick(control("Text3"), Qt::LeftButton);
    QCOMPARE(text("Text3"), pasted);
    control("Text3")->setFocus();
    QTest::keyClick(control("Text3"), Qt::Key_End);
    QTest::keyClicks(control("Text3"), "x");
    QCOMPARE(text("Text3"), pasted + u'x');
}

// The real boxes ------------------------------------------------------------------------

// The boxes say 是, 否 and 确定 whatever the system's language, with the tool's titles.
void Form1WidgetTest::messageBoxesSpeakChinese() {
    QStringList seen;
    const auto answer = [&](QMessageBox::StandardButton press) {
        QTimer::singleShot(0, [&seen, press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QStringList buttons;
            for (QAbstractButton* button : box->buttons())
                buttons.append(button->text());
            buttons.sort();
            seen.append(box->windowTitle() + u'|' + box->text() + u'|' + buttons.join(u','));
            box->button(press)->click();
        });
    };
    QCoreApplication::setApplicationName(QStringLiteral("Brisquel")); // as main() names it
    MessageBoxDialogs dialogs;
    answer(QMessageBox::No);
    QVERIFY(!dialogs.ask(m_form, QStringLiteral("是否执行?"), QStringLiteral("确定要置零吗？")));
    answer(QMessageBox::Yes);
    QVERIFY(dialogs.ask(m_form, QStringLiteral("是否执行?"), QStringLiteral("确定要置零吗？")));
    answer(QMessageBox::Ok);
    dialogs.notify(m_form, QStringLiteral("文件路径:\r\n/tmp/导出文件_2026-1-5_93015.txt"));
    QCOMPARE(seen,
             QStringList({"是否执行?|确定要置零吗？|否(&N),是(&Y)", "是否执行?|确定要置零吗？|否(&N),是(&Y)",
                          "Brisquel|文件路径:\n/tmp/导出文件_2026-1-5_93015.txt|确定"}));
}

// A field's context menu comes from Qt's own Chinese texts: no English word is left in it.
void Form1WidgetTest::contextMenuSpeaksChinese() {
    installChineseTranslations(*QCoreApplication::instance());
    std::unique_ptr<QMenu> menu(control<QLineEdit>("Text1")->createStandardContextMenu());
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts.append(action->text());
    }
    QVERIFY(texts.size() >= 5);
    for (QString text : texts) {
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\t.*$")));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
                 qPrintable(texts.join(u'|')));
    }
}

// Count labels ---------------------------------------------------------------------------

void Form1WidgetTest::wideNumberShrinksToFit_data() {
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

void Form1WidgetTest::wideNumberShrinksToFit() {
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

QTEST_MAIN(Form1WidgetTest)
#include "form1_widget_test.moc"
