// Hit acceptance of the two-lane modes: target run, refusals, lane and hit type per mode,
// and what follows an accepted hit.
#include <functional>
#include <optional>

#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_hits.h"
#include "core/intake/hit_intake.h"
#include "core/platform/save_report.h"
#include "drag_fakes.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

constexpr uint64_t T = 1'700'000'000'000ULL;

class DragHitsTest : public DragTest {
protected:
    TempFolder folder;

    void SetUp() override {
        DragTest::SetUp();
        host.folder = folder.path();
    }

    // Appends a run (id = position + 1) and makes it current.
    TDragRaceItem& addRun(int32_t left = 11, int32_t right = 22, int32_t runMode = RUN_MODE_QUALIFICATION) {
        TDragRaceItem run;
        run.runId = static_cast<int32_t>(runs.dragRuns().size()) + 1;
        run.racer = {left, right};
        run.runMode = runMode;
        runs.dragRuns().push_back(run);
        runs.currentRunIndex() = static_cast<int32_t>(runs.dragRuns().size()) - 1;
        return runs.dragRuns().back();
    }
    std::vector<int32_t> types(int lane, size_t run = 0) {
        std::vector<int32_t> out;
        for (const auto& h : runs.dragRuns()[run].hits[lane]) out.push_back(h.type);
        return out;
    }
};

TEST_F(DragHitsTest, BlockStRefusesEveryHit) {
    addRun();
    host.blockSt = true;
    EXPECT_EQ(runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T, HIT_FROM_DEVICE, 0), 0);
    EXPECT_EQ(runs.dragRuns()[0].startTime, 0u);
    EXPECT_TRUE(runs.dragRuns()[0].hits[0].empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt")); // a refusal writes nothing
}

TEST_F(DragHitsTest, TargetRun) {
    // No current run and nothing selected: refused.
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    addRun();
    addRun();
    runs.currentRunIndex() = 7; // stale index: refused, no crash
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    runs.currentRunIndex() = 1;
    runs.selectedRun() = 0;
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_LOG_SELECTED), 1);
    EXPECT_EQ(runs.dragRuns()[0].hits[0].size(), 1u);
    EXPECT_TRUE(runs.dragRuns()[1].hits[0].empty());
    EXPECT_EQ(runs.currentRunIndex(), 1);
    // The hit log's Enter key feeds the current run, whatever is selected.
    EXPECT_EQ(runs.addDragHit(1, SIG_RIGHT, T, HIT_FROM_LOG_CURRENT), 1);
    EXPECT_EQ(runs.dragRuns()[1].hits[1].size(), 1u);
}

TEST_F(DragHitsTest, RunIdZeroRefusedOnlyInDragMode) {
    addRun().runId = 0;
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addRollersHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 1);
}

struct LaunchCase {
    const char* name;
    bool pro;
    int64_t offset; // launch time minus start signal
    int source;
    bool accepted;
};

TEST_F(DragHitsTest, LaunchWindowBoundary) {
    const LaunchCase cases[] = {
        {"pro at window", true, -400, HIT_FROM_DEVICE, true},
        {"pro one ms early", true, -401, HIT_FROM_DEVICE, false},
        {"pro one ms early from log enter", true, -401, HIT_FROM_LOG_CURRENT, true},
        {"pro far early from log selected", true, -5000, HIT_FROM_LOG_SELECTED, true},
        {"common at window", false, -1200, HIT_FROM_DEVICE, true},
        {"common one ms early", false, -1201, HIT_FROM_DEVICE, false},
        {"common pro window is fine", false, -401, HIT_FROM_DEVICE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        runs.dragRuns().clear(); // each case on an empty run list
        runs.currentRunIndex() = -1;
        host.pro = c.pro;
        addRun();
        ASSERT_EQ(runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE), 1);
        EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T + c.offset, c.source), c.accepted ? 1 : 0);
        EXPECT_EQ(runs.dragRuns()[0].hits[0].size(), c.accepted ? 1u : 0u);
    }
}

