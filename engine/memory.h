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
