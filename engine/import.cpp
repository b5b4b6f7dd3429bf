// Report import: clipboard text, whole or in slices, cut into rows and appended to alltxt.
#include "import.h"

#include "memory.h"
#include "state.h"
#include "tally_view.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace brisquel {

namespace {

// Slices holding quotes are copied without them this many bytes at a time.
constexpr std::size_t unquoteBlock = std::size_t{64} << 10;

} // namespace

bool isImportable(std::string_view text) {
    return !text.empty() && findCrLf(text, 0) != npos;
}

void importText(TallyState& state, std::string_view text, TallyView& view) {
    CrLfCounter counter;
    counter.add(text);
    ImportPass pass(state, view, counter.pairs(), text.size());
    pass.finish(text);
    state.releaseSpareRows();
}

void CrLfCounter::add(std::string_view slice) {
    if (slice.empty())
        return;
    const char* const base = slice.data();
    std::size_t pos = 0;
    while (const void* lf = std::memchr(base + pos, '\n', slice.size() - pos)) {
        const std::size_t at = static_cast<const char*>(lf) - base;
        // Step back over quotes, no further than the previous LF, which is neither.
        std::size_t before = at;
        while (before > pos && base[before - 1] == '"')
            --before;
        m_pairs += (before > 0 ? base[before - 1] == '\r' : m_afterCr) ? 1 : 0;
        pos = at + 1;
    }
    std::size_t end = slice.size();
    while (end > pos && base[end - 1] == '"')
        --end;
    if (end > 0)
        m_afterCr = base[end - 1] == '\r';
}

ImportPass::ImportPass(TallyState& state, TallyView& view, std::int64_t lastIndex, std::size_t sizeHint,
                       RowEnd rowEnd)
    : m_state(state), m_view(view), m_header(view.fieldText(FieldId::Text3)), m_headerScan({}, m_header),
      m_lastIndex(lastIndex), m_rowEnd(rowEnd), m_start(state.rowsMark()), m_unquoted(unquoteBlock, '\0') {
    // The text is cut at every CR LF, and a CR LF is added after it first, so alltxt grows by
    // at most the text and one CR LF.
    state.reserveRows(sizeHint + crlf.size());
}

void ImportPass::append(std::string_view slice) {
    feed(slice, false);
}

void ImportPass::finish(std::string_view lastSlice) {
    feed(lastSlice, true);
}

// alltxt has room for the whole text from the start, but a row that straddles slices grows
// in a buffer of its own, which can run out of memory half-way through a pass: the rows
// appended so far are taken back, so that a failed import changes nothing.
void ImportPass::takeBack() {
    m_state.restoreRows(m_start);
    m_view.showText(LabelId::Label5, DecimalText(m_state.alltxti()).view());
}

void ImportPass::feed(std::string_view slice, bool last) try {
    // Quotes mean nothing to the tool. Deleting them first can join a CR and a LF that a
    // quote kept apart, and that pair then ends a row like any other. From a slice's first
    // quote on, it is cut a block at a time, each copied without its quotes.
    std::size_t from = slice.find('"');
    if (from == npos)
        return cut(slice, last);
    cut(slice.substr(0, from), false);
    while (from < slice.size()) {
        const std::string_view block = slice.substr(from, unquoteBlock);
        from += block.size();
        cut(unquoted(block), last && from == slice.size());
    }
} catch (const std::bad_alloc&) {
    takeBack();
    throw;
}

std::string_view ImportPass::unquoted(std::string_view block) {
    char* const out = m_unquoted.data();
    std::size_t size = 0;
    for (std::size_t at = 0; at < block.size();) {
        const void* quote = std::memchr(block.data() + at, '"', block.size() - at);
        const std::size_t stop =
            quote == nullptr ? block.size() : static_cast<const char*>(quote) - block.data();
        std::memcpy(out + size, block.data() + at, stop - at);
        size += stop - at;
        at = stop + 1;
    }
    return {out, size};
}

// Where the next row end of a piece, quotes deleted, begins: its CR LF, or its LF.
std::size_t ImportPass::findRowEnd(std::string_view piece, std::size_t from) const {
    return m_rowEnd == RowEnd::CrLf ? findCrLf(piece, from) : piece.find('\n', from);
}

// Cuts a piece of the text, quotes deleted, at every row end. The row the earlier pieces
// began is carried until its end comes; only what is new is searched for a row end, so a row
// that spans many slices costs no more than one that does not.
void ImportPass::cut(std::string_view piece, bool last) {
    const std::size_t rowEndSize = m_rowEnd == RowEnd::CrLf ? 2 : 1;
    std::size_t begin = 0;
    if (m_rowEnd == RowEnd::CrLf && !m_carry.empty() && m_carry.back() == '\r' && piece.starts_with('\n')) {
        m_carry.pop_back();
        takeCarriedRow();
        begin = 1;
    }
    bool scanning = false;
    for (;;) {
        const std::size_t at = findRowEnd(piece, begin);
        if (at == npos && !last) {
            appendLarge(m_carry, piece.substr(begin));
            return;
        }
        const std::size_t end = at == npos ? piece.size() : at;
        if (!m_carry.empty()) {
            appendLarge(m_carry, piece.substr(begin, end - begin));
            takeCarriedRow();
        } else {
            if (!scanning) {
                m_headerScan.restart(piece, begin);
                scanning = true;
            }
            takeRow(piece, begin, end);
        }
        if (at == npos)
            return;
        begin = at + rowEndSize;
    }
}

void ImportPass::takeCarriedRow() {
    m_headerScan.restart(m_carry);
    takeRow(m_carry, 0, m_carry.size());
    m_carry.clear();
}

void ImportPass::takeRow(std::string_view text, std::size_t begin, std::size_t end) {
    // A file may say less about its rows than it holds: the last index is never below the row.
    m_view.progress(m_index, std::max(m_index, m_lastIndex));
    ++m_index;
    if (begin == end)
        return;
    // The header test looks at the whole row, not at a cell: once alltxt holds the header
    // text, every row containing it anywhere is taken for a repeated header.
    if (m_headerScan.contains(begin, end) && m_state.alltxtContains(m_header))
        return;
    m_state.appendRow(text.substr(begin, end - begin));
    m_view.showText(LabelId::Label5, DecimalText(m_state.alltxti()).view());
}

} // namespace brisquel
