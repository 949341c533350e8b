// The run grid's questions while the interval start timer keeps firing inside them (as the
// window's timer does in a dialog's event loop): START and NEXT wait until the question is
// closed and then run in the order pressed, the command changes the run the official chose, and the run
// the timer's NEXT makes afterwards is intact. Then the targets a question keeps: a run or
// hit that changed or went while the question was open is found again by identity, or the
// official is told and nothing changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_selection.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "core/start/interval_start_timer.h"
#include "start_fixture.h"

namespace velmaro::test {
namespace {

void select(DragRuns& runs, int run, int lane, int hit) {
    runs.selectedRun() = run;
    runs.selectedLane() = lane;
    runs.selectedHit() = hit;
}

const TDragRaceItem* runWithId(DragRuns& runs, int id) {
    for (const TDragRaceItem& run : runs.dragRuns())
        if (run.runId == id) return &run;
    return nullptr;
}

class QuestionReentryTest : public StartTest {
protected:
    std::int64_t now = 0;
    IntervalStartTimer timer{[this] { return now; }, [this] { seq.start(); }, [this] { seq.next(); }};
    std::vector<std::function<void()>> posted; // the event loop's queue
    std::size_t runsInsideQuestion = 0;

    void SetUp() override {
        StartTest::SetUp();
        desk.setEventLoopPost([this](std::function<void()> action) { posted.push_back(std::move(action)); });
        // Runs 1, 2 and 3 from NEXT; run 1 has an RT and an ET hit on the left lane.
        for (const char* left : {"1", "2", "3"}) {
            op.inputs = {left, "9"};
            seq.next();
        }
        ASSERT_EQ(runs.dragRuns().size(), 3u);
        runs.dragRuns()[0].hits[LANE_LEFT] = {TLineHit{HIT_TYPE_RT, 1000}, TLineHit{HIT_TYPE_ET, 9000}};
        runs.relayoutRuns();
        host.reg.classes.push_back(std::make_unique<TClassItem>(1, "Стрит"));
        host.reg.classes.push_back(std::make_unique<TClassItem>(2, "Pro"));
        auto racer = std::make_unique<TRacerItem>(33);
        racer->classIds = {1, 2};
        host.reg.racers.push_back(std::move(racer));
        ASSERT_TRUE(timer.switchOn("5")); // its first tick presses NEXT
        op.logLines.clear();
    }
    void TearDown() override {
        desk.setEventLoopPost(nullptr);
        StartTest::TearDown();
    }
    // The timer ticks through the `which`-th question (1 the first): 10 s, so NEXT, then
    // START twice are pressed inside it.
    void timerFiresInQuestion(int which) {
        auto count = std::make_shared<int>(0);
        op.whileOpen = [this, which, count] {
            if (++*count != which) return;
            for (int s = 0; s < 10; ++s) {
                now += 1000;
                timer.tick();
            }
            runsInsideQuestion = runs.dragRuns().size();
        };
    }
    // The window's event loop after the command has returned.
    void runEventLoop() {
        while (!posted.empty()) {
            const std::function<void()> action = std::move(posted.front());
            posted.erase(posted.begin());
            action();
        }
    }
};

// One run-grid question: the selection, the answers (the command's own; NEXT's racers 12
// and 7 follow), the question the timer fires in (1 the first), the command, and run 1 as
// the command must leave it.
struct TimerCase {
    const char* name;
    int run, lane, hit;
    std::vector<std::string> inputs;
    std::vector<int> picks;
    int timerQuestion;
    void (*command)(DragRuns&);
    void (*check)(DragRuns&);
};

void PrintTo(const TimerCase& c, std::ostream* os) { *os << c.name; }

class TimerInQuestion : public QuestionReentryTest, public ::testing::WithParamInterface<TimerCase> {};

TEST_P(TimerInQuestion, WaitsAndTheChosenRunChanges) {
    const TimerCase& c = GetParam();
    select(runs, c.run, c.lane, c.hit);
    for (const std::string& input : c.inputs) op.inputs.push_back(input);
    op.inputs.push_back("12");
    op.inputs.push_back("7");
    op.picks.assign(c.picks.begin(), c.picks.end());
    op.yesNoAnswers = {true};
    timerFiresInQuestion(c.timerQuestion);
    const std::size_t before = runs.dragRuns().size();
    ports.calls.clear();
    c.command(runs);
    EXPECT_EQ(runsInsideQuestion, before); // NEXT did not run inside the question
    EXPECT_TRUE(ports.only("sendStartCommand").empty());
    c.check(runs);

    runEventLoop();
    // NEXT made run 4 with racers 12 and 7 and armed it; START, pressed twice in a row,
    // started it once: the second press was dropped with a line.
    const TDragRaceItem* made = runWithId(runs, 4);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->racer, (std::array<int32_t, 2>{12, 7}));
    EXPECT_EQ(made->penalty, (std::array<int32_t, 2>{0, 0}));
    EXPECT_TRUE(made->hits[0].empty() && made->hits[1].empty());
    EXPECT_EQ(made, &runs.dragRuns().back());
    EXPECT_EQ(runs.currentRunIndex(), static_cast<int32_t>(runs.dragRuns().size()) - 1);
    EXPECT_EQ(ports.only("sendStartCommand"), (std::vector<std::string>{"sendStartCommand(24,0,1)"}));
    c.check(runs);
    EXPECT_TRUE(dragFileSaved());
    ASSERT_EQ(op.logLines.size(), 3u);
    EXPECT_NE(op.logLines[0].find("такое же нажатие уже ждёт"), std::string::npos) << op.logLines[0];
    EXPECT_EQ(op.logLines[1].rfind("СЛЕД. СТАРТ ждал закрытия вопроса «", 0), 0u) << op.logLines[1];
    EXPECT_EQ(op.logLines[2].rfind("СТАРТ ждал закрытия вопроса «", 0), 0u) << op.logLines[2];
}

INSTANTIATE_TEST_SUITE_P(
    RunGridQuestions, TimerInQuestion,
    ::testing::Values(TimerCase{"Number",
                                0,
                                LANE_LEFT,
                                -1,
                                {"44"},
                                {},
                                1,
                                [](DragRuns& runs) { runs.askRacerNumber(); },
                                [](DragRuns& runs) { EXPECT_EQ(runWithId(runs, 1)->racer[LANE_LEFT], 44); }},
                      TimerCase{"Penalty",
                                0,
                                LANE_RIGHT,
                                -1,
                                {"1.5"},
                                {},
                                1,
                                [](DragRuns& runs) { runs.askLanePenalty(); },
                                [](DragRuns& runs) { EXPECT_EQ(runWithId(runs, 1)->penalty[LANE_RIGHT], 1500); }},
                      TimerCase{"ClassPicker",
                                0,
                                LANE_LEFT,
                                -1,
                                {"33"},
                                {1},
                                2,
                                [](DragRuns& runs) { runs.askRacerNumber(); },
                                [](DragRuns& runs) {
                                    EXPECT_EQ(runWithId(runs, 1)->racer[LANE_LEFT], 33);
                                    EXPECT_EQ(runWithId(runs, 1)->classId[LANE_LEFT], 2);
                                }},
                      TimerCase{"DeleteRun",
                                0,
                                SELECTED_LANE_WHOLE_RUN,
                                -1,
                                {},
                                {},
                                1,
                                [](DragRuns& runs) { runs.deleteRunOrHit(0); },
                                [](DragRuns& runs) {
                                    EXPECT_EQ(runWithId(runs, 1), nullptr);
                                    EXPECT_NE(runWithId(runs, 2), nullptr);
                                }},
                      TimerCase{"DeleteHit",
                                0,
                                LANE_LEFT,
                                1,
                                {},
                                {},
                                1,
                                [](DragRuns& runs) { runs.deleteRunOrHit(0); },
                                [](DragRuns& runs) {
                                    const auto& hits = runWithId(runs, 1)->hits[LANE_LEFT];
                                    ASSERT_EQ(hits.size(), 1u);
                                    EXPECT_EQ(hits[0].type, HIT_TYPE_RT);
                                }}),
    [](const ::testing::TestParamInfo<TimerCase>& info) { return std::string(info.param.name); });

TEST_F(QuestionReentryTest, APressOutsideAnyQuestionRunsAtOnce) {
    op.inputs = {"12", "7"};
    now += 1000;
    timer.tick(); // NEXT
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(runs.dragRuns().size(), 4u);
    EXPECT_TRUE(op.logLines.empty());
}

// The start unit's signal 9 presses START only for an armed run: inside a question it
// waits like any press, and is dropped when the run was disarmed meanwhile (the official
// declined to resume an aborted automatic start).
TEST_F(QuestionReentryTest, TheStartUnitsStartRunsOnlyForARunStillArmed) {
    ASSERT_TRUE(seq.armed());
    const auto abortedAutomaticStart = [this](bool resume) {
        op.yesNoAnswers = {resume};
        op.whileOpen = [this] { seq.startArmedRun(); };
        if (!desk.askYesNo("Процедура старта прервана.\r\nВозобновить?", "Внимание")) seq.setArmed(false);
        op.whileOpen = nullptr;
        runEventLoop();
    };
    abortedAutomaticStart(false);
    EXPECT_TRUE(ports.only("sendStartCommand").empty());
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("не выполнен"), std::string::npos) << op.logLines[0];

