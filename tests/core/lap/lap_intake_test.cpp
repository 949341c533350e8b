// Hit intake of modes 1, 4 and 6, the queues, START and NEXT, and the scoreboard calls.
#include "lap_fixture.h"

#include "core/intake/hit_intake.h"
#include "core/platform/files.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

class LapIntake : public LapTest {
protected:
    uint64_t t = 1700000000000ull;
    // A line crossing `ms` after the previous hit.
    int cross(int mode, int node = 1, int racer = 0, int cls = -1, uint64_t ms = 30000) {
        t += ms;
        switch (mode) {
        case 1: return lap->processHitLapSingle(node, 0, t, racer, cls);
        case 4: return lap->processHitStartFinish(node, 0, t, racer, cls);
        default: return lap->processHitGymkhana(node, 0, t, racer, cls);
        }
    }
    int signal(int mode, uint64_t ms = 1000) {
        t += ms;
        return mode == 4 ? lap->processHitStartFinish(1, 6, t, 0, -1) : lap->processHitLapSingle(1, 6, t, 0, -1);
    }
};

TEST_F(LapIntake, Mode1_UntaggedLapsRotateThroughTheStarters) {
    for (int n : {7, 8, 9}) {
        lap->lapNext(n);
        cross(1, 1, 0, -1, 2000);
    }
    for (int i = 0; i < 6; ++i) cross(1);
    EXPECT_EQ(racersOf(K::FRST), (std::vector<uint32_t>{7, 8, 9}));
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{7, 8, 9, 7, 8, 9}));
    EXPECT_EQ(queueRacers(lap->courseQueue()), (std::vector<uint32_t>{9, 8, 7}));
    EXPECT_EQ(lap->cntOnLane(), 3);
    EXPECT_EQ(host.rowCount, 10);
}

TEST_F(LapIntake, Mode1_NewStartsReplaceTheGroup) {
    lap->lapNext(7);
    cross(1);
    cross(1);
    lap->lapNext(8);
    cross(1);
    cross(1);
    cross(1);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"FRST", "LAP", "FRST", "LAP", "LAP"}));
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{7, 8, 8}));
}

TEST_F(LapIntake, Mode1_RetiredRacerLeavesTheRotation) {
    struct Row {
        const char* name;
        int retireQueueIndex; // queue is newest first: 0 = racer 9, 1 = racer 8
        std::vector<uint32_t> laps;
    };
    for (const Row& row : {Row{"newest starter", 0, {7, 8, 7, 8, 7}}, Row{"middle starter", 1, {7, 8, 9, 7, 9}}}) {
        SCOPED_TRACE(row.name);
        startOver();
        std::filesystem::remove(temp / "lap_single.txt");
        for (int n : {7, 8, 9}) {
            lap->lapNext(n);
            cross(1, 1, 0, -1, 2000);
        }
        cross(1);
        cross(1);
        lap->retireRacer(row.retireQueueIndex);
        EXPECT_EQ(lap->courseQueue().size(), 2u);
        cross(1);
        // A reload rebuilds exactly the same queue.
        std::vector<uint32_t> queued = queueRacers(lap->courseQueue());
        lap->loadLapSingle();
        EXPECT_EQ(queueRacers(lap->courseQueue()), queued);
        cross(1);
        cross(1);
        EXPECT_EQ(racersOf(K::LAP), row.laps);
        EXPECT_EQ(racersOf(K::FAIL).size(), 1u);
    }
}

TEST_F(LapIntake, Mode1_StartSignalAndStartLine) {
    registry.addClass(2, "B");
    registry.addRacer(5, "Петров", {2});
    ASSERT_EQ(lap->lapStart(5), 0);
    signal(1);
    cross(1, 1, 0, -1, 300);
    cross(1);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"STSIG", "STLIN", "LAP"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(item(i).racer, 5u);
        EXPECT_EQ(item(i).classId, 2); // the tag's racer brings his own class
    }
    EXPECT_EQ(item(2).lap, 30000);
    EXPECT_EQ(item(2).fromStart, 30300);
    EXPECT_EQ(lap->pendingRacer(), 0);
}

TEST_F(LapIntake, Mode4_StartAndFinishQueues) {
    host.mode = 4;
    ASSERT_EQ(lap->lapStart(5), 0);
    signal(4);
    cross(4, kNodeStart, 0, -1, 200);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"STSIG", "STLIN"}));
    EXPECT_EQ(racersOf(K::STLIN), std::vector<uint32_t>{5});
    EXPECT_EQ(queueRacers(lap->finishQueue()), std::vector<uint32_t>{5});
    EXPECT_EQ(host.onCourseCount, 1);
    lap->lapNext(6);
    cross(4, kNodeStart2, 0, -1, 10000);
    EXPECT_EQ(queueRacers(lap->finishQueue()), (std::vector<uint32_t>{5, 6}));
    cross(4, kNodeFinish);
    cross(4, kNodeFinish);
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{5, 6}));
    EXPECT_TRUE(lap->finishQueue().empty());
    EXPECT_EQ(host.onCourseCount, 0);
    cross(4, kNodeFinish); // nobody left on the course
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{5, 6, 0}));
}

