#pragma once
// The lap timing of one open single-lane event (modes 1 laps through one gate, 4 start
// and finish through two gates, 6 gymkhana): the lap events and their file
// lap_single.txt, the hit handlers with the queues of racers on the course, START and
// NEXT, the operator's edits behind the lap grid, and the lap results kept on the main
// thread. The composition root builds one after its host and hands it by reference to
// the lap grid, the lap receipt, the start controls, the results window and the mode hit
// handlers; tests build as many as they need, side by side.
//
// The event state is private. Each piece that was once a global is reached through an
// accessor named after the global without its "g" (raceItems() was gRaceItems); the
// accessors' comments name the global each replaces.
//
// Ownership: the list owns its events (unique_ptr); the queues and the lap results only
// observe them. Every operation that frees events rebuilds the queues before it returns,
// so no queue entry ever outlives its event. The host is not owned and outlives this.
// Thread: the main thread only, that is the thread that built the object; the accessors
// and the entry points assert it in debug builds.
//
// Sources: lap_timing.cpp (state, steps shared by the others), lap_events.cpp (list,
// recalculation, cells, file), lap_intake.cpp (hits, queues, START, NEXT, scoreboard),
// lap_edits.cpp (the operator's edits), lap_results.cpp (the lap results' main-thread
// side).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/intake/hit_intake.h"
#include "core/lap/lap_events.h"
#include "core/lap/lap_host.h"
#include "core/lap/lap_results.h"
#include "core/lap/lap_results_model.h"
#include "core/platform/status.h"
#include "core/platform/thread_owner.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

class Operator;

class LapTiming {
public:
    // `intake` is the hit intake whose batches the hit handlers hand their saves to.
    // Questions to the official (number input, class picker, retired racer, messages) go
    // to `op`. None is owned; all outlive this.
    LapTiming(LapHost& host, HitIntake& intake, Operator& op);
    ~LapTiming();
    LapTiming(const LapTiming&) = delete;
    LapTiming& operator=(const LapTiming&) = delete;

    LapHost& host() const { return host_; }
    HitIntake& intake() const { return intake_; }
    Operator& op() const { return op_; }

    // ---- the event state (formerly globals)

    // Formerly gRaceItems: the lap events in time order; index = grid row - 1. Null until
    // a single-lane event is first loaded (or the first single-lane hit).
    std::unique_ptr<TRaceItemList>& raceItems();
    const std::unique_ptr<TRaceItemList>& raceItems() const;
    // Formerly gLapStartState: 0 idle, 1 after NEXT, 2 after START or a start signal.
    int& lapStartState();
    int lapStartState() const;
    // Formerly gPendingRacer and gPendingClass: racer and class given for the next start;
    // 0 and -1 = none.
    int& pendingRacer();
    int pendingRacer() const;
    int& pendingClass();
    int pendingClass() const;
    // Formerly gCourseQueue (and gCourseQueueCount): modes 1 and 6, the start events
    // (STSIG, FRST) of the racers on the course, newest first.
    std::vector<TRaceItem*>& courseQueue();
    const std::vector<TRaceItem*>& courseQueue() const;
    int courseQueueCount() const { return static_cast<int>(courseQueue().size()); }
    // Formerly gFinishQueue (and gFinishQueueCount): mode 4, the start events of the
    // racers that have not finished yet, oldest first. Entry i is what row i of the
    // on-course list shows.
    std::vector<TRaceItem*>& finishQueue();
    const std::vector<TRaceItem*>& finishQueue() const;
    int finishQueueCount() const { return static_cast<int>(finishQueue().size()); }
    // Formerly gCntOnLane: the number of racers on the course as the last queue rebuild
    // counted it.
    int& cntOnLane();
    int cntOnLane() const;
    // Formerly gLapResults: the results of the last collectLapResults.
    const std::vector<std::unique_ptr<TLapResult>>& lapResults() const;
    // Formerly gLapResultsTable: the table of the last build applied (what the results
    // window was given).
    const LapResultsTable& lapResultsTable() const;

    // ---- the event list and its file (lap_events.cpp)

    // The event at index, or null (negative index, index past the end, no list).
    TRaceItem* getRaceItem(int index) const;
    // True when an event of `kind` lies strictly less than windowMs from `time`.
    bool hasKindWithin(uint32_t kind, uint64_t time, uint64_t windowMs) const;
    // True when a new event of `kind` at `time` would repeat one already in the list.
    bool isDuplicateRaceItem(uint32_t kind, uint64_t time) const;
    // Recomputes lap, fromStart and current of every event, reorders the classes of the
    // racers on the course, asks for a lap results rebuild and refreshes the lap scoreboard.
    void recalcRaceItems(TRaceItemList& list);
    // Moves a class up to `position` in the registry's class order.
    void moveClassToPosition(int32_t classId, int position);
    // Text of one cell of the lap grid (columns 0..6).
    std::string raceItemCellText(int index, int column) const;
    // Rewrites lap_single.txt of the event folder (atomically). Ok when written.
    Status saveLapSingle();
    // saveLapSingle, a failure told in the log window (once per run of failures).
    Status saveLapSingleReported();
    // Replaces the list by lap_single.txt of the event folder, rebuilds the queue of the
    // mode, recalculates and sizes the grid. A missing file gives an empty list.
    void loadLapSingle();

