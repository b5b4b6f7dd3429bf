// hostile_bench: drives Form1 offscreen through import, statistics and export of clipboard
// texts that no spreadsheet would produce, each at a size N and at 2N, and prints every
// phase's seconds: a phase whose time much more than doubles from N to 2N is not linear.
//
//   hostile_bench [--only TEXT] [--scale F] [--repeat R]
//
// --only runs the inputs whose name contains TEXT, --scale multiplies every size by F, and
// --repeat prints the median of R runs. Each run is a fresh process of this program (--run
// NAME SIZE), so that every size starts from untouched memory, as the first import of a
// session does; its peak memory is printed too. Beside each phase's wall-clock seconds stand
// its user CPU seconds, which leave out the kernel's work of handing out fresh memory: on a
// virtual machine that work varies much from run to run.
#include "bench_dialogs.h"
#include "form1_widget.h"

#include "meter_report.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#endif

namespace {

const QString headerRow = QStringLiteral("台区\t设备类型");
const QString value1 = QStringLiteral("镇府公用台变");
const QString alternative = QStringLiteral("三相多功能电能表");

// Random bytes read as UTF-8, in runs of up to a kilobyte ended by CR LF, after a header row;
// every fiftieth run is followed by a matching row.
QString randomBytes(qint64 bytes) {
    std::mt19937_64 random(20240611);
    QByteArray text = headerRow.toUtf8() + "\r\n";
    text.reserve(bytes + 4096);
    const QByteArray match = (value1 + u'\t' + alternative + QStringLiteral("\r\n")).toUtf8();
    for (int run = 1; text.size() < bytes; ++run) {
        const qsizetype at = text.size();
        const auto length = static_cast<qsizetype>(1 + random() % 1024);
        text.resize(at + length);
        char* const out = text.data() + at;
        for (qsizetype i = 0; i < length; i += 8) {
            const std::uint64_t eight = random();
            for (qsizetype k = 0; k < 8 && i + k < length; ++k)
                out[i + k] = static_cast<char>(eight >> 8 * k);
        }
        text += "\r\n";
        if (run % 50 == 0)
            text += match;
    }
    return QString::fromUtf8(text);
}

// A header row and `rows` matching rows with halves of surrogate pairs in their cells.
QString loneSurrogates(qint64 rows) {
    const QChar high(0xD800);
    const QChar low(0xDC00);
    QString text =
        low + QStringLiteral("序号\t") + headerRow + QStringLiteral("\t备注") + high + QStringLiteral("\r\n");
    const QString row = QStringLiteral("1\t") + value1 + u'\t' + alternative + u'\t' + high +
                        QStringLiteral("😀") + low + QStringLiteral("\r\n");
    return text + row.repeated(rows);
}

// A header row of `cells` cells with the header texts in the last two, and 50 rows as wide.
QString wideHeader(qint64 cells) {
    const QString empty(cells - 2, u'\t');
    return empty + headerRow + QStringLiteral("\r\n") +
           (empty + value1 + u'\t' + alternative + QStringLiteral("\r\n")).repeated(50);
}

// `tabs` TABs before the header texts, and a matching row as wide.
QString tabsInOneRow(qint64 tabs) {
    const QString run(tabs, u'\t');
    return run + headerRow + QStringLiteral("\r\n") + run + value1 + u'\t' + alternative +
           QStringLiteral("\r\n");
}

QString quotesAndLineEnds(qint64 times) {
    return QStringLiteral("\"\r\n\r\"\n").repeated(times);
}

QString lineEndsOnly(qint64 pairs) {
    return QStringLiteral("\r\n").repeated(pairs);
}

// A header row and one matching row of `bytes` bytes of UTF-8.
QString oneLongRow(qint64 bytes) {
    const QString piece = QStringLiteral("三相电能表\t0.5S\t"); // 21 bytes of UTF-8
    return headerRow + QStringLiteral("\r\n") + value1 + u'\t' + alternative + u'\t' +
           piece.repeated(bytes / 21) + QStringLiteral("\r\n");
}

// A header row, then `rows` rows each holding the header text.
QString headerTextInEveryRow(qint64 rows) {
    return headerRow + QStringLiteral("\r\n") +
           (value1 + QStringLiteral("\t台区\r\n") + QStringLiteral("镇府公用台区变\t") + alternative +
            QStringLiteral("\r\n"))
               .repeated(rows / 2);
}

struct Input {
    const char* name;
    const char* unit;
    qint64 n; // 2n is the size the tests use
    std::function<QString(qint64)> make;
};

// The process's user CPU seconds so far, where the platform tells them.
double userSeconds() {
#if defined(__unix__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
#else
    return 0;
#endif
}

struct Run {
    // Wall-clock seconds of import, statistics and export, then their user CPU seconds.
    std::array<double, 6> seconds{};
    double utf16Megabytes = 0;
    QString rows;    // Label5
    QString matches; // Label3
    double peakMegabytes = 0;
};

// One run of one input in this process: prints the run's figures on one line.
int runOne(const Input& input, qint64 size) {
    QTemporaryDir exportDir;
    QString clipboard = input.make(size);
    const double megabytes = static_cast<double>(clipboard.size()) * 2 / 1e6;
    auto dialogs = std::make_unique<BenchDialogs>();
    dialogs->clipboard = std::move(clipboard);
    Form1Widget form(std::move(dialogs));
    form.form().setExportFolder(exportDir.path().toStdString());
    form.show();
    QCoreApplication::processEvents();
    std::array<double, 6> seconds{};
    const std::array<const char*, 3> buttons = {"Command1", "Command3", "Command4"};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const double user = userSeconds();
        QElapsedTimer clock;
        clock.start();
        form.findChild<QPushButton*>(QLatin1StringView(buttons[i]))->click();
        seconds[i] = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        seconds[i + 3] = userSeconds() - user;
    }
    for (double phase : seconds)
        std::printf("%.6f ", phase);
    std::printf("%.3f %s %s %.1f\n", megabytes,
                qPrintable(form.findChild<QLabel*>(QStringLiteral("Label5"))->text()),
                qPrintable(form.findChild<QLabel*>(QStringLiteral("Label3"))->text()),
                brisquel::bench::peakMegabytes());
    return 0;
}