TEST_F(LapIntake, Mode4_FiveSecondWindowOfTheStartSignal) {
    host.mode = 4;
    struct Row {
        int64_t offset; // crossing time minus signal time
        const char* kind;
    };
    for (const Row& row : {Row{4999, "STLIN"}, Row{5000, "FRST"}, Row{-4999, "STLIN"}, Row{-5000, "FRST"}}) {
        SCOPED_TRACE(row.offset);
        startOver();
        const uint64_t signalTime = 1700000100000ull;
        lap->processHitStartFinish(1, 6, signalTime, 0, -1);
        lap->lapNext(5);
        ASSERT_EQ(lap->processHitStartFinish(kNodeStart, 0, signalTime + row.offset, 0, -1), 1);
        TRaceItem* crossing = lap->getRaceItem(row.offset < 0 ? 0 : 1);
        ASSERT_NE(crossing, nullptr);
        EXPECT_EQ(raceKindName(crossing->kind), row.kind);
        // A crossing before the signal takes the signal's racer (none here).
        EXPECT_EQ(crossing->racer, row.offset == -4999 ? 0u : 5u);
    }
}

TEST_F(LapIntake, Mode4_StartGateRules) {
    host.mode = 4;
    EXPECT_EQ(cross(4, kNodeStart), 0); // nobody called: ignored
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(cross(4, kNodeStart2, 33, 1), 1); // a tagged racer starts without NEXT
    EXPECT_EQ(kinds(), std::vector<std::string>{"FRST"});
    host.transponders = true;
    cross(4, kNodeFinish);
    EXPECT_EQ(racersOf(K::LAP), std::vector<uint32_t>{0}); // untagged laps are not guessed
    EXPECT_EQ(item(1).classId, -1);
}

TEST_F(LapIntake, BlockSt) {
    host.blockSt = true;
    EXPECT_EQ(cross(1), 0);
    host.mode = 4;
    EXPECT_EQ(cross(4, kNodeFinish), 0);
    EXPECT_EQ(cross(4, kNodeStart, 7, 1), 0);
    EXPECT_EQ(cross(4, kNodeFinish, 7, 1), 1); // a tagged finish still counts
    EXPECT_EQ(kinds(), std::vector<std::string>{"LAP"});
}

TEST_F(LapIntake, Mode6_LapsTakeThePreviousRacer) {
    host.mode = 6;
    cross(6); // the very first event has nobody before it
    lap->lapNext(3);
    t += 1000;
    EXPECT_EQ(lap->processHitGymkhana(1, 50, t, 0, -1), 1);
    EXPECT_EQ(lap->processHitGymkhana(1, 15, t + 1, 0, -1), 0);
    EXPECT_EQ(lap->processHitGymkhana(1, 100, t + 2, 0, -1), 0);
    cross(6);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"LAP", "FRST", "LAP"}));
    EXPECT_EQ(item(0).racer, 0u);
    EXPECT_EQ(item(1).racer, 3u);
    EXPECT_EQ(item(2).racer, 3u);
    EXPECT_EQ(lap->pendingRacer(), 0);
}

TEST_F(LapIntake, RepeatsChangeNothing) {
    cross(1, 1, 7, 1);
    EXPECT_EQ(lap->processHitLapSingle(1, 0, t, 7, 1), 1);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(lap->processHitLapSingle(1, 6, t, 0, -1), 1); // a start signal at a lap's time is new
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(lap->processHitLapSingle(1, 6, t, 0, -1), 1);
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(lap->processHitLapSingle(1, 3, t + 5, 0, -1), 0); // not a line signal
}

TEST_F(LapIntake, GridFollowsTheNewestRowUnlessEditing) {
    host.currentRow = 0;
    cross(1);
    EXPECT_EQ(host.currentRow, 1);
    host.editing = true;
    cross(1);
    EXPECT_EQ(host.currentRow, 1);
}

