// The ZIP reader: every offset and size from the archive is checked against its bytes before
// use, and an entry is inflated in fixed pieces, never past the size its directory declares.
#include "sheets/zip.h"

#include "sheets/crc32.h"
#include "sheets/read_error.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace brisquel::sheets {

namespace {

constexpr std::size_t pieceSize = std::size_t{1} << 18;
// Deflate packs at most about 1032 bytes into one; a size declared beyond that is a lie.
constexpr std::uint64_t deflateMaxRatio = 1032;

[[noreturn]] void damagedArchive(std::string what) {
    damaged(std::move(what), {"ZIP 目录"});
}

// Little-endian fields of a record whose whole length was checked beforehand.
std::uint64_t field(std::string_view record, std::size_t offset, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(record[offset + static_cast<std::size_t>(i)]);
    return value;
}

std::uint16_t field16(std::string_view record, std::size_t offset) {
    return static_cast<std::uint16_t>(field(record, offset, 2));
}
std::uint32_t field32(std::string_view record, std::size_t offset) {
    return static_cast<std::uint32_t>(field(record, offset, 4));
}

// `length` bytes at `offset` of `bytes`, or Damaged.
std::string_view slice(std::string_view bytes, std::uint64_t offset, std::uint64_t length) {
    if (offset > bytes.size() || length > bytes.size() - offset)
        damagedArchive("记录超出文件末尾");
    return bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
}

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

constexpr std::size_t endRecordSize = 22;
constexpr std::size_t centralRecordSize = 46;
constexpr std::size_t localRecordSize = 30;

Directory findDirectory(std::string_view bytes) {
    if (bytes.size() < endRecordSize)
        damagedArchive("找不到目录");
    // The end record stands within the last 64 KiB of comment and its own 22 bytes.
    const std::size_t lowest =
        bytes.size() > 0xFFFF + endRecordSize ? bytes.size() - 0xFFFF - endRecordSize : 0;
    std::size_t at = bytes.size() - endRecordSize;
    while (bytes.substr(at, 4) != "PK\x05\x06") {
        if (at == lowest)
            damagedArchive("找不到目录");
        --at;
    }
    const std::string_view end = bytes.substr(at, endRecordSize);
    Directory directory{field16(end, 10), field32(end, 12), field32(end, 16)};
    if (directory.entries == 0xFFFF || directory.size == 0xFFFFFFFF || directory.offset == 0xFFFFFFFF) {
        // ZIP64: a locator just before the end record points at the larger end record.
        if (at < 20 || bytes.substr(at - 20, 4) != "PK\x06\x07")
            damagedArchive("ZIP64 定位记录缺失");
        const std::string_view record = slice(bytes, field(bytes.substr(at - 20, 20), 8, 8), 56);
        if (record.substr(0, 4) != "PK\x06\x06")
            damagedArchive("ZIP64 目录记录无效");
        directory = {field(record, 32, 8), field(record, 40, 8), field(record, 48, 8)};
    }
    return directory;
}

// Sizes and offset the 32-bit fields could not hold, taken from the ZIP64 extra field.
void readZip64Extra(std::string_view extra, ZipEntry& entry) {
    while (extra.size() >= 4) {
        const std::uint16_t id = field16(extra, 0);
        const std::size_t length = field16(extra, 2);
        if (length > extra.size() - 4)
            damagedArchive("扩展字段超出记录");
        std::string_view data = extra.substr(4, length);
        if (id == 0x0001) {
            for (std::uint64_t* value : {&entry.size, &entry.compressedSize, &entry.localHeaderOffset}) {
                if (*value != 0xFFFFFFFF)
                    continue;
                if (data.size() < 8)
                    damagedArchive("ZIP64 扩展字段过短");
                *value = field(data, 0, 8);
                data.remove_prefix(8);
            }
            return;
        }
        extra.remove_prefix(4 + length);
    }
}

// Names in order with ASCII letters folded to lower case.
bool foldedLess(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char x = fold(a[i]), y = fold(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

bool indexLess(std::string_view a, std::string_view b) {
    return foldedLess(a, b) || (!foldedLess(b, a) && a < b);
}

} // namespace

ZipArchive::ZipArchive(std::string_view bytes) : m_bytes(bytes) {
    const Directory directory = findDirectory(bytes);
    std::string_view records = slice(bytes, directory.offset, directory.size);
    if (directory.entries > records.size() / centralRecordSize)
        damagedArchive("条目数超出目录");
    m_entries.reserve(static_cast<std::size_t>(directory.entries));
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        if (records.size() < centralRecordSize || records.substr(0, 4) != "PK\x01\x02")
            damagedArchive("目录记录无效");
        const std::size_t nameLength = field16(records, 28);
        const std::size_t extraLength = field16(records, 30);
        const std::size_t commentLength = field16(records, 32);
        const std::size_t length = centralRecordSize + nameLength + extraLength + commentLength;
        if (length > records.size())
            damagedArchive("目录记录超出目录");
        ZipEntry entry;
        entry.flags = field16(records, 8);
        entry.method = field16(records, 10);
        entry.crc = field32(records, 16);
        entry.compressedSize = field32(records, 20);
        entry.size = field32(records, 24);
        entry.localHeaderOffset = field32(records, 42);
        entry.name = records.substr(centralRecordSize, nameLength);
        readZip64Extra(records.substr(centralRecordSize + nameLength, extraLength), entry);
        m_entries.push_back(std::move(entry));
        records.remove_prefix(length);
    }
    // Found by name through a sorted index, so that a workbook of many parts stays linear.
    // Part names ignore ASCII case: the index is in the order of the names folded, then as
    // written, so that a name as written is found before one differing in case only. Of two
    // entries of one name, the first listed is the one read.
    m_byName.resize(m_entries.size());
    for (std::size_t i = 0; i < m_byName.size(); ++i)
        m_byName[i] = i;
    std::stable_sort(m_byName.begin(), m_byName.end(), [&](std::size_t a, std::size_t b) {
        return indexLess(m_entries[a].name, m_entries[b].name);
    });
}

const ZipEntry* ZipArchive::find(std::string_view name) const {
    const auto named = [&](auto less) {
        const auto found = std::lower_bound(
            m_byName.begin(), m_byName.end(), name,
            [&](std::size_t i, std::string_view key) { return less(m_entries[i].name, key); });
        return found == m_byName.end() || less(name, m_entries[*found].name) ? nullptr : &m_entries[*found];
    };
    if (const ZipEntry* exact = named(indexLess))
        return exact;
    return named(foldedLess);
}

std::string_view ZipArchive::data(const ZipEntry& entry) const {
    if (entry.flags & 0x0041)
        throw ReadError(Problem::Encrypted, "压缩包中的“" + entry.name + "”设有密码");
    if (entry.method != 0 && entry.method != 8)
        damaged("不支持的压缩方式", {entry.name});
    if (entry.method == 0 ? entry.size != entry.compressedSize
                          : entry.size / deflateMaxRatio > entry.compressedSize + 1)
        damaged("声明的大小不合理", {entry.name});
    const std::string_view local = slice(m_bytes, entry.localHeaderOffset, localRecordSize);
    if (local.substr(0, 4) != "PK\x03\x04")
        damaged("本地文件头无效", {entry.name});
    const std::uint64_t start =
        entry.localHeaderOffset + localRecordSize + field16(local, 26) + field16(local, 28);
    return slice(m_bytes, start, entry.compressedSize);
}

struct ZipEntryReader::Inflater {
    z_stream stream{};
    std::string out;

