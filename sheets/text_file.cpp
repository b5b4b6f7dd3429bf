// Text files as one sheet: the encoding and the kind told from the bytes, TAB-separated text
// passed on as it stands, comma-separated text laid out as a spreadsheet opens it.
#include "sheets/text_file.h"

#include "sheets/gb18030.h"
#include "sheets/sheet_writer.h"
#include "unicode/unicode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisquel::sheets {

namespace {

// Text is handed on in pieces of about this size.
constexpr std::size_t pieceSize = std::size_t{1} << 20;

enum class Encoding {
    Utf8,         // valid UTF-8: the bytes are the text
    RepairedUtf8, // UTF-8 after its byte-order mark, with bytes that start no character
    Gb18030,
};

// The bytes of a file's text after any byte-order mark, and how they are decoded.
struct Source {
    std::string_view bytes;
    Encoding encoding = Encoding::Utf8;
};

// Every byte gives at most this many bytes of text.
constexpr std::size_t growth = 3;

// Writes the bytes' text to `out`, which has room for `growth` bytes per byte. CR, LF,
// TAB, comma and quote are single bytes in every encoding here and never part of another
// character, so text cut at them decodes piece by piece as it does whole.
char* decode(Encoding encoding, std::string_view bytes, char* out) {
    switch (encoding) {
    case Encoding::Utf8:
        if (!bytes.empty())
            std::memcpy(out, bytes.data(), bytes.size());
        return out + bytes.size();
    case Encoding::Gb18030:
        return decodeGb18030(bytes, out);
    case Encoding::RepairedUtf8:
        break;
    }
    return repairUtf8(bytes, out);
}

// The sheet's text, gathered and handed on in pieces of about pieceSize.
class Pieces {
public:
    explicit Pieces(SheetSink& sink) : m_sink(sink) {}

    // Where up to `bytes` more bytes of text go.
    char* room(std::size_t bytes) {
        if (m_used + bytes > m_buffer.size())
            m_buffer.resize(std::max(m_used + bytes, std::min(2 * m_buffer.size(), 2 * pieceSize)));
        return m_buffer.data() + m_used;
    }
    // The text written to room() ends at `end`.
    void wrote(char* end) {
        m_used = static_cast<std::size_t>(end - m_buffer.data());
        if (m_used >= pieceSize)
            flush();
    }
    void flush() {
        if (m_used > 0)
            m_sink.append({m_buffer.data(), m_used});
        m_used = 0;
    }

private:
    SheetSink& m_sink;
    std::string m_buffer;
    std::size_t m_used = 0;
};

// The first of the bytes `a`, `b` and `c` in [p, end), or end.
const char* findFirstOf(const char* p, const char* end, char a, char b, char c) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, va), _mm_cmpeq_epi8(block, vb)),
                                          _mm_cmpeq_epi8(block, vc));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask != 0)
            return p + __builtin_ctz(mask);
    }
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b || *p == c)
            break;
    }
    return p;
}

// Where a row without quotes would end: the first quote, CR or LF from `p` on, or `end`;
// and how many commas come before it.
struct RowScan {
    const char* stop;
    std::size_t commas;
};

RowScan scanRow(const char* p, const char* end) {
    std::size_t commas = 0;
#if defined(__SSE2__)
    // Each byte lane counts the commas it sees, up to 255 blocks, then adds them to `commas`.
    const __m128i zero = _mm_setzero_si128();
    const __m128i laneNumbers = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i lanes = zero;
    const auto addLanes = [&] {
        alignas(16) std::uint64_t sums[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(sums), _mm_sad_epu8(lanes, zero));
        commas += static_cast<std::size_t>(sums[0] + sums[1]);
        lanes = zero;
    };
    for (int blocks = 1; end - p >= 16; p += 16, ++blocks) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                                        _mm_cmpeq_epi8(block, _mm_set1_epi8('\r'))),
                                           _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')));
        __m128i blockCommas = _mm_cmpeq_epi8(block, _mm_set1_epi8(','));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops)); mask != 0) {
            const int at = __builtin_ctz(mask);
            blockCommas =
                _mm_and_si128(blockCommas, _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(at)), laneNumbers));
            lanes = _mm_sub_epi8(lanes, blockCommas);
            addLanes();
            return {p + at, commas};
        }
        lanes = _mm_sub_epi8(lanes, blockCommas);
        if (blocks % 255 == 0)
            addLanes();
    }
    addLanes();