TEST_F(LapIntake, StartAndNext_PendingRacer) {
    registry.addClass(1, "A");
    registry.addClass(2, "B");
    registry.addRacer(12, "Сидоров", {1, 2});

    op.inputs.push_back(std::nullopt); // NEXT, dialog cancelled
    lap->lapNext(0);
    EXPECT_EQ(lap->lapStartState(), 1);
    EXPECT_EQ(lap->pendingRacer(), 0);

    op.inputs.push_back(std::string("12"));
    op.picks.push_back(1);
    lap->lapNext(0);
    EXPECT_EQ(lap->pendingRacer(), 12);
    EXPECT_EQ(lap->pendingClass(), 2);

    op.shown.clear();
    EXPECT_EQ(lap->lapStart(0), 0); // the number from NEXT is kept without asking
    EXPECT_TRUE(op.shown.empty());
    EXPECT_EQ(lap->lapStartState(), 2);
    EXPECT_EQ(lap->pendingClass(), 2);

    lap->pendingRacer() = 0;
    op.inputs.push_back(std::nullopt);
    EXPECT_EQ(lap->lapStart(0), -1);
    EXPECT_EQ(lap->lapStartState(), 2);

    op.inputs.push_back(std::string("x1"));
    EXPECT_EQ(lap->lapStart(0), 0); // not a number: racer 0
    EXPECT_EQ(lap->pendingRacer(), 0);
}

