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
#include "core/drag/drag_runs.h"
#include "core/platform/status.h"

namespace velmaro {

// The run file text of a run list ("DRAGITEM:", "LEFTHIT:", "RIGHTHIT:" lines, LF).
std::string formatDragFile(const std::vector<TDragRaceItem>& runs);
// Runs read from the lines of a run file, not yet recalculated. Every hit line after a
// run's line is kept, in every timing mode, so what saveDragFile wrote reads back whole.
std::vector<TDragRaceItem> parseDragFile(const std::vector<std::string>& lines);

// The stateful side (dragFileText, saveDragFile, markRunChanged, commit, loadDragFile, relayoutRuns, deleteRunOrHit, undeleteRuns) is DragRuns' (drag_runs.h).

} // namespace velmaro
