// MD5 as RFC 1321 gives it, SHA-1 as RFC 3174 does, RC4, and Excel's XOR obfuscation as the Office
// document cryptography documentation does.
#include "sheets/crypto.h"

#include <bit>
#include <string>
#include <utility>

namespace brisquel::sheets {

namespace {

constexpr std::uint32_t sines[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};
constexpr int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void md5Block(const unsigned char* block, std::uint32_t (&state)[4]) {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = std::uint32_t{block[i * 4]} | std::uint32_t{block[i * 4 + 1]} << 8 |
                   std::uint32_t{block[i * 4 + 2]} << 16 | std::uint32_t{block[i * 4 + 3]} << 24;
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f = 0;
        int word = 0;
        switch (i / 16) {
        case 0:
            f = (b & c) | (~b & d);
            word = i;
            break;
        case 1:
            f = (d & b) | (~d & c);
            word = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            word = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            word = 7 * i % 16;
            break;
        }
        f += a + sines[i] + words[word];
        a = d;
        d = c;
        c = b;
        b += std::rotl(f, shifts[i / 16][i % 4]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// Hands the 64-byte blocks of `bytes` and of its padding to `compress`: a 1 bit, zeros, and
// the length in bits, little-endian for MD5, big-endian for SHA-1.
template <typename Compress> void eachBlock(std::string_view bytes, bool bigEndian, Compress compress) {
    const std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        compress(reinterpret_cast<const unsigned char*>(bytes.data() + at));
    std::string tail(bytes.substr(whole));
    tail += '\x80';
    tail.resize(tail.size() <= 56 ? 56 : 120, '\0');
    const std::uint64_t bits = std::uint64_t{bytes.size()} * 8;
    for (int i = 0; i < 8; ++i)
        tail += static_cast<char>(bits >> (8 * (bigEndian ? 7 - i : i)) & 0xFF);
    for (std::size_t at = 0; at < tail.size(); at += 64)
        compress(reinterpret_cast<const unsigned char*>(tail.data() + at));
}

void sha1Block(const unsigned char* block, std::uint32_t (&state)[5]) {
    std::uint32_t words[80];
    for (int i = 0; i < 16; ++i)
        words[i] = std::uint32_t{block[i * 4]} << 24 | std::uint32_t{block[i * 4 + 1]} << 16 |
                   std::uint32_t{block[i * 4 + 2]} << 8 | std::uint32_t{block[i * 4 + 3]};
    for (int i = 16; i < 80; ++i)
        words[i] = std::rotl(words[i - 3] ^ words[i - 8] ^ words[i - 14] ^ words[i - 16], 1);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        const std::uint32_t f = i < 20   ? ((b & c) | (~b & d)) + 0x5A827999
                                : i < 40 ? (b ^ c ^ d) + 0x6ED9EBA1
                                : i < 60 ? ((b & c) | (b & d) | (c & d)) + 0x8F1BBCDC
                                         : (b ^ c ^ d) + 0xCA62C1D6;
        const std::uint32_t next = std::rotl(a, 5) + f + e + words[i];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

// The XOR obfuscation's tables: the key a password of each length starts from, the words a
// character's seven low bits XOR into it (one row a character, the last character's the last
// row), and the bytes that fill the array after the password.
constexpr std::uint16_t initialCodes[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                            0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::uint16_t keyMatrix[15][7] = {
    {0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09},
    {0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF},
    {0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0},
    {0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40},
    {0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5},
    {0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A},
    {0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9},
    {0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0},
    {0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC},
    {0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10},
    {0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168},
    {0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C},
    {0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD},
    {0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC},
    {0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4},
};
constexpr std::uint8_t padding[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                      0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

} // namespace

Md5Digest md5(std::string_view bytes) {
    std::uint32_t state[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    eachBlock(bytes, false, [&](const unsigned char* block) { md5Block(block, state); });
    Md5Digest digest;
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    return digest;
}

Sha1Digest sha1(std::string_view bytes) {
    std::uint32_t state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    eachBlock(bytes, true, [&](const unsigned char* block) { sha1Block(block, state); });
    Sha1Digest digest;
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (3 - i % 4)));
    return digest;
}

Rc4::Rc4(std::string_view key) {
    for (std::size_t i = 0; i < m_state.size(); ++i)
        m_state[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < m_state.size(); ++i) {
        j = static_cast<std::uint8_t>(j + m_state[i] + static_cast<unsigned char>(key[i % key.size()]));
        std::swap(m_state[i], m_state[j]);
    }
}

void Rc4::apply(char* data, std::size_t size) {
    for (std::size_t k = 0; k < size; ++k) {
        m_i = static_cast<std::uint8_t>(m_i + 1);
        m_j = static_cast<std::uint8_t>(m_j + m_state[m_i]);
        std::swap(m_state[m_i], m_state[m_j]);
        data[k] ^= static_cast<char>(m_state[static_cast<std::uint8_t>(m_state[m_i] + m_state[m_j])]);
    }
}

XorObfuscation xorObfuscation(std::string_view password) {
    XorObfuscation result{initialCodes[password.size() - 1], 0, {}};
    const std::size_t firstRow = 15 - password.size();
    for (std::size_t i = 0; i < password.size(); ++i) {
        const unsigned byte = static_cast<unsigned char>(password[i]);
        for (int bit = 0; bit < 7; ++bit)
            if ((byte >> bit & 1) != 0)
                result.key ^= keyMatrix[firstRow + i][bit];
    }
    // The verifier takes the bytes from the last to the first, then the length, each XORed in
    // after a rotation of its 15 bits.
    std::uint32_t verifier = 0;
    auto fold = [&](std::uint32_t byte) { verifier = ((verifier << 1 & 0x7FFF) | verifier >> 14) ^ byte; };
    for (auto c = password.rbegin(); c != password.rend(); ++c)
        fold(static_cast<unsigned char>(*c));
    fold(static_cast<std::uint32_t>(password.size()));
    result.verifier = static_cast<std::uint16_t>(verifier ^ 0xCE4B);
    // The password and then the padding, each byte XORed with the key's low byte at an even
    // place and its high byte at an odd one, and rotated left 2 bits. The documentation rotates
    // them right 1 bit, and writes a byte of a record rotated left 5 bits before the XOR; reading
    // rotates the byte back first, and that takes the array rotated 3 bits further.
    for (std::size_t i = 0; i < result.array.size(); ++i) {
        const unsigned byte =
            i < password.size() ? static_cast<unsigned char>(password[i]) : padding[i - password.size()];
        result.array[i] = std::rotl(static_cast<std::uint8_t>(byte ^ (result.key >> (i % 2 * 8) & 0xFF)), 2);
    }
    return result;
}

} // namespace brisquel::sheets
