// A report file read whole into memory, or the system's reason why it cannot be.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace brisquel::sheets {

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

} // namespace brisquel::sheets
