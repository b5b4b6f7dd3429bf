// MD5, SHA-1, RC4 and Excel's XOR obfuscation: what reading an .xls saved with Excel's default
// password takes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace brisquel::sheets {

using Md5Digest = std::array<std::uint8_t, 16>;

using Sha1Digest = std::array<std::uint8_t, 20>;

Md5Digest md5(std::string_view bytes);
Sha1Digest sha1(std::string_view bytes);

// The RC4 key stream of a key of 1 to 256 bytes.
class Rc4 {
public:
    explicit Rc4(std::string_view key);

    // XORs the next `size` bytes of the key stream into `data`.
    void apply(char* data, std::size_t size);

private:
    std::array<std::uint8_t, 256> m_state;
    std::uint8_t m_i = 0, m_j = 0;
};

// What Excel's XOR obfuscation makes of a password of 1 to 15 bytes (a byte a character): the
// key and the verifier its FILEPASS record holds, and the 16 bytes XORed into the records. A
// byte of a record is read by rotating it left 3 bits and XORing `array[i % 16]` into it, `i`
// being its place in the stream plus the size of its record's data.
struct XorObfuscation {
    std::uint16_t key;
    std::uint16_t verifier;
    std::array<std::uint8_t, 16> array;
};

XorObfuscation xorObfuscation(std::string_view password);

} // namespace brisquel::sheets
