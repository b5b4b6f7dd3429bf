// The tests' ZIP and workbook writer: the parts laid out as Excel writes them.
#include "xlsx_writer.h"

#include <initializer_list>
#include <map>
#include <stdexcept>

namespace brisquel::sheets::testing {

namespace {

// Little-endian fields, each a value and its size in bytes.
void put(std::string& out, std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    for (const auto& [value, size] : fields) {
        for (int i = 0; i < size; ++i)
            out += i < 8 ? static_cast<char>(value >> (8 * i) & 0xFF) : '\0';
    }
}

} // namespace

ZipWriter::~ZipWriter() {
    if (m_open)
        deflateEnd(&m_stream);
}

void ZipWriter::begin(std::string_view name) {
    m_entries.push_back({std::string(name), m_bytes.size(), 0, 0, 0, 8});
    // Version, flags, method, time and date; CRC and sizes are written at the end.
    m_bytes += "PK\x03\x04";
    put(m_bytes, {{20, 2}, {0, 2}, {8, 2}, {0, 4}, {0, 12}, {name.size(), 2}, {0, 2}});
    m_bytes += name;
    m_entries.back().compressedSize = m_bytes.size(); // where the data starts, for now
    if (deflateInit2(&m_stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    m_open = true;
}

void ZipWriter::deflatePiece(std::string_view piece, int flush) {
    Entry& entry = m_entries.back();
    if (!piece.empty())
        entry.crc = static_cast<std::uint32_t>(
            crc32(entry.crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())));
    entry.size += piece.size();
    m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    m_stream.avail_in = static_cast<uInt>(piece.size());
    char out[1 << 16];
    do {
        m_stream.next_out = reinterpret_cast<Bytef*>(out);
        m_stream.avail_out = sizeof out;
        deflate(&m_stream, flush);
        m_bytes.append(out, sizeof out - m_stream.avail_out);
    } while (m_stream.avail_out == 0);
}

void ZipWriter::write(std::string_view piece) {
    deflatePiece(piece, Z_NO_FLUSH);
}

void ZipWriter::end() {
    deflatePiece({}, Z_FINISH);
    deflateEnd(&m_stream);
    m_open = false;
    Entry& entry = m_entries.back();
    entry.compressedSize = m_bytes.size() - entry.compressedSize;
    patchLocalHeader(entry);
}

void ZipWriter::patchLocalHeader(const Entry& entry) {
    std::string fields;
    put(fields, {{entry.crc, 4}, {entry.compressedSize, 4}, {entry.size, 4}});
    m_bytes.replace(entry.offset + 14, fields.size(), fields);
}

void ZipWriter::add(std::string_view name, std::string_view content, bool deflate) {
    begin(name);
    if (deflate) {
        write(content);
        end();
        return;
    }
    deflateEnd(&m_stream);
    m_open = false;
    Entry& entry = m_entries.back();
    m_bytes.replace(entry.offset + 8, 2, "\x00\x00", 2);
    entry.method = 0;
    entry.size = entry.compressedSize = content.size();
    entry.crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    m_bytes += content;
    patchLocalHeader(entry);
}

std::string ZipWriter::finish() {
    const std::uint64_t directoryOffset = m_bytes.size();
    for (const Entry& entry : m_entries) {
        std::string extra;
        if (m_zip64)
            put(extra, {{1, 2}, {24, 2}, {entry.size, 8}, {entry.compressedSize, 8}, {entry.offset, 8}});
        const std::uint64_t wide = m_zip64 ? 0xFFFFFFFF : 0;
        m_bytes += "PK\x01\x02";
        put(m_bytes, {{45, 2}, {45, 2}, {0, 2}, {entry.method, 2}, {0, 4}, {entry.crc, 4}});
        put(m_bytes, {{wide ? wide : entry.compressedSize, 4}, {wide ? wide : entry.size, 4}});
        put(m_bytes, {{entry.name.size(), 2}, {extra.size(), 2}, {0, 10}, {wide ? wide : entry.offset, 4}});
        m_bytes += entry.name;
        m_bytes += extra;
    }
    const std::uint64_t directorySize = m_bytes.size() - directoryOffset;
    if (m_zip64) {
        const std::uint64_t recordOffset = m_bytes.size();
        m_bytes += "PK\x06\x06";
        put(m_bytes, {{44, 8}, {45, 2}, {45, 2}, {0, 8}, {m_entries.size(), 8}, {m_entries.size(), 8}});
        put(m_bytes, {{directorySize, 8}, {directoryOffset, 8}});
        m_bytes += "PK\x06\x07";
        put(m_bytes, {{0, 4}, {recordOffset, 8}, {1, 4}});
    }
    m_bytes += "PK\x05\x06";
    const std::uint64_t count = m_zip64 ? 0xFFFF : m_entries.size();
    put(m_bytes, {{0, 4}, {count, 2}, {count, 2}, {m_zip64 ? 0xFFFFFFFF : directorySize, 4}});
    put(m_bytes, {{m_zip64 ? 0xFFFFFFFF : directoryOffset, 4}, {0, 2}});
    return std::move(m_bytes);
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string cellReference(std::int32_t column, std::int64_t row) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters + std::to_string(row);
}

void addWorkbookParts(ZipWriter& zip, const TestWorkbook& workbook) {
    const std::string header = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const std::string relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string type = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    std::string types = header +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" ContentType=\"application/"
                        "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
                        "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
                        "ContentType=\"" +
                        type + "sheet.main+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" +
                        type + "styles+xml\"/><Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" +
                        type + "sharedStrings+xml\"/>";
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i)
        types += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i + 1) +
                 ".xml\" ContentType=\"" + type + "worksheet+xml\"/>";
    types += "</Types>";
    zip.add("[Content_Types].xml", types);
    zip.add("_rels/.rels", header +
                               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                               "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                               relationships +
                               "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    std::string book = header +
                       "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                       "xmlns:r=\"" +
                       relationships + "\"><workbookPr" + (workbook.date1904 ? " date1904=\"1\"" : "") +
                       "/><sheets>";
    std::string rels = header + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                "relationships\">";
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
        const std::string id = std::to_string(i + 1);
        book += "<sheet name=\"" + xmlEscaped(workbook.sheets[i].name) + "\" sheetId=\"" + id + "\"" +
                (workbook.sheets[i].state.empty() ? "" : " state=\"" + workbook.sheets[i].state + "\"") +
                " r:id=\"rId" + id + "\"/>";
        rels += "<Relationship Id=\"rId" + id + "\" Type=\"" + relationships +
                "/worksheet\" Target=\"worksheets/sheet" + id + ".xml\"/>";
    }
    book += "</sheets></workbook>";
    rels += "<Relationship Id=\"rIdS\" Type=\"" + relationships + "/styles\" Target=\"styles.xml\"/>";
    rels += "<Relationship Id=\"rIdT\" Type=\"" + relationships +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    zip.add("xl/workbook.xml", book);
    zip.add("xl/_rels/workbook.xml.rels", rels);
    std::string styles = header +
                         "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                         "main\"><numFmts count=\"" +
                         std::to_string(workbook.formats.size()) + "\">";
    std::string cellStyles = "<cellXfs><xf numFmtId=\"0\" fontId=\"0\"/>";
    for (std::size_t i = 0; i < workbook.formats.size(); ++i) {
        const std::string id = std::to_string(164 + i);
        styles += "<numFmt numFmtId=\"" + id + "\" formatCode=\"" + xmlEscaped(workbook.formats[i]) + "\"/>";
        cellStyles += "<xf numFmtId=\"" + id + "\" fontId=\"0\" applyNumberFormat=\"1\"/>";
    }
    styles += "</numFmts><cellStyleXfs><xf numFmtId=\"0\"/></cellStyleXfs>" + cellStyles +
              "</cellXfs></styleSheet>";
    zip.add("xl/styles.xml", styles);
}

