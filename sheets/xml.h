// A streaming pull scanner for the XML parts of a workbook, fed piece by piece: a tag, a
// name or an entity may straddle pieces, and no part is ever held whole.
#pragma once

// The readers write characters with the Unicode unit's appendUtf8.
#include "unicode/unicode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

inline bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The bytes that end a name in a tag, looked up rather than compared one by one: names are
// most of what a sheet's tags hold.
inline constexpr std::array<bool, 256> xmlNameEnds = [] {
    std::array<bool, 256> ends{};
    for (unsigned char c : std::string_view(" \t\n\r/>=<\"'"))
        ends[c] = true;
    return ends;
}();

inline bool endsXmlName(char c) {
    return xmlNameEnds[static_cast<unsigned char>(c)];
}

// A part's input as its source hands it over, piece by piece, scanned where the source left
// it: a token cut by the end of a piece is carried over with a little of the next piece,
// enough to finish it, so that most input is never copied. Scanners read `input` from `pos`.
class PieceInput {
public:
    // The part's next piece, empty at its end.
    using Source = std::function<std::string_view()>;

    explicit PieceInput(Source source) : m_source(std::move(source)) {}

    // The piece or the carry, scanned up to pos.
    std::string_view input;
    std::size_t pos = 0;

    // Leaves the carry once what it carried is scanned.
    void settle() {
        if (m_inCarry && pos >= m_carryPrefix) {
            input = m_piece;
            pos -= m_carryPrefix;
            m_inCarry = false;
        }
    }
    // Called when the input from pos holds no whole token: more input after it, false at
    // the part's end.
    bool refill();

private:
    Source m_source;
    std::string_view m_piece;      // the source's latest piece
    std::string m_carry;           // a cut token, then the start of m_piece
    std::size_t m_carryPrefix = 0; // where m_piece starts in m_carry
    std::size_t m_pieceTaken = 0;  // how much of m_piece m_carry holds
    bool m_inCarry = false;        // input is m_carry
    bool m_sourceDone = false;
};

// Elements, their attributes and their text, in document order. Names are local: a prefix
// such as the x of <x:c> is dropped. Entities and character references are decoded, line
// ends normalized, comments and processing instructions skipped, CDATA handed on as text.
// A DOCTYPE is refused and malformed XML is a damaged file: both throw ReadError (Damaged)
// naming the part.
class XmlScanner {
public:
    enum class Event { Start, End, Text, Done };
    // The part's next piece, empty at its end.
    using Source = PieceInput::Source;

    XmlScanner(Source source, std::string part);

    // The next event. An empty element gives Start then End; the text of an element may come
    // as several Text events.
    Event next();

    // The local name of the element a Start or End event is about.
    std::string_view name() const { return m_name; }
    // The value of the Start element's attribute of local name `localName`, "" when absent.
    std::string_view attribute(std::string_view localName) const;
    // True when the Start element is empty, as <a/> is: its End comes next.
    bool isEmptyElement() const { return m_pendingEnd; }
    // A Text event's piece of text.
    std::string_view text() const { return m_text; }

    // The input, for a scanner that takes over for a while from where this one stands and
    // leaves pos where this one goes on. Not while an empty element's End is still to come.
    PieceInput& input() { return m_in; }
    // Tells that an element of name `qualified` was opened in the input taken over.
    void opened(std::string_view qualified);

    const std::string& part() const { return m_part; }
    // Throws ReadError (Damaged) saying `what` of this part.
    [[noreturn]] void fail(std::string_view what) const;

private:
    struct Attribute {
        std::string_view name; // local
        std::size_t begin;     // in the input, or in m_decoded when decoded
        std::size_t size;
        bool decoded;
    };
    enum class Markup { Incomplete, Skipped, Start, End, Text };

    void skipByteOrderMark();
    bool scanText();
    Markup scanMarkup();
    Markup scanStartTag();
    Markup scanEndTag();
    Markup skipUntil(std::size_t from, std::string_view terminator, Markup result);
    void decode(std::string_view raw, std::string& out, bool inAttribute) const;

    PieceInput m_in;
    std::string m_part;
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
