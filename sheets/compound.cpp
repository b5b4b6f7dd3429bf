// The compound file's header, sector tables and directory, each checked against the bytes
// the file really holds before it is followed.
#include "sheets/compound.h"

#include "sheets/little_endian.h"
#include "sheets/sheet_sink.h"

#include <algorithm>
#include <limits>

namespace brisquel::sheets {

namespace {

constexpr std::uint32_t endOfChain = 0xFFFFFFFE;
constexpr std::uint32_t noEntry = 0xFFFFFFFF;
constexpr std::uint32_t miniSectorSize = 64;
constexpr std::uint64_t toTheEnd = std::numeric_limits<std::uint64_t>::max();

[[noreturn]] void damagedFile(const char* what) {
    damaged(what, {"复合文档结构"});
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

} // namespace

CompoundFile::CompoundFile(std::string_view bytes) : m_bytes(bytes) {
    if (bytes.size() < 512 || !bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        damagedFile("文件头不完整");
    m_sectorShift = u16At(bytes, 0x1E);
    if ((m_sectorShift != 9 && m_sectorShift != 12) || u16At(bytes, 0x20) != 6)
        damagedFile("扇区大小无效");
    const std::size_t sectorSize = std::size_t{1} << m_sectorShift;
    if (bytes.size() <= sectorSize)
        damagedFile("没有扇区");
    const std::size_t sectors = (bytes.size() - 1) / sectorSize; // the header fills sector -1
    m_sectorCount = static_cast<std::uint32_t>(std::min<std::size_t>(sectors, endOfChain - 1));
    m_miniCutoff = u32At(bytes, 0x38);
    readTables();
    readDirectory(u32At(bytes, 0x30));
    const Entry& root = m_entries[0];
    m_miniStream = gather(root.start, root.size, m_miniStorage);
}

std::string_view CompoundFile::sector(std::uint32_t index) const {
    if (index >= m_sectorCount)
        damagedFile("扇区链指向文件之外");
    const std::size_t at = (std::size_t{index} + 1) << m_sectorShift;
    return m_bytes.substr(at, std::size_t{1} << m_sectorShift);
}

// The sectors of the chain from `start`, `wanted` of them or up to its end. A chain that
// comes back to a sector it passed, or leaves the table, is damaged.
std::vector<std::uint32_t> CompoundFile::chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                               std::uint64_t wanted) const {
    std::vector<std::uint32_t> sectors;
    std::vector<bool> seen(table.size());
    for (std::uint32_t at = start; sectors.size() < wanted; at = table[at]) {
        if (at == endOfChain && wanted == toTheEnd)
            break;
        if (at >= table.size())
            damagedFile(at == endOfChain ? "数据流比其扇区链长" : "扇区链指向文件之外");
        if (seen[at])
            damagedFile("扇区链循环");
        seen[at] = true;
        sectors.push_back(at);
    }
    return sectors;
}

void CompoundFile::readTables() {
    const std::uint32_t fatSectors = u32At(m_bytes, 0x2C);
    if (fatSectors > m_sectorCount)
        damagedFile("分配表扇区数超出文件");
    std::vector<std::uint32_t> fatIds;
    for (std::size_t i = 0; i < 109 && fatIds.size() < fatSectors; ++i)
        fatIds.push_back(u32At(m_bytes, 0x4C + 4 * i));
    // The rest of the FAT's sectors are listed in the DIFAT's chain of sectors, each ending
    // with the number of the next.
    const std::uint32_t perSector = (std::uint32_t{1} << m_sectorShift) / 4;
    std::uint32_t difat = u32At(m_bytes, 0x44);
    std::vector<bool> seen(m_sectorCount);
    while (fatIds.size() < fatSectors) {
        if (difat >= m_sectorCount || seen[difat])
            damagedFile("DIFAT 扇区链无效");
        seen[difat] = true;
        const std::string_view ids = sector(difat);
        if (ids.size() < perSector * 4)
            damagedFile("DIFAT 扇区不完整");
        for (std::uint32_t i = 0; i + 1 < perSector && fatIds.size() < fatSectors; ++i)
            fatIds.push_back(u32At(ids, 4 * i));
        difat = u32At(ids, 4 * (perSector - 1));
    }
    m_fat.reserve(std::size_t{fatSectors} * perSector);
    for (std::uint32_t id : fatIds) {
        const std::string_view ids = sector(id);
        if (ids.size() < perSector * 4)
            damagedFile("分配表扇区不完整");
        for (std::uint32_t i = 0; i < perSector; ++i)
            m_fat.push_back(u32At(ids, 4 * i));
    }
    const std::uint32_t miniFatSectors = u32At(m_bytes, 0x40);
    if (miniFatSectors > m_sectorCount)
        damagedFile("短分配表扇区数超出文件");
    const std::uint32_t miniFatStart = u32At(m_bytes, 0x3C);
    if (miniFatSectors == 0 || miniFatStart == endOfChain)
        return;
    for (std::uint32_t id : chain(miniFatStart, m_fat, miniFatSectors)) {
        const std::string_view ids = sector(id);
        for (std::size_t i = 0; i + 4 <= ids.size(); i += 4)
            m_miniFat.push_back(u32At(ids, i));
    }
}

void CompoundFile::readDirectory(std::uint32_t start) {
    for (std::uint32_t id : chain(start, m_fat, toTheEnd)) {
        const std::string_view entries = sector(id);
        for (std::size_t at = 0; at + 128 <= entries.size(); at += 128) {
            const std::string_view raw = entries.substr(at, 128);
            Entry entry;
            const std::size_t nameBytes = std::min<std::size_t>(u16At(raw, 0x40), 64);
            for (std::size_t i = 0; i + 1 < nameBytes; i += 2)
                entry.name.push_back(static_cast<char16_t>(u16At(raw, i)));
            while (!entry.name.empty() && entry.name.back() == 0)
                entry.name.pop_back();
            entry.type = static_cast<std::uint8_t>(raw[0x42]);
            entry.left = u32At(raw, 0x44);
            entry.right = u32At(raw, 0x48);
            entry.child = u32At(raw, 0x4C);
            entry.start = u32At(raw, 0x74);
            entry.size = u32At(raw, 0x78);
            // Files of 512-byte sectors may leave garbage in the size's high half.
            if (m_sectorShift == 12)
                entry.size |= std::uint64_t{u32At(raw, 0x7C)} << 32;
            m_entries.push_back(std::move(entry));
        }
    }
    if (m_entries.empty() || m_entries[0].type != 5)
        damagedFile("没有根目录");
    m_rootStreams = rootChildren();
}

// The root storage's children form a tree through the left, right and child links; a link
// that leads back into the tree is damage, not a loop to follow.
std::vector<std::uint32_t> CompoundFile::rootChildren() const {
    std::vector<std::uint32_t> children;
    std::vector<bool> seen(m_entries.size());
    std::vector<std::uint32_t> pending{m_entries[0].child};
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id == noEntry)
            continue;
        if (id >= m_entries.size() || seen[id] || id == 0)
            damagedFile("目录树无效");
        seen[id] = true;
        children.push_back(id);
        pending.push_back(m_entries[id].left);
        pending.push_back(m_entries[id].right);
    }
    return children;
}

