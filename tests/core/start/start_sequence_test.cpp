// START, NEXT, Block ST, the reset, the brightness and the keys, as the commands they
// send and the runs they make.
#include <gtest/gtest.h>

#include <algorithm>

#include "start_fixture.h"

namespace velmaro::test {
namespace {

using Calls = std::vector<std::string>;

TEST_F(StartTest, StartOnTheRunsPageWithoutAnArmedRunMakesTheRunAndStartsIt) {
    op.inputs = {"12", "7"};
    seq.start();
    ASSERT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(runs.dragRuns()[0].runId, 1);
    EXPECT_EQ(runs.dragRuns()[0].racer, (std::array<int32_t, 2>{12, 7}));
    EXPECT_EQ(runs.currentRunIndex(), 0);
    EXPECT_TRUE(dragFileSaved());
    EXPECT_EQ(ports.calls,
              (Calls{"lamp red", "clearDisplay(0)", "clearDisplay(1)", "blockSt up", "sendStartCommand(24,0,1)"}));
    EXPECT_FALSE(seq.armed());

    // A start that is already armed makes no run; with a type 153 scoreboard the code is 50
    // and the armed run's timing starts on the scoreboard.
    useScoreboard(153);
    console.proStart = true;
    seq.setArmed(true);
    ports.calls.clear();
    seq.start();
    EXPECT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(ports.calls, (Calls{"lamp red", "blockSt up", "sendStartCommand(50,1,1)"}));
    EXPECT_EQ(controller.calls, (Calls{"startTiming"}));
}

TEST_F(StartTest, AltSendsOnlyCommand53AndAProgrammaticPressAfterItStartsNormally) {
    seq.setArmed(true);
    seq.start(START_MOD_ALT | START_MOD_CTRL);
    EXPECT_EQ(ports.calls, (Calls{"sendCommand53"}));
    EXPECT_TRUE(seq.armed());
    // Keys, remote signals and the timer press without modifiers: the Alt of an earlier
    // click does not stick.
    ports.calls.clear();
    EXPECT_TRUE(seq.keyDown(StartKey::F12, false));
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,0,1)"}));
}

TEST_F(StartTest, CtrlGivesAnArmedStartThatEnterFires) {
    console.raceMode = 2;
    seq.setArmed(true);
    seq.start(START_MOD_CTRL);
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(45,0,1)"}));
    EXPECT_TRUE(seq.armed());
    EXPECT_TRUE(ports.only("blockSt").empty()); // Block ST stays as it was
    ports.calls.clear();
    EXPECT_TRUE(seq.keyDown(StartKey::Enter, false));
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,0,1)"}));
    EXPECT_FALSE(seq.armed());
    // Enter without an armed run and without a lap racer waiting does nothing.
    ports.calls.clear();
    EXPECT_FALSE(seq.keyDown(StartKey::Enter, false));
    EXPECT_TRUE(ports.calls.empty());
    // A lap racer waiting makes Enter a START.
    console.raceMode = 1;
    lap.pendingRacer() = 5;
    EXPECT_TRUE(seq.keyDown(StartKey::Enter, false));
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(5,0,1)"}));
}

TEST_F(StartTest, LapStartThatIsRefusedSendsNothing) {
    console.raceMode = 1;
    op.inputs = {std::nullopt}; // the racer number asked by the lap start is cancelled
    seq.start();
    EXPECT_TRUE(ports.only("send").empty());
    EXPECT_EQ(ports.calls, (Calls{"lamp red", "blockSt up"}));
}

TEST_F(StartTest, NextPreparesAnArmedRunWithAutomaticStart) {
    console.proStart = true;
    console.autoStart = true;
    console.showLogo = 1;
    op.inputs = {"12", "7"};
    // The new run is saved before the results thread hears of it; the grid is repainted
    // once when the run appears and once after.
    host.onCall = [this](const std::string& call) {
        return call + (std::filesystem::is_regular_file(folder / "drag.txt") && dragFileSaved() ? " saved" : "");
    };
    seq.next();
    EXPECT_EQ(host.calls, (Calls{"repaint", "notify saved", "repaint saved"}));
    EXPECT_EQ(ports.calls, (Calls{"armCommand37", "sendStartSignalMode(1)", "clearDisplay(0)", "clearDisplay(1)",
                                  "showRadioLogo", "blockSt down", "armAutoStart(12,7,24,1,1)"}));
    EXPECT_TRUE(seq.armed());
    ASSERT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(runs.dragRuns()[0].runMode, RUN_MODE_QUALIFICATION);
    EXPECT_EQ(runs.selectedRun(), 0);
    EXPECT_EQ(host.notifies, 1);
    EXPECT_TRUE(dragFileSaved());
    // Signal 9 (or Enter) then starts the armed run.
    ports.calls.clear();
    seq.start();
    EXPECT_EQ(ports.only("send"), (Calls{"sendStartCommand(24,1,1)"}));

    // Run mode from the group: "Финал" makes a final run; no item makes no run and
    // leaves nothing armed.
    ports.item = 2;
    op.inputs = {"12", "7"};
    seq.next();
    EXPECT_EQ(runs.dragRuns().back().runMode, RUN_MODE_FINAL);
    EXPECT_EQ(runs.dragRuns().back().runId, 2);
    seq.start();
    ports.item = -1;
    ports.calls.clear();
    seq.next();
    EXPECT_EQ(runs.dragRuns().size(), 2u);
    EXPECT_FALSE(seq.armed());
    EXPECT_TRUE(ports.only("armAutoStart").empty());
}

