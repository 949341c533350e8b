#pragma once
// Lap results of the single-lane modes: one result per racer and class built from the
// lap events, ranked in class sections and overall, written as a table of texts for the
// results window, into the class records' result lists and as the HTML results table.
//
// The rebuild is debounced and runs off the main thread: every change of the lap
// events hands the lap results worker (core/lap/lap_results_worker.h) what changed,
// the worker builds 500 ms after the last change from its own copy (only the racers
// whose events changed are formatted again), writes the HTML results table and hands
// the build back to the main thread (LapTiming::applyLapResults).
//
// Ownership: LapResultsState::results owns its records; a record observes lap events
// of its LapTiming's list and is valid only until the next change of the list.
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
    std::vector<int> eventIndexes;      // their indexes in the list
    int32_t sum = 0;                    // sum of lap (clean) or fromStart (dirty) of the LAPs
    int32_t penaltySum = 0;             // sum of the LAPs' penalties
    int32_t lapCount = 0;               // number of LAPs
    int32_t eventCount = 0;             // = events.size()
    uint32_t racerNumber = 0;
    int32_t classId = -1;
    bool classRegistered = false;           // the registry holds classId (set by the class sections)
    std::string className;                  // its name then
    bool racerRegistered = false;           // a registered racer has racerNumber
    std::string name, city, team, carModel; // the racer's texts when registered
    uint8_t current = 0;                    // any counted event is marked current
    int classPosition = 0;                  // index of the class in the registry's order (sort key)
};

// The time rules of one rebuild, read from the results window when it starts.
struct TLapRankOptions {
    bool clearTime = true; // clean time (lap); false = dirty time (from the start signal)
    bool sumTime = false;  // rank by the sum of the laps
    bool operator==(const TLapRankOptions&) const = default;
};

// The results grid as texts, row after row in one list: row 0 holds the column titles;
// every row has one cell per column. Cell grammar: a row whose cell 0 is empty is a
// header row (class titles and "Абсолютный зачет"); everything from the first "|" of a
// cell is hidden (in a lap cell the index of its lap event in the list, in the place
// cell of a class section the current-racer flag "1" or "0").
struct LapResultsTable {
    std::vector<std::string> texts; // rowCount() x columnCount(), row-major
    std::vector<int> columnWidths;  // pixels
    int columnCount() const { return static_cast<int>(columnWidths.size()); }
    int rowCount() const { return columnWidths.empty() ? 0 : static_cast<int>(texts.size() / columnWidths.size()); }
    const std::string& cell(int row, int column) const { return texts[index(row, column)]; }
    // The same grid as the results window and its export take it.
    ResultsTable toResultsTable() const;
    std::string& cell(int row, int column) { return texts[index(row, column)]; }
    bool operator==(const LapResultsTable&) const = default;

private:
    size_t index(int row, int column) const {
        return static_cast<size_t>(row) * columnWidths.size() + static_cast<size_t>(column);
    }
};

class LapResultsWorker; // core/lap/lap_results_worker.h

// The lap results a LapTiming keeps on the main thread (core/lap/lap_timing.h builds,
// schedules and applies them).
struct LapResultsState {
    // Formerly the global gLapResults: the results of the last collectLapResults.
    std::vector<std::unique_ptr<TLapResult>> results;
    // Formerly gLapResultsTable: the table of the last build applied (what the results
    // window was given).
    LapResultsTable table;
    // Formerly gSyncedWorker: the worker whose kept results hold the list as of the last
    // change handed to it (then a hit that appends one event hands over that event alone).
    LapResultsWorker* syncedWorker = nullptr;
};

void computeLapTotals(std::vector<std::unique_ptr<TLapResult>>& results, const TLapRankOptions& options);
// What the ranking within a class reads of one result: its laps and the event that
// stands for it under the time rule (bestClean or bestFromStart) with its carry.
struct LapRankKey {
    int32_t lapCount = 0;
    int32_t sum = 0;
    uint32_t bestKind = 0;
    int32_t bestLap = 0;
    int32_t bestFromStart = 0;
    int32_t bestCarry = 0;
};
// Negative when a goes first (within one class, and in the overall section).
int compareLapRankKeys(const LapRankKey& a, const LapRankKey& b, const TLapRankOptions& options);
// Negative when a goes first.
int compareLapResultsByClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options);
int compareLapResults(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options);
// "m:ss.mmm", signed ("-m:ss.mmm" below 0).
std::string formatResultTime(int32_t ms);

} // namespace velmaro