#endif
    for (; p < end && *p != '"' && *p != '\r' && *p != '\n'; ++p)
        commas += *p == ',' ? 1 : 0;
    return {p, commas};
}

// Every comma in [p, end) becomes a TAB.
void commasToTabs(char* p, char* end) {
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i tabMinusComma = _mm_set1_epi8('\t' - ',');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i commas = _mm_cmpeq_epi8(block, comma);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                         _mm_add_epi8(block, _mm_and_si128(commas, tabMinusComma)));
    }
#endif
    for (; p < end; ++p) {
        if (*p == ',')
            *p = '\t';
    }
}

// Past the row end at `p` (CR LF, LF or CR), or `p` itself at the end.
const char* pastRowEnd(const char* p, const char* end) {
    if (p < end && *p == '\r')
        ++p;
    else if (p < end)
        return p + 1;
    return p < end && *p == '\n' ? p + 1 : p;
}

[[noreturn]] void notText(std::string detail) {
    throw ReadError(Problem::NotASpreadsheet, std::move(detail));
}

// Refuses the binary kinds a report file is mistaken for, and any file holding NUL bytes.
void refuseBinary(std::string_view bytes) {
    struct Kind {
        std::string_view start;
        const char* name;
        Problem problem = Problem::NotASpreadsheet;
    };
    using namespace std::string_view_literals;
    static constexpr std::array<Kind, 12> kinds = {{
        // The BOF record that begins the bare record stream of an Excel 2.1, 3.0 or 4.0 sheet.
        {"\x09\x00\x04\x00"sv, "Excel 2.1 工作表", Problem::OtherSpreadsheet},
        {"\x09\x02\x06\x00"sv, "Excel 3.0 工作表", Problem::OtherSpreadsheet},
        {"\x09\x04\x06\x00"sv, "Excel 4.0 工作表", Problem::OtherSpreadsheet},
        {"%PDF-", "PDF 文档"},
        {"\x89PNG\r\n\x1A\n", "PNG 图片"},
        {"\xFF\xD8\xFF", "JPEG 图片"},
        {"GIF8", "GIF 图片"},
        {"\x1F\x8B", "gzip 压缩文件"},
        {"7z\xBC\xAF\x27\x1C", "7z 压缩文件"},
        {"Rar!\x1A\x07", "RAR 压缩文件"},
        {"PK\x03\x04", "ZIP 压缩文件"},
        {"\177ELF", "Linux 程序"},
    }};
    for (const Kind& kind : kinds) {
        if (bytes.starts_with(kind.start))
            throw ReadError(kind.problem, kind.name);
    }
    if (bytes.find('\0') != bytes.npos)
        notText(bytes.starts_with("MZ") ? "Windows 程序" : "");
}

// Whether the bytes are valid UTF-8, checked a block at a time so that a file in another
// encoding is told at its first block. A block ends before an ASCII byte, which no UTF-8
// sequence spans.
bool validUtf8(std::string_view bytes) {
    constexpr std::size_t blockSize = std::size_t{1} << 16;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t next = std::min(at + blockSize, bytes.size());
        while (next < bytes.size() && static_cast<unsigned char>(bytes[next]) >= 0x80)
            ++next;
        if (!isValidUtf8(bytes.substr(at, next - at)))
            return false;
        at = next;
    }
    return true;
}

