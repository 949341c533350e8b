#pragma once
// The two-lane runs of the open event (modes 0, 2, 3, 5, 7 and 8): the run list, the run
// that receives device hits, the run grid's selection, drag.txt with what is known of it,
// the hit handlers, the official's corrections, the grid texts and the scoreboard output
// of the runs. The composition root builds one after the hit intake and its drag host and
// hands it by reference to the start controls, the brackets, the drag results, the run
// grid and the hit handlers; tests build as many as they need, side by side.
//
// The event state is private. Each piece that was once a global is reached through an
// accessor named after the global without its "g" (dragRuns() was gDragRuns); the
// accessors' comments name the global each replaces.
//
// Ownership: the host is not owned and outlives this. Workers only ever see copies of runs.
// Thread: the main thread only, that is the thread that built the object; the accessors
// assert it in debug builds.
//
// Sources: drag_run.cpp (state, current run, recalculation), drag_selection.cpp (the
// selection), drag_file.cpp (drag.txt), drag_hits.cpp (hit acceptance),
// drag_commands.cpp (the official's corrections), drag_grid.cpp (grid texts),
// drag_scoreboard.cpp (scoreboards and lane displays).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/drag/drag_host.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_selection.h"
#include "core/platform/status.h"
#include "core/platform/thread_owner.h"

namespace velmaro {

class DragRuns {
public:
    explicit DragRuns(DragHost& host);
    ~DragRuns();
    DragRuns(const DragRuns&) = delete;
    DragRuns& operator=(const DragRuns&) = delete;

    DragHost& host() const { return host_; }

    // ---- the event state (formerly globals)

    // Formerly gDragRuns: all runs of the open event, in creation (= grid) order.
    std::vector<TDragRaceItem>& dragRuns();
    const std::vector<TDragRaceItem>& dragRuns() const;
    // Formerly gCurrentRun: index in dragRuns() of the run that receives device hits; -1
    // none. May be stale (e.g. 0 with an empty list): always check it with currentRun().
    int32_t& currentRunIndex();
    int32_t currentRunIndex() const;
    // Formerly gSelectedRun: index in dragRuns(); -1 none.
    int32_t& selectedRun();
    int32_t selectedRun() const;
    // Formerly gSelectedLane: 0 left, 1 right, 2 whole run; -1 none.
    int32_t& selectedLane();
    int32_t selectedLane() const;
    // Formerly gSelectedHit: index within the lane; -1 none.
    int32_t& selectedHit();
    int32_t selectedHit() const;

    // ---- runs (drag_run.cpp)

    // The run currentRunIndex() designates, or null when the index is out of range.
    TDragRaceItem* currentRun();
    // True when `index` designates a run of dragRuns().
    bool isValidRunIndex(long long index) const;
    // Recalculates every run (after a load or a settings change).
    void recalculateAllRuns();

    // ---- the selection (drag_selection.cpp; grid rows as told in drag_selection.h)

    // Sets all three to -1.
    void clearRunSelection();
    // Index of the first run whose grid block holds `row`, or -1 (a binary search while the
    // blocks follow the list order, else a walk of the runs).
    int32_t runIndexOfRow(int32_t row) const;
    // With a run whose runId is not 0: selects the first run with that id as a whole (lane 2,
    // no hit; run -1 when no run has it). Otherwise selects by cell: column -1 clears the
    // selection first; a row that belongs to no run leaves the selection as it was.
    void selectGridCell(int column, int row, const TDragRaceItem& run);
    // Selects the first run with the record's run id (lane and hit -1); run id 0 clears the
    // selected run; an id no run has leaves the selection as it was.
    void selectRunById(const TDragRaceItem& run);
    // The absolute time of the selected hit, the start signal of a whole selected run, else 0.
    uint64_t getSelectedHitTime() const;
    // Index of the first run with `runId`; -1 when there is none.
    int32_t runIndexById(int32_t runId) const;
    // The selected run, lane and hit; nullopt when no run is selected.
    std::optional<GridTarget> selectionTarget() const;
    // Index of the target's run now (the first run with its id); -1 when it is gone.
    int32_t findTargetRun(const GridTarget& target) const;
    // Gives a run just appended to dragRuns() its two grid rows, moves the grid cursor to
    // the last row and repaints.
    void addRunGridRows(TDragRaceItem& run);

