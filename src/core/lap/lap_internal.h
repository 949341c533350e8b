#pragma once
// Helpers shared by the lap timing's sources; not for other areas.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/lap/lap_events.h"

namespace velmaro {

// Creates gRaceItems when it does not exist.
void ensureRaceItems();
// Runs `free` (which removes events from gRaceItems) after dropping everything that
// observes events: the queues and the lap results.
void releaseEvents(const std::function<void()>& free);
// Empties both queues and rebuilds the one of the current mode.
void rebuildQueuesAfterFree();
// Inserts an event in time order (after the events of the same time); its index.
int insertRaceItem(std::unique_ptr<TRaceItem> item);
// Recalculates, repaints the grid and saves: the common end of every change.
void finishLapChange();
// lap_single.txt text of a list.
std::string lapFileText(const TRaceItemList& list);
// A file of the event folder.
std::filesystem::path lapFilePath(std::string_view name);
// Mode of the open event as the lap timing reads it.
inline int lapMode() { return lapHost().raceMode(); }
inline bool isLapMode(int mode) { return mode == 1 || mode == 4 || mode == 6; }
// Index of the class the operator picks for a racer with several classes (the class
// picker "Класс участника"); nullopt when nothing can be taken.
std::optional<int32_t> pickRacerClass(const LapRacerInfo& racer);
// Stops the results countdown and drops the last results (event closed, tests).
void resetLapResultsState();

} // namespace velmaro
