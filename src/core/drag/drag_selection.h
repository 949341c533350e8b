#pragma once
// The run grid's selection as commands keep it. The selection itself (selectedRun(),
// selectedLane(), selectedHit()) and the operations that set it are DragRuns' (drag_runs.h),
// read by the hit handlers, the run file's deletions, the scoreboard output and the run
// commands. Main thread only.
//
// Grid rows: each run owns the rows gridRow .. gridRow + gridRows - 1; within its block,
// row 0 is the racer row, row 1 the start row, row 2 + k the hit row of hit k of each lane.
#include <cstdint>
#include <optional>

#include "core/drag/drag_run.h"

namespace velmaro {

inline constexpr int32_t SELECTED_LANE_WHOLE_RUN = 2;

// The selection as a command keeps it across a question (core/platform/operator.h): the
// run by its id, the lane, and the selected hit by its time and type, never by index.
struct GridTarget {
    int32_t runId = 0;
    int32_t runIndex = -1;       // only for a run without an id (run id 0), which has no other identity
    int32_t lane = -1;           // as DragRuns::selectedLane()
    std::optional<TLineHit> hit; // the selected hit of lane 0 or 1 (time and type count)
};
// Index in its lane of `run` of the target's hit now (the first with its time and type);
// -1 when it is gone or the target has no hit.
int32_t findTargetHit(const GridTarget& target, const TDragRaceItem& run);
// Told when a command's run or hit went while its question was open.
inline constexpr const char* kRunGoneText = "Заезд удалён, пока был открыт вопрос.\nКоманда не выполнена.";
inline constexpr const char* kHitGoneText = "Отметка удалена, пока был открыт вопрос.\nКоманда не выполнена.";

} // namespace velmaro
