#pragma once
// Helpers shared by the lap timing's sources; not for other areas.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
// After a hit appended one event at the end of the list and only that event and the
// current flags of the events at `flagged` changed: hands the worker that much (or
// the whole list when its kept results are not in step).
void scheduleLapResultsAfterAppend(const std::vector<size_t>& flagged);
// Recalculates after a hit appended one event at the end of the list (nothing else
// changed since the last recalculation): the new event's times and the current flags,
// with the same outcome as recalcRaceItems.
void recalcAppendedRaceItem(TRaceItemList& list);
// Saves lap_single.txt after hits that only appended events (recalcAppendedRaceItem):
// appends the new events' lines when the file holds exactly the events before them,
// else rewrites the file. Any other change (recalcRaceItems) makes it a rewrite.
Status saveLapSingleAfterAppend();
// saveLapSingleAfterAppend, a failure told in the log window (once per run of failures).
Status saveLapSingleAfterHits();
// Drops the recalculation's record of the events marked current (events freed).
void forgetMarkedRaceItems();
// Drops what the intake keeps of the end of the event list (the newest start of the
// course group, the retirements after it, the finish queue's progress): every change
// other than appending events calls it, directly or through recalcRaceItems.
void forgetLapTail();
// setRaceItemRacer without the recalculation and save (the intake does both once).
void applyRaceItemRacer(int index, int racer, int classId);

} // namespace velmaro
