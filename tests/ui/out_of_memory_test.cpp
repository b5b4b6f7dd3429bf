// A report larger than the memory left ends the import with a notice, not the program, and
// changes nothing. The memory is cut short with an address-space limit just above what the
// process already uses.
#include "form1_widget.h"
#include "scripteddialogs.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

// AddressSanitizer's shadow memory alone is larger than any such limit.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRISQUEL_ASAN 1
#endif
#endif
#if defined(Q_OS_LINUX) && !defined(__SANITIZE_ADDRESS__) && !defined(BRISQUEL_ASAN)
#define BRISQUEL_CAN_LIMIT_MEMORY 1
#include <sys/resource.h>
#include <unistd.h>
#endif

class OutOfMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void importTooLargeForMemory_data();
    void importTooLargeForMemory();

private:
    ScriptedDialogs* m_dialogs = nullptr;
    Form1Widget* m_form = nullptr;
};

namespace {

const QString outOfMemory = QStringLiteral("失败，内存不足，无法完成此操作");
const QString windowTitleText = QStringLiteral("Brisquel v1.2 - 程序设计：Velkaran");

#ifdef BRISQUEL_CAN_LIMIT_MEMORY
// Lets the process map at most `bytes` more than it has mapped now.
void limitFurtherMemory(qint64 bytes) {
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 pages = statm.readAll().split(' ').first().toLongLong();
    const rlimit limit{static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + bytes), RLIM_INFINITY};
    QCOMPARE(setrlimit(RLIMIT_AS, &limit), 0);
}

void liftMemoryLimit() {
    const rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &limit);
}
#endif

} // namespace

void OutOfMemoryTest::init() {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_form = new Form1Widget(std::move(dialogs));
    m_form->show();
}

void OutOfMemoryTest::cleanup() {
#ifdef BRISQUEL_CAN_LIMIT_MEMORY
    liftMemoryLimit();
#endif
    delete m_form;
}

void OutOfMemoryTest::importTooLargeForMemory_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<qint64>("memoryLeft");
    // The import converts the clipboard's 100 MB of UTF-16 a few megabytes at a time, but
    // the 50 MB of rows do not fit.
    QTest::newRow("room for the rows") << QString(50'000'000, u'a') + QStringLiteral("\r\n") << qint64(40e6);
    // The rows fit, but the second one comes in slices and outgrows the memory left while it
    // is put together: the first row, already imported, is taken back.
    QTest::newRow("a row too long for the memory left")
        << QStringLiteral("序号\r\n") + QString(40'000'000, u'b') + QStringLiteral("\r\n") << qint64(80e6);
    // The same with quotes, which the import deletes on the way.
    QTest::newRow("room for the rows without quotes")
        << QStringLiteral("\"a\"\tb\r\n").repeated(2'800'000) << qint64(12e6);
}

void OutOfMemoryTest::importTooLargeForMemory() {
#ifndef BRISQUEL_CAN_LIMIT_MEMORY
    QSKIP("needs Linux's address-space limit, and no AddressSanitizer");
#else
    QFETCH(QString, clipboard);
    QFETCH(qint64, memoryLeft);
    m_dialogs->clipboard = clipboard;
    clipboard.clear();
    auto* import = m_form->findChild<QPushButton*>(QStringLiteral("Command1"));
    bool lockedWhenShown = false;
    m_dialogs->whileShown = [&](const ScriptedDialogs::Box&) { lockedWhenShown = !import->isEnabled(); };

    limitFurtherMemory(memoryLeft);
    import->click();
    liftMemoryLimit();

    QCOMPARE(m_dialogs->notices(), QStringList{outOfMemory});
    QCOMPARE(m_form->windowTitle(), windowTitleText);
    QCOMPARE(m_form->form().tallyState().alltxti(), 0);
    QVERIFY(m_form->form().tallyState().alltxt().empty());
    QVERIFY(lockedWhenShown); // the import itself had begun
    QVERIFY(import->isEnabled());
#endif
}

QTEST_MAIN(OutOfMemoryTest)
#include "out_of_memory_test.moc"
