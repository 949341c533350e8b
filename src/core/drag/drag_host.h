#pragma once
// What the drag-run core needs of the rest of the console, behind one small interface.
//
// The run model, hit handlers, scoreboard output and run file reach the main window's
// settings, the registry, the class brackets, the node link, the radio scoreboards, the
// scoreboard controller, the run grid and the drag results thread only through the
// installed DragHost. The application installs one that forwards to those objects;
// tests install fakes. Every method has a harmless default (no settings ticked, nothing
// registered, outputs dropped), so a host overrides only what it has.
//
// Ownership: setDragHost does not take ownership; the host must outlive its use.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmaro {

class TScoreboardController; // core/app/scoreboard_controller.h

// A registered racer as the drag core sees it.
struct DragRacerInfo {
    std::string name;
    std::string city;
    std::vector<int32_t> classIds;  // every class the racer is entered in, registry order
};

class DragHost {
public:
    DragHost() = default;
    DragHost(const DragHost&) = delete;
    DragHost& operator=(const DragHost&) = delete;
    virtual ~DragHost() = default;

    // ---- settings of the main window
    virtual int raceMode() const { return 0; }                   // timing mode 0..8
    virtual std::filesystem::path eventFolder() const { return {}; }
    virtual bool proStartSignal() const { return false; }        // "Светофор PRO Start" ticked
    virtual float speedTrapDistance() const { return 20.0f; }    // metres
    virtual int blockFinishTimeout() const { return 0; }         // whole seconds
    virtual bool blockStDown() const { return false; }           // "Block ST" button down
    virtual bool showDirtyTime() const { return false; }         // "Выводить грязное время"
    virtual int invertScoreboard() const { return 0; }           // 0 or 1

    // ---- registry and brackets
    virtual std::optional<DragRacerInfo> findRacer(int32_t number) const { (void)number; return std::nullopt; }
    // Breakout limit (tenths of a second) of a registered class; nullopt when no such class.
    virtual std::optional<int32_t> classBreakoutLimit(int32_t classId) const { (void)classId; return std::nullopt; }
    // Class ids of the existing brackets of the class pages, second page to the last.
    virtual std::vector<int32_t> bracketClassIds() const { return {}; }

    // ---- outputs
    virtual void sendWinner(int lane) { (void)lane; }                      // to the start node
    // The lane seven-segment display: lane 0 node 8, lane 1 node 9.
    virtual void sendDisplay(const std::array<uint8_t, 9>& buffer, int lane) { (void)buffer; (void)lane; }
    // The radio scoreboard: racer, rt, 60 ft, speed x 10, time of the left lane, then the right.
    virtual void showRadioResult(const std::array<int32_t, 10>& values, int lane) { (void)values; (void)lane; }
    // The scoreboard controller object, or null when none exists.
    virtual TScoreboardController* scoreboard() { return nullptr; }

    // ---- run grid and pages
    virtual int gridRowCount() const { return 0; }
    virtual void setGridRowCount(int rows) { (void)rows; }
    virtual void gridCursorToLastRow() {}
    virtual void repaintGrid() {}
    virtual void refreshActivePage() {}

    // ---- neighbours called after changes of the runs
    virtual void notifyResultsThread() {}      // hand the runs to the drag results thread
    // After a change of gDragRuns[index] alone (one hit on that run): the results thread
    // takes that run again and keeps the others. A host without the distinction hands
    // over every run.
    virtual void notifyRunChanged(std::size_t index) { (void)index; notifyResultsThread(); }
    virtual void loadFinalBracketFile() {}     // read final_bracket.txt after a load of the runs
};

// The installed host; never null (a default one answers until setDragHost is called).
DragHost& dragHost();
// Installs a host (not owned); null restores the default.
void setDragHost(DragHost* host);

} // namespace velmaro