// The encoding from the byte-order mark, or else from whether the bytes are valid UTF-8.
// UTF-16 is turned into UTF-8 first, into `converted`.
Source sourceOf(std::string_view bytes, std::string& converted) {
    Source source;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        converted = utf16BytesToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        source.bytes = converted;
        return source;
    }
    refuseBinary(bytes);
    const bool mark = bytes.starts_with("\xEF\xBB\xBF");
    source.bytes = mark ? bytes.substr(3) : bytes;
    if (!validUtf8(source.bytes))
        source.encoding = mark ? Encoding::RepairedUtf8 : Encoding::Gb18030;
    return source;
}

// About how long the text of `source` will be, with `rows` row ends.
std::size_t textSize(const Source& source, std::int64_t rows) {
    const std::size_t size = source.bytes.size();
    return (source.encoding == Encoding::Gb18030 ? size + size / 2 : size) + static_cast<std::size_t>(rows);
}

// Hands on `text`, decoded and, with `commasAsTabs`, each comma a TAB, in pieces cut after
// an LF; then a CR LF when `endRow`. For text whose rows already end as they should.
void passOn(const Source& source, std::string_view text, bool commasAsTabs, bool endRow, Pieces& pieces) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t next = at + pieceSize < text.size() ? text.find('\n', at + pieceSize) : text.npos;
        next = next == text.npos ? text.size() : next + 1;
        char* const first = pieces.room((next - at) * growth);
        char* const out = decode(source.encoding, text.substr(at, next - at), first);
        if (commasAsTabs)
            commasToTabs(first, out);
        pieces.wrote(out);
        at = next;
    }
    if (endRow)
        pieces.wrote(std::copy_n("\r\n", 2, pieces.room(2)));
}

// TAB-separated text, the clipboard's own format: its rows end at CR LF, or where it has
// none at LF, or where it has neither at CR; a last row without its end gets one.
void readTabSeparated(const Source& source, SheetSink& sink) {
    const std::string_view text = source.bytes;
    const bool crLf = text.find("\r\n") != text.npos;
    const char rowEnd = crLf || text.find('\n') != text.npos ? '\n' : '\r';
    const auto rowEndsAt = [&](std::size_t at) {
        return text[at] == rowEnd && (!crLf || (at > 0 && text[at - 1] == '\r'));
    };
    std::int64_t rows = 0;
    for (std::size_t at = text.find(rowEnd); at != text.npos; at = text.find(rowEnd, at + 1))
        rows += rowEndsAt(at) ? 1 : 0;
    const bool unended = !rowEndsAt(text.size() - 1);
    sink.beginSheet({rows + (unended ? 1 : 0), textSize(source, rows)});
    Pieces pieces(sink);
    if (crLf) {
        passOn(source, text, false, unended, pieces);
    } else {
        std::size_t row = 0; // where the next row starts
        for (std::size_t at = text.find(rowEnd); at != text.npos; at = text.find(rowEnd, row)) {
            const std::string_view line = text.substr(row, at - row);
            char* out = decode(source.encoding, line, pieces.room(line.size() * growth + 2));
            pieces.wrote(std::copy_n("\r\n", 2, out));
            row = at + 1;
        }
        passOn(source, text.substr(row), false, row < text.size(), pieces);
    }
    pieces.flush();
    sink.endSheet();
}

// Walks the records of comma-separated text. A record without quotes is handed to
// `visitor.plainRow(row, commas, rowEnd)` whole, with the length of its row end (0 at the
// end of the text); any other one field by field, to `visitor.field(raw, quoted)` and then
// `visitor.endRow()`, each field's bytes as they stand in the file.
template <class Visitor> void walkCsv(std::string_view text, Visitor& visitor) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && visitor.wantsMore()) {
        const auto [stop, commas] = scanRow(p, end);
        if (stop == end || *stop != '"') {
            const char* const next = pastRowEnd(stop, end);
            visitor.plainRow(std::string_view(p, static_cast<std::size_t>(stop - p)), commas, next - stop);
            p = next;
            continue;
        }
        for (;;) {
            const char* const field = p;
            const bool quoted = p < end && *p == '"';
            if (quoted) {
                // The quoted part ends at a quote not doubled; what follows it up to the next
                // comma or row end is kept as it stands, as a spreadsheet does.
                for (++p;; p += 2) {
                    p = std::find(p, end, '"');
                    if (p == end || p + 1 == end || p[1] != '"')
                        break;
                }
                p = p == end ? end : p + 1;
            }
            p = findFirstOf(p, end, ',', '\r', '\n');
            visitor.field(std::string_view(field, static_cast<std::size_t>(p - field)), quoted);
            if (p == end || *p != ',')
                break;
            ++p;
        }
        visitor.endRow();
        p = pastRowEnd(p, end);
    }
}

