// The rows and cells of an OpenDocument table as spreadsheet programs write them, scanned
// straight from the inflated bytes: the common shapes only, the rest left to XmlScanner.
#pragma once

#include "sheets/scan_cursor.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisquel::sheets {

// The most spaces one <text:s> gives: a cell holds 32,767 characters in a spreadsheet.
inline constexpr std::int64_t maxSpaces = 32767;

// A count attribute such as number-rows-repeated, decimal digits alone: at most `limit`,
// nullopt when it is not a count or is 0.
std::optional<std::int64_t> parseCount(std::string_view text, std::int64_t limit);

// Reads on inside a table, in the input an XmlScanner stands in. It knows row tags, cells and
// covered cells with paragraphs of plain text, spaces, tabs, line breaks and spans, under the
// usual table: and text: prefixes, without entities, CR, comments or CDATA; at anything else
// it stops, leaving the input at the start of what it did not take, for the XmlScanner to go
// on from. Whatever it hands out is what the XmlScanner would have found there.
class OdsScanner {
public:
    enum class Item {
        Row,    // a row's start tag: count() is its number-rows-repeated
        Cell,   // a whole cell: count() and covered() tell it
        RowEnd, // the end of a row this scanner started
        Other,  // something this scanner does not take is next
    };
    // Where the input stands: what the next item may be.
    enum class Place {
        BetweenRows,  // a row
        InRow,        // a cell
        InRowStarted, // a cell or the end of the row this scanner started
    };

    explicit OdsScanner(PieceInput& input) : m_in(input) {}

    // The next item where the input stands at `place`. A cell's text is appended to `text`,
    // its paragraphs joined by line ends; nothing for a covered cell.
    Item next(Place place, std::string& text);
    // The count attribute of the row or cell as written, "" when absent.
    std::string_view count() const { return m_count; }
    // True when the cell is a covered one.
    bool covered() const { return m_covered; }

private:
    enum class Scan { Row, Cell, RowEnd, Other, Skipped, Incomplete };

    Scan scanItem(ScanCursor& at, Place place, std::string& text);
    Scan scanRow(ScanCursor& at);
    Scan scanCell(ScanCursor& at, std::string& text);
    bool scanPlainCell(ScanCursor& at, std::string& text);
    bool scanParagraph(ScanCursor& at, std::string& text);
    bool scanInParagraph(ScanCursor& at, std::string& text, int& spans);

    bool knownCellTag(ScanCursor& at, bool& empty);
    void rememberCellTag(std::string_view tag, bool empty);

    // A cell's start tag met before, as written, and what it said: most cells of a table are
    // written with one of a few tags, which are then compared whole rather than scanned. A
    // tag met again with one attribute's value changed, as a number's or a date's is, keeps
    // that value as a hole, which stands for any value without quotes or references.
    struct KnownTag {
        std::string bytes;
        std::size_t countAt = 0; // where the count's value lies in bytes
        std::size_t countSize = 0;
        std::size_t holeAt = 0; // the hole's value in bytes, empty when the tag has none
        std::size_t holeEnd = 0;
        bool covered = false;
        bool empty = false;

        // The size of this tag at `p`, 0 when it is not there; `hole` its value there.
        std::size_t matches(const char* p, const char* end, std::string_view& hole) const;
        // Makes the value in which `tag` differs from this hole-less tag its hole: false when
        // they differ elsewhere too.
        bool takeHole(std::string_view tag);
    };

    PieceInput& m_in;
    std::array<KnownTag, 4> m_knownTags;
    bool m_covered = false;
    std::string_view m_count;
};

} // namespace brisquel::sheets