    // ---- drag.txt (drag_file.cpp; see drag_file.h)

    // The same text as formatDragFile, formatting again only the runs whose written values
    // changed since the last call (the text of each run is kept).
    std::string dragFileText(const std::vector<TDragRaceItem>& runs);
    // The event folder's drag.txt path (empty when no event folder is set).
    std::filesystem::path dragFilePath() const;
    // Which runs a save compares with the text it last wrote (only those that changed are
    // formatted again).
    enum class SaveScope {
        AllRuns,   // every run: after any change, whoever made it
        MarkedRuns // the runs marked since the last save (markRunChanged): the hit path's
                   // way, whose cost does not grow with the event
    };
    // The one writer of drag.txt: the changed tail in place, or the whole file. A failure
    // changes nothing on disk and is told through the save report (once per run of
    // failures, core/platform/save_report.h); the runs stay in memory and are written at the
    // next change. MarkedRuns compares every run instead when all are marked, when the
    // number of runs changed, or when drag.txt is not the one this object last wrote.
    Status saveDragFile(SaveScope scope = SaveScope::AllRuns);
    // A change of a run that is not followed by a save of AllRuns must be marked
    // (markRunChanged), or all runs (markAllRunsChanged) when it is not known which.
    void markRunChanged(size_t index);
    void markAllRunsChanged();
    // The end of every change of the runs, in this order: drag.txt saved (saveDragFile with
    // `scope`), the results thread told (of run changed[0] alone when it is the only one in
    // `changed`, else of all runs), the run grid repainted once.
    void commit(SaveScope scope = SaveScope::AllRuns, const std::vector<size_t>& changed = {});
    // Replaces the runs with those of drag.txt, gives their lanes without a class the only
    // class of their racer (giveClasslessLanesTheirClass), reads the bracket file, lays the
    // runs out (recalculating all) and hands them to the results thread.
    void loadDragFile();
    // Gives every run its grid rows, recalculates every run (marking all changed), sizes
    // and repaints the grid.
    void relayoutRuns();
    // A copy of the first run with that run id, or a default run.
    TDragRaceItem findRunById(int32_t runId) const;
    // flush 1: empties the run file (after backups); flush 0: deletes the selected whole
    // run or the selected hit after a question.
    void deleteRunOrHit(int flush);
    // Restores drag.txt from drag_undelete.txt (after a history copy of the current file)
    // and reloads.
    void undeleteRuns();

    // ---- hit acceptance (drag_hits.cpp; see drag_hits.h)

    // Mode 0: drag racing.
    int addDragHit(int node, int signal, uint64_t time, int source);
    // Mode 7: roller slalom.
    int addRollersHit(int node, int signal, uint64_t time, int source);
    // Modes 2 (mode8 = 0) and 8 (mode8 = 1): parallel race.
    int addParallelHit(int node, int signal, uint64_t time, int source, int mode8);
    // Mode 3: laps through two gates with crossover.
    int addCrossoverLapHit(int node, int signal, uint64_t time, int source);
    // Mode 5: laps through two gates with head-on start.
    int addHeadOnLapHit(int node, int signal, uint64_t time, int source);
    // True when the list holds an RT hit not more than blockFinishTimeout seconds before
    // `time` (a time before the RT hit counts as within).
    bool isWithinBlockTimeout(const std::vector<TLineHit>& hits, uint64_t time) const;
    // Registers the handlers of modes 0, 2, 3, 5, 7 and 8 in the dispatch table of the
    // host's hit intake.
    void registerHitHandlers();
    // Takes them out of the table again (before this is destroyed while the intake lives on).
    void clearHitHandlers();

    // ---- the official's corrections (drag_commands.cpp; see drag_commands.h)

