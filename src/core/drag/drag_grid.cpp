#include "core/drag/drag_grid.h"

#include <algorithm>

#include "core/app/console.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_lookup.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

const std::string kTenSpaces(10, ' ');
const std::string kFiveSpaces(5, ' ');

const TLineHit* hitAt(const TDragRaceItem& run, int lane, int k) {
    const auto& hits = run.hits[static_cast<size_t>(lane)];
    if (k < 0 || static_cast<size_t>(k) >= hits.size()) return nullptr;
    return &hits[static_cast<size_t>(k)];
}

std::string startText(const TDragRaceItem& run) {
    return run.startTime == 0 ? std::string() : "START: " + formatClockTime(run.startTime);
}

} // namespace

// The run whose block holds the row, or null.
const TDragRaceItem* DragRuns::runOfRow(int row) const {
    const int32_t index = runIndexOfRow(row);
    return index < 0 ? nullptr : &runs_[static_cast<size_t>(index)];
}

// True when the run at `index` is the selected one and the cell of `kind` in hit row k
// (k -1 outside hit rows) is highlighted by the selection.
bool DragRuns::isSelected(size_t index, int32_t kind, int k) const {
    if (!isValidRunIndex(selectedRun_) || static_cast<size_t>(selectedRun_) != index) return false;
    const bool whole = selectedLane_ == SELECTED_LANE_WHOLE_RUN;
    switch (kind) {
    case GRID_CELL_LEFT_RACER: return (selectedLane_ == LANE_LEFT || whole) && selectedHit_ == -1;
    case GRID_CELL_RIGHT_RACER: return (selectedLane_ == LANE_RIGHT || whole) && selectedHit_ == -1;
    case GRID_CELL_LEFT_RESULT: return whole || (selectedLane_ == LANE_LEFT && selectedHit_ == k);
    case GRID_CELL_RIGHT_RESULT: return whole || (selectedLane_ == LANE_RIGHT && selectedHit_ == k);
    default: return whole;
    }
}

std::string laneResultText(const TLineHit& hit, const TDragRaceItem& run, int side) {
    const size_t lane = side == 0 ? 0 : 1;
    const bool left = lane == 0;
    std::string text;
    switch (hit.type) {
    case HIT_TYPE_RT: text = formatLaneTime(run.rt[lane]); break;
    case HIT_TYPE_60FEET: text = formatLaneTime(run.sixtyFeet[lane]); break;
    case HIT_TYPE_SPEED: text = formatSpeed(static_cast<float>(run.speed[lane])); break;
    case HIT_TYPE_ET: {
        const std::string e = formatLaneTime(run.et[lane]);
        const std::string d = formatLaneTime(run.dirtyTime[lane]);
        const std::string c = formatClockTime(hit.time);
        if (run.penalty[lane] == 0) {
            text = left ? e + kTenSpaces + c + "  (" + d + ")" : "(" + d + ")  " + c + kTenSpaces + e;
        } else {
            const std::string p = "(" + formatSignedTime(run.penalty[lane]) + ")";
            text = left ? e + p + "    " + c + "  (" + d + ")" : "(" + d + ")  " + c + kFiveSpaces + e + p;
        }
        if (run.breakout[lane] != 0) text = left ? text + " (BREAKOUT)" : "(BREAKOUT) " + text;
        break;
    }
    default: break;
    }
    if (run.foul[lane] != 0) text = left ? text + " (F)" : "(F) " + text;
    return text;
}

std::string laneRacerText(const TRegistry& registry, const TDragRaceItem& run, int lane) {
    const size_t l = lane == LANE_LEFT ? 0 : 1;
    const int32_t number = run.racer[l];
    if (number == 0) return {};
    const TRacerItem* racer = lookupRacer(registry, number);
    std::string text = std::to_string(number);
    if (racer == nullptr) return text;
    text += " - " + racer->name + ", " + racer->carModel + ", " + racer->city;
    if (racer->classIds.size() == 1) text += " (" + run.note[l] + ")";
    return text;
}

std::string leftRacerText(const TRegistry& registry, const TDragRaceItem& run) {
    return laneRacerText(registry, run, LANE_LEFT);
}
std::string rightRacerText(const TRegistry& registry, const TDragRaceItem& run) {
    return laneRacerText(registry, run, LANE_RIGHT);
}