const CompoundFile::Entry* CompoundFile::find(std::string_view name, bool prefix) const {
    for (std::uint32_t id : m_rootStreams) {
        const Entry& entry = m_entries[id];
        if ((entry.name.size() == name.size() || (prefix && entry.name.size() > name.size())) &&
            std::equal(name.begin(), name.end(), entry.name.begin(), [](char a, char16_t b) {
                return asciiLower(static_cast<char16_t>(static_cast<unsigned char>(a))) == asciiLower(b);
            }))
            return &entry;
    }
    return nullptr;
}

bool CompoundFile::contains(std::string_view name) const {
    return find(name) != nullptr;
}

bool CompoundFile::containsPrefix(std::string_view prefix) const {
    return find(prefix, true) != nullptr;
}

std::string_view CompoundFile::stream(std::string_view name, std::string& storage) const {
    const Entry* entry = find(name);
    if (entry == nullptr || entry->type != 2)
        return {};
    if (entry->size >= m_miniCutoff)
        return gather(entry->start, entry->size, storage);
    if (entry->size > std::uint64_t{m_miniFat.size()} * miniSectorSize)
        damagedFile("数据流比短分配表长");
    // No longer than the short sectors held in memory: a size_t.
    const auto size = static_cast<std::size_t>(entry->size);
    storage.clear();
    storage.reserve(size);
    const std::uint64_t wanted = (entry->size + miniSectorSize - 1) / miniSectorSize;
    for (std::uint32_t id : chain(entry->start, m_miniFat, wanted)) {
        const std::size_t at = std::size_t{id} * miniSectorSize;
        if (at + miniSectorSize > m_miniStream.size())
            damagedFile("短扇区在短数据流之外");
        storage.append(m_miniStream.substr(at, miniSectorSize));
    }
    storage.resize(size);
    return storage;
}

std::string_view CompoundFile::gather(std::uint32_t start, std::uint64_t size, std::string& storage) const {
    const std::size_t sectorSize = std::size_t{1} << m_sectorShift;
    if (size == 0)
        return {};
    if (size > std::uint64_t{m_sectorCount} * sectorSize)
        damagedFile("数据流比文件长");
    const std::vector<std::uint32_t> sectors = chain(start, m_fat, (size + sectorSize - 1) / sectorSize);
    const std::size_t length = static_cast<std::size_t>(size);
    const std::size_t first = (std::size_t{start} + 1) * sectorSize;
    bool together = first + length <= m_bytes.size();
    for (std::size_t i = 1; together && i < sectors.size(); ++i)
        together = sectors[i] == sectors[i - 1] + 1;
    if (together)
        return m_bytes.substr(first, length);
    storage.clear();
    storage.reserve(length);
    for (std::uint32_t id : sectors)
        storage.append(sector(id));
    if (storage.size() < length)
        damagedFile("数据流比文件短");
    storage.resize(length);
    return storage;
}

} // namespace brisquel::sheets
