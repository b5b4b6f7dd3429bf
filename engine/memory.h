// Buffers of hundreds of megabytes: a whole sheet, the imported rows, the export list.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace brisquel {

// Asks the system to back [data, data + size) with huge pages, where it has them. Touching
// hundreds of megabytes of fresh memory 4 KiB at a time costs more than all the work done
// in it. Only advice: where huge pages are off, nothing changes.
void adviseHugePages(void* data, std::size_t size);

// The machine's physical memory in bytes, or 0 where the platform does not say.
std::size_t physicalMemory();

// The bytes of address space the process may use: 2 GiB for a 32-bit program on 32-bit
// Windows, 4 GiB on 64-bit Windows, far more than any memory for a 64-bit one; the largest
// size_t where the platform sets no limit.
std::size_t addressSpace();

// The most text an import of report files may hold: half the memory, for statistics and
// export need room beside it, and a quarter of the address space, which the file read whole,
// the rows, the list of matching rows and the export's copy of it share. Past either there
// is no failure to report, only a killed program. `physical` is 0 where it is not known.
constexpr std::size_t importTextLimit(std::size_t physical, std::size_t addressable) {
    return physical == 0 ? addressable / 4 : std::min(physical / 2, addressable / 4);
}

// Room for `capacity` bytes in a buffer that may grow large, advised as above.
inline void reserveLarge(std::string& buffer, std::size_t capacity) {
    buffer.reserve(capacity);
    adviseHugePages(buffer.data(), buffer.capacity());
}

// Appends to such a buffer, growing it geometrically through reserveLarge.
inline void appendLarge(std::string& buffer, std::string_view part) {
    if (buffer.capacity() - buffer.size() < part.size())
        reserveLarge(buffer, std::max(buffer.capacity() * 2, buffer.size() + part.size()));
    buffer.append(part);
}

} // namespace brisquel
