// Bracket progression: byes, waiting for racers, runs mapped to slots, deleted runs,
// deciders, the grand final's reset round and two-nil series.
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
int num(const TFinalRacer* r) { return r ? r->number : -99; } // -99: no racer (null slot)

// Gives a pair its run: the pair refers to it by id, the map holds it.
void give(TDragRunMap& runs, TFinalPair* p, TDragRaceItem run) {
    p->run.runId = run.runId;
    runs[run.runId] = run;
}

TEST(BracketProgress, ByesAndWaitingForRacers) {
    // 8 slots, 5 racers: seeds 1, 2 and 3 meet empty slots and go through at once;
    // seed 1 then waits for the winner of 5-4 (the placeholder), without a bye.
    TFinalBracket b(8, 0, 7, 5, "");
    fillRacers(b, 5);
    b.update({});
    EXPECT_EQ(U(b, 0, 0)->winner, 0);
    EXPECT_EQ(U(b, 0, 1)->winner, -1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), -1);
    EXPECT_EQ(num(U(b, 1, 1)->racers[0]), 3);
    EXPECT_EQ(num(U(b, 1, 1)->racers[1]), 2);
    EXPECT_EQ(U(b, 1, 0)->winner, -1);
    EXPECT_EQ(num(U(b, 2, 0)->racers[0]), -1);
    EXPECT_EQ(num(U(b, 2, 0)->racers[1]), -1);
}

TEST(BracketProgress, TwoEmptySlotsSendNobodyInRoundZero) {
    TFinalBracket b(8, 0, 7, 2, "");
    fillRacers(b, 2);
    b.update({});
    EXPECT_EQ(U(b, 1, 0)->racers[1], nullptr); // from the pair of two empty slots
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 1);
    EXPECT_EQ(U(b, 1, 0)->winner, 0); // a racer against nobody goes on
    EXPECT_EQ(num(U(b, 2, 0)->racers[0]), 1);
    EXPECT_EQ(num(U(b, 2, 0)->racers[1]), 2);
    EXPECT_EQ(U(b, 2, 0)->winner, -1);
}

TEST(BracketProgress, RunIsMappedToSlotsByRacerNumber) {
    TFinalBracket b(2, 0, 7, 2, "");
    fillRacers(b, 2);
    TDragRunMap runs;
    // Racer 2 (slot 1) drove the left lane and won it.
    give(runs, U(b, 0, 0), makeRun(5, 2, 1, 0));
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->winner, 1);
    runs[5].winner = 1;
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->winner, 0);
    // A run whose racers are not the pair's gives the win to slot 1.
    runs[5] = makeRun(5, 40, 41, 0);
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->winner, 1);
    // A forced winner overrides the run.
    U(b, 0, 0)->forceWinner = 0;
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->winner, 0);
}

TEST(BracketProgress, DeletedRunCascades) {
    TFinalBracket b(4, 1, 7, 4, "");
    fillRacers(b, 4);
    TDragRunMap runs;
    give(runs, U(b, 0, 0), makeRun(1, 1, 4, 0));
    give(runs, U(b, 0, 1), makeRun(2, 3, 2, 1));
    b.update(runs);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), 2);
    // The two semifinal losers meet for 3rd place, each in slot k mod 2.
    EXPECT_EQ(num(U(b, 2, 0)->racers[0]), 4);
    EXPECT_EQ(num(U(b, 2, 0)->racers[1]), 3);
    give(runs, U(b, 2, 0), makeRun(3, 4, 3, 0));
    b.update(runs);
    EXPECT_EQ(U(b, 2, 0)->winner, 0);

    runs.erase(1);
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->run.runId, 0);
    EXPECT_EQ(U(b, 0, 0)->winner, -1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), -1);
    EXPECT_EQ(num(U(b, 2, 0)->racers[0]), -1);
    EXPECT_EQ(U(b, 2, 0)->run.runId, 0); // the loser pair loses its run copy
    EXPECT_EQ(U(b, 2, 0)->winner, -1);
    // Forgotten for good: the run coming back does not reattach itself.
    runs[1] = makeRun(1, 1, 4, 0);
    b.update(runs);
    EXPECT_EQ(U(b, 0, 0)->run.runId, 0);
}