    seq.setArmed(true);
    abortedAutomaticStart(true);
    EXPECT_EQ(ports.only("sendStartCommand"), (std::vector<std::string>{"sendStartCommand(24,0,1)"}));
    EXPECT_EQ(runs.dragRuns().size(), 3u);
}

// A target that changed or went while its question was open: found again by identity, or
// the official is told and nothing changes.
struct GoneCase {
    const char* name;
    int run, lane, hit;
    void (*meanwhile)(DragRuns&);
    void (*command)(DragRuns&);
    const char* told; // the message, or null
    void (*check)(DragRuns&);
};

void PrintTo(const GoneCase& c, std::ostream* os) { *os << c.name; }

class TargetMeanwhile : public QuestionReentryTest, public ::testing::WithParamInterface<GoneCase> {};

TEST_P(TargetMeanwhile, IsFoundAgainOrTold) {
    const GoneCase& c = GetParam();
    select(runs, c.run, c.lane, c.hit);
    op.yesNoAnswers = {true};
    op.inputs = {"55"};
    bool done = false;
    op.whileOpen = [&] {
        if (done) return;
        done = true;
        c.meanwhile(runs);
    };
    op.shown.clear();
    c.command(runs);
    if (c.told) {
        ASSERT_EQ(op.shown.size(), 2u);
        EXPECT_EQ(op.shown.back(), c.told);
    } else {
        EXPECT_EQ(op.shown.size(), 1u); // only the question
    }
    c.check(runs);
}

