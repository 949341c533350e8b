// The lap event list: recalculation, duplicate and time-window rules, grid cell texts,
// and lap_single.txt.
#include "lap_fixture.h"

#include "core/platform/files.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

class LapEvents : public LapTest {};

struct RecalcCase {
    const char* name;
    std::vector<EventRow> events;
    std::vector<std::pair<int32_t, int32_t>> expected; // (lap, fromStart) per event
};

TEST_F(LapEvents, Recalculation_Table) {
    const uint64_t wrap = 1ull << 32;
    const std::vector<RecalcCase> cases = {
        {"STSIG + STLIN + LAP: lap from the line, fromStart from the signal",
         {{5, K::STSIG, 1000}, {5, K::STLIN, 1500}, {5, K::LAP, 61500}, {5, K::LAP, 121000}},
         {{0, 0}, {0, 500}, {60000, 60500}, {59500, 0}}},
        {"FRST + LAP: no start signal, no fromStart", {{5, K::FRST, 1000}, {5, K::LAP, 31000}}, {{0, 0}, {30000, 0}}},
        {"PLAP inside a lap: the next LAP is timed from the lap before the PLAP",
         {{5, K::FRST, 0}, {5, K::LAP, 30000}, {5, K::PLAP, 40000}, {5, K::LAP, 65000}},
         {{0, 0}, {30000, 0}, {10000, 0}, {35000, 0}}},
        {"one racer in two classes is two racers",
         {{5, K::FRST, 0, 1}, {5, K::FRST, 100, 2}, {5, K::LAP, 30000, 1}, {5, K::LAP, 30500, 2}},
         {{0, 0}, {0, 0}, {30000, 0}, {30400, 0}}},
        {"alternating racers: each timed from his own boundary",
         {{7, K::FRST, 0}, {8, K::FRST, 1000}, {7, K::LAP, 30000}, {8, K::LAP, 32000}, {7, K::LAP, 61000}},
         {{0, 0}, {0, 0}, {30000, 0}, {31000, 0}, {31000, 0}}},
        {"penalties enter lap and fromStart",
         {{5, K::STSIG, 0, -1}, {5, K::STLIN, 0, -1}, {5, K::LAP, 61000, -1, 5000}},
         {{0, 0}, {0, 0}, {66000, 66000}}},
        {"a lap across the 32-bit wrap of the node clock",
         {{5, K::FRST, wrap - 1000}, {5, K::LAP, wrap + 29000}},
         {{0, 0}, {30000, 0}}},
        {"a LAP with only a STSIG before it has no boundary", {{5, K::STSIG, 0}, {5, K::LAP, 30000}}, {{0, 0}, {0, 0}}},
        {"a start-line crossing before the signal has a negative fromStart",
         {{5, K::STLIN, 1000}, {5, K::STSIG, 1200}},
         {{0, -200}, {0, 0}}},
    };
    for (const RecalcCase& c : cases) {
        SCOPED_TRACE(c.name);
        setEvents(c.events);
        ASSERT_EQ(count(), static_cast<int>(c.expected.size()));
        for (int i = 0; i < count(); ++i) {
            EXPECT_EQ(item(i).lap, c.expected[static_cast<size_t>(i)].first) << "event " << i;
            EXPECT_EQ(item(i).fromStart, c.expected[static_cast<size_t>(i)].second) << "event " << i;
        }
    }
}

TEST_F(LapEvents, CurrentMarking_MovesClassesOfRacersOnCourse) {
    registry.addClass(1, "A");
    registry.addClass(2, "B");
    lap->cntOnLane() = 1;
    setEvents({{7, K::FRST, 0, 1}, {8, K::FRST, 100, 2}, {7, K::LAP, 30000, 1}, {8, K::LAP, 31000, 2}});
    EXPECT_EQ(item(3).current, 1);
    EXPECT_EQ(item(2).current, 0); // only one racer counted on course
    EXPECT_EQ(registry.classList[0].id, 2);
    EXPECT_EQ(registry.classList[1].id, 1);
}

TEST_F(LapEvents, DuplicateRules) {
    setEvents({{5, K::LAP, 1000}, {6, K::STSIG, 2000}});
    EXPECT_TRUE(lap->isDuplicateRaceItem(K::LAP, 1000));
    EXPECT_FALSE(lap->isDuplicateRaceItem(K::STSIG, 1000)); // a signal may share a lap's time
    EXPECT_TRUE(lap->isDuplicateRaceItem(K::STSIG, 2000));
    EXPECT_TRUE(lap->isDuplicateRaceItem(K::FRST, 2000));
    EXPECT_FALSE(lap->isDuplicateRaceItem(K::LAP, 1001));
}

