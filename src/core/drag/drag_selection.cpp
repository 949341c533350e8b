#include "core/drag/drag_selection.h"

#include <algorithm>

#include "core/drag/drag_host.h"
#include "core/drag/drag_runs.h"

namespace velmaro {

void DragRuns::clearRunSelection() {
    selectedRun_ = -1;
    selectedLane_ = -1;
    selectedHit_ = -1;
}

int32_t DragRuns::runIndexOfRow(int32_t row) const {
    const auto holds = [row](const TDragRaceItem& run) {
        return run.gridRow <= row && static_cast<int64_t>(row) < static_cast<int64_t>(run.gridRow) + run.gridRows;
    };
    // The blocks follow the list order (relayoutRuns, addRunGridRows and the hit path keep
    // them so), so the block is found by a binary search on gridRow: the grid asks this for
    // every cell it paints. A row the search does not place (a list not laid out) is walked.
    auto it = std::partition_point(runs_.begin(), runs_.end(),
                                   [row](const TDragRaceItem& run) { return run.gridRow <= row; });
    if (it != runs_.begin() && holds(*(it - 1))) {
        --it;
        while (it != runs_.begin() && holds(*(it - 1))) --it; // the first run holding the row, as the walk finds it
        return static_cast<int32_t>(it - runs_.begin());
    }
    for (size_t i = 0; i < runs_.size(); ++i)
        if (holds(runs_[i])) return static_cast<int32_t>(i);
    return -1;
}

int32_t DragRuns::runIndexById(int32_t runId) const {
    for (size_t i = 0; i < runs_.size(); ++i)
        if (runs_[i].runId == runId) return static_cast<int32_t>(i);
    return -1;
}

void DragRuns::selectGridCell(int column, int row, const TDragRaceItem& run) {
    if (run.runId != 0) {
        selectedRun_ = runIndexById(run.runId);
        selectedLane_ = SELECTED_LANE_WHOLE_RUN;
        selectedHit_ = -1;
        return;
    }
    if (column == -1) clearRunSelection();
    const int32_t index = runIndexOfRow(row);
    if (index < 0) return;
    const TDragRaceItem& found = runs_[static_cast<size_t>(index)];
    selectedRun_ = index;
    selectedLane_ = -1;
    selectedHit_ = -1;
    const int32_t relative = row - found.gridRow;
    if (relative == 0) {
        if (column == 0)
            selectedLane_ = LANE_LEFT;
        else if (column == 1 || column == 2)
            selectedLane_ = SELECTED_LANE_WHOLE_RUN;
        else if (column == 3)
            selectedLane_ = LANE_RIGHT;
    } else if (relative == 1) {
        selectedLane_ = SELECTED_LANE_WHOLE_RUN;
    } else {
        const size_t k = static_cast<size_t>(relative - 2);
        if (column == 0 && k < found.hits[LANE_LEFT].size()) {
            selectedLane_ = LANE_LEFT;
            selectedHit_ = static_cast<int32_t>(k);
        } else if (column == 3 && k < found.hits[LANE_RIGHT].size()) {
            selectedLane_ = LANE_RIGHT;
            selectedHit_ = static_cast<int32_t>(k);
        }
    }
}

void DragRuns::selectRunById(const TDragRaceItem& run) {
    if (run.runId == 0) {
        selectedRun_ = -1;
        return;
    }
    const int32_t index = runIndexById(run.runId);
    if (index < 0) return;
    selectedRun_ = index;
    selectedLane_ = -1;
    selectedHit_ = -1;
}

std::optional<GridTarget> DragRuns::selectionTarget() const {
    if (!isValidRunIndex(selectedRun_)) return std::nullopt;
    const TDragRaceItem& run = runs_[static_cast<size_t>(selectedRun_)];
    GridTarget target;
    target.runId = run.runId;
    target.runIndex = selectedRun_;
    target.lane = selectedLane_;
    if ((selectedLane_ == LANE_LEFT || selectedLane_ == LANE_RIGHT) && selectedHit_ >= 0 &&
        static_cast<size_t>(selectedHit_) < run.hits[static_cast<size_t>(selectedLane_)].size())
        target.hit = run.hits[static_cast<size_t>(selectedLane_)][static_cast<size_t>(selectedHit_)];
    return target;
}

int32_t DragRuns::findTargetRun(const GridTarget& target) const {
    if (target.runId == 0)
        return isValidRunIndex(target.runIndex) && runs_[static_cast<size_t>(target.runIndex)].runId == 0
                   ? target.runIndex
                   : -1;
    return runIndexById(target.runId);
}

int32_t findTargetHit(const GridTarget& target, const TDragRaceItem& run) {
    if (!target.hit || (target.lane != LANE_LEFT && target.lane != LANE_RIGHT)) return -1;
    const auto& hits = run.hits[static_cast<size_t>(target.lane)];
    for (size_t k = 0; k < hits.size(); ++k)
        if (hits[k].time == target.hit->time && hits[k].type == target.hit->type) return static_cast<int32_t>(k);
    return -1;
}

uint64_t DragRuns::getSelectedHitTime() const {
    if (!isValidRunIndex(selectedRun_)) return 0;
    const TDragRaceItem& run = runs_[static_cast<size_t>(selectedRun_)];
    if (selectedLane_ == SELECTED_LANE_WHOLE_RUN) return run.startTime;
    if ((selectedLane_ == LANE_LEFT || selectedLane_ == LANE_RIGHT) && selectedHit_ >= 0 &&
        static_cast<size_t>(selectedHit_) < run.hits[selectedLane_].size())
        return run.hits[selectedLane_][static_cast<size_t>(selectedHit_)].time;
    return 0;
}

void DragRuns::addRunGridRows(TDragRaceItem& run) {
    DragHost& host = host_;
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