void eraseFirstRun(DragRuns& runs) { runs.dragRuns().erase(runs.dragRuns().begin()); }
void eraseSecondRun(DragRuns& runs) { runs.dragRuns().erase(runs.dragRuns().begin() + 1); }
std::size_t countHits(const std::vector<TLineHit>& hits, int32_t type, uint64_t time) {
    return static_cast<std::size_t>(
        std::count_if(hits.begin(), hits.end(), [&](const TLineHit& h) { return h.type == type && h.time == time; }));
}

INSTANTIATE_TEST_SUITE_P(
    RunGridQuestions, TargetMeanwhile,
    ::testing::Values(
        // Hits keep coming into the lane (its list grows and moves): the chosen hit goes.
        GoneCase{"HitListGrows", 0, LANE_LEFT, 1,
                 [](DragRuns& runs) {
                     auto& hits = runs.dragRuns()[0].hits[LANE_LEFT];
                     hits.insert(hits.begin(), TLineHit{HIT_TYPE_SPEED, 500});
                     for (uint64_t k = 0; k < 64; ++k) hits.push_back(TLineHit{HIT_TYPE_PLAP, 20000 + k});
                 },
                 [](DragRuns& runs) { runs.deleteRunOrHit(0); }, nullptr,
                 [](DragRuns& runs) {
                     const auto& hits = runWithId(runs, 1)->hits[LANE_LEFT];
                     EXPECT_EQ(hits.size(), 66u);
                     EXPECT_EQ(countHits(hits, HIT_TYPE_ET, 9000), 0u);
                     EXPECT_EQ(countHits(hits, HIT_TYPE_SPEED, 500), 1u);
                     EXPECT_EQ(countHits(hits, HIT_TYPE_RT, 1000), 1u);
                 }},
        GoneCase{"HitGone", 0, LANE_LEFT, 1, [](DragRuns& runs) { runs.dragRuns()[0].hits[LANE_LEFT].pop_back(); },
                 [](DragRuns& runs) { runs.deleteRunOrHit(0); }, kHitGoneText,
                 [](DragRuns& runs) { EXPECT_EQ(runWithId(runs, 1)->hits[LANE_LEFT].size(), 1u); }},
        GoneCase{"RunOfTheHitGone", 0, LANE_LEFT, 1, eraseFirstRun, [](DragRuns& runs) { runs.deleteRunOrHit(0); },
                 kRunGoneText, [](DragRuns& runs) { EXPECT_EQ(runs.dragRuns().size(), 2u); }},
        GoneCase{"RunToDeleteGone", 1, SELECTED_LANE_WHOLE_RUN, -1, eraseSecondRun,
                 [](DragRuns& runs) { runs.deleteRunOrHit(0); }, kRunGoneText,
                 [](DragRuns& runs) {
                     EXPECT_EQ(runs.dragRuns().size(), 2u);
                     EXPECT_NE(runWithId(runs, 1), nullptr);
                     EXPECT_NE(runWithId(runs, 3), nullptr);
                 }},
        // An earlier run goes: the chosen run moved up one place and still gets the number.
        GoneCase{"NumberAfterAnEarlierRunWent", 2, LANE_RIGHT, -1, eraseFirstRun,
                 [](DragRuns& runs) { runs.askRacerNumber(); }, nullptr,
                 [](DragRuns& runs) { EXPECT_EQ(runWithId(runs, 3)->racer[LANE_RIGHT], 55); }},
        GoneCase{"NumberForARunGone", 2, LANE_RIGHT, -1, [](DragRuns& runs) { runs.dragRuns().pop_back(); },
                 [](DragRuns& runs) { runs.askRacerNumber(); }, kRunGoneText,
                 [](DragRuns& runs) { EXPECT_EQ(runWithId(runs, 2)->racer[LANE_RIGHT], 9); }},
        GoneCase{"PenaltyForARunGone", 1, LANE_LEFT, -1, eraseSecondRun, [](DragRuns& runs) { runs.askLanePenalty(); },
                 kRunGoneText,
                 [](DragRuns& runs) {
                     for (const TDragRaceItem& run : runs.dragRuns()) EXPECT_EQ(run.penalty[LANE_LEFT], 0);
                 }}),
    [](const ::testing::TestParamInfo<GoneCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmaro::test
