// The table scanner: each row tag or cell is scanned whole from where the input stands, again
// with more input when a piece cut it, and left to XmlScanner when it is long.
#include "sheets/ods_scanner.h"

#include <algorithm>
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
    for (std::size_t i = 0; i < m_knownTags.size(); ++i) {
        const KnownTag& known = m_knownTags[i];
        std::string_view hole;
        const std::size_t size = known.bytes.empty() ? 0 : known.matches(at.p, at.end, hole);
        if (size == 0)
            continue;
        m_covered = known.covered;
        empty = known.empty;
        // The count is taken where it stands in the input: after the hole it moves with it.
        const std::size_t holeSize = known.holeEnd - known.holeAt;
        if (known.countSize == 0)
            m_count = {};
        else if (holeSize != 0 && known.countAt == known.holeAt)
            m_count = hole;
        else if (holeSize != 0 && known.countAt > known.holeAt)
            m_count = std::string_view(at.p + known.countAt + hole.size() - holeSize, known.countSize);
        else
            m_count = std::string_view(at.p + known.countAt, known.countSize);
        at.p += size;
        if (i > 0)
            std::swap(m_knownTags[i], m_knownTags[i - 1]);
        return true;
    }
    return false;
}

void OdsScanner::rememberCellTag(std::string_view tag, bool empty) {
    if (tag.size() > maxKnownTag)
        return;
    for (KnownTag& known : m_knownTags) {
        if (!known.bytes.empty() && known.holeEnd == known.holeAt && known.covered == m_covered &&
            known.takeHole(tag))
            return;
    }
    KnownTag& known = m_knownTags.back();
    known.bytes.assign(tag);
    known.covered = m_covered;
    known.empty = empty;
    known.countSize = m_count.size();
    known.countAt = m_count.empty() ? 0 : static_cast<std::size_t>(m_count.data() - tag.data());
    known.holeAt = known.holeEnd = 0;
}

std::size_t OdsScanner::KnownTag::matches(const char* p, const char* end, std::string_view& hole) const {
    const auto available = static_cast<std::size_t>(end - p);
    if (holeAt == holeEnd)
        return available >= bytes.size() && std::memcmp(p, bytes.data(), bytes.size()) == 0 ? bytes.size()
                                                                                            : 0;
    if (available < holeAt || std::memcmp(p, bytes.data(), holeAt) != 0)
        return 0;
    const char* valueEnd = findValueStop(p + holeAt, end);
    // From the quote that ends the hole's value on, the tag is compared whole.
    const std::string_view rest = std::string_view(bytes).substr(holeEnd);
    if (static_cast<std::size_t>(end - valueEnd) < rest.size() ||
        std::memcmp(valueEnd, rest.data(), rest.size()) != 0)
        return 0;
    hole = std::string_view(p + holeAt, static_cast<std::size_t>(valueEnd - (p + holeAt)));
    return static_cast<std::size_t>(valueEnd - p) + rest.size();
}

bool OdsScanner::KnownTag::takeHole(std::string_view tag) {
    const std::string_view old = bytes;
    const std::size_t same = static_cast<std::size_t>(
        std::mismatch(old.begin(), old.end(), tag.begin(), tag.end()).first - old.begin());
    // Both were scanned whole, so each '=' outside a value is followed by its value's quote.
    for (std::size_t equals = old.find('='); equals != std::string_view::npos;) {
        const char quote = old[equals + 1];
        const std::size_t valueAt = equals + 2;
        const std::size_t valueEnd = old.find(quote, valueAt);
        if (same < valueAt || valueEnd == std::string_view::npos)
            return false;
        if (same <= valueEnd) {
            const std::size_t tagValueEnd = tag.find(quote, valueAt);
            if (tagValueEnd == std::string_view::npos || tag.substr(tagValueEnd) != old.substr(valueEnd) ||
                valueEnd == valueAt)
                return false;
            holeAt = valueAt;
            holeEnd = valueEnd;
            return true;
        }
        equals = old.find('=', valueEnd + 1);
    }
    return false;
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
