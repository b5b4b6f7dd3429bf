// Report files through the Windows window: files copied in Explorer and files dropped on the
// window, given to the import as the file lists Explorer makes.
#include "form1_window.h"
#include "scripted_dialogs.h"

#include "engine/state.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace brisquel::win32 {
namespace {

namespace fs = std::filesystem;

const std::wstring importDone = L"已完成导入，如果还有更多相同报表可继续全选复制并导入";

// A file list as Explorer puts it on the clipboard and into a drop: DROPFILES, then each wide
// path ended by a NUL, then one more NUL.
HGLOBAL fileList(const std::vector<fs::path>& paths) {
    std::size_t units = 1;
    for (const fs::path& path : paths)
        units += path.native().size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const fs::path& path : paths) {
        path.native().copy(out, path.native().size());
        out += path.native().size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

class FileImportWindow : public testing::Test {
protected:
    FileImportWindow() {
        fs::create_directories(m_folder);
        const std::pair<const wchar_t*, const char*> sheets[] = {
            {L"甲.txt", "台区\t设备类型\r\n镇府公用台变\t三相多功能电能表\r\n"},
            {L"乙表.txt", "台区\t设备类型\r\n东街台变\t单相电能表\r\n"},
        };
        for (const auto& [name, text] : sheets) {
            files.push_back(m_folder / name);
            std::ofstream(files.back(), std::ios::binary) << text;
        }
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        form = std::make_unique<Form1Window>(GetModuleHandleW(nullptr), std::move(scripted), "");
    }
    ~FileImportWindow() override {
        form.reset();
        fs::remove_all(m_folder);
    }

    std::int64_t rows() { return form->form().tallyState().alltxti(); }

    std::vector<fs::path> files;
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<Form1Window> form;

private:
    fs::path m_folder = fs::temp_directory_path() / L"文件导入";
};

TEST_F(FileImportWindow, FilesCopiedInExplorerAreImportedBeforeAnyText) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, fileList(files));
    CloseClipboard();
    SendMessageW(form->control(ControlId::Command1), BM_CLICK, 0, 0);
    EXPECT_EQ(3, rows());
    EXPECT_EQ(std::vector<std::wstring>{importDone}, dialogs->notices);
}

// The question a drop asks first is Form1's; here a drop reaches it with its files.
TEST_F(FileImportWindow, FilesDroppedOnTheWindowAreImported) {
    SendMessageW(form->window(), WM_DROPFILES, reinterpret_cast<WPARAM>(fileList({files[1]})), 0);
    EXPECT_EQ(2, rows());
}

#ifndef _WIN64
// A 32-bit program cannot hold a file of 4 GiB or more (here one that takes no disk, its size
// set past its end): the out-of-memory notice, never a file read as a sliver of itself, and
// the rows imported before it kept.
TEST_F(FileImportWindow, FileTooLargeForTheAddressSpaceGetsTheOutOfMemoryNotice) {
    const fs::path huge = files[0].parent_path() / L"大.csv";
    const HANDLE file = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size{};
    size.QuadPart = (std::int64_t{4} << 30) + 16;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    SendMessageW(form->window(), WM_DROPFILES, reinterpret_cast<WPARAM>(fileList({files[0]})), 0);
    SendMessageW(form->window(), WM_DROPFILES, reinterpret_cast<WPARAM>(fileList({huge})), 0);
    EXPECT_EQ(2, rows());
    ASSERT_EQ(2u, dialogs->notices.size());
    EXPECT_TRUE(dialogs->notices[1].starts_with(L"失败，内存不足，无法完成此操作"))
        << dialogs->notices[1].size();
}
#endif

} // namespace
} // namespace brisquel::win32
