// The CRC-32 of a ZIP archive's parts, as zlib's crc32 computes it, several times faster where
// the processor multiplies without carries.
#pragma once

#include <cstdint>
#include <string_view>

namespace brisquel::sheets {

// The CRC-32 of what `crc` was the CRC-32 of, followed by `bytes` (0 for nothing before).
std::uint32_t crc32Of(std::uint32_t crc, std::string_view bytes);

} // namespace brisquel::sheets
