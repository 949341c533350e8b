#pragma once
// The two footer lines that end every receipt (timeslip, start list, lap receipt) are kept
// in the program only enciphered, as hex digit pairs: a masked length byte, then 8-byte
// blocks of a 64-bit Feistel cipher (32 rounds, eight 32-bit subkeys, eight 4-bit
// substitution rows, rotation by 11) chained block to block. Printouts turn them into plain
// text with decipherHexText at print time.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro {

// The enciphered footer lines (66 hex digits each: length byte and four blocks).
extern const char* const gFooterCipherText1;
extern const char* const gFooterCipherText2;

// Plain text of a hex text. Hex pairs that do not parse add no byte; at most 2048 bytes
// are parsed; bytes a short text lacks read as zero. Never fails.
std::string decipherHexText(std::string_view hex);

// Both footer lines in plain text, first line first.
std::array<std::string, 2> footerLines();

// The pieces of the cipher, exposed for tests.
namespace footer_cipher {
// Deciphers `block` in place and advances the chaining value.
void decipherBlock(std::array<std::uint8_t, 8>& block, std::array<std::uint8_t, 8>& chain);
// Enciphers `block` in place and advances the chaining value (the inverse of decipherBlock).
void encipherBlock(std::array<std::uint8_t, 8>& block, std::array<std::uint8_t, 8>& chain);
std::uint32_t cipherRound(std::uint32_t word);
std::uint8_t substituteByte(std::uint8_t byte, int rowPair);
// The hex text that decipherHexText turns back into `plain` (at most 255 bytes).
std::string encipherToHex(std::string_view plain);
} // namespace footer_cipher

} // namespace velmaro
