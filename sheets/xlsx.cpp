// The Office Open XML workbook reader: the package's relationships lead to the workbook, its
// styles, shared strings and visible worksheets, and each worksheet is scanned as it
// inflates, once to write it and once more when its stated width was wrong.
#include "sheets/xlsx.h"

#include "sheets/cell_formats.h"
#include "sheets/cell_scanner.h"
#include "sheets/date_serial.h"
#include "sheets/number_format.h"
#include "sheets/sheet_writer.h"
#include "sheets/visible_sheets.h"
#include "sheets/xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <vector>

namespace brisquel::sheets {

namespace {

// One XML part of the archive, scanned as it inflates.
class Part {
public:
    Part(const ZipArchive& archive, const ZipEntry& entry)
        : m_source(archive, entry), m_xml([this] { return m_source.next(); }, entry.name) {}
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    XmlScanner& xml() { return m_xml; }

private:
    ZipEntrySource m_source;
    XmlScanner m_xml;
};

const ZipEntry& requiredEntry(const ZipArchive& archive, const std::string& name) {
    const ZipEntry* entry = archive.find(name);
    if (!entry)
        damaged("缺少这一部分", {name});
    return *entry;
}

// Decimal digits alone, of a value below 10^18.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // resolved to an entry name
};

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? "" : path.substr(0, slash + 1));
}

// The entry a relationship target names from a part in `folder`: absolute when it starts
// with "/", otherwise relative, with "." and ".." resolved.
std::string resolveTarget(std::string_view folder, std::string_view target) {
    std::string joined =
        target.starts_with('/') ? std::string(target.substr(1)) : std::string(folder) += target;
    std::vector<std::string_view> segments;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
    }
    std::string resolved;
    for (std::string_view segment : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += segment;
    }
    return resolved;
}

// The relationships of the part `source` ("" for the package), none when it has no
// relationships part.
std::vector<Relationship> readRelationships(const ZipArchive& archive, std::string_view source) {
    const std::string folder = folderOf(source);
    const std::string name = folder + "_rels/" + std::string(source.substr(folder.size())) + ".rels";
    std::vector<Relationship> relationships;
    const ZipEntry* entry = archive.find(name);
    if (!entry)
        return relationships;
    Part part(archive, *entry);
    XmlScanner& xml = part.xml();
    for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
        if (event == XmlScanner::Event::Start && xml.name() == "Relationship") {
            const std::string_view target = xml.attribute("Target");
            relationships.push_back(
                {std::string(xml.attribute("Id")), std::string(xml.attribute("Type")),
                 xml.attribute("TargetMode") == "External" ? std::string() : resolveTarget(folder, target)});
        }
    }
    return relationships;
}

// The target of the first relationship whose type ends with "/" `kind`, or `fallback`.
std::string targetOfType(const std::vector<Relationship>& relationships, std::string_view kind,
                         std::string fallback) {
    for (const Relationship& relationship : relationships) {
        const std::string_view type = relationship.type;
        if (type.ends_with(kind) && type.size() > kind.size() && type[type.size() - kind.size() - 1] == '/')
            return relationship.target;
    }
    return fallback;
}

// Decodes the _xHHHH_ escapes a workbook writes for characters XML cannot hold, appending
// `text` to `out`. _x005F_ escapes the underscore of what would otherwise read as an escape.
void appendUnescaped(std::string_view text, std::string& out) {
    auto escapeAt = [&](std::size_t at) -> int {
        if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_')
            return -1;
        int code = 0;
        for (std::size_t i = at + 2; i < at + 6; ++i) {
            const char c = static_cast<char>(text[i] | 0x20);
            if (c >= '0' && c <= '9')
                code = code * 16 + (c - '0');
            else if (c >= 'a' && c <= 'f')
                code = code * 16 + (c - 'a' + 10);
            else
                return -1;
        }
        return code;
    };
    std::size_t from = 0;
    for (std::size_t at = text.find("_x"); at != std::string_view::npos; at = text.find("_x", at)) {
        int code = escapeAt(at);
        if (code < 0) {
            ++at;
            continue;
        }
        out.append(text, from, at - from);
        std::size_t length = 7;
        if (code >= 0xD800 && code <= 0xDBFF) {
            const int low = escapeAt(at + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                length = 14;
            }
        }
        appendUtf8(static_cast<char32_t>(code), out); // half a surrogate pair is U+FFFD
        at += length;
        from = at;
    }
    out.append(text, from);
}

