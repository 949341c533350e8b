// New runs, roller slalom runs and the final runs of bracket pairs, with START on a
// class page.
#include <gtest/gtest.h>

#include "core/bracket/bracket_pair_commands.h"
#include "start_fixture.h"

namespace velmaro::test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(StartTest, NewRunTakesTheNextIdAndSharesThePromptText) {
    for (int id : {1, 2, 7}) {
        TDragRaceItem run;
        run.runId = id;
        runs.dragRuns().push_back(run);
    }
    host.rows = 6;
    op.inputs = {"12", "007"};
    seq.newRun(RUN_MODE_PRACTICE);
    ASSERT_EQ(runs.dragRuns().size(), 4u);
    const TDragRaceItem& run = runs.dragRuns().back();
    EXPECT_EQ(run.runId, 8);
    EXPECT_EQ(run.runMode, RUN_MODE_PRACTICE);
    EXPECT_EQ(run.racer, (std::array<int32_t, 2>{12, 7}));
    EXPECT_EQ(run.gridRow, 6);
    EXPECT_EQ(runs.currentRunIndex(), 3);
    EXPECT_EQ(op.openedWith, (Calls{"", "12"}));
    EXPECT_TRUE(seq.armed());
    EXPECT_TRUE(dragFileSaved());
    // The radio boards get both racers, left then right, as they are typed.
    ASSERT_EQ(host.radio.size(), 4u);
    EXPECT_EQ(host.radio[3].first[0], 12);
    EXPECT_EQ(host.radio[3].first[5], 7);
    EXPECT_EQ(host.radio[2].second, 1);

    // After the run with the highest id is deleted, its id is taken again.
    runs.dragRuns().pop_back();
    op.inputs = {"12", "7"};
    seq.newRun(RUN_MODE_QUALIFICATION);
    EXPECT_EQ(runs.dragRuns().back().runId, 8);
}

TEST_F(StartTest, NewRunScoreboardOutputAndRefusedEntries) {
    useScoreboard(122);
    console.invertScoreboard = 1;
    op.inputs = {"12", "x7"};
    seq.newRun(RUN_MODE_QUALIFICATION);
    const TDragRaceItem& run = runs.dragRuns().back();
    EXPECT_EQ(run.racer, (std::array<int32_t, 2>{12, -2}));
    EXPECT_EQ(run.classId[1], -1);
    Calls shown;
    for (const auto& c : controller.calls)
        if (c.rfind("show", 0) == 0 || c.rfind("setDisplay", 0) == 0 || c.rfind("reset", 0) == 0) shown.push_back(c);
    // Inverted: the left racer on board lane 2, the other lane blanked; the letters of
    // the right prompt give -2, shown as a bare number.
    EXPECT_EQ(shown, (Calls{"reset(1)", "showText", "showLane(1,2,12,0,0,0,0,0,0,Иванов,Москва)",
                            "showResult(1,1,0,0,0,0,0,0)", "setDisplayState(1,2)", "showText",
                            "showResult(1,1,-2,0,0,0,0,0)", "setDisplayState(0,2)"}));
    // Only the left number reached the radio boards; both lane displays were written.
    ASSERT_EQ(host.radio.size(), 2u);
    EXPECT_EQ(host.displays.size(), 2u);
    EXPECT_EQ(host.displays[1].second, 1);

    // Out of range is refused like letters.
    op.inputs = {"99999999999", "-3"};
    seq.newRun(RUN_MODE_QUALIFICATION);
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{-1, -2}));

    // Both prompts cancelled: markers, no lane output, the scoreboard reset at the end.
    useScoreboard(135);
    console.showLogo = 0;
    controller.calls.clear();
    host.displays.clear();
    host.radio.clear();
    op.inputs = {std::nullopt, std::nullopt};
    seq.newRun(RUN_MODE_QUALIFICATION);
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{-1, -2}));
    EXPECT_EQ(runs.dragRuns().back().classId, (std::array<int32_t, 2>{-1, -1}));
    EXPECT_EQ(controller.calls, (Calls{"reset(0)", "reset(1)"}));
    EXPECT_TRUE(host.displays.empty());
    EXPECT_TRUE(host.radio.empty());
    EXPECT_TRUE(seq.armed());
}