TEST_F(DragHitsTest, VoidLaunchAcceptedButTimesNothing) {
    host.pro = true;
    addRun();
    runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE);
    runs.addDragHit(1, SIG_LEFT, T - 400, HIT_FROM_DEVICE);
    runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_DEVICE);
    const auto& run = runs.dragRuns()[0];
    EXPECT_EQ(run.rt[0], -400);
    EXPECT_EQ(run.foul[0], 1);
    EXPECT_EQ(run.et[0], 0);
}

TEST_F(DragHitsTest, RepeatedHitsOfALane) {
    addRun();
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T + 10, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9100, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9100, HIT_FROM_LOG_CURRENT), 0);
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9100, HIT_FROM_LOG_SELECTED), 1);
    EXPECT_EQ(types(0), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_ET, HIT_TYPE_ET}));
    EXPECT_EQ(runs.addDragHit(1, SIG_GREEN, T - 500, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addDragHit(1, SIG_GREEN, T - 400, HIT_FROM_DEVICE), 0); // a second start signal
    EXPECT_EQ(runs.dragRuns()[0].startTime, T - 500);
}

TEST_F(DragHitsTest, BlockFinishTimeoutBoundary) {
    host.blockTimeout = 3;
    addRun();
    runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE);
    EXPECT_EQ(runs.addDragHit(4, SIG_LEFT, T - 1, HIT_FROM_DEVICE), 0); // before the launch counts as within
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 3000, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(5, SIG_LEFT, T + 3000, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 3001, HIT_FROM_DEVICE), 1);
    // The other lane has no launch: nothing blocks it.
    EXPECT_EQ(runs.addDragHit(2, SIG_RIGHT, T + 10, HIT_FROM_DEVICE), 1);
}

TEST_F(DragHitsTest, NodesSignalsAndScoreboardsInDragMode) {
    addRun();
    EXPECT_EQ(runs.addDragHit(3, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(1, 1, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addDragHit(1, 100, T, HIT_FROM_DEVICE), 0);
    EXPECT_TRUE(host.displays.empty());

    // Signals 10 and 11 act like 0 and 2 but show nothing.
    EXPECT_EQ(runs.addDragHit(1, SIG_COMB_START_LEFT, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addDragHit(1, SIG_COMB_START_RIGHT, T, HIT_FROM_DEVICE), 1);
    EXPECT_TRUE(host.displays.empty());
    EXPECT_EQ(types(1), (std::vector<int32_t>{HIT_TYPE_RT}));

    EXPECT_EQ(runs.addDragHit(4, SIG_LEFT, T + 8500, HIT_FROM_DEVICE), 1);
    ASSERT_EQ(host.displays.size(), 1u);
    EXPECT_EQ(host.displays[0].second, LANE_LEFT);
    EXPECT_EQ(runs.addDragHit(5, SIG_RIGHT, T + 1000, HIT_FROM_DEVICE), 1);
    ASSERT_EQ(host.displays.size(), 2u);
    EXPECT_EQ(host.displays[1].second, LANE_RIGHT);
}

TEST_F(DragHitsTest, StartSignalShowsBothLanesOnceLaunched) {
    addRun();
    runs.addDragHit(1, SIG_LEFT, T - 50, HIT_FROM_DEVICE);
    host.displays.clear();
    const int rowsBefore = host.rows;
    EXPECT_EQ(runs.addDragHit(7, SIG_GREEN, T, HIT_FROM_DEVICE), 1); // any node gives the start signal
    EXPECT_EQ(runs.dragRuns()[0].rt[0], -50);
    ASSERT_EQ(host.displays.size(), 2u);
    EXPECT_EQ(host.displays[0].second, LANE_LEFT);
    EXPECT_EQ(host.displays[1].second, LANE_RIGHT);
    EXPECT_EQ(host.rows, rowsBefore); // a start signal adds no row
}

TEST_F(DragHitsTest, WinnerReportedOnce) {
    addRun();
    runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE);
    runs.addDragHit(1, SIG_LEFT, T + 300, HIT_FROM_DEVICE);
    runs.addDragHit(1, SIG_RIGHT, T + 200, HIT_FROM_DEVICE);
    EXPECT_TRUE(host.winners.empty());
    runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_DEVICE);
    EXPECT_EQ(host.winners, (std::vector<int>{0}));
    runs.addDragHit(2, SIG_RIGHT, T + 8000, HIT_FROM_DEVICE); // the right lane now wins
    EXPECT_EQ(runs.dragRuns()[0].winner, 1);
    EXPECT_EQ(host.winners, (std::vector<int>{0}));
    EXPECT_EQ(runs.dragRuns()[0].winnerReported, 1);
}

TEST_F(DragHitsTest, HitFromHitLogSelectedDoesNotReportWinner) {
    addRun();
    runs.selectedRun() = 0;
    runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_LOG_SELECTED);
    runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_LOG_SELECTED);
    EXPECT_EQ(runs.dragRuns()[0].winner, 0);
    EXPECT_TRUE(host.winners.empty());
    EXPECT_EQ(host.cursorMoves, 0);
    runs.addDragHit(1, SIG_RIGHT, T, HIT_FROM_LOG_CURRENT);
    EXPECT_EQ(host.winners, (std::vector<int>{0})); // Enter in the hit log reports in mode 0
    EXPECT_EQ(host.cursorMoves, 1);
}