struct SheetInfo {
    std::string name;
    std::string relationship;
    Visibility visibility = Visibility::Visible;
};

struct WorkbookInfo {
    std::vector<SheetInfo> sheets;
    DateSystem dates = DateSystem::From1900;
};

WorkbookInfo readWorkbookPart(const ZipArchive& archive, const ZipEntry& entry) {
    WorkbookInfo workbook;
    Part part(archive, entry);
    XmlScanner& xml = part.xml();
    for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
        if (event != XmlScanner::Event::Start)
            continue;
        if (xml.name() == "workbookPr") {
            const std::string_view date1904 = xml.attribute("date1904");
            if (date1904 == "1" || date1904 == "true")
                workbook.dates = DateSystem::From1904;
        } else if (xml.name() == "sheet") {
            const std::string_view state = xml.attribute("state");
            workbook.sheets.push_back({std::string(xml.attribute("name")), std::string(xml.attribute("id")),
                                       state == "veryHidden" ? Visibility::VeryHidden
                                       : state == "hidden"   ? Visibility::Hidden
                                                             : Visibility::Visible});
        }
    }
    return workbook;
}

// The number formats of the workbook's cell styles, from its styles part.
void readStyles(const ZipArchive& archive, const ZipEntry& entry, FormatTable& formats) {
    Part part(archive, entry);
    XmlScanner& xml = part.xml();
    bool inCellStyles = false;
    for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
        if (event == XmlScanner::Event::End && xml.name() == "cellXfs")
            inCellStyles = false;
        if (event != XmlScanner::Event::Start)
            continue;
        if (xml.name() == "numFmt") {
            if (const auto id = parseUnsigned(xml.attribute("numFmtId")))
                formats.define(*id, std::string(xml.attribute("formatCode")));
        } else if (xml.name() == "cellXfs") {
            inCellStyles = true;
        } else if (xml.name() == "xf" && inCellStyles) {
            formats.addStyle(parseUnsigned(xml.attribute("numFmtId")).value_or(0));
        }
    }
}

// The shared strings of the workbook, from its shared strings part. The sink is polled now
// and then, as a large table takes a while before any sheet's text comes.
class SharedStrings {
public:
    SharedStrings(StringTable& strings, SheetSink& sink) : m_strings(strings), m_sink(sink) {}

    void read(const ZipArchive& archive, const ZipEntry& entry) {
        Part part(archive, entry);
        XmlScanner& xml = part.xml();
        std::string item;
        bool inItem = false, inText = false;
        int phonetic = 0;
        for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
            const std::string_view name = xml.name();
            switch (event) {
            case XmlScanner::Event::Start:
                if (name == "sst" && !inItem && !xml.isEmptyElement()) {
                    reserve(entry, parseUnsigned(xml.attribute("uniqueCount")).value_or(0));
                    readFast(xml);
                } else if (name == "si") {
                    inItem = true;
                    item.clear();
                } else if (name == "rPh") {
                    ++phonetic;
                } else if (name == "t") {
                    inText = inItem && phonetic == 0;
                }
                break;
            case XmlScanner::Event::End:
                if (name == "si" && inItem) {
                    appendUnescaped(item, m_strings.text());
                    endString();
                    inItem = false;
                } else if (name == "rPh") {
                    --phonetic;
                } else if (name == "t") {
                    inText = false;
                }
                break;
            case XmlScanner::Event::Text:
                if (inText)
                    item += xml.text();
                break;
            case XmlScanner::Event::Done:
                break;
            }
        }
    }

private:
    // Room for the strings the table says it holds, as far as its part can hold them: an item
    // takes 16 bytes of XML or more, and its text is what is left. A part deflated far beyond
    // what text gives is not believed.
    void reserve(const ZipEntry& entry, std::uint64_t count) {
        const std::uint64_t size =
            std::min(entry.size, 16 * std::max<std::uint64_t>(entry.compressedSize, 1));
        const std::uint64_t strings = std::min(count, size / 16);
        if (strings > 0)
            m_strings.reserve(static_cast<std::size_t>(strings),
                              static_cast<std::size_t>(size - 16 * strings));
    }

    void endString() {
        m_strings.endString();
        if (++m_unpolled == pollInterval) {
            m_unpolled = 0;
            m_sink.poll();
        }
    }

    // The items as most files write them, straight from the input, until anything else,
    // which `xml` goes on from.
    void readFast(XmlScanner& xml) {
        CellScanner fast(xml.input());
        while (fast.nextString() == CellScanner::Item::Text) {
            if (fast.mayHoldEscapes())
                appendUnescaped(fast.value(), m_strings.text());
            else
                m_strings.text() += fast.value();
            endString();
        }
    }

    static constexpr std::uint32_t pollInterval = 1u << 14;
    StringTable& m_strings;
    SheetSink& m_sink;
    std::uint32_t m_unpolled = 0;
};