TEST_F(StartTest, RollersRunAsksOneRacerOutsideAFinal) {
    console.raceMode = 7;
    useScoreboard(122);
    op.inputs = {"12"};
    seq.newRollersRun(RUN_MODE_QUALIFICATION);
    EXPECT_EQ(op.shown, (Calls{"Номер участника"}));
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{12, 0}));
    EXPECT_EQ(controller.calls.back(), "showText");
    EXPECT_TRUE(host.displays.empty());
    op.inputs = {"12", "7"};
    seq.newRollersRun(RUN_MODE_FINAL);
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{12, 7}));
    EXPECT_EQ(op.shown.back(), "Номер участника на правой дорожке");
    EXPECT_TRUE(dragFileSaved());
}

// A four-racer bracket of class 3 on a class page: pair 0 of the first round holds
// racers 12 and 7.
class StartPairTest : public StartTest {
protected:
    std::shared_ptr<TFinalBracket> bracket = std::make_shared<TFinalBracket>(4, BRACKET_SINGLE_THIRD, 3, 4, "");
    std::shared_ptr<TBracketPage> page;
    TFinalPair* pair = nullptr;

    void SetUp() override {
        StartTest::SetUp();
        TFinalPair* first = bracket->upperRound(0)->pair(0);
        first->racers[0]->number = 12;
        first->racers[1]->number = 7;
        pair = first;
        ports.bracket = bracket;
        ports.runsPage = false;
        {
            auto lock = brackets.lockBrackets();
            page = brackets.addBracketPage(nullptr);
            (void)setPageBracket(*page, bracket);
        }
        bracket->selectedPair = pair;
        for (int id = 1; id <= 5; ++id) {
            TDragRaceItem run;
            run.runId = id;
            runs.dragRuns().push_back(run);
        }
    }
};

TEST_F(StartPairTest, PrepareMakesTheFinalRunOnTheChosenLanes) {
    console.raceMode = 2;
    useScoreboard(124);
    ports.laneAnswers = {1}; // "<---->" once, then OK
    seq.startBracketPairRun(bracket, pair);
    EXPECT_EQ(ports.laneTexts[0], (std::array<std::string, 2>{"12 - Иванов", "7 - Петров"}));
    ASSERT_EQ(runs.dragRuns().size(), 6u);
    const TDragRaceItem& run = runs.dragRuns().back();
    EXPECT_EQ(run.runId, 6);
    EXPECT_EQ(run.runMode, RUN_MODE_FINAL);
    EXPECT_EQ(run.racer, (std::array<int32_t, 2>{7, 12}));
    EXPECT_EQ(pair->run.runId, 6);
    EXPECT_EQ(pair->run.racer, (std::array<int32_t, 2>{0, 0}));
    EXPECT_TRUE(seq.armed());
    EXPECT_TRUE(dragFileSaved()); // saved at once, not with the next hit
    EXPECT_EQ(ports.calls.front(), "sendStartUnitMode(1)");
    EXPECT_EQ(controller.calls.front(), "reset(1)");
    EXPECT_EQ(host.radio.back().first[0], 7);
    EXPECT_EQ(host.radio.back().first[5], 12);
    // The confirmed arrangement is what the next lane choice opens with.
    EXPECT_EQ(seq.lanesSwapped(), 1);
    ports.laneAnswers = {std::nullopt};
    seq.startBracketPairRun(bracket, pair);
    EXPECT_EQ(ports.laneOpenedWith.back(), 1);
    EXPECT_EQ(ports.laneTexts.back(), (std::array<std::string, 2>{"7 - Петров", "12 - Иванов"}));
    EXPECT_EQ(runs.dragRuns().size(), 6u); // cancelled: no run
}

