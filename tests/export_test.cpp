// Tests of the export: file names, code page 936 bytes, and real files in a temporary folder.
#include "engine/export.h"

#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally.h"
#include "recording_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brisquel {
namespace {

namespace fs = std::filesystem;

// A header row and one matching row, and the same text in code page 936.
const std::string list = "台区\t设备类型\r\n镇府公用台变\t三相智能电能表（费控）";
const std::string listBytes =
    "\xCC\xA8\xC7\xF8\t\xC9\xE8\xB1\xB8\xC0\xE0\xD0\xCD\r\n"
    "\xD5\xF2\xB8\xAE\xB9\xAB\xD3\xC3\xCC\xA8\xB1\xE4\t"
    "\xC8\xFD\xCF\xE0\xD6\xC7\xC4\xDC\xB5\xE7\xC4\xDC\xB1\xED\xA3\xA8\xB7\xD1\xBF\xD8\xA3\xA9";

const LocalTime morning = {2026, 1, 5, 9, 30, 15};

fs::path fromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string toUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string readBytes(const std::string& path) {
    std::ifstream file(fromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(Export, FileNames) {
    struct Case {
        const char* name;
        LocalTime time;
        int copy;
        std::string expected;
    };
    const Case cases[] = {
        {"morning", morning, 1, "导出文件_2026-1-5_93015.txt"},
        {"just after midnight", {2025, 12, 31, 0, 0, 7}, 1, "导出文件_2025-12-31_007.txt"},
        {"evening", {2026, 10, 28, 23, 59, 59}, 1, "导出文件_2026-10-28_235959.txt"},
        {"1:11:01", {2026, 3, 9, 1, 11, 1}, 1, "导出文件_2026-3-9_1111.txt"},
        {"1:01:11", {2026, 3, 9, 1, 1, 11}, 1, "导出文件_2026-3-9_1111.txt"},
        {"11:01:01", {2026, 3, 9, 11, 1, 1}, 1, "导出文件_2026-3-9_1111.txt"},
        {"second copy", morning, 2, "导出文件_2026-1-5_93015 (2).txt"},
        {"tenth copy", morning, 10, "导出文件_2026-1-5_93015 (10).txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, exportFileName(c.time, c.copy));
    }
}

TEST(Export, AnsiBytes) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"ASCII, TAB and CR LF unchanged", "No. 1\tA\r\nb\r\n", "No. 1\tA\r\nb\r\n"},
        {"list", list, listBytes},
        {"Hangul, which code page 936 lacks", "a한b", "a?b"},
        {"invalid byte", {'a', '\xFF', 'b'}, "a?b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, toAnsi(c.utf8));
    }
}

TEST(Export, CharactersOutsideTheBasicPlaneBecomeQuestionMarks) {
    // Linux gives one "?" for each; Windows gives its default character for each UTF-16
    // unit or for the pair, depending on its version.
    for (const std::string text : {"a😀b", "a𠀀b"}) {
        const std::string bytes = toAnsi(text);
        SCOPED_TRACE(bytes);
        ASSERT_GE(bytes.size(), 3u);
        EXPECT_EQ('a', bytes.front());
        EXPECT_EQ('b', bytes.back());
        EXPECT_EQ(std::string(bytes.size() - 2, '?'), bytes.substr(1, bytes.size() - 2));
    }
}

TEST(Export, EveryCommonChineseCharacterHasItsGbkBytes) {
    // U+4E00..U+9FA5, every ideograph of GBK's main block, then full-width punctuation.
    std::string text;
    const auto append = [&text](char32_t c) {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    };
    for (char32_t c = 0x4E00; c <= 0x9FA5; ++c)
        append(c);
    for (char32_t c : U"，。、；：？！“”‘’（）【】《》…—")
        if (c != 0)
            append(c);
    const std::string bytes = toAnsi(text);

    // Two bytes each, the very bytes the code page 936 conversion of iconv gives (FNV-1a of
    // them), so the same list makes the same file on Linux and on Windows.
    ASSERT_EQ(text.size() / 3 * 2, bytes.size());
    std::uint64_t hash = 0xCBF29CE484222325;
    for (char byte : bytes)
        hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001B3;
    EXPECT_EQ(0x1CF3B9C1F2EB4876u, hash);
}

#ifdef _WIN32
TEST(Export, WindowsRunsInCodePage936) {
    // The bytes above are code page 936's: the tests must run in a Chinese ANSI code page.
    EXPECT_EQ(936u, GetACP());
}
#endif

TEST(Export, ClockReadingIsPlausible) {
    const LocalTime t = currentLocalTime();
    EXPECT_TRUE(t.year >= 2024 && t.year <= 2200 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
                t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
                t.second >= 0 && t.second <= 60)
        << exportFileName(t);
}

TEST(Export, ProgramFolderHoldsTheProgram) {
#ifdef _WIN32
    const std::string program = "export_test.exe";
#else
    const std::string program = "export_test";
#endif
    const std::string folder = programFolder();
    // Joined as the export joins it.
    EXPECT_TRUE(fs::is_regular_file(fromUtf8(folder + "/" + program))) << folder;
#ifdef _WIN32
    EXPECT_NE(std::string::npos, folder.find('\\')) << folder;
#endif
}

// Each test gets a fresh folder of its own under the system's temporary folder.
class ExportFile : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_folder =
            fs::temp_directory_path() / ("brisquel-" + name + "-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directory(m_folder));
        folder = toUtf8(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // The names in the folder, or in one of its folders.
    std::vector<std::string> entries(const std::string& inside = {}) const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder / fromUtf8(inside)))
            names.push_back(toUtf8(entry.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

    // A state whose list is `text`, as a statistics run leaves it.
    static TallyState withList(const std::string& text) {
        TallyState state;
        state.setResult(1, text);
        return state;
    }

    std::string folder;

private:
    fs::path m_folder;
};

// There is a list to export once a run has found a header row, even with no match.
TEST_F(ExportFile, WritesTheListInCodePage936OnceThereIsOne) {
    TallyState state;
    test::RecordingView view;
    const auto importAndRun = [&](const std::string& row) {
        importText(state, test::clipboard({row}), view);
        runStatistics(state, view);
    };
    EXPECT_FALSE(canExport(state));
    importAndRun("序号");
    EXPECT_FALSE(canExport(state));
    importAndRun("台区\t设备类型");
    EXPECT_TRUE(canExport(state));
    importAndRun("镇府公用台变\t三相智能电能表（费控）");
    ASSERT_EQ(list, state.allouttxt());

    const ExportResult result = exportList(state, folder, morning);
    ASSERT_TRUE(result.ok()) << result.error;
    // The folder as given, backslashes and all on Windows, then a forward slash.
    EXPECT_EQ(folder + "/导出文件_2026-1-5_93015.txt", result.path);
    EXPECT_EQ(listBytes, readBytes(result.path));
    EXPECT_EQ(list, state.allouttxt());
}

TEST_F(ExportFile, TakenNamesGetTheNextCopyNumberInAFolderWithAChineseName) {
    // As a desktop folder is named on a Chinese Windows.
    const std::string desktop = folder + "/桌面";
    ASSERT_TRUE(fs::create_directory(fromUtf8(desktop)));
    const std::string name = "导出文件_2026-1-5_93015";
    const struct {
        std::string list;
        std::string expectedName;
        std::string expectedBytes;
    } exports[] = {
        {list, name + ".txt", listBytes}, {"b", name + " (2).txt", "b"}, {"c", name + " (3).txt", "c"}};
    for (const auto& e : exports) {
        const ExportResult result = exportList(withList(e.list), desktop, morning);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(desktop + "/" + e.expectedName, result.path);
        EXPECT_EQ(e.expectedBytes, readBytes(result.path));
    }
    EXPECT_EQ((std::vector<std::string>{name + " (2).txt", name + " (3).txt", name + ".txt"}),
              entries("桌面"));
}

TEST_F(ExportFile, MissingOrPlainFileFolderFailsWithoutChange) {
    std::ofstream(fromUtf8(folder + "/plain"), std::ios::binary) << "keep";
    for (const std::string inside : {"missing", "plain"}) {
        SCOPED_TRACE(inside);
        const std::string target = folder + "/" + inside;
        const TallyState state = withList(list);
        const ExportResult result = exportList(state, target, morning);
        EXPECT_FALSE(result.ok());
        EXPECT_NE("", result.error);
        EXPECT_EQ(target + "/导出文件_2026-1-5_93015.txt", result.path);
        EXPECT_EQ(std::vector<std::string>{"plain"}, entries());
        EXPECT_EQ(list, state.allouttxt());
    }
    EXPECT_EQ("keep", readBytes(folder + "/plain"));
}

} // namespace
} // namespace brisquel