// A cell reference such as "B12": letters then digits, within the largest sheet. Read for
// every cell, so in one pass over its bytes.
bool parseReference(std::string_view reference, std::int32_t& column, std::int64_t& row) {
    const char* p = reference.data();
    const char* const end = p + reference.size();
    std::int32_t letters = 0;
    for (const char* lettersEnd = p + std::min<std::size_t>(reference.size(), 3);
         p != lettersEnd && *p >= 'A' && *p <= 'Z'; ++p)
        letters = letters * 26 + (*p - 'A' + 1);
    // Past seven digits, without a leading zero, the row is past the last.
    if (letters == 0 || letters > maxColumns || p == end || *p == '0' || end - p > 7)
        return false;
    std::int64_t digits = 0;
    for (; p != end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        digits = digits * 10 + (*p - '0');
    }
    if (digits > maxRows)
        return false;
    column = letters;
    row = digits;
    return true;
}

struct Dimension {
    std::int32_t columns = 0;
    std::int64_t rows = 0;
};

// True when `reference` is letters then digits naming a cell past XFD1048576.
bool pastTheGrid(std::string_view reference) {
    const std::size_t digits = reference.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    std::int32_t column = 0;
    std::int64_t row = 0;
    return digits > 0 && digits < reference.size() &&
           reference.find_first_not_of("0123456789", digits) == std::string_view::npos &&
           !parseReference(reference, column, row) && reference[digits] != '0';
}

// The last cell of the sheet's <dimension>, when it states one before the cells. A range
// reaching past the largest sheet is damage; one that is not a range at all is left unread.
Dimension readDimension(const ZipArchive& archive, const ZipEntry& entry) {
    Part part(archive, entry);
    XmlScanner& xml = part.xml();
    for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
        if (event != XmlScanner::Event::Start)
            continue;
        if (xml.name() == "sheetData")
            break;
        if (xml.name() == "dimension") {
            const std::string_view ref = xml.attribute("ref");
            const std::size_t colon = ref.find(':');
            const std::string_view last = colon == std::string_view::npos ? ref : ref.substr(colon + 1);
            if (pastTheGrid(ref.substr(0, colon)) || pastTheGrid(last))
                xml.fail("工作表范围“" + std::string(ref) + "”超出工作表");
            Dimension dimension;
            if (!parseReference(last, dimension.columns, dimension.rows))
                return {};
            return dimension;
        }
    }
    return {};
}

class WorksheetReader {
public:
    WorksheetReader(const StringTable& strings, const FormatTable& formats, DateSystem dates)
        : m_strings(strings), m_formats(formats), m_dates(dates) {}

    // Hands every cell of the worksheet part `entry` to `writer`.
    void pass(const ZipArchive& archive, const ZipEntry& entry, SheetWriter& writer) {
        Part part(archive, entry);
        XmlScanner& xml = part.xml();
        m_row = 0;
        m_column = 0;
        m_rowDigitsSize = 0;
        try {
            scan(xml, writer);
        } catch (ReadError& error) {
            error.locate({entry.name, m_row});
            throw;
        }
    }

private:
    enum class Kind { Number, Shared, Inline, Text, Boolean, Error, Date };