TEST_F(StartPairTest, WithoutAScoreboardTheArrangementIsNotKept) {
    ports.laneAnswers = {1};
    seq.startBracketPairRun(bracket, pair);
    EXPECT_EQ(seq.lanesSwapped(), 0);
    EXPECT_EQ(host.displays.size(), 2u);
    console.raceMode = 7;
    ports.laneAnswers = {1};
    seq.startRollersBracketPairRun(bracket, pair);
    EXPECT_EQ(seq.lanesSwapped(), 0);
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{7, 12}));
    EXPECT_EQ(host.displays.size(), 2u);
}

TEST_F(StartPairTest, StartOnAClassPage) {
    // Slots 0 and the placeholder: nothing at all.
    pair->racers[0]->number = 0;
    pair->racers[1]->number = -1;
    seq.start();
    EXPECT_EQ(ports.only("send"), Calls{});
    EXPECT_TRUE(ports.laneTexts.empty());

    // A pair without a run: the lane choice (unregistered numbers show bare), then the start.
    pair->racers[0]->number = 12;
    pair->racers[1]->number = -1;
    seq.start();
    EXPECT_EQ(ports.laneTexts.back(), (std::array<std::string, 2>{"12 - Иванов", "-1"}));
    EXPECT_EQ(runs.dragRuns().back().racer, (std::array<int32_t, 2>{12, -1}));
    EXPECT_EQ(runs.dragRuns().back().classId[1], -1);
    EXPECT_EQ(pair->run.runId, 6);
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,0,1)"}));
    EXPECT_FALSE(seq.armed());

    // The pair has a run: the question; No changes nothing.
    ports.calls.clear();
    seq.start();
    EXPECT_EQ(op.shown.back(), kOverwriteBracketText);
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Error);
    EXPECT_TRUE(ports.only("send").empty());
    EXPECT_EQ(pair->run.runId, 6);
    EXPECT_EQ(runs.dragRuns().size(), 6u);

    // Yes: the pair and its next pair lose their runs, a new run is made and started.
    pair->nextPair->run.runId = 6;
    pair->nextPair->winner = 0;
    op.yesNoAnswers = {true};
    seq.start();
    EXPECT_EQ(pair->run.runId, 7);
    EXPECT_EQ(pair->nextPair->run.runId, 0);
    EXPECT_EQ(pair->nextPair->winner, -1);
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,0,1)"}));

    // The armed newest run of the pair just starts; a cancelled lane choice sends nothing.
    seq.setArmed(true);
    ports.calls.clear();
    seq.start();
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,0,1)"}));
    pair->run = TDragRaceItem{};
    ports.laneAnswers = {std::nullopt};
    ports.calls.clear();
    seq.start();
    EXPECT_TRUE(ports.only("send").empty());
    EXPECT_EQ(runs.dragRuns().size(), 7u);
}

TEST_F(StartPairTest, APairWhoseBracketWasReplacedDuringTheQuestionIsToldNotChanged) {
    pair->run.runId = 3;
    pair->nextPair->run.runId = 4;
    // While the official reads the question the class is drawn again: a new bracket on the page.
    op.whileOpen = [this] {
        auto lock = brackets.lockBrackets();
        (void)setPageBracket(*page, std::make_shared<TFinalBracket>(4, BRACKET_SINGLE_THIRD, 3, 4, ""));
    };
    op.yesNoAnswers = {true};
    seq.start();
    EXPECT_EQ(op.shown.back(), kPairGoneText);
    EXPECT_EQ(pair->run.runId, 3); // the old bracket's pair is left alone
    EXPECT_EQ(pair->nextPair->run.runId, 4);
    EXPECT_TRUE(ports.laneTexts.empty());
    EXPECT_EQ(runs.dragRuns().size(), 5u);
    EXPECT_TRUE(ports.only("send").empty());
}

} // namespace
} // namespace velmaro::test