TEST_F(StartTest, NextSendsTheStartUnitModeForItsScoreboards) {
    struct Case {
        unsigned mode;
        int type;
        Calls unitModes;
        bool reset;
    };
    const Case cases[] = {
        {4, 124, {"sendStartUnitMode(0)"}, true},
        {8, 153, {"sendStartUnitMode(3)"}, true},
        {0, 156, {"sendStartUnitMode(1)"}, true},
        {1, 132, {"sendStartUnitMode(2)"}, true},
        {0, 118, {}, false},
        {7, 0, {"sendStartUnitMode(0)"}, false}, // roller slalom, qualification item
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " type " << c.type);
        console.raceMode = c.mode;
        useScoreboard(c.type);
        controller.calls.clear();
        ports.calls.clear();
        op.inputs = {"12", "7"};
        seq.next();
        EXPECT_EQ(ports.only("sendStartUnitMode"), c.unitModes);
        // NEXT's own reset comes before the run's prompts (the drag runs reset once more).
        const auto resets = std::count(controller.calls.begin(), controller.calls.end(), "reset(1)");
        if (c.reset) {
            ASSERT_FALSE(controller.calls.empty());
            EXPECT_EQ(controller.calls.front(), "reset(1)");
            if (c.mode == 0 || c.mode == 8) {
                EXPECT_EQ(resets, 2);
            }
        } else {
            EXPECT_EQ(resets, 1);
        }
    }
    // Mode 4 with type 156 arms the start for the lap racer.
    console.raceMode = 4;
    useScoreboard(156);
    seq.setArmed(false);
    op.inputs = {"5"};
    seq.next();
    EXPECT_TRUE(seq.armed());
}

TEST_F(StartTest, BlockStBrightnessAndReset) {
    seq.blockStart(true);
    seq.blockStart(false);
    EXPECT_EQ(ports.calls, (Calls{"sendStartUnitMode(0)", "sendStartUnitMode(2)"}));
    useScoreboard(132);
    ports.calls.clear();
    seq.blockStart(true);
    console.raceMode = 7;
    useScoreboard(0);
    seq.blockStart(true);
    EXPECT_TRUE(ports.calls.empty());

    seq.brightness(20);
    seq.brightness(1);
    EXPECT_EQ(ports.calls, (Calls{"sendLightBrightness(1)", "sendLightBrightness(20)"}));

    // The reset shows the logo, or with Ctrl on the click resets the radio boards.
    useScoreboard(135);
    console.showLogo = 1;
    ports.calls.clear();
    seq.resetScoreboards();
    EXPECT_EQ(ports.calls, (Calls{"clearDisplay(0)", "clearDisplay(1)", "showRadioLogo"}));
    EXPECT_EQ(controller.calls, (Calls{"reset(1)", "showLogo"}));
    ports.calls.clear();
    seq.resetScoreboards(START_MOD_CTRL);
    EXPECT_EQ(ports.calls, (Calls{"clearDisplay(0)", "clearDisplay(1)", "resetRadioBoards"}));
    ports.calls.clear();
    EXPECT_TRUE(seq.keyDown(StartKey::F4, false)); // the key presses without Ctrl
    EXPECT_EQ(ports.calls.back(), "showRadioLogo");
}

// START pressed while NEXT asks for the racers (the node's signal 101, F12, the interval
// timer) waits for both answers and then starts the run NEXT made: one run, one start.
TEST_F(StartTest, AStartPressedInsideNextsOwnPromptStartsTheRunAfterTheAnswers) {
    bool pressed = false;
    op.whileOpen = [&] {
        if (pressed) return;
        pressed = true;
        seq.start();
        EXPECT_TRUE(ports.only("sendStartCommand").empty());
    };
    op.inputs = {"12", "7"};
    seq.next();
    EXPECT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(runs.dragRuns()[0].racer, (std::array<int32_t, 2>{12, 7}));
    EXPECT_EQ(ports.only("sendStartCommand"), (Calls{"sendStartCommand(24,0,1)"}));
    EXPECT_EQ(ports.only("armCommand37").size(), 1u);
    EXPECT_FALSE(seq.armed());
    EXPECT_FALSE(seq.busy());
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_EQ(op.logLines[0].rfind("СТАРТ ждал закрытия вопроса «", 0), 0u) << op.logLines[0];
    EXPECT_NE(op.logLines[0].find("и выполнен после него"), std::string::npos) << op.logLines[0];
}

