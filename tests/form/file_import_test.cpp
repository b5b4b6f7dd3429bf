// Report files through Form1: the clipboard's copied files and drops, imported whole or not at
// all, each failure named in its notice.
#include "scripted_host.h"

#include "engine/export.h"
#include "engine/memory.h"
#include "engine/state.h"
#include "form/file_import.h"
#include "recording_view.h"
#include "sheets/sheet_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace brisquel {
namespace {

namespace fs = std::filesystem;

const std::string question = "ask 是否执行?|确定要导入吗？先在WPS报表里全选复制报表，再导入";
const std::string importDone = "已完成导入，如果还有更多相同报表可继续全选复制并导入";
const std::string nothingImported = "本次导入没有导入任何数据";

class FileImportTest : public testing::Test {
protected:
    FileImportTest() {
        fs::create_directories(m_folder);
        form.Form_Load();
    }
    ~FileImportTest() override { fs::remove_all(m_folder); }

    // A file in the test's folder holding `bytes`; its path as Form1 takes it.
    std::string file(const std::string& name, std::string_view bytes) {
        const fs::path path = m_folder / fs::u8path(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return utf8(path);
    }
    std::string path(const std::string& name) const { return utf8(m_folder / fs::u8path(name)); }

    static std::string utf8(const fs::path& path) {
        const std::u8string text = path.u8string();
        return {text.begin(), text.end()};
    }

    test::ScriptedHost host;
    Form1 form{host, ""};

private:
    fs::path m_folder =
        fs::temp_directory_path() / ("brisquel-files-" + std::to_string(std::random_device()()));
};

const std::string sheetA = "台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n";
const std::string sheetB = "台区\t设备类型\r\n东街台变\t单相电能表\r\n";

TEST_F(FileImportTest, CopiedFilesAreImportedInOrderBeforeTheClipboardText) {
    host.clipboard = std::u16string(u"x\r\ny\r\n");
    host.clipboardFiles = {file("甲.txt", sheetA), file("乙.txt", sheetB)};
    form.Command1_Click();
    EXPECT_EQ("\r\n台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n东街台变\t单相电能表",
              form.tallyState().alltxt());
    EXPECT_EQ("3", host.text(ControlId::Label5));
    EXPECT_EQ(importDone, host.title());
    EXPECT_EQ(std::vector<std::string>({importDone}), host.entries("notify "));
    for (ControlId id : commandIds)
        EXPECT_TRUE(host.enabled(id));
}

// The ".xls" files web systems hand out, a web page in GBK and an XML Spreadsheet, count and
// list as their sheets copied out of Excel would, the meter numbers keeping their leading zeros.
TEST_F(FileImportTest, WebSystemsXlsFilesCountAndListAsTheirSheets) {
    const std::string page =
        toAnsi("<html><head><meta http-equiv=Content-Type content='text/html; charset=gb2312'></head><table>"
               "<tr><th>台区<th>设备类型<th>表号"
               "<tr><td>镇府公用台变<td>三相多功能电能表<td style='mso-number-format:\"\\@\"'>0363383683"
               "<tr><td>东街台变<td>三相多功能电能表<td>0363383684</table>");
    const auto cells = [](std::initializer_list<const char*> texts) {
        std::string row = "<Row>";
        for (const char* text : texts)
            row += std::string("<Cell><Data ss:Type='String'>") + text + "</Data></Cell>";
        return row + "</Row>";
    };
    const std::string workbook =
        "<?xml version='1.0'?><Workbook xmlns='urn:schemas-microsoft-com:office:spreadsheet' "
        "xmlns:ss='urn:schemas-microsoft-com:office:spreadsheet'><Worksheet ss:Name='S'><Table>" +
        cells({"台区", "设备类型", "表号"}) +
        cells({"镇府公用台变", "三相多功能电能表(费控)", "0363383685"}) + "</Table></Worksheet></Workbook>";
    host.clipboardFiles = {file("网页.xls", page), file("表格.xls", workbook)};
    form.Command1_Click();
    form.Command3_Click();
    EXPECT_EQ("2", host.text(ControlId::Label3));
    EXPECT_EQ("台区\t设备类型\t表号\r\n镇府公用台变\t三相多功能电能表\t0363383683\r\n"
              "镇府公用台变\t三相多功能电能表(费控)\t0363383685",
              form.tallyState().allouttxt());
}

TEST_F(FileImportTest, ADropAsksFirst) {
    const std::vector<std::string> files = {file("甲.txt", sheetA)};
    host.answers = {false};
    form.Form_OLEDragDrop(files);
    EXPECT_EQ(std::vector<std::string>{question}, host.log);
    form.Form_OLEDragDrop(files);
    EXPECT_EQ(2, form.tallyState().alltxti());
    // Each sheet shows its own progress, from its first row.
    const std::vector<std::string> titles = host.entries("title ");
    EXPECT_EQ("0/2", titles.front());
    EXPECT_EQ(importDone, titles.back());
}

TEST_F(FileImportTest, AFileThatCannotBeImportedTakesBackTheWholeImport) {
    struct Case {
        std::string name;
        std::string path;
        std::string firstLine;
    };
    fs::create_directories(fs::u8path(path("文件夹")));
    const Case cases[] = {
        {"missing", path("没有.xlsx"), "无法打开文件:"},
        {"a folder", path("文件夹"), "无法打开文件:"},
        {"empty", file("空.csv", ""), "文件里没有数据，无法导入:"},
        {"binary", file("图.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10)), "无法导入，这不是报表文件:"},
        {"an XML table of no kind read", file("表.xls", "<?xml version=\"1.0\"?>\n<Workbook>"),
         "无法导入这种表格文件:"},
        {"damaged", file("坏.xls", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), "文件已损坏，无法导入:"},
    };
    // A first import that fails leaves the buttons as they were: only the import enabled.
    form.Form_OLEDragDrop({cases[0].path});
    EXPECT_FALSE(host.enabled(ControlId::Command3));
    EXPECT_TRUE(host.enabled(ControlId::Command1));

    form.Form_OLEDragDrop({file("甲.txt", sheetA)});
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        host.log.clear();
        form.Form_OLEDragDrop({file("乙.txt", sheetB), entry.path});
        EXPECT_EQ("\r\n台区\t设备类型\r\n镇府公用台变\t三相多功能电能表", form.tallyState().alltxt());
        EXPECT_EQ("2", host.text(ControlId::Label5));
        EXPECT_EQ(importDone, host.title());
        const std::vector<std::string> notices = host.entries("notify ");
        ASSERT_EQ(1u, notices.size());
        EXPECT_TRUE(notices[0].starts_with(entry.firstLine + "\r\n" + entry.path + "\r\n")) << notices[0];
        EXPECT_TRUE(notices[0].ends_with(nothingImported));
        EXPECT_TRUE(host.enabled(ControlId::Command3));
    }
}

// A file holding `bytes` in the temporary folder, removed with it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string_view bytes)
        : m_path(fs::temp_directory_path() / ("brisquel-limit-" + std::to_string(std::random_device()()))) {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    ~TemporaryFile() { fs::remove(m_path); }
    std::string path() const { return m_path.string(); }

private:
    fs::path m_path;
};

// The limit holds for all the text of an import: files that each fit may not fit together.
TEST(ImportFiles, TextPastTheLimitFailsAsOutOfMemoryAndChangesNothing) {
    const TemporaryFile a(sheetA), b(sheetB);
    const struct {
        const char* name;
        std::vector<std::string> paths;
        std::size_t limit;
        FileFailure expected;
    } cases[] = {
        {"one file past it", {a.path()}, sheetA.size() - 1, FileFailure::OutOfMemory},
        {"two files only together past it",
         {a.path(), b.path()},
         sheetA.size() + sheetB.size() - 1,
         FileFailure::OutOfMemory},
        {"the first of them alone", {a.path()}, sheetA.size() + sheetB.size() - 1, FileFailure::None},
        {"the second of them alone", {b.path()}, sheetA.size() + sheetB.size() - 1, FileFailure::None},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        TallyState state;
        test::RecordingView view;
        EXPECT_EQ(entry.expected, importFiles(state, entry.paths, view, entry.limit).failure);
        if (entry.expected == FileFailure::None)
            continue;
        EXPECT_EQ(0, state.alltxti());
        EXPECT_EQ("0", view.label(LabelId::Label5));
        EXPECT_TRUE(state.alltxt().empty());
    }
}

std::atomic<bool> measuredToTheEnd = false;

// Hands on a sheet, then measures sheets far longer than any import takes to fail, handing
// nothing more on: only a stop seen while measuring ends it early.
void readThenMeasure(std::string_view, sheets::SheetSink& sink) {
    std::string text = sheetA;
    sink.beginSheet({});
    sink.give(text);
    for (int sheet = 0; sheet < 64; ++sheet) {
        sheets::SheetWriter measuring(sink, 0);
        for (std::int64_t row = 1; row <= sheets::maxRows; ++row)
            measuring.cell(row, 1, "x");
    }
    measuredToTheEnd = true;
}

// An import that fails while its reader measures a sheet stops the reader where it stands.
TEST(ImportFiles, AFailureWhileTheReaderMeasuresStopsTheReader) {
    const TemporaryFile file("");
    TallyState state;
    test::RecordingView view;
    EXPECT_EQ(FileFailure::OutOfMemory,
              importFiles(state, {file.path()}, view, sheetA.size() - 1, readThenMeasure).failure);
    EXPECT_FALSE(measuredToTheEnd);
}

// Counts the calls that keep the window painting while a reader hands nothing on.
struct QuietView final : test::RecordingView {
    std::atomic<int> stillWorkingCalls = 0;
    void stillWorking() override { ++stillWorkingCalls; }
};
QuietView* quietView = nullptr;

// Hands its sheet on only once the window was kept painting meanwhile, or after ten seconds.
void readAfterAQuietSpell(std::string_view, sheets::SheetSink& sink) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (quietView->stillWorkingCalls == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string text = sheetA;
    sink.beginSheet({});
    sink.give(text);
    sink.endSheet();
}

// A reader that holds a sheet until its end, or a file coming slowly off its disk, leaves the
// window painted all the while.
TEST(ImportFiles, TheWindowKeepsPaintingWhileTheReaderIsQuiet) {
    const TemporaryFile file("");
    TallyState state;
    QuietView view;
    quietView = &view;
    EXPECT_TRUE(importFiles(state, {file.path()}, view, std::size_t{1} << 20, readAfterAQuietSpell).ok());
    EXPECT_GT(view.stillWorkingCalls, 0);
    EXPECT_EQ(2, state.alltxti());
}

// The limit follows the smaller of half the memory and a quarter of what the process can
// address: a 32-bit program on a machine of 8 GiB must not take half of it.
TEST(ImportFiles, TextLimitFollowsMemoryAndAddressSpace) {
    constexpr std::uint64_t gib = std::uint64_t{1} << 30;
    const struct {
        const char* name;
        std::uint64_t physical, addressable, expected;
    } cases[] = {
        {"64-bit, 16 GiB", 16 * gib, 128 * 1024 * gib, 8 * gib},
        {"32-bit on 32-bit Windows", 8 * gib, 2 * gib, gib / 2},
        {"32-bit on 64-bit Windows", 8 * gib, 4 * gib - 1, gib - 1},
        {"32-bit, little memory", gib / 2, 2 * gib, gib / 4},
        {"memory not known", 0, 2 * gib, gib / 2},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        if (entry.physical > SIZE_MAX || entry.addressable > SIZE_MAX)
            continue; // a 64-bit machine's figures, which a 32-bit program cannot be given
        EXPECT_EQ(entry.expected, importTextLimit(static_cast<std::size_t>(entry.physical),
                                                  static_cast<std::size_t>(entry.addressable)));
    }
}

} // namespace
} // namespace brisquel
