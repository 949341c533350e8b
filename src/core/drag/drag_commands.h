#pragma once
// The race official's corrections of two-lane runs: racers on lanes, classes, penalties,
// retirements, hit types, moving a hit to the other lane, run modes, the racer search and
// the regrouping of racers into time classes.
//
// Most commands act on the grid selection (drag_selection.h); an index outside its list
// counts as no selection and the command then does nothing. After its change a command
// recalculates or lays out the runs, rewrites drag.txt, hands the runs to the results
// thread (DragHost::notifyResultsThread) and repaints the grid, each as listed below.
// Questions go through the drag host's operator. Main thread only.
#include <cstdint>
#include <vector>

#include "core/records/drag_result.h"
#include <optional>
#include <string_view>

#include "core/platform/status.h"

namespace velmaro {

// ---- operator input

// A penalty typed in seconds ("1,5" or "1.5"), in ms rounded to the nearest ms; nullopt
// for a text that is not a finite number or whose ms fall outside signed 32 bits.
std::optional<int32_t> parsePenaltySeconds(std::string_view text);
// A racer number typed by the operator is read with parseRacerNumber of the registration
// (a whole number 0 .. 2147483647, "07" is 7).

// ---- commands
//                           recalculate  relayout  notify  save  repaint
// setLaneRacer                  -           -        -      -      -     (callers do)
// askRacerNumber                -           -        x      x      x
// refreshRunClasses             -           -        x      x      x
// racersChangedUnderRuns        -           -        x      x      x     (only when a lane changed)
// setLanePenalty                x           -        x      x      -     (caller repaints)
// failSelectedLane              -           x        x      x      x
// setSelectedHitType            x           -        x      x      x
// moveHitToOtherLane            -           x        x      x      x
// setSelectedRunMode            -           -        x      x      x

// Puts a racer on a lane (0 left, else right) of the current run (gCurrentRun). Class -1
// takes the racer's first class. A type 122 scoreboard shows both lanes' numbers.
void setLaneRacer(int32_t number, int lane, int32_t classId);
// Asks the racer number of the selected lane (0 or 1). A refused entry is reported and
// changes and saves nothing; cancel changes nothing. A racer in several classes gets the
// class selected in the picker when it closes, however it is closed (the first entry is
// preselected).
void askRacerNumber();
// Gives every lane whose racer is entered in exactly one class that class.
void refreshRunClasses();
// Gives every lane without a class (-1) whose racer is entered in exactly one class that
// class, and marks the runs it changes for the next save (nothing is saved, told or
// repainted here). True when a lane changed. Runs as they are loaded go through it.
bool giveClasslessLanesTheirClass();
// After racers were registered or changed outside the registration window (whose closing
// reloads the event), `raceMode` being the console's timing mode: in a two-lane mode the lanes without a class take their racer's
// only class as above, and when one did, drag.txt is saved, the results thread told and
// the grid repainted.
void racersChangedUnderRuns(unsigned raceMode);
// Sets the penalty (ms) of the selected lane; lane 0 left, any other the right lane.
void setLanePenalty(int32_t penaltyMs);
// "Штраф": asks the penalty in seconds and sets it on the selected lane; cancel stops,
// a refused entry is reported and changes nothing. Repaints.
void askLanePenalty();
// Appends a FAIL hit 1 ms after the lane's last hit (or the start signal); lane 0 left,
// any other the right lane.
void failSelectedLane();
// Changes the type of the selected hit (lane 0 or 1).
void setSelectedHitType(int32_t type);
// Moves the selected hit to the other lane of its run. The selection keeps its indices.
void moveHitToOtherLane();
// Sets the run mode (0, 1 or 2) of the selected run; another value does nothing.
void setSelectedRunMode(int32_t runMode);
// Selects, as a whole, the next (step > 0) or previous run after the selected one in
// which the racer drives. Returns its index, or -1 (selection unchanged) when none.
int32_t searchRacerInGrid(int32_t number, int step);
// Puts every racer of the overall qualification list (class -1 of the published results,
// sorted here by best legal start under `options`, the ranking options in force) into the time-window class its best time falls in, dropping its time-window
// classes and ids that name no class; a listed number nobody has is registered. All or
// nothing: racers.txt is written first and memory changes only when it was written.
Status splitRacersIntoClasses(std::vector<TDragResult> overallQualification, const TDragRankOptions& options);

// "УДАЛИТЬ" and the Delete key of the run grid: deletes the selected run or hit after a
// question, in modes 0, 2, 3, 5 and 8 (not in mode 7).
void deleteButtonOnRuns();

// What the class split needs of the console besides the runs and the registry.
class DragEventPort {
public:
    DragEventPort() = default;
    DragEventPort(const DragEventPort&) = delete;
    DragEventPort& operator=(const DragEventPort&) = delete;
    virtual ~DragEventPort() = default;

    virtual void markRacerListForSending() = 0;  // race information carries the racer list
    virtual void reloadEvent() = 0;              // reload every file of the open event
    virtual void sendRaceInfo() = 0;             // race information to the web service
    // The published overall qualification list (class -1) of the drag results.
    virtual std::vector<TDragResult> overallQualification() = 0;
    // The drag ranking options in force (DragResults::currentRankOptions).
    virtual TDragRankOptions rankOptions() = 0;
};

// The menu item "Разбить на классы" in the two-lane modes.
class DragClassSplit {
public:
    explicit DragClassSplit(DragEventPort& port) : port_(port) {}
    // Asks for confirmation; on yes splits and, when racers.txt was written, marks the
    // racer list for sending and reloads the event; then (yes or no) refreshes the run
    // classes and sends the race information. Nothing in a single-lane mode.
    void run();

private:
    DragEventPort& port_;
};

} // namespace velmaro
