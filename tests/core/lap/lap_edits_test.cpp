// The operator's edits of lap events.
#include "lap_fixture.h"

#include "core/platform/files.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

class LapEdits : public LapTest {
protected:
    void tenLaps() {
        std::vector<EventRow> rows;
        for (uint32_t i = 0; i < 10; ++i) rows.push_back({i + 1, K::LAP, 1000u * (i + 1)});
        setEvents(rows);
        ASSERT_TRUE(lap->saveLapSingle().ok());
    }
    std::vector<std::filesystem::path> historyCopies() const {
        std::vector<std::filesystem::path> v;
        for (const auto& f : std::filesystem::directory_iterator(temp.path())) {
            std::string n = f.path().filename().string();
            if (n.rfind("lap_single_", 0) == 0 && n != "lap_single_undelete.txt") v.push_back(f.path());
        }
        return v;
    }
    static size_t lineCount(const std::string& text) {
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(LapEdits, DeleteRange_KeepsBackups) {
    tenLaps();
    lap->deleteRaceItems(3, 5);
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{1, 2, 6, 7, 8, 9, 10}));
    EXPECT_EQ(host.rowCount, 8);
    EXPECT_EQ(lineCount(temp.read("lap_single.txt")), 7u);
    EXPECT_EQ(lineCount(temp.read("lap_single_undelete.txt")), 10u);
    auto copies = historyCopies();
    ASSERT_EQ(copies.size(), 1u);
    std::string history;
    ASSERT_TRUE(readFile(copies[0], history).ok());
    EXPECT_EQ(lineCount(history), 10u);
}

TEST_F(LapEdits, DeleteAllAndUndo) {
    tenLaps();
    lap->deleteRaceItems(-1, -1);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(host.rowCount, 1);
    EXPECT_EQ(temp.read("lap_single.txt"), "");
    lap->undeleteRaceItems();
    EXPECT_EQ(racersOf(K::LAP), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // Two history copies in the same second both survive (the deletion's and the undo's).
    EXPECT_EQ(historyCopies().size(), 2u);
    lap->undeleteRaceItems(); // a second undo brings back the same state
    EXPECT_EQ(count(), 10);
}

TEST_F(LapEdits, DeleteStopsWhenTheBackupFails) {
    tenLaps();
    std::filesystem::create_directories(temp / "lap_single_undelete.txt" / "blocked");
    lap->deleteRaceItems(1, 2);
    EXPECT_EQ(count(), 10);
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_NE(op.shown[0].find("резервную копию"), std::string::npos);
}

TEST_F(LapEdits, DeleteIgnoresRowsOutsideTheList) {
    tenLaps();
    lap->deleteRaceItems(0, 2);
    lap->deleteRaceItems(9, 11);
    lap->deleteRaceItems(5, 4);
    EXPECT_EQ(count(), 10);
}

TEST_F(LapEdits, SetRacer_OnStartSignalMakesTheNextCrossingAStartLine) {
    registry.addClass(4, "D");
    registry.addRacer(12, "Кузнецов", {4});
    setEvents({{0, K::STSIG, 1000}, {0, K::FRST, 1500}, {0, K::LAP, 31500}});
    lap->setRaceItemRacer(0, 12, -2);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"STSIG", "STLIN", "LAP"}));
    EXPECT_EQ(item(1).racer, 12u);
    EXPECT_EQ(item(1).classId, 4);
    EXPECT_TRUE(op.shown.empty()); // one class: no question
}

TEST_F(LapEdits, SetRacer_ClassPicker) {
    registry.addClass(1, "A");
    registry.addClass(2, "B (2WD)");
    registry.addClass(3, "C");
    registry.addRacer(12, "Кузнецов", {3, 2, 1});
    setEvents({{0, K::LAP, 1000}, {0, K::LAP, 2000}, {0, K::LAP, 3000}});
    op.picks = {1};
    lap->setRaceItemRacer(0, 12, -2);
    EXPECT_EQ(item(0).classId, 2); // a name with "(" still gives its class
    EXPECT_EQ(op.shown, std::vector<std::string>{"Класс участника"});
    lap->setRaceItemRacer(1, 12, -2); // closed without a choice: the first item stays selected
    EXPECT_EQ(item(1).classId, 3);
    lap->setRaceItemRacer(2, 77, -2); // nobody has the number
    EXPECT_EQ(item(2).classId, -1);
    EXPECT_EQ(temp.read("lap_single.txt").find(",-2,"), std::string::npos);
}

