// Report files imported as though each of their sheets had been copied whole and imported in
// turn: the clipboard's copied files, files dropped on the window, and the command line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel {

class TallyState;
class TallyView;

namespace sheets {
class SheetSink;
}

// Why a file of an import could not be imported.
enum class FileFailure {
    None,
    CannotOpen,       // detail: the system's reason
    NotASpreadsheet,  // detail: what the file is, when known
    OtherSpreadsheet, // detail: the spreadsheet kind it is
    Damaged,          // detail: where
    Encrypted,
    Empty,
    OutOfMemory,
};

struct FileImportResult {
    FileFailure failure = FileFailure::None;
    std::string path; // the file that could not be imported
    std::string detail;

    bool ok() const { return failure == FileFailure::None; }
};

// Imports every sheet of every file, in order, each as the import takes a whole sheet copied
// from the clipboard. One import is one result: when a file cannot be imported, what the files
// and sheets before it brought is taken back and Label5 shows the count it had. Text past
// `textLimit` bytes in all fails as out of memory, before the system runs out.
FileImportResult importFiles(TallyState& state, const std::vector<std::string>& paths, TallyView& view,
                             std::size_t textLimit);

// What reads each file's bytes into the import: sheets::readWorkbook, or a test's own reader.
using SheetReader = void (*)(std::string_view bytes, sheets::SheetSink& sink);
FileImportResult importFiles(TallyState& state, const std::vector<std::string>& paths, TallyView& view,
                             std::size_t textLimit, SheetReader read);

} // namespace brisquel
