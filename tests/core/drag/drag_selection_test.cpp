// The run grid's selection: by cell, by run, and the rows of a new run.
#include "drag_fakes.h"

namespace velmaro::test {
namespace {

class SelectionTest : public DragTest {
protected:
    void SetUp() override
    {
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
        gDragRuns = {a, b};
    }
};

TEST_F(SelectionTest, ByCell)
{
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
        clearRunSelection();
        selectGridCell(r.column, r.row, TDragRaceItem{});
        EXPECT_EQ(gSelectedRun, r.run);
        EXPECT_EQ(gSelectedLane, r.lane);
        EXPECT_EQ(gSelectedHit, r.hit);
    }
    selectGridCell(0, 3, TDragRaceItem{});
    selectGridCell(0, 40, TDragRaceItem{});  // below the last run: unchanged
    EXPECT_EQ(gSelectedHit, 1);
    selectGridCell(-1, 40, TDragRaceItem{});  // column -1 clears first
    EXPECT_EQ(gSelectedRun, -1);
    EXPECT_EQ(gSelectedLane, -1);
}

TEST_F(SelectionTest, ByRun)
{
    TDragRaceItem key;
    key.runId = 8;
    selectGridCell(0, 0, key);
    EXPECT_EQ(gSelectedRun, 1);
    EXPECT_EQ(gSelectedLane, 2);
    key.runId = 99;
    selectGridCell(0, 0, key);
    EXPECT_EQ(gSelectedRun, -1);
    EXPECT_EQ(gSelectedLane, 2);

    gSelectedLane = 0;
    key.runId = 3;
    selectRunById(key);
    EXPECT_EQ(gSelectedRun, 0);
    EXPECT_EQ(gSelectedLane, -1);
    gSelectedLane = 1;
    key.runId = 99;
    selectRunById(key);  // unknown id: unchanged
    EXPECT_EQ(gSelectedRun, 0);
    EXPECT_EQ(gSelectedLane, 1);
    key.runId = 0;
    selectRunById(key);
    EXPECT_EQ(gSelectedRun, -1);
}

TEST_F(SelectionTest, SelectedHitTime)
{
    EXPECT_EQ(getSelectedHitTime(), 0u);
    selectGridCell(3, 1, TDragRaceItem{});
    EXPECT_EQ(getSelectedHitTime(), 500u);
    selectGridCell(0, 3, TDragRaceItem{});
    EXPECT_EQ(getSelectedHitTime(), 9600u);
    gSelectedHit = 7;  // stale
    EXPECT_EQ(getSelectedHitTime(), 0u);
}

TEST_F(SelectionTest, NewRunRows)
{
    host.rows = 1;  // the grid's single empty row
    TDragRaceItem first;
    addRunGridRows(first);
    EXPECT_EQ(first.gridRow, 0);
    EXPECT_EQ(host.rows, 2);
    host.rows = 7;
    TDragRaceItem next;
    addRunGridRows(next);
    EXPECT_EQ(next.gridRow, 7);
    EXPECT_EQ(next.gridRows, 2);
    EXPECT_EQ(host.rows, 9);
    EXPECT_EQ(host.cursorMoves, 2);
}

} // namespace
} // namespace velmaro::test