TEST_F(DragHitsTest, AcceptedHitSavesAndNotifies) {
    addRun();
    runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE);
    EXPECT_EQ(host.notifies, 1);
    EXPECT_EQ(folder.read("drag.txt"), "DRAGITEM:11,-1,22,-1,0,0,1,0,0\nLEFTHIT:2,1700000000000\n");
}

TEST_F(DragHitsTest, HitTellsTheResultsWhichRunChanged) {
    addRun();
    addRun();
    runs.currentRunIndex() = 0;
    runs.addDragHit(1, SIG_LEFT, T, HIT_FROM_DEVICE);
    runs.currentRunIndex() = 1;
    runs.addDragHit(1, SIG_RIGHT, T + 10, HIT_FROM_DEVICE);
    EXPECT_EQ(host.changedRuns, (std::vector<size_t>{0, 1}));
}

// A hit's save compares only the runs marked changed. A change made elsewhere with no save
// of its own (a racer set while a run is made, hit lists sorted again by a relayout or a
// recalculation of every run) reaches drag.txt with the next hit all the same, even when
// that hit goes to another run.
TEST_F(DragHitsTest, ChangesOutsideTheHitPathReachDragTxtWithTheNextHit) {
    addRun(11, 22);
    addRun(33, 44);
    runs.relayoutRuns();
    runs.selectedRun() = 0; // the hit log's "Вкл. в расчет" hits go to run 0, the current run is 1
    uint64_t t = T;
    runs.addDragHit(4, SIG_LEFT, t, HIT_FROM_LOG_SELECTED); // drag.txt written and known
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"racer of the current run", [this] { runs.setLaneRacer(55, LANE_RIGHT, -1); }},
        {"relayout after an edit",
         [this] {
             runs.dragRuns()[1].hits[0] = {hitAt(HIT_TYPE_ET, T + 9000), hitAt(HIT_TYPE_RT, T)};
             runs.relayoutRuns();
         }},
        {"every run recalculated",
         [this] {
             runs.dragRuns()[1].hits[1] = {hitAt(HIT_TYPE_ET, T + 9500), hitAt(HIT_TYPE_RT, T + 20)};
             runs.recalculateAllRuns();
         }},
    };
    for (const auto& c : cases) {
        c.change();
        ASSERT_EQ(runs.addDragHit(4, SIG_LEFT, t += 10, HIT_FROM_LOG_SELECTED), 1) << c.name;
        EXPECT_EQ(folder.read("drag.txt"), formatDragFile(runs.dragRuns())) << c.name;
    }
}

TEST_F(DragHitsTest, GrowingRunMovesLaterRuns) {
    addRun();
    addRun();
    runs.dragRuns()[0].hits[0] = {hitAt(HIT_TYPE_RT, T), hitAt(HIT_TYPE_ET, T + 9000)};
    runs.relayoutRuns();
    ASSERT_EQ(runs.dragRuns()[0].gridRows, 4);
    ASSERT_EQ(runs.dragRuns()[1].gridRow, 4);
    ASSERT_EQ(host.rows, 6);
    runs.currentRunIndex() = 0;
    runs.selectedRun() = 0;
    runs.addDragHit(4, SIG_LEFT, T + 8000, HIT_FROM_LOG_SELECTED);
    EXPECT_EQ(runs.dragRuns()[0].gridRows, 5);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 5);
    EXPECT_EQ(host.rows, 7);
    runs.addDragHit(1, SIG_RIGHT, T, HIT_FROM_DEVICE); // the longer lane still decides
    EXPECT_EQ(host.rows, 7);
}