std::string DragRuns::dragGridCellText(int column, int row) const {
    const TDragRaceItem* run = runOfRow(row);
    if (run == nullptr) return {};
    const int relative = row - run->gridRow;
    if (relative == 1) return startText(*run);
    if (column < 0 || column >= DRAG_GRID_COLUMNS) return {};
    if (relative == 0) {
        if (column == 0) return leftRacerText(host_.registry(), *run);
        if (column == 3) return rightRacerText(host_.registry(), *run);
        return "#" + std::to_string(run->runId);
    }
    const int k = relative - 2;
    const int lane = column < 2 ? LANE_LEFT : LANE_RIGHT;
    const TLineHit* hit = hitAt(*run, lane, k);
    if (hit == nullptr) return {};
    if (column == 1 || column == 2) return hitTypeName(hit->type);
    return laneResultText(*hit, *run, lane);
}

int32_t DragRuns::dragGridCellStyle(int column, int row) const {
    const int32_t index = runIndexOfRow(row);
    if (index < 0) return GRID_STYLE_NONE;
    const TDragRaceItem& run = runs_[static_cast<size_t>(index)];
    const int relative = row - run.gridRow;
    if (relative != 1 && (column < 0 || column >= DRAG_GRID_COLUMNS)) return GRID_STYLE_NONE;

    int32_t kind = GRID_CELL_START;
    if (relative == 0)
        kind = column == 0 ? GRID_CELL_LEFT_RACER : column == 3 ? GRID_CELL_RIGHT_RACER : GRID_CELL_RUN_NUMBER;
    else if (relative >= 2)
        kind = GRID_CELL_LEFT_RESULT + column;

    int32_t style = kind;
    if (run.runMode == RUN_MODE_FINAL) style |= GRID_FLAG_FINAL;
    if (run.runMode == RUN_MODE_PRACTICE) style |= GRID_FLAG_PRACTICE;
    if (kind == GRID_CELL_LEFT_RACER) {
        if (run.winner == LANE_LEFT) style |= GRID_FLAG_WINNER;
        if (run.foul[LANE_LEFT] != 0 || run.winner == LANE_RIGHT) style |= GRID_FLAG_LOSER;
    } else if (kind == GRID_CELL_RIGHT_RACER) {
        if (run.winner == LANE_RIGHT) style |= GRID_FLAG_WINNER;
        if (run.foul[LANE_RIGHT] != 0 || run.winner == LANE_LEFT) style |= GRID_FLAG_LOSER;
    }
    if (isSelected(static_cast<size_t>(index), kind, relative - 2)) style |= GRID_FLAG_SELECTED;
    return style;
}

int32_t DragRuns::dragGridRowCount() const {
    // The blocks follow the list order, so the lowest one is the last run's that has rows
    // (a run just appended gets its rows after this is asked): no walk of every run, which
    // the grid would pay on every hit.
    int64_t rows = 0;
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
        rows = std::max<int64_t>(rows, static_cast<int64_t>(it->gridRow) + it->gridRows);
        if (it->gridRows > 0) break;
    }
    return static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX));
}

void reportRacerText(const TRegistry& registry, int32_t number, int32_t classId, std::string& description,
                     std::string& city, std::string& className) {
    const TRacerItem* racer = lookupRacer(registry, number);
    if (racer == nullptr) return;
    description = "№" + std::to_string(number) + " " + racer->name + " " + racer->carModel + " (" + racer->city + ")";
    city = racer->city;
    className.clear();
    if (const TClassItem* cls = registry.findClass(classId)) className = cls->name;
}

DragGridMenuState dragGridMenuState(const DragRuns& runs, int raceMode) {
    const int32_t selRun = runs.selectedRun();
    const int32_t selLane = runs.selectedLane();
    const int32_t selHit = runs.selectedHit();
    DragGridMenuState state;
    if (!isTwoLaneMode(raceMode)) return state;
    const bool run = runs.isValidRunIndex(selRun);
    const bool lane = run && selLane >= 0;
    const bool sideLane = run && (selLane == LANE_LEFT || selLane == LANE_RIGHT);
    const bool hit = sideLane && selHit >= 0 &&
                     static_cast<size_t>(selHit) <
                         runs.dragRuns()[static_cast<size_t>(selRun)].hits[static_cast<size_t>(selLane)].size();
    state.setNumber = sideLane;
    state.fail = lane;
    state.lap = hit;
    state.otherLane = hit;
    state.runMode = run;
    state.penalty = lane;
    state.deleteItem = hit || (run && selLane == SELECTED_LANE_WHOLE_RUN);
    state.toScoreboard = true;
    return state;
}

} // namespace velmaro