    Inflater(const std::string& name, std::uint64_t size) {
        const int result = inflateInit2(&stream, -MAX_WBITS);
        if (result == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (result != Z_OK)
            damaged("无法开始解压", {name});
        // A small entry needs no more room than it holds (and one byte to find it ends).
        out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, size + 1)));
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

ZipEntryReader::ZipEntryReader(const ZipArchive& archive, const ZipEntry& entry)
    : m_name(entry.name), m_input(archive.data(entry)), m_size(entry.size), m_expectedCrc(entry.crc) {
    if (entry.method == 8)
        m_inflater = std::make_unique<Inflater>(m_name, m_size);
}

ZipEntryReader::~ZipEntryReader() = default;

std::string_view ZipEntryReader::next() {
    if (m_done)
        return {};
    if (!m_inflater) {
        const std::string_view piece = m_input.substr(0, pieceSize);
        m_input.remove_prefix(piece.size());
        return finish(piece, m_input.empty());
    }
    z_stream& stream = m_inflater->stream;
    constexpr std::size_t maxInput = std::numeric_limits<uInt>::max() / 2;
    std::string& out = m_inflater->out;
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = Z_OK;
    while (stream.avail_out > 0 && result != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (m_input.empty())
                damaged("压缩数据不完整", {m_name});
            const std::size_t taken = std::min(m_input.size(), maxInput);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(m_input.data()));
            stream.avail_in = static_cast<uInt>(taken);
            m_input.remove_prefix(taken);
        }
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (result != Z_OK && result != Z_STREAM_END)
            damaged("压缩数据损坏", {m_name});
    }
    return finish(std::string_view(out.data(), out.size() - stream.avail_out), result == Z_STREAM_END);
}