TEST_F(LapEvents, TimeWindowIsStrict) {
    setEvents({{0, K::STSIG, 100000}, {0, K::LAP, 200000}});
    EXPECT_TRUE(lap->hasKindWithin(K::STSIG, 104999, 5000));
    EXPECT_FALSE(lap->hasKindWithin(K::STSIG, 105000, 5000));
    EXPECT_TRUE(lap->hasKindWithin(K::STSIG, 95001, 5000));
    EXPECT_FALSE(lap->hasKindWithin(K::STSIG, 95000, 5000));
    EXPECT_FALSE(lap->hasKindWithin(K::FRST, 100000, 5000));
}

TEST_F(LapEvents, GridCellTexts) {
    registry.addClass(3, "Open");
    registry.addRacer(12, "Иванов", {3});
    // 1700000000123 ms = 22:13:20.123 UTC
    setEvents({{12, K::FRST, 1700000000123ull - 61000, 3},
               {12, K::LAP, 1700000000123ull, 3, 5000},
               {99, 77, 1700000001000ull, 9, 1500}});
    EXPECT_EQ(lap->raceItemCellText(1, 0), "12  Иванов");
    EXPECT_EQ(lap->raceItemCellText(1, 1), "LAP");
    EXPECT_EQ(lap->raceItemCellText(1, 2), "22:13:20.123");
    EXPECT_EQ(lap->raceItemCellText(1, 3), "1:01.000"); // the penalty taken off again
    EXPECT_EQ(lap->raceItemCellText(1, 4), "-");
    EXPECT_EQ(lap->raceItemCellText(1, 5), "Open");
    EXPECT_EQ(lap->raceItemCellText(1, 6), "5.00");
    EXPECT_EQ(lap->raceItemCellText(2, 0), "99");
    EXPECT_EQ(lap->raceItemCellText(2, 1), "UNKWN");
    EXPECT_EQ(lap->raceItemCellText(2, 5), "9");
    EXPECT_EQ(lap->raceItemCellText(2, 6), "1.50");
    EXPECT_EQ(lap->raceItemCellText(3, 0), "");
    EXPECT_EQ(lap->raceItemCellText(-1, 0), "");
    setEvents({{5, K::STLIN, 1000}, {5, K::STSIG, 1200}});
    EXPECT_EQ(lap->raceItemCellText(0, 4), "-0:00.200"); // a crossing before the signal
    EXPECT_EQ(lap->raceItemCellText(0, 3), "-");
}

TEST_F(LapEvents, File_RoundTrip) {
    setEvents({{12, K::FRST, 1700000000000ull, 3},
               {12, K::LAP, 1700000030000ull, 3, 1500},
               {0, K::STSIG, 1700000031000ull},
               {7, 42, 1700000032000ull, -1, -250}});
    ASSERT_TRUE(lap->saveLapSingle().ok());
    std::string text = temp.read("lap_single.txt");
    EXPECT_EQ(text, "12,3,1700000000000,0,0,3,0\n"
                    "12,0,1700000030000,31500,0,3,1500\n"
                    "0,1,1700000031000,0,0,-1,0\n"
                    "7,42,1700000032000,0,0,-1,-250\n");
    lap->rebuildCourseQueue();
    lap->recalcRaceItems(*lap->raceItems());
    std::vector<TRaceItem> before;
    for (const auto& e : *lap->raceItems()) before.push_back(*e);
    lap->loadLapSingle();
    ASSERT_EQ(count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(item(i), before[static_cast<size_t>(i)]);
    EXPECT_EQ(host.rowCount, 5);
}

TEST_F(LapEvents, File_BadLinesAreSkipped) {
    temp.write("lap_single.txt",
               "12,0,1000,999,999,3,0\r\n" // lap and fromStart come from the recalculation
               "12,0,2000,0,0,3\n"         // six fields
               "abc\n"
               "-5,0,3000,0,0,3,0\n"                   // negative racer
               "5,0,99999999999999999999999,0,0,3,0\n" // time out of range
               "5,0,4000,0,0,3000000000,0\n"           // class id out of range
               "5,0,5000,0,0,3,1x\n"                   // trailing garbage
               "\n"
               "12,3,500,4294967295,0,3,0\n" // a negative lap as written by %u
               "12,0,6000,0,0,3,0");         // last line without line end
    lap->loadLapSingle();
    ASSERT_EQ(count(), 3);
    EXPECT_EQ(item(0).time, 500u); // put in time order
    EXPECT_EQ(item(0).kind, K::FRST);
    EXPECT_EQ(item(1).lap, 500);
    EXPECT_EQ(item(1).classId, 3);
    EXPECT_EQ(item(2).time, 6000u);
    EXPECT_EQ(item(2).lap, 5000);
}

TEST_F(LapEvents, File_MissingGivesEmptyList) {
    setEvents({{5, K::LAP, 1000}});
    lap->loadLapSingle();
    ASSERT_TRUE(lap->raceItems());
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(host.rowCount, 1);
}

} // namespace
} // namespace velmaro::test