    void scan(XmlScanner& xml, SheetWriter& writer) {
        bool inData = false, inCell = false, inValue = false, inInline = false, inText = false;
        int phonetic = 0;
        for (auto event = xml.next(); event != XmlScanner::Event::Done; event = xml.next()) {
            if (event == XmlScanner::Event::Text) {
                if (inValue || (inText && phonetic == 0))
                    m_value += xml.text();
                continue;
            }
            const std::string_view name = xml.name();
            if (event == XmlScanner::Event::Start) {
                if (!inData) {
                    inData = name == "sheetData";
                    if (inData && !xml.isEmptyElement())
                        scanFast(xml, writer);
                } else if (name == "c") {
                    startCell(xml, xml.attribute("r"), xml.attribute("s"), xml.attribute("t"));
                    m_value.clear();
                    inCell = true;
                } else if (inCell) {
                    if (name == "v")
                        inValue = true;
                    else if (name == "is")
                        inInline = true;
                    else if (name == "t")
                        inText = inInline;
                    else if (name == "rPh")
                        ++phonetic;
                } else if (name == "row") {
                    startRow(xml, xml.attribute("r"));
                }
            } else if (inData) {
                if (name == "c") {
                    writer.cell(m_cellRow, m_column, cellText(xml, m_value));
                    inCell = inValue = inInline = inText = false;
                    phonetic = 0;
                } else if (name == "v") {
                    inValue = false;
                } else if (name == "t") {
                    inText = false;
                } else if (name == "rPh") {
                    --phonetic;
                } else if (name == "sheetData") {
                    inData = false;
                }
            }
        }
    }

    // The rows and cells as most files write them, straight from the input, until
    // </sheetData> or anything else, which `xml` goes on from.
    void scanFast(XmlScanner& xml, SheetWriter& writer) {
        CellScanner fast(xml.input());
        for (auto item = fast.next();; item = fast.next()) {
            if (item == CellScanner::Item::Row) {
                startRow(xml, fast.reference());
            } else if (item == CellScanner::Item::Cell) {
                startCell(xml, fast.reference(), fast.style(), fast.type());
                writer.cell(m_cellRow, m_column, cellText(xml, fast.value()));
            } else {
                if (fast.inRow())
                    xml.opened("row");
                return;
            }
        }
    }

    void startRow(const XmlScanner& xml, std::string_view r) {
        const auto number = r.empty() ? std::optional<std::uint64_t>(m_row + 1) : parseUnsigned(r);
        if (!number || *number < 1 || *number > std::uint64_t(maxRows)) {
            m_row = 0; // the row's number is what is wrong: no row to name
            xml.fail("行号“" + std::string(r) + "”无效");
        }
        m_row = static_cast<std::int64_t>(*number);
        m_column = 0;
        m_rowDigitsSize = static_cast<std::size_t>(
            std::to_chars(m_rowDigits, m_rowDigits + sizeof m_rowDigits, m_row).ptr - m_rowDigits);
    }

    // Most references name a cell of the row being read, in its digits as they are written
    // without a leading zero: only their letters need reading.
    bool cellOfRow(std::string_view reference) {
        std::size_t i = 0;
        std::int32_t letters = 0;
        for (; i < reference.size() && i < 3 && reference[i] >= 'A' && reference[i] <= 'Z'; ++i)
            letters = letters * 26 + (reference[i] - 'A' + 1);
        if (i == 0 || letters > maxColumns || m_rowDigitsSize == 0 ||
            reference.substr(i) != std::string_view(m_rowDigits, m_rowDigitsSize))
            return false;
        m_column = letters;
        m_cellRow = m_row;
        return true;
    }

    void startCell(const XmlScanner& xml, std::string_view reference, std::string_view style,
                   std::string_view type) {
        if (reference.empty()) {
            m_cellRow = m_row == 0 ? 1 : m_row;
            ++m_column;
        } else if (!cellOfRow(reference) && !parseReference(reference, m_column, m_cellRow)) {
            xml.fail("单元格位置“" + std::string(reference) + "”无效");
        }
        if (m_row == 0)
            m_row = m_cellRow;
        m_style = style.empty() ? 0 : parseUnsigned(style).value_or(0);
        if (type.empty() || type == "n")
            m_kind = Kind::Number;
        else if (type.size() == 1 && type[0] == 's')
            m_kind = Kind::Shared;
        else if (type == "inlineStr")
            m_kind = Kind::Inline;
        else if (type == "str")
            m_kind = Kind::Text;
        else if (type == "b")
            m_kind = Kind::Boolean;
        else if (type == "e")
            m_kind = Kind::Error;
        else if (type == "d")
            m_kind = Kind::Date;
        else
            invalid(xml, "类型");
    }

