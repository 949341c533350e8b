#pragma once
// Helpers of the bracket tests: runs (the bracket player is in fakes/bracket_player.h,
// the recording canvas in fakes/recording_canvas.h).
#include <functional>
#include <string>
#include <vector>

#include "core/bracket/final_bracket.h"
#include "fakes/bracket_player.h"
#include "fakes/recording_canvas.h"

namespace velmaro::test {

inline TDragRaceItem makeRun(std::int32_t id, std::int32_t left, std::int32_t right, std::int32_t winnerLane,
                             std::int32_t etLeft = 0, std::int32_t etRight = 0, std::int32_t dirtyLeft = 0,
                             std::int32_t dirtyRight = 0) {
    TDragRaceItem run;
    run.runId = id;
    run.runMode = 1;
    run.racer = {left, right};
    run.winner = winnerLane;
    run.et = {etLeft, etRight};
    run.dirtyTime = {dirtyLeft, dirtyRight};
    return run;
}

// Gives racers 1..count to slots 0..count-1 of class 7.
inline void fillRacers(TFinalBracket& b, int count) {
    for (int i = 0; i < count; ++i) b.setRacer(i + 1, 7, i);
}

} // namespace velmaro::test
