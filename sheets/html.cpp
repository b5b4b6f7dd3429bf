// Web pages as one sheet: the rows of every table in the page's order, each cell the text a
// browser shows in it, laid out through the writer as a spreadsheet opens the page.
#include "sheets/html.h"

#include "sheets/gb18030.h"
#include "sheets/read_error.h"
#include "sheets/sheet_writer.h"
#include "unicode/unicode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisquel::sheets {

namespace {

struct NamedReference {
    std::string_view name; // with its ';', or without it for the legacy ones
    std::string_view text; // UTF-8
};

constexpr NamedReference namedReferences[] = {
#include "sheets/html_entities.inc"
};

// The references pages are full of, told before the whole table is searched.
constexpr NamedReference commonReferences[] = {
    {"nbsp;", "\xC2\xA0"}, {"amp;", "&"}, {"lt;", "<"}, {"gt;", ">"}, {"quot;", "\""},
};

// The longest name of the references that may go without ';', and of any reference.
constexpr std::size_t longestLegacyName = 6;
constexpr std::size_t longestName = 32;

// What &#128; to &#159; stand for: the characters of Windows-1252 there, as browsers read them.
constexpr char16_t windows1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// The meta tags that name an encoding are looked for this far into the page.
constexpr std::size_t metaReach = std::size_t{1} << 16;

// Tables nested deeper than this are a damaged page: what the reader holds stays within a few
// dozen megabytes, however many a page opens.
constexpr std::size_t maxDepth = std::size_t{1} << 20;

// The first rows are read once ahead, for the sheet's width and size, up to this many.
constexpr std::int64_t rowsAhead = 1024;

enum class Encoding {
    Utf8,         // valid UTF-8: the bytes are the text
    RepairedUtf8, // UTF-8 with bytes that start no character
    Gb18030,      // GB18030, and so GBK and GB2312
};

// What ends the runs of a tag, byte by byte: a page has a few tags for every cell, so their
// scanning is the reader's hot loop.
enum : unsigned char {
    space = 1,        // space, TAB, LF, CR, FF
    nameEnd = 2,      // a tag's name: a space, '/' or '>'
    attributeEnd = 4, // an attribute's name: a space, '/', '>' or '='
    unquotedEnd = 8,  // a bare value: a space or '>'
    beforeName = 16,  // skipped before an attribute: a space or '/'
};

constexpr std::array<unsigned char, 256> byteClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (const char c : {' ', '\t', '\n', '\r', '\f'})
        classes[static_cast<unsigned char>(c)] = space | nameEnd | attributeEnd | unquotedEnd | beforeName;
    classes['/'] = nameEnd | attributeEnd | beforeName;
    classes['>'] = nameEnd | attributeEnd | unquotedEnd;
    classes['='] = attributeEnd;
    return classes;
}();

bool is(char c, unsigned char byteClass) {
    return (byteClasses[static_cast<unsigned char>(c)] & byteClass) != 0;
}

bool isSpace(char c) {
    return is(c, space);
}

bool isLetter(char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAlphanumeric(char c) {
    return isLetter(c) || isDigit(c);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the two names are the same in any case.
bool sameName(std::string_view text, std::string_view name) {
    if (text.size() != name.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != lower(name[i]))
            return false;
    }
    return true;
}

const char* find(const char* p, const char* end, char c) {
    const void* hit = p < end ? std::memchr(p, c, static_cast<std::size_t>(end - p)) : nullptr;
    return hit ? static_cast<const char*>(hit) : end;
}

// The first '<' or '&' in [p, end), or end: where a cell's text stops being plain text. Most
// are a few bytes long, too short for memchr to pay.
const char* findMarkup(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, lt), _mm_cmpeq_epi8(block, amp));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0)
            return p + __builtin_ctz(mask);
    }
#endif
    while (p < end && *p != '<' && *p != '&')
        ++p;
    return p;
}

const char* find(const char* p, const char* end, std::string_view text) {
    const std::string_view rest(p, static_cast<std::size_t>(end - p));
    const std::size_t at = rest.find(text);
    return at == rest.npos ? end : p + at;
}

// The attributes of a tag as a browser reads them: values in double quotes, in single quotes
// or bare, names without a value. A quoted value may hold '>'.
class Attributes {
public:
    Attributes(const char* p, const char* end) : m_p(p), m_end(end) {}

