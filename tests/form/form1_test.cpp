// Form1's handlers driven through a scripted host: questions, notices, locking, titles,
// focus, progress and the paste, without any toolkit.
#include "scripted_host.h"
#include "sheets/xls_writer.h"

#include "engine/export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace brisquel {
namespace {

using test::ScriptedHost;
namespace fs = std::filesystem;

const std::string question = "ask 是否执行?|";
const std::string importDone = "已完成导入，如果还有更多相同报表可继续全选复制并导入";
const std::string statisticsDone = "已完成统计";

// A header and four meters: three in 镇府公用台变, of which one counts for Text5 and one for Text8.
const std::u16string smallReport = u"序号\t台区\t设备类型\r\n"
                                   u"1\t镇府公用台变\t三相多功能电能表\r\n"
                                   u"2\t镇府公用台变\t三相载波电子式电能表\r\n"
                                   u"3\t其他台变\t三相多功能电能表\r\n"
                                   u"4\t镇府公用台变\t单相电能表\r\n";

const std::vector<std::string> lockAll = {"Command1 off", "Command2 off", "Command3 off", "Command4 off"};
const std::vector<std::string> unlockAll = {"Command1 on", "Command2 on", "Command3 on", "Command4 on"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A path as Form1 takes it: UTF-8, also on Windows, where path::string() is in the ANSI code page.
std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

class Form1Test : public testing::Test {
protected:
    Form1Test() {
        fs::create_directories(m_folder);
        form.setExportFolder(utf8(m_folder));
        form.Form_Load();
    }
    ~Form1Test() override { fs::remove_all(m_folder); }

    bool nothingExported() const { return fs::is_empty(m_folder); }
    // A file holding `bytes` beside the exports; its path as Form1 takes it.
    std::string file(const std::string& name, std::string_view bytes) const {
        const fs::path path = m_folder / fs::u8path(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return utf8(path);
    }

    void import(std::u16string clipboard) {
        host.clipboard = std::move(clipboard);
        form.Command1_Click();
    }
    // The log without the progress shown as an operation runs: questions, notices, the
    // buttons, the focus and the closing title.
    std::vector<std::string> flow() const {
        std::vector<std::string> kept;
        for (const std::string& entry : host.log) {
            const bool progress = entry == "shown" || entry.starts_with("Label") ||
                                  (entry.starts_with("title ") && entry.find('/') != std::string::npos);
            if (!progress)
                kept.push_back(entry);
        }
        return kept;
    }
    std::vector<std::string> counts() const {
        std::vector<std::string> texts;
        for (ControlId id : {ControlId::Label3, ControlId::Label5, ControlId::Label7, ControlId::Label8,
                             ControlId::Label9, ControlId::Label10, ControlId::Label11, ControlId::Label12})
            texts.push_back(host.text(id));
        return texts;
    }

    ScriptedHost host;
    Form1 form{host, ""};

private:
    // A fresh folder for each test's exports.
    fs::path m_folder =
        fs::temp_directory_path() / ("brisquel-form1-" + std::to_string(std::random_device()()));
};

TEST_F(Form1Test, AnsweringNoChangesNothing) {
    struct Case {
        void (Form1::*handler)();
        std::string question;
    };
    const Case cases[] = {
        {&Form1::Command1_Click, "确定要导入吗？先在WPS报表里全选复制报表，再导入"},
        {&Form1::Command2_Click, "确定要置零吗？"},
        {&Form1::Command3_Click, "确定要统计吗？先导入报表所有行再统计"},
        {&Form1::Command4_Click,
         "确定要导出本次统计有效的列表吗？导出文本文件可以用WPS报表打开就是报表了，可另存为XLSX格式，"
         "TAB制表符分隔，如果有数字变指数请在WPS报表里把该列单元格属性改为分数或文本"},
    };
    import(smallReport);
    form.Command3_Click();
    const std::vector<std::string> shown = counts();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        host.log.clear();
        host.answers = {false};
        (form.*c.handler)();
        EXPECT_EQ(std::vector<std::string>{question + c.question}, host.log);
        EXPECT_EQ(shown, counts());
        EXPECT_EQ(5, form.tallyState().alltxti());
        EXPECT_EQ(2, form.tallyState().alli());
    }
    EXPECT_TRUE(nothingExported());
}

TEST_F(Form1Test, UnusableClipboardIsRefusedWithoutLocking) {
    for (const std::u16string clipboard : {u"", u"镇府公用台变", u"台区\t设备类型", u"台区\r设备类型\r"}) {
        host.log.clear();
        import(clipboard);
        EXPECT_EQ((std::vector<std::string>{question + "确定要导入吗？先在WPS报表里全选复制报表，再导入",
                                            "clipboard let go", "notify 失败，请先打开EXCEL报表并全选复制"}),
                  host.log);
        EXPECT_EQ(windowTitle, host.title());
        EXPECT_FALSE(host.enabled(ControlId::Command2));
    }
}

TEST_F(Form1Test, ImportLocksReportsAndUnlocksWithTheFocusOnItsButton) {
    import(smallReport);
    EXPECT_EQ(concat({{question + "确定要导入吗？先在WPS报表里全选复制报表，再导入"},
                      lockAll,
                      {"clipboard let go", "title " + importDone, "notify " + importDone},
                      unlockAll,
                      {"focus Command1"}}),
              flow());
    EXPECT_EQ("5", host.text(ControlId::Label5));
    EXPECT_EQ(importDone, host.title());
    // The last progress shown before the closing title is the pass's last element.
    const std::vector<std::string> titles = host.entries("title ");
    ASSERT_GE(titles.size(), 2u);
    EXPECT_EQ("5/5", titles[titles.size() - 2]);
}

TEST_F(Form1Test, StatisticsCountsAndReports) {
    import(smallReport);
    host.log.clear();
    form.Command3_Click();
    EXPECT_EQ(concat({{question + "确定要统计吗？先导入报表所有行再统计"},
                      lockAll,
                      {"title " + statisticsDone, "notify " + statisticsDone},
                      unlockAll,
                      {"focus Command3"}}),
              flow());
    EXPECT_EQ((std::vector<std::string>{"2", "5", "3", "0", "1", "0", "0", "1"}), counts());

    // The fields are read at each run: clearing Text5 drops its match.
    host.setField(ControlId::Text5, "");
    form.Command3_Click();
    EXPECT_EQ((std::vector<std::string>{"1", "5", "3", "0", "0", "0", "0", "1"}), counts());
}

TEST_F(Form1Test, ExportWritesTheListAndNamesTheFile) {
    import(smallReport);
    form.Command3_Click();
    const std::string titleBefore = host.title();
    host.log.clear();
    form.Command4_Click();

    const std::vector<std::string> notices = host.entries("notify ");
    ASSERT_EQ(1u, notices.size());
    ASSERT_TRUE(notices[0].starts_with("文件路径:\r\n"));
    const fs::path written = fs::u8path(notices[0].substr(std::string("文件路径:\r\n").size()));
    const std::vector<std::string> steps = flow();
    EXPECT_EQ(concat({lockAll, {"notify " + notices[0]}, unlockAll, {"focus Command4"}}),
              std::vector<std::string>(steps.begin() + 1, steps.end()));
    std::ifstream file(written, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(toAnsi(form.tallyState().allouttxt()), bytes);
    EXPECT_EQ(titleBefore, host.title());
}

TEST_F(Form1Test, ExportFailureNamesThePathAndTheReason) {
    import(smallReport);
    form.Command3_Click();
    const std::string missing =
        utf8(fs::temp_directory_path() / fs::u8path("没有这个文件夹") / fs::u8path("也没有这个"));
    form.setExportFolder(missing);
    host.log.clear();
    form.Command4_Click();
    const std::vector<std::string> notices = host.entries("notify ");
    ASSERT_EQ(1u, notices.size());
    EXPECT_TRUE(notices[0].starts_with("导出失败，无法写入文件:\r\n")) << notices[0];
    EXPECT_NE(std::string::npos, notices[0].find(missing + pathSeparator + "导出文件_")) << notices[0];
    EXPECT_EQ(2, std::count(notices[0].begin(), notices[0].end(), '\n'));
    EXPECT_EQ("focus Command4", host.log.back());
}

// A file that is no report keeps in its notice what it is; one under a password gets the
// password notice, not the one for a damaged file, and says what kind of file it is.
TEST_F(Form1Test, FileNoticeSaysWhatTheFileIs) {
    using namespace sheets::testing;
    const struct {
        const char* name;
        std::string bytes;
        std::string inNotice;
    } cases[] = {
        {"图.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "PNG 图片"},
        {"密.xlsx", compoundFile({{"EncryptionInfo", "i"}, {"EncryptedPackage", "p"}}),
         "密.xlsx\r\n加密的 Excel 工作簿（.xlsx）"},
        {"密.xls",
         compoundFile({{"Workbook", workbookStream(record(0x002F, le(1, 6)), {{numberCell(0, 0, 1)}})}}),
         "文件设有密码，无法导入:"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        host.log.clear();
        form.Form_OLEDragDrop({file(entry.name, entry.bytes)});
        const std::vector<std::string> notices = host.entries("notify ");
        ASSERT_EQ(1u, notices.size());
        EXPECT_NE(std::string::npos, notices[0].find(entry.inNotice)) << notices[0];
    }
}

TEST_F(Form1Test, ResetClearsCountsWithoutLockingOrTitle) {
    import(smallReport);
    form.Command3_Click();
    host.log.clear();
    form.Command2_Click();
    EXPECT_EQ((std::vector<std::string>{question + "确定要置零吗？", "Label3=0", "Label5=0", "Label7=0",
                                        "Label8=0", "Label9=0", "Label10=0", "Label11=0", "Label12=0"}),
              host.log);
    EXPECT_EQ(statisticsDone, host.title());
    EXPECT_TRUE(form.tallyState().alltxt().empty());
    EXPECT_TRUE(form.tallyState().allouttxt().empty());
}

TEST_F(Form1Test, DoubleClickPastesTheClipboardWithoutItsFinalLineBreak) {
    struct Case {
        const char* name;
        std::variant<std::u16string, std::string> clipboard;
        std::string pasted;
    };
    const Case cases[] = {
        {"a cell without a line break", u"镇府公用台变", "镇府公用台变"},
        {"a cell from Excel or WPS", u"镇府公用台变\r\n", "镇府公用台变"},
        {"a cell from Calc, as UTF-8", std::string("镇府公用台变\n"), "镇府公用台变"},
        {"blanks and TABs are kept", u" 台变\t \r\n", " 台变\t "},
        {"inner line breaks are kept", u"甲\r\n乙\r\n", "甲\r\n乙"},
        {"an empty cell", u"\r\n", ""},
        {"an empty clipboard leaves the field", u"", "台区"},
        {"100,000 characters are kept whole", std::u16string(100'000, u'a'), std::string(100'000, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.setField(ControlId::Text3, "台区");
        host.clipboard = c.clipboard;
        form.Text3_DblClick();
        EXPECT_EQ(c.pasted, host.text(ControlId::Text3));
    }
}

TEST_F(Form1Test, ProgressIsShownAtMostEvery33MillisecondsAndTheCountsEvery100) {
    std::chrono::steady_clock::time_point now{};
    Form1 timed(host, "", [&] { return now; });
    host.log.clear();
    for (int i = 0; i <= 12; ++i) {
        now = std::chrono::steady_clock::time_point{std::chrono::milliseconds(10 * i)};
        timed.showText(LabelId::Label5, std::to_string(i));
        timed.progress(i, 12);
    }
    // Shown at once, then at 40, 80 and 120 ms, the latest count at 0 and 120 ms only.
    EXPECT_EQ((std::vector<std::string>{"title 0/12", "Label5=0", "shown", "title 4/12", "shown",
                                        "title 8/12", "shown", "title 12/12", "Label5=12", "shown"}),
              host.log);
}

TEST_F(Form1Test, OutOfMemoryEndsTheOperationWithANoticeAndChangesNothing) {
    import(smallReport);
    form.Command3_Click();
    const std::string title = host.title();
    const std::vector<std::string> shown = counts();
    host.outOfMemory = true;
    // The title loses any progress shown before memory ran out; the import lets go of the
    // clipboard before the notice.
    const std::vector<std::string> failure = {"title " + title, "notify 失败，内存不足，无法完成此操作"};
    const std::pair<void (Form1::*)(), std::vector<std::string>> cases[] = {
        {&Form1::Command1_Click, concat({lockAll, {"clipboard let go"}, failure, unlockAll})},
        {&Form1::Command3_Click, concat({lockAll, failure, unlockAll})},
    };
    for (const auto& [handler, expected] : cases) {
        host.log.clear();
        (form.*handler)();
        const std::vector<std::string> steps = flow();
        ASSERT_EQ(expected.size() + 2, steps.size());
        EXPECT_EQ(expected, std::vector<std::string>(steps.begin() + 1, steps.end() - 1));
    }
    EXPECT_EQ(title, host.title());
    EXPECT_EQ(shown, counts());
    EXPECT_EQ(5, form.tallyState().alltxti());
}

} // namespace
} // namespace brisquel
