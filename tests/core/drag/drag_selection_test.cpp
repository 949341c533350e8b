// The run grid's selection: by cell, by run, and the rows of a new run.
#include "drag_fakes.h"

namespace velmaro::test {
namespace {

class SelectionTest : public DragTest {
protected:
    void SetUp() override {
        DragTest::SetUp();
        // Run 0: rows 0..3 (two left hits, one right); run 1: rows 4..5.
        TDragRaceItem a;
        a.runId = 3;
        a.startTime = 500;
        a.hits[0] = {hitAt(HIT_TYPE_RT, 600), hitAt(HIT_TYPE_ET, 9600)};
        a.hits[1] = {hitAt(HIT_TYPE_RT, 650)};
        a.gridRow = 0;
        a.gridRows = 4;
        TDragRaceItem b;
        b.runId = 8;
        b.gridRow = 4;
        b.gridRows = 2;
        runs.dragRuns() = {a, b};
    }
};

TEST_F(SelectionTest, ByCell) {
    struct Row {
        const char* name;
        int column, row;
        int32_t run, lane, hit;
    };
    const Row rows[] = {
        {"racer row, left", 0, 0, 0, 0, -1},
        {"racer row, middle", 2, 0, 0, 2, -1},
        {"racer row, right", 3, 0, 0, 1, -1},
        {"start row", 3, 1, 0, 2, -1},
        {"left hit", 0, 3, 0, 0, 1},
        {"right hit", 3, 2, 0, 1, 0},
        {"right cell without hit", 3, 3, 0, -1, -1},
        {"hit name column", 1, 2, 0, -1, -1},
        {"second run", 0, 4, 1, 0, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        runs.clearRunSelection();
        runs.selectGridCell(r.column, r.row, TDragRaceItem{});
        EXPECT_EQ(runs.selectedRun(), r.run);
        EXPECT_EQ(runs.selectedLane(), r.lane);
        EXPECT_EQ(runs.selectedHit(), r.hit);
    }
    runs.selectGridCell(0, 3, TDragRaceItem{});
    runs.selectGridCell(0, 40, TDragRaceItem{}); // below the last run: unchanged
    EXPECT_EQ(runs.selectedHit(), 1);
    runs.selectGridCell(-1, 40, TDragRaceItem{}); // column -1 clears first
    EXPECT_EQ(runs.selectedRun(), -1);
    EXPECT_EQ(runs.selectedLane(), -1);
}

TEST_F(SelectionTest, ByRun) {
    TDragRaceItem key;
    key.runId = 8;
    runs.selectGridCell(0, 0, key);
    EXPECT_EQ(runs.selectedRun(), 1);
    EXPECT_EQ(runs.selectedLane(), 2);
    key.runId = 99;
    runs.selectGridCell(0, 0, key);
    EXPECT_EQ(runs.selectedRun(), -1);
    EXPECT_EQ(runs.selectedLane(), 2);

    runs.selectedLane() = 0;
    key.runId = 3;
    runs.selectRunById(key);
    EXPECT_EQ(runs.selectedRun(), 0);
    EXPECT_EQ(runs.selectedLane(), -1);
    runs.selectedLane() = 1;
    key.runId = 99;
    runs.selectRunById(key); // unknown id: unchanged
    EXPECT_EQ(runs.selectedRun(), 0);
    EXPECT_EQ(runs.selectedLane(), 1);
    key.runId = 0;
    runs.selectRunById(key);
    EXPECT_EQ(runs.selectedRun(), -1);
}

TEST_F(SelectionTest, SelectedHitTime) {
    EXPECT_EQ(runs.getSelectedHitTime(), 0u);
    runs.selectGridCell(3, 1, TDragRaceItem{});
    EXPECT_EQ(runs.getSelectedHitTime(), 500u);
    runs.selectGridCell(0, 3, TDragRaceItem{});
    EXPECT_EQ(runs.getSelectedHitTime(), 9600u);
    runs.selectedHit() = 7; // stale
    EXPECT_EQ(runs.getSelectedHitTime(), 0u);
}

TEST_F(SelectionTest, NewRunRows) {
    host.rows = 1; // the grid's single empty row
    TDragRaceItem first;
    runs.addRunGridRows(first);
    EXPECT_EQ(first.gridRow, 0);
    EXPECT_EQ(host.rows, 2);
    host.rows = 7;
    TDragRaceItem next;
    runs.addRunGridRows(next);
    EXPECT_EQ(next.gridRow, 7);
    EXPECT_EQ(next.gridRows, 2);
    EXPECT_EQ(host.rows, 9);
    EXPECT_EQ(host.cursorMoves, 2);
}

} // namespace
} // namespace velmaro::test
