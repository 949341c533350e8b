#pragma once
// The hit intake: the one door through which every sensor hit enters the timing logic
// (main thread only). It drops a hit already logged, acts on the remote control signals,
// turns a transponder signal into a racer, hands the hit to the handler of the current
// timing mode and keeps the event's hit list with its file hitlog.txt.
//
// The mode handlers plug into one dispatch table (HitIntake::handlers()); the drag and
// lap areas register theirs at start-up. What the intake needs of the main window (timing
// mode, event folder, registry, START and Block ST, hit log window) comes through its
// HitIntakeHost, given to the constructor. The composition root builds one HitIntake
// and hands it by reference to the mode areas, the hit log window and the link events;
// tests build as many as they need, side by side.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/hits.h"
#include "core/platform/files.h"
#include "core/platform/status.h"
#include "core/platform/thread_owner.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

class Operator;

// Where a hit comes from (last argument of processHit and of the two-lane handlers).
enum HitSource : int {
    HIT_FROM_DEVICE = 0,       // a node, through the link queue: duplicate filter, logged
    HIT_FROM_LOG_SELECTED = 1, // hit log window "Вкл. в расчет": no filter, logged (no second record)
    HIT_FROM_LOG_CURRENT = 2   // hit log window Enter: no filter, not logged
};

// Signal numbers (param of a node's hit message).
enum SignalNumber : int {
    SIG_LEFT = 0,
    SIG_STAGE_LEFT = 1,
    SIG_RIGHT = 2,
    SIG_STAGE_RIGHT = 3,
    SIG_PRESTAGE_LEFT = 4,
    SIG_PRESTAGE_RIGHT = 5,
    SIG_GREEN = 6,
    SIG_START_REQUEST = 9, // start request from the start unit: starts an armed run
    SIG_COMB_START_LEFT = 10,
    SIG_COMB_START_RIGHT = 11,
    SIG_STAGE_OPEN_LEFT = 12,
    SIG_STAGE_OPEN_RIGHT = 13,
    SIG_STAGE_RELEASE = 15, // like 1 and 3: releases Block ST while a run is armed
    SIG_REMOTE_START = 101,
    SIG_REMOTE_BLOCK = 102,
    SIG_REMOTE_RESET = 103
};

// Transponder signals: (signal >> 2) > 1000, or bit 15 set.
bool isTransponderSignal(int signal);
int transponderTag(int signal);    // (signal & 0x7FFF) >> 2
int transponderSensor(int signal); // signal & 3

// THitRecord, the logged hit, is in core/link/hits.h with the hit it is made of.

// -1, 0 or 1: seconds, milliseconds (unsigned), node, signal (signed).
int compareHits(const THitRecord& a, const THitRecord& b);
// Removes from a sorted list every record equal (compareHits 0) to the one before it;
// the earlier record stays.
void removeDuplicateHits(std::vector<THitRecord>& list);

// Hit log file text: one "%d,%d,%u,%u,%llu" line per record.
std::string formatHitLog(std::span<const THitRecord> list);
// Parses hitlog.txt text: five-field lines, four-field lines (arrival 0); others skipped.
// The result is sorted with compareHits; duplicates are kept.
std::vector<THitRecord> parseHitLog(std::string_view text);
Status saveHitLogFile(const std::filesystem::path& file, const std::vector<THitRecord>& list);
// A missing or unreadable file gives an error and leaves `list` empty.
Status loadHitLogFile(const std::filesystem::path& file, std::vector<THitRecord>& list);

// ---- mode hit handlers ----
// Lap handlers (modes 1, 4, 6): node, signal (sensor 0..3 for a transponder hit), node time
// in ms, racer number (0 = none), class id (-1 = none).
using LapHitHandler = std::function<void(int node, int signal, std::uint64_t timeMs, int racerNumber, int classId)>;
// Two-lane handlers (modes 0, 2, 3, 5, 7, 8): node, signal, node time in ms, hit source.
// Modes 2 and 8 bind their variant (0 and 1) into the registered function.
using DragHitHandler = std::function<void(int node, int signal, std::uint64_t timeMs, int source)>;