TEST(BracketProgress, FinalBestOfThreeDecider) {
    TFinalBracket b(2, 2, 7, 2, "");
    fillRacers(b, 2);
    b.update({});
    // Race 1 undecided: race 2 shows the placeholder in slot 0 only.
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), -1);
    EXPECT_EQ(U(b, 1, 0)->racers[1], nullptr);

    TDragRunMap runs;
    give(runs, U(b, 0, 0), makeRun(1, 1, 2, 0)); // A = racer 1 wins race 1
    b.update(runs);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), 2);
    EXPECT_EQ(b.upperRounds[2], nullptr);

    give(runs, U(b, 1, 0), makeRun(2, 1, 2, 1)); // B wins race 2
    b.update(runs);
    ASSERT_NE(b.upperRounds[2], nullptr);
    TFinalPair* d = U(b, 2, 0);
    EXPECT_EQ(num(d->racers[0]), 2);
    EXPECT_EQ(num(d->racers[1]), 1);
    EXPECT_EQ(U(b, 1, 0)->nextPair, d);
    EXPECT_EQ(U(b, 1, 0)->loserPair, d);
    EXPECT_EQ(d->sourcePairs[0], U(b, 1, 0));

    give(runs, d, makeRun(3, 2, 1, 0));
    b.update(runs); // a later update keeps the order
    EXPECT_EQ(num(U(b, 2, 0)->racers[0]), 2);
    EXPECT_EQ(U(b, 2, 0)->winner, 0);

    // Removing race 2's run removes the decider; a selection inside it goes with it.
    b.selectedPair = U(b, 2, 0);
    runs.erase(2);
    b.update(runs);
    EXPECT_EQ(b.upperRounds[2], nullptr);
    EXPECT_EQ(U(b, 1, 0)->nextPair, nullptr);
    EXPECT_EQ(b.selectedPair, nullptr);
}

TEST(BracketProgress, FinalAndThirdPlaceSeriesWithDeciders) {
    TFinalBracket b(4, 3, 7, 4, "");
    fillRacers(b, 4);
    TDragRunMap runs;
    auto race = [&](int r, int id, int left, int right, int lane) {
        give(runs, U(b, r, 0), makeRun(id, left, right, lane, 9000, 9100, 9500, 9600));
        b.update(runs);
    };
    give(runs, U(b, 0, 0), makeRun(1, 1, 4, 0, 9000, 9100, 9500, 9600));
    give(runs, U(b, 0, 1), makeRun(2, 3, 2, 1, 9000, 9100, 9500, 9600));
    b.update(runs);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 1);
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), 2);
    EXPECT_EQ(num(U(b, 4, 0)->racers[0]), 4); // semifinal losers to 3rd-place race 1
    EXPECT_EQ(num(U(b, 4, 0)->racers[1]), 3);
    race(1, 3, 1, 2, 0); // final race 1: racer 1
    race(2, 4, 1, 2, 1); // final race 2: racer 2, so a decider
    race(4, 5, 4, 3, 0); // 3rd-place race 1: racer 4
    race(5, 6, 4, 3, 0); // 3rd-place race 2: racer 4 again, no decider
    ASSERT_NE(b.upperRounds[3], nullptr);
    EXPECT_EQ(num(U(b, 3, 0)->racers[0]), 2);
    EXPECT_EQ(num(U(b, 3, 0)->racers[1]), 1);
    EXPECT_EQ(b.upperRounds[6], nullptr);
    race(3, 7, 2, 1, 0); // the decider: racer 2
    std::map<int, int> places;
    for (const auto& r : b.racers) places[r.number] = r.place;
    EXPECT_EQ(places, (std::map<int, int>{{1, 2}, {2, 1}, {3, 4}, {4, 3}}));
}

TEST(BracketProgress, DoubleEliminationGrandFinalAndReset) {
    TFinalBracket b(4, 4, 7, 4, "");
    fillRacers(b, 4);
    BracketPlayer player; // the smaller number always wins
    player.play(b);
    TFinalPair* gf = U(b, 2, 0);
    EXPECT_EQ(num(gf->racers[0]), 1); // the upper finalist
    EXPECT_EQ(num(gf->racers[1]), 2); // lost the upper final, won the lower bracket
    EXPECT_EQ(gf->winner, 0);
    EXPECT_EQ(b.upperRounds[3], nullptr); // won by slot 0: the bracket ends

    // The racer from the lower bracket wins the grand final: the reset round is made
    // with the two finalists in exchanged slots.
    player.runs[gf->run.runId].winner = 1;
    b.update(player.runs);
    EXPECT_EQ(gf->winner, 1);
    ASSERT_NE(b.upperRounds[3], nullptr);
    TFinalPair* reset = U(b, 3, 0);
    EXPECT_EQ(num(reset->racers[0]), 2);
    EXPECT_EQ(num(reset->racers[1]), 1);
    EXPECT_EQ(gf->nextPair, reset);
    EXPECT_EQ(gf->loserPair, reset);
    EXPECT_EQ(gf->loserSlot, 1);
    player.play(b);
    EXPECT_EQ(U(b, 3, 0)->winner, 1); // racer 1 on the right lane wins the reset
    EXPECT_EQ(num(U(b, 3, 0)->racers[0]), 2);

    // Taking the grand final's run away removes the reset round again.
    player.runs.erase(gf->run.runId);
    b.update(player.runs);
    EXPECT_EQ(b.upperRounds[3], nullptr);
    EXPECT_EQ(gf->nextPair, nullptr);
    EXPECT_EQ(gf->loserPair, nullptr);
}

