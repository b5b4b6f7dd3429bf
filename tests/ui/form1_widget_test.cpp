// Form1Widget: the widgets made from the table, events reaching their handlers, focus and keys,
// input dropped during an operation, the real message boxes and clipboard, and shrink-to-fit.
// What each handler asks, shows and locks is tested without Qt in tests/form/form1_test.cpp.
#include "controls.h"
#include "form1_fixture.h"
#include "tests/form/intended_layout.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>

namespace {

const QStringList fieldNames = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"};

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A header and four meters, as a spreadsheet copies them: three in 镇府公用台变, of which one
// counts for Text5 and one for Text8.
const QString header = QStringLiteral("序号\t台区\t设备类型\r\n");
const QString smallReport = header + QStringLiteral("1\t镇府公用台变\t三相多功能电能表\r\n"
                                                    "2\t镇府公用台变\t三相载波电子式电能表\r\n"
                                                    "3\t其他台变\t三相多功能电能表\r\n"
                                                    "4\t镇府公用台变\t单相电能表\r\n");

// Enter as the keypad sends it, any other key as it is.
void press(QWidget* widget, Qt::Key key) {
    QTest::keyClick(widget, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

QRect intendedBox(const brisquel::test::IntendedControl& intended) {
    using brisquel::twipsToPixels;
    return {twipsToPixels(intended.left), twipsToPixels(intended.top), twipsToPixels(intended.width),
            twipsToPixels(intended.height)};
}

} // namespace

class Form1WidgetTest : public QObject, private Form1Fixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // Layout ----------------------------------------------------------------------------

    // Each widget as intended, left where it is when the window is resized; no two overlap but
    // where a field lies over a label, no button is the default, and no two read out the same.
    void controlsLookAsIntended() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Brisquel v1.2 - 程序设计：Velkaran"));
        QCOMPARE(m_form->size(), QSize(746, 365));
        QSet<QString> names;
        for (const QSize size : {QSize(1200, 800), QSize(300, 200), QSize(746, 365)}) {
            m_form->resize(size);
            for (const auto& intended : brisquel::test::intendedControls) {
                QWidget* widget = control(qText(intended.name));
                QCOMPARE(widget->geometry(), intendedBox(intended));
                for (const auto& other : brisquel::test::intendedControls) {
                    QVERIFY2(&other == &intended || brisquel::test::overlapAllowed(intended, other) ||
                                 !widget->geometry().intersects(control(qText(other.name))->geometry()),
                             qPrintable(widget->objectName() + u' ' + qText(other.name)));
                }
            }
        }
        for (const auto& intended : brisquel::test::intendedControls) {
            QWidget* widget = control(qText(intended.name));
            const auto* button = qobject_cast<QPushButton*>(widget);
            const auto* field = qobject_cast<QLineEdit*>(widget);
            const auto* label = qobject_cast<QLabel*>(widget);
            QCOMPARE(std::tuple(!!button, !!field, !!label),
                     std::tuple(intended.kind == 'B', intended.kind == 'F', intended.kind == 'L'));
            QVERIFY(!button || (!button->isDefault() && !button->autoDefault()));
            QCOMPARE(button ? button->text() : field ? field->text() : label->text(), qText(intended.text));
            QCOMPARE(widget->isEnabled(), intended.enabled);
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QCOMPARE(name, qText(field ? intended.accessibleName : intended.text));
            QVERIFY2(!field || !names.contains(name), qPrintable(name));
            names.insert(name);
            QCOMPARE(
                std::tuple(widget->font().family(), widget->font().pointSize(), widget->font().bold()),
                std::tuple(QStringLiteral("宋体"), intended.points ? intended.points : 9, intended.bold));
            QCOMPARE(widget->palette().color(QPalette::Active, QPalette::WindowText),
                     intended.colour ? QColor(QRgb(intended.colour))
                                     : QApplication::palette().color(QPalette::WindowText));
        }
        // The field is on top where a caption runs into it: Label13 one pixel into Text3,
        // Label14 nine pixels into Text4.
        QCOMPARE(m_form->childAt(80, 40), control("Text3"));
        QCOMPARE(m_form->childAt(325, 40), control("Text4"));
        QCOMPARE(m_form->childAt(20, 40), control("Label13"));
    }

