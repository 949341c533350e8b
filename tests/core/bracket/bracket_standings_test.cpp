// Bracket standings: single and double elimination, decided and undecided.
#include <gtest/gtest.h>

#include <map>

#include "bracket_test_util.h"
#include "core/bracket/final_bracket.h"

namespace velmaro {
namespace {

using test::BracketPlayer;
using test::fillRacers;
using test::makeRun;

TFinalPair* U(const TFinalBracket& b, int r, int k) { return b.upperRound(r)->pair(k); }
TFinalPair* Lo(const TFinalBracket& b, int j, int k) { return b.lowerRound(j)->pair(k); }

std::map<int, int> placesByNumber(const TFinalBracket& b) {
    std::map<int, int> out;
    for (const auto& r : b.racers)
        if (r.number > 0) out[r.number] = r.place;
    return out;
}

// The smaller number wins every race, but the larger number drives the faster time,
// so times and not numbers order the losers of a round.
BracketPlayer timesAgainstNumbers() {
    BracketPlayer p;
    p.timeOf = [](int n) { return 20000 - n * 100; };
    return p;
}

TEST(BracketStandings, SingleEliminationAllRacesRun) {
    TFinalBracket b(8, 0, 7, 8, "");
    fillRacers(b, 8);
    BracketPlayer player = timesAgainstNumbers();
    player.play(b);
    // Final 1 beats 2; semifinal losers 4 and 3 by semifinal time (4 is faster);
    // quarter-final losers 8, 7, 6, 5 by their times.
    EXPECT_EQ(placesByNumber(b), (std::map<int, int>{{1, 1}, {2, 2}, {4, 3}, {3, 4}, {8, 5}, {7, 6}, {6, 7}, {5, 8}}));
    EXPECT_EQ(b.racers[0].timeKey, 20000 - 100); // racer 1's time in the final
}

TEST(BracketStandings, ThirdPlaceRaceDecidesThirdAndFourth) {
    TFinalBracket b(4, 1, 7, 4, "");
    fillRacers(b, 4);
    BracketPlayer player = timesAgainstNumbers();
    player.play(b);
    // 3 beats 4 in the race for 3rd place although 4 was faster in the semifinal.
    EXPECT_EQ(placesByNumber(b), (std::map<int, int>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));

    // With the final undecided the race for 3rd place is not looked at: the four
    // semifinalists rank by their semifinal times.
    player.runs.erase(U(b, 1, 0)->run.runId);
    b.update(player.runs);
    EXPECT_EQ(placesByNumber(b), (std::map<int, int>{{4, 1}, {3, 2}, {2, 3}, {1, 4}}));
}

TEST(BracketStandings, TechnicalLossWithoutRunInTheFinal) {
    TFinalBracket b(4, 0, 7, 4, "");
    fillRacers(b, 4);
    BracketPlayer player = timesAgainstNumbers();
    player.play(b);
    TFinalPair* final = U(b, 1, 0);
    player.runs.erase(final->run.runId);
    final->run.runId = 0;
    final->forceWinner = 1; // racer 2 wins, racer 1 lost without a run
    b.update(player.runs);
    EXPECT_EQ(placesByNumber(b), (std::map<int, int>{{2, 1}, {1, 0}, {4, 2}, {3, 3}}));
}

TEST(BracketStandings, NothingDecidedRanksBySeedIndex) {
    TFinalBracket b(4, 0, 7, 4, "");
    fillRacers(b, 4);
    b.racers[0].seedIndex = 3;
    b.racers[3].seedIndex = 0;
    b.update({});
    EXPECT_EQ(placesByNumber(b), (std::map<int, int>{{4, 5}, {2, 6}, {3, 7}, {1, 8}}));
}

TEST(BracketStandings, ByeAndExcludedLosers) {
    TFinalBracket b(8, 0, 7, 5, "");
    fillRacers(b, 5);
    BracketPlayer player = timesAgainstNumbers();
    player.play(b);
    // Racers 1, 2, 3 went through by bye; 4 beat 5 in round 0 (5 is then out with a
    // time). The empty slots take place 0.
    const auto places = placesByNumber(b);
    EXPECT_EQ(places.at(1), 1);
    EXPECT_EQ(places.at(2), 2);
    for (const auto& r : b.racers) {
        if (r.number == 0) {
            EXPECT_EQ(r.place, 0);
        }
    }

    // A first-round loser whose qualification position is beyond the bracket is not placed.
    b.racers[4].seedIndex = 8; // racer 5
    b.update(player.runs);
    EXPECT_EQ(placesByNumber(b).at(5), 0);
}

TEST(BracketStandings, RightLaneTimeWhicheverSlot) {
    TFinalBracket b(2, 0, 7, 2, "");
    fillRacers(b, 2);
    TDragRunMap runs;
    U(b, 0, 0)->run.runId = 4;
    runs[4] = makeRun(4, 2, 1, 1, 9000, 9100, 9500, 9600); // racer 1 (slot 0) on the right lane
    b.update(runs);
    EXPECT_EQ(b.racers[0].timeKey, 9600);
    EXPECT_EQ(U(b, 0, 0)->racerTime(1, 3), 9100); // timing mode 3: elapsed time alone
    b.update(runs, {}, 3);
    EXPECT_EQ(b.racers[0].timeKey, 9100);
}

TEST(BracketStandings, Orders) {
    TFinalRacer a, c;
    a.seedIndex = 1;
    c.seedIndex = 2;
    EXPECT_TRUE(compareTimes(&a, &c)); // no times: smaller seed index first
    EXPECT_TRUE(compareTimesDescending(&c, &a));
    a.timeKey = 12000;
    EXPECT_TRUE(compareTimes(&a, &c)); // a timed racer before an untimed one
    c.timeKey = 11000;
    EXPECT_TRUE(compareTimes(&c, &a));
    EXPECT_TRUE(compareTimesDescending(&a, &c));
    a.place = -1;
    c.place = 3;
    EXPECT_TRUE(comparePlaces(&a, &c));
    c.place = 0;
    EXPECT_TRUE(comparePlaces(&a, &c));
}

TEST(BracketStandings, DoubleEliminationComplete) {
    TFinalBracket b(8, 4, 7, 8, "");
    fillRacers(b, 8);
    BracketPlayer player = timesAgainstNumbers();
    player.play(b);
    ASSERT_EQ(b.upperRounds[4], nullptr); // no reset: the upper finalist won
    TFinalPair* gf = U(b, 3, 0);
    EXPECT_EQ(gf->winningRacer()->place, 1);
    EXPECT_EQ(gf->losingRacer()->place, 2);
    EXPECT_EQ(Lo(b, 3, 0)->losingRacer()->place, 3);
    EXPECT_EQ(Lo(b, 2, 0)->losingRacer()->place, 4);
    // Two losers of lower round 1: 5 and 6, the faster 5; lower round 0: 7 and 8.
    TFinalRacer* l10 = Lo(b, 1, 0)->losingRacer();
    TFinalRacer* l11 = Lo(b, 1, 1)->losingRacer();
    TFinalRacer* faster = l10->timeKey < l11->timeKey ? l10 : l11;
    EXPECT_EQ(faster->place, 5);
    EXPECT_EQ((faster == l10 ? l11 : l10)->place, 6);
    std::vector<int> all;
    for (const auto& r : b.racers) all.push_back(r.place);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));

    // With the reset round won, its winner is 1 and its loser 2.
    player.runs[gf->run.runId].winner = 1;
    player.play(b);
    ASSERT_NE(b.upperRounds[4], nullptr);
    TFinalPair* reset = U(b, 4, 0);
    EXPECT_EQ(reset->winningRacer()->place, 1);
    EXPECT_EQ(reset->losingRacer()->place, 2);
}

} // namespace
} // namespace velmaro
