#pragma once
// drag.txt, the run file of the open event, with its deletions and backups.
//
// The run list in memory is the master; drag.txt is written after every change and read
// back when the event is opened, after a flush and after an undelete. When only the last
// runs changed and drag.txt is known to hold the rest, only their text is written, in
// place, through the intent file drag.txt.tail (writeFileTail); otherwise the file is
// rewritten whole (atomically). An intent a crash left is finished before drag.txt is read. Before every deletion drag.txt is copied to drag_undelete.txt and to a
// history copy "drag_<seconds>.txt". Main thread only.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/drag/drag_run.h"
#include "core/platform/status.h"

namespace velmaro {

// The run file text of a run list ("DRAGITEM:", "LEFTHIT:", "RIGHTHIT:" lines, LF).
std::string formatDragFile(const std::vector<TDragRaceItem>& runs);
// The same text, formatting again only the runs whose written values changed since the
// last call (the text of each run is kept). Main thread.
std::string dragFileText(const std::vector<TDragRaceItem>& runs);

// Runs read from the lines of a run file, not yet recalculated. Every hit line after a
// run's line is kept, in every timing mode, so what saveDragFile wrote reads back whole.
std::vector<TDragRaceItem> parseDragFile(const std::vector<std::string>& lines);

// The event folder's drag.txt path (empty when no event folder is set).
std::filesystem::path dragFilePath();

// Writes drag.txt from gDragRuns (the changed tail in place, or the whole file). A failure changes nothing on disk; the runs stay in
// memory and are written at the next change.
Status saveDragFile();
// saveDragFile, a failure told in the log window (once per run of failures).
Status saveDragFileReported();

// Runs changed since the last save. saveDragFile compares every run with the text it
// last wrote; the hit path instead marks the run a hit changed and saves with
// saveChangedDragRuns, which compares only the marked runs, so its cost does not grow
// with the event. A change of a run that is not followed by saveDragFile must therefore
// be marked (markRunChanged), or all runs (markAllRunsChanged) when it is not known which.
void markRunChanged(size_t index);
void markAllRunsChanged();
// saveDragFile for the runs marked since the last save alone. Compares every run instead
// when all are marked, when the number of runs changed, or when drag.txt is not the one
// this program last wrote.
Status saveChangedDragRuns();
// saveChangedDragRuns, a failure told like saveDragFileReported.
Status saveChangedDragRunsReported();
// Replaces gDragRuns with the runs of drag.txt, gives their lanes without a class the
// only class of their racer (giveClasslessLanesTheirClass), reads the bracket file, lays
// the runs out (recalculating all) and hands them to the results thread.
void loadDragFile();
// Gives every run its grid rows, recalculates every run (marking all changed), sizes and
// repaints the grid.
void relayoutRuns();
// A copy of the first run with that run id, or a default run.
TDragRaceItem findRunById(int32_t runId);
// flush 1: empties the run file (after backups); flush 0: deletes the selected whole run
// or the selected hit after a question.
void deleteRunOrHit(int flush);
// Restores drag.txt from drag_undelete.txt (after a history copy of the current file) and reloads.
void undeleteRuns();

} // namespace velmaro