// A field with a value: anything but nothing or an empty quoted text.
bool holdsValue(std::string_view raw, bool quoted) {
    return quoted ? raw != "\"\"" && raw != "\"" : !raw.empty();
}

// The first pass: the records up to the last one holding a value, and the widest reach of a
// value among them. It also tells whether the text is uniform: every record without quotes,
// with the same number of fields, and ended by CR LF but perhaps the last; a uniform text up
// to its last value is the sheet's text already, but for its commas.
class CsvMeasure {
public:
    explicit CsvMeasure(std::string_view text) : m_text(text) {}

    bool wantsMore() const { return true; }
    void plainRow(std::string_view row, std::size_t commas, std::ptrdiff_t rowEnd) {
        const std::size_t last = row.find_last_not_of(',');
        m_rowColumns = last == row.npos ? 0 : static_cast<std::int64_t>(commas - (row.size() - 1 - last)) + 1;
        if (m_records == 0)
            m_commas = commas;
        m_uniform = m_uniform && commas == m_commas && rowEnd != 1;
        m_rowEnd = row.data() + row.size() + rowEnd;
        endRow();
    }
    void field(std::string_view raw, bool quoted) {
        ++m_fields;
        if (holdsValue(raw, quoted))
            m_rowColumns = m_fields;
        m_uniform = false;
    }
    void endRow() {
        ++m_records;
        if (m_rowColumns > 0) {
            m_rows = m_records;
            m_columns = std::max(m_columns, m_rowColumns);
            m_valuesEnd = m_rowEnd;
        }
        m_fields = 0;
        m_rowColumns = 0;
    }

    std::int64_t rows() const { return m_rows; }
    std::int64_t columns() const { return m_columns; }
    // The text up to the end of the last row holding a value, when uniform.
    std::optional<std::string_view> uniformText() const {
        if (!m_uniform || m_columns != static_cast<std::int64_t>(m_commas) + 1)
            return std::nullopt;
        return m_text.substr(0, static_cast<std::size_t>(m_valuesEnd - m_text.data()));
    }

private:
    const std::string_view m_text;
    std::int64_t m_records = 0;
    std::int64_t m_rows = 0;
    std::int64_t m_columns = 0;
    std::int64_t m_fields = 0;     // in the record being walked
    std::int64_t m_rowColumns = 0; // the last field holding a value in it
    bool m_uniform = true;
    std::size_t m_commas = 0;          // in each record, while uniform
    const char* m_rowEnd = nullptr;    // past the record last walked and its row end
    const char* m_valuesEnd = nullptr; // the same for the last record holding a value
};

// The second pass: each record as a row of `columns` cells joined by TAB and ended by CR
// LF, up to the last record holding a value.
class CsvWrite {
public:
    CsvWrite(const Source& source, Pieces& pieces, std::int64_t rows, std::int64_t columns)
        : m_encoding(source.encoding), m_pieces(pieces), m_rowsLeft(rows), m_columns(columns) {}

    bool wantsMore() const { return m_rowsLeft > 0; }

