// file_bench: imports report files through the window, offscreen, as the clipboard's copied
// files, and sets each beside the window's import of the same text from the clipboard, beside
// reading the file's bytes alone, as every import does first, and, for a workbook, beside
// inflating its parts alone with zlib (the floor of reading it).
//
//   file_bench FILE [--repeat N]
//   file_bench --write-csv F [--rows N]   writes the generated report as a GB18030 CSV
//
// Each import runs N times (default 3) after a reset; each side's best run is given, with how
// often the title moved from its first progress title on, and the peak memory of the file
// imports against the size of the text the file gives.
#include "bench_dialogs.h"
#include "form1_widget.h"

#include "engine/export.h"
#include "meter_report.h"
#include "sheets/workbook.h"
#include "sheets/zip.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>

namespace {

// The progress titles of one import: how many, and the time from the first to the last.
class TitleClock : public QObject {
public:
    int titles = 0;
    qint64 firstNs = -1, lastNs = -1;
    QElapsedTimer clock;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange &&
            static_cast<QWidget*>(watched)->windowTitle().contains(u'/')) {
            lastNs = clock.nsecsElapsed();
            if (firstNs < 0)
                firstNs = lastNs;
            ++titles;
        }
        return false;
    }
    void restart() {
        titles = 0;
        firstNs = lastNs = -1;
        clock.start();
    }
    double perSecond() const {
        return lastNs > firstNs ? (titles - 1) / (static_cast<double>(lastNs - firstNs) / 1e9) : 0.0;
    }
};

struct Best {
    double seconds = std::numeric_limits<double>::infinity();
    double titlesPerSecond = 0;
    double firstTitle = 0; // seconds from the click to the first progress title
};

// Presses Command2 then Command1 `repeat` times, `prepare` setting the clipboard before each.
template <typename Prepare>
Best importRuns(Form1Widget& form, int repeat, const char* what, Prepare prepare) {
    Best best;
    TitleClock titles;
    form.installEventFilter(&titles);
    std::printf("%s:", what);
    for (int run = 0; run < repeat; ++run) {
        form.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        prepare();
        titles.restart();
        form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        const double seconds = static_cast<double>(titles.clock.nsecsElapsed()) / 1e9;
        std::printf(" %.3f s", seconds);
        if (seconds < best.seconds)
            best = {seconds, titles.perSecond(), static_cast<double>(titles.firstNs) / 1e9};
    }
    std::printf("  (Label5=%s, %s)\n", qPrintable(form.findChild<QLabel*>(QStringLiteral("Label5"))->text()),
                qPrintable(form.windowTitle().left(12)));
    form.removeEventFilter(&titles);
    return best;
}

// The text the file gives, as the import receives it.
class TextSink final : public brisquel::sheets::SheetSink {
public:
    std::string text;
    std::string::size_type sheetStart = 0;
    void beginSheet(brisquel::sheets::SheetSize) override { sheetStart = text.size(); }
    void append(std::string_view piece) override { text += piece; }
    void restartSheet() override { text.resize(sheetStart); }
    void endSheet() override {}
};

// Inflates every deflated entry of the archive with zlib alone, into a buffer it reuses.
double inflateSeconds(std::string_view bytes) {
    const brisquel::sheets::ZipArchive archive(bytes);
    const auto buffer = std::make_unique<unsigned char[]>(std::size_t{1} << 20);
    QElapsedTimer clock;
    clock.start();
    for (const brisquel::sheets::ZipEntry& entry : archive.entries()) {
        if (entry.method != 8)
            continue;
        const std::string_view data = archive.data(entry);
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        int status = Z_OK;
        while (status == Z_OK) {
            stream.next_out = buffer.get();
            stream.avail_out = 1u << 20;
            status = inflate(&stream, Z_NO_FLUSH);
        }
        inflateEnd(&stream);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

int writeCsv(const char* path, int rows) {
    std::string report = brisquel::bench::meterReport(rows);
    std::replace(report.begin(), report.end(), '\t', ',');
    const std::string bytes = brisquel::toAnsi(report);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::printf("wrote %s: %d rows, %.1f MB in GB18030\n", path, rows,
                static_cast<double>(bytes.size()) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const char* file = nullptr;
    const char* csv = nullptr;
    int rows = 1048576;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc)
            rows = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--write-csv") == 0 && i + 1 < argc)
            csv = argv[++i];
        else if (!file && argv[i][0] != '-')
            file = argv[i];
        else
            file = nullptr, csv = nullptr, i = argc;
    }
    if (csv)
        return writeCsv(csv, rows);
    if (!file) {
        std::fprintf(stderr, "usage: file_bench FILE [--repeat N] | file_bench --write-csv F [--rows N]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    auto dialogs = std::make_unique<BenchDialogs>();
    BenchDialogs* script = dialogs.get();
    Form1Widget form(std::move(dialogs));
    form.show();
    QCoreApplication::processEvents();

    const Best fromFile = importRuns(form, repeat, "file import", [&] { script->files = {file}; });
    script->files.clear();
    const double peak = brisquel::bench::peakMegabytes();

    double reading = std::numeric_limits<double>::infinity();
    for (int run = 0; run < repeat; ++run) {
        QElapsedTimer clock;
        clock.start();
        const brisquel::FileBytes read = brisquel::readWholeFile(file);
        reading = std::min(reading, static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    const brisquel::FileBytes bytes = brisquel::readWholeFile(file);
    TextSink sink;
    brisquel::sheets::readWorkbook(bytes.bytes(), sink);
    const double textMegabytes = static_cast<double>(sink.text.size()) / 1048576.0;
    double floor = 0;
    if (bytes.bytes().starts_with("PK")) {
        floor = std::numeric_limits<double>::infinity();
        for (int run = 0; run < repeat; ++run)
            floor = std::min(floor, inflateSeconds(bytes.bytes()));
    }
    const QByteArray text(sink.text.data(), static_cast<qsizetype>(sink.text.size()));
    sink.text = {};
    const Best fromClipboard =
        importRuns(form, repeat, "the same text from the clipboard", [&] { script->utf8Clipboard = text; });

    std::printf("\n%-34s %8.3f s, the title %.1f times a second from %.3f s on\n", "file import",
                fromFile.seconds, fromFile.titlesPerSecond, fromFile.firstTitle);
    std::printf("%-34s %8.3f s (file import %.2f times that)\n", "the same text from the clipboard",
                fromClipboard.seconds, fromFile.seconds / fromClipboard.seconds);
    std::printf("%-34s %8.3f s (file import %.2f times that)\n", "reading the file alone", reading,
                fromFile.seconds / reading);
    if (floor > 0)
        std::printf("%-34s %8.3f s (file import %.2f times that)\n", "inflating the parts alone", floor,
                    fromFile.seconds / floor);
    std::printf("peak memory of the file imports: %.0f MiB, %.2f times the text's %.0f MiB\n", peak,
                peak / textMegabytes, textMegabytes);
    return 0;
}