// Inside one question: START, NEXT, START run in that order; START pressed again right
// behind a waiting START, and the start unit's START with no run armed, are dropped with a
// log line each; NEXT pressed inside START's own prompt runs after it.
TEST_F(StartTest, PressesInsideAQuestionRunInTheOrderPressed) {
    int questions = 0;
    op.whileOpen = [&] {
        if (++questions != 1) return;
        seq.startArmedRun(); // signal 9: nothing is armed
        seq.start();
        seq.start(); // the same as the press waiting last
        seq.next();
        seq.start();
        EXPECT_TRUE(seq.keyDown(StartKey::F12, false)); // the same again
    };
    op.yesNoAnswers = {true};
    // START's run asks 1 and 2; NEXT's run 3 and 4, the last START starts it.
    op.inputs = {"1", "2", "3", "4"};
    EXPECT_TRUE(desk.askYesNo("Удалить заезд?", ""));
    ASSERT_EQ(runs.dragRuns().size(), 2u);
    EXPECT_EQ(runs.dragRuns()[0].racer, (std::array<int32_t, 2>{1, 2}));
    EXPECT_EQ(runs.dragRuns()[1].racer, (std::array<int32_t, 2>{3, 4}));
    std::vector<std::string> order;
    for (const std::string& c : ports.calls)
        if (c == "armCommand37" || c.rfind("sendStartCommand", 0) == 0) order.push_back(c);
    EXPECT_EQ(order, (Calls{"sendStartCommand(24,0,1)", "armCommand37", "sendStartCommand(24,0,1)"}));
    EXPECT_FALSE(seq.armed());

    ASSERT_EQ(op.logLines.size(), 6u);
    EXPECT_NE(op.logLines[0].find("такое же нажатие уже ждёт"), std::string::npos) << op.logLines[0];
    EXPECT_NE(op.logLines[1].find("такое же нажатие уже ждёт"), std::string::npos) << op.logLines[1];
    EXPECT_EQ(op.logLines[2].rfind("СТАРТ ждал", 0), 0u) << op.logLines[2];
    EXPECT_NE(op.logLines[2].find("не выполнен: заезд больше не ждёт старта"), std::string::npos);
    EXPECT_EQ(op.logLines[3].rfind("СТАРТ ждал закрытия вопроса «Удалить заезд?» и выполнен", 0), 0u) << op.logLines[3];
    EXPECT_EQ(op.logLines[4].rfind("СЛЕД. СТАРТ ждал", 0), 0u) << op.logLines[4];
    EXPECT_EQ(op.logLines[5].rfind("СТАРТ ждал", 0), 0u) << op.logLines[5];

    // NEXT pressed inside START's own lane prompt makes the next run after START's.
    questions = 0;
    op.whileOpen = [&] {
        if (++questions == 1) seq.next();
    };
    op.inputs = {"5", "6", "7", "8"};
    op.logLines.clear();
    seq.start();
    ASSERT_EQ(runs.dragRuns().size(), 4u);
    EXPECT_EQ(runs.dragRuns()[2].racer, (std::array<int32_t, 2>{5, 6}));
    EXPECT_EQ(runs.dragRuns()[3].racer, (std::array<int32_t, 2>{7, 8}));
    EXPECT_TRUE(seq.armed());
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_EQ(op.logLines[0].rfind("СЛЕД. СТАРТ ждал", 0), 0u) << op.logLines[0];
}

// The start unit's START outside any question with no run armed: nothing, but said.
TEST_F(StartTest, TheStartUnitsStartWithNoArmedRunIsDroppedWithALine) {
    seq.startArmedRun();
    EXPECT_TRUE(ports.calls.empty());
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("не выполнен"), std::string::npos) << op.logLines[0];
}

TEST_F(StartTest, KeysOfTheMainWindow) {
    EXPECT_TRUE(seq.keyDown(StartKey::F8, false));
    console.printBoth = true;
    EXPECT_TRUE(seq.keyDown(StartKey::F8, false));
    console.raceMode = 7;
    EXPECT_TRUE(seq.keyDown(StartKey::F8, false)); // roller slalom prints nothing
    // With "Печать двух полос": -2, both lanes of the last run whatever is selected.
    EXPECT_EQ(ports.calls, (Calls{"printTimeslip(runs, 0)", "printTimeslip(runs, 1)", "printTimeslip(runs, -2)"}));

    console.raceMode = 0;
    op.inputs = {"12", "7"};
    EXPECT_TRUE(seq.keyDown(StartKey::Enter, true)); // Ctrl+Enter: NEXT
    EXPECT_EQ(runs.dragRuns().size(), 1u);
    op.inputs = {"12", "7"};
    EXPECT_TRUE(seq.keyDown(StartKey::F5, false));
    EXPECT_EQ(runs.dragRuns().size(), 2u);

    useScoreboard(0);
    ports.calls.clear();
    EXPECT_TRUE(seq.keyDown(StartKey::F9, false));
    EXPECT_EQ(ports.calls, (Calls{"pause(200)"}));
    EXPECT_EQ(controller.calls.front(), "reset(1)");
    EXPECT_GT(controller.calls.size(), 2u); // then each lane, either side of the pause
}

} // namespace
} // namespace velmaro::test
