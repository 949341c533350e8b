// Figures of a run computed from its hit lists, and the shared text formatters.
#include <functional>
#include <ostream>
#include <stdexcept>

#include "drag_fakes.h"

namespace velmaro::test {
namespace {

constexpr uint64_t S = 1'700'000'000'000ULL; // a start signal time

struct RecalcCase {
    const char* name;
    std::function<void(TDragRaceItem&, FakeDragHost&)> setup;
    std::function<void(const TDragRaceItem&)> check;
};

// Names the case in test listings (the default would dump its bytes).
void PrintTo(const RecalcCase& c, std::ostream* os) { *os << c.name; }

TDragRaceItem withRacers(int32_t left, int32_t right) {
    TDragRaceItem run;
    run.runId = 1;
    run.racer = {left, right};
    return run;
}

class RecalculateTest : public DragTest, public ::testing::WithParamInterface<RecalcCase> {};

TEST_P(RecalculateTest, Figures) {
    const RecalcCase& c = GetParam();
    TDragRaceItem run = withRacers(11, 22);
    c.setup(run, host);
    run.recalculate(host);
    c.check(run);
}

const RecalcCase kRecalcCases[] = {
    {"NoHits", [](TDragRaceItem&, FakeDragHost&) {},
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.et, (std::array<int32_t, 2>{0, 0}));
         EXPECT_EQ(r.rt, (std::array<int32_t, 2>{0, 0}));
         EXPECT_EQ(r.dirtyTime, (std::array<int32_t, 2>{0, 0}));
         EXPECT_EQ(r.speed, (std::array<double, 2>{0.0, 0.0}));
         EXPECT_EQ(r.winner, -1);
         EXPECT_EQ(r.breakout, (std::array<int32_t, 2>{0, 0}));
     }},
    {"ReactionElapsedDirty",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 380 + 9876), hitAt(HIT_TYPE_RT, S + 380)}; // out of order
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.rt[0], 380);
         EXPECT_EQ(r.et[0], 9876);
         EXPECT_EQ(r.dirtyTime[0], 10256);
         EXPECT_EQ(r.foul[0], 0);
         EXPECT_EQ(r.hits[0][0].type, HIT_TYPE_RT); // sorted by time
         EXPECT_EQ(r.hits[0][1].fromLaunch, 9876);
         EXPECT_EQ(r.hits[0][1].fromStart, 10256);
         EXPECT_EQ(r.winner, 0);
     }},
    {"FoulKeptAfterLaterLaunch",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 50), hitAt(HIT_TYPE_RT, S + 20)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.rt[0], 20);
         EXPECT_EQ(r.foul[0], 1);
     }},
    {"VoidLaunchProStart",
     [](TDragRaceItem& r, FakeDragHost& h) {
         h.pro = true;
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 400), hitAt(HIT_TYPE_60FEET, S + 900), hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.rt[0], -400);
         EXPECT_EQ(r.foul[0], 1);
         EXPECT_EQ(r.et[0], 0);
         EXPECT_EQ(r.sixtyFeet[0], 0);
         EXPECT_EQ(r.dirtyTime[0], 9000);
     }},
    {"MinusFourHundredIsNotVoidWithCommonTree",
     [](TDragRaceItem& r, FakeDragHost& h) {
         h.pro = false;
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 400), hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.foul[0], 1);
         EXPECT_EQ(r.et[0], 9400);
     }},
    {"VoidLaunchCommonTree",
     [](TDragRaceItem& r, FakeDragHost& h) {
         h.pro = false;
         r.startTime = S;
         r.hits[1] = {hitAt(HIT_TYPE_RT, S - 1200), hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.rt[1], -1200);
         EXPECT_EQ(r.et[1], 0);
         EXPECT_EQ(r.dirtyTime[1], 9000);
     }},
    {"SixtyFeetWithoutStartSignal",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_60FEET, S + 1234)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.sixtyFeet[1], 1234);
         EXPECT_EQ(r.rt[1], 0);
         EXPECT_EQ(r.hits[1][1].time, S + 1234);
     }},
    {"SixtyFeetWithStartSignalExcludesReaction",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S + 300), hitAt(HIT_TYPE_60FEET, S + 1500)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.sixtyFeet[0], 1200); }},
    {"SeveralFinishesGiveBestGap",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 30000), hitAt(HIT_TYPE_ET, S + 55000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.et[0], 25000);
         EXPECT_EQ(r.hits[0][1].fromLaunch, 30000);
         EXPECT_EQ(r.hits[0][2].fromLaunch, 55000);
     }},
    {"PlapFromLaunch",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_PLAP, S + 31000), hitAt(HIT_TYPE_FAIL, S + 40000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.hits[0][1].fromLaunch, 31000);
         EXPECT_EQ(r.failed[0], 1);
     }},
    {"SpeedTruncatedNotRounded",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_SPEED, S + 9000 - 512), hitAt(HIT_TYPE_ET, S + 9000)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_SPEED, S + 9000 - 700), hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_DOUBLE_EQ(r.speed[0], 140.6);
         EXPECT_DOUBLE_EQ(r.speed[1], 102.8);
     }},
    {"SpeedTrapAtFinishTimeGivesNoSpeed",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_SPEED, S + 9000), hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.speed[0], 0.0); }},
    {"NoLaunchNoStartSignalGivesNoElapsedTime",
     [](TDragRaceItem& r, FakeDragHost&) { r.hits[0] = {hitAt(HIT_TYPE_ET, S + 9000)}; },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.et[0], 0);
         EXPECT_EQ(r.dirtyTime[0], 0);
         EXPECT_EQ(r.hits[0][0].fromLaunch, 0);
     }},
    {"DifferencesAcrossThe32BitWrap",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = 0x1FFFFFF00ULL; // low 32 bits just below the wrap
         r.hits[0] = {hitAt(HIT_TYPE_RT, 0x1FFFFFF00ULL + 200), hitAt(HIT_TYPE_ET, 0x1FFFFFF00ULL + 200 + 9876)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.rt[0], 200);
         EXPECT_EQ(r.et[0], 9876);
     }},
    {"TieGoesToLeft",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 9000)};
         r.hits[1] = {hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 0); }},
    {"PenaltyTurnsRightLeadIntoLeftWin",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.penalty[1] = 100;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 9050)};
         r.hits[1] = {hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 0); }},
    {"FasterRightWins",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 9050)};
         r.hits[1] = {hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 1); }},
    {"LeftFoulRightNotFinished",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 10), hitAt(HIT_TYPE_ET, S + 8000)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S + 100)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, -1); }},
    {"LeftFoulRightFinished",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 10), hitAt(HIT_TYPE_ET, S + 8000)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S + 100), hitAt(HIT_TYPE_ET, S + 9500)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 1); }},
    {"BothFoulLaterEarlyStartWins",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 30)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S - 120)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 0); }},
    {"BothFoulEqualNoWinner",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_RT, S - 50)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S - 50)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, -1); }},
    {"EmptyLeftLaneLosesToEntitledRight",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.racer[0] = 0;
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 8000)};
         r.hits[1] = {hitAt(HIT_TYPE_ET, S + 9000)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 1); }},
    {"RetiredRightLaneLosesToSlowerLeft",
     [](TDragRaceItem& r, FakeDragHost&) {
         r.startTime = S;
         r.hits[0] = {hitAt(HIT_TYPE_ET, S + 9000)};
         r.hits[1] = {hitAt(HIT_TYPE_ET, S + 8000), hitAt(HIT_TYPE_FAIL, S + 8500)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 0); }},
    {"QualificationBreakoutAnyClassOfTheRacer",
     [](TDragRaceItem& r, FakeDragHost& h) {
         h.racers[11] = DragRacerInfo{"A", "B", {1, 2}};
         h.classLimits = {{1, 100}, {2, 95}};
         r.classId = {1, 1};
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9600)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9700)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.breakout[0], 1);
         EXPECT_EQ(r.breakout[1], 0); // racer 22 is not registered
         EXPECT_EQ(r.winner, 0);      // the winner is not changed in qualification
     }},
    {"FinalOneLaneBrokeOut",
     [](TDragRaceItem& r, FakeDragHost& h) {
         r.runMode = RUN_MODE_FINAL;
         r.classId = {3, 3};
         h.brackets = {3};
         h.classLimits = {{3, 100}};
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9950)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 10100)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.breakout, (std::array<int32_t, 2>{1, 0}));
         EXPECT_EQ(r.winner, 1);
     }},
    {"FinalBothBrokeOutCloserWins",
     [](TDragRaceItem& r, FakeDragHost& h) {
         r.runMode = RUN_MODE_FINAL;
         r.classId = {3, 3};
         h.brackets = {3};
         h.classLimits = {{3, 100}};
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9950)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9900)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 0); }},
    {"FinalEqualBreakoutsGoRight",
     [](TDragRaceItem& r, FakeDragHost& h) {
         r.runMode = RUN_MODE_FINAL;
         r.classId = {3, 3};
         h.brackets = {3};
         h.classLimits = {{3, 100}};
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9900)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9900)};
     },
     [](const TDragRaceItem& r) { EXPECT_EQ(r.winner, 1); }},
    {"FinalWithoutMatchingBracketKeepsTableWinner",
     [](TDragRaceItem& r, FakeDragHost& h) {
         r.runMode = RUN_MODE_FINAL;
         r.classId = {3, 4};
         h.brackets = {3};
         h.classLimits = {{3, 100}};
         r.hits[0] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 9950)};
         r.hits[1] = {hitAt(HIT_TYPE_RT, S), hitAt(HIT_TYPE_ET, S + 10100)};
     },
     [](const TDragRaceItem& r) {
         EXPECT_EQ(r.breakout, (std::array<int32_t, 2>{0, 0}));
         EXPECT_EQ(r.winner, 0);
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, RecalculateTest, ::testing::ValuesIn(kRecalcCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DragTest, RecalculateIsRepeatable) {
    TDragRaceItem run = withRacers(1, 2);
    run.startTime = S;
    run.hits[0] = {hitAt(HIT_TYPE_RT, S - 40), hitAt(HIT_TYPE_ET, S + 9000)};
    run.recalculate(host);
    const TDragRaceItem once = run;
    run.recalculate(host);
    EXPECT_EQ(run, once); // stale figures never leak into the next pass
}

TEST(DragFormat, Texts) {
    EXPECT_EQ(formatLaneTime(0), "");
    EXPECT_EQ(formatLaneTime(9876), " 09.876");
    EXPECT_EQ(formatLaneTime(-450), "-00.450");
    EXPECT_EQ(formatLaneTime(61234), " 1:01.234");
    EXPECT_EQ(formatLaneTime(-61234), "-1:01.234");
    EXPECT_EQ(formatLaneTime(INT32_MIN), "-35791:23.648");
    EXPECT_EQ(formatSignedTime(1500), "+01.500");
    EXPECT_EQ(formatSignedTime(0), "");
    EXPECT_EQ(formatSpeed(0.0f), " ");
    EXPECT_EQ(formatSpeed(-3.0f), " ");
    EXPECT_EQ(formatSpeed(123.4f), " 123.4");
    EXPECT_EQ(formatSpeed(9.5f), " 9.5");
    EXPECT_EQ(formatSpeedKmh(140.6f), " 140.6 км/ч");
    EXPECT_EQ(formatSpeedKmh(0.0f), " ");
    EXPECT_EQ(formatClockTime((12ULL * 3600 + 34 * 60 + 56) * 1000 + 789 + 86400000ULL * 20000), "12:34:56.789");
    EXPECT_EQ(formatClockTime((60000ULL * 86400 + 3600) * 1000 + 5), "01:00:00.005"); // after 2038 too
    EXPECT_EQ(hitTypeName(0), "ET");
    EXPECT_EQ(hitTypeName(8), "60FEET");
    EXPECT_EQ(hitTypeName(6), "UNKWN");
    EXPECT_EQ(hitTypeName(-1), "UNKWN");
}

TEST(DragFormat, TrapSpeedNeverOverflows) {
    EXPECT_EQ(trapSpeedKmh(20.0, 0), 0.0);
    EXPECT_DOUBLE_EQ(trapSpeedKmh(1e30, 1), 3.6e33); // huge but finite, no integer conversion
    EXPECT_EQ(trapSpeedKmh(-20.0, 500), 0.0);
}

} // namespace
} // namespace velmaro::test