    bool next(std::string_view& name, std::string_view& value) {
        while (m_p < m_end && is(*m_p, beforeName))
            ++m_p;
        if (m_p == m_end || *m_p == '>')
            return false;
        const char* const start = m_p++;
        while (m_p < m_end && !is(*m_p, attributeEnd))
            ++m_p;
        name = std::string_view(start, static_cast<std::size_t>(m_p - start));
        value = {};
        const char* p = m_p;
        while (p < m_end && isSpace(*p))
            ++p;
        if (p == m_end || *p != '=') {
            m_p = p;
            return true;
        }
        for (++p; p < m_end && isSpace(*p);)
            ++p;
        const char* first = p;
        if (p < m_end && (*p == '"' || *p == '\'')) {
            first = p + 1;
            p = find(first, m_end, *p);
            m_p = p == m_end ? p : p + 1;
        } else {
            while (p < m_end && !is(*p, unquotedEnd))
                ++p;
            m_p = p;
        }
        value = std::string_view(first, static_cast<std::size_t>(p - first));
        return true;
    }

    // Past every attribute: at the '>' that ends the tag, or at the end of the page.
    const char* end() {
        std::string_view name, value;
        while (next(name, value)) {
        }
        return m_p;
    }
    // Where the attributes read so far end.
    const char* position() const { return m_p; }

private:
    const char* m_p;
    const char* m_end;
};

// The number a span attribute gives, as browsers read it: digits after any spaces, anything
// else after them ignored; none is 1. Held below a bound past every sheet.
std::int64_t spanOf(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && isSpace(value[i]))
        ++i;
    if (i < value.size() && value[i] == '+')
        ++i;
    std::int64_t number = 0;
    const std::size_t first = i;
    for (; i < value.size() && isDigit(value[i]); ++i)
        number = std::min<std::int64_t>(number * 10 + (value[i] - '0'), std::int64_t{1} << 40);
    return i == first || number == 0 ? 1 : number;
}

// The encoding a charset label names, when it is one the tool reads.
std::optional<Encoding> labelled(std::string_view label) {
    while (!label.empty() && (isSpace(label.front()) || label.front() == '"' || label.front() == '\''))
        label.remove_prefix(1);
    std::size_t length = 0;
    while (length < label.size() && !isSpace(label[length]) && label[length] != ';' && label[length] != '"' &&
           label[length] != '\'')
        ++length;
    label = label.substr(0, length);
    for (const char* name : {"utf-8", "utf8", "unicode-1-1-utf-8"}) {
        if (sameName(label, name))
            return Encoding::Utf8;
    }
    for (const char* name : {"gb2312", "gbk", "gb18030", "x-gbk", "cp936", "windows-936", "csgb2312",
                             "chinese", "gb_2312-80", "gb_2312", "euc-cn"}) {
        if (sameName(label, name))
            return Encoding::Gb18030;
    }
    return std::nullopt;
}

// The encoding the first meta tag naming one names: <meta charset=...> or
// <meta http-equiv="Content-Type" content="text/html; charset=...">.
std::optional<Encoding> metaEncoding(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + std::min(bytes.size(), metaReach);
    while ((p = find(p, end, '<')) < end) {
        if (std::string_view(p, static_cast<std::size_t>(end - p)).starts_with("<!--")) {
            p = find(p + 4, end, "-->");
            continue;
        }
        const char* name = ++p;
        while (p < end && isAlphanumeric(*p))
            ++p;
        if (!sameName(std::string_view(name, static_cast<std::size_t>(p - name)), "meta")) {
            p = Attributes(p, end).end();
            continue;
        }
        Attributes attributes(p, end);
        std::string_view attribute, value, content;
        bool contentType = false;
        while (attributes.next(attribute, value)) {
            if (sameName(attribute, "charset")) {
                if (const auto encoding = labelled(value))
                    return encoding;
            } else if (sameName(attribute, "http-equiv")) {
                contentType = sameName(value, "content-type");
            } else if (sameName(attribute, "content")) {
                content = value;
            }
        }
        p = attributes.end();
        for (std::size_t at = 0; contentType && at + 7 <= content.size(); ++at) {
            if (!sameName(content.substr(at, 7), "charset"))
                continue;
            std::size_t i = at + 7;
            while (i < content.size() && isSpace(content[i]))
                ++i;
            if (i < content.size() && content[i] == '=') {
                if (const auto encoding = labelled(content.substr(i + 1)))
                    return encoding;
            }
        }
    }
    return std::nullopt;
}

