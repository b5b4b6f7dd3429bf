// The cell scanner: each row tag, cell or string item is scanned whole from where the input
// stands, again with more input when a piece cut it, and left to XmlScanner when it is long.
#include "sheets/cell_scanner.h"

#include "sheets/scan_cursor.h"

#include <cstring>

namespace brisquel::sheets {

template <CellScanner::Scan (CellScanner::*scanOne)(ScanCursor&)> CellScanner::Item CellScanner::scanOn() {
    switch (scanWhole<Scan>(m_in, [this](ScanCursor& at) { return (this->*scanOne)(at); })) {
    case Scan::Row:
        return Item::Row;
    case Scan::Cell:
        return Item::Cell;
    case Scan::Text:
        return Item::Text;
    case Scan::End:
        return Item::End;
    default:
        return Item::Other;
    }
}

CellScanner::Item CellScanner::next() {
    return scanOn<&CellScanner::scanItem>();
}

CellScanner::Item CellScanner::nextString() {
    return scanOn<&CellScanner::scanString>();
}

CellScanner::Scan CellScanner::scanItem(ScanCursor& at) {
    if (at.skipSpaces())
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
    // Left for XmlScanner to close.
    if (const char* start = at.p; !at.cut && at.literal("</sheetData>")) {
        at.p = start;
        return Scan::End;
    }
    return at.stopped<Scan>();
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

CellScanner::Scan CellScanner::scanRow(ScanCursor& at) {
    clearAttributes();
    bool empty = false;
    if (m_inRow || !at.tagName("<row") ||
        !at.attributes(empty, [this](auto name, auto value) { return takeAttribute(name, value); }))
        return at.stopped<Scan>();
    m_inRow = !empty;
    return Scan::Row;
}

// The start tag nearly every writer gives a cell, <c r="A1" s="1" t="s">, with any of r, s
// and t in that order, each after one space, in double quotes: taken without the general
// steps. False, with the input where it stood, for any other start tag.
bool CellScanner::plainCellTag(ScanCursor& at, bool& empty) {
    const char* p = at.p + 2;
    const char* const end = at.end;
    // False when the attribute is there but not plain; one absent leaves p where it was.
    const auto take = [&](char name, std::string_view& attribute) {
        if (end - p < 4 || p[0] != ' ' || p[1] != name || p[2] != '=' || p[3] != '"')
            return true;
        const char* value = p + 4;
        const char* stop = findValueStop(value, end);
        if (stop == end || *stop != '"')
            return false;
        attribute = std::string_view(value, static_cast<std::size_t>(stop - value));
        p = stop + 1;
        return true;
    };
    if (!take('r', m_reference) || !take('s', m_style) || !take('t', m_type))
        return false;
    if (p != end && *p == '>') {
        empty = false;
        at.p = p + 1;
        return true;
    }
    if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
        empty = true;
        at.p = p + 2;
        return true;
    }
    return false;
}

CellScanner::Scan CellScanner::scanCell(ScanCursor& at) {
    clearAttributes();
    m_value = {};
    bool empty = false;
    if (plainCellTag(at, empty))
        return empty ? Scan::Cell : scanCellContent(at);
    clearAttributes();
    if (!at.tagName("<c") ||
        !at.attributes(empty, [this](auto name, auto value) { return takeAttribute(name, value); }))
        return at.stopped<Scan>();
    return empty ? Scan::Cell : scanCellContent(at);
}

// A cell's formula and value or one-run inline string, up to its end tag.
CellScanner::Scan CellScanner::scanCellContent(ScanCursor& at) {
    // <v>...</v></c>, the content of most cells, taken in one step.
    if (at.end - at.p >= 3 && std::memcmp(at.p, "<v>", 3) == 0) {
        const char* stop = findTextStop(at.p + 3, at.end);
        if (at.end - stop >= 8 && std::memcmp(stop, "</v></c>", 8) == 0) {
            m_value = std::string_view(at.p + 3, static_cast<std::size_t>(stop - at.p - 3));
            at.p = stop + 8;
            return Scan::Cell;
        }
    }
    const auto anyAttribute = [](std::string_view, std::string_view) { return true; };
    bool haveValue = false;
    for (;;) {
        if (!at.spaces())
            return Scan::Incomplete;
        if (at.literal("</c>"))
            return Scan::Cell;
        if (at.cut || haveValue)
            return at.stopped<Scan>();
        bool empty = false;
        if (at.literal("<v>")) {
            if (!at.text(m_value) || !at.literal("</v>"))
                return at.stopped<Scan>();
            haveValue = true;
        } else if (!at.cut && at.literal("<is>")) {
            if (scanText(at) != Scan::Text || !at.literal("</is>"))
                return at.stopped<Scan>();
            haveValue = true;
        } else if (!at.cut && at.tagName("<f")) {
            std::string_view formula;
            if (!at.attributes(empty, anyAttribute) || (!empty && (!at.text(formula) || !at.literal("</f>"))))
                return at.stopped<Scan>();
        } else {
            return at.stopped<Scan>();
        }
    }
}

// One run of text: <t>, with any attributes, its text and </t>.
CellScanner::Scan CellScanner::scanText(ScanCursor& at) {
    bool empty = false;
    if (!at.tagName("<t") || !at.attributes(empty, [](std::string_view, std::string_view) { return true; }) ||
        empty || !at.text(m_value) || !at.literal("</t>"))
        return at.stopped<Scan>();
    return Scan::Text;
}

// A string item of one run.
CellScanner::Scan CellScanner::scanString(ScanCursor& at) {
    // <si><t>...</t></si>, nearly every item of a table, taken in one step.
    if (at.end - at.p >= 7 && std::memcmp(at.p, "<si><t>", 7) == 0) {
        const char* stop = findFirstOf<'<', '&', '\r', '_'>(at.p + 7, at.end);
        m_underscore = stop != at.end && *stop == '_';
        if (m_underscore)
            stop = findTextStop(stop, at.end);
        if (at.end - stop >= 9 && std::memcmp(stop, "</t></si>", 9) == 0) {
            m_value = std::string_view(at.p + 7, static_cast<std::size_t>(stop - at.p - 7));
            at.p = stop + 9;
            return Scan::Text;
        }
    }
    if (at.skipSpaces())
        return Scan::Skipped;
    m_underscore = true;
    if (!at.literal("<si>") || scanText(at) != Scan::Text || !at.literal("</si>"))
        return at.stopped<Scan>();
    return Scan::Text;
}

} // namespace brisquel::sheets
