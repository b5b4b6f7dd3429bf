// A streaming pull scanner for the XML parts of a workbook, fed piece by piece: a tag, a
// name or an entity may straddle pieces, and no part is ever held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// Appends the UTF-8 bytes of the character `code`.
void appendUtf8(char32_t code, std::string& out);

// Elements, their attributes and their text, in document order. Names are local: a prefix
// such as the x of <x:c> is dropped. Entities and character references are decoded, line
// ends normalized, comments and processing instructions skipped, CDATA handed on as text.
// A DOCTYPE is refused and malformed XML is a damaged file: both throw ReadError (Damaged)
// naming the part.
class XmlScanner {
public:
    enum class Event { Start, End, Text, Done };
    // The part's next piece, empty at its end.
    using Source = std::function<std::string_view()>;

    XmlScanner(Source source, std::string part);

    // The next event. An empty element gives Start then End; the text of an element may come
    // as several Text events.
    Event next();

    // The local name of the element a Start or End event is about.
    std::string_view name() const { return m_name; }
    // The value of the Start element's attribute of local name `localName`, "" when absent.
    std::string_view attribute(std::string_view localName) const;
    // A Text event's piece of text.
    std::string_view text() const { return m_text; }

    const std::string& part() const { return m_part; }
    // Throws ReadError (Damaged) saying `what` of this part.
    [[noreturn]] void fail(std::string_view what) const;

private:
    struct Attribute {
        std::string_view name; // local
        std::size_t begin;     // in m_input, or in m_decoded when decoded
        std::size_t size;
        bool decoded;
    };
    enum class Markup { Incomplete, Skipped, Start, End, Text };

    bool refill();
    void skipByteOrderMark();
    bool scanText();
    Markup scanMarkup();
    Markup scanStartTag();
    Markup scanEndTag();
    Markup skipUntil(std::size_t from, std::string_view terminator, Markup result);
    void decode(std::string_view raw, std::string& out, bool inAttribute) const;

    Source m_source;
    std::string m_part;
    std::string_view m_input; // the piece or the carry, scanned up to m_pos
    std::size_t m_pos = 0;
    std::string_view m_piece;      // the source's latest piece
    std::string m_carry;           // a cut token, then the start of m_piece
    std::size_t m_carryPrefix = 0; // where m_piece starts in m_carry
    std::size_t m_pieceTaken = 0;  // how much of m_piece m_carry holds
    bool m_inCarry = false;        // m_input is m_carry
    bool m_sourceDone = false;
    bool m_begun = false;
    bool m_pendingEnd = false; // an empty element's End is still to come
    bool m_sawRoot = false;
    std::string m_stack; // the open elements' qualified names, joined
    std::vector<std::size_t> m_stackSizes;
    std::string_view m_name;
    std::string_view m_text;
    std::string m_decoded; // text or attribute values that needed decoding
    std::vector<Attribute> m_attributes;
};

} // namespace brisquel::sheets
