#pragma once
// Hit acceptance of the two-lane timing modes: which run, which lane and which hit type
// a sensor hit becomes, and what follows an accepted hit (recalculation, grid rows,
// scoreboards, the winner report to the start node, drag.txt, the results thread).
//
// Every handler takes (node, signal, absolute node time in ms, source) with the source
// values of the hit intake (HIT_FROM_DEVICE 0, HIT_FROM_LOG_SELECTED 1,
// HIT_FROM_LOG_CURRENT 2). A refused hit changes nothing and shows nothing. The result
// is 1 when the hit was taken (a start signal included), 0 when it was refused.
// Main thread only.
#include <cstdint>
#include <vector>

#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/intake/hit_intake.h"

namespace velmaro {

// The handlers themselves (addDragHit, addRollersHit, addParallelHit, addCrossoverLapHit,
// addHeadOnLapHit) are DragRuns' (drag_runs.h); DragRuns::registerHitHandlers puts them
// in the dispatch table of the intake.

// True when any hit of the list has that type.
bool hasHitOfType(const std::vector<TLineHit>& hits, int32_t type);
} // namespace velmaro
