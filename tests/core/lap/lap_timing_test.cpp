// Lap timings side by side: two events open in one process, each with its own folder,
// host, list, queues, start state and lap_single.txt; and two sets of the whole event
// state of a two-lane event (intake, runs, lap timing), each with its own folder.
#include "lap_fixture.h"

#include "core/drag/drag_file.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/intake/hit_intake.h"
#include "fakes/fake_hit_intake_host.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

struct Event {
    TempFolder folder;
    FakeLapRegistry registry;
    FakeLapHost host;
    ScriptedOperator op;
    FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    LapTiming lap{host, intake, op};

    explicit Event(int mode) {
        host.mode = mode;
        host.folder = folder.path();
        host.reg = &registry;
        intakeHost.mode = mode;
        intakeHost.folder = folder.path();
        intake.handlers().setLapHandler(TimingMode::LapOneGate,
                                        [this](int node, int signal, uint64_t t, int racer, int cls) {
                                            (void)lap.processHitLapSingle(node, signal, t, racer, cls);
                                        });
        intake.handlers().setLapHandler(TimingMode::StartFinish,
                                        [this](int node, int signal, uint64_t t, int racer, int cls) {
                                            (void)lap.processHitStartFinish(node, signal, t, racer, cls);
                                        });
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& e : *lap.raceItems()) out.push_back(formatLapLine(*e));
        return out;
    }
};

std::vector<uint32_t> racersOf(const std::vector<TRaceItem*>& queue) {
    std::vector<uint32_t> v;
    for (const TRaceItem* e : queue) v.push_back(e->racer);
    return v;
}

// Both take their hits in batches open at the same time, each of its own intake: neither
// sees the other's events, pending racer or start state, and each file
// holds its own list.
TEST(LapTimingSideBySide, TwoEventsTakeTheirOwnHits) {
    ScriptedOperator op;
    ScopedSaveReportLog scoped(op);
    Event laps(1);  // laps through one gate
    Event gates(4); // start and finish through two gates
    setProgramFolder(laps.folder.path());
    const uint64_t t = 1700000000000ull;
    {
        HitBatch lapsBatch(laps.intake), gatesBatch(gates.intake);
        laps.lap.lapNext(7);
        gates.lap.lapNext(8);
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t, 0, -1), 1);                  // 7 first crossing
        EXPECT_EQ(gates.lap.processHitStartFinish(kNodeStart, 0, t + 10, 0, -1), 1); // 8 first crossing
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t + 30000, 0, -1), 1);          // a lap of 7
    }
    {
        HitBatch lapsBatch(laps.intake), gatesBatch(gates.intake);
        EXPECT_EQ(gates.lap.processHitStartFinish(kNodeFinish, 0, t + 40000, 0, -1), 1); // 8 finishes
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t + 61000, 0, -1), 1);              // 7 again
    }

    EXPECT_EQ(laps.lines(), (std::vector<std::string>{"7,3,1700000000000,0,0,-1,0", "7,0,1700000030000,30000,0,-1,0",
                                                      "7,0,1700000061000,31000,0,-1,0"}));
    EXPECT_EQ(gates.lines(),
              (std::vector<std::string>{"8,3,1700000000010,0,0,-1,0", "8,0,1700000040000,39990,0,-1,0"}));
    EXPECT_EQ(racersOf(laps.lap.courseQueue()), std::vector<uint32_t>{7});
    EXPECT_TRUE(laps.lap.finishQueue().empty());
    EXPECT_TRUE(gates.lap.courseQueue().empty());
    EXPECT_TRUE(gates.lap.finishQueue().empty());
    EXPECT_EQ(laps.lap.pendingRacer(), 7); // mode 1 keeps the number of NEXT
    EXPECT_EQ(gates.lap.pendingRacer(), 0);
    EXPECT_EQ(laps.host.rowCount, 4);
    EXPECT_EQ(gates.host.rowCount, 3);
    EXPECT_EQ(gates.host.onCourseCount, 0);
    EXPECT_EQ(laps.folder.read("lap_single.txt"), lapFileText(*laps.lap.raceItems()));
    EXPECT_EQ(gates.folder.read("lap_single.txt"), lapFileText(*gates.lap.raceItems()));
}

