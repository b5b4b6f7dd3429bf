// BIFF8 and BIFF5 records and the compound file around them, written the plain way Excel writes them.
#include "xls_writer.h"

#include <algorithm>
#include <bit>
#include <numeric>

namespace brisquel::sheets::testing {

namespace {

constexpr std::uint32_t endOfChain = 0xFFFFFFFE;
constexpr std::uint16_t continueRecord = 0x3C;

// Appends the chain of `count` sectors from `first` to `table`.
void chainInto(std::vector<std::uint32_t>& table, std::uint32_t first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        table.push_back(i + 1 == count ? endOfChain : first + static_cast<std::uint32_t>(i) + 1);
}

std::string tableBytes(const std::vector<std::uint32_t>& table) {
    std::string bytes;
    for (std::uint32_t next : table)
        bytes += le(next, 4);
    return bytes;
}

std::string padded(std::string bytes, std::size_t unit) {
    bytes.resize((bytes.size() + unit - 1) / unit * unit, '\0');
    return bytes;
}

} // namespace

std::string le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

std::string record(std::uint16_t type, std::string_view data) {
    return le(type, 2) + le(data.size(), 2) + std::string(data);
}

std::string cellHead(int row, int column, int xf) {
    return le(static_cast<std::uint64_t>(row), 2) + le(static_cast<std::uint64_t>(column), 2) +
           le(static_cast<std::uint64_t>(xf), 2);
}

std::string numberCell(int row, int column, double value, int xf) {
    return record(0x0203, cellHead(row, column, xf) + le(std::bit_cast<std::uint64_t>(value), 8));
}

std::string sstCell(int row, int column, std::uint32_t index, int xf) {
    return record(0x00FD, cellHead(row, column, xf) + le(index, 4));
}

std::string sharedStrings(const std::vector<std::u16string>& strings, std::size_t limit) {
    std::string out;
    std::string data = le(strings.size(), 4) + le(strings.size(), 4);
    std::uint16_t type = 0x00FC;
    auto flush = [&] {
        out += record(type, data);
        data.clear();
        type = continueRecord;
    };
    for (const std::u16string& text : strings) {
        const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
        if (data.size() + 4 > limit)
            flush();
        data += le(text.size(), 2) + le(wide ? 1 : 0, 1);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (data.size() + (wide ? 2 : 1) > limit) {
                flush();
                data += le(wide ? 1 : 0, 1);
            }
            data += le(text[i], wide ? 2 : 1);
        }
    }
    flush();
    return out;
}

std::string byteLabel(int row, int column, std::string_view bytes, int xf) {
    return record(0x0204, cellHead(row, column, xf) + le(bytes.size(), 2) + std::string(bytes));
}

std::string workbookStream(std::string_view globals, const std::vector<XlsSheet>& sheets, bool biff5) {
    const std::string version = le(biff5 ? 0x0500 : 0x0600, 2);
    const std::string bof = record(0x0809, version + le(0x0005, 2) + std::string(12, '\0'));
    const std::string sheetBof = record(0x0809, version + le(0x0010, 2) + std::string(12, '\0'));
    const std::string eof = record(0x000A, "");
    std::size_t offset = bof.size() + globals.size() + eof.size() + sheets.size() * (biff5 ? 13 : 14);
    std::string head = bof + std::string(globals);
    std::string body;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string name = {'S', static_cast<char>('0' + i % 10)};
        head += record(0x0085, le(offset, 4) + le(static_cast<std::uint64_t>(sheets[i].visibility), 1) +
                                   le(0, 1) + le(name.size(), 1) + (biff5 ? "" : le(0, 1)) + name);
        const std::string sheet = sheetBof + sheets[i].records + eof;
        offset += sheet.size();
        body += sheet;
    }
    return head + eof + body;
}

