#pragma once
// Lap timing of the single-lane modes (1 laps through one gate, 4 start and finish
// through two gates, 6 gymkhana): the lap events, their file lap_single.txt, the hit
// handlers with the queues of racers on the course, START and NEXT, and the operator's
// edits behind the lap grid.
//
// Ownership: gRaceItems owns its events (unique_ptr); the queues and the lap results
// only observe them. Every operation that frees events rebuilds the queues before it
// returns, so no queue entry ever outlives its event.
// Thread: everything here runs on the main thread.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/lap/lap_host.h"
#include "core/lap/lap_results.h"
#include "core/platform/status.h"

namespace velmaro {

// One lap event.
struct TRaceItem {
    // Event kinds (`kind`); any other value read from the file is kept and shown "UNKWN".
    enum Kind : uint32_t {
        LAP = 0,   // a line crossing that ends a lap
        STSIG = 1, // start signal (green light of the start unit)
        STLIN = 2, // first crossing of the start line after a start signal or START
        FRST = 3,  // first crossing after NEXT, with no start signal
        PLAP = 4,  // penalty lap: timed like a lap, no boundary for the next lap
        FAIL = 5,  // retirement of the racer
    };

    uint32_t racer = 0;          // start number; 0 = no racer
    uint32_t kind = LAP;
    uint64_t time = 0;           // ms since 1970 on the node clock
    int32_t lap = 0;             // lap time incl. penalty; 0 = none (derived)
    int32_t fromStart = 0;       // time since the start signal incl. penalty; 0 = none (derived)
    int32_t classId = -1;        // -1 = none
    int32_t penalty = 0;         // ms, set by the operator
    int32_t penaltyLapCarry = 0; // working value of the lap results; never stored
    uint8_t current = 0;         // 1 while the racer is on the course (derived)
    uint8_t falseStart = 0;      // always 0

    bool operator==(const TRaceItem&) const = default;
};

using TRaceItemList = std::vector<std::unique_ptr<TRaceItem>>;

// The lap events of the open single-lane event in time order; index = grid row - 1.
// Null until a single-lane event is first loaded (or the first single-lane hit).
extern std::unique_ptr<TRaceItemList> gRaceItems;

// ---- the event list and its file

// Sort order of gRaceItems: 1 when a is later, -1 when earlier, 0 when equal.
int compareRaceItemTime(const TRaceItem& a, const TRaceItem& b);
// The event at index, or null (negative index, index past the end, no list).
TRaceItem* getRaceItem(int index);
// True when an event of `kind` lies strictly less than windowMs from `time`.
bool hasKindWithin(uint32_t kind, uint64_t time, uint64_t windowMs);
// True when a new event of `kind` at `time` would repeat one already in the list.
bool isDuplicateRaceItem(uint32_t kind, uint64_t time);
// Recomputes lap, fromStart and current of every event, reorders the classes of the
// racers on the course, asks for a lap results rebuild and refreshes the lap scoreboard.
void recalcRaceItems(TRaceItemList& list);
// Moves a class up to `position` in the registry's class order.
void moveClassToPosition(int32_t classId, int position);
// "LAP", "STSIG", "STLIN", "FRST", "PLAP", "FAIL"; "UNKWN" for any other kind.
std::string_view raceKindName(uint32_t kind);
// Text of one cell of the lap grid (columns 0..6).
std::string raceItemCellText(int index, int column);
// The file line of one event, without line end: "racer,kind,time,lap,fromStart,class,penalty".
std::string formatLapLine(const TRaceItem& item);
// Parses one file line; false when it is not seven numbers in their ranges.
bool parseLapLine(std::string_view line, TRaceItem& item);
// Rewrites lap_single.txt of the event folder (atomically). Ok when written.
Status saveLapSingle();
// saveLapSingle, a failure told in the log window (once per run of failures).
Status saveLapSingleReported();
// Replaces the list by lap_single.txt of the event folder, rebuilds the queue of the
// mode, recalculates and sizes the grid. A missing file gives an empty list.
void loadLapSingle();

// ---- hit intake, queues, START and NEXT

// Start state: 0 idle, 1 after NEXT, 2 after START or a start signal.
extern int gLapStartState;
// Racer and class given for the next start; 0 and -1 = none.
extern int gPendingRacer;
extern int gPendingClass;
// Modes 1 and 6: the start events (STSIG, FRST) of the racers on the course, newest first.
extern std::vector<TRaceItem*> gCourseQueue;
// Mode 4: the start events of the racers that have not finished yet, oldest first.
// Entry i is what row i of the on-course list shows.
extern std::vector<TRaceItem*> gFinishQueue;
// The number of racers on the course as the last queue rebuild counted it.
extern int gCntOnLane;
inline int gCourseQueueCount() { return static_cast<int>(gCourseQueue.size()); }
inline int gFinishQueueCount() { return static_cast<int>(gFinishQueue.size()); }

// Node ids of the single-lane modes.
inline constexpr int kNodeStart = 1;
inline constexpr int kNodeFinish = 2;
inline constexpr int kNodeStart2 = 4;

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
void assignFromCourseQueue(int index);
void assignFromFinishQueue(int index);
void assignFromPreviousEvent(int index);
void pairSignalWithNextLine(int index);
void pairLineWithNextSignal(int index);
// The newest laps as a text block on a type-117 scoreboard.
void showLastLapsOnScoreboard();
// "%d:%02d.%03d" of minutes, seconds, ms.
std::string formatLapTime(int32_t ms);
bool lessRaceItemLap(const TRaceItem* a, const TRaceItem* b);
bool lessRaceItemFromStart(const TRaceItem* a, const TRaceItem* b);

// ---- the operator's edits (index = grid row - 1)

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

// Drops every lap event, queue and pending racer (tests, closing an event).
void resetLapTiming();

} // namespace velmaro
