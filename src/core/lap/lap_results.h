#pragma once
// Lap results of the single-lane modes: one result per racer and class built from the
// lap events, ranked in class sections and overall, written as a table of texts for the
// results window, into the class records' result lists and as the HTML results table.
//
// The rebuild is debounced: every change of the lap events calls scheduleLapResults,
// which restarts a 500 ms one-shot countdown on the main thread (lapResultsTimerTick
// fires it). When it fires the lap results worker is flagged; the worker has the
// rebuild run on the main thread (LapHost::runOnMainThread). A host that cannot run
// work on the main thread from another thread gets the rebuild from lapResultsTimerTick
// itself, right after the flag is set.
//
// Ownership: gLapResults owns its records; a record observes lap events of gRaceItems
// and is valid only until the next change of the list (rebuild after it).
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/records/results_table.h"

namespace velmaro {

struct TRaceItem;

// One racer in one class.
struct TLapResult {
    TRaceItem* bestClean = nullptr;     // stands for the racer under clean time
    TRaceItem* bestFromStart = nullptr; // stands for the racer under dirty time
    std::vector<TRaceItem*> events;     // counted events (LAP, PLAP, FAIL) in time order
    std::vector<int> eventIndexes;      // their indexes in gRaceItems
    int32_t sum = 0;                    // sum of lap (clean) or fromStart (dirty) of the LAPs
    int32_t penaltySum = 0;             // sum of the LAPs' penalties
    int32_t lapCount = 0;               // number of LAPs
    int32_t eventCount = 0;             // = events.size()
    uint32_t racerNumber = 0;
    int32_t classId = -1;
    bool classRegistered = false;       // the registry holds classId (set by the class sections)
    std::string className;              // its name then
    bool racerRegistered = false;       // a registered racer has racerNumber
    std::string name, city, team, carModel; // the racer's texts when registered
    uint8_t current = 0;                // any counted event is marked current
    int classPosition = 0;              // index of the class in the registry's order (sort key)
};

// The time rules of one rebuild, read from the results window when it starts.
struct TLapRankOptions {
    bool clearTime = true; // clean time (lap); false = dirty time (from the start signal)
    bool sumTime = false;  // rank by the sum of the laps
    bool operator==(const TLapRankOptions&) const = default;
};

// The results grid of the lap modes (core/records/results_table.h has the cell grammar).
struct LapResultsTable : ResultsTable {
    bool operator==(const LapResultsTable&) const = default;
};

// The results of the last rebuild.
extern std::vector<std::unique_ptr<TLapResult>> gLapResults;
// The table of the last rebuild (what the results window was given).
extern LapResultsTable gLapResultsTable;

// The lap results worker. Created by the first loadLapSingle; polls rebuildRequested
// every 20 ms and has buildLapResults run on the main thread.
class TSingleLapResultsCntr {
public:
    struct Worker;

private:
    std::shared_ptr<Worker> worker_; // shared with the worker thread; declared first (see rebuildRequested)
    bool threaded_ = false;

public:
    // Starts the worker thread unless createSuspended (loadLapSingle creates it suspended
    // when the host cannot run work on the main thread: then lapResultsTimerTick rebuilds).
    explicit TSingleLapResultsCntr(bool createSuspended);
    ~TSingleLapResultsCntr();
    TSingleLapResultsCntr(const TSingleLapResultsCntr&) = delete;
    TSingleLapResultsCntr& operator=(const TSingleLapResultsCntr&) = delete;

    // 1 while a rebuild is asked for; thread safe, non-blocking. It lives in the worker's
    // shared state, so a worker still winding down never reads freed memory.
    std::atomic<int32_t>& rebuildRequested;

    // Asks the worker to end at its next poll; does not wait.
    void terminate();
    bool threaded() const;
    // True once the worker thread has ended.
    bool finished() const;
};

// Null until the lap file is first loaded.
extern TSingleLapResultsCntr* gLapResultsCntr;

// Restarts the 500 ms one-shot countdown of the lap results (main thread).
void scheduleLapResults();
// The results timer: call it often on the main thread (every 20 ms or so). When the
// countdown has run out: stops it and, in modes 1, 4 and 6 with a worker, flags the
// rebuild; without a worker thread the flagged rebuild runs here.
void lapResultsTimerTick();
// Milliseconds left of the countdown; nullopt when it is not running.
std::optional<int64_t> lapResultsCountdown();
// Asks the worker to end and waits at most about 100 ms for it.
void stopLapResultsThread();

// The rebuild (main thread): nothing unless mode 1, 4 or 6, the lap events exist and
// the results window exists.
void buildLapResults();
// Gathers gLapResults from gRaceItems and computes the totals, without writing
// anything (the split into classes uses it).
void collectLapResults(const TLapRankOptions& options);
void computeLapTotals(std::vector<std::unique_ptr<TLapResult>>& results, const TLapRankOptions& options);
// Negative when a goes first.
int compareLapResultsByClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options);
int compareLapResults(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options);
// The HTML results table of a results grid.
std::string lapResultsHtml(const LapResultsTable& table);
// "m:ss.mmm", signed ("-m:ss.mmm" below 0).
std::string formatResultTime(int32_t ms);

} // namespace velmaro