// The one table from timing mode to its hit handler.
class ModeHitHandlers {
public:
    void setLapHandler(TimingMode mode, LapHitHandler handler);
    void setDragHandler(TimingMode mode, DragHitHandler handler);
    void clear(TimingMode mode);
    void clearAll();
    bool has(int mode) const;
    // Calls the handler of `mode`; false when the mode has none.
    bool dispatch(int mode, int node, int signal, std::uint64_t timeMs, int racerNumber, int classId, int source) const;

private:
    struct Entry {
        LapHitHandler lap;
        DragHitHandler drag;
    };
    Entry entries_[kTimingModeCount];
};

// A racer found by transponder tag.
struct TagRacer {
    int number = 0;   // 0 = none
    int classId = -1; // first class id, -1 when the racer has no class
};

// What the intake needs of the rest of the console (main thread). The composition root
// implements it; tests give fakes.
class HitIntakeHost {
public:
    HitIntakeHost() = default;
    HitIntakeHost(const HitIntakeHost&) = delete;
    HitIntakeHost& operator=(const HitIntakeHost&) = delete;
    virtual ~HitIntakeHost() = default;

    virtual int timingMode() = 0;                    // current timing mode; none = -1
    virtual std::filesystem::path eventFolder() = 0; // open event folder; empty = none
    virtual std::optional<TagRacer> findRacerByTag(int tag) = 0;
    virtual void remoteStart() = 0;                           // signal 101: press START
    virtual void remoteBlock() = 0;                           // signal 102: stopTiming, Block ST down + click
    virtual void remoteReset() = 0;                           // signal 103: scoreboard reset(1)
    virtual void hitListChanged(std::size_t recordCount) = 0; // hit log grid: rows = count + 1, repaint
    virtual std::uint64_t utcNowMs() = 0;                     // arrival clock (systemUtcNowMs in the console)
    virtual void log(const std::string& line) = 0;            // a line in the log window
    // The device hits of a batch, once the files of the timing mode are written and just
    // before hitlog.txt is: the link's journal notes them as taken, so that a crash
    // between the two writes does not have them taken again at the restart.
    virtual void hitsTaken(const std::vector<TSignalHit>& hits) = 0;
    // Just before the timing mode writes bytes to an event file for some hits (one entry
    // per hit, each with the same file, offset, length and contentChecksum): the journal
    // notes it, so that after a crash before hitsTaken the restart can tell whether the
    // file got them.
    virtual void hitsWriting(const std::vector<JournalWrite>& writes) = 0;
    // The official's log window.
    virtual Operator& op() = 0;
};
// The system clock: UTC milliseconds since 1970.
std::uint64_t systemUtcNowMs();

class HitIntake {
public:
    explicit HitIntake(HitIntakeHost& host);
    HitIntake(const HitIntake&) = delete;
    HitIntake& operator=(const HitIntake&) = delete;

    HitIntakeHost& host() const { return host_; }

    // ---- the intake's state (formerly globals)

    // Formerly gHitList: all hits of the open event, sorted by compareHits, no two equal.
    std::vector<THitRecord>& hitList();
    const std::vector<THitRecord>& hitList() const;
    // Formerly gTranspondersInUse: set by the first transponder hit, never cleared.
    std::uint8_t& transpondersInUse();
    std::uint8_t transpondersInUse() const;
    // Formerly modeHitHandlers(): the table from timing mode to its hit handler.
    ModeHitHandlers& handlers();

    void processHit(int node, int signal, std::uint64_t timeMs, int source);
    bool hitExists(int node, int signal, std::uint32_t seconds, std::uint32_t milliseconds) const;
    // True when hitlog.txt holds every record of hitList() (the last write succeeded and
    // nothing was logged since), and no hit logged before an event load was left out of
    // every hitlog.txt (then the node link's journal keeps its hits until the next start,
    // whose replay logs them).
    bool hitLogSaved() const;

    // ---- batches (see HitBatch)
    void afterHits(const char* key, std::function<void()> work);
    // The timing mode's event file now holds every hit the open batch has taken (a crash from
    // here on keeps them): the journal is told at once (HitIntakeHost::hitsTaken). The
    // mode's file writer calls it at that very moment; a batch that did not is told at its
    // end, before hitlog.txt. Nothing when no hit waits to be told.
    void noteHitsTaken();
    // The timing mode's writer is about to put `bytes` at `offset` of `file` (its name in the
    // event folder) for the hits the open batch has taken and not yet told: the journal
    // notes it (HitIntakeHost::hitsWriting). Nothing when no hit waits to be told.
    void noteHitsWriting(const std::string& file, std::uint64_t offset, std::string_view bytes);