// The page's markup, its encoding told by the byte-order mark, or else by a meta tag, or else
// by whether the bytes are valid UTF-8. UTF-16 is turned into UTF-8 first, into `converted`.
// The markup is ASCII in every encoding here, and '<', '&' and the spaces are never part of
// another character, so the text between them decodes piece by piece as it does whole.
std::pair<std::string_view, Encoding> pageOf(std::string_view bytes, std::string& converted) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        converted = utf16BytesToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        return {converted, Encoding::Utf8};
    }
    const bool mark = bytes.starts_with("\xEF\xBB\xBF");
    if (mark)
        bytes.remove_prefix(3);
    const bool valid = isValidUtf8(bytes);
    if (mark)
        return {bytes, valid ? Encoding::Utf8 : Encoding::RepairedUtf8};
    const Encoding declared = metaEncoding(bytes).value_or(valid ? Encoding::Utf8 : Encoding::Gb18030);
    return {bytes, declared == Encoding::Utf8 && !valid ? Encoding::RepairedUtf8 : declared};
}

// The columns rowspans hold down into a table's later rows, as runs of covered columns, each
// run made of the pieces the cells above cover until their last row.
class Spans {
public:
    // The first column from `column` on that no cell above covers in row `row` of the table.
    std::int32_t free(std::int32_t column, std::int64_t row) {
        while (!m_ends.empty() && m_ends.top().lastRow < row) {
            uncover(m_ends.top());
            m_ends.pop();
        }
        auto run = m_runs.upper_bound(column);
        if (run == m_runs.begin())
            return column;
        --run;
        return run->second > column ? run->second : column;
    }

    // Covers the columns from `first` to before `end` in the rows after this one to `lastRow`.
    // `first` is free; a span reaching into a run of covered columns stops at it, as the cells
    // of a table do not overlap.
    void cover(std::int32_t first, std::int32_t end, std::int64_t lastRow) {
        auto next = m_runs.lower_bound(first);
        if (next != m_runs.end() && next->first < end)
            end = next->first;
        if (end <= first)
            return;
        m_ends.push({lastRow, first, end});
        std::int32_t runFirst = first;
        if (next != m_runs.begin()) {
            if (auto before = std::prev(next); before->second == first) {
                runFirst = before->first;
                m_runs.erase(before);
            }
        }
        std::int32_t runEnd = end;
        if (next != m_runs.end() && next->first == end) {
            runEnd = next->second;
            m_runs.erase(next);
        }
        m_runs.emplace(runFirst, runEnd);
    }

private:
    struct Piece {
        std::int64_t lastRow;
        std::int32_t first;
        std::int32_t end;
        bool operator>(const Piece& other) const { return lastRow > other.lastRow; }
    };

    void uncover(const Piece& piece) {
        auto run = std::prev(m_runs.upper_bound(piece.first));
        const auto [runFirst, runEnd] = *run;
        m_runs.erase(run);
        if (runFirst < piece.first)
            m_runs.emplace(runFirst, piece.first);
        if (piece.end < runEnd)
            m_runs.emplace(piece.end, runEnd);
    }

    std::map<std::int32_t, std::int32_t> m_runs; // first column to the end of each run
    std::priority_queue<Piece, std::vector<Piece>, std::greater<>> m_ends;
};

// A table being read: where its current row and cell stand.
struct Table {
    std::int64_t row = 0;      // the table's rows so far, the current one among them
    std::int64_t sheetRow = 0; // the sheet's row the current row writes to; 0: the next one
    std::int32_t column = 1;   // where the next cell goes, unless a cell above covers it
    std::int32_t cellColumn = 0;
    bool inRow = false;
    bool inCell = false;
    std::unique_ptr<Spans> spans; // only once a cell spans rows
};

enum class Tag { Other, Table, Row, Cell, Break, Block, Section, RawText };

// Whether `name` is `letters`, lower-case letters, in any case.
template <std::size_t N> bool isNamed(std::string_view name, const char (&letters)[N]) {
    if (name.size() != N - 1)
        return false;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if ((name[i] | 0x20) != letters[i])
            return false;
    }
    return true;
}

