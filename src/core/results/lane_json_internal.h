#pragma once
// The lane object over any racer look-up (the results rebuild uses its own index).
#include <cstdint>
#include <functional>
#include <string>

#include "core/drag/drag_run.h"

namespace velmaro {

struct TRacerItem;

std::string laneJsonWith(const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                         const std::function<const TRacerItem*(std::int32_t)>& lookup);

} // namespace velmaro
