// The XML scanner: input is scanned in the pieces the source hands over; a token cut by the
// end of a piece is scanned again once carried over with more input, and markup is bounded in
// length so that scanning it again stays linear.
#include "sheets/xml.h"

#include "sheets/sheet_sink.h"

#include <algorithm>
#include <cstring>

namespace brisquel::sheets {

namespace {

// Tags, comments, CDATA sections and processing instructions longer than this are refused.
constexpr std::size_t maxMarkup = std::size_t{1} << 20;
// How much of the next piece is carried over at first to finish a cut token.
constexpr std::size_t carryStep = 4096;
// The longest run of text kept back because an entity reference may go on in the next piece.
constexpr std::size_t maxReference = 64;

// The first `c` in [begin, end), or end. Values and names in a sheet are a few bytes long: a
// plain loop finds them before a call to memchr would start, which takes over for long runs.
const char* findChar(const char* begin, const char* end, char c) {
    for (const char* stop = begin + std::min<std::ptrdiff_t>(end - begin, 16); begin != stop; ++begin) {
        if (*begin == c)
            return begin;
    }
    const void* found = std::memchr(begin, c, static_cast<std::size_t>(end - begin));
    return found ? static_cast<const char*>(found) : end;
}

// Equality of short names without a call to memcmp.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The character a reference such as "#x41" or "#65" names, or 0 when it names none XML allows.
char32_t characterReference(std::string_view reference) {
    const bool hex = reference.starts_with("#x");
    reference.remove_prefix(hex ? 2 : 1);
    if (reference.empty())
        return 0;
    std::uint32_t code = 0;
    for (char c : reference) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            digit = (c | 0x20) - 'a' + 10;
        if (digit < 0)
            return 0;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (code > 0x10FFFF)
            return 0;
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                         (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
    return allowed ? code : 0;
}

} // namespace

XmlScanner::XmlScanner(Source source, std::string part) : m_in(std::move(source)), m_part(std::move(part)) {}

void XmlScanner::fail(std::string_view what) const {
    damaged(std::string(what), {m_part});
}

std::string_view XmlScanner::attribute(std::string_view name) const {
    for (const Attribute& attribute : m_attributes) {
        if (sameName(attribute.name, name))
            return (attribute.decoded ? std::string_view(m_decoded) : m_in.input)
                .substr(attribute.begin, attribute.size);
    }
    return {};
}

bool PieceInput::refill() {
    if (m_inCarry && m_pieceTaken < m_piece.size()) {
        m_carry.erase(0, pos);
        m_carryPrefix -= pos;
        pos = 0;
        const std::size_t taken = std::min(std::max(m_pieceTaken, carryStep), m_piece.size() - m_pieceTaken);
        m_carry.append(m_piece.substr(m_pieceTaken, taken));
        m_pieceTaken += taken;
        input = m_carry;
        return true;
    }
    if (m_sourceDone)
        return false;
    // What is left of the input goes first: the source may reuse its piece's memory.
    if (m_inCarry)
        m_carry.erase(0, pos);
    else
        m_carry.assign(input.substr(pos));
    input = m_carry;
    pos = 0;
    m_inCarry = true;
    m_carryPrefix = m_carry.size();
    m_pieceTaken = 0;
    m_piece = m_source();
    if (m_piece.empty()) {
        m_sourceDone = true;
        return false;
    }
    if (m_carry.empty()) {
        input = m_piece;
        m_inCarry = false;
        return true;
    }
    m_pieceTaken = std::min(carryStep, m_piece.size());
    m_carry.append(m_piece.substr(0, m_pieceTaken));
    input = m_carry;
    return true;
}

void XmlScanner::opened(std::string_view qualified) {
    m_stack += qualified;
    m_stackSizes.push_back(qualified.size());
}

void XmlScanner::skipByteOrderMark() {
    while (m_in.input.size() - m_in.pos < 3 && m_in.refill()) {
    }
    if (m_in.input.substr(m_in.pos).starts_with("\xEF\xBB\xBF"))
        m_in.pos += 3;
    m_begun = true;
}

XmlScanner::Event XmlScanner::next() {
    if (m_pendingEnd) {
        m_pendingEnd = false;
        return Event::End;
    }
    if (!m_begun)
        skipByteOrderMark();
    for (;;) {
        m_in.settle();
        if (m_in.pos == m_in.input.size() && !m_in.refill()) {
            if (!m_stackSizes.empty() || !m_sawRoot)
                fail("XML 不完整");
            return Event::Done;
        }
        if (m_in.input[m_in.pos] != '<') {
            if (scanText())
                return Event::Text;
            continue;
        }
        switch (scanMarkup()) {
        case Markup::Incomplete:
            if (m_in.input.size() - m_in.pos > maxMarkup)
                fail("标记过长");
            if (!m_in.refill())
                fail("XML 不完整");
            break;
        case Markup::Skipped:
            break;
        case Markup::Start:
            return Event::Start;
        case Markup::End:
            return Event::End;
        case Markup::Text:
            return Event::Text;
        }
    }
}

// Text up to the next tag, or up to the end of the buffer but for a reference or a CR that
// the next piece may complete. False when there was nothing to hand on.
bool XmlScanner::scanText() {
    const char* begin = m_in.input.data() + m_in.pos;
    const char* end = m_in.input.data() + m_in.input.size();
    const char* tag = findChar(begin, end, '<');
    const char* stop = tag;
    if (tag == end) {
        const char* last = stop;
        while (last != begin && last[-1] != '&' && last[-1] != ';' && end - last < 64)
            --last;
        if (last != begin && last[-1] == '&')
            stop = last - 1;
        else if (stop[-1] == '\r')
            stop = end - 1;
        if (stop == begin) {
            if (end - begin > static_cast<std::ptrdiff_t>(maxReference))
                fail("实体引用无效");
            if (!m_in.refill())
                fail("XML 不完整");
            return false;
        }
    }
    const std::string_view raw(begin, static_cast<std::size_t>(stop - begin));
    m_in.pos += raw.size();
    if (m_stackSizes.empty()) {
        if (!std::all_of(raw.begin(), raw.end(), isXmlSpace))
            fail("根元素之外有文本");
        return false;
    }
    if (std::none_of(raw.begin(), raw.end(), [](char c) { return c == '&' || c == '\r'; })) {
        m_text = raw;
    } else {
        m_decoded.clear();
        decode(raw, m_decoded, false);
        m_text = m_decoded;
    }
    return true;
}

void XmlScanner::decode(std::string_view raw, std::string& out, bool inAttribute) const {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            const std::size_t semicolon = raw.find(';', i);
            if (semicolon == std::string_view::npos)
                fail("实体引用无效");
            const std::string_view reference = raw.substr(i + 1, semicolon - i - 1);
            i = semicolon;
            if (reference == "lt")
                out += '<';
            else if (reference == "gt")
                out += '>';
            else if (reference == "amp")
                out += '&';
            else if (reference == "quot")
                out += '"';
            else if (reference == "apos")
                out += '\'';
            else if (const char32_t code = reference.starts_with('#') ? characterReference(reference) : 0)
                appendUtf8(code, out);
            else
                fail("实体引用无效");
        } else if (c == '\r') {
            out += inAttribute ? ' ' : '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (inAttribute && isXmlSpace(c)) {
            out += ' ';
        } else {
            out += c;
        }
    }
}

