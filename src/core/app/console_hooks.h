#pragma once
// Seams through which core/app calls the other areas (registration, link, drag,
// results, bracket, lap) and the windows. Every hook may be empty: an empty hook is
// skipped (and loadEvent does nothing until `registryExists` says yes). The program's
// start-up (ui/app) fills them; tests fill the ones they observe.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmaro {

struct ConsoleHooks {
    // --- loadEvent (open event reload), in its order ---
    std::function<bool()> registryExists;        // the registration window/registry exists
    std::function<void()> freeClasses;           // free every class (labels, result lists, records)
    std::function<void()> clearRegistry;         // empty class list, total "0", next class id 0, racer dialog classes
    std::function<void()> removeClassPages;      // remove pages 1.. of DragPageControl with their bracket windows
    std::function<void()> loadClassesAndRacers;  // TRegForm::loadClassesAndRacers (makes the class pages)
    std::function<void()> loadLapSingle;         // modes 1, 4, 6
    std::function<void()> loadDragFile;          // modes 0, 2, 3, 5, 7, 8 (also reads final_bracket.txt)
    std::function<void()> selectLastDragRow;     // after loadDragFile
    std::function<void()> loadHitLog;            // THitLog::loadHitLog
    std::function<void()> sendRaceInfo;          // TMainForm::sendRaceInfo

    // --- "Обновить классы" ---
    std::function<void()> refreshRaceItemClasses; // modes 1 and 4
    std::function<void()> refreshRunClasses;      // modes 0, 2, 3, 5, 8

    // --- settings ---
    // One (participant count index, second number) per class page, pages in tab order.
    std::function<std::vector<std::pair<int, int>>()> finalCounts;
    // Lines 9, 10 and 15 are written only while the scoreboard settings dialog exists.
    std::function<bool()> scoreboardSettingsExist;
    // TSystemInterface::setTimeouts(repeat / 2, detector / 2).
    std::function<void(int repeat, int detector)> setLinkTimeouts;
    // "Развернуть табло": both lanes again on the scoreboards, left first (sendRunToScoreboards).
    std::function<void()> resendRunToScoreboards;

    // --- start-up (main window creation) ---
    std::function<void()> startLinkThread;       // TSystemInterface with the main window handle; runs at once
    std::function<void()> startRadioScoreboard;  // TNRFScoreboardController, handed to the link object
    std::function<void()> handScoreboardToLink;  // after the controller object was made (may be null)
    std::function<void()> startResultsThread;    // startResultsThread (drag results)

    // --- shut-down (main window closing); each stops AND joins its thread ---
    std::function<void()> stopLapResultsThread;
    std::function<void()> stopResultsThread;
    std::function<void()> stopLinkThread;        // node link: terminate and wait
    std::function<void()> stopRadioScoreboard;   // radio scoreboard thread: terminate and wait

    // --- the main window's four messages (handlers of later areas) ---
    std::function<void(std::uintptr_t, std::intptr_t)> onScoreboardEvent;
    std::function<void(std::uintptr_t, std::intptr_t)> onSystemEvent;
    std::function<void(std::uintptr_t, std::intptr_t)> onExchangeData;
    std::function<void(std::uintptr_t, std::intptr_t)> onDragResults;
};

} // namespace velmaro