    void plainRow(std::string_view row, std::size_t commas, std::ptrdiff_t) {
        // Fields past the sheet's width hold no value: the row is cut before them.
        const std::int64_t fields = static_cast<std::int64_t>(commas) + 1;
        std::string_view cells = row;
        if (fields > m_columns) {
            std::size_t cut = 0;
            for (std::int64_t kept = 0; kept < m_columns; ++kept)
                cut = row.find(',', cut) + 1;
            cells = row.substr(0, cut - 1);
        }
        const std::int64_t padding = m_columns - std::min(fields, m_columns);
        char* const first = m_pieces.room(cells.size() * growth + static_cast<std::size_t>(padding) + 2);
        char* out = decode(m_encoding, cells, first);
        commasToTabs(first, out);
        out = std::fill_n(out, padding, '\t');
        m_pieces.wrote(std::copy_n("\r\n", 2, out));
        --m_rowsLeft;
    }

    void field(std::string_view raw, bool quoted) {
        if (++m_fields > m_columns)
            return;
        char* out = m_pieces.room(raw.size() * growth + 1);
        if (m_fields > 1)
            *out++ = '\t';
        m_pieces.wrote(quoted ? writeQuoted(raw, out) : decode(m_encoding, raw, out));
    }

    void endRow() {
        const std::int64_t padding = m_columns - std::min(m_fields, m_columns);
        char* out = std::fill_n(m_pieces.room(static_cast<std::size_t>(padding) + 2), padding, '\t');
        m_pieces.wrote(std::copy_n("\r\n", 2, out));
        m_fields = 0;
        --m_rowsLeft;
    }

private:
    // A quoted field's text: its quotes dropped, doubled quotes single, and each line break
    // in it a lone LF, which keeps it inside its row.
    char* writeQuoted(std::string_view raw, char* out) const {
        const char* p = raw.data() + 1;
        const char* const end = raw.data() + raw.size();
        while (p < end) {
            const char* const stop = findFirstOf(p, end, '"', '\r', '"');
            out = decode(m_encoding, std::string_view(p, static_cast<std::size_t>(stop - p)), out);
            p = stop;
            if (p == end)
                break;
            if (*p == '\r') {
                *out++ = '\n';
                p += p + 1 < end && p[1] == '\n' ? 2 : 1;
            } else if (p + 1 < end && p[1] == '"') {
                *out++ = '"';
                p += 2;
            } else {
                return decode(m_encoding, std::string_view(p + 1, static_cast<std::size_t>(end - p - 1)),
                              out);
            }
        }
        return out;
    }

    const Encoding m_encoding;
    Pieces& m_pieces;
    std::int64_t m_rowsLeft;
    const std::int64_t m_columns;
    std::int64_t m_fields = 0; // of the record being written field by field
};

// Comma-separated text, laid out as a spreadsheet opens it and copies the whole sheet.
void readCommaSeparated(const Source& source, SheetSink& sink) {
    CsvMeasure measure(source.bytes);
    walkCsv(source.bytes, measure);
    if (measure.rows() == 0)
        throw ReadError(Problem::Empty, "");
    if (measure.columns() > maxColumns)
        throw ReadError(Problem::Damaged, "一行超过 16384 列");
    sink.beginSheet({measure.rows(), textSize(source, measure.rows())});
    Pieces pieces(sink);
    if (const std::optional<std::string_view> text = measure.uniformText()) {
        passOn(source, *text, true, !text->ends_with('\n'), pieces);
    } else {
        CsvWrite write(source, pieces, measure.rows(), measure.columns());
        walkCsv(source.bytes, write);
    }
    pieces.flush();
    sink.endSheet();
}

// Whether the first line that is not empty holds a TAB.
bool tabSeparated(std::string_view text) {
    const std::size_t start = text.find_first_not_of("\r\n");
    const std::size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == text.npos ? text.npos : end - start).find('\t') != text.npos;
}

} // namespace

void readTextFile(std::string_view bytes, SheetSink& sink) {
    std::string converted;
    const Source source = sourceOf(bytes, converted);
    if (source.bytes.find_first_not_of("\r\n") == std::string_view::npos)
        throw ReadError(Problem::Empty, "");
    if (tabSeparated(source.bytes))
        readTabSeparated(source, sink);
    else
        readCommaSeparated(source, sink);
}

} // namespace brisquel::sheets
