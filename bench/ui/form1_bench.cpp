// form1_bench: drives Form1 offscreen through import, statistics and export of a generated
// meter report, and compares each phase with the engine's own time for it.
//
//   form1_bench [--rows N] [--crlf] [--x11] [--repeat N]
//
// The report has N rows (default 1,048,576, a full sheet) of about 20 cells and 210 bytes.
// The clipboard holds it as a Linux spreadsheet copies it, rows ended by LF, or with
// --crlf as Excel and WPS copy it. It is handed over as UTF-8 bytes, as the X11 clipboard
// hands them over; with --x11 it really comes from the X11 clipboard, owned by xclip in
// another process (run on a display, for example under xvfb-run). The window resets, imports,
// counts and exports N times (default 3); the engine does the same in as many runs of this
// program of its own (--engine-only), so that each starts from fresh memory and the engine's
// runs do not count towards the window's peak. Prints per phase each side's best time, their
// ratio and how often the title was updated in the window's best, then the window's peak
// memory.
#include "bench_dialogs.h"
#include "form1_widget.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "engine/tally_view.h"
#include "meter_report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace {

using brisquel::FieldId;
using brisquel::LabelId;

// Counts how often the window's title changes.
class TitleCounter : public QObject {
public:
    int changes = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        changes += event->type() == QEvent::WindowTitleChange;
        return false;
    }
};

struct Phase {
    const char* name;
    double windowSeconds = std::numeric_limits<double>::infinity(); // the best run's
    int titles = 0; // progress titles in the best run; the closing text is not counted
    double engineSeconds = std::numeric_limits<double>::infinity();
};

