// Export: the list of matching rows written to a dated text file; and report files read whole.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace brisquel {

class TallyState;

// One reading of the local clock.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59
};

// Reads the local clock once.
LocalTime currentLocalTime();

// The folder of the running program, as the platform reports it, UTF-8.
std::string programFolder();

// What joins a folder and a file name in the paths the export writes and reports: a
// forward slash on every platform, since Windows opens a path with either kind, and the
// folder's own separators are left as the platform reports them.
inline constexpr char pathSeparator = '/';

// "导出文件_Y-M-D_HMS.txt", every number without leading zeros; `copy` > 1 inserts
// " (copy)" before ".txt".
std::string exportFileName(const LocalTime& time, int copy = 1);

// The text in the system's ANSI code page (code page 936 off Windows). A character the
// code page cannot hold, or a byte that is not valid UTF-8, becomes "?".
std::string toAnsi(std::string_view utf8);

struct ExportResult {
    std::string path;  // the file written, or the one that could not be written
    std::string error; // empty on success; otherwise the system's reason
    bool ok() const { return error.empty(); }
};

struct WriteResult {
    bool exists = false; // the name is taken: try another one
    std::string error;   // empty on success; otherwise the system's reason
};

// Creates `path` (UTF-8) as a new file holding `bytes`. Fails, without touching anything,
// when the file exists already; a file that cannot be fully written is removed again.
WriteResult writeNewFile(const std::string& path, std::string_view bytes);

// A report file read whole into memory, or the system's reason why it cannot be.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string error; // empty when read; otherwise why not, in the system's words

    bool ok() const { return error.empty(); }
    std::string_view bytes() const { return {data.get(), size}; }
};

// Reads the file at `path` (UTF-8, also on Windows). A folder is not read: its error says so.
// A file too large for the memory left throws std::bad_alloc.
FileBytes readWholeFile(const std::string& path);

// Whether there is a list to export: a statistics run has found a header row.
bool canExport(const TallyState& state);

// Writes allouttxt, converted to the ANSI code page, to a new file in `folder` named
// after `time`. An existing file is never replaced: the first free name of "name.txt",
// "name (2).txt", "name (3).txt", ... is used, and its path returned.
ExportResult exportList(const TallyState& state, std::string_view folder, const LocalTime& time);

} // namespace brisquel