// The tags a reader acts on, told by their name in any case: a page has a few tags a cell.
Tag tagOf(std::string_view name) {
    switch (name.size()) {
    case 1:
        return isNamed(name, "p") ? Tag::Block : Tag::Other;
    case 2: {
        if (isNamed(name, "td") || isNamed(name, "th"))
            return Tag::Cell;
        if (isNamed(name, "tr"))
            return Tag::Row;
        if (isNamed(name, "br"))
            return Tag::Break;
        const bool heading = (name[0] | 0x20) == 'h' && name[1] >= '1' && name[1] <= '6';
        return heading || isNamed(name, "li") ? Tag::Block : Tag::Other;
    }
    case 3:
        return isNamed(name, "div") ? Tag::Block : isNamed(name, "xmp") ? Tag::RawText : Tag::Other;
    case 5:
        if (isNamed(name, "table"))
            return Tag::Table;
        if (isNamed(name, "tbody") || isNamed(name, "thead") || isNamed(name, "tfoot"))
            return Tag::Section;
        return isNamed(name, "style") || isNamed(name, "title") ? Tag::RawText : Tag::Other;
    case 6:
        return isNamed(name, "script") || isNamed(name, "iframe") ? Tag::RawText : Tag::Other;
    case 7:
        return isNamed(name, "noembed") ? Tag::RawText : Tag::Other;
    case 8:
        return isNamed(name, "textarea") || isNamed(name, "noframes") ? Tag::RawText : Tag::Other;
    default:
        return Tag::Other;
    }
}

// A cell's text as it shows: runs of spaces, tabs and line breaks as one space, none at the
// start of a line. Its buffer only grows, so that a cell costs no allocation.
class CellText {
public:
    // Room for `bytes` more bytes, for text to be written there and then appended.
    char* room(std::size_t bytes) {
        if (m_buffer.size() - m_size < bytes)
            m_buffer.resize(std::max(m_size + bytes, 2 * m_buffer.size()));
        return m_buffer.data() + m_size;
    }

    // Appends [p, end), which may be the room just asked for.
    void append(const char* p, const char* end) {
        char* const first = room(static_cast<std::size_t>(end - p));
        char* out = first;
        char previous = m_size > 0 ? first[-1] : '\n';
        for (; p < end; ++p) {
            if (!isSpace(*p))
                previous = *out++ = *p;
            else if (previous != ' ' && previous != '\n')
                previous = *out++ = ' ';
        }
        m_size += static_cast<std::size_t>(out - first);
    }

    void lineBreak() {
        if (m_size > 0 && m_buffer[m_size - 1] == ' ')
            --m_size;
        *room(1) = '\n';
        ++m_size;
    }

    // Whether the text ends a line, as an empty text does.
    bool endsLine() const { return m_size == 0 || m_buffer[m_size - 1] == '\n'; }
    std::string_view view() const { return std::string_view(m_buffer.data(), m_size); }
    void clear() { m_size = 0; }

private:
    std::string m_buffer;
    std::size_t m_size = 0;
};

// One reading of the page, handing its cells to a writer.
class PageReader {
public:
    PageReader(std::string_view page, Encoding encoding, SheetWriter& writer, std::int64_t rowLimit)
        : m_p(page.data()), m_end(page.data() + page.size()), m_encoding(encoding), m_writer(writer),
          m_rowLimit(rowLimit) {}

    void read() {
        while (m_p < m_end && m_sheetRow <= m_rowLimit) {
            if (inCell()) {
                const char* const stop = findMarkup(m_p, m_end);
                appendPage(m_p, stop);
                m_p = stop;
                if (m_p < m_end && *m_p == '&') {
                    reference();
                    continue;
                }
            } else {
                // Text outside the cells is not read; between tags it is a line break or so.
                const char* const near = m_p + std::min<std::ptrdiff_t>(m_end - m_p, 8);
                while (m_p < near && *m_p != '<')
                    ++m_p;
                if (m_p == near)
                    m_p = find(m_p, m_end, '<');
            }
            if (m_p < m_end)
                markup();
        }
        while (!m_tables.empty())
            endTable();
    }

