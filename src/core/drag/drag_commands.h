#pragma once
// The race official's corrections of two-lane runs: racers on lanes, classes, penalties,
// retirements, hit types, moving a hit to the other lane, run modes, the racer search and
// the regrouping of racers into time classes.
//
// Most commands act on the grid selection (drag_selection.h); an index outside its list
// counts as no selection and the command then does nothing. After its change a command
// recalculates or lays out the runs, then ends with DragRuns::commit: drag.txt saved, the
// runs handed to the results thread (DragHost::notifyResultsThread), the grid repainted
// once, in that order. Questions go through the drag host's operator. Main thread only.
#include <cstdint>
#include <vector>

#include "core/records/drag_result.h"
#include <optional>
#include <string_view>

#include "core/drag/drag_runs.h"
#include "core/platform/status.h"

namespace velmaro {

class Operator;  // core/platform/operator.h
class TRegistry; // core/registration/registry.h

// ---- operator input

// A penalty typed in seconds ("1,5" or "1.5"), in ms rounded to the nearest ms; nullopt
// for a text that is not a finite number or whose ms fall outside signed 32 bits.
std::optional<int32_t> parsePenaltySeconds(std::string_view text);
// A racer number typed by the operator is read with parseRacerNumber of the registration
// (a whole number 0 .. 2147483647, "07" is 7).

// ---- commands (members of DragRuns, drag_runs.h)
//                           recalculate  relayout  commit (save, notify, repaint)
// setLaneRacer                  -           -        -     (callers do)
// askRacerNumber                -           -        x
// refreshRunClasses             -           -        x
// racersChangedUnderRuns        -           -        x     (only when a lane changed; the marked runs)
// setLanePenalty, askLanePenalty x          -        x
// failSelectedLane              -           x        x
// setSelectedHitType            x           -        x
// moveHitToOtherLane            -           x        x
// setSelectedRunMode            -           -        x
// deleteRunOrHit(0)             -           x        x     (a save alone when nothing was deleted)

// Puts every racer of the overall qualification list (class -1 of the published results,
// sorted here by best legal start under `options`, the ranking options in force) into the time-window class its best time falls in, dropping its time-window
// classes and ids that name no class; a listed number nobody has is registered. All or
// nothing: racers.txt is written first and memory changes only when it was written; a
// failure to write it is told to `op`.
Status splitRacersIntoClasses(std::vector<TDragResult> overallQualification, const TDragRankOptions& options,
                              TRegistry& registry, Operator& op);

// What the class split needs of the console besides the runs and the registry.
class DragEventPort {
public:
    DragEventPort() = default;
    DragEventPort(const DragEventPort&) = delete;
    DragEventPort& operator=(const DragEventPort&) = delete;
    virtual ~DragEventPort() = default;

    virtual void markRacerListForSending() = 0; // race information carries the racer list
    virtual void reloadEvent() = 0;             // reload every file of the open event
    virtual void sendRaceInfo() = 0;            // race information to the web service
    // The published overall qualification list (class -1) of the drag results.
    virtual std::vector<TDragResult> overallQualification() = 0;
    // The drag ranking options in force (DragResults::currentRankOptions).
    virtual TDragRankOptions rankOptions() = 0;
};

// The menu item "Разбить на классы" in the two-lane modes.
class DragClassSplit {
public:
    DragClassSplit(DragRuns& runs, DragEventPort& port) : runs_(runs), port_(port) {}
    // Asks for confirmation; on yes splits and, when racers.txt was written, marks the
    // racer list for sending and reloads the event; then (yes or no) refreshes the run
    // classes and sends the race information. Nothing in a single-lane mode.
    void run();

private:
    DragRuns& runs_;
    DragEventPort& port_;
};

} // namespace velmaro
