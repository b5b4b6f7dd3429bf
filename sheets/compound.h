// Compound files (the container of .xls, .doc and of password-protected .xlsx): the streams
// of the root storage, found by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::sheets {

// Reads the header, the sector tables and the directory of the compound file in `bytes`
// (which must outlive it); a damaged one throws ReadError. Streams are read on demand.
class CompoundFile {
public:
    explicit CompoundFile(std::string_view bytes);

    // Whether the root storage holds a stream or storage named `name` (ASCII, any case).
    bool contains(std::string_view name) const;
    // Whether a name there begins with `prefix` (ASCII, any case).
    bool containsPrefix(std::string_view prefix) const;
    // The stream `name` of the root storage, or nothing when there is none. The bytes stay in
    // the file when its sectors follow one another, otherwise they are gathered in `storage`.
    std::string_view stream(std::string_view name, std::string& storage) const;

private:
    struct Entry {
        std::u16string name;
        std::uint8_t type = 0; // 1 storage, 2 stream, 5 root
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    std::string_view sector(std::uint32_t index) const;
    std::vector<std::uint32_t> chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                     std::uint64_t sectors) const;
    void readTables();
    void readDirectory(std::uint32_t start);
    std::vector<std::uint32_t> rootChildren() const;
    const Entry* find(std::string_view name, bool prefix = false) const;
    std::string_view gather(std::uint32_t start, std::uint64_t size, std::string& storage) const;

    std::string_view m_bytes;
    std::uint32_t m_sectorShift = 9;
    std::uint32_t m_sectorCount = 0; // sectors the file really holds, the last maybe cut short
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_rootStreams; // entries in the root storage
    std::string m_miniStorage;
    std::string_view m_miniStream;
};

} // namespace brisquel::sheets
