#include <gtest/gtest.h>

#include "core/drag/footer_cipher.h"

using namespace velmaro;
using namespace velmaro::footer_cipher;

TEST(FooterCipher, FooterLinesDecipherToTheirTexts) {
    const auto lines = footerLines();
    EXPECT_EQ(lines[0], "Хронометраж Velmaro");
    EXPECT_EQ(lines[1], "Удачных стартов!");
    EXPECT_EQ(std::string(gFooterCipherText1).size(), 66u);
    EXPECT_EQ(std::string(gFooterCipherText2).size(), 66u);
}

TEST(FooterCipher, RoundTripOverLengthsAroundBlockEdges) {
    const std::string text = "0123456789abcdefghijklmnopqrstuvwxyzАБВГД";
    for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 16u, 17u, 32u, 45u}) {
        SCOPED_TRACE(n);
        const std::string plain = text.substr(0, n);
        const std::string hex = encipherToHex(plain);
        EXPECT_EQ(hex.size(), 2 + 16 * ((n + 7) / 8));
        EXPECT_EQ(decipherHexText(hex), plain);
    }
}

TEST(FooterCipher, HexCaseDoesNotMatterAndJunkAddsNoByte) {
    const std::string hex = encipherToHex("Timing");
    std::string upper = hex;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(decipherHexText(upper), "Timing");
    // A pair that does not begin a hex number is skipped, the position still moves by two.
    EXPECT_EQ(decipherHexText("zz" + hex), "Timing");
}

TEST(FooterCipher, ShortOrEmptyTextNeverReadsPastWhatItHas) {
    EXPECT_EQ(decipherHexText(""), decipherHexText(""));
    const std::string hex = encipherToHex("0123456789");
    // The second block is missing: its bytes read as zero, the call stays defined and repeatable.
    const std::string cut = hex.substr(0, 2 + 16);
    EXPECT_EQ(decipherHexText(cut), decipherHexText(cut));
    EXPECT_EQ(decipherHexText(cut).substr(0, 8), "01234567");
}

TEST(FooterCipher, RoundFunctionSubstitutesThenRotatesByEleven) {
    const std::uint32_t word = 0x12345678u;
    std::uint32_t substituted = 0;
    for (int pair = 0; pair < 4; ++pair) {
        const int shift = 24 - 8 * pair;
        substituted |= std::uint32_t(substituteByte(static_cast<std::uint8_t>(word >> shift), pair)) << shift;
    }
    EXPECT_EQ(cipherRound(word), (substituted << 11) | (substituted >> 21));
}