// The engine alone on the report as the import takes it (rows ended by CR LF): prints
// the three phases' seconds on one line.
int runEngineOnly(int rows) {
    const std::string report = brisquel::bench::meterReport(rows);
    brisquel::TallyState state;
    brisquel::bench::LatestView view;
    QTemporaryDir exportDir;
    QElapsedTimer clock;
    clock.start();
    brisquel::importText(state, report, view);
    const qint64 importNs = clock.nsecsElapsed();
    clock.restart();
    brisquel::runStatistics(state, view);
    const qint64 statisticsNs = clock.nsecsElapsed();
    clock.restart();
    const brisquel::ExportResult result =
        brisquel::exportList(state, exportDir.path().toStdString(), brisquel::currentLocalTime());
    const qint64 exportNs = clock.nsecsElapsed();
    if (!result.ok()) {
        std::fprintf(stderr, "engine export failed: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("%.6f %.6f %.6f\n", static_cast<double>(importNs) / 1e9,
                static_cast<double>(statisticsNs) / 1e9, static_cast<double>(exportNs) / 1e9);
    return 0;
}

// Puts the report on the X11 clipboard as UTF-8 (the target a spreadsheet offers besides
// others), served by xclip, which stays in the background until the display ends.
bool ownClipboardWithXclip(const QByteArray& report) {
    QTemporaryFile file;
    if (!file.open() || file.write(report) != report.size() || !file.flush()) {
        std::fprintf(stderr, "form1_bench: cannot write the report for xclip\n");
        return false;
    }
    const int status = QProcess::execute(QStringLiteral("xclip"),
                                         {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), QStringLiteral("text/plain;charset=utf-8"),
                                          QStringLiteral("-i"), file.fileName()});
    if (status != 0) {
        std::fprintf(stderr, "form1_bench: xclip failed (apt-get install xclip, and run on a display)\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    int rows = 1048576;
    std::string_view lineEnd = "\n";
    bool engineOnly = false;
    bool x11 = false;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--crlf") == 0) {
            lineEnd = "\r\n";
        } else if (std::strcmp(argv[i], "--x11") == 0) {
            x11 = true;
        } else if (std::strcmp(argv[i], "--engine-only") == 0) {
            engineOnly = true;
        } else {
            std::fprintf(stderr, "usage: form1_bench [--rows N] [--crlf] [--x11] [--repeat N]\n");
            return 2;
        }
    }
    if (engineOnly)
        return runEngineOnly(rows);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", x11 ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir exportDir;

    // The clipboard's text as UTF-8 bytes, as the X11 clipboard hands it over. The import
    // gives its pages back as it goes, so each run gets a report of its own.
    const auto report = [&] {
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(rows) * 230);
        brisquel::bench::generateMeterReport(rows, lineEnd, [&](std::string_view row) {
            bytes.append(row.data(), static_cast<qsizetype>(row.size()));
        });
        return bytes;
    };
    QByteArray clipboard = report();
    const auto utf8Bytes = static_cast<std::size_t>(clipboard.size());
    std::printf("report: %d rows, %.1f MB as UTF-8, rows ended by %s; best of %d runs\n", rows,
                static_cast<double>(utf8Bytes) / 1e6, lineEnd == "\n" ? "LF (a Linux copy)" : "CR LF",
                repeat);

    std::array<Phase, 3> phases = {Phase{"import"}, Phase{"statistics"}, Phase{"export"}};
    {
        auto dialogs = std::make_unique<BenchDialogs>();
        BenchDialogs* script = dialogs.get();
        if (x11 && !ownClipboardWithXclip(clipboard))
            return 1;
        if (x11)
            clipboard = QByteArray(); // xclip has it
        script->systemClipboard = x11;
        Form1Widget form(std::move(dialogs));
        form.form().setExportFolder(exportDir.path().toStdString());
        form.show();
        QCoreApplication::processEvents();
        TitleCounter counter;
        form.installEventFilter(&counter);

        const std::array<const char*, 3> buttons = {"Command1", "Command3", "Command4"};
        for (int run = 0; run < repeat; ++run) {
            form.findChild<QPushButton*>(QStringLiteral("Command2"))->click(); // reset
            if (!x11)
                script->utf8Clipboard = run == 0 ? std::exchange(clipboard, {}) : report();
            std::printf("window run %d:", run + 1);
            for (std::size_t i = 0; i < phases.size(); ++i) {
                auto* button = form.findChild<QPushButton*>(QLatin1StringView(buttons[i]));
                counter.changes = 0;
                QElapsedTimer clock;
                clock.start();
                button->click();
                const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
                std::printf(" %.3f s", seconds);
                if (seconds < phases[i].windowSeconds) {
                    phases[i].windowSeconds = seconds;
                    phases[i].titles = std::max(0, counter.changes - 1); // less the closing text
                }
            }
            std::printf("\n");
        }
        std::printf("window:");
        for (const char* name : {"Label5", "Label7", "Label3"})
            std::printf(" %s=%s", name, qPrintable(form.findChild<QLabel*>(QLatin1StringView(name))->text()));
        std::printf("; export: %s\n", qPrintable(script->lastNotice.section(u'/', -1)));
    }
    const double windowPeak = brisquel::bench::peakMegabytes();

    for (int run = 0; run < repeat; ++run) {
        QProcess engine;
        engine.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--engine-only"), QStringLiteral("--rows"), QString::number(rows)});
        engine.waitForFinished(-1);
        const QStringList engineTimes = QString::fromUtf8(engine.readAllStandardOutput()).split(u' ');
        if (engine.exitCode() != 0 || engineTimes.size() != 3) {
            std::fprintf(stderr, "form1_bench: the engine-only run failed\n");
            return 1;
        }
        std::printf("engine run %d:", run + 1);
        for (std::size_t i = 0; i < phases.size(); ++i) {
            const double seconds = engineTimes[static_cast<qsizetype>(i)].toDouble();
            std::printf(" %.3f s", seconds);
            phases[i].engineSeconds = std::min(phases[i].engineSeconds, seconds);
        }
        std::printf("\n");
    }

    std::printf("\n%-10s %10s %10s %7s %10s\n", "phase", "window s", "engine s", "ratio", "titles/s");
    for (const Phase& phase : phases) {
        std::printf("%-10s %10.3f %10.3f %7.2f %10.1f\n", phase.name, phase.windowSeconds,
                    phase.engineSeconds, phase.windowSeconds / phase.engineSeconds,
                    phase.titles / phase.windowSeconds);
    }
    std::printf("\npeak memory of the window's run: %.0f MiB, %.2f times the report's UTF-8 size\n",
                windowPeak, windowPeak * 1048576.0 / static_cast<double>(utf8Bytes));
    return 0;
}
