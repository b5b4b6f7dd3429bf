// The table scanner: each row tag or cell is scanned whole from where the input stands, again
// with more input when a piece cut it, and left to XmlScanner when it is long.
#include "sheets/ods_scanner.h"

#include <cstring>

namespace brisquel::sheets {

using namespace std::literals;

namespace {

// Longer cell tags are not remembered: they are rare, and comparing them costs more.
constexpr std::size_t maxKnownTag = 256;

// Takes the attribute of local name `wanted` into `value`; a second one is left to XmlScanner,
// which takes the first.
auto attributeTaker(std::string_view wanted, std::string_view& value) {
    value = {};
    return [wanted, &value](std::string_view name, std::string_view text) {
        if (name != wanted)
            return true;
        if (value.data())
            return false;
        value = text;
        return true;
    };
}

bool anyAttribute(std::string_view, std::string_view) {
    return true;
}

// Whether the input at `p` holds all of `bytes`: the size known here, the compiler compares
// in a few words.
template <std::size_t N> bool holds(const char* p, const char* end, const char (&bytes)[N]) {
    return static_cast<std::size_t>(end - p) >= N - 1 && std::memcmp(p, bytes, N - 1) == 0;
}

} // namespace

std::optional<std::int64_t> parseCount(std::string_view text, std::int64_t limit) {
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = std::min(value * 10 + (c - '0'), limit);
    }
    if (value == 0)
        return std::nullopt;
    return value;
}

OdsScanner::Item OdsScanner::next(Place place, std::string& text) {
    const std::size_t mark = text.size();
    const Scan scan = scanWhole<Scan>(m_in, [&](ScanCursor& at) {
        text.resize(mark);
        return scanItem(at, place, text);
    });
    if (scan == Scan::Other)
        text.resize(mark);
    switch (scan) {
    case Scan::Row:
        return Item::Row;
    case Scan::Cell:
        return Item::Cell;
    case Scan::RowEnd:
        return Item::RowEnd;
    default:
        return Item::Other;
    }
}

OdsScanner::Scan OdsScanner::scanItem(ScanCursor& at, Place place, std::string& text) {
    if (at.skipSpaces())
        return Scan::Skipped;
    if (place == Place::BetweenRows)
        return scanRow(at);
    if (place == Place::InRowStarted && at.literal("</table:table-row>"))
        return Scan::RowEnd;
    return at.cut ? Scan::Incomplete : scanCell(at, text);
}

OdsScanner::Scan OdsScanner::scanRow(ScanCursor& at) {
    bool empty = false;
    if (!at.tagName("<table:table-row") ||
        !at.attributes(empty, attributeTaker("number-rows-repeated", m_count)))
        return at.stopped<Scan>();
    // An empty row ends as it starts: XmlScanner tells both.
    return empty ? Scan::Other : Scan::Row;
}

// A cell or covered cell with its paragraphs, up to its end tag.
OdsScanner::Scan OdsScanner::scanCell(ScanCursor& at, std::string& text) {
    bool empty = false;
    if (!knownCellTag(at, empty)) {
        const char* tagStart = at.p;
        m_covered = !at.tagName("<table:table-cell");
        if (m_covered && (at.cut || !at.tagName("<table:covered-table-cell")))
            return at.stopped<Scan>();
        if (!at.attributes(empty, attributeTaker("number-columns-repeated", m_count)))
            return at.stopped<Scan>();
        rememberCellTag(std::string_view(tagStart, static_cast<std::size_t>(at.p - tagStart)), empty);
    }
    if (!empty && !m_covered && scanPlainCell(at, text))
        return Scan::Cell;
    const std::string_view endTag = m_covered ? "</table:covered-table-cell>"sv : "</table:table-cell>"sv;
    const std::size_t start = text.size();
    for (bool first = true; !empty; first = false) {
        if (!at.spaces())
            return Scan::Incomplete;
        if (at.literal(endTag))
            break;
        if (at.cut)
            return Scan::Incomplete;
        if (!first)
            text += '\n';
        if (!scanParagraph(at, text))
            return at.stopped<Scan>();
    }
    if (m_covered)
        text.resize(start);
    return Scan::Cell;
}