TEST_F(DragHitsTest, RollerSlalom) {
    addRun(5, 0, RUN_MODE_PRACTICE);
    EXPECT_EQ(runs.addRollersHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addRollersHit(2, SIG_LEFT, T, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(runs.addRollersHit(3, SIG_GREEN, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.dragRuns()[0].startTime, T);

    addRun(5, 0, RUN_MODE_QUALIFICATION);
    EXPECT_EQ(runs.addRollersHit(1, 7, T, HIT_FROM_DEVICE), 1);                   // the signal plays no part
    EXPECT_EQ(runs.addRollersHit(1, SIG_RIGHT, T + 5, HIT_FROM_LOG_SELECTED), 0); // repeat, every source
    EXPECT_EQ(runs.addRollersHit(4, SIG_LEFT, T + 5, HIT_FROM_DEVICE), 0);
    host.displays.clear();
    EXPECT_EQ(runs.addRollersHit(2, SIG_RIGHT, T + 30000, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(types(0, 1), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_ET}));
    ASSERT_EQ(host.displays.size(), 1u);
    EXPECT_EQ(host.displays[0].first, encodeLaneDisplay("30.000", "")); // time, no speed

    addRun(5, 6, RUN_MODE_FINAL);
    EXPECT_EQ(runs.addRollersHit(1, SIG_LEFT, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addRollersHit(2, SIG_LEFT, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addRollersHit(2, SIG_LEFT, T + 1, HIT_FROM_DEVICE), 0);
    EXPECT_EQ(types(0, 2), (std::vector<int32_t>{HIT_TYPE_ET}));
    EXPECT_EQ(types(1, 2), (std::vector<int32_t>{HIT_TYPE_ET}));
}

TEST_F(DragHitsTest, ParallelRaceTurnsEarlierFinishesIntoLaps) {
    addRun();
    runs.addParallelHit(1, SIG_GREEN, T, HIT_FROM_DEVICE, 0);
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T + 10000, HIT_FROM_DEVICE, 0), 1);
    EXPECT_EQ(runs.addParallelHit(2, SIG_RIGHT, T + 11000, HIT_FROM_DEVICE, 0), 1);
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T + 40000, HIT_FROM_DEVICE, 0), 1);
    EXPECT_EQ(runs.addParallelHit(2, SIG_RIGHT, T + 41000, HIT_FROM_DEVICE, 0), 1);
    EXPECT_EQ(types(0), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_ET}));
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T + 70000, HIT_FROM_DEVICE, 0), 1);
    EXPECT_EQ(types(0), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_PLAP, HIT_TYPE_ET}));
    // The right lane's finish at the same position became a lap too.
    EXPECT_EQ(types(1), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_PLAP}));
    EXPECT_EQ(runs.addParallelHit(2, 15, T + 80000, HIT_FROM_DEVICE, 0), 0);
}

TEST_F(DragHitsTest, ParallelRaceTwo) {
    addRun();
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T + 10000, HIT_FROM_DEVICE, 1), 1);  // node 2: right lane
    EXPECT_EQ(runs.addParallelHit(2, SIG_GREEN, T + 40000, HIT_FROM_DEVICE, 1), 1); // not a start signal
    EXPECT_EQ(runs.dragRuns()[0].startTime, 0u);
    EXPECT_EQ(runs.addParallelHit(2, SIG_LEFT, T + 70000, HIT_FROM_DEVICE, 1), 0); // third passage
    EXPECT_EQ(types(1), (std::vector<int32_t>{HIT_TYPE_RT, HIT_TYPE_ET}));
    EXPECT_TRUE(runs.dragRuns()[0].hits[0].empty());
    EXPECT_EQ(runs.addParallelHit(3, SIG_GREEN, T, HIT_FROM_DEVICE, 1), 1);
    EXPECT_EQ(runs.dragRuns()[0].startTime, T);
}