    // ---- hit intake, queues, START and NEXT (lap_intake.cpp)

    // The hit handlers of modes 1, 4 and 6: node id, signal (0..3 for a transponder hit),
    // hit time (ms since 1970, node clock), racer (0 = none) and its class (-1 = none).
    // 1 when the hit was taken or was a repeat, 0 when it was ignored.
    int processHitLapSingle(int node, int signal, uint64_t time, int racer, int classId);
    int processHitStartFinish(int node, int signal, uint64_t time, int racer, int classId);
    int processHitGymkhana(int node, int signal, uint64_t time, int racer, int classId);

    // START: 0, or -1 when the operator cancelled the number dialog (send no start then).
    int lapStart(int number);
    // NEXT.
    void lapNext(int number);
    // Asks for (or takes) the next racer and his class: 0, or -1 on cancel.
    int askLapRacerNumber(int number);
    // Gives the event at index a racer and class; classId -2 asks the class picker when the
    // racer has several classes. Recalculates and saves.
    void setRaceItemRacer(int index, int racer, int classId);

    void rebuildCourseQueue(); // in mode 4 rebuilds the finish queue instead
    void rebuildFinishQueue();
    void assignFromPreviousEvent(int index);
    void pairSignalWithNextLine(int index);
    void pairLineWithNextSignal(int index);
    // The newest laps as a text block on a type-117 scoreboard.
    void showLastLapsOnScoreboard();
    // Inserts an event in time order (after the events of the same time); its index.
    int insertRaceItem(std::unique_ptr<TRaceItem> item);
    // Drops what the intake keeps of the end of the event list (the newest start of the
    // course group, the retirements after it, the finish queue's progress): every change
    // other than appending events calls it, directly or through recalcRaceItems.
    void forgetLapTail();

    // ---- the operator's edits, index = grid row - 1 (lap_edits.cpp)

    // Grid rows firstRow..lastRow; -1, -1 deletes every event. Backs the file up first
    // (lap_single_undelete.txt and a history copy); when the backup fails nothing is deleted.
    void deleteRaceItems(int firstRow, int lastRow);
    void undeleteRaceItems();
    void setRaceItemPenalty(int index, int32_t ms);
    void setRaceItemKind(int index, uint32_t kind);
    void togglePenaltyLap(int index);
    // Retires the racer of the queue entry at index (-1: ask in the retired racer dialog).
    void retireRacer(int index);
    void refreshRaceItemClasses();
    void assignClassesByBestLap();

    // ---- lap results, main-thread side (lap_results.cpp; see core/lap/lap_results.h)

    // After a change of the lap events (or to refresh the results window): hands the
    // lap results worker (LapHost::lapResultsWorker) the whole list, which it builds
    // 500 ms after the last change. Without a worker nothing is scheduled.
    void scheduleLapResults();
    // The whole list of counted events, the registry and the options as a change for the
    // kept results (core/lap/lap_results_model.h).
    LapResultsChange wholeLapResultsChange() const;
    // Takes a finished build: the class result lists, lapResultsTable() and the results
    // window. Dropped when the console has left the lap modes meanwhile.
    void applyLapResults(LapResultsOutput output);
    // The rebuild at once, on the calling (main) thread: builds, writes the HTML results
    // table and applies the build. Nothing unless mode 1, 4 or 6, the lap events exist and
    // the results window exists.
    void buildLapResults();
    // Gathers lapResults() from the events and computes the totals, without writing
    // anything (the split into classes uses it). Writes penaltyLapCarry of the events.
    void collectLapResults(const TLapRankOptions& options);

private:
    // What the intake keeps of the end of the list, so that a hit does not walk back over
    // the whole event: the newest event that is neither a lap nor a retirement (the newest
    // start of the course group), the retirements after it, and how far the mode-4 finish
    // queue has been folded in, all as of the first `scanned` events. Appending events only
    // moves it on; every other change drops it (forgetLapTail), and the next hit walks the
    // list once more.
    struct LapTail {
        static constexpr size_t kNone = static_cast<size_t>(-1);
        bool valid = false;
        size_t scanned = 0;
        const TRaceItem* lastScanned = nullptr;
        size_t boundary = kNone;
        const TRaceItem* boundaryItem = nullptr;
        std::vector<const TRaceItem*> failsAfter; // retirements after the boundary, oldest first
        bool finishValid = false;                 // the finish queue holds the first finishScanned events
        size_t finishScanned = 0;
        const TRaceItem* finishLast = nullptr;
    };
    // An event marked current by the last recalculation, with its index then.
    struct MarkedEvent {
        size_t index;
        TRaceItem* item;
    };
    // What lap_single.txt holds: the first `events` events of the list as they stand
    // (npos: not known), `bytes` long, in `file`.
    struct SavedFile {
        size_t events = std::string::npos;
        uintmax_t bytes = 0;
        std::filesystem::path file;
    };
    class CurrentMarker; // lap_events.cpp

