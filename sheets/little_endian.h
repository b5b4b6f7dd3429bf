// Little-endian numbers in the bytes of a binary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brisquel::sheets {

// The caller has checked that the bytes are there.
inline std::uint32_t u16At(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

inline std::uint32_t u32At(std::string_view bytes, std::size_t at) {
    return u16At(bytes, at) | u16At(bytes, at + 2) << 16;
}

} // namespace brisquel::sheets