    // How far the reading came through the page.
    std::size_t position(std::string_view page) const { return static_cast<std::size_t>(m_p - page.data()); }
    std::int64_t rows() const { return m_sheetRow; }

private:
    bool inCell() const { return !m_tables.empty() && m_tables.back().inCell; }

    void appendPage(const char* p, const char* end) {
        if (m_encoding == Encoding::Utf8)
            return m_text.append(p, end);
        const std::string_view bytes(p, static_cast<std::size_t>(end - p));
        char* const first = m_text.room(bytes.size() * 3);
        m_text.append(first, m_encoding == Encoding::Gb18030 ? decodeGb18030(bytes, first)
                                                             : repairUtf8(bytes, first));
    }

    void appendText(std::string_view text) { m_text.append(text.data(), text.data() + text.size()); }

    // A character reference at m_p, which is '&': decimal, hexadecimal or named, a name
    // without its ';' only for the legacy ones, as browsers read them; else '&' itself.
    void reference() {
        const char* const end = m_end;
        const char* p = m_p + 1;
        if (p < end && *p == '#') {
            const bool hex = ++p < end && (*p | 0x20) == 'x';
            p += hex ? 1 : 0;
            const char* const digits = p;
            char32_t code = 0;
            for (; p < end; ++p) {
                const char c = *p;
                int digit = isDigit(c)                                      ? c - '0'
                            : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                            : -1;
                if (digit < 0)
                    break;
                code = std::min<char32_t>(code * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
            }
            if (p == digits)
                return literalAmpersand();
            m_p = p < end && *p == ';' ? p + 1 : p;
            if (code == 0)
                code = replacementCharacter;
            else if (code >= 0x80 && code < 0xA0)
                code = windows1252[code - 0x80];
            char utf8[4];
            return appendText(std::string_view(utf8, static_cast<std::size_t>(writeUtf8(code, utf8) - utf8)));
        }
        std::size_t length = 0;
        while (p + length < end && length < longestName && isAlphanumeric(p[length]))
            ++length;
        const auto lookUp = [](std::string_view name) -> const NamedReference* {
            for (const NamedReference& entry : commonReferences) {
                if (entry.name == name)
                    return &entry;
            }
            const auto* const found = std::lower_bound(
                std::begin(namedReferences), std::end(namedReferences), name,
                [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
            return found != std::end(namedReferences) && found->name == name ? found : nullptr;
        };
        if (p + length < end && p[length] == ';') {
            if (const NamedReference* entry = lookUp(std::string_view(p, length + 1))) {
                m_p = p + length + 1;
                return appendText(entry->text);
            }
        }
        for (std::size_t prefix = std::min(length, longestLegacyName); prefix >= 2; --prefix) {
            if (const NamedReference* entry = lookUp(std::string_view(p, prefix))) {
                m_p = p + prefix;
                return appendText(entry->text);
            }
        }
        literalAmpersand();
    }

    void literalAmpersand() {
        appendText("&");
        ++m_p;
    }

    // The markup at m_p, which is '<'.
    void markup() {
        if (m_end - m_p >= 5 && m_p[1] == '/' && (m_p[2] | 0x20) == 't' && (m_p[3] | 0x20) == 'd' &&
            m_p[4] == '>') {
            m_p += 5; // </td>, the most common tag of all
            if (!m_tables.empty())
                endCell(m_tables.back());
            return;
        }
        const std::string_view rest(m_p, static_cast<std::size_t>(m_end - m_p));
        const char next = rest.size() > 1 ? rest[1] : '\0';
        if (next == '!') {
            if (rest.starts_with("<!--")) {
                // A comment, conditional ones among them; one never closed runs to the end.
                if (rest.starts_with("<!-->") || rest.starts_with("<!--->"))
                    m_p += rest[4] == '>' ? 5 : 6;
                else
                    m_p = past(find(m_p + 4, m_end, "-->"), 3);
            } else if (rest.starts_with("<![CDATA[")) {
                const char* const close = find(m_p + 9, m_end, "]]>");
                if (inCell())
                    appendPage(m_p + 9, close);
                m_p = past(close, 3);
            } else {
                m_p = past(find(m_p + 2, m_end, '>'), 1); // <!DOCTYPE>, <![if ...]>
            }
        } else if (next == '?') {
            m_p = past(find(m_p + 2, m_end, '>'), 1);
        } else if (next == '/' && rest.size() > 2 && isLetter(rest[2])) {
            const char* const name = m_p + 2;
            const Tag tag = tagOf(tagName(name));
            m_p = past(Attributes(m_p, m_end).end(), 1);
            endTag(tag);
        } else if (next == '/') {
            m_p = past(find(m_p + 2, m_end, '>'), 1);
        } else if (isLetter(next)) {
            const std::string_view name = tagName(m_p + 1);
            const Tag tag = tagOf(name);
            Attributes attributes(m_p, m_end);
            std::int64_t columns = 1, rows = 1;
            for (std::string_view attribute, value; attributes.next(attribute, value);) {
                if (tag == Tag::Cell && isNamed(attribute, "colspan"))
                    columns = spanOf(value);
                else if (tag == Tag::Cell && isNamed(attribute, "rowspan"))
                    rows = spanOf(value);
            }
            if (attributes.position() == m_end) {
                m_p = m_end; // a tag the page ends in is no tag
                return;
            }
            m_p = attributes.position() + 1;
            startTag(tag, name, columns, rows);
        } else {
            if (inCell())
                appendText("<");
            ++m_p;
        }
    }

    // After the `length` bytes found at `at`, or the end of the page when none were found.
    const char* past(const char* at, std::size_t length) const { return at == m_end ? m_end : at + length; }

    // The tag's name at `name`, leaving m_p after it.
    std::string_view tagName(const char* name) {
        const char* p = name;
        while (p < m_end && !is(*p, nameEnd))
            ++p;
        m_p = p;
        return std::string_view(name, static_cast<std::size_t>(p - name));
    }

    void startTag(Tag tag, std::string_view name, std::int64_t columns, std::int64_t rows) {
        switch (tag) {
        case Tag::Table:
            return startTable();
        case Tag::Row:
            return startRow();
        case Tag::Cell:
            return startCell(columns, rows);
        case Tag::Break:
            if (inCell())
                m_text.lineBreak();
            return;
        case Tag::Block:
            return block();
        case Tag::Section:
            if (!m_tables.empty())
                endRow(m_tables.back());
            return;
        case Tag::RawText:
            return skipRawText(name);
        case Tag::Other:
            return;
        }
    }

    void endTag(Tag tag) {
        switch (tag) {
        case Tag::Table:
            if (!m_tables.empty())
                endTable();
            return;
        case Tag::Row:
        case Tag::Section:
            if (!m_tables.empty())
                endRow(m_tables.back());
            return;
        case Tag::Cell:
            if (!m_tables.empty())
                endCell(m_tables.back());
            return;
        case Tag::Break:
            if (inCell())
                m_text.lineBreak(); // </br> is read as <br>, as browsers do
            return;
        case Tag::Block:
            return block();
        case Tag::RawText:
        case Tag::Other:
            return;
        }
    }

    // A paragraph or a division in a cell starts a line of its own, as a browser shows it.
    void block() {
        if (inCell() && !m_text.endsLine())
            m_text.lineBreak();
    }

    // The text of a style, a script and the like is not shown: it runs to its end tag.
    void skipRawText(std::string_view name) {
        for (const char* p = m_p; (p = find(p, m_end, '<')) < m_end; ++p) {
            const std::size_t left = static_cast<std::size_t>(m_end - p);
            if (left > name.size() + 2 && p[1] == '/' &&
                sameName(std::string_view(p + 2, name.size()), name)) {
                const char after = p[2 + name.size()];
                if (isSpace(after) || after == '/' || after == '>') {
                    m_p = p;
                    return;
                }
            }
        }
        m_p = m_end;
    }

    // A nested table's rows follow as rows of the sheet, as Excel opens such a page: the row of
    // the cell holding it ends there, and what comes after it in that row takes a new row.
    void startTable() {
        if (!m_tables.empty()) {
            Table& outer = m_tables.back();
            if (outer.inCell)
                writeCell(outer);
            outer.sheetRow = 0;
        }
        if (m_tables.size() == maxDepth)
            damaged("表格嵌套超过 1048576 层");
        m_tables.emplace_back();
    }

    void endTable() {
        endRow(m_tables.back());
        m_tables.pop_back();
    }

    Table& table() {
        if (m_tables.empty())
            m_tables.emplace_back(); // rows and cells without a table read as one
        return m_tables.back();
    }

    void startRow() {
        Table& current = table();
        endRow(current);
        ++current.row;
        current.inRow = true;
        current.column = 1;
        current.sheetRow = nextSheetRow();
    }

    void endRow(Table& current) {
        endCell(current);
        current.inRow = false;
    }

    std::int64_t nextSheetRow() {
        if (++m_sheetRow > maxRows)
            damaged("表格超过 1048576 行");
        return m_sheetRow;
    }

    // A cell spanning `columns` and `rows`: a span past the sheet is a damaged page, as a span
    // is never laid out cell by cell.
    void startCell(std::int64_t columns, std::int64_t rows) {
        Table& current = table();
        if (!current.inRow)
            startRow();
        endCell(current);
        std::int32_t column = current.column;
        if (current.spans)
            column = current.spans->free(column, current.row);
        if (column > maxColumns)
            damaged("一行超过 16384 列", {"", std::max<std::int64_t>(m_sheetRow, 1), 0});
        if (column + columns - 1 > maxColumns || m_sheetRow + rows - 1 > maxRows)
            damaged("单元格跨越工作表范围之外", {"", std::max<std::int64_t>(m_sheetRow, 1), column});
        if (rows > 1) {
            if (!current.spans)
                current.spans = std::make_unique<Spans>();
            current.spans->cover(column, static_cast<std::int32_t>(column + columns), current.row + rows - 1);
        }
        current.cellColumn = column;
        current.column = static_cast<std::int32_t>(column + columns);
        current.inCell = true;
        m_text.clear();
    }

    void endCell(Table& current) {
        if (!current.inCell)
            return;
        writeCell(current);
        current.inCell = false;
    }

    // The cell's text so far, without the spaces, line breaks and no-break spaces at its ends:
    // a cell of only these is empty.
    void writeCell(Table& current) {
        std::string_view text = m_text.view();
        const auto blank = [](std::string_view t, bool front) {
            const std::string_view nbsp = "\xC2\xA0";
            if (t.empty())
                return std::size_t{0};
            const char c = front ? t.front() : t.back();
            if (c == ' ' || c == '\n')
                return std::size_t{1};
            return (front ? t.starts_with(nbsp) : t.ends_with(nbsp)) ? nbsp.size() : 0;
        };
        for (std::size_t n; (n = blank(text, true)) > 0;)
            text.remove_prefix(n);
        for (std::size_t n; (n = blank(text, false)) > 0;)
            text.remove_suffix(n);
        if (!text.empty()) {
            if (current.sheetRow == 0)
                current.sheetRow = nextSheetRow();
            m_writer.cell(current.sheetRow, current.cellColumn, text);
        }
        m_text.clear();
    }

    const char* m_p;
    const char* const m_end;
    const Encoding m_encoding;
    SheetWriter& m_writer;
    const std::int64_t m_rowLimit;
    std::int64_t m_sheetRow = 0; // the sheet's rows so far
    std::vector<Table> m_tables; // the tables open, the innermost last
    CellText m_text;             // the current cell's text so far
};

} // namespace

void readHtml(std::string_view bytes, SheetSink& sink) {
    std::string converted;
    const auto [page, encoding] = pageOf(bytes, converted);
    const auto pass = [&, page = page, encoding = encoding](SheetWriter& writer) {
        PageReader(page, encoding, writer, maxRows).read();
    };
    // The first rows tell the sheet's width and, by the bytes they take, about its size. A
    // later row wider than them makes the writer read the page once more.
    SheetWriter ahead(sink, 0);
    PageReader first(page, encoding, ahead, rowsAhead);
    first.read();
    ahead.finish();
    std::int32_t columns = ahead.lastColumn();
    if (columns == 0) {
        SheetWriter measuring(sink, 0);
        pass(measuring);
        measuring.finish();
        columns = measuring.lastColumn();
        if (columns == 0)
            throw ReadError(Problem::Empty, "");
    }
    SheetSize expected{first.rows(), 0};
    if (const std::size_t read = first.position(page); read < page.size() && read > 0)
        expected.rows =
            static_cast<std::int64_t>(static_cast<double>(expected.rows) * static_cast<double>(page.size()) /
                                      static_cast<double>(read));
    writeSheet(sink, expected, columns, pass);
}

} // namespace brisquel::sheets
