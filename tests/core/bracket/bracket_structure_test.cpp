// Bracket model: rounds and pairs per type and size, links, seeding, geometry, racer slots.
#include <gtest/gtest.h>

#include "bracket_test_util.h"
#include "core/bracket/final_bracket.h"

namespace velmaro {
namespace {

std::vector<int> upperShape(const TFinalBracket& b) {
    std::vector<int> out;
    for (const auto& r : b.upperRounds) out.push_back(r ? r->count : 0);
    return out;
}

std::vector<int> lowerShape(const TFinalBracket& b) {
    std::vector<int> out;
    for (const auto& r : b.lowerRounds) out.push_back(r ? r->count : 0);
    return out;
}

struct ShapeCase {
    const char* name;
    int type, size;
    int expectedType;
    std::vector<int> upper, lower; // 0 = round made on demand, absent now
};

TEST(BracketStructure, RoundsAndPairsPerTypeAndSize) {
    const ShapeCase cases[] = {
        {"single 8", 0, 8, 0, {4, 2, 1}, {}},
        {"single 2", 0, 2, 0, {1}, {}},
        {"third place 8", 1, 8, 1, {4, 2, 1, 1}, {}},
        {"third place 2 has no semifinal", 1, 2, 1, {1, 1}, {}},
        {"final best of 3, 8", 2, 8, 2, {4, 2, 1, 1, 0}, {}},
        {"best of 3 final + third 8", 3, 8, 3, {4, 2, 1, 1, 0, 1, 1, 0}, {}},
        {"double 4", 4, 4, 4, {2, 1, 1, 0}, {1, 1}},
        {"double 8", 4, 8, 4, {4, 2, 1, 1, 0}, {2, 2, 1, 1}},
        {"double 16", 4, 16, 4, {8, 4, 2, 1, 1, 0}, {4, 4, 2, 2, 1, 1}},
        {"double 2 becomes type 2", 4, 2, 2, {1, 1, 0}, {}},
        {"fixed double 2 becomes type 2", 10, 2, 2, {1, 1, 0}, {}},
        {"fixed double 16", 10, 16, 10, {8, 4, 2, 1, 1, 0}, {4, 4, 3, 2, 1}},
        {"fixed double 32 without tables", 10, 32, 10, {16, 8, 4, 2, 1, 1, 0}, {8, 8, 4, 4, 2, 2, 1, 1}},
        {"all best of 3, 4", 5, 4, 5, {2, 2, 2, 1, 1, 1, 1, 1, 1}, {}},
        {"FIA 8", 6, 8, 6, {4, 2, 1}, {}},
        {"FIA handicap third 4", 9, 4, 9, {2, 1, 1}, {}},
        {"size below 2 becomes 2", 0, 1, 0, {1}, {}},
        {"unknown type built as type 0", -1, 4, 0, {2, 1}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFinalBracket b(c.size, c.type, 3, c.size, "К");
        EXPECT_EQ(b.type, c.expectedType);
        EXPECT_EQ(upperShape(b), c.upper);
        EXPECT_EQ(lowerShape(b), c.lower);
        EXPECT_EQ(b.upperRoundCount, static_cast<int>(c.upper.size()));
        EXPECT_EQ(b.lowerRoundCount, static_cast<int>(c.lower.size()));
        EXPECT_EQ(static_cast<int>(b.racers.size()), b.size);
        EXPECT_EQ(b.placeholder->number, -1);
        for (const auto& p : b.upperRounds[0]->pairs) {
            EXPECT_NE(p->racers[0], nullptr);
            EXPECT_NE(p->racers[1], nullptr);
        }
    }
}

TEST(BracketStructure, SeededCountIsLimitedBySize) {
    TFinalBracket b(8, 0, 3, 20, "");
    EXPECT_EQ(b.seededCount, 8);
    TFinalBracket c(8, 0, 3, 5, "");
    EXPECT_EQ(c.seededCount, 5);
}

TEST(BracketStructure, Geometry) {
    TFinalBracket d(8, 4, 1, 8, "");
    EXPECT_EQ(d.upperHeight, 408);
    EXPECT_EQ(d.lowerHeight, 204);
    EXPECT_EQ(d.totalWidth, (5 + 3) * 264);
    EXPECT_EQ(d.columnWidth, 264);
    TFinalBracket t(8, 3, 1, 8, "");
    EXPECT_EQ(t.lowerHeight, 0);
    EXPECT_EQ(t.totalWidth, (8 - 3) * 264);
}

// Pair (round, index) of the upper or lower bracket.
TFinalPair* U(const TFinalBracket& b, int r, int k) { return b.upperRound(r)->pair(k); }
TFinalPair* Lo(const TFinalBracket& b, int j, int k) { return b.lowerRound(j)->pair(k); }

TEST(BracketStructure, DoubleEliminationLinksOf8) {
    TFinalBracket b(8, 4, 1, 8, "");
    TFinalPair* gf = U(b, 3, 0);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(U(b, 0, k)->nextPair, U(b, 1, k / 2));
        EXPECT_EQ(U(b, 0, k)->loserPair, Lo(b, 0, k / 2));
        EXPECT_EQ(U(b, 0, k)->loserSlot, k % 2);
    }
    // The losers of upper round 1 enter lower round 1 in exchanged halves.
    EXPECT_EQ(U(b, 1, 0)->loserPair, Lo(b, 1, 1));
    EXPECT_EQ(U(b, 1, 1)->loserPair, Lo(b, 1, 0));
    EXPECT_EQ(U(b, 1, 0)->loserSlot, 0);
    EXPECT_EQ(U(b, 2, 0)->nextPair, gf);
    EXPECT_EQ(gf->sourcePairs[0], U(b, 2, 0));
    EXPECT_EQ(U(b, 2, 0)->loserPair, Lo(b, 3, 0));
    EXPECT_EQ(Lo(b, 0, 1)->nextPair, Lo(b, 1, 1));
    EXPECT_EQ(Lo(b, 1, 1)->sourcePairs[1], Lo(b, 0, 1));
    EXPECT_EQ(Lo(b, 1, 1)->nextPair, Lo(b, 2, 0));
    EXPECT_EQ(Lo(b, 2, 0)->sourcePairs[1], Lo(b, 1, 1));
    EXPECT_EQ(Lo(b, 2, 0)->nextPair, Lo(b, 3, 0));
    EXPECT_EQ(Lo(b, 3, 0)->nextPair, gf);
    EXPECT_EQ(gf->sourcePairs[1], Lo(b, 3, 0));
    EXPECT_EQ(gf->nextPair, nullptr);
    EXPECT_EQ(gf->loserPair, nullptr);
}

TEST(BracketStructure, FixedDoubleLinksFromTables) {
    TFinalBracket b(8, 10, 1, 8, "");
    TFinalPair* gf = U(b, 3, 0);
    EXPECT_EQ(U(b, 0, 2)->loserPair, Lo(b, 0, 0));
    EXPECT_EQ(U(b, 0, 2)->loserSlot, 1);
    EXPECT_EQ(U(b, 1, 0)->loserPair, Lo(b, 1, 1));
    EXPECT_EQ(U(b, 2, 0)->loserPair, Lo(b, 3, 0));
    EXPECT_EQ(Lo(b, 1, 1)->nextPair, Lo(b, 2, 0));
    EXPECT_EQ(Lo(b, 1, 1)->nextSlot, 1);
    EXPECT_EQ(Lo(b, 2, 0)->sourcePairs[1], Lo(b, 1, 1));
    EXPECT_EQ(Lo(b, 3, 0)->nextPair, gf);
    EXPECT_EQ(Lo(b, 3, 0)->nextSlot, 1);
    EXPECT_EQ(U(b, 2, 0)->nextPair, gf);
    EXPECT_EQ(U(b, 0, 0)->nextSlot, -1);

    TFinalBracket s(16, 10, 1, 16, "");
    EXPECT_EQ(U(s, 0, 5)->loserPair, Lo(s, 0, 1));
    EXPECT_EQ(U(s, 0, 5)->loserSlot, 1);
    EXPECT_EQ(U(s, 2, 1)->loserPair, Lo(s, 2, 2));
    EXPECT_EQ(Lo(s, 1, 3)->nextPair, Lo(s, 2, 2));
    EXPECT_EQ(Lo(s, 1, 3)->nextSlot, 1);
    EXPECT_EQ(Lo(s, 4, 0)->nextPair, U(s, 4, 0));

    // No tables above 16 slots: nothing enters or leaves the lower bracket.
    TFinalBracket big(32, 10, 1, 32, "");
    for (const auto& round : big.lowerRounds)
        for (const auto& p : round->pairs) EXPECT_EQ(p->nextPair, nullptr);
    for (const auto& p : big.upperRounds[0]->pairs) EXPECT_EQ(p->loserPair, nullptr);
}

TEST(BracketStructure, SeriesLinks) {
    TFinalBracket two(4, 2, 1, 4, "");
    EXPECT_EQ(U(two, 1, 0)->nextPair, U(two, 2, 0));
    EXPECT_EQ(U(two, 1, 0)->loserPair, U(two, 2, 0));
    EXPECT_EQ(U(two, 2, 0)->sourcePairs[0], U(two, 1, 0));
    EXPECT_EQ(U(two, 2, 0)->sourcePairs[1], U(two, 1, 0));
    EXPECT_EQ(U(two, 2, 0)->nextPair, nullptr);

    TFinalBracket third(8, 1, 1, 8, "");
    EXPECT_EQ(U(third, 1, 0)->loserPair, U(third, 3, 0));
    EXPECT_EQ(U(third, 1, 1)->loserSlot, 1);

    TFinalBracket five(4, 5, 1, 4, "");
    EXPECT_EQ(U(five, 0, 1)->nextPair, U(five, 1, 1));
    EXPECT_EQ(U(five, 0, 1)->loserSlot, 1);
    EXPECT_EQ(U(five, 2, 1)->nextPair, U(five, 3, 0));  // semifinal series to the final series
    EXPECT_EQ(U(five, 2, 1)->loserPair, U(five, 6, 0)); // and its loser to the series for 3rd place
    EXPECT_EQ(U(five, 5, 0)->nextPair, nullptr);
    EXPECT_EQ(U(five, 8, 0)->loserPair, nullptr);
}

std::vector<std::pair<int, int>> seedPairs(const TFinalBracket& b) {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : b.upperRounds[0]->pairs) out.emplace_back(p->seedPos[0], p->seedPos[1]);
    return out;
}

std::vector<std::pair<int, int>> slotPairs(const TFinalBracket& b) {
    std::vector<std::pair<int, int>> out;
    for (const auto& p : b.upperRounds[0]->pairs)
        out.emplace_back(static_cast<int>(p->racers[0] - b.racers.data()),
                         static_cast<int>(p->racers[1] - b.racers.data()));
    return out;
}

using PairList = std::vector<std::pair<int, int>>;

TEST(BracketSeeding, MirroredHalving) {
    EXPECT_EQ(seedPairs(TFinalBracket(4, 0, 1, 4, "")), (PairList{{1, 4}, {3, 2}}));
    EXPECT_EQ(seedPairs(TFinalBracket(8, 0, 1, 5, "")), (PairList{{1, 8}, {5, 4}, {3, 6}, {7, 2}}));
    EXPECT_EQ(seedPairs(TFinalBracket(16, 4, 1, 16, "")),
              (PairList{{1, 16}, {9, 8}, {5, 12}, {13, 4}, {3, 14}, {11, 6}, {7, 10}, {15, 2}}));
    EXPECT_EQ(seedPairs(TFinalBracket(32, 0, 1, 32, "")), (PairList{{1, 32},
                                                                    {17, 16},
                                                                    {9, 24},
                                                                    {25, 8},
                                                                    {5, 28},
                                                                    {21, 12},
                                                                    {13, 20},
                                                                    {29, 4},
                                                                    {3, 30},
                                                                    {19, 14},
                                                                    {11, 22},
                                                                    {27, 6},
                                                                    {7, 26},
                                                                    {23, 10},
                                                                    {15, 18},
                                                                    {31, 2}}));
    // Types 6 to 10 above 16 slots seed by halving too.
    EXPECT_EQ(seedPairs(TFinalBracket(32, 6, 1, 20, ""))[1], (std::pair{17, 16}));
    TFinalBracket b(8, 0, 1, 5, "");
    EXPECT_EQ(slotPairs(b), (PairList{{0, 7}, {4, 3}, {2, 5}, {6, 1}}));
}

TEST(BracketSeeding, Tables) {
    constexpr int E = 7; // the last racer slot of an 8 bracket stands for "empty"
    TFinalBracket fia(8, 6, 1, 5, "");
    EXPECT_EQ(slotPairs(fia), (PairList{{0, E}, {2, 3}, {1, 4}, {E, E}}));
    EXPECT_EQ(seedPairs(fia), (PairList{{1, 0}, {3, 4}, {2, 5}, {0, 0}}));

    TFinalBracket hc(8, 8, 1, 6, "");
    EXPECT_EQ(slotPairs(hc), (PairList{{0, 3}, {E, E}, {1, 4}, {2, 5}}));

    TFinalBracket hc16(16, 9, 1, 16, "");
    EXPECT_EQ(seedPairs(hc16)[2], (std::pair{7, 15}));

    TFinalBracket fixed(16, 10, 1, 9, "");
    constexpr int F = 15;
    EXPECT_EQ(slotPairs(fixed), (PairList{{0, F}, {2, F}, {4, F}, {6, F}, {7, 8}, {5, F}, {3, F}, {1, F}}));
    TFinalBracket fixed4(4, 10, 1, 2, "");
    EXPECT_EQ(slotPairs(fixed4), (PairList{{0, 3}, {1, 3}}));
    EXPECT_EQ(seedPairs(fixed4), (PairList{{1, 0}, {2, 0}}));
}

TEST(BracketSeeding, RowShorterThanTheRoundNeverRepeatsASlot) {
    // Row 5 defines four pairs; a 16 bracket has eight. The 0,0 fill of the other four
    // would put racer slot 0 into five pairs: those pairs are empty instead.
    TFinalBracket b(16, 6, 1, 5, "");
    auto pairs = slotPairs(b);
    EXPECT_EQ(pairs[1], (std::pair{2, 3}));
    for (int i = 4; i < 8; ++i) EXPECT_EQ(pairs[i], (std::pair{15, 15}));
    int slot0 = 0;
    for (auto [a, c] : pairs) slot0 += (a == 0) + (c == 0);
    EXPECT_EQ(slot0, 1);
}

TEST(BracketSeeding, NoSeededRacersGivesEmptyPairs) {
    TFinalBracket b(8, 7, 1, 0, "");
    for (auto [a, c] : slotPairs(b)) EXPECT_EQ(std::pair(a, c), (std::pair{7, 7}));
    for (auto [a, c] : seedPairs(b)) EXPECT_EQ(std::pair(a, c), (std::pair{0, 0}));
}

TEST(BracketRacers, SetRacer) {
    TFinalBracket b(4, 0, 2, 4, "");
    EXPECT_EQ(b.setRacer(11, 2, 0), 0);
    EXPECT_EQ(b.racers[0].number, 11);
    EXPECT_EQ(b.racers[0].classId, 2);
    EXPECT_EQ(b.racers[0].seedIndex, 0);
    EXPECT_EQ(b.setRacer(11, 2, 1), -1);
    EXPECT_EQ(b.racers[1].number, 0);
    EXPECT_EQ(b.setRacer(11, 3, 1), 0); // same number, another class
    EXPECT_EQ(b.setRacer(12, 2, 3), 0);
    EXPECT_EQ(b.racers[3].seedIndex, 3);
    // Empty slots (0, 0) are refused as a repeat, and slots outside the bracket never written.
    EXPECT_EQ(b.setRacer(0, 0, 2), -1);
    EXPECT_EQ(b.setRacer(13, 2, 4), -1);
    EXPECT_EQ(b.setRacer(13, 2, -1), -1);
    EXPECT_EQ(b.racers.size(), 4u);
}

} // namespace
} // namespace velmaro