XmlScanner::Markup XmlScanner::scanMarkup() {
    const std::string_view rest = m_in.input.substr(m_in.pos);
    if (rest.size() < 2)
        return Markup::Incomplete;
    if (rest[1] == '/')
        return scanEndTag();
    if (rest[1] == '?')
        return skipUntil(2, "?>", Markup::Skipped);
    if (rest[1] != '!')
        return scanStartTag();
    if (rest.size() < 9)
        return Markup::Incomplete;
    if (rest.starts_with("<!--"))
        return skipUntil(4, "-->", Markup::Skipped);
    if (rest.starts_with("<![CDATA[")) {
        if (m_stackSizes.empty())
            fail("根元素之外有 CDATA");
        return skipUntil(9, "]]>", Markup::Text);
    }
    fail(rest.starts_with("<!DOCTYPE") ? "不接受 DOCTYPE 声明" : "XML 标记无效");
}

XmlScanner::Markup XmlScanner::skipUntil(std::size_t from, std::string_view terminator, Markup result) {
    const std::size_t found = m_in.input.find(terminator, m_in.pos + from);
    if (found == std::string_view::npos)
        return Markup::Incomplete;
    m_text = m_in.input.substr(m_in.pos + from, found - m_in.pos - from);
    m_in.pos = found + terminator.size();
    return result;
}

