// Lap timings side by side: two events open in one process, each with its own folder,
// host, list, queues, start state and lap_single.txt.
#include "lap_fixture.h"

#include "core/intake/hit_intake.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

struct Event {
    TempFolder folder;
    FakeLapRegistry registry;
    FakeLapHost host;
    ScriptedOperator op;
    LapTiming lap{host, op};

    explicit Event(int mode) {
        host.mode = mode;
        host.folder = folder.path();
        host.reg = &registry;
    }
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

// Both take their hits in the same batches, as one slice of the link queue hands them
// over: neither sees the other's events, pending racer or start state, and each file
// holds its own list.
TEST(LapTimingSideBySide, TwoEventsTakeTheirOwnHits) {
    ScriptedOperator op;
    ScopedSaveReportLog scoped(op);
    Event laps(1);  // laps through one gate
    Event gates(4); // start and finish through two gates
    setProgramFolder(laps.folder.path());
    const uint64_t t = 1700000000000ull;
    {
        HitBatch batch;
        laps.lap.lapNext(7);
        gates.lap.lapNext(8);
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t, 0, -1), 1);                  // 7 first crossing
        EXPECT_EQ(gates.lap.processHitStartFinish(kNodeStart, 0, t + 10, 0, -1), 1); // 8 first crossing
        EXPECT_EQ(laps.lap.processHitLapSingle(1, 0, t + 30000, 0, -1), 1);         // a lap of 7
    }
    {
        HitBatch batch;
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

} // namespace
} // namespace velmaro::test
