#pragma once
// The lane object over any racer look-up (the results rebuild uses its own index).
#include <cstdint>
#include <functional>
#include <string>

#include "core/drag/drag_run.h"
#include "core/json/json_builder.h"

namespace velmaro {

struct TRacerItem;

using TRacerLookup = std::function<const TRacerItem*(std::int32_t)>;

std::string laneJsonWith(const TDragRaceItem& run, int lane, bool omitNames, bool proStart, const TRacerLookup& lookup);
// The same object appended to a buffered text.
void appendLaneJson(JsonTextBuffer& out, const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                    const TRacerLookup& lookup);

} // namespace velmaro
