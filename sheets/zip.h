// A ZIP archive held in memory: its central directory (ZIP64 included) and its stored or
// deflated entries, read as a stream of fixed-size pieces.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brisquel::sheets {

struct ZipEntry {
    std::string name;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0; // inflated, as the directory says
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t crc = 0;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
};

// The entries of an archive, as its central directory lists them. Throws ReadError (Damaged)
// when the directory cannot be read. `bytes` must outlive the archive.
class ZipArchive {
public:
    explicit ZipArchive(std::string_view bytes);

    const std::vector<ZipEntry>& entries() const { return m_entries; }
    // The entry named `name`, ASCII case aside (as OPC part names are compared), or nullptr.
    const ZipEntry* find(std::string_view name) const;
    // The compressed bytes of `entry`, checked to lie inside the archive. Throws ReadError:
    // Encrypted for an entry protected by a password, Damaged for anything it cannot read.
    std::string_view data(const ZipEntry& entry) const;

private:
    std::string_view m_bytes;
    std::vector<ZipEntry> m_entries;
    std::vector<std::size_t> m_byName; // indices into m_entries, in the order of their names
};

// Reads one entry from its start, handing out what it holds piece by piece: no more than
// the directory says it holds, and exactly that, or ReadError (Damaged).
class ZipEntryReader {
public:
    ZipEntryReader(const ZipArchive& archive, const ZipEntry& entry);
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    // The next piece of the entry; empty once all of it was handed out. A piece stays valid
    // until the next call.
    std::string_view next();
    // Makes `piece`, the piece handed out last, outlive the next call without a copy: when it
    // lies in the reader's own memory, that memory goes to `keeper` and the reader takes
    // keeper's memory in exchange.
    std::string_view keep(std::string_view piece, std::string& keeper);

private:
    struct Inflater;

    std::string_view finish(std::string_view piece, bool ended);

    std::string m_name;
    std::string_view m_input;     // compressed bytes not yet used
    std::uint64_t m_size;         // what the entry holds, inflated
    std::uint64_t m_produced = 0; // what was handed out so far
    std::uint32_t m_expectedCrc;
    std::uint32_t m_crc = 0;
    bool m_done = false;
    std::unique_ptr<Inflater> m_inflater; // null for a stored entry
};

// Reads one entry as ZipEntryReader does, inflating on a thread of its own up to sixteen pieces
// (4 MiB) ahead of the caller, so that the caller's work on a piece and the inflating of the
// next overlap, and a moment when either thread is held up costs the other nothing.
// An error on the inflating side reaches the caller where its piece would have; leaving
// early stops the thread.
class ZipEntryPrefetcher {
public:
    ZipEntryPrefetcher(const ZipArchive& archive, const ZipEntry& entry);
    ~ZipEntryPrefetcher();
    ZipEntryPrefetcher(const ZipEntryPrefetcher&) = delete;
    ZipEntryPrefetcher& operator=(const ZipEntryPrefetcher&) = delete;

    // As ZipEntryReader::next.
    std::string_view next();

private:
    void run();

    ZipEntryReader m_reader; // used by the thread alone
    std::mutex m_mutex;
    std::condition_variable m_changed;
    struct Slot {
        std::string memory;
        std::string_view piece; // in memory, or in the archive for a stored entry
    };
    std::array<Slot, 16> m_slots; // piece i in slot i % 16
    std::uint64_t m_filled = 0;   // pieces inflated so far
    std::uint64_t m_taken = 0;    // pieces handed to the caller
    std::uint64_t m_released = 0; // pieces the caller is done with
    bool m_ended = false;
    bool m_stopping = false;
    std::exception_ptr m_error;
    std::thread m_thread; // last, so that it starts once the rest is there
};

// One entry read piece by piece as ZipEntryReader does: inflated on the caller's thread, or,
// when it is larger than threadedSize, on a thread of its own as ZipEntryPrefetcher does. A
// small part is done before a thread would have started.
class ZipEntrySource {
public:
    static constexpr std::uint64_t threadedSize = std::uint64_t{1} << 22;

    ZipEntrySource(const ZipArchive& archive, const ZipEntry& entry);
    ZipEntrySource(const ZipEntrySource&) = delete;
    ZipEntrySource& operator=(const ZipEntrySource&) = delete;

    // As ZipEntryReader::next.
    std::string_view next();
    // The bytes handed out so far.
    std::uint64_t handedOut() const { return m_handedOut; }

private:
    std::optional<ZipEntryReader> m_reader;
    std::optional<ZipEntryPrefetcher> m_prefetcher;
    std::uint64_t m_handedOut = 0;
};

// The whole of a small entry, refused (Damaged) when it holds more than `limit` bytes.
std::string readZipEntry(const ZipArchive& archive, const ZipEntry& entry, std::uint64_t limit);

} // namespace brisquel::sheets
