// The sheets of report files, read by the file readers, fed to the import one sheet at a time.
#include "form/file_import.h"

#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally_view.h"
#include "engine/text.h"
#include "sheets/file_bytes.h"
#include "sheets/workbook.h"

#include <algorithm>
#include <new>
#include <optional>

namespace brisquel {

namespace {

// Each sheet the readers hand on is one import pass, with its progress from its first row.
class ImportSink final : public sheets::SheetSink {
public:
    ImportSink(TallyState& state, TallyView& view, std::size_t textLimit)
        : m_state(state), m_view(view), m_textLimit(textLimit) {}

    // Whether the sheets of the file read last gave any row.
    void beginFile() { m_fileGaveText = false; }
    bool fileGaveText() const { return m_fileGaveText; }

    void beginSheet(sheets::SheetSize expected) override {
        m_expected = expected;
        m_sheetStart = m_state.rowsMark();
        startPass();
    }
    void append(std::string_view text) override {
        if (m_state.alltxt().size() + text.size() > m_textLimit)
            throw std::bad_alloc();
        m_fileGaveText |= !text.empty();
        m_pass->append(text);
    }
    void restartSheet() override {
        m_pass.reset();
        restore(m_sheetStart);
        startPass();
    }
    void endSheet() override {
        m_pass->finish();
        m_pass.reset();
    }

    void restore(TallyState::RowsMark mark) {
        m_pass.reset();
        m_state.restoreRows(mark);
        m_view.showText(LabelId::Label5, DecimalText(m_state.alltxti()).view());
    }

private:
    void startPass() {
        // A file may promise any size: what cannot fit is refused before room is made for it.
        if (m_expected.bytes > m_textLimit - std::min(m_textLimit, m_state.alltxt().size()))
            throw std::bad_alloc();
        m_pass.emplace(m_state, m_view, m_expected.rows, m_expected.bytes);
    }

    TallyState& m_state;
    TallyView& m_view;
    const std::size_t m_textLimit;
    sheets::SheetSize m_expected;
    TallyState::RowsMark m_sheetStart;
    std::optional<ImportPass> m_pass;
    bool m_fileGaveText = false;
};

FileFailure failureOf(sheets::Problem problem) {
    switch (problem) {
    case sheets::Problem::NotASpreadsheet:
        return FileFailure::NotASpreadsheet;
    case sheets::Problem::OtherSpreadsheet:
        return FileFailure::OtherSpreadsheet;
    case sheets::Problem::Damaged:
        return FileFailure::Damaged;
    case sheets::Problem::Encrypted:
        return FileFailure::Encrypted;
    case sheets::Problem::Empty:
        return FileFailure::Empty;
    }
    return FileFailure::Damaged;
}

FileImportResult importFile(const std::string& path, ImportSink& sink) {
    try {
        const sheets::FileBytes file = sheets::readWholeFile(path);
        if (!file.ok())
            return {FileFailure::CannotOpen, path, file.error};
        sink.beginFile();
        sheets::readWorkbook(file.bytes(), sink);
        if (!sink.fileGaveText())
            return {FileFailure::Empty, path, {}};
    } catch (const sheets::ReadError& error) {
        return {failureOf(error.problem()), path, error.detail()};
    } catch (const std::bad_alloc&) {
        return {FileFailure::OutOfMemory, path, {}};
    }
    return {};
}

} // namespace

FileImportResult importFiles(TallyState& state, const std::vector<std::string>& paths, TallyView& view,
                             std::size_t textLimit) {
    const TallyState::RowsMark start = state.rowsMark();
    ImportSink sink(state, view, textLimit);
    for (const std::string& path : paths) {
        FileImportResult result = importFile(path, sink);
        if (!result.ok()) {
            sink.restore(start);
            return result;
        }
    }
    return {};
}

} // namespace brisquel