// Lap modes 3 and 5: one passage of the lane given by the signal, in a run whose lanes
// already hold the listed hit types.
struct LapCase {
    const char* name;
    int32_t racerLeft, racerRight;
    std::vector<int32_t> left, right;
    int signal;
    std::optional<std::pair<int, int32_t>> expected; // lane and type of the new hit, or refused
};

void runLapCases(DragRuns& runs, const std::vector<LapCase>& cases, int (DragRuns::*handler)(int, int, uint64_t, int)) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        runs.dragRuns().clear();
        TDragRaceItem run;
        run.runId = 1;
        run.racer = {c.racerLeft, c.racerRight};
        uint64_t t = T;
        for (int32_t type : c.left) run.hits[0].push_back(hitAt(type, t += 1000));
        for (int32_t type : c.right) run.hits[1].push_back(hitAt(type, t += 1000));
        runs.dragRuns().push_back(run);
        runs.currentRunIndex() = 0;
        const int taken = (runs.*handler)(2, c.signal, t + 1000, HIT_FROM_DEVICE);
        if (!c.expected) {
            EXPECT_EQ(taken, 0);
            EXPECT_EQ(runs.dragRuns()[0].hits[0].size(), c.left.size());
            EXPECT_EQ(runs.dragRuns()[0].hits[1].size(), c.right.size());
            continue;
        }
        ASSERT_EQ(taken, 1);
        const auto& list = runs.dragRuns()[0].hits[c.expected->first];
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.back().time, t + 1000);
        EXPECT_EQ(list.back().type, c.expected->second);
    }
}

constexpr int32_t RT = HIT_TYPE_RT, ET = HIT_TYPE_ET, PLAP = HIT_TYPE_PLAP, FAIL = HIT_TYPE_FAIL;

TEST_F(DragHitsTest, CrossoverLapTable) {
    runLapCases(
        runs,
        {
            {"both set, own empty", 1, 2, {}, {}, SIG_LEFT, std::pair{0, RT}},
            {"both set, own last RT", 1, 2, {RT}, {}, SIG_LEFT, std::pair{0, PLAP}},
            {"both set, own last PLAP", 1, 2, {RT, PLAP}, {RT}, SIG_LEFT, std::pair{1, ET}},
            {"own last ET, other last ET", 1, 2, {RT, ET}, {RT, ET}, SIG_LEFT, std::nullopt},
            {"own last ET, other PLAP and shorter", 1, 2, {RT, PLAP, ET}, {RT, PLAP}, SIG_LEFT, std::pair{1, ET}},
            {"own last ET, other PLAP not shorter", 1, 2, {RT, ET}, {RT, PLAP}, SIG_LEFT, std::pair{0, PLAP}},
            {"own last ET, other empty", 1, 2, {RT, ET}, {}, SIG_LEFT, std::nullopt},
            {"own last FAIL", 1, 2, {RT, FAIL}, {}, SIG_LEFT, std::nullopt},
            {"only own racer, own empty", 1, 0, {}, {}, SIG_LEFT, std::pair{0, RT}},
            {"only own racer, later", 1, 0, {RT, PLAP}, {}, SIG_LEFT, std::pair{0, PLAP}},
            {"only other racer", 0, 2, {}, {}, SIG_LEFT, std::pair{1, ET}},
            {"no racer, own empty", 0, 0, {}, {}, SIG_LEFT, std::nullopt},
            {"right lane mirrors", 1, 2, {RT}, {RT, PLAP}, SIG_RIGHT, std::pair{0, ET}},
            {"other signal", 1, 2, {}, {}, 7, std::nullopt},
        },
        &DragRuns::addCrossoverLapHit);
}

