#include "core/drag/drag_hits.h"
#include "core/drag/drag_runs.h"
#include "core/intake/hit_intake.h"

namespace velmaro {

void DragRuns::registerHitHandlers() {
    ModeHitHandlers& table = host_.hitIntake().handlers();
    table.setDragHandler(TimingMode::DragRacing,
                         [this](int n, int s, std::uint64_t t, int src) { addDragHit(n, s, t, src); });
    table.setDragHandler(TimingMode::ParallelRace,
                         [this](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 0); });
    table.setDragHandler(TimingMode::LapCrossover,
                         [this](int n, int s, std::uint64_t t, int src) { addCrossoverLapHit(n, s, t, src); });
    table.setDragHandler(TimingMode::LapHeadOnStart,
                         [this](int n, int s, std::uint64_t t, int src) { addHeadOnLapHit(n, s, t, src); });
    table.setDragHandler(TimingMode::RollerSlalom,
                         [this](int n, int s, std::uint64_t t, int src) { addRollersHit(n, s, t, src); });
    table.setDragHandler(TimingMode::ParallelRace2,
                         [this](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 1); });
}

void DragRuns::clearHitHandlers() {
    ModeHitHandlers& table = host_.hitIntake().handlers();
    for (const TimingMode mode : {TimingMode::DragRacing, TimingMode::ParallelRace, TimingMode::LapCrossover,
                                  TimingMode::LapHeadOnStart, TimingMode::RollerSlalom, TimingMode::ParallelRace2})
        table.clear(mode);
}

} // namespace velmaro
