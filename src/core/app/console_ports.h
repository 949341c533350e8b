#pragma once
// What core/app needs of the other areas and of the window: the steps of event loading,
// the settings that live elsewhere, and the handlers of the messages posted to the main
// window by the closed libraries and the results thread.
//
// Every operation is pure virtual: the composition root (src/app/root) implements all of
// them, so a missing connection does not compile. It hands itself by reference to the
// event, settings and lifecycle functions (core/app) and to the main window; tests hand
// a recording implementation.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velmaro {

class ConsolePorts {
public:
    ConsolePorts() = default;
    ConsolePorts(const ConsolePorts&) = delete;
    ConsolePorts& operator=(const ConsolePorts&) = delete;
    virtual ~ConsolePorts() = default;

    // --- loadEvent (open event reload), in its order ---
    virtual bool registryExists() = 0;       // the registry of the open event exists
    virtual void freeClasses() = 0;          // every class freed, class list empty, total "0", next class id 0
    virtual void removeClassPages() = 0;     // pages 1.. of DragPageControl with their bracket windows
    virtual void loadClassesAndRacers() = 0; // classes.txt and racers.txt (makes the class pages)
    virtual void loadLapSingle() = 0;        // modes 1, 4, 6
    virtual void loadDragFile() = 0;         // modes 0, 2, 3, 5, 7, 8 (also reads final_bracket.txt)
    virtual void selectLastDragRow() = 0;    // after loadDragFile
    virtual void loadHitLog() = 0;           // hitlog.txt into the hit list
    virtual void sendRaceInfo() = 0;         // the race information to the exchange library
    // Before another event or timing mode is set (and loaded): what is still to be done
    // for the open event is finished.
    virtual void leavingEvent() = 0;

    // --- "Обновить классы" ---
    virtual void refreshRaceItemClasses() = 0; // modes 1 and 4
    virtual void refreshRunClasses() = 0;      // modes 0, 2, 3, 5, 8

    // --- settings ---
    // One (participant count index, second number) per class page, pages in tab order.
    virtual std::vector<std::pair<int, int>> finalCounts() = 0;
    // Lines 9, 10 and 15 are written only while the scoreboard settings dialog exists.
    virtual bool scoreboardSettingsExist() = 0;
    // The node link's time-outs (repeat / 2, detector / 2).
    virtual void setLinkTimeouts(int repeat, int detector) = 0;
    // "Развернуть табло": both lanes of the last run again on the scoreboards, left first.
    virtual void resendRunToScoreboards() = 0;

    // --- messages posted to the main window by the closed libraries ---
    virtual void onScoreboardEvent(std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual void onExchangeData(std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

} // namespace velmaro