    // Puts a racer on a lane (0 left, else right) of the current run (currentRunIndex()). Class -1
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
    // reloads the event), `raceMode` being the console's timing mode: in a two-lane mode the
    // lanes without a class take their racer's only class as above, and when one did, the
    // change is committed (the marked runs saved, the results thread told, the grid repainted).
    void racersChangedUnderRuns(unsigned raceMode);
    // Sets the penalty (ms) of the selected lane; lane 0 left, any other the right lane.
    void setLanePenalty(int32_t penaltyMs);
    // "Штраф": asks the penalty in seconds and sets it on the selected lane; cancel stops,
    // a refused entry is reported and changes nothing.
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
    // "УДАЛИТЬ" and the Delete key of the run grid: deletes the selected run or hit after a
    // question, in modes 0, 2, 3, 5 and 8 (not in mode 7).
    void deleteButtonOnRuns();

    // ---- the run grid's texts (drag_grid.cpp; see drag_grid.h)

    // Text of one cell; empty outside the runs' rows.
    std::string dragGridCellText(int column, int row) const;
    // Style of one cell: kind | flags, or GRID_STYLE_NONE.
    int32_t dragGridCellStyle(int column, int row) const;
    // The rows the runs' blocks take: the end of the lowest block, which is the last run's
    // with rows (0 without runs).
    int32_t dragGridRowCount() const;

    // ---- scoreboards and lane displays (drag_scoreboard.cpp; see drag_scoreboard.h)

    // Shows one lane of a run on the controller, the lane display and the radio scoreboard.
    // lane: 0 left, 1 right, -1 the lane selected in the grid. runSelector: -1 the run
    // selected in the grid (the last run when none is), anything else the last run.
    // The third and sixth arguments do not change what is shown.
    void sendRunToScoreboards(int showTime, int showSpeed, int unused, int lane, int runSelector, int brightness);
    // Both lane displays show the two texts (upper, lower).
    void sendTextToScoreboards(const std::string& upper, const std::string& lower, int brightness = 0);
    // The lane display of `lane` shows a racer number (dark for 0 and below).
    void showRacerNumber(int32_t number, int lane);

    // The hit handlers and where an accepted hit goes (drag_hits.cpp's own).
    enum class Handler { Drag, Rollers, Parallel, Crossover, HeadOn };
    struct Placement {
        int lane = LANE_LEFT; // list the hit is appended to
        int32_t type = 0;     // its hit type
    };

private:
    // What drag.txt holds and the texts last written (drag_file.cpp).
    struct FileCache;

    // ---- drag_file.cpp
    bool backupDragFile();
    void layoutRuns();
    Status writeDragFile(const std::filesystem::path& file, SaveScope scope);

    // ---- drag_hits.cpp
    std::optional<size_t> targetRun(int source) const;
    int32_t launchWindow() const;
    std::optional<Placement> placeDragHit(const TDragRaceItem& run, int node, int signal, uint64_t time,
                                          int source) const;
    void adjustGridRows(size_t index);
    void showLanes(std::initializer_list<int> lanes);
    void updateScoreboards(Handler handler, const TDragRaceItem& run, const std::optional<Placement>& hit, int signal);
    void finishAcceptedHit(Handler handler, size_t index, const std::optional<Placement>& hit, int signal,
                           uint64_t time, int source);
    int handleHit(Handler handler, int node, int signal, uint64_t time, int source, bool mode8);

    // ---- drag_commands.cpp
    TDragRaceItem* selectedRunItem();
    std::vector<TLineHit>* selectedHitList();
    size_t commandLane() const;
    void setPenaltyOf(int32_t index, int32_t lane, int32_t penaltyMs);

    // ---- drag_grid.cpp
    const TDragRaceItem* runOfRow(int row) const;
    bool isSelected(size_t index, int32_t kind, int k) const;

    // ---- drag_scoreboard.cpp
    std::optional<TDragRaceItem> runToShow(int runSelector) const;

    // ---- state, in the order built
    DragHost& host_;
    ThreadOwner owner_;
    std::vector<TDragRaceItem> runs_; // gDragRuns
    int32_t currentRun_ = -1;         // gCurrentRun
    int32_t selectedRun_ = -1;        // gSelectedRun
    int32_t selectedLane_ = -1;       // gSelectedLane
    int32_t selectedHit_ = -1;        // gSelectedHit
    std::vector<size_t> batchRuns_;   // the hit path's gBatchRuns: runs the current batch changed
    std::unique_ptr<FileCache> file_; // gWrittenRuns, gWrittenLength, gDisk, gChanged
};

} // namespace velmaro
