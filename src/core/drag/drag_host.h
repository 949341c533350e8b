#pragma once
// What the drag-run core needs of the rest of the console, behind one small interface.
//
// The run model, hit handlers, scoreboard output and run file reach the main window's
// settings, the registry, the class brackets, the node link, the radio scoreboards, the
// scoreboard controller, the run grid and the drag results thread only through the
// DragHost their DragRuns was built with. The composition root builds one that forwards to
// those objects; tests build fakes. Every method is pure: a host answers for all of them.
//
// Ownership: DragRuns does not take ownership; the host must outlive it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmaro {

class DragRuns;              // core/drag/drag_runs.h
class HitIntake;             // core/intake/hit_intake.h
class Operator;              // core/platform/operator.h
class TRegistry;             // core/registration/registry.h
class TScoreboardController; // core/app/scoreboard_controller.h

// A registered racer as the drag core sees it.
struct DragRacerInfo {
    std::string name;
    std::string city;
    std::vector<int32_t> classIds; // every class the racer is entered in, registry order
};

class DragHost {
public:
    DragHost() = default;
    DragHost(const DragHost&) = delete;
    DragHost& operator=(const DragHost&) = delete;
    virtual ~DragHost() = default;

    // ---- settings of the main window
    virtual int raceMode() const = 0; // timing mode 0..8
    virtual std::filesystem::path eventFolder() const = 0;
    virtual bool proStartSignal() const = 0;     // "Светофор PRO Start" ticked
    virtual float speedTrapDistance() const = 0; // metres
    virtual int blockFinishTimeout() const = 0;  // whole seconds
    virtual bool blockStDown() const = 0;        // "Block ST" button down
    virtual bool showDirtyTime() const = 0;      // "Выводить грязное время"
    virtual int invertScoreboard() const = 0;    // 0 or 1

    // ---- registry and brackets
    virtual std::optional<DragRacerInfo> findRacer(int32_t number) const = 0;
    // Breakout limit (tenths of a second) of a registered class; nullopt when no such class.
    virtual std::optional<int32_t> classBreakoutLimit(int32_t classId) const = 0;
    // Class ids of the existing brackets of the class pages, second page to the last.
    virtual std::vector<int32_t> bracketClassIds() const = 0;

    // ---- outputs
    virtual void sendWinner(int lane) = 0; // to the start node
    // The lane seven-segment display: lane 0 node 8, lane 1 node 9.
    virtual void sendDisplay(const std::array<uint8_t, 9>& buffer, int lane) = 0;
    // The radio scoreboard: racer, rt, 60 ft, speed x 10, time of the left lane, then the right.
    virtual void showRadioResult(const std::array<int32_t, 10>& values, int lane) = 0;
    // The scoreboard controller object, or null when none exists.
    virtual TScoreboardController* scoreboard() = 0;

    // ---- run grid and pages
    virtual int gridRowCount() const = 0;
    virtual void setGridRowCount(int rows) = 0;
    virtual void gridCursorToLastRow() = 0;
    virtual void repaintGrid() = 0;
    virtual void refreshActivePage() = 0;

    // ---- neighbours called after changes of the runs
    virtual void notifyResultsThread(DragRuns& runs) = 0; // hand the runs to the drag results thread
    // After a change of run `index` alone (one hit on that run): the results thread
    // takes that run again and keeps the others.
    virtual void notifyRunChanged(DragRuns& runs, std::size_t index) = 0;
    // Reads final_bracket.txt after a load of the runs (its pairs look their runs up there).
    virtual void loadFinalBracketFile(const DragRuns& runs) = 0;

    // ---- the hit intake whose batches the hit handlers hand their saves to
    virtual HitIntake& hitIntake() = 0;

    // ---- the registry of the open event (racers and classes; main thread)
    virtual TRegistry& registry() = 0;

    // ---- the official
    virtual Operator& op() = 0; // questions, messages and log lines
};

} // namespace velmaro