    // Feeds hits through processHit (device source) in time order, in one batch, skipping
    // those already logged. For hits kept by the node link's journal across a crash. The
    // hits also in `taken` had reached the event's files before the crash (only hitlog.txt
    // lacked them): they are logged and not taken by the timing mode a second time.
    void replayHits(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken);
    // The same replay taken a hit at a time (the window's slices take it before the link's
    // hits): queueReplay puts the hits in their order, replacing a replay still queued;
    // replayNextHit feeds the next one as replayHits would (inside the caller's batch),
    // false when none is left; dropReplay forgets those not fed yet.
    void queueReplay(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken);
    bool replayNextHit();
    // The rest of a queued replay, in one batch.
    void replayRest();
    bool replayPending() const;
    void dropReplay();
    // Reloads hitList() from hitlog.txt of the open event (called when an event is loaded).
    // Records not yet in hitlog.txt are written first when the list is the same event's;
    // records that still reach no file are told in the log and keep hitLogSaved() false.
    void loadHitLog();
    // Marks the record of a hit fed again from the hit log window as used.
    void markHitUsed(int node, int signal, std::uint32_t seconds, std::uint32_t milliseconds);

private:
    friend class HitBatch;

    // What hitlog.txt holds: formatHitLog of the list as last written there, `bytes` long.
    // Of the hit list, the first `placed` records are at their place in it, the first
    // `placedBytes` bytes (npos: not known, the next write replaces the file whole).
    // `tailUnflushed`: the file was last changed by a tail write and not flushed since;
    // the intent hitlog.txt.tail stands for that tail.
    struct HitLogOnDisk {
        std::filesystem::path file;
        std::size_t placed = std::string::npos;
        std::uint64_t placedBytes = 0;
        std::uint64_t bytes = 0;
        FileStamp stamp; // as last written by a tail write or an append
        bool tailUnflushed = false;
        bool saved = true; // the last save succeeded and no record came since
    };
    struct ReplayState {
        std::vector<TSignalHit> hits; // in time order
        std::vector<bool> taken;      // per hit: in the event's files already, only logged
        std::size_t next = 0;
    };
    struct BatchState {
        int depth = 0;
        std::vector<std::pair<std::string, std::function<void()>>> work;
        std::vector<TSignalHit> taken; // device hits of the batch, for the journal's note
    };

    void notifyListChanged();
    std::filesystem::path hitLogPath() const;
    std::string hitLogTail(std::size_t from) const;
    bool writeHitLogTail(const std::filesystem::path& file, Status& st);
    void writeHitLog();
    void closeBatch();
    void logRecord(const THitRecord& record);
    void logTakenHit(const TSignalHit& hit);
    void readEventHitLog();

    // ---- state, in the order built
    HitIntakeHost& host_;
    ThreadOwner owner_;
    std::vector<THitRecord> hitList_;    // gHitList
    std::uint8_t transpondersInUse_ = 0; // gTranspondersInUse
    ModeHitHandlers handlers_;           // modeHitHandlers()
    HitLogOnDisk onDisk_;
    std::filesystem::path listFile_; // the hitlog.txt hitList_ was loaded from (empty: no event)
    bool hitsLeftOut_ = false;       // hits logged before a load reached no hitlog.txt                // gOnDisk
    BatchState batch_;               // gBatch
    ReplayState replay_;
};

// ---- batches ----
// Hits taken in together (a slice of the link queue, a journal replay) share one write of
// each file they change. While a HitBatch is open, work handed to HitIntake::afterHits runs
// once, when the outermost batch of that intake closes, in the order first handed (a later
// hand-over under the same key replaces the work), except that the hits' note to the
// journal and then hitlog.txt always come last; with no batch open it runs at once.
// processHit hands the hit log grid, the note and hitlog.txt over this way; the mode
// handlers hand their event file and the results thread. Main thread only.
class HitBatch {
public:
    explicit HitBatch(HitIntake& intake);
    ~HitBatch(); // runs the work handed over (outermost batch only)
    HitBatch(const HitBatch&) = delete;
    HitBatch& operator=(const HitBatch&) = delete;

private:
    HitIntake& intake_;
};

} // namespace velmaro
