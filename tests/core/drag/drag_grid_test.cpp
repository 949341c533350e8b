// What the run grid shows: cell texts, style codes, racer descriptions and the popup
// menu's enabled items.
#include "core/drag/drag_grid.h"
#include "core/registration/registry.h"
#include "drag_fakes.h"

namespace velmaro::test {
namespace {

constexpr uint64_t kClock = 36307123; // 10:05:07.123 of the day

class DragGridTest : public DragTest {
protected:
    void addRacer(uint32_t number, std::vector<int32_t> classes) {
        auto& r = host.reg.racers.emplace_back(std::make_unique<TRacerItem>(number));
        r->name = "Иванов";
        r->carModel = "Lada";
        r->city = "Тверь";
        r->classIds = std::move(classes);
    }
};

// A run with figures set by hand: rows 0 racer, 1 start, 2.. hits.
TDragRaceItem figuredRun() {
    TDragRaceItem run;
    run.runId = 17;
    run.startTime = kClock - 5000;
    run.racer = {12, 0};
    run.rt = {-450, 250};
    run.sixtyFeet = {1500, 0};
    run.speed = {140.6, 0.0};
    run.et = {9876, 10000};
    run.dirtyTime = {9426, 10250};
    run.hits[0] = {hitAt(HIT_TYPE_RT, kClock - 5450),   hitAt(HIT_TYPE_60FEET, kClock - 4000),
                   hitAt(HIT_TYPE_SPEED, kClock - 500), hitAt(HIT_TYPE_ET, kClock),
                   hitAt(HIT_TYPE_FAIL, kClock + 1),    hitAt(HIT_TYPE_PLAP, kClock + 2)};
    run.hits[1] = {hitAt(HIT_TYPE_ET, kClock)};
    run.gridRow = 0;
    run.gridRows = 8;
    return run;
}

TEST_F(DragGridTest, CellTextsOfEveryRowKind) {
    runs.dragRuns() = {figuredRun()};
    runs.dragRuns()[0].foul[0] = 1;
    struct Case {
        int column, row;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "12"}, // unregistered racer: the number alone
        {1, 0, "#17"},
        {2, 0, "#17"},
        {3, 0, ""}, // no racer
        {0, 1, "START: 10:05:02.123"},
        {2, 1, "START: 10:05:02.123"},
        {9, 1, "START: 10:05:02.123"}, // every column of the start row
        {0, 2, "-00.450 (F)"},
        {1, 2, "RT"},
        {2, 2, "ET"},
        {3, 2, "( 10.250)  10:05:07.123           10.000"},
        {0, 3, " 01.500 (F)"},
        {1, 3, "60FEET"},
        {0, 4, " 140.6 (F)"},
        {0, 5, " 09.876          10:05:07.123  ( 09.426) (F)"},
        {0, 6, " (F)"}, // FAIL: the foul mark alone
        {1, 6, "FAIL"},
        {0, 7, " (F)"}, // PLAP: no figure
        {2, 3, ""},     // right lane has one hit
        {3, 7, ""},
        {4, 2, ""}, // column outside 0..3
        {0, 8, ""}, // below the last run
    };
    for (const Case& c : cases) EXPECT_EQ(runs.dragGridCellText(c.column, c.row), c.text) << c.column << "," << c.row;
}

TEST_F(DragGridTest, EtTextsWithPenaltyBreakoutAndFoulMirror) {
    struct Case {
        int side;
        int32_t penalty, breakout, foul;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, 0, " 09.876          10:05:07.123  ( 09.426)"},
        {1, 0, 0, 0, "( 09.426)  10:05:07.123           09.876"},
        {0, 1500, 0, 0, " 09.876(+01.500)    10:05:07.123  ( 09.426)"},
        {1, -250, 0, 0, "( 09.426)  10:05:07.123      09.876(-00.250)"},
        {0, 0, 1, 0, " 09.876          10:05:07.123  ( 09.426) (BREAKOUT)"},
        {1, 0, 1, 1, "(F) (BREAKOUT) ( 09.426)  10:05:07.123           09.876"},
        {0, 0, 1, 1, " 09.876          10:05:07.123  ( 09.426) (BREAKOUT) (F)"},
    };
    for (const Case& c : cases) {
        TDragRaceItem run;
        const size_t l = static_cast<size_t>(c.side);
        run.et[l] = 9876;
        run.dirtyTime[l] = 9426;
        run.penalty[l] = c.penalty;
        run.breakout[l] = c.breakout;
        run.foul[l] = c.foul;
        EXPECT_EQ(laneResultText(hitAt(HIT_TYPE_ET, kClock), run, c.side), c.text) << c.text;
    }
    TDragRaceItem broke;
    broke.breakout = {1, 1};
    broke.rt = {300, 300};
    EXPECT_EQ(laneResultText(hitAt(HIT_TYPE_RT, 0), broke, 0), " 00.300"); // breakout marks ET rows only
}