std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams,
                         unsigned sectorShift) {
    const std::size_t sectorSize = std::size_t{1} << sectorShift;
    const std::uint32_t perSector = static_cast<std::uint32_t>(sectorSize / 4);
    std::vector<std::uint32_t> fat, miniFat;
    std::string sectors, mini;
    std::vector<std::uint32_t> starts;
    for (const auto& [name, bytes] : streams) {
        if (bytes.size() >= 4096) {
            starts.push_back(static_cast<std::uint32_t>(fat.size()));
            chainInto(fat, starts.back(), (bytes.size() + sectorSize - 1) / sectorSize);
            sectors += padded(bytes, sectorSize);
        } else {
            starts.push_back(bytes.empty() ? endOfChain : static_cast<std::uint32_t>(miniFat.size()));
            chainInto(miniFat, starts.back(), (bytes.size() + 63) / 64);
            mini += padded(bytes, 64);
        }
    }
    auto place = [&](const std::string& bytes) {
        const std::uint32_t first = static_cast<std::uint32_t>(fat.size());
        chainInto(fat, first, (bytes.size() + sectorSize - 1) / sectorSize);
        sectors += padded(bytes, sectorSize);
        return bytes.empty() ? endOfChain : first;
    };
    const std::uint32_t miniStart = place(mini);
    const std::string miniFatBytes = tableBytes(miniFat);
    const std::uint32_t miniFatStart = place(miniFatBytes);
    auto entry = [&](const std::string& name, int type, std::uint32_t right, std::uint32_t child,
                     std::uint32_t start, std::uint64_t size) {
        std::string raw;
        for (char c : name)
            raw += le(static_cast<unsigned char>(c), 2);
        raw.resize(64, '\0');
        raw += le((name.size() + 1) * 2, 2) + le(type, 1) + le(1, 1) + le(0xFFFFFFFF, 4) + le(right, 4) +
               le(child, 4) + std::string(36, '\0') + le(start, 4) + le(size, 8);
        return raw;
    };
    std::string directory =
        entry("Root Entry", 5, 0xFFFFFFFF, streams.empty() ? 0xFFFFFFFF : 1, miniStart, mini.size());
    for (std::size_t i = 0; i < streams.size(); ++i)
        directory += entry(streams[i].first, 2,
                           i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : 0xFFFFFFFF,
                           0xFFFFFFFF, starts[i], streams[i].second.size());
    const std::uint32_t directoryStart = place(directory);
    // The FAT covers its own sectors and the DIFAT's, which list the FAT's beyond the 109 in
    // the header.
    std::size_t fatSectors = 0, difatSectors = 0;
    while ((fat.size() + fatSectors + difatSectors + perSector - 1) / perSector > fatSectors) {
        ++fatSectors;
        difatSectors = fatSectors > 109 ? (fatSectors - 109 + perSector - 2) / (perSector - 1) : 0;
    }
    const std::uint32_t fatStart = static_cast<std::uint32_t>(fat.size());
    const std::uint32_t difatStart = fatStart + static_cast<std::uint32_t>(fatSectors);
    fat.insert(fat.end(), fatSectors, 0xFFFFFFFD);
    fat.insert(fat.end(), difatSectors, 0xFFFFFFFC);
    fat.resize(fatSectors * perSector, 0xFFFFFFFF);
    sectors += tableBytes(fat);
    std::vector<std::uint32_t> fatIds(fatSectors);
    std::iota(fatIds.begin(), fatIds.end(), fatStart);
    fatIds.resize(std::max<std::size_t>(109, 109 + difatSectors * (perSector - 1)), 0xFFFFFFFF);
    for (std::size_t d = 0; d < difatSectors; ++d) {
        for (std::size_t i = 0; i + 1 < perSector; ++i)
            sectors += le(fatIds[109 + d * (perSector - 1) + i], 4);
        sectors += le(d + 1 < difatSectors ? difatStart + d + 1 : endOfChain, 4);
    }
    std::string header = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + std::string(16, '\0') + le(0x3E, 2) +
                         le(sectorShift == 12 ? 4 : 3, 2) + le(0xFFFE, 2) + le(sectorShift, 2) + le(6, 2) +
                         std::string(6, '\0') +
                         le(sectorShift == 12 ? (directory.size() + 4095) / 4096 : 0, 4) + le(fatSectors, 4) +
                         le(directoryStart, 4) + le(0, 4) + le(4096, 4) + le(miniFatStart, 4) +
                         le((miniFatBytes.size() + sectorSize - 1) / sectorSize, 4) +
                         le(difatSectors > 0 ? difatStart : endOfChain, 4) + le(difatSectors, 4);
    header += tableBytes({fatIds.begin(), fatIds.begin() + 109});
    return padded(header, sectorSize) + sectors;
}

} // namespace brisquel::sheets::testing
