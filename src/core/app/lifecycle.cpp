#include "core/app/lifecycle.h"

#include <clocale>
#include <filesystem>

#include "core/app/console.h"
#include "core/app/console_ports.h"
#include "core/app/events.h"
#include "core/app/settings.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"

namespace velmaro {

void constructConsole(Console& c) { c.resetToDefaults(); }

void startConsoleState(Console& c, ConsolePorts& p, std::time_t today) {
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
}

bool openScoreboardLibrary(Console& c) {
    c.scoreboard = c.scoreboardLibrary.load(programFolder() / VLM_SCOREBOARD_LIBRARY_FILE, c.mainWindow.window());
    return c.scoreboard != nullptr;
}

void openExchangeLibrary(Console& c) {
    c.exchange.open(programFolder() / VLM_EXCHANGE_LIBRARY_FILE, c.mainWindow.window());
}

void loadEventOnFirstShow(Console& c, ConsolePorts& p) {
    if (!c.firstShow) return;
    loadEvent(c, p);
    c.firstShow = false;
}

void closeLibraries(Console& c) {
    // The node link thread has ended: nobody calls the controller any more.
    c.scoreboard = nullptr;
    c.scoreboardLibrary.destroyController();

    c.exchange.close();
}

} // namespace velmaro
