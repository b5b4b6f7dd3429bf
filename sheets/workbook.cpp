// The kinds of report file: the container is told by the file's first bytes, the kind inside
// it by the parts or streams it holds or, for markup, by its first tags, each kind a row of one
// table. Adding a kind is adding its row and its reader.
#include "sheets/workbook.h"

#include "sheets/compound.h"
#include "sheets/html.h"
#include "sheets/ods.h"
#include "sheets/text_file.h"
#include "sheets/xls.h"
#include "sheets/xlsx.h"
#include "sheets/xml_spreadsheet.h"
#include "sheets/zip.h"

#include <algorithm>
#include <optional>
#include <string>

namespace brisquel::sheets {

namespace {

// A ZIP archive as the kinds inside one are told: by the main part its package relationships
// name, by the parts it holds, by its mimetype.
struct Package {
    const ZipArchive& archive;
    std::string main;     // the officeDocument relationship's target, "" when none
    std::string mimetype; // the OpenDocument media type, "" when none

    bool holds(std::string_view part) const { return archive.find(part) != nullptr; }
};

struct ZipKind {
    // The part the kind's reader starts from, or nothing when the archive is not of the kind.
    std::optional<std::string> (*tell)(const Package& package);
    // Reads it; null for a kind that is only named.
    void (*read)(const ZipArchive& archive, const std::string& part, SheetSink& sink);
    Problem problem = Problem::NotASpreadsheet; // for a kind that is only named, what it is
    const char* name = "";
};

std::optional<std::string> when(bool holds, std::string part = {}) {
    return holds ? std::optional(std::move(part)) : std::nullopt;
}

constexpr ZipKind zipKinds[] = {
    {[](const Package& p) { return when(p.main.ends_with("workbook.bin") || p.holds("xl/workbook.bin")); },
     nullptr, Problem::OtherSpreadsheet, "Excel 二进制工作簿（.xlsb）"},
    {[](const Package& p) { return when(p.main.ends_with("workbook.xml") && p.holds(p.main), p.main); },
     readXlsx},
    {[](const Package& p) { return when(p.holds("xl/workbook.xml"), "xl/workbook.xml"); }, readXlsx},
    {[](const Package& p) {
         return when(p.mimetype.starts_with("application/vnd.oasis.opendocument.spreadsheet"));
     },
     [](const ZipArchive& archive, const std::string&, SheetSink& sink) { readOds(archive, sink); }},
    {[](const Package& p) { return when(p.mimetype.starts_with("application/vnd.oasis.opendocument.text")); },
     nullptr, Problem::NotASpreadsheet, "OpenDocument 文本文档"},
    {[](const Package& p) { return when(!p.mimetype.empty()); }, nullptr, Problem::NotASpreadsheet,
     "OpenDocument 文档"},
    {[](const Package& p) { return when(p.holds("word/document.xml") || p.main.starts_with("word/")); },
     nullptr, Problem::NotASpreadsheet, "Word 文档"},
    {[](const Package& p) { return when(p.holds("ppt/presentation.xml") || p.main.starts_with("ppt/")); },
     nullptr, Problem::NotASpreadsheet, "PowerPoint 演示文稿"},
};

// The streams of a compound file that tell its kind, in the order they are looked for.
struct CompoundKind {
    const char* stream; // the stream or storage of the root, or the start of its name
    bool prefix;
    void (*read)(const CompoundFile& file, std::string_view stream, SheetSink& sink); // null: named only
    Problem problem = Problem::NotASpreadsheet;
    const char* name = "";
};

constexpr CompoundKind compoundKinds[] = {
    {"Workbook", false, readXls},
    {"Book", false, readXls}, // Excel 5.0/95
    // Encrypted with AES, which takes a crypto library, even under the default password Excel
    // opens without asking: the notice says so.
    {"EncryptedPackage", false, nullptr, Problem::Encrypted,
     "加密的 Excel 工作簿（.xlsx），Excel 打开时不问密码的也用默认密码加密了"},
    {"WordDocument", false, nullptr, Problem::NotASpreadsheet, "Word 文档"},
    {"PowerPoint Document", false, nullptr, Problem::NotASpreadsheet, "PowerPoint 演示文稿"},
    {"ET", true, nullptr, Problem::OtherSpreadsheet, "WPS 表格文件（.et）"},
    {"WPS", true, nullptr, Problem::OtherSpreadsheet, "WPS 表格文件（.et）"},
    {"KSO", true, nullptr, Problem::OtherSpreadsheet, "WPS 表格文件（.et）"},
};

// The start of a file that begins with a tag, after any byte-order mark and whitespace, in
// lower case, as far as telling its kind needs; "" for a file that does not. UTF-16 is told by
// the low byte of each unit, which is all a tag's ASCII needs.
std::string markupHead(std::string_view bytes) {
    std::string head;
    std::size_t step = 1;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        bytes.remove_prefix(bytes[0] == '\xFF' ? 2 : 3); // the low byte: first, or second
        step = 2;
    }
    for (std::size_t i = 0; i < bytes.size() && head.size() < 4096; i += step) {
        const char c = bytes[i];
        if (head.empty() && (c == ' ' || c == '\t' || c == '\r' || c == '\n'))
            continue;
        if (head.empty() && c != '<')
            return {};
        head += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return head;
}

bool holds(std::string_view head, std::string_view text) {
    return head.find(text) != head.npos;
}

// Markup, told by its first tags, in the order they are looked for: business systems save their
// tables as web pages or as XML Spreadsheets, under any name.
struct MarkupKind {
    bool (*tell)(std::string_view head);
    void (*read)(std::string_view bytes, SheetSink& sink); // null: named only
    Problem problem = Problem::OtherSpreadsheet;
    const char* name = "";
};

constexpr MarkupKind markupKinds[] = {
    {[](std::string_view h) {
         // Its namespace or its processing instruction, and a Workbook for root: a web page that
         // names the namespace is still a web page.
         std::size_t at = h.find('<');
         while (at != h.npos && at + 1 < h.size() && (h[at + 1] == '?' || h[at + 1] == '!'))
             at = h.find('<', at + 1);
         const std::string_view root =
             at == h.npos ? "" : h.substr(at + 1, h.find_first_of(" \t\r\n/>", at) - at - 1);
         return (holds(h, "progid=\"excel.sheet\"") ||
                 holds(h, "urn:schemas-microsoft-com:office:spreadsheet")) &&
                (root == "workbook" || root.ends_with(":workbook"));
     },
     readXmlSpreadsheet},
    {[](std::string_view h) { return holds(h, "<html") || holds(h, "<table") || holds(h, "<!doctype html"); },
     readHtml},
    {[](std::string_view h) { return h.starts_with("<?xml"); }, nullptr, Problem::OtherSpreadsheet,
     "XML 格式的表格"},
};

} // namespace

void readZipWorkbook(std::string_view bytes, SheetSink& sink) {
    const ZipArchive archive(bytes);
    // Part names ignore ASCII case, so the main part is told in lower case.
    std::string main = officeDocumentPart(archive);
    std::transform(main.begin(), main.end(), main.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    Package package{archive, std::move(main), {}};
    if (const ZipEntry* mimetype = archive.find("mimetype"); mimetype && mimetype->size <= 256)
        package.mimetype = readZipEntry(archive, *mimetype, 256);
    for (const ZipKind& kind : zipKinds) {
        if (const std::optional<std::string> part = kind.tell(package)) {
            if (!kind.read)
                throw ReadError(kind.problem, kind.name);
            return kind.read(archive, *part, sink);
        }
    }
    throw ReadError(Problem::NotASpreadsheet, "ZIP 压缩包");
}

void readCompoundWorkbook(std::string_view bytes, SheetSink& sink) {
    const CompoundFile file(bytes);
    for (const CompoundKind& kind : compoundKinds) {
        if (kind.prefix ? file.containsPrefix(kind.stream) : file.contains(kind.stream)) {
            if (!kind.read)
                throw ReadError(kind.problem, kind.name);
            return kind.read(file, kind.stream, sink);
        }
    }
    throw ReadError(Problem::NotASpreadsheet, "复合文档");
}

void readWorkbook(std::string_view bytes, SheetSink& sink) {
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with(std::string_view("PK\x05\x06", 4)))
        return readZipWorkbook(bytes, sink);
    if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return readCompoundWorkbook(bytes, sink);
    if (const std::string head = markupHead(bytes); !head.empty()) {
        for (const MarkupKind& kind : markupKinds) {
            if (kind.tell(head)) {
                if (!kind.read)
                    throw ReadError(kind.problem, kind.name);
                return kind.read(bytes, sink);
            }
        }
    }
    readTextFile(bytes, sink);
}

} // namespace brisquel::sheets
