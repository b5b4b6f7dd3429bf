// XmlScanner: small documents cut at every byte, and the XML it must refuse.
#include "sheets/sheet_sink.h"
#include "sheets/xml.h"

#include <gtest/gtest.h>

#include <vector>

namespace brisquel::sheets {
namespace {

// The events of `document` handed over in pieces cut at `cuts`, as one line of text.
std::string transcript(std::string_view document, std::vector<std::size_t> cuts) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    cuts.push_back(document.size());
    for (std::size_t cut : cuts) {
        if (cut > from)
            pieces.push_back(document.substr(from, cut - from));
        from = std::max(from, cut);
    }
    // Each piece in the same memory, as the inflater hands them over.
    std::size_t next = 0;
    std::string piece;
    XmlScanner xml(
        [&] {
            piece.assign(piece.size(), '?');
            piece = next < pieces.size() ? pieces[next++] : std::string_view();
            return std::string_view(piece);
        },
        "p.xml");
    std::string out;
    for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
        if (event == XmlScanner::Event::Start)
            out.append("<").append(xml.name()).append(" a=").append(xml.attribute("a"));
        if (event == XmlScanner::Event::Start)
            out.append(" b=").append(xml.attribute("b")).append(">");
        else if (event == XmlScanner::Event::End)
            out.append("</").append(xml.name()).append(">");
        else
            out += xml.text();
    }
    return out;
}

TEST(XmlScanner, GivesTheSameEventsWhereverThePiecesAreCut) {
    struct Case {
        const char* name;
        std::string_view document;
        std::string_view events;
    };
    const Case cases[] = {
        {"declaration, comment, empty element",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- x > y --><r><e/></r>\n", "<r a= b=><e a= b=></e></r>"},
        {"attributes in any order, either quote, spaces around =",
         "<r b = 'x&quot;y' \n a=\"1&#x41;&#66;\"/>", "<r a=1AB b=x\"y></r>"},
        {"prefixes dropped", "<x:r xmlns:x='u'><x:c x:a='v'>t</x:c></x:r >", "<r a= b=><c a=v b=>t</c></r>"},
        {"entities and references", "<r>&lt;&gt;&amp;&apos;&quot;&#20013;&#x1F600;</r>",
         "<r a= b=><>&'\"中😀</r>"},
        {"CDATA and line ends", "<r>a\r\nb\rc<![CDATA[<&>]]></r>", "<r a= b=>a\nb\nc<&></r>"},
        {"attribute white space", "<r a='1\t2\r\n3'/>", "<r a=1 2 3 b=></r>"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.events, transcript(entry.document, {}));
        for (std::size_t cut = 1; cut < entry.document.size(); ++cut) {
            EXPECT_EQ(entry.events, transcript(entry.document, {cut})) << "cut at " << cut;
            EXPECT_EQ(entry.events, transcript(entry.document, {cut - 1, cut, cut + 1})) << "cut at " << cut;
        }
    }
}

TEST(XmlScanner, RefusesWhatIsNotWellFormed) {
    const std::string_view documents[] = {
        "<!DOCTYPE r [<!ENTITY x 'y'>]><r>&x;</r>",
        "<r><!ENTITY x 'y'></r>",
        "<r>&x;</r>",
        "<r>&#0;</r>",
        "<r>&#xD800;</r>",
        "<r>&amp</r>",
        "<r><a></b></r>",
        "<r>",
        "",
        "text<r/>",
        "<r/><r/>",
        "<r a=1/>",
        "<r a='<'/>",
        "<r a='1'b='2'/>",
        "<r/ >",
        "<r><",
    };
    for (std::string_view document : documents) {
        SCOPED_TRACE(document);
        EXPECT_THROW(transcript(document, {}), ReadError);
    }
}

} // namespace
} // namespace brisquel::sheets
