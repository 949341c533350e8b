#include "core/results/results_window.h"

#include "core/platform/timing_mode.h"

namespace velmaro {

ResultsRebuild resultsRebuildFor(int mode) {
    const std::optional<TimingMode> known = timingModeFrom(mode);
    if (!known) return ResultsRebuild::None;
    switch (*known) {
    case TimingMode::LapOneGate:
    case TimingMode::StartFinish:
    case TimingMode::Gymkhana: return ResultsRebuild::Lap;
    case TimingMode::DragRacing:
    case TimingMode::ParallelRace:
    case TimingMode::LapCrossover:
    case TimingMode::RollerSlalom:
    case TimingMode::ParallelRace2: return ResultsRebuild::Drag;
    case TimingMode::LapHeadOnStart: return ResultsRebuild::None;
    }
    return ResultsRebuild::None;
}

void requestResultsRebuild(ResultsWindowHost& host) {
    switch (resultsRebuildFor(host.raceMode())) {
    case ResultsRebuild::Lap: host.rebuildLapResults(); break;
    case ResultsRebuild::Drag: host.rebuildDragResults(); break;
    case ResultsRebuild::None: break;
    }
}

} // namespace velmaro