TEST_F(DragHitsTest, HeadOnLapTable) {
    runLapCases(runs,
                {
                    {"both set, own empty", 1, 2, {}, {}, SIG_LEFT, std::pair{0, RT}},
                    {"both set, own last RT", 1, 2, {RT}, {RT}, SIG_LEFT, std::pair{1, PLAP}},
                    {"own last PLAP, other shorter", 1, 2, {RT, PLAP}, {RT}, SIG_LEFT, std::pair{1, PLAP}},
                    {"own last PLAP, other not shorter", 1, 2, {RT, PLAP}, {RT, PLAP}, SIG_LEFT, std::pair{0, ET}},
                    {"own last ET", 1, 2, {RT, ET}, {RT}, SIG_LEFT, std::nullopt},
                    {"own last FAIL", 1, 2, {RT, FAIL}, {RT}, SIG_LEFT, std::nullopt},
                    {"only own racer, own empty", 1, 0, {}, {}, SIG_LEFT, std::pair{0, RT}},
                    {"only own racer, later", 1, 0, {RT}, {}, SIG_LEFT, std::pair{0, ET}},
                    {"only other racer", 0, 2, {}, {}, SIG_LEFT, std::pair{1, PLAP}},
                    {"no racer, own empty", 0, 0, {}, {}, SIG_RIGHT, std::nullopt},
                    {"stage release signal", 1, 2, {}, {}, 15, std::nullopt},
                },
                &DragRuns::addHeadOnLapHit);
}

TEST_F(DragHitsTest, CrossoverFinishShowsBothLanes) {
    addRun();
    runs.addCrossoverLapHit(2, SIG_LEFT, T, HIT_FROM_DEVICE);
    runs.addCrossoverLapHit(2, SIG_LEFT, T + 30000, HIT_FROM_DEVICE);
    EXPECT_TRUE(host.displays.empty());
    runs.addCrossoverLapHit(2, SIG_LEFT, T + 60000, HIT_FROM_DEVICE); // ET on the right list
    ASSERT_EQ(host.displays.size(), 2u);
    EXPECT_EQ(host.displays[0].second, LANE_LEFT);
    EXPECT_EQ(host.displays[1].second, LANE_RIGHT);
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

class DragBatchTest : public DragFolderTest {
protected:
    void SetUp() override {
        DragFolderTest::SetUp();
        resetSaveReports();
        TDragRaceItem run;
        run.runId = 1;
        run.racer = {11, 22};
        runs.dragRuns().push_back(run);
        runs.currentRunIndex() = 0;
    }
    std::string dragTxt() const { return std::filesystem::exists(folder / "drag.txt") ? folder.read("drag.txt") : ""; }
};

TEST_F(DragBatchTest, HitsOfOneBatchWriteDragTxtAndNotifyTheResultsOnce) {
    {
        HitBatch batch(host.intake);
        EXPECT_EQ(runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE), 1);
        EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T + 400, HIT_FROM_DEVICE), 1);
        EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_DEVICE), 1);
        EXPECT_EQ(dragTxt(), "");
        EXPECT_EQ(host.notifies, 0);
    }
    EXPECT_EQ(dragTxt(), formatDragFile(runs.dragRuns()));
    EXPECT_EQ(host.notifies, 1);
    // Outside a batch each accepted hit writes at once.
    EXPECT_EQ(runs.addDragHit(1, SIG_RIGHT, T + 420, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(dragTxt(), formatDragFile(runs.dragRuns()));
    EXPECT_EQ(host.notifies, 2);
}

TEST_F(DragBatchTest, AFailingDragTxtWriteReachesTheLogWindowOnce) {
    std::filesystem::create_directories(folder / "drag.txt"); // cannot be replaced by a file
    EXPECT_EQ(runs.addDragHit(1, SIG_GREEN, T, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(runs.addDragHit(1, SIG_LEFT, T + 400, HIT_FROM_DEVICE), 1);
    {
        HitBatch batch(host.intake);
        EXPECT_EQ(runs.addDragHit(1, SIG_RIGHT, T + 420, HIT_FROM_DEVICE), 1);
    }
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("drag.txt"), std::string::npos);
    EXPECT_TRUE(op.shown.empty()); // no dialog in the middle of a race

    std::filesystem::remove(folder / "drag.txt");
    EXPECT_EQ(runs.addDragHit(2, SIG_LEFT, T + 9000, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(dragTxt(), formatDragFile(runs.dragRuns())); // nothing was lost in memory
    ASSERT_EQ(op.logLines.size(), 2u);                     // "written again"
    std::filesystem::remove(folder / "drag.txt");
    std::filesystem::create_directories(folder / "drag.txt");
    EXPECT_EQ(runs.addDragHit(2, SIG_RIGHT, T + 9500, HIT_FROM_DEVICE), 1);
    EXPECT_EQ(op.logLines.size(), 3u); // a new run of failures is told again
}

} // namespace
} // namespace velmaro::test
