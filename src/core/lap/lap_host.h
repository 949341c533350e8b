#pragma once
// What the lap timing needs of the rest of the console, behind one small interface.
//
// The lap timing (core/lap/lap_timing.h: the lap event model, the hit handlers of modes
// 1, 4 and 6, START and NEXT, the operator's edits and the lap results) reaches the main
// window (mode, event folder, Block ST, the lap grid, the on-course list), the node
// link's transponder flag, the scoreboard settings, the scoreboard controller, the
// registry of racers and classes and the results window only through the LapHost it is
// built with. The composition root builds one that forwards to those objects; tests
// build fakes. Every method is pure: a host answers for all of them.
//
// Questions (number input, class picker, retired racer, messages) go to the Operator
// the lap timing is built with (core/platform/operator.h), not through the host.
//
// Ownership: a LapTiming does not own its host; the host must outlive it.
// Thread: every method is called on the main thread.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmaro {

class TScoreboardController; // core/app/scoreboard_controller.h
struct LapResultsTable;      // core/lap/lap_results.h
class LapResultsWorker;      // core/lap/lap_results_worker.h

// A registered racer as the lap timing sees it (a copy of the registry's record).
struct LapRacerInfo {
    uint32_t number = 0;
    std::string name;
    std::string carModel;
    std::string city;
    std::string team;
    std::vector<int32_t> classIds; // the racer's classes, the first is the racer's first class

    bool operator==(const LapRacerInfo&) const = default;
};

// A registered class as the lap timing sees it.
struct LapClassInfo {
    int32_t id = -1;
    std::string name;
    int32_t minTime = 0; // tenths of a second, 0 = no lower limit
    int32_t maxTime = 0; // tenths of a second, 0 = no upper limit; exclusive

    bool operator==(const LapClassInfo&) const = default;
};

// The registry of the open event (the registration window's racers and classes).
class LapRegistry {
public:
    LapRegistry() = default;
    LapRegistry(const LapRegistry&) = delete;
    LapRegistry& operator=(const LapRegistry&) = delete;
    virtual ~LapRegistry() = default;

    // Every racer in registration order.
    virtual std::vector<LapRacerInfo> racers() const = 0;
    // The first racer with that number; nullopt for 0 and when none has it.
    virtual std::optional<LapRacerInfo> findRacer(uint32_t number) const = 0;
    // Every class in display order (the order of the lap results' class sections).
    virtual std::vector<LapClassInfo> classes() const = 0;
    // Moves the class at index `from` to index `to` (to < from), the classes between
    // moving down by one. Indexes are valid.
    virtual void moveClass(int from, int to) = 0;
    // Replaces the class list of the first racer with that number.
    virtual void setRacerClasses(uint32_t number, const std::vector<int32_t>& classIds) = 0;
    // Writes racers.txt and the racer database.
    virtual void saveRacers() = 0;
    // Empties both result lists (results and timedResults) of every class.
    virtual void clearClassResults() = 0;
    // Appends to the class's result list a result that carries only the racer number.
    virtual void appendClassResult(int32_t classId, uint32_t racerNumber) = 0;
};

class LapHost {
public:
    LapHost() = default;
    LapHost(const LapHost&) = delete;
    LapHost& operator=(const LapHost&) = delete;
    virtual ~LapHost() = default;

    // ---- the main window and the node link
    virtual int raceMode() const = 0; // timing mode 0..8
    virtual std::filesystem::path eventFolder() const = 0;
    virtual bool blockStDown() const = 0;            // "Block ST" button down
    virtual bool editingNumber() const = 0;          // the grid's number input is open
    virtual bool transpondersInUse() const = 0;      // a transponder hit was seen
    virtual bool showDirtyTime() const = 0;          // "Выводить грязное время"
    virtual TScoreboardController* scoreboard() = 0; // null when none exists
    // Null when the registration window does not exist.
    virtual LapRegistry* registry() = 0;

    // ---- the lap grid `SingleLaneGrid` (row r shows event r - 1) and the on-course list
    virtual int gridCurrentRow() const = 0;
    virtual void setGridCurrentRow(int row) = 0;
    virtual void setGridRowCount(int rows) = 0;
    virtual void repaintGrid() = 0;
    // `lvChannel`: the finish queue of mode 4 (item count, then repaint).
    virtual void setOnCourseListCount(int count) = 0;

    // ---- the results window
    virtual bool resultsWindowExists() const = 0;
    virtual bool clearTime() const = 0; // "Чистое время" checked (else dirty time)
    virtual bool sumTime() const = 0;   // "Суммарное время" checked
    // Hands a freshly built results table to the results window's grid.
    virtual void showLapResults(const LapResultsTable& table) = 0;

    // ---- threads
    // The lap results worker that builds the results off the main thread; null (tests of
    // other parts): nothing is scheduled, and LapTiming::buildLapResults builds at once.
    virtual LapResultsWorker* lapResultsWorker() = 0;
};

} // namespace velmaro