// What most cells hold after their start tag, one paragraph of plain text and the end,
// taken whole where the input holds it; anything else is left to the steps that take each part.
bool OdsScanner::scanPlainCell(ScanCursor& at, std::string& text) {
    static constexpr char start[] = "<text:p>";
    static constexpr char end[] = "</text:p></table:table-cell>";
    if (!holds(at.p, at.end, start))
        return false;
    const char* run = at.p + (sizeof start - 1);
    const char* stop = findTextStop(run, at.end);
    if (!holds(stop, at.end, end))
        return false;
    text.append(run, static_cast<std::size_t>(stop - run));
    at.p = stop + (sizeof end - 1);
    return true;
}

// A tag met again moves ahead of the one before it, so that the few a table's cells use most
// stay while the others take turns in the last place.
bool OdsScanner::knownCellTag(ScanCursor& at, bool& empty) {
    const auto available = static_cast<std::size_t>(at.end - at.p);
    for (std::size_t i = 0; i < m_knownTags.size(); ++i) {
        const std::string_view tag = m_knownTags[i].bytes;
        if (tag.empty() || available < tag.size() || std::memcmp(at.p, tag.data(), tag.size()) != 0)
            continue;
        if (i > 0)
            std::swap(m_knownTags[i], m_knownTags[i - 1]);
        const KnownTag& known = m_knownTags[i > 0 ? i - 1 : 0];
        at.p += tag.size();
        m_covered = known.covered;
        empty = known.empty;
        m_count = known.countSize ? std::string_view(known.bytes).substr(known.countAt, known.countSize)
                                  : std::string_view();
        return true;
    }
    return false;
}

void OdsScanner::rememberCellTag(std::string_view tag, bool empty) {
    if (tag.size() > maxKnownTag)
        return;
    KnownTag& known = m_knownTags.back();
    known.bytes.assign(tag);
    known.covered = m_covered;
    known.empty = empty;
    known.countSize = m_count.size();
    known.countAt = m_count.empty() ? 0 : static_cast<std::size_t>(m_count.data() - tag.data());
}

// <text:p> and its content up to </text:p>.
bool OdsScanner::scanParagraph(ScanCursor& at, std::string& text) {
    bool empty = false;
    if (!at.tagName("<text:p") || !at.attributes(empty, anyAttribute))
        return false;
    if (empty)
        return true;
    for (int spans = 0;;) {
        std::string_view run;
        if (!at.text(run))
            return false;
        text += run;
        if (at.literal("</text:p>"))
            return spans == 0;
        if (at.cut || !scanInParagraph(at, text, spans))
            return false;
    }
}

// One element inside a paragraph: a span's start or end, or what stands for spaces, a tab or
// a line break.
bool OdsScanner::scanInParagraph(ScanCursor& at, std::string& text, int& spans) {
    bool empty = false;
    if (at.literal("</text:span>"))
        return spans-- > 0;
    if (at.cut)
        return false;
    if (at.tagName("<text:span")) {
        if (!at.attributes(empty, anyAttribute))
            return false;
        spans += empty ? 0 : 1;
        return true;
    }
    if (!at.cut && at.tagName("<text:s")) {
        std::string_view count;
        if (!at.attributes(empty, attributeTaker("c", count)) || !empty)
            return false;
        const auto spaces = count.data() ? parseCount(count, maxSpaces) : std::optional<std::int64_t>(1);
        if (!spaces)
            return false;
        text.append(static_cast<std::size_t>(*spaces), ' ');
        return true;
    }
    const bool tab = !at.cut && at.tagName("<text:tab");
    if (!tab && (at.cut || !at.tagName("<text:line-break")))
        return false;
    if (!at.attributes(empty, anyAttribute) || !empty)
        return false;
    text += tab ? '\t' : '\n';
    return true;
}

} // namespace brisquel::sheets