// One run in a fresh process.
bool runFresh(const Input& input, qint64 size, Run& run) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--run"), QString::fromUtf8(input.name), QString::number(size)});
    child.waitForFinished(-1);
    const QStringList figures = QString::fromUtf8(child.readAllStandardOutput()).trimmed().split(u' ');
    if (child.exitCode() != 0 || figures.size() != 10)
        return false;
    for (std::size_t i = 0; i < run.seconds.size(); ++i)
        run.seconds[i] = figures[static_cast<qsizetype>(i)].toDouble();
    run.utf16Megabytes = figures[6].toDouble();
    run.rows = figures[7];
    run.matches = figures[8];
    run.peakMegabytes = figures[9].toDouble();
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    const Input inputs[] = {
        {"random bytes", "bytes", 50'000'000, randomBytes},
        {"lone surrogates", "rows", 1'000'000, loneSurrogates},
        {"wide header row", "cells", 200'000, wideHeader},
        {"TABs in one row", "TABs", 10'000'000, tabsInOneRow},
        {"quotes and line ends", "repeats", 4'000'000, quotesAndLineEnds},
        {"CR LF only", "pairs", 20'000'000, lineEndsOnly},
        {"one long row", "bytes", 50'000'000, oneLongRow},
        {"header text in every row", "rows", 2'000'000, headerTextInEveryRow},
    };

    const char* only = "";
    double scale = 1;
    int repeat = 1;
    const char* runName = nullptr;
    qint64 runSize = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--run") == 0 && i + 2 < argc) {
            runName = argv[++i];
            runSize = std::atoll(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: hostile_bench [--only TEXT] [--scale F] [--repeat R]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (runName) {
        for (const Input& input : inputs) {
            if (std::strcmp(input.name, runName) == 0)
                return runOne(input, runSize);
        }
        return 2;
    }

    std::printf("%-24s %10s %-7s %6s %16s %16s %16s %8s %7s %5s\n", "", "", "", "UTF-16", "import s",
                "statistics s", "export s", "", "", "peak");
    std::printf("%-24s %10s %-7s %6s %16s %16s %16s %8s %7s %5s\n", "input", "size", "unit", "MB",
                "wall (user)", "wall (user)", "wall (user)", "rows", "matches", "MiB");
    for (const Input& input : inputs) {
        if (!std::strstr(input.name, only))
            continue;
        std::array<double, 6> previous{};
        for (const qint64 factor : {1, 2}) {
            const auto size = static_cast<qint64>(static_cast<double>(input.n * factor) * scale);
            std::vector<Run> runs(static_cast<std::size_t>(repeat));
            for (Run& run : runs) {
                if (!runFresh(input, size, run)) {
                    std::fprintf(stderr, "hostile_bench: the run of %s at %lld failed\n", input.name,
                                 static_cast<long long>(size));
                    return 1;
                }
            }
            // The median of each figure: single runs stray far on a busy or virtual machine.
            Run best = runs.front();
            for (std::size_t i = 0; i < best.seconds.size(); ++i) {
                std::vector<double> figures;
                for (const Run& run : runs)
                    figures.push_back(run.seconds[i]);
                std::sort(figures.begin(), figures.end());
                best.seconds[i] = figures[figures.size() / 2];
            }
            for (const Run& run : runs)
                best.peakMegabytes = std::max(best.peakMegabytes, run.peakMegabytes);
            std::printf("%-24s %10lld %-7s %6.1f", input.name, static_cast<long long>(size), input.unit,
                        best.utf16Megabytes);
            for (std::size_t i = 0; i < 3; ++i)
                std::printf(" %8.3f (%5.3f)", best.seconds[i], best.seconds[i + 3]);
            std::printf(" %8s %7s %5.0f\n", qPrintable(best.rows), qPrintable(best.matches),
                        best.peakMegabytes);
            if (factor == 2) {
                std::printf("%-24s %10s %-7s %6s", "", "2N / N", "", "");
                for (std::size_t i = 0; i < 3; ++i)
                    std::printf(" %7.2fx (%4.2fx)", best.seconds[i] / previous[i],
                                best.seconds[i + 3] / previous[i + 3]);
                std::printf("\n");
            }
            previous = best.seconds;
        }
    }
    return 0;
}
