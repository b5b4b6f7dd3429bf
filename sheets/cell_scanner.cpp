// The cell scanner: each row tag, cell or string item is scanned whole from where the input
// stands, again with more input when a piece cut it, and left to XmlScanner when it is long.
#include "sheets/cell_scanner.h"

#include <algorithm>
#include <array>

namespace brisquel::sheets {

namespace {

// An item cut by a piece and longer than this is left to XmlScanner, so that scanning it
// again as input comes stays cheap.
constexpr std::size_t maxItem = std::size_t{1} << 16;

// The bytes that end a run of text or an attribute value, or that leave it to the general
// scanner: one lookup a byte finds them.
constexpr std::array<bool, 256> bytesIn(std::string_view bytes) {
    std::array<bool, 256> in{};
    for (unsigned char c : bytes)
        in[c] = true;
    return in;
}
constexpr std::array<bool, 256> textStops = bytesIn("<&\r");
constexpr std::array<bool, 256> valueStops = bytesIn("\"'<&\t\n\r");

const char* findStop(const char* p, const char* end, const std::array<bool, 256>& stops) {
    while (p != end && !stops[static_cast<unsigned char>(*p)])
        ++p;
    return p;
}

// Whitespace between items, passed over.
bool skipSpaces(const char*& p, const char* end) {
    if (!isXmlSpace(*p))
        return false;
    while (p != end && isXmlSpace(*p))
        ++p;
    return true;
}

} // namespace

// A place in the input. Each step says false when the input does not go on as it expects;
// `cut` tells whether that was only for want of input.
struct CellScanner::Cursor {
    const char* p;
    const char* end;
    bool cut = false;

    bool cutOff() {
        cut = true;
        return false;
    }
    Scan stopped() const { return cut ? Scan::Incomplete : Scan::Other; }