TEST(BracketProgress, UpperLosersEnterLowerRoundOneInExchangedHalves) {
    TFinalBracket b(8, 4, 7, 8, "");
    fillRacers(b, 8);
    BracketPlayer player;
    player.play(b);
    // Upper round 1: pair 0 is 1 vs 4 (loser 4), pair 1 is 3 vs 2 (loser 3).
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), 4);
    EXPECT_EQ(num(Lo(b, 1, 1)->racers[0]), 4); // pair 0's loser meets lower pair 1's winner
    EXPECT_EQ(num(Lo(b, 1, 0)->racers[0]), 3);
    EXPECT_EQ(num(Lo(b, 1, 0)->racers[1]), num(Lo(b, 0, 0)->winningRacer()));
    EXPECT_EQ(num(Lo(b, 1, 1)->racers[1]), num(Lo(b, 0, 1)->winningRacer()));
    EXPECT_EQ(U(b, 3, 0)->winner, 0);
}

TEST(BracketProgress, LowerBracketWaitsWithPlaceholder) {
    TFinalBracket b(4, 4, 7, 4, "");
    fillRacers(b, 4);
    b.update({});
    EXPECT_EQ(num(Lo(b, 0, 0)->racers[0]), -1);
    EXPECT_EQ(num(Lo(b, 0, 0)->racers[1]), -1);
    // A lower pair of two placeholders in lower round 0 sends nobody on yet
    // (only from round 1 on do two waiting slots count as racers).
    EXPECT_EQ(num(Lo(b, 1, 0)->racers[0]), -1);
    EXPECT_EQ(Lo(b, 1, 0)->racers[1], nullptr);
    EXPECT_EQ(num(U(b, 2, 0)->racers[1]), -1); // the grand final always shows a waiting slot
    EXPECT_EQ(U(b, 2, 0)->winner, -1);
}

TEST(BracketProgress, SeriesWonTwoToNilForcesRaceThree) {
    TFinalBracket b(2, 5, 7, 2, "");
    fillRacers(b, 2);
    TDragRunMap runs;
    give(runs, U(b, 0, 0), makeRun(1, 1, 2, 0)); // A (1) wins race 1 from slot 0
    b.update(runs);
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 2); // they exchange slots for race 2
    EXPECT_EQ(num(U(b, 1, 0)->racers[1]), 1);
    give(runs, U(b, 1, 0), makeRun(2, 2, 1, 1)); // A wins race 2 from slot 1
    b.update(runs);
    TFinalPair* race3 = U(b, 2, 0);
    EXPECT_EQ(num(race3->racers[0]), 1);
    EXPECT_EQ(race3->forceWinner, 0);
    EXPECT_EQ(race3->winner, 0);
    // Changing race 2 afterwards leaves race 3 forced.
    runs[2].winner = 0;
    b.update(runs);
    EXPECT_EQ(race3->forceWinner, 0);
}

TEST(BracketProgress, ForcedWinnerOnPlaceholderMovesItOn) {
    TFinalBracket b(4, 0, 7, 3, "");
    fillRacers(b, 3);
    b.update({});
    // Pair 1 is 3 vs 2: no winner yet; the final's slot 1 waits.
    U(b, 1, 0)->forceWinner = 1; // the waiting slot "wins"
    b.update({});
    EXPECT_EQ(U(b, 1, 0)->winner, 1);
    U(b, 1, 0)->forceWinner = -1;
    U(b, 0, 0)->forceWinner = 1; // forced onto the empty slot 4
    b.update({});
    EXPECT_EQ(num(U(b, 1, 0)->racers[0]), 0);
}

TEST(BracketProgress, FixedDoubleEliminationPlaysThrough) {
    for (int size : {4, 8, 16}) {
        SCOPED_TRACE(size);
        TFinalBracket b(size, 10, 7, size, "");
        fillRacers(b, size);
        BracketPlayer player;
        player.play(b);
        TFinalPair* gf = U(b, b.upperRoundCount - 2, 0);
        EXPECT_EQ(num(gf->racers[0]), 1);
        EXPECT_GT(num(gf->racers[1]), 1);
        EXPECT_EQ(gf->winner, 0);
        for (const auto& round : b.lowerRounds)
            for (const auto& p : round->pairs) EXPECT_NE(p->winner, -1);
    }
}

} // namespace
} // namespace velmaro
