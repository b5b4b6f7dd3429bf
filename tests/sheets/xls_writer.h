// A small writer of BIFF8 and BIFF5 records and compound files, for the reader's edge cases and the
// benchmark's large workbooks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisquel::sheets::testing {

// `value` as `bytes` little-endian bytes.
std::string le(std::uint64_t value, int bytes);
std::string record(std::uint16_t type, std::string_view data);
// The row, column and XF that every cell record begins with.
std::string cellHead(int row, int column, int xf = 0);
std::string numberCell(int row, int column, double value, int xf = 0);
std::string sstCell(int row, int column, std::uint32_t index, int xf = 0);
// SST and CONTINUE records holding `strings` (UTF-16), at most `limit` bytes a record, a
// string's characters cut at a record's end as Excel cuts them.
std::string sharedStrings(const std::vector<std::u16string>& strings, std::size_t limit = 8224);

struct XlsSheet {
    std::string records; // between the sheet's BOF and EOF
    int visibility = 0;  // BOUNDSHEET's: 0 visible, 1 hidden, 2 very hidden
};
// A Workbook stream: BOF, `globals`, one BOUNDSHEET a sheet, EOF, then the sheets; with
// `biff5`, the records of Excel 5.0/95.
std::string workbookStream(std::string_view globals, const std::vector<XlsSheet>& sheets, bool biff5 = false);
// Excel 5.0/95's LABEL: a string of `bytes` in the workbook's code page.
std::string byteLabel(int row, int column, std::string_view bytes, int xf = 0);

// A compound file of sectors of 1 << `sectorShift` bytes whose root holds `streams` (name,
// bytes), streams under 4096 bytes in the mini stream. Streams come first in their order,
// so the first stream of 4096 bytes or more begins at sector 0.
std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams,
                         unsigned sectorShift = 9);

} // namespace brisquel::sheets::testing