std::string_view ZipEntryReader::finish(std::string_view piece, bool ended) {
    if (piece.size() > m_size - m_produced)
        damaged("解压后超出声明的大小", {m_name});
    m_produced += piece.size();
    if (!piece.empty())
        m_crc = crc32Of(m_crc, piece);
    if (ended) {
        if (m_produced != m_size)
            damaged("解压后的大小与目录不符", {m_name});
        if (m_crc != m_expectedCrc)
            damaged("CRC 校验失败", {m_name});
        m_done = true;
    }
    return piece;
}

std::string_view ZipEntryReader::keep(std::string_view piece, std::string& keeper) {
    if (!m_inflater)
        return piece;
    const std::size_t size = m_inflater->out.size();
    std::swap(m_inflater->out, keeper);
    m_inflater->out.resize(size);
    return std::string_view(keeper.data(), piece.size());
}

ZipEntryPrefetcher::ZipEntryPrefetcher(const ZipArchive& archive, const ZipEntry& entry)
    : m_reader(archive, entry), m_thread([this] { run(); }) {}

ZipEntryPrefetcher::~ZipEntryPrefetcher() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void ZipEntryPrefetcher::run() {
    try {
        for (;;) {
            const std::string_view piece = m_reader.next();
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || m_filled - m_released < m_slots.size(); });
            if (m_stopping)
                return;
            if (piece.empty()) {
                m_ended = true;
                break;
            }
            // The slot is free: the caller reads only pieces before m_filled.
            Slot& slot = m_slots[static_cast<std::size_t>(m_filled % m_slots.size())];
            lock.unlock();
            slot.piece = m_reader.keep(piece, slot.memory);
            lock.lock();
            ++m_filled;
            lock.unlock();
            m_changed.notify_all();
        }
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        m_error = std::current_exception();
        m_ended = true;
    }
    m_changed.notify_all();
}

std::string_view ZipEntryPrefetcher::next() {
    std::unique_lock lock(m_mutex);
    // The piece handed out last is done with: its slot may be filled again.
    m_released = m_taken;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_filled > m_taken || m_ended; });
    if (m_filled > m_taken) {
        return m_slots[static_cast<std::size_t>(m_taken++ % m_slots.size())].piece;
    }
    if (m_error)
        std::rethrow_exception(m_error);
    return {};
}

ZipEntrySource::ZipEntrySource(const ZipArchive& archive, const ZipEntry& entry) {
    if (entry.size > threadedSize)
        m_prefetcher.emplace(archive, entry);
    else
        m_reader.emplace(archive, entry);
}

std::string_view ZipEntrySource::next() {
    const std::string_view piece = m_prefetcher ? m_prefetcher->next() : m_reader->next();
    m_handedOut += piece.size();
    return piece;
}

std::string readZipEntry(const ZipArchive& archive, const ZipEntry& entry, std::uint64_t limit) {
    if (entry.size > limit)
        damaged("过大", {entry.name});
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(entry.size));
    ZipEntryReader reader(archive, entry);
    for (std::string_view piece = reader.next(); !piece.empty(); piece = reader.next())
        bytes += piece;
    return bytes;
}

} // namespace brisquel::sheets
