// Huge-page advice for large buffers.
#include "memory.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace brisquel {

void adviseHugePages(void* data, std::size_t size) {
#ifdef __linux__
    constexpr std::uintptr_t page = 4096;
    constexpr std::size_t worthIt = std::size_t{4} << 20;
    if (size < worthIt)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

} // namespace brisquel