// Two sets of event state side by side, each fed its own hits through its own intake in
// batches open at the same time: each hit list, hitlog.txt, lap list and lap_single.txt
// holds its own hits only, and a hit one set already logged is new to the other.
TEST(LapTimingSideBySide, EachIntakeFeedsItsOwnEvent) {
    ScriptedOperator op;
    ScopedSaveReportLog scoped(op);
    Event laps(1);
    Event gates(4);
    setProgramFolder(laps.folder.path());
    const uint64_t t = 1700000000000ull;
    laps.lap.lapNext(7);
    gates.lap.lapNext(8);
    {
        HitBatch lapsBatch(laps.intake), gatesBatch(gates.intake);
        laps.intake.processHit(1, 0, t, HIT_FROM_DEVICE);
        gates.intake.processHit(kNodeStart, 0, t + 10, HIT_FROM_DEVICE);
        laps.intake.processHit(1, 0, t + 30000, HIT_FROM_DEVICE);
        gates.intake.processHit(1, 0, t + 30000, HIT_FROM_DEVICE); // the same hit, new to this set
        // Nothing is written before its own batch closes.
        EXPECT_FALSE(std::filesystem::exists(laps.folder / "hitlog.txt"));
        EXPECT_FALSE(std::filesystem::exists(gates.folder / "hitlog.txt"));
    }
    gates.intake.processHit(kNodeFinish, 0, t + 40000, HIT_FROM_DEVICE);
    laps.intake.processHit(1, 0, t + 30000, HIT_FROM_DEVICE); // a repeat of its own: dropped

    const auto keys = [](const Event& e) {
        std::vector<std::pair<int, uint64_t>> out;
        for (const THitRecord& r : e.intake.hitList()) out.emplace_back(r.node, r.time());
        return out;
    };
    EXPECT_EQ(keys(laps), (std::vector<std::pair<int, uint64_t>>{{1, t}, {1, t + 30000}}));
    EXPECT_EQ(keys(gates),
              (std::vector<std::pair<int, uint64_t>>{{kNodeStart, t + 10}, {1, t + 30000}, {kNodeFinish, t + 40000}}));
    EXPECT_EQ(laps.folder.read("hitlog.txt"), formatHitLog(laps.intake.hitList()));
    EXPECT_EQ(gates.folder.read("hitlog.txt"), formatHitLog(gates.intake.hitList()));
    EXPECT_EQ(laps.lines(), (std::vector<std::string>{"7,3,1700000000000,0,0,-1,0", "7,0,1700000030000,30000,0,-1,0"}));
    EXPECT_EQ(gates.lines(),
              (std::vector<std::string>{"8,3,1700000000010,0,0,-1,0", "8,0,1700000040000,39990,0,-1,0"}));
    EXPECT_EQ(laps.folder.read("lap_single.txt"), lapFileText(*laps.lap.raceItems()));
    EXPECT_EQ(gates.folder.read("lap_single.txt"), lapFileText(*gates.lap.raceItems()));
    // Each journal hears of its own device hits only.
    EXPECT_EQ(laps.intakeHost.taken.size(), 2u);
    EXPECT_EQ(gates.intakeHost.taken.size(), 3u);
}

// The event state of a two-lane event (mode 0), core objects only: the hit intake (the
// drag host's own), the runs with one run ready to start, and the lap timing on the same
// intake, all over one event folder.
struct DragEvent {
    TempFolder folder;
    FakeDragHost host;
    DragRuns runs{host};
    FakeLapHost lapHost;
    LapTiming lap{lapHost, host.intake, host.op()};