    // ---- steps shared by the sources (lap_timing.cpp)
    std::optional<TimingMode> lapMode() const { return timingModeFrom(host_.raceMode()); }
    int eventCount() const;
    // The list, created when it does not exist.
    TRaceItemList& ensureRaceItems();
    // Runs `free` (which removes events from the list) after dropping everything that
    // observes events: the queues and the lap results.
    void releaseEvents(const std::function<void()>& free);
    // Empties both queues and rebuilds the one of the current mode.
    void rebuildQueuesAfterFree();
    // Recalculates, repaints the grid and saves: the common end of every change.
    void finishLapChange();
    // A file of the event folder.
    std::filesystem::path lapFilePath(std::string_view name) const;
    // Index of the class the operator picks for a racer with several classes (the class
    // picker "Класс участника"); nullopt when nothing can be taken.
    std::optional<int32_t> pickRacerClass(const LapRacerInfo& racer);

    // ---- recalculation and file after a hit (lap_events.cpp)
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
    // `st` of a save of lap_single.txt, a failure told in the log window.
    Status reportedSave(Status st);

    // ---- the intake's steps (lap_intake.cpp)
    int processHit(TimingMode mode, int node, int signal, uint64_t time, int racer, int classId);
    // The kind of a hit; nullopt when it is ignored. Moves the start state.
    std::optional<uint32_t> hitKind(TimingMode mode, int signal);
    // The list still begins with what was scanned (an event appended since is fine).
    bool prefixKept(size_t count, const TRaceItem* last) const;
    // Brings the kept boundary up to the end of the list.
    void advanceTail();
    // The starts of the newest group of starters, newest first; `kept`: from what the
    // intake keeps instead of walking back.
    std::vector<TRaceItem*> courseGroup(bool kept = false);
    // The starts of the group whose racer did not retire after them.
    std::vector<TRaceItem*> stillOnCourse(const std::vector<TRaceItem*>& group, bool kept = false) const;
    // Folds one event into the finish queue.
    void foldIntoFinishQueue(TRaceItem& e);
    void finishQueueCounted();
    // The queue rebuilds for the intake: only the events appended since the last time.
    void advanceFinishQueue();
    void advanceCourseQueue();
    // The queue commands of the intake; `kept`: from what the intake keeps of the list.
    void assignFromCourse(int index, bool kept);
    void assignFromFinish(int index, bool kept);
    // setRaceItemRacer without the recalculation and save (the intake does both once).
    void applyRaceItemRacer(int index, int racer, int classId);
    void showNewLap(TimingMode mode);
    int32_t scoreboardTime(const TRaceItem& e) const;
    void showPendingOnTextBoard(TScoreboardController& sb, bool stopTiming);

    // ---- the results' steps (lap_results.cpp)
    // After a hit appended one event at the end of the list and only that event and the
    // current flags of the events at `flagged` changed: hands the worker that much (or
    // the whole list when its kept results are not in step).
    void scheduleLapResultsAfterAppend(const std::vector<size_t>& flagged);
    LapResultsChange baseChange(LapResultsChange::Kind kind) const;

    // ---- state, in the order built
    LapHost& host_;
    HitIntake& intake_;
    Operator& op_;
    ThreadOwner owner_;
    std::unique_ptr<TRaceItemList> raceItems_; // gRaceItems
    int lapStartState_ = 0;                    // gLapStartState
    int pendingRacer_ = 0;                     // gPendingRacer
    int pendingClass_ = -1;                    // gPendingClass
    std::vector<TRaceItem*> courseQueue_;      // gCourseQueue
    std::vector<TRaceItem*> finishQueue_;      // gFinishQueue
    int cntOnLane_ = 0;                        // gCntOnLane
    LapTail tail_;                             // the intake's gTail
    std::vector<MarkedEvent> markedCurrent_;   // the recalculation's gMarkedCurrent
    SavedFile saved_;                          // gSavedEvents, gSavedBytes, gSavedFile
    LapResultsState results_;                  // gLapResults, gLapResultsTable, gSyncedWorker
};

} // namespace velmaro
