#include "core/drag/drag_hits.h"
#include "core/intake/hit_intake.h"

namespace velmaro {

void registerDragHitHandlers(HitIntake& intake)
{
    ModeHitHandlers& table = intake.handlers();
    table.setDragHandler(0, [](int n, int s, std::uint64_t t, int src) { addDragHit(n, s, t, src); });
    table.setDragHandler(2, [](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 0); });
    table.setDragHandler(3, [](int n, int s, std::uint64_t t, int src) { addCrossoverLapHit(n, s, t, src); });
    table.setDragHandler(5, [](int n, int s, std::uint64_t t, int src) { addHeadOnLapHit(n, s, t, src); });
    table.setDragHandler(7, [](int n, int s, std::uint64_t t, int src) { addRollersHit(n, s, t, src); });
    table.setDragHandler(8, [](int n, int s, std::uint64_t t, int src) { addParallelHit(n, s, t, src, 1); });
}

} // namespace velmaro
