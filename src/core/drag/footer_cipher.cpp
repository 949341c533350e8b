#include "core/drag/footer_cipher.h"

#include <cstdio>

namespace velmaro {
namespace {

// Key material of the footer cipher.
constexpr std::uint32_t kSubkeys[8] = {0x3A7C15E2u, 0x9B04D66Fu, 0x51E8A93Cu, 0xC2F07B14u,
                                       0x0D6E3F98u, 0x7A19C4B5u, 0xE4528D01u, 0x28BD6A73u};
constexpr std::array<std::uint8_t, 8> kInitialChain = {0x5E, 0x91, 0x2C, 0xD7, 0x08, 0xB3, 0x6A, 0xF4};
// Row r substitutes the nibble at bits 4*(7-r) .. 4*(7-r)+3: row 0 the most significant.
constexpr std::uint8_t kSubstitution[8][16] = {
    {0x9, 0x6, 0x3, 0x2, 0x8, 0xB, 0x1, 0x7, 0xA, 0x4, 0xE, 0xF, 0xC, 0x0, 0xD, 0x5},
    {0x3, 0x7, 0xE, 0x9, 0x8, 0xA, 0xF, 0x0, 0x5, 0x2, 0x6, 0xC, 0xB, 0x4, 0xD, 0x1},
    {0xE, 0x4, 0x6, 0x2, 0xB, 0x3, 0xD, 0x8, 0xC, 0xF, 0x5, 0xA, 0x0, 0x7, 0x1, 0x9},
    {0xE, 0x7, 0xA, 0xC, 0xD, 0x1, 0x3, 0x9, 0x0, 0x2, 0xB, 0x4, 0xF, 0x8, 0x5, 0x6},
    {0xB, 0x5, 0x1, 0x9, 0x8, 0xD, 0xF, 0x0, 0xE, 0x4, 0x2, 0x3, 0xC, 0x7, 0xA, 0x6},
    {0x3, 0xA, 0xD, 0xC, 0x1, 0x2, 0x0, 0xB, 0x7, 0x5, 0x9, 0x4, 0x8, 0xF, 0xE, 0x6},
    {0x1, 0xD, 0x2, 0x9, 0x7, 0xA, 0x6, 0x0, 0x8, 0xC, 0x4, 0x5, 0xF, 0x3, 0xB, 0xE},
    {0xB, 0xA, 0xF, 0x5, 0x0, 0xC, 0xE, 0x8, 0x6, 0x2, 0x3, 0x9, 0x1, 0x7, 0xD, 0x4},
};
constexpr std::uint8_t kLengthMask = 0xA5;
constexpr std::size_t kBufferSize = 2048;

std::uint32_t loadLe(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
void storeLe(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Subkey order of the 32 rounds when deciphering: K0..K7 once, then K7..K0 three times.
constexpr int decipherKey(int round) { return round < 8 ? round : 7 - (round % 8); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One "%02x" conversion at `pos`: leading white space skipped, then one or two hex digits.
bool readHexPair(std::string_view text, std::size_t pos, std::uint8_t& out) {
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) ++pos;
    if (pos >= text.size()) return false;
    const int hi = hexDigit(text[pos]);
    if (hi < 0) return false;
    const int lo = pos + 1 < text.size() ? hexDigit(text[pos + 1]) : -1;
    out = static_cast<std::uint8_t>(lo < 0 ? hi : hi * 16 + lo);
    return true;
}

} // namespace

const char* const gFooterCipherText1 = "bbe0943dea26a0be5667ec145113244d28bd4d6e06b9e636541cd26e88def62d3b";
const char* const gFooterCipherText2 = "bb45f9a584b42ffa6ce1e864350a3261175e14a511eb2aa358dddb24d9cd412a58";

namespace footer_cipher {

std::uint8_t substituteByte(std::uint8_t byte, int rowPair) {
    const std::uint8_t* high = kSubstitution[2 * rowPair];
    const std::uint8_t* low = kSubstitution[2 * rowPair + 1];
    return static_cast<std::uint8_t>(high[byte >> 4] << 4 | low[byte & 0x0F]);
}

std::uint32_t cipherRound(std::uint32_t word) {
    std::uint32_t out = 0;
    for (int pair = 0; pair < 4; ++pair) {
        const int shift = 24 - 8 * pair;
        out |= std::uint32_t(substituteByte(static_cast<std::uint8_t>(word >> shift), pair)) << shift;
    }
    return out << 11 | out >> 21;
}

void decipherBlock(std::array<std::uint8_t, 8>& block, std::array<std::uint8_t, 8>& chain) {
    const std::array<std::uint8_t, 8> cipher = block;
    std::uint32_t a = loadLe(block.data());
    std::uint32_t b = loadLe(block.data() + 4);
    for (int round = 0; round < 32; round += 2) {
        b ^= cipherRound(a + kSubkeys[decipherKey(round)]);
        a ^= cipherRound(b + kSubkeys[decipherKey(round + 1)]);
    }
    storeLe(block.data(), b);
    storeLe(block.data() + 4, a);
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
    chain = cipher;
}

void encipherBlock(std::array<std::uint8_t, 8>& block, std::array<std::uint8_t, 8>& chain) {
    for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
    // Undo the deciphering steps in reverse: swapped halves in, rounds backwards.
    std::uint32_t b = loadLe(block.data());
    std::uint32_t a = loadLe(block.data() + 4);
    for (int round = 30; round >= 0; round -= 2) {
        a ^= cipherRound(b + kSubkeys[decipherKey(round + 1)]);
        b ^= cipherRound(a + kSubkeys[decipherKey(round)]);
    }
    storeLe(block.data(), a);
    storeLe(block.data() + 4, b);
    chain = block;
}

std::string encipherToHex(std::string_view plain) {
    const std::size_t n = plain.size() > 255 ? 255 : plain.size();
    std::string hex;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02x", unsigned(n) ^ kLengthMask);
    hex += buf;
    std::array<std::uint8_t, 8> chain = kInitialChain;
    for (std::size_t k = 0; k * 8 < n; ++k) {
        std::array<std::uint8_t, 8> block{};
        for (std::size_t i = 0; i < 8 && k * 8 + i < n; ++i) block[i] = static_cast<std::uint8_t>(plain[k * 8 + i]);
        encipherBlock(block, chain);
        for (std::uint8_t byte : block) {
            std::snprintf(buf, sizeof buf, "%02x", unsigned(byte));
            hex += buf;
        }
    }
    return hex;
}

} // namespace footer_cipher

std::string decipherHexText(std::string_view hex) {
    // Bytes a short text lacks stay zero, so the result never depends on stale memory.
    std::array<std::uint8_t, kBufferSize> parsed{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < hex.size() && count < kBufferSize; i += 2) {
        std::uint8_t byte = 0;
        if (readHexPair(hex, i, byte)) parsed[count++] = byte;
    }
    const std::size_t n = static_cast<std::uint8_t>(parsed[0] ^ kLengthMask);
    std::string plain(n, '\0');
    std::array<std::uint8_t, 8> chain = kInitialChain;
    for (std::size_t k = 0; k * 8 < n; ++k) {
        std::array<std::uint8_t, 8> block{};
        for (std::size_t i = 0; i < 8; ++i) block[i] = parsed[1 + 8 * k + i];
        footer_cipher::decipherBlock(block, chain);
        for (std::size_t i = 0; i < 8 && 8 * k + i < n; ++i) plain[8 * k + i] = static_cast<char>(block[i]);
    }
    // The plain text ends at its first zero byte, as a C string would.
    if (const std::size_t zero = plain.find('\0'); zero != std::string::npos) plain.resize(zero);
    return plain;
}

std::array<std::string, 2> footerLines() {
    return {decipherHexText(gFooterCipherText1), decipherHexText(gFooterCipherText2)};
}

} // namespace velmaro
