// Report import: clipboard text in, non-empty rows appended to the tally state.
#pragma once

#include "state.h"
#include "text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisquel {

class TallyState;
class TallyView;

// Whether a clipboard text can be imported at all: it is not empty and holds a CR LF.
bool isImportable(std::string_view text);

// Appends the text's non-empty rows to alltxt, dropping every row that contains the
// header text (Text3) once alltxt holds it too, and reports progress row by row.
void importText(TallyState& state, std::string_view text, TallyView& view);

// Counts the CR LF pairs of a text handed over in slices, as the import sees them: with its
// double quotes deleted, so a CR and a LF with only quotes between them make a pair too.
class CrLfCounter {
public:
    void add(std::string_view slice);
    std::int64_t pairs() const { return m_pairs; }

private:
    std::int64_t m_pairs = 0;
    bool m_afterCr = false; // the last byte so far, quotes aside, is a CR
};

// Where the import cuts rows. A sheet copied on Windows ends its rows in CR LF; one copied on
// Linux ends them in LF alone, and each of those LFs is read as the CR LF it stands for, so
// the text need not be copied to widen them.
enum class RowEnd {
    CrLf,    // a CR LF, once quotes are deleted, ends a row
    LineFeed // every LF ends a row, as though a CR stood right before it
};

// The import of one text handed over in slices, so that the window can convert a large
// clipboard a few megabytes at a time and never hold a second copy of it whole. Gives
// exactly what importText gives for the whole text (with RowEnd::LineFeed, for the text with
// every LF widened to CR LF): the same rows, label writes and progress reports, in the same
// order, the progress from the first row on.
class ImportPass {
public:
    // Reads the header text (Text3) and makes room in alltxt for the whole text, so a text
    // too large for the memory left is refused here, before anything changes. `lastIndex` is
    // the number of row ends in the whole text: its CR LF pairs once its quotes are deleted
    // (CrLfCounter), or its LFs; where only an estimate is known, a row past it is shown as
    // the last. `sizeHint` is its size in bytes, a CR counted for each LF with RowEnd::LineFeed.
    ImportPass(TallyState& state, TallyView& view, std::int64_t lastIndex, std::size_t sizeHint,
               RowEnd rowEnd = RowEnd::CrLf);
    ImportPass(const ImportPass&) = delete;
    ImportPass& operator=(const ImportPass&) = delete;

    // The next slice of the text, quotes included. A row, a CR LF, or quotes between a CR and
    // its LF may straddle slices; a slice may be empty.
    void append(std::string_view slice);
    // Ends the pass, after its last slice if one is given: the piece after the text's last
    // CR LF is a row too. The room made for the text stays: the caller gives back what is
    // left over once its last pass has ended (TallyState::releaseSpareRows).
    void finish(std::string_view lastSlice = {});

private:
    void feed(std::string_view slice, bool last);
    std::string_view unquoted(std::string_view block);
    void cut(std::string_view piece, bool last);
    void takeCarriedRow();
    void takeRow(std::string_view text, std::size_t begin, std::size_t end);
    void takeBack();
    std::size_t findRowEnd(std::string_view piece, std::size_t from) const;

    TallyState& m_state;
    TallyView& m_view;
    const std::string m_header;
    ContainsScan m_headerScan; // over the piece being cut, or over the carried row
    const std::int64_t m_lastIndex;
    const RowEnd m_rowEnd;
    const TallyState::RowsMark m_start; // alltxt as the pass found it
    std::int64_t m_index = 0;
    std::string m_carry;    // the row begun in earlier pieces, quotes deleted
    std::string m_unquoted; // one block of a slice without its quotes
};

} // namespace brisquel