XmlScanner::Markup XmlScanner::scanStartTag() {
    if (m_sawRoot && m_stackSizes.empty())
        fail("根元素之后有元素");
    const char* data = m_in.input.data();
    const std::size_t size = m_in.input.size();
    std::size_t i = m_in.pos + 1;
    while (i < size && !endsXmlName(data[i]))
        ++i;
    if (i == size)
        return Markup::Incomplete;
    const std::string_view qualified(data + m_in.pos + 1, i - m_in.pos - 1);
    if (qualified.empty())
        fail("元素名无效");
    m_attributes.clear();
    m_decoded.clear();
    for (;;) {
        const std::size_t spaceAt = i;
        while (i < size && isXmlSpace(data[i]))
            ++i;
        if (i == size)
            return Markup::Incomplete;
        if (data[i] == '>' || data[i] == '/') {
            const bool empty = data[i] == '/';
            if (empty && i + 1 == size)
                return Markup::Incomplete;
            if (empty && data[i + 1] != '>')
                fail("标记无效");
            m_in.pos = i + (empty ? 2 : 1);
            m_name = localName(qualified);
            m_sawRoot = true;
            if (empty) {
                m_pendingEnd = true;
            } else {
                opened(qualified);
            }
            return Markup::Start;
        }
        if (i == spaceAt)
            fail("属性之间缺少空白");
        const std::size_t nameAt = i;
        while (i < size && !endsXmlName(data[i]))
            ++i;
        const std::string_view name = localName(std::string_view(data + nameAt, i - nameAt));
        while (i < size && isXmlSpace(data[i]))
            ++i;
        if (i == size)
            return Markup::Incomplete;
        if (name.empty() || data[i] != '=')
            fail("属性无效");
        ++i;
        while (i < size && isXmlSpace(data[i]))
            ++i;
        if (i == size)
            return Markup::Incomplete;
        const char quote = data[i];
        if (quote != '"' && quote != '\'')
            fail("属性值缺少引号");
        const std::size_t valueAt = ++i;
        i = static_cast<std::size_t>(findChar(data + i, data + size, quote) - data);
        if (i == size)
            return Markup::Incomplete;
        const std::string_view raw(data + valueAt, i - valueAt);
        if (raw.find('<') != std::string_view::npos)
            fail("属性值中有 <");
        ++i;
        if (std::none_of(raw.begin(), raw.end(),
                         [](char c) { return c == '&' || (isXmlSpace(c) && c != ' '); })) {
            m_attributes.push_back({name, valueAt, raw.size(), false});
        } else {
            const std::size_t begin = m_decoded.size();
            decode(raw, m_decoded, true);
            m_attributes.push_back({name, begin, m_decoded.size() - begin, true});
        }
    }
}

XmlScanner::Markup XmlScanner::scanEndTag() {
    const std::size_t close = static_cast<std::size_t>(
        findChar(m_in.input.data() + m_in.pos, m_in.input.data() + m_in.input.size(), '>') -
        m_in.input.data());
    if (close == m_in.input.size())
        return Markup::Incomplete;
    std::string_view qualified = m_in.input.substr(m_in.pos + 2, close - m_in.pos - 2);
    while (!qualified.empty() && isXmlSpace(qualified.back()))
        qualified.remove_suffix(1);
    if (m_stackSizes.empty() ||
        !sameName(std::string_view(m_stack).substr(m_stack.size() - m_stackSizes.back()), qualified))
        fail("结束标记与开始标记不符");
    m_stack.resize(m_stack.size() - m_stackSizes.back());
    m_stackSizes.pop_back();
    m_attributes.clear();
    m_in.pos = close + 1;
    m_name = localName(qualified);
    return Markup::End;
}

} // namespace brisquel::sheets
