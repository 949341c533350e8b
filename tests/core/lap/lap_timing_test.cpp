// Lap timings side by side: two events open in one process, each with its own folder,
// host, list, queues, start state and lap_single.txt.
#include "lap_fixture.h"

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
        intake.handlers().setLapHandler(1, [this](int node, int signal, uint64_t t, int racer, int cls) {
            (void)lap.processHitLapSingle(node, signal, t, racer, cls);
        });
        intake.handlers().setLapHandler(4, [this](int node, int signal, uint64_t t, int racer, int cls) {
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
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t + 30000, 0, -1), 1);         // a lap of 7
    }
    {
        HitBatch lapsBatch(laps.intake), gatesBatch(gates.intake);
        EXPECT_EQ(gates.lap.processHitStartFinish(kNodeFinish, 0, t + 40000, 0, -1), 1); // 8 finishes
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t + 61000, 0, -1), 1);              // 7 again
    }

    EXPECT_EQ(laps.lines(), (std::vector<std::string>{"7,3,1700000000000,0,0,-1,0",
                                                      "7,0,1700000030000,30000,0,-1,0",
                                                      "7,0,1700000061000,31000,0,-1,0"}));
    EXPECT_EQ(gates.lines(), (std::vector<std::string>{"8,3,1700000000010,0,0,-1,0",
                                                       "8,0,1700000040000,39990,0,-1,0"}));
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
    EXPECT_EQ(keys(gates), (std::vector<std::pair<int, uint64_t>>{
                               {kNodeStart, t + 10}, {1, t + 30000}, {kNodeFinish, t + 40000}}));
    EXPECT_EQ(laps.folder.read("hitlog.txt"), formatHitLog(laps.intake.hitList()));
    EXPECT_EQ(gates.folder.read("hitlog.txt"), formatHitLog(gates.intake.hitList()));
    EXPECT_EQ(laps.lines(), (std::vector<std::string>{"7,3,1700000000000,0,0,-1,0", "7,0,1700000030000,30000,0,-1,0"}));
    EXPECT_EQ(gates.lines(), (std::vector<std::string>{"8,3,1700000000010,0,0,-1,0",
                                                       "8,0,1700000040000,39990,0,-1,0"}));
    EXPECT_EQ(laps.folder.read("lap_single.txt"), lapFileText(*laps.lap.raceItems()));
    EXPECT_EQ(gates.folder.read("lap_single.txt"), lapFileText(*gates.lap.raceItems()));
    // Each journal hears of its own device hits only.
    EXPECT_EQ(laps.intakeHost.taken.size(), 2u);
    EXPECT_EQ(gates.intakeHost.taken.size(), 3u);
}

} // namespace
} // namespace velmaro::test
