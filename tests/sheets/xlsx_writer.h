// Writes ZIP archives and small workbooks for the readers' tests and benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

namespace brisquel::sheets::testing {

// A ZIP archive built in memory, its entries deflated (or stored) through zlib.
class ZipWriter {
public:
    explicit ZipWriter(bool zip64 = false) : m_zip64(zip64) {}
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    void add(std::string_view name, std::string_view content, bool deflate = true);
    // A deflated entry written piece by piece.
    void begin(std::string_view name);
    void write(std::string_view piece);
    void end();
    // The archive, with its central directory.
    std::string finish();

private:
    struct Entry {
        std::string name;
        std::uint64_t offset, compressedSize, size;
        std::uint32_t crc;
        std::uint16_t method;
    };
    void deflatePiece(std::string_view piece, int flush);
    void patchLocalHeader(const Entry& entry);

    bool m_zip64;
    std::string m_bytes;
    std::vector<Entry> m_entries;
    z_stream m_stream{};
    bool m_open = false;
};

// One cell of a test sheet. Kinds: 's' shared string, 'i' inline string, 'f' formula giving
// text, 'n' number, 'b' boolean, 'e' error.
struct TestCell {
    std::int64_t row;
    std::int32_t column;
    char kind;
    std::string value; // as the XML holds it, before escaping
    int style = 0;     // 0 General, i > 0 the workbook's formats[i - 1]
};

struct TestSheet {
    std::string name;
    std::vector<TestCell> cells;
    std::string dimension; // the <dimension> ref, none when empty
    std::string state;     // "", "hidden" or "veryHidden"
};

struct TestWorkbook {
    std::vector<TestSheet> sheets;
    std::vector<std::string> formats;
    bool date1904 = false;
};

std::string xmlEscaped(std::string_view text);
// "A1" for column 1, row 1.
std::string cellReference(std::int32_t column, std::int64_t row);
// Everything of a workbook but its worksheets and shared strings: worksheet i is expected
// as xl/worksheets/sheet{i+1}.xml.
void addWorkbookParts(ZipWriter& zip, const TestWorkbook& workbook);
// The whole .xlsx file of `workbook`.
std::string xlsxFile(const TestWorkbook& workbook);

} // namespace brisquel::sheets::testing
