#pragma once
// final_bracket.txt: the brackets of all class pages of the open event, in page order.
//
// A bracket is stored with very little: its class, size, type, seeded count and the
// page's size choice, the racer of every seed slot, and per pairing the id of the run
// that decides it, a forced winner and two comments. Everything else follows from the
// runs at the next bracket update.
//
//   BRACKETCLASS:<class id>,<size>,<type>,<seeded count>,<size choice>
//   RACER:<slot>,<number>,<class id>            one per slot, 0..size-1
//   ROUND:<r>  /  LROUND:<r>                    each existing upper, then lower round
//   DRAGID:<pair>,<run id>                      run id not 0
//   FORCEWINNER:<pair>,<slot>                   forced winner not -1
//   COMMENT:<pair>,<k>:<text>                   comment k not empty
//
// The file is UTF-8 written with LF line ends, rewritten atomically; lines are read
// with LF or CR LF, a line that is not UTF-8 as CP1251. A comment is kept on one line
// (line breaks and tabs written as blanks). The reader checks every index and value
// (size a power of two from 2 to 64, type 0 to 10, slot, round, pair, comment index)
// and skips a line or block that does not fit.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_run.h"
#include "core/platform/status.h"

namespace velmaro {

class TRegistry;

// The run with a run id: a copy, or the default run (run id 0) when none has it.
using TFindRunById = std::function<TDragRaceItem(std::int32_t runId)>;
// The registered class with an id, or null.
using TFindClassById = std::function<TClassItem*(std::int32_t classId)>;

// REQUIRES: bracket lock held. The file text for these pages (pages without a bracket
// are left out; an empty text when none has one).
std::string finalBracketText(const TBracketPageList& pages);

// REQUIRES: bracket lock held. Reads the lines of a bracket file: every block makes a
// new bracket and installs it on the first page whose class has the block's class id
// (its size choice set too); a block whose class has no page is read and dropped.
void readFinalBracketLines(BracketPages& pages, const std::vector<std::string>& lines, const TFindRunById& findRun,
                           const TFindClassById& findClass);

// Main thread. Takes the bracket lock itself. Rewrites <eventFolder>/final_bracket.txt
// from the brackets of all class pages. A failure to write is returned (the file keeps
// its old content); callers skip it silently as before.
Status saveFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder);

// Main thread. Takes the bracket lock itself. Reads <eventFolder>/final_bracket.txt and
// puts a new bracket on the page of each block's class. A missing or unreadable file
// leaves the pages as they are. Nothing is advanced here: the next results rebuild
// updates the brackets.
// The defaults look the runs up in `runs` and the classes in `registry`.
void loadFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder, TRegistry& registry,
                          const std::vector<TDragRaceItem>& runs);
void loadFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder, const TFindRunById& findRun,
                          const TFindClassById& findClass);

} // namespace velmaro
