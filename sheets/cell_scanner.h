// The rows and cells of a worksheet's <sheetData> and the strings of the shared string table
// as spreadsheet programs write them, scanned straight from the inflated bytes: the common
// shapes only, the rest left to XmlScanner.
#pragma once

#include "sheets/scan_cursor.h"

#include <string_view>

namespace brisquel::sheets {

// Reads on from just after <sheetData> or <sst>, in the input an XmlScanner stands in. It
// knows rows, cells, their values, inline strings of one run, formulas and shared strings of
// one run, without prefixes, entities, CR, comments or CDATA; at anything else it stops,
// leaving the input at the start of what it did not take, for the XmlScanner to go on from.
// Whatever it hands out is what the XmlScanner would have found there.
class CellScanner {
public:
    enum class Item {
        Row,   // a row starts: reference() is its r
        Cell,  // a whole cell
        Text,  // a whole string item of the shared string table: value() is its text
        End,   // </sheetData> is next
        Other, // something this scanner does not take is next
    };

    explicit CellScanner(PieceInput& input) : m_in(input) {}

    // The next item of <sheetData>: Row, Cell, End or Other.
    Item next();
    // The next item of <sst>: Text or Other.
    Item nextString();
    // True when a row was opened and is not yet closed.
    bool inRow() const { return m_inRow; }

    // The r, s and t attributes of the row or cell ("" when absent), and the text of the
    // cell's <v> or inline string, as written: no entity or CR is in them.
    std::string_view reference() const { return m_reference; }
    std::string_view style() const { return m_style; }
    std::string_view type() const { return m_type; }
    std::string_view value() const { return m_value; }
    // False when the string item's value holds no underscore, so no _xHHHH_ escape.
    bool mayHoldEscapes() const { return m_underscore; }

private:
    // What one try at the input found: an item, or whitespace passed over, or too little
    // input to tell.
    enum class Scan { Row, Cell, Text, End, Other, Skipped, Incomplete };

    template <Scan (CellScanner::*scanOne)(ScanCursor&)> Item scanOn();
    Scan scanItem(ScanCursor& at);
    Scan scanString(ScanCursor& at);
    Scan scanText(ScanCursor& at);
    Scan scanRow(ScanCursor& at);
    Scan scanCell(ScanCursor& at);
    bool plainCellTag(ScanCursor& at, bool& empty);
    Scan scanCellContent(ScanCursor& at);
    void clearAttributes();
    bool takeAttribute(std::string_view name, std::string_view value);

    PieceInput& m_in;
    bool m_inRow = false;
    std::string_view m_reference;
    std::string_view m_style;
    std::string_view m_type;
    std::string_view m_value;
    bool m_underscore = true;
};

} // namespace brisquel::sheets
