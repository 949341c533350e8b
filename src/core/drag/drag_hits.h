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
#include "core/intake/hit_intake.h"

namespace velmaro {

// Mode 0: drag racing.
int addDragHit(int node, int signal, uint64_t time, int source);
// Mode 7: roller slalom.
int addRollersHit(int node, int signal, uint64_t time, int source);
// Modes 2 (mode8 = 0) and 8 (mode8 = 1): parallel race.
int addParallelHit(int node, int signal, uint64_t time, int source, int mode8);
// Mode 3: laps through two gates with crossover.
int addCrossoverLapHit(int node, int signal, uint64_t time, int source);
// Mode 5: laps through two gates with head-on start.
int addHeadOnLapHit(int node, int signal, uint64_t time, int source);

// True when any hit of the list has that type.
bool hasHitOfType(const std::vector<TLineHit>& hits, int32_t type);
// True when the list holds an RT hit not more than blockFinishTimeout seconds before
// `time` (a time before the RT hit counts as within).
bool isWithinBlockTimeout(const std::vector<TLineHit>& hits, uint64_t time);

// Registers the handlers of modes 0, 2, 3, 5, 7 and 8 in the dispatch table of `intake`.
void registerDragHitHandlers(HitIntake& intake);

} // namespace velmaro
