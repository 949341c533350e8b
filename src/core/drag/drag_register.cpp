#include "core/drag/drag_hits.h"
#include "core/drag/drag_runs.h"
#include "core/intake/hit_intake.h"

namespace velmaro {

void DragRuns::registerHitHandlers()
{
    ModeHitHandlers& table = host_.hitIntake().handlers();
    table.setDragHandler(0, [this](int n, int s, std::uint64_t t, int src) { addDragHit(n, s, t, src); });
    table.setDragHandler(2, [this](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 0); });
    table.setDragHandler(3, [this](int n, int s, std::uint64_t t, int src) { addCrossoverLapHit(n, s, t, src); });
    table.setDragHandler(5, [this](int n, int s, std::uint64_t t, int src) { addHeadOnLapHit(n, s, t, src); });
    table.setDragHandler(7, [this](int n, int s, std::uint64_t t, int src) { addRollersHit(n, s, t, src); });
    table.setDragHandler(8, [this](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 1); });
}

void DragRuns::clearHitHandlers()
{
    ModeHitHandlers& table = host_.hitIntake().handlers();
    for (const int mode : {0, 2, 3, 5, 7, 8})
        table.clear(mode);
}

} // namespace velmaro