TEST_F(DragGridTest, StylesOfEveryKindAndFlag) {
    // Run 0: rows 0..3 (two left hits, one right); run 1 below it.
    TDragRaceItem run;
    run.runId = 1;
    run.hits[0] = {hitAt(HIT_TYPE_RT, 1), hitAt(HIT_TYPE_ET, 2)};
    run.hits[1] = {hitAt(HIT_TYPE_ET, 2)};
    run.gridRow = 0;
    run.gridRows = 4;
    struct Case {
        int32_t runMode, winner, foulLeft, foulRight;
        int32_t selRun, selLane, selHit;
        int column, row;
        int32_t style;
    };
    const Case cases[] = {
        // kinds, qualification, nothing selected
        {0, -1, 0, 0, -1, -1, -1, 0, 0, 0},
        {0, -1, 0, 0, -1, -1, -1, 1, 0, 1},
        {0, -1, 0, 0, -1, -1, -1, 2, 0, 1},
        {0, -1, 0, 0, -1, -1, -1, 3, 0, 2},
        {0, -1, 0, 0, -1, -1, -1, 2, 1, 3},
        {0, -1, 0, 0, -1, -1, -1, 7, 1, 3}, // any column of the start row
        {0, -1, 0, 0, -1, -1, -1, 0, 2, 4},
        {0, -1, 0, 0, -1, -1, -1, 1, 2, 5},
        {0, -1, 0, 0, -1, -1, -1, 2, 3, 6}, // empty right cells keep their kind
        {0, -1, 0, 0, -1, -1, -1, 3, 3, 7},
        {0, -1, 0, 0, -1, -1, -1, 4, 2, -1},
        {0, -1, 0, 0, -1, -1, -1, 0, 4, -1}, // below the run
        // run modes
        {1, -1, 0, 0, -1, -1, -1, 0, 2, 4 | 0x10},
        {2, -1, 0, 0, -1, -1, -1, 2, 1, 3 | 0x100},
        // winner, loser, foul: racer cells only
        {0, 0, 0, 0, -1, -1, -1, 0, 0, 0 | 0x40},
        {0, 0, 0, 0, -1, -1, -1, 3, 0, 2 | 0x20},
        {0, 1, 0, 0, -1, -1, -1, 0, 0, 0 | 0x20},
        {0, 1, 0, 0, -1, -1, -1, 3, 0, 2 | 0x40},
        {0, 0, 1, 0, -1, -1, -1, 0, 0, 0 | 0x40 | 0x20}, // fouled winner carries both
        {0, -1, 0, 1, -1, -1, -1, 3, 0, 2 | 0x20},
        {0, 0, 0, 0, -1, -1, -1, 1, 0, 1},
        {1, 1, 0, 0, -1, -1, -1, 3, 0, 2 | 0x10 | 0x40},
        // selection: a lane's racer cell
        {0, -1, 0, 0, 0, 0, -1, 0, 0, 0 | 0x80},
        {0, -1, 0, 0, 0, 0, -1, 3, 0, 2},
        {0, -1, 0, 0, 0, 0, -1, 1, 0, 1},
        {0, -1, 0, 0, 0, 1, -1, 3, 0, 2 | 0x80},
        // a hit: only its result cell
        {0, -1, 0, 0, 0, 0, 1, 0, 3, 4 | 0x80},
        {0, -1, 0, 0, 0, 0, 1, 0, 2, 4},
        {0, -1, 0, 0, 0, 0, 1, 0, 0, 0},
        {0, -1, 0, 0, 0, 0, 1, 1, 3, 5},
        {0, -1, 0, 0, 0, 1, 0, 3, 2, 7 | 0x80},
        // the whole run: every cell of its block
        {0, -1, 0, 0, 0, 2, -1, 0, 0, 0 | 0x80},
        {0, -1, 0, 0, 0, 2, -1, 2, 0, 1 | 0x80},
        {0, -1, 0, 0, 0, 2, -1, 3, 0, 2 | 0x80},
        {0, -1, 0, 0, 0, 2, -1, 1, 1, 3 | 0x80},
        {0, -1, 0, 0, 0, 2, -1, 2, 3, 6 | 0x80},
        {0, -1, 0, 0, 0, 2, -1, 3, 3, 7 | 0x80},
        // lane -1 after a click on an empty cell: nothing highlighted
        {0, -1, 0, 0, 0, -1, -1, 0, 0, 0},
        // a selection left over past the end of the list highlights nothing
        {0, -1, 0, 0, 5, 2, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        run.runMode = c.runMode;
        run.winner = c.winner;
        run.foul = {c.foulLeft, c.foulRight};
        runs.dragRuns() = {run};
        runs.selectedRun() = c.selRun;
        runs.selectedLane() = c.selLane;
        runs.selectedHit() = c.selHit;
        EXPECT_EQ(runs.dragGridCellStyle(c.column, c.row), c.style)
            << "mode " << c.runMode << " winner " << c.winner << " sel " << c.selRun << "/" << c.selLane << "/"
            << c.selHit << " cell " << c.column << "," << c.row;
    }
}

TEST_F(DragGridTest, EmptyListAndRowCount) {
    for (int row = -1; row < 3; ++row)
        for (int column = -1; column < 5; ++column) {
            EXPECT_EQ(runs.dragGridCellText(column, row), "");
            EXPECT_EQ(runs.dragGridCellStyle(column, row), GRID_STYLE_NONE);
        }
    EXPECT_EQ(runs.dragGridRowCount(), 0);
    runs.dragRuns() = {figuredRun(), figuredRun()};
    runs.dragRuns()[1].gridRow = 8;
    runs.dragRuns()[1].gridRows = 2;
    EXPECT_EQ(runs.dragGridRowCount(), 10);
    EXPECT_EQ(runs.dragGridCellText(1, 8), "#17");
    runs.dragRuns()[1].startTime = 0;
    EXPECT_EQ(runs.dragGridCellText(0, 9), ""); // no start signal: empty start row
}

TEST_F(DragGridTest, RacerDescriptionsAndPaintLeavesTheRunAlone) {
    addRacer(12, {4});
    addRacer(13, {4, 5});
    TDragRaceItem run;
    run.racer = {12, 13};
    run.classId = {-1, 7};
    EXPECT_EQ(leftRacerText(host.reg, run), "12 - Иванов, Lada, Тверь ()"); // one class: empty note in brackets
    EXPECT_EQ(rightRacerText(host.reg, run), "13 - Иванов, Lada, Тверь");
    run.gridRows = 2;
    runs.dragRuns() = {run};
    const auto before = runs.dragRuns();
    for (int column = 0; column < 4; ++column) {
        (void)runs.dragGridCellText(column, 0);
        (void)runs.dragGridCellStyle(column, 0);
    }
    EXPECT_EQ(runs.dragRuns(), before); // reading the cells never assigns a class
}

TEST_F(DragGridTest, ReportTexts) {
    addRacer(12, {4});
    host.reg.classes.push_back(std::make_unique<TClassItem>(0, "Pro"));
    std::string description = "d", city = "c", className = "n";
    reportRacerText(host.reg, 99, 0, description, city, className);
    EXPECT_EQ(description + city + className, "dcn"); // unregistered: untouched
    reportRacerText(host.reg, 12, 0, description, city, className);
    EXPECT_EQ(description, "№12 Иванов Lada (Тверь)");
    EXPECT_EQ(city, "Тверь");
    EXPECT_EQ(className, "Pro");
    reportRacerText(host.reg, 12, 42, description, city, className);
    EXPECT_EQ(className, "");
}

TEST_F(DragGridTest, MenuStatesFollowModeAndSelection) {
    TDragRaceItem run;
    run.hits[0] = {hitAt(HIT_TYPE_ET, 5)};
    run.gridRows = 3;
    runs.dragRuns() = {run};
    struct Case {
        int mode;
        int32_t selRun, selLane, selHit;
        DragGridMenuState state; // setNumber fail lapKinds lap otherLane runMode penalty delete scoreboard
    };
    const Case cases[] = {
        {1, 0, 0, 0, {}}, // single-lane mode: nothing on runs
        {0, -1, -1, -1, {false, false, false, false, false, false, false, false, true}},
        {0, 0, -1, -1, {false, false, false, false, false, true, false, false, true}},
        {0, 0, 0, -1, {true, true, false, false, false, true, true, false, true}},
        {7, 0, 0, 0, {true, true, false, true, true, true, true, true, true}},
        {2, 0, 0, 3, {true, true, false, false, false, true, true, false, true}}, // stale hit index
        {8, 0, 2, -1, {false, true, false, false, false, true, true, true, true}},
        {0, 4, 2, -1, {false, false, false, false, false, false, false, false, true}}, // stale run index
    };
    for (const Case& c : cases) {
        runs.selectedRun() = c.selRun;
        runs.selectedLane() = c.selLane;
        runs.selectedHit() = c.selHit;
        EXPECT_EQ(dragGridMenuState(runs, c.mode), c.state) << c.mode << " " << c.selRun << c.selLane << c.selHit;
    }
}

} // namespace
} // namespace velmaro::test