    DragEvent(int32_t runId, int32_t left, int32_t right) {
        host.folder = folder.path();
        host.intakeHost.mode = 0;
        host.intakeHost.folder = folder.path();
        lapHost.folder = folder.path();
        runs.registerHitHandlers();
        TDragRaceItem run;
        run.runId = runId;
        run.racer = {left, right};
        runs.dragRuns().push_back(run);
        runs.currentRunIndex() = 0;
        runs.relayoutRuns();
    }
    ~DragEvent() { runs.clearHitHandlers(); }
    HitIntake& intake() { return host.intake; }
    std::vector<std::pair<int, uint64_t>> hitKeys() const {
        std::vector<std::pair<int, uint64_t>> out;
        for (const THitRecord& r : host.intake.hitList()) out.emplace_back(r.node, r.time());
        return out;
    }
};

// Two sets of a two-lane event's state side by side, each fed its own hits through its
// own intake, in batches open at the same time: each run takes its own hits only, and
// each drag.txt and hitlog.txt holds its own set's runs and hits.
TEST(LapTimingSideBySide, EachIntakeFeedsItsOwnRuns) {
    ScriptedOperator op;
    ScopedSaveReportLog scoped(op);
    DragEvent a(1, 11, 12);
    DragEvent b(5, 21, 22);
    setProgramFolder(a.folder.path());
    const uint64_t t = 1700000000000ull;
    {
        HitBatch aBatch(a.intake()), bBatch(b.intake());
        a.intake().processHit(1, SIG_GREEN, t, HIT_FROM_DEVICE);
        b.intake().processHit(1, SIG_GREEN, t + 5, HIT_FROM_DEVICE);
        a.intake().processHit(1, SIG_LEFT, t + 400, HIT_FROM_DEVICE);
        b.intake().processHit(1, SIG_RIGHT, t + 450, HIT_FROM_DEVICE);
        EXPECT_FALSE(std::filesystem::exists(a.folder / "hitlog.txt"));
        EXPECT_FALSE(std::filesystem::exists(b.folder / "drag.txt"));
    }
    a.intake().processHit(2, SIG_LEFT, t + 9900, HIT_FROM_DEVICE); // a's left lane finishes
    b.intake().processHit(1, SIG_LEFT, t + 500, HIT_FROM_DEVICE);  // b's left lane launches

    const TDragRaceItem& runA = a.runs.dragRuns().at(0);
    const TDragRaceItem& runB = b.runs.dragRuns().at(0);
    EXPECT_EQ(runA.startTime, t);
    EXPECT_EQ(runA.hits[LANE_LEFT],
              (std::vector<TLineHit>{{HIT_TYPE_RT, t + 400, 0, 0, 0}, {HIT_TYPE_ET, t + 9900, 9500, 9900, 0}}));
    EXPECT_TRUE(runA.hits[LANE_RIGHT].empty());
    EXPECT_EQ(runB.startTime, t + 5);
    EXPECT_EQ(runB.hits[LANE_LEFT], (std::vector<TLineHit>{{HIT_TYPE_RT, t + 500, 0, 0, 0}}));
    EXPECT_EQ(runB.hits[LANE_RIGHT], (std::vector<TLineHit>{{HIT_TYPE_RT, t + 450, 0, 0, 0}}));
    EXPECT_EQ(a.hitKeys(), (std::vector<std::pair<int, uint64_t>>{{1, t}, {1, t + 400}, {2, t + 9900}}));
    EXPECT_EQ(b.hitKeys(), (std::vector<std::pair<int, uint64_t>>{{1, t + 5}, {1, t + 450}, {1, t + 500}}));
    EXPECT_EQ(a.folder.read("drag.txt"), formatDragFile(a.runs.dragRuns()));
    EXPECT_EQ(b.folder.read("drag.txt"), formatDragFile(b.runs.dragRuns()));
    EXPECT_EQ(a.folder.read("hitlog.txt"), formatHitLog(a.host.intake.hitList()));
    EXPECT_EQ(b.folder.read("hitlog.txt"), formatHitLog(b.host.intake.hitList()));
    // Each results input hears of its own run only; no lap event was made.
    EXPECT_EQ(a.host.changedRuns, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(b.host.changedRuns, (std::vector<size_t>{0, 0}));
    EXPECT_TRUE(!a.lap.raceItems() || a.lap.raceItems()->empty());
    EXPECT_TRUE(!b.lap.raceItems() || b.lap.raceItems()->empty());
}

} // namespace
} // namespace velmaro::test
