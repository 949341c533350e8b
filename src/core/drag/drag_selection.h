#pragma once
// The run grid's selection, read by the hit handlers, the run file's deletions, the
// scoreboard output and the run commands, and the operations that set it. Main thread only.
//
// Grid rows: each run owns the rows gridRow .. gridRow + gridRows - 1; within its block,
// row 0 is the racer row, row 1 the start row, row 2 + k the hit row of hit k of each lane.
#include <cstdint>
#include <optional>

#include "core/drag/drag_run.h"

namespace velmaro {

inline constexpr int32_t SELECTED_LANE_WHOLE_RUN = 2;

extern int32_t gSelectedRun;   // index in gDragRuns; -1 none
extern int32_t gSelectedLane;  // 0 left, 1 right, 2 whole run; -1 none
extern int32_t gSelectedHit;   // index within the lane; -1 none

// Sets all three to -1.
void clearRunSelection();

// Index of the first run whose grid block holds `row`, or -1 (a binary search while the
// blocks follow the list order, else a walk of gDragRuns).
int32_t runIndexOfRow(int32_t row);

// With a run whose runId is not 0: selects the first run with that id as a whole (lane 2,
// no hit; run -1 when no run has it). Otherwise selects by cell: column -1 clears the
// selection first; a row that belongs to no run leaves the selection as it was.
void selectGridCell(int column, int row, const TDragRaceItem& run);
// Selects the first run with the record's run id (lane and hit -1); run id 0 clears the
// selected run; an id no run has leaves the selection as it was.
void selectRunById(const TDragRaceItem& run);
// The absolute time of the selected hit, the start signal of a whole selected run, else 0.
uint64_t getSelectedHitTime();
// The selection as a command keeps it across a question (core/platform/operator.h): the
// run by its id, the lane, and the selected hit by its time and type, never by index.
struct GridTarget {
    int32_t runId = 0;
    int32_t runIndex = -1;        // only for a run without an id (run id 0), which has no other identity
    int32_t lane = -1;            // as gSelectedLane
    std::optional<TLineHit> hit;  // the selected hit of lane 0 or 1 (time and type count)
};
// Index of the first run with `runId`; -1 when there is none.
int32_t runIndexById(int32_t runId);
// The selected run, lane and hit; nullopt when no run is selected.
std::optional<GridTarget> selectionTarget();
// Index of the target's run now (the first run with its id); -1 when it is gone.
int32_t findTargetRun(const GridTarget& target);
// Index in its lane of `run` of the target's hit now (the first with its time and type);
// -1 when it is gone or the target has no hit.
int32_t findTargetHit(const GridTarget& target, const TDragRaceItem& run);
// Told when a command's run or hit went while its question was open.
inline constexpr const char* kRunGoneText = "Заезд удалён, пока был открыт вопрос.\nКоманда не выполнена.";
inline constexpr const char* kHitGoneText = "Отметка удалена, пока был открыт вопрос.\nКоманда не выполнена.";

// Gives a run just appended to gDragRuns its two grid rows, moves the grid cursor to the
// last row and repaints.
void addRunGridRows(TDragRaceItem& run);

} // namespace velmaro
