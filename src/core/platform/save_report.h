#pragma once
// Failed saves and copies of the console's files reach the official through the log
// window: one line when a file starts failing, not one per attempt (a burst of hits
// would otherwise flood the window), and one line when it is written again. The run
// of failures is counted per target file.
#include <filesystem>

#include "core/platform/status.h"

namespace velmaro {

class Operator;

// Notes the outcome of a save or copy to `file` and returns `status` unchanged. The first
// failure after a success (or the first ever) is logged; later failures of the same file
// are not, until a success ends the run (that is logged too).
Status reportSave(const std::filesystem::path& file, Status status);

// Where the lines go: `op` (not owned; null drops them). The composition root sets its
// question desk once it is built and clears it before the desk goes.
void setSaveReportLog(Operator* op);

// Forgets every run of failures (tests).
void resetSaveReports();

} // namespace velmaro