    // The text of the cell begun last, whose value is written `value`.
    std::string_view cellText(const XmlScanner& xml, std::string_view value) {
        m_text.clear();
        if (value.empty())
            return m_text;
        const NumberFormat& format = m_formats.ofStyle(m_style);
        switch (m_kind) {
        case Kind::Number: {
            // Most numbers are whole, shown as General: as written, when General shows all
            // their digits.
            if (value.size() <= 11 && (value[0] != '0' || value.size() == 1) &&
                m_formats.showsGeneral(m_style) &&
                value.find_first_not_of("0123456789") == std::string_view::npos)
                return value;
            double number = 0;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
            if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(number))
                invalid(xml, "数值");
            format.format(number, m_dates, m_text);
            break;
        }
        case Kind::Shared: {
            const auto index = parseUnsigned(value);
            const auto text = index ? m_strings.at(*index) : std::nullopt;
            if (!text)
                invalid(xml, "共享字符串序号");
            if (format.showsTextAsIs())
                return *text; // most text: handed on from the table, not copied twice
            format.formatText(*text, m_text);
            break;
        }
        case Kind::Inline:
        case Kind::Text:
            m_unescaped.clear();
            appendUnescaped(value, m_unescaped);
            format.formatText(m_unescaped, m_text);
            break;
        case Kind::Boolean:
            if (value != "0" && value != "1")
                invalid(xml, "逻辑值");
            m_text = value == "1" ? "TRUE" : "FALSE";
            break;
        case Kind::Error:
            return value;
        case Kind::Date: {
            const auto serial = isoDateSerial(value, m_dates);
            if (!serial)
                invalid(xml, "日期");
            format.format(*serial, m_dates, m_text);
            break;
        }
        }
        return m_text;
    }

    [[noreturn]] void invalid(const XmlScanner& xml, std::string_view what) const {
        damaged(std::string(what) + "无效", {xml.part(), m_cellRow, m_column});
    }

    const StringTable& m_strings;
    const FormatTable& m_formats;
    const DateSystem m_dates;
    std::int64_t m_row = 0;     // the row being read, 0 before the first
    std::int32_t m_column = 0;  // the column of the cell read last in the row
    std::int64_t m_cellRow = 0; // the row of the cell being read
    char m_rowDigits[8] = {};   // m_row in decimal, m_rowDigitsSize of them, none before the first
    std::size_t m_rowDigitsSize = 0;
    std::uint64_t m_style = 0;
    Kind m_kind = Kind::Number;
    std::string m_value;     // the cell's value as written, when XmlScanner reads it
    std::string m_unescaped; // a text value with its escapes decoded
    std::string m_text;      // the cell's text as shown
};

} // namespace

void readXlsx(const ZipArchive& archive, const std::string& workbookName, SheetSink& sink) {
    const WorkbookInfo workbook = readWorkbookPart(archive, requiredEntry(archive, workbookName));
    const std::vector<Relationship> relationships = readRelationships(archive, workbookName);
    const std::string folder = folderOf(workbookName);
    FormatTable formats;
    if (const ZipEntry* entry = archive.find(targetOfType(relationships, "styles", folder + "styles.xml")))
        readStyles(archive, *entry, formats);
    formats.settle();
    StringTable strings;
    if (const ZipEntry* entry =
            archive.find(targetOfType(relationships, "sharedStrings", folder + "sharedStrings.xml")))
        SharedStrings(strings, sink).read(archive, *entry);

    std::unordered_map<std::string_view, const Relationship*> byId;
    for (const Relationship& relationship : relationships)
        byId.try_emplace(relationship.id, &relationship);
    VisibleSheets visible(sink);
    WorksheetReader reader(strings, formats, workbook.dates);
    for (const SheetInfo& sheet : workbook.sheets) {
        if (!VisibleSheets::reads(sheet.visibility))
            continue;
        const auto relationship = byId.find(sheet.relationship);
        if (relationship == byId.end())
            damaged("工作表“" + sheet.name + "”没有对应的部分", {workbookName});
        if (!relationship->second->type.ends_with("/worksheet"))
            continue; // a chart, dialog or macro sheet holds no cells to copy
        const ZipEntry& entry = requiredEntry(archive, relationship->second->target);
        const Dimension dimension = readDimension(archive, entry);
        // The text is about a quarter of the XML that writes it. Room beyond the text costs
        // nothing until it is written, where running short means a copy of all the rows, so a
        // third is asked for.
        const SheetSize expected{dimension.rows, static_cast<std::size_t>(entry.size / 3)};
        writeSheet(visible, expected, dimension.columns,
                   [&](SheetWriter& writer) { reader.pass(archive, entry, writer); });
    }
    visible.finish();
}

std::string officeDocumentPart(const ZipArchive& archive) {
    return targetOfType(readRelationships(archive, ""), "officeDocument", "");
}

} // namespace brisquel::sheets