TEST_F(LapEdits, PenaltyKindAndPenaltyLap) {
    setEvents({{5, K::FRST, 0}, {5, K::LAP, 30000}, {5, K::LAP, 60000}});
    lap->setRaceItemPenalty(1, 2500);
    EXPECT_EQ(item(1).lap, 32500);
    EXPECT_NE(temp.read("lap_single.txt").find("5,0,30000,32500,0,-1,2500"), std::string::npos);

    lap->setRaceItemKind(0, K::STSIG);
    EXPECT_EQ(item(1).lap, 0); // no boundary any more
    lap->setRaceItemKind(0, K::FRST);

    lap->togglePenaltyLap(1);
    EXPECT_EQ(raceKindName(item(1).kind), "PLAP");
    EXPECT_EQ(item(2).lap, 60000); // timed across the penalty lap
    lap->togglePenaltyLap(1);
    EXPECT_EQ(raceKindName(item(1).kind), "LAP");
    setEvents({{5, K::STSIG, 0}});
    lap->togglePenaltyLap(0);
    lap->togglePenaltyLap(0);
    EXPECT_EQ(raceKindName(item(0).kind), "LAP");
}

TEST_F(LapEdits, Retire_Mode1) {
    registry.addRacer(8, "Орлов", {});
    for (int n : {7, 8, 9}) {
        lap->lapNext(n);
        lap->processHitLapSingle(1, 0, 1000u * static_cast<uint64_t>(n), 0, -1);
    }
    op.picks = {1};
    lap->retireRacer(-1);
    EXPECT_EQ(kinds().back(), "FAIL");
    EXPECT_EQ(item(count() - 1).racer, 8u);
    EXPECT_EQ(item(count() - 1).time, 9001u);
    EXPECT_EQ(queueRacers(lap->courseQueue()), (std::vector<uint32_t>{9, 7}));
    EXPECT_EQ(host.rowCount, 5);
    lap->retireRacer(5); // beyond the list: nothing
    EXPECT_EQ(count(), 4);
}

TEST_F(LapEdits, Retire_DialogListAndCancel) {
    registry.addRacer(8, "Орлов", {});
    lap->lapNext(8);
    lap->processHitLapSingle(1, 0, 1000, 0, -1);
    lap->lapNext(9);
    lap->processHitLapSingle(1, 0, 2000, 0, -1);
    op.picks = {-1};
    lap->retireRacer(-1);
    EXPECT_EQ(count(), 2);
    host.mode = 6;
    lap->retireRacer(0); // gymkhana lists nobody
    EXPECT_EQ(count(), 2);
}

TEST_F(LapEdits, Retire_Mode4LeavesTheFinishQueue) {
    host.mode = 4;
    lap->lapNext(5);
    lap->processHitStartFinish(kNodeStart, 0, 1000, 0, -1);
    lap->lapNext(6);
    lap->processHitStartFinish(kNodeStart, 0, 2000, 0, -1);
    lap->retireRacer(0);
    EXPECT_EQ(queueRacers(lap->finishQueue()), std::vector<uint32_t>{6});
    EXPECT_EQ(host.onCourseCount, 1);
    lap->processHitStartFinish(kNodeFinish, 0, 9000, 0, -1);
    EXPECT_EQ(racersOf(K::LAP), std::vector<uint32_t>{6});
}

TEST_F(LapEdits, RefreshClasses) {
    registry.addRacer(1, "one class", {5});
    registry.addRacer(2, "no class", {});
    registry.addRacer(3, "two classes", {5, 6});
    registry.addRacer(4, "first of a number", {7});
    registry.addRacer(4, "last of a number", {8});
    setEvents({{1, K::LAP, 1, 9},
               {2, K::LAP, 2, 9},
               {3, K::LAP, 3, 9},
               {4, K::LAP, 4, 9},
               {77, K::LAP, 5, 9},
               {0, K::LAP, 6, 9}});
    lap->refreshRaceItemClasses();
    std::vector<int32_t> classes;
    for (int i = 0; i < count(); ++i) classes.push_back(item(i).classId);
    EXPECT_EQ(classes, (std::vector<int32_t>{5, -1, 9, 8, -1, -1}));
}

TEST_F(LapEdits, SplitByBestLap_Boundaries) {
    registry.addClass(1, "to 60 s", 0, 600);
    registry.addClass(2, "from 60 s", 600, 0);
    registry.addClass(3, "no window");
    registry.addRacer(1, "59.999", {3});
    registry.addRacer(2, "60.000", {3});
    registry.addRacer(3, "retired only", {3});
    registry.addRacer(4, "from start only", {3});
    setEvents({{1, K::FRST, 0, 3},
               {1, K::LAP, 59999, 3},
               {2, K::FRST, 100, 3},
               {2, K::LAP, 60100, 3},
               {3, K::FAIL, 70000, 3},
               {4, K::STSIG, 200, 3},
               {4, K::PLAP, 30200, 3}});
    lap->assignClassesByBestLap();
    EXPECT_EQ(registry.racerList[0].classIds, std::vector<int32_t>{1});
    EXPECT_EQ(registry.racerList[1].classIds, std::vector<int32_t>{2});
    EXPECT_EQ(registry.racerList[2].classIds, std::vector<int32_t>{3}); // no timed lap: untouched
    EXPECT_EQ(registry.racerList[3].classIds, std::vector<int32_t>{3});
    EXPECT_GE(registry.saves, 1);
}

} // namespace
} // namespace velmaro::test