std::string xlsxFile(const TestWorkbook& workbook) {
    ZipWriter zip;
    addWorkbookParts(zip, workbook);
    std::map<std::string, std::size_t> shared;
    std::string strings;
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
        const TestSheet& sheet = workbook.sheets[i];
        std::string xml = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
        if (!sheet.dimension.empty())
            xml += "<dimension ref=\"" + sheet.dimension + "\"/>";
        xml += "<sheetData>";
        std::int64_t row = 0;
        for (const TestCell& cell : sheet.cells) {
            if (cell.row != row) {
                xml += row == 0 ? "" : "</row>";
                xml += "<row r=\"" + std::to_string(cell.row) + "\">";
                row = cell.row;
            }
            xml += "<c r=\"" + cellReference(cell.column, cell.row) + "\"";
            if (cell.style)
                xml += " s=\"" + std::to_string(cell.style) + "\"";
            const std::string value = xmlEscaped(cell.value);
            if (cell.kind == 's') {
                const auto [found, added] = shared.try_emplace(cell.value, shared.size());
                if (added)
                    strings += "<si><t xml:space=\"preserve\">" + value + "</t></si>";
                xml += " t=\"s\"><v>" + std::to_string(found->second) + "</v></c>";
            } else if (cell.kind == 'i') {
                xml += " t=\"inlineStr\"><is><t>" + value + "</t></is></c>";
            } else if (cell.kind == 'f') {
                xml += " t=\"str\"><f>A1</f><v>" + value + "</v></c>";
            } else {
                xml += cell.kind == 'n' ? ">" : std::string(" t=\"") + cell.kind + "\">";
                xml += "<v>" + value + "</v></c>";
            }
        }
        xml += row == 0 ? "" : "</row>";
        xml += "</sheetData></worksheet>";
        zip.add("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", xml);
    }
    zip.add("xl/sharedStrings.xml",
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + strings + "</sst>");
    return zip.finish();
}

} // namespace brisquel::sheets::testing