    void linesAndBackgroundPicture() {
        QCOMPARE(control("Line1")->geometry(), QRect(256, 32, 1, 185));
        QCOMPARE(control("Line2")->geometry(), QRect(536, 32, 1, 241));
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

    // 宋体 resolves to a face that writes Chinese, 12 pixels a character at 9 points, and
    // every caption fits its box.
    void captionsFitAndFacesResolve() {
        const auto writesChinese = [](const QFont& font) {
            return QFontDatabase::writingSystems(QFontInfo(font).family())
                .contains(QFontDatabase::SimplifiedChinese);
        };
        QVERIFY(writesChinese(m_form->font()));
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
            const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                                                   Qt::TextWordWrap, label->text());
            QVERIFY2(writesChinese(label->font()) && needed.width() <= label->width() &&
                         needed.height() <= label->height(),
                     qPrintable(label->objectName()));
        }
    }

    // Tab visits the buttons and fields in the table's order, passing over disabled buttons.
    void tabOrderFollowsTheTable() {
        activate();
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

        importText(smallReport);
        control("Command1")->setFocus();
        QCOMPARE(tabRound(),
                 QStringList({"Command1", "Text1", "Text2", "Command2", "Text3", "Text4", "Command3", "Text5",
                              "Text6", "Text7", "Text8", "Command4", "Command1"}));
        // A count is read out as it stands now.
        QCOMPARE(QAccessible::queryAccessibleInterface(control("Label5"))->text(QAccessible::Name), "5");
    }

    // Events and keys -------------------------------------------------------------------

    // A click on each count label and a double-click on each field reach their own handler, and
    // nothing else does; the buttons are keysPressOnlyTheFocusedButton's. A field takes any
    // length of text.
    void eventsReachTheirHandlers() {
        importText(smallReport);
        click("Command3");
        const qsizetype boxes = m_dialogs->shown.size();
        control<QLabel>("Label3")->setText("x");
        control<QLabel>("Label5")->setText("x");
        click("Label3");
        QCOMPARE(QStringList({text("Label3"), text("Label5")}), QStringList({"2", "x"}));
        click("Label5");
        QCOMPARE(text("Label5"), "5");
        click("Label7"); // no handler
        // A press taken back by releasing the button outside the label is no click.
        for (const QString& name : {QStringLiteral("Label3"), QStringLiteral("Label5")}) {
            control<QLabel>(name)->setText("x");
            QTest::mousePress(control(name), Qt::LeftButton);
            QTest::mouseRelease(control(name), Qt::LeftButton, {}, QPoint(-5, -5));
            QCOMPARE(text(name), "x");
        }

        for (const QString& name : fieldNames) {
            m_dialogs->clipboard = name + QString(100'000, u'台') + QStringLiteral("\r\n");
            QTest::mouseDClick(control(name), Qt::LeftButton);
            QCOMPARE(text(name), m_dialogs->clipboard.chopped(2));
        }
        QCOMPARE(m_dialogs->shown.size(), boxes);
    }

    // While a long import runs its progress is in the title and every button is off; the keys
    // and clicks given meanwhile are dropped, not handled once it ends.
    void longImportShowsProgressAndDropsInput() {
        QString titleInside;
        bool lockedInside = false;
        QTimer::singleShot(0, m_form, [&] {
            titleInside = m_form->windowTitle();
            lockedInside = !control("Command1")->isEnabled() && !control("Command4")->isEnabled();
            QTest::keyClicks(control("Text1"), "abc");
            QTest::mouseDClick(control("Text2"), Qt::LeftButton);
            QTest::mouseClick(control("Label3"), Qt::LeftButton);
        });
        importText(header + QStringLiteral("1\t镇府公用台变\t三相多功能电能表\r\n").repeated(20000));

        QVERIFY2(titleInside.contains(QRegularExpression(QStringLiteral("^\\d+/\\d+$"))),
                 qPrintable(titleInside));
        QVERIFY(lockedInside);
        QCOMPARE(text("Text1"), QStringLiteral("镇府公用台变"));
        QCOMPARE(text("Text2"), QStringLiteral("三相多功能电能表(费控)"));
        QCOMPARE(m_dialogs->shown.size(), 2);
    }

    // Space, Enter and keypad Enter press the focused button, which asks its own question, Enter
    // as on Windows; in a field
    // they press nothing, as no button is the default, and Escape closes nothing. Disabling the
    // buttons moves Qt's focus into a field with its text selected; after every operation the
    // focus is back on the button pressed, so a stray key replaces no condition.
    void keysPressOnlyTheFocusedButton() {
        activate();
        importText(smallReport);
        for (const QString& name : fieldNames) {
            control(name)->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                press(control(name), key);
        }
        QCOMPARE(m_dialogs->shown.size(), 2);
        QVERIFY(m_form->isVisible());

        const QList<std::tuple<QString, Qt::Key, QString>> presses = {
            {"Command1", Qt::Key_Space, "确定要导入吗"},
            {"Command3", Qt::Key_Return, "确定要统计吗"},
            {"Command4", Qt::Key_Enter, "确定要导出本次"},
            {"Command2", Qt::Key_Space, "确定要置零吗"}};
        for (const auto& [name, key, question] : presses) {
            m_dialogs->clipboard = smallReport;
            QString focusDuringBox;
            m_dialogs->whileShown = [&](const ScriptedDialogs::Box&) {
                if (QApplication::focusWidget())
                    focusDuringBox = QApplication::focusWidget()->objectName();
            };
            const qsizetype boxes = m_dialogs->shown.size();
            control(name)->setFocus();
            press(control(name), key);
            QVERIFY2(m_dialogs->shown.value(boxes).text.startsWith(question), qPrintable(name));
            QVERIFY2(!focusDuringBox.isEmpty(), qPrintable(name));
            QCOMPARE(QApplication::focusWidget(), control(name));
            QTest::keyClicks(QApplication::focusWidget(), "x");
            QCOMPARE(text("Text1"), QStringLiteral("镇府公用台变"));
        }
    }

    // The system's clipboard and boxes -------------------------------------------------

    // A copy on X11 or Wayland is handed over as the owner's UTF-8 bytes, taken as they are; an
    // owner that offers no UTF-8 is read as text.
    void systemClipboardHandsOverUtf8() {
        const QByteArray bytes = "台区\t设备类型\n镇府公用台变\t单相电能表\n";
        auto* mime = new QMimeData;
        mime->setText(QString::fromUtf8(bytes));
        mime->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
        QGuiApplication::clipboard()->setMimeData(mime);
        const brisquel::ClipboardText utf8 = MessageBoxDialogs().readClipboard();
        const auto* read = std::get_if<std::string_view>(&utf8.text);
        QVERIFY(read && *read == bytes.toStdString());

        QGuiApplication::clipboard()->setText(QStringLiteral("台区"));
        const brisquel::ClipboardText text = MessageBoxDialogs().readClipboard();
        const auto* units = std::get_if<std::u16string_view>(&text.text);
        QVERIFY(units && *units == u"台区");
    }

    // Ten rows each; rows 3 and 6 name an area ending in 台区 and are dropped like a repeated
    // header. Calc ends every row with LF; Gnumeric leaves the last one bare and writes the line
    // break inside row 2's last cell as a bare LF, which splits that row.
    void importsLinuxSpreadsheetCopies_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("rows");
        QTest::newRow("LibreOffice Calc") << "calc-whole-sheet.utf8.txt" << 8;
        QTest::newRow("Gnumeric") << "gnumeric-whole-sheet.utf8.txt" << 9;
    }

    // The copies' bytes as the clipboard hands them over, imported and counted.
    void importsLinuxSpreadsheetCopies() {
        QFETCH(QString, file);
        QFETCH(int, rows);
        QFile copy(QStringLiteral(BRISQUEL_TEST_DATA "/") + file);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        m_dialogs->utf8Clipboard = copy.readAll();
        click("Command1");
        QCOMPARE(m_dialogs->notices(), QStringList{"已完成导入，如果还有更多相同报表可继续全选复制并导入"});
        click("Command3");
        // Rows 1, 2, 5, 7 and 8 lie in 镇府公用台变 (row 4's cell has a leading blank); rows 1,
        // 2, 7 and 5 hold the types of Text2, Text5, Text7 and Text8, row 8 none of them.
        QCOMPARE(countTexts(), QStringList({"4", QString::number(rows), "5", "1", "1", "0", "1", "1"}));
    }

    // The boxes say 是, 否 and 确定 whatever the system's language, with the tool's titles.
    void messageBoxesSpeakChinese() {
        QCoreApplication::setApplicationName(QStringLiteral("Brisquel")); // as main() names it
        QStringList seen;
        const auto answerWith = [&](QMessageBox::StandardButton press) {
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
        MessageBoxDialogs dialogs;
        for (const bool yes : {false, true}) {
            answerWith(yes ? QMessageBox::Yes : QMessageBox::No);
            QCOMPARE(dialogs.ask(m_form, QStringLiteral("是否执行?"), QStringLiteral("确定要置零吗？")), yes);
        }
        answerWith(QMessageBox::Ok);
        dialogs.notify(m_form, QStringLiteral("文件路径:\r\n/tmp/导出文件_2026-1-5_93015.txt"));
        QCOMPARE(seen, QStringList({"是否执行?|确定要置零吗？|否(&N),是(&Y)",
                                    "是否执行?|确定要置零吗？|否(&N),是(&Y)",
                                    "Brisquel|文件路径:\n/tmp/导出文件_2026-1-5_93015.txt|确定"}));
    }

    // A field's context menu comes from Qt's own Chinese texts: no English word is left in it.
    void contextMenuSpeaksChinese() {
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

    // Count labels ----------------------------------------------------------------------

    void wideNumberShrinksToFit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("Label3, ten digits") << "Label3" << 2147483647 << true;
        QTest::newRow("Label5, ten digits fit") << "Label5" << 2147483647 << false;
        QTest::newRow("Label7") << "Label7" << 1048576 << true;
        QTest::newRow("Label8, the narrow one") << "Label8" << 314573 << true;
    }

    // A number wider than its box is drawn in a smaller size of the same face and weight, and
    // drawn whole: ink in the label, none in its last column or row, where a cut would show.
    void wideNumberShrinksToFit() {
        QFETCH(QString, name);
        QFETCH(int, number);
        QFETCH(bool, shrinks);
        auto* label = control<CountLabel>(name);
        label->setText(QString::number(number));
        const QFont drawn = label->drawnFont();
        QCOMPARE(drawn.pointSize() < label->font().pointSize(), shrinks);
        QCOMPARE(std::pair(drawn.family(), drawn.weight()),
                 std::pair(label->font().family(), label->font().weight()));

        const QImage image = label->grab().toImage();
        const QColor ink = label->palette().color(QPalette::WindowText);
        int inkPixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool isInk = image.pixelColor(x, y) == ink;
                inkPixels += isInk;
                QVERIFY(!isInk || (x < image.width() - 1 && y < image.height() - 1));
            }
        }
        QVERIFY(inkPixels > 0);
    }

private:
    void importText(const QString& clipboard) {
        m_dialogs->clipboard = clipboard;
        click("Command1");
    }
    void activate() {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form));
    }
};

QTEST_MAIN(Form1WidgetTest)
#include "form1_widget_test.moc"
