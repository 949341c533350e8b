#include "core/app/lifecycle.h"

#include <clocale>

#include "core/app/console.h"
#include "core/app/console_ports.h"
#include "core/app/events.h"
#include "core/app/settings.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"

namespace velmaro {
namespace {

ConsoleLifecycleView* lifecycleView(const Console& c) { return dynamic_cast<ConsoleLifecycleView*>(c.view); }

} // namespace

void constructConsole(Console& c) {
    c.resetToDefaults();
}

void createConsole(Console& c, ConsolePorts& p, std::time_t today) {
    ConsoleLifecycleView* view = lifecycleView(c);

    if (view) view->bindNodePanels();
    p.startLinkThread();
    p.startRadioScoreboard();
    if (view) view->setupGrids();

    c.raceMode = timingModeNumber(TimingMode::LapOneGate);
    c.eventName.clear();
    showEventCaption(c);

    // Numbers are written and read with '.', whatever the operator's locale.
    std::setlocale(LC_NUMERIC, "C");

    std::error_code probe;
    bool firstStart = !std::filesystem::exists(settingsPath(), probe);
    loadSettings(c, p);
    // A fresh program folder gets its settings file at once, with the defaults (and
    // no event name, so each day still gets its own date-named event).
    if (firstStart) saveSettings(c, p);
    p.setLinkTimeouts(c.repeatTimeout / 2, c.detectorTimeout / 2);

    std::error_code ec;
    std::filesystem::create_directories(programFolder() / kDbFolder, ec);
    std::filesystem::create_directories(challengesFolder(), ec);

    if (c.eventName.empty()) {
        // The caption is left as it is: it names the event only once one is chosen.
        c.eventName = dateEventName(today);
        c.eventFolder = challengesFolder() / c.eventName;
        std::filesystem::create_directories(c.eventFolder, ec);
    }

    // Temporary files of writes that a crash cut short: the files they were meant to
    // replace are whole (the rename never happened), so the leftovers only take room.
    removeLeftoverTemporaries(programFolder());
    removeLeftoverTemporaries(programFolder() / kDbFolder);
    removeLeftoverTemporaries(c.eventFolder);

    if (c.view) c.view->settingsChanged(false);
    setMode(c, p, c.raceMode);
    if (view) view->moveToScreenOrigin();

    c.scoreboard = c.scoreboardLibrary.load(programFolder() / VLM_SCOREBOARD_LIBRARY_FILE, c.mainWindow.window());
    if (c.scoreboard) p.handScoreboardToLink();

    c.exchange.open(programFolder() / VLM_EXCHANGE_LIBRARY_FILE, c.mainWindow.window());

    p.startResultsThread();
}

void showConsole(Console& c, ConsolePorts& p) {
    if (c.firstShow) {
        loadEvent(c, p);
        c.firstShow = false;
    }
    if (auto* view = lifecycleView(c)) view->afterShow();
}

void closeConsole(Console& c, ConsolePorts& p) {
    // Nothing posted from here on reaches the window.
    c.mainWindow.detach();

    p.stopLapResultsThread();
    p.stopResultsThread();
    p.stopLinkThread();
    p.stopRadioScoreboard();

    // The node link thread has ended: nobody calls the controller any more.
    c.scoreboard = nullptr;
    c.scoreboardLibrary.destroyController();

    c.exchange.close();
}

} // namespace velmaro