    // Compared byte by byte: the tags are a few bytes long, shorter than a call to memcmp.
    bool literal(std::string_view bytes) {
        const auto available = std::min(bytes.size(), static_cast<std::size_t>(end - p));
        for (std::size_t i = 0; i < available; ++i) {
            if (p[i] != bytes[i])
                return false;
        }
        if (available < bytes.size())
            return cutOff();
        p += available;
        return true;
    }
    // The start of an element named `tag`, such as "<c".
    bool tagName(std::string_view tag) {
        if (!literal(tag))
            return false;
        if (p == end)
            return cutOff();
        return isXmlSpace(*p) || *p == '>' || *p == '/';
    }
    bool spaces() {
        while (p != end && isXmlSpace(*p))
            ++p;
        return p != end || cutOff();
    }
    // Text up to the next '<', with no reference and no CR that would need decoding.
    bool text(std::string_view& out) {
        const char* start = p;
        p = findStop(p, end, textStops);
        if (p == end)
            return cutOff();
        out = std::string_view(start, static_cast<std::size_t>(p - start));
        return *p == '<';
    }
    // The attributes up to the tag's end, each handed to `take` by its local name; `empty`
    // tells a tag ended by "/>".
    template <typename Take> bool attributes(bool& empty, Take&& take) {
        for (;;) {
            const char* before = p;
            if (!spaces())
                return false;
            if (*p == '>' || *p == '/') {
                empty = *p == '/';
                return empty ? literal("/>") : (++p, true);
            }
            if (p == before)
                return false;
            const char* local = p;
            for (; p != end && !endsXmlName(*p); ++p) {
                if (*p == ':')
                    local = p + 1;
            }
            const char* nameEnd = p;
            if (p == end || p + 1 == end)
                return cutOff();
            const char quote = p[1];
            if (*p != '=' || local == p || (quote != '"' && quote != '\''))
                return false;
            p += 2;
            const char* value = p;
            for (p = findStop(p, end, valueStops); p != end && *p != quote;
                 p = findStop(p + 1, end, valueStops)) {
                if (*p != '"' && *p != '\'')
                    return false;
            }
            if (p == end)
                return cutOff();
            if (!take(std::string_view(local, static_cast<std::size_t>(nameEnd - local)),
                      std::string_view(value, static_cast<std::size_t>(p - value))))
                return false;
            ++p;
        }
    }
};

// Tries `scanOne` from where the input stands, again with more input while the input cuts
// the item, until it finds an item or stops.
template <CellScanner::Scan (CellScanner::*scanOne)(CellScanner::Cursor&)>
CellScanner::Item CellScanner::scanOn() {
    for (;;) {
        m_in.settle();
        if (m_in.pos == m_in.input.size()) {
            if (!m_in.refill())
                return Item::Other;
            continue;
        }
        const char* begin = m_in.input.data();
        Cursor at{begin + m_in.pos, begin + m_in.input.size()};
        const Scan scan = (this->*scanOne)(at);
        switch (scan) {
        case Scan::Skipped:
            m_in.pos = static_cast<std::size_t>(at.p - begin);
            break;
        case Scan::Incomplete:
            if (m_in.input.size() - m_in.pos > maxItem || !m_in.refill())
                return Item::Other;
            break;
        case Scan::Row:
        case Scan::Cell:
        case Scan::Text:
            m_in.pos = static_cast<std::size_t>(at.p - begin);
            return scan == Scan::Row ? Item::Row : scan == Scan::Cell ? Item::Cell : Item::Text;
        case Scan::End:
            return Item::End;
        case Scan::Other:
            return Item::Other;
        }
    }
}

CellScanner::Item CellScanner::next() {
    return scanOn<&CellScanner::scanItem>();
}

CellScanner::Item CellScanner::nextString() {
    return scanOn<&CellScanner::scanString>();
}

CellScanner::Scan CellScanner::scanItem(Cursor& at) {
    if (skipSpaces(at.p, at.end))
        return Scan::Skipped;
    if (at.end - at.p < 2)
        return Scan::Incomplete;
    if (at.p[0] != '<')
        return Scan::Other;
    if (at.p[1] == 'c')
        return scanCell(at);
    if (at.p[1] == 'r')
        return scanRow(at);
    if (at.literal("</row>")) {
        if (!m_inRow)
            return Scan::Other;
        m_inRow = false;
        return Scan::Skipped;
    }
    if (!at.cut && at.literal("</sheetData>"))
        return Scan::End;
    return at.stopped();
}

// One by one: a chained assignment reads back what it just stored, and waits for it.
void CellScanner::clearAttributes() {
    m_reference = {};
    m_style = {};
    m_type = {};
}

bool CellScanner::takeAttribute(std::string_view name, std::string_view value) {
    std::string_view* attribute = name == "r"   ? &m_reference
                                  : name == "s" ? &m_style
                                  : name == "t" ? &m_type
                                                : nullptr;
    // XmlScanner would take the first of two alike: they are left to it.
    if (attribute && attribute->data())
        return false;
    if (attribute)
        *attribute = value;
    return true;
}

CellScanner::Scan CellScanner::scanRow(Cursor& at) {
    clearAttributes();
    bool empty = false;
    if (m_inRow || !at.tagName("<row") ||
        !at.attributes(empty, [this](auto name, auto value) { return takeAttribute(name, value); }))
        return at.stopped();
    m_inRow = !empty;
    return Scan::Row;
}

CellScanner::Scan CellScanner::scanCell(Cursor& at) {
    clearAttributes();
    m_value = {};
    bool empty = false;
    if (!at.tagName("<c") ||
        !at.attributes(empty, [this](auto name, auto value) { return takeAttribute(name, value); }))
        return at.stopped();
    return empty ? Scan::Cell : scanCellContent(at);
}

// A cell's formula and value or one-run inline string, up to its end tag.
CellScanner::Scan CellScanner::scanCellContent(Cursor& at) {
    const auto anyAttribute = [](std::string_view, std::string_view) { return true; };
    bool haveValue = false;
    for (;;) {
        if (!at.spaces())
            return Scan::Incomplete;
        if (at.literal("</c>"))
            return Scan::Cell;
        if (at.cut || haveValue)
            return at.stopped();
        bool empty = false;
        if (at.literal("<v>")) {
            if (!at.text(m_value) || !at.literal("</v>"))
                return at.stopped();
            haveValue = true;
        } else if (!at.cut && at.literal("<is>")) {
            if (scanText(at) != Scan::Text || !at.literal("</is>"))
                return at.stopped();
            haveValue = true;
        } else if (!at.cut && at.tagName("<f")) {
            std::string_view formula;
            if (!at.attributes(empty, anyAttribute) || (!empty && (!at.text(formula) || !at.literal("</f>"))))
                return at.stopped();
        } else {
            return at.stopped();
        }
    }
}

// One run of text: <t>, with any attributes, its text and </t>.
CellScanner::Scan CellScanner::scanText(Cursor& at) {
    bool empty = false;
    if (!at.tagName("<t") || !at.attributes(empty, [](std::string_view, std::string_view) { return true; }) ||
        empty || !at.text(m_value) || !at.literal("</t>"))
        return at.stopped();
    return Scan::Text;
}

// A string item of one run.
CellScanner::Scan CellScanner::scanString(Cursor& at) {
    if (skipSpaces(at.p, at.end))
        return Scan::Skipped;
    if (!at.literal("<si>") || scanText(at) != Scan::Text || !at.literal("</si>"))
        return at.stopped();
    return Scan::Text;
}

} // namespace brisquel::sheets
