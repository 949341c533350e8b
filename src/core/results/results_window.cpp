#include "core/results/results_window.h"

namespace velmaro {

ResultsRebuild resultsRebuildFor(int mode) {
    switch (mode) {
    case 1:
    case 4:
    case 6: return ResultsRebuild::Lap;
    case 0:
    case 2:
    case 3:
    case 7:
    case 8: return ResultsRebuild::Drag;
    default: return ResultsRebuild::None;
    }
}

void requestResultsRebuild(ResultsWindowHost& host) {
    switch (resultsRebuildFor(host.raceMode())) {
    case ResultsRebuild::Lap: host.rebuildLapResults(); break;
    case ResultsRebuild::Drag: host.rebuildDragResults(); break;
    case ResultsRebuild::None: break;
    }
}

} // namespace velmaro
