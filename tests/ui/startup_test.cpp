// Starting the program without a display: one plain line and a failure status, no abort.
#include <QProcess>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void withoutDisplaySaysSoAndFails_data();
    void withoutDisplaySaysSoAndFails();
};

void StartupTest::withoutDisplaySaysSoAndFails_data() {
    QTest::addColumn<QString>("display");
    QTest::newRow("no display named") << QString();
    QTest::newRow("a display nobody serves") << QStringLiteral(":473");
}

void StartupTest::withoutDisplaySaysSoAndFails() {
#ifndef Q_OS_LINUX
    QSKIP("the display is the X11 or Wayland one");
#endif
    QFETCH(QString, display);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1StringView(name));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);

    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(BRISQUEL_EXECUTABLE), {});
    QVERIFY(program.waitForFinished(30000));

    QCOMPARE(program.exitStatus(), QProcess::NormalExit); // an abort would be a crash exit
    QCOMPARE(program.exitCode(), 1);
    const QString said = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(said.count(u'\n'), 1);
    QVERIFY2(said.endsWith(u'\n') && said.contains(QStringLiteral("display")), qPrintable(said));
    QVERIFY(program.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(StartupTest)
#include "startup_test.moc"