TEST_F(LapIntake, Scoreboard_StartAndNextPerType) {
    host.board = &board;
    struct Row {
        int type;
        std::vector<std::string> next;
        std::vector<std::string> start;
    };
    const std::vector<Row> rows = {
        {120,
         {"reset(1)", "stopTiming()", "showText(12,0,3,0,3,16)"},
         {"reset(1)", "stopTiming()", "showText(13,0,3,0,3,16)", "startTiming()"}},
        {122, {"reset(1)", "showText(12,0,3,0,3,16)"}, {"startTiming()"}},
        {117, {}, {}},
        {118, {}, {}},
        {200, {"reset(1)", "showResult(1,1,12,0,0,0,0,0)", "setDisplayState(0,2)"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        board.type = row.type;
        board.calls.clear();
        lap->lapNext(12);
        EXPECT_EQ(board.calls, row.next);
        board.calls.clear();
        lap->pendingRacer() = 0;
        op.inputs.push_back(std::string("13"));
        EXPECT_EQ(lap->lapStart(0), 0);
        EXPECT_EQ(board.calls, row.start);
    }
}

TEST_F(LapIntake, Scoreboard_NewLapMode1PerType) {
    host.board = &board;
    struct Row {
        int type;
        std::vector<std::string> calls;
    };
    // Racer 7 laps in 30 s, then racer 8 in 20 s: the newest lap and the lap before it.
    const std::vector<Row> rows = {
        {200, {"showResult(1,1,8,20000,0,0,0,0)", "showResult(1,2,7,30000,0,0,0,0)", "setDisplayState(0,0)"}},
        {122, {"showResult(1,1,8,20000,0,0,0,0)", "showResult(1,2,7,30000,0,0,0,0)"}},
        {118, {"showResult(1,1,8,20000,0,0,0,0)", "showResult(1,2,7,30000,0,0,0,0)", "setDisplayState(0,3)"}},
        {132,
         {"showResult(1,1,8,20000,0,0,0,0)", "showResult(1,2,7,30000,0,0,0,0)", "showResult(1,1,8,20000,0,0,0,0)",
          "setDisplayState(0,-1)"}},
        {142, {"reset(0)", "showResult(1,1,8,20000,0,0,0,0)", "setDisplayState(0,0)"}},
        {153, {"reset(0)", "showResult(1,1,8,20000,0,0,0,0)", "setDisplayState(0,0)"}},
        {156, {"showResult(1,1,8,20000,0,0,0,0)", "setDisplayState(0,0)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        startOver();
        board.type = row.type;
        t = 1700000000000ull;
        lap->processHitLapSingle(1, 0, t, 7, 1);
        lap->processHitLapSingle(1, 0, t + 15000, 8, 1);
        lap->processHitLapSingle(1, 0, t + 30000, 7, 1);
        board.calls.clear();
        lap->processHitLapSingle(1, 0, t + 35000, 8, 1);
        EXPECT_EQ(board.calls, row.calls);
    }
}

TEST_F(LapIntake, Scoreboard_NewLapMode4PerType) {
    host.board = &board;
    host.mode = 4;
    host.dirtyOnBoard = true; // the time from the start signal
    struct Row {
        int type;
        std::vector<std::string> calls;
    };
    const std::vector<Row> rows = {
        {117,
         {"showText( 5 0:31.000 \r\n" + std::string(13, ' ') + "\r\n" + std::string(13, ' ') + "\r\n" +
          std::string(13, ' ') + "\r\n" + std::string(13, ' ') + "\r\n,0,0,0,3,13)"}},
        {122, {"showResult(1,1,5,31000,0,0,0,0)"}},
        {132, {"showResult(1,1,5,31000,0,0,0,0)", "setDisplayState(0,-1)"}},
        {200, {"showResult(1,1,5,31000,0,0,0,0)", "setDisplayState(0,0)"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        startOver();
        board.type = 0;
        t = 1700000000000ull;
        lap->lapStart(5);
        lap->processHitStartFinish(1, 6, t, 0, -1);
        lap->processHitStartFinish(kNodeStart, 0, t + 1000, 0, -1);
        board.type = row.type;
        board.calls.clear();
        lap->processHitStartFinish(kNodeFinish, 0, t + 31000, 0, -1);
        EXPECT_EQ(board.calls, row.calls);
    }
}

// Long random events in each mode, hits in slices with edits between them: what the
// intake keeps of the end of the list (the course group, the finish queue, the file's
// saved length) must give exactly what walking the whole list gives, and lap_single.txt
// must always hold the list as it stands.
TEST_F(LapIntake, KeptEndOfTheListMatchesAWholeWalk) {
    struct Step {
        std::string file;
        std::vector<uint32_t> courseQueue;
        std::vector<uint32_t> finishQueue;
        int onLane;
    };
    auto runEvent = [&](int mode, unsigned seed, bool forgetEachHit) {
        startOver();
        std::filesystem::remove(temp / "lap_single.txt");
        host.mode = mode;
        t = 1700000000000ull;
        uint32_t rng = seed;
        auto next = [&](uint32_t n) {
            rng = rng * 1664525u + 1013904223u;
            return (rng >> 8) % n;
        };
        auto hit = [&](int node, int sig, uint64_t at, int racer, int cls) {
            if (mode == 1)
                lap->processHitLapSingle(node, sig, at, racer, cls);
            else if (mode == 4)
                lap->processHitStartFinish(node, sig, at, racer, cls);
            else
                lap->processHitGymkhana(node, sig, at, racer, cls);
        };
        // Edits mostly touch the newest events, where the intake keeps its state.
        auto recent = [&] { return count() - 1 - static_cast<int>(next(static_cast<uint32_t>(std::min(count(), 8)))); };
        std::vector<Step> steps;
        for (int slice = 0; slice < 120; ++slice) {
            {
                HitBatch batch(intake);
                const int hits = 1 + static_cast<int>(next(4));
                for (int h = 0; h < hits; ++h) {
                    if (forgetEachHit) lap->forgetLapTail();
                    const uint32_t r = next(100);
                    const int racer = static_cast<int>(next(6)) + 1;
                    const uint64_t at = r < 5 ? t - next(40000) : (t += 500 + next(20000)); // some out of order
                    if (r < 15) {
                        lap->lapNext(racer);
                        hit(mode == 4 ? kNodeStart : 1, 0, at, 0, -1);
                    } else if (r < 20) {
                        hit(1, 6, at, 0, -1); // start signal
                    } else if (r < 60) {
                        hit(mode == 4 ? kNodeFinish : 1, 0, at, 0, -1); // untagged lap
                    } else {
                        hit(mode == 4 ? kNodeFinish : 1, 0, at, racer, racer % 3);
                    }
                }
            }
            // Now and then an edit between slices.
            const uint32_t e = next(100);
            if (forgetEachHit) lap->forgetLapTail();
            if (e < 4 && (!lap->courseQueue().empty() || !lap->finishQueue().empty()))
                lap->retireRacer(0);
            else if (e < 8 && count() > 2)
                lap->togglePenaltyLap(recent());
            else if (e < 12 && count() > 2)
                lap->setRaceItemRacer(recent(), static_cast<int>(next(6)) + 1, -1);
            else if (e < 16 && count() > 2) {
                const uint32_t kinds[] = {K::FRST, K::LAP, K::FAIL, K::PLAP};
                lap->setRaceItemKind(recent(), kinds[next(4)]);
            }
            std::string onDisk;
            EXPECT_TRUE(readFile(temp / "lap_single.txt", onDisk).ok());
            const std::string text = lap->raceItems() ? lapFileText(*lap->raceItems()) : std::string();
            EXPECT_EQ(onDisk, text) << "mode " << mode << " slice " << slice;
            steps.push_back({text, queueRacers(lap->courseQueue()), queueRacers(lap->finishQueue()), lap->cntOnLane()});
        }
        return steps;
    };
    for (int mode : {1, 4, 6}) {
        for (unsigned seed : {1u, 7u, 42u}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " seed " + std::to_string(seed));
            const std::vector<Step> kept = runEvent(mode, seed, false);
            const std::vector<Step> walked = runEvent(mode, seed, true);
            ASSERT_EQ(kept.size(), walked.size());
            for (size_t i = 0; i < kept.size(); ++i) {
                ASSERT_EQ(kept[i].file, walked[i].file) << "slice " << i;
                ASSERT_EQ(kept[i].courseQueue, walked[i].courseQueue) << "slice " << i;
                ASSERT_EQ(kept[i].finishQueue, walked[i].finishQueue) << "slice " << i;
                ASSERT_EQ(kept[i].onLane, walked[i].onLane) << "slice " << i;
            }
        }
    }
}

} // namespace
} // namespace velmaro::test
