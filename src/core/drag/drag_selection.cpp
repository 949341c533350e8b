#include "core/drag/drag_selection.h"

#include <algorithm>

#include "core/drag/drag_host.h"

namespace velmaro {

int32_t gSelectedRun = -1;
int32_t gSelectedLane = -1;
int32_t gSelectedHit = -1;

void clearRunSelection()
{
    gSelectedRun = -1;
    gSelectedLane = -1;
    gSelectedHit = -1;
}

int32_t runIndexOfRow(int32_t row)
{
    const auto holds = [row](const TDragRaceItem& run) {
        return run.gridRow <= row && static_cast<int64_t>(row) < static_cast<int64_t>(run.gridRow) + run.gridRows;
    };
    // The blocks follow the list order (relayoutRuns, addRunGridRows and the hit path keep
    // them so), so the block is found by a binary search on gridRow: the grid asks this for
    // every cell it paints. A row the search does not place (a list not laid out) is walked.
    auto it = std::partition_point(gDragRuns.begin(), gDragRuns.end(),
                                   [row](const TDragRaceItem& run) { return run.gridRow <= row; });
    if (it != gDragRuns.begin() && holds(*(it - 1))) {
        --it;
        while (it != gDragRuns.begin() && holds(*(it - 1)))
            --it;  // the first run holding the row, as the walk finds it
        return static_cast<int32_t>(it - gDragRuns.begin());
    }
    for (size_t i = 0; i < gDragRuns.size(); ++i)
        if (holds(gDragRuns[i]))
            return static_cast<int32_t>(i);
    return -1;
}

int32_t runIndexById(int32_t runId)
{
    for (size_t i = 0; i < gDragRuns.size(); ++i)
        if (gDragRuns[i].runId == runId)
            return static_cast<int32_t>(i);
    return -1;
}

void selectGridCell(int column, int row, const TDragRaceItem& run)
{
    if (run.runId != 0) {
        gSelectedRun = runIndexById(run.runId);
        gSelectedLane = SELECTED_LANE_WHOLE_RUN;
        gSelectedHit = -1;
        return;
    }
    if (column == -1)
        clearRunSelection();
    const int32_t index = runIndexOfRow(row);
    if (index < 0)
        return;
    const TDragRaceItem& found = gDragRuns[static_cast<size_t>(index)];
    gSelectedRun = index;
    gSelectedLane = -1;
    gSelectedHit = -1;
    const int32_t relative = row - found.gridRow;
    if (relative == 0) {
        if (column == 0)
            gSelectedLane = LANE_LEFT;
        else if (column == 1 || column == 2)
            gSelectedLane = SELECTED_LANE_WHOLE_RUN;
        else if (column == 3)
            gSelectedLane = LANE_RIGHT;
    } else if (relative == 1) {
        gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    } else {
        const size_t k = static_cast<size_t>(relative - 2);
        if (column == 0 && k < found.hits[LANE_LEFT].size()) {
            gSelectedLane = LANE_LEFT;
            gSelectedHit = static_cast<int32_t>(k);
        } else if (column == 3 && k < found.hits[LANE_RIGHT].size()) {
            gSelectedLane = LANE_RIGHT;
            gSelectedHit = static_cast<int32_t>(k);
        }
    }
}

void selectRunById(const TDragRaceItem& run)
{
    if (run.runId == 0) {
        gSelectedRun = -1;
        return;
    }
    const int32_t index = runIndexById(run.runId);
    if (index < 0)
        return;
    gSelectedRun = index;
    gSelectedLane = -1;
    gSelectedHit = -1;
}

std::optional<GridTarget> selectionTarget()
{
    if (!isValidRunIndex(gSelectedRun))
        return std::nullopt;
    const TDragRaceItem& run = gDragRuns[static_cast<size_t>(gSelectedRun)];
    GridTarget target;
    target.runId = run.runId;
    target.runIndex = gSelectedRun;
    target.lane = gSelectedLane;
    if ((gSelectedLane == LANE_LEFT || gSelectedLane == LANE_RIGHT) && gSelectedHit >= 0 &&
        static_cast<size_t>(gSelectedHit) < run.hits[static_cast<size_t>(gSelectedLane)].size())
        target.hit = run.hits[static_cast<size_t>(gSelectedLane)][static_cast<size_t>(gSelectedHit)];
    return target;
}

int32_t findTargetRun(const GridTarget& target)
{
    if (target.runId == 0)
        return isValidRunIndex(target.runIndex) && gDragRuns[static_cast<size_t>(target.runIndex)].runId == 0
                   ? target.runIndex
                   : -1;
    return runIndexById(target.runId);
}

int32_t findTargetHit(const GridTarget& target, const TDragRaceItem& run)
{
    if (!target.hit || (target.lane != LANE_LEFT && target.lane != LANE_RIGHT))
        return -1;
    const auto& hits = run.hits[static_cast<size_t>(target.lane)];
    for (size_t k = 0; k < hits.size(); ++k)
        if (hits[k].time == target.hit->time && hits[k].type == target.hit->type)
            return static_cast<int32_t>(k);
    return -1;
}

uint64_t getSelectedHitTime()
{
    if (!isValidRunIndex(gSelectedRun))
        return 0;
    const TDragRaceItem& run = gDragRuns[static_cast<size_t>(gSelectedRun)];
    if (gSelectedLane == SELECTED_LANE_WHOLE_RUN)
        return run.startTime;
    if ((gSelectedLane == LANE_LEFT || gSelectedLane == LANE_RIGHT) && gSelectedHit >= 0 &&
        static_cast<size_t>(gSelectedHit) < run.hits[gSelectedLane].size())
        return run.hits[gSelectedLane][static_cast<size_t>(gSelectedHit)].time;
    return 0;
}

void addRunGridRows(TDragRaceItem& run)
{
    DragHost& host = dragHost();
    const int rows = host.gridRowCount();
    if (rows >= 2) {
        run.gridRow = rows;
        host.setGridRowCount(rows + 2);
    } else {
        run.gridRow = 0;
        host.setGridRowCount(2);
    }
    run.gridRows = 2;
    host.gridCursorToLastRow();
    host.repaintGrid();
}

} // namespace velmaro
