// The archive's CRC-32 against zlib's own, at every length and alignment around the folding's
// blocks, fed whole and in two pieces.
#include "sheets/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace brisquel::sheets {
namespace {

TEST(Crc32, AgreesWithZlibAtEveryLengthAndAlignment) {
    std::mt19937 random(7);
    std::string bytes(16 + 1024, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    for (std::size_t start = 0; start < 16; ++start) {
        for (std::size_t size = 0; size <= 1024; size += size < 300 ? 1 : 61) {
            const std::string_view piece(bytes.data() + start, size);
            const auto expected = static_cast<std::uint32_t>(crc32(
                crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(size)));
            ASSERT_EQ(expected, crc32Of(0, piece)) << start << " " << size;
            const std::size_t cut = random() % (size + 1);
            ASSERT_EQ(expected, crc32Of(crc32Of(0, piece.substr(0, cut)), piece.substr(cut))) << cut;
        }
    }
}

} // namespace
} // namespace brisquel::sheets
