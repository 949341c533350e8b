// Pair commands as bracket operations: reset scopes, technical results, slot texts and
// the run look-up by id.
#include <gtest/gtest.h>

#include "bracket_test_util.h"
#include "core/bracket/bracket_pair_commands.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "core/registration/registry.h"

namespace velmaro {
namespace {

// Every pair of a bracket with a run, a forced winner and comments.
void markAll(TFinalBracket& b) {
    int id = 1;
    for (const auto* rounds : {&b.upperRounds, &b.lowerRounds})
        for (const auto& round : *rounds)
            if (round)
                for (const auto& p : round->pairs) {
                    p->run.runId = id++;
                    p->winner = 0;
                    p->forceWinner = 1;
                    p->comments[0] = "a";
                    p->comments[1] = "b";
                }
}

TEST(BracketPairCommands, DeleteRunDataOnASemifinalWithThirdPlace) {
    TFinalBracket b(4, BRACKET_SINGLE_THIRD, 7, 4, "");
    test::fillRacers(b, 4);
    markAll(b);
    TFinalPair* semi = b.upperRound(0)->pair(0);
    TFinalPair* other = b.upperRound(0)->pair(1);
    ASSERT_TRUE(semi->nextPair && semi->loserPair);
    clearPairRunData(semi);
    for (TFinalPair* p : {semi, semi->nextPair, semi->loserPair}) {
        EXPECT_EQ(p->run.runId, 0);
        EXPECT_EQ(p->winner, -1);
        EXPECT_EQ(p->forceWinner, -1);
        EXPECT_EQ(p->comments[0], "a"); // comments stay
    }
    EXPECT_NE(other->run.runId, 0);
}

TEST(BracketPairCommands, ResetScopesAndLoopingLinks) {
    TFinalBracket b(8, BRACKET_DOUBLE, 7, 8, "");
    test::fillRacers(b, 8);
    markAll(b);
    TFinalPair* first = b.upperRound(0)->pair(0);
    TFinalPair* next = first->nextPair;
    TFinalPair* afterNext = next->nextPair;

    // Prepare: the pair whole, its next and loser pair only (comments stay there).
    clearPairForPrepare(first);
    EXPECT_TRUE(first->comments[0].empty());
    EXPECT_EQ(next->run.runId, 0);
    EXPECT_EQ(next->comments[0], "a");
    EXPECT_NE(afterNext->run.runId, 0);

    // A technical win keeps the pair's run; everything reachable after it is reset.
    markAll(b);
    applyTechnicalResult(*first, 1, true, "не вышел на старт");
    EXPECT_EQ(first->run.runId, 1);
    EXPECT_EQ(first->forceWinner, 1);
    EXPECT_EQ(first->comments[1], "не вышел на старт");
    EXPECT_EQ(first->comments[0], "");
    for (TFinalPair* p : {next, afterNext, first->loserPair}) {
        EXPECT_EQ(p->run.runId, 0);
        EXPECT_TRUE(p->comments[0].empty());
    }
    // A technical loss of slot 0: slot 1 wins, the comment goes to slot 0.
    applyTechnicalResult(*first, 0, false, "фальстарт");
    EXPECT_EQ(first->forceWinner, 1);
    EXPECT_EQ(first->comments[0], "фальстарт");
    EXPECT_EQ(first->comments[1], "");

    // A malformed bracket whose links loop: every reset ends.
    afterNext->nextPair = first;
    afterNext->loserPair = next;
    markAll(b);
    resetPair(first);
    clearPairRunData(first);
    EXPECT_EQ(afterNext->run.runId, 0);
    first->nextPair = first;
    clearPairForPrepare(first);
    resetPair(nullptr);
    clearPairRunData(nullptr);
}

TEST(BracketPairCommands, SlotTexts) {
    TRegistry registry;
    auto r = std::make_unique<TRacerItem>(12u);
    r->name = "Иванов";
    registry.racers.push_back(std::move(r));
    TFinalBracket b(4, 0, 7, 3, "");
    b.setRacer(12, 7, 0);
    b.setRacer(7, 7, 1);
    b.setRacer(9, 7, 2);
    b.update({});
    // Slots (0, 3) and (2, 1): 12 has a bye into the final, 9 and 7 race.
    const TFinalPair* p = b.upperRound(0)->pair(0);
    const TFinalPair* final = b.upperRound(1)->pair(0);
    EXPECT_EQ(pairSlotText(*p, 0, registry), "№ 12 Иванов");
    EXPECT_EQ(pairSlotText(*p, 1, registry), "--Нет участника--");
    EXPECT_EQ(pairSlotText(*b.upperRound(0)->pair(1), 1, registry), "№ 7");
    EXPECT_EQ(pairSlotText(*final, 0, registry), "№ 12 Иванов");
    ASSERT_TRUE(final->racers[1]);
    EXPECT_EQ(pairSlotText(*final, 1, registry), "№ -1"); // waiting for a winner
}

TEST(BracketPairCommands, RunIsFoundByIdNotByAStaleCopy) {
    test::FakeDragHost host;
    DragRuns runs{host};
    for (int id : {3, 5, 8}) {
        TDragRaceItem run;
        run.runId = id;
        run.gridRow = int(runs.dragRuns().size()) * 4;
        run.gridRows = 4;
        runs.dragRuns().push_back(run);
    }
    // The pair's copy says row 0; the run with id 8 now stands at rows 8..11.
    const auto rows = selectRunForPair(runs, 8);
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, (TRunGridRows{8, 11}));
    EXPECT_EQ(runs.selectedRun(), 2);
    EXPECT_EQ(runs.selectedLane(), SELECTED_LANE_WHOLE_RUN);
    EXPECT_FALSE(selectRunForPair(runs, 0));
    EXPECT_FALSE(selectRunForPair(runs, 99)); // a deleted run: nothing to show
    EXPECT_EQ(runs.selectedRun(), 2);
}

} // namespace
} // namespace velmaro
