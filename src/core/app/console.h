#pragma once
// The console's state that every area reads: the open event, the timing mode, the
// settings values and the closed libraries. It is the Qt-free half of the main window;
// the window itself (ui/app) shows it. (The node link is not here: the composition root
// hands its NodeLink to whoever sends to the nodes.)
//
// The composition root owns the one Console of a running program and hands it by
// reference to what reads or writes it (constructor argument, or an argument of the
// event, settings and lifecycle functions), e.g. `console.raceMode`,
// `console.eventFolder / "drag.txt"`, `if (auto* sb = console.scoreboard) sb->reset(1);`,
// `console.exchange.send(text, "online")`. Tests build a fresh one per case.
// Everything here is read and written on the main thread only, except `mainWindow`
// (post is thread-safe) and the scoreboard object (its calls are serialised).
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/app/console_view.h"
#include "core/app/main_window_handle.h"
#include "core/app/scoreboard_controller.h"
#include "core/app/web_exchange.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

inline constexpr const char* kCaptionPrefix = "Velmaro v3.6 - ";
inline constexpr const char* kDefaultReplayRunTarget = "192.168.0.22";
inline constexpr const char* kDefaultReplayStepTarget = "192.168.1.255";

class Console {
public:
    Console() = default;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Every value back to the main window's construction defaults (libraries, objects
    // and hooks are left alone).
    void resetToDefaults();

    // --- the open event ---
    std::filesystem::path eventFolder; // programFolder()/"CHALLENGES"/eventName (event files go below it)
    std::string eventName;             // UTF-8; empty before one is set
    std::string raceGuid;              // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from race.json; empty at start
    // A TimingMode number, 0..8 (a larger value may come from the settings file).
    unsigned raceMode = timingModeNumber(TimingMode::LapOneGate);

    // --- state of the main window ---
    int racerAtStart = 0;          // racer reported at the start by a tag; 0 = none
    bool sendRacersList = false;   // race_info also carries the racer list
    bool editingNumber = false;    // a racer-number prompt of the single-lane grid is open
    bool firstShow = true;         // the main window was not shown yet: its first show loads the event
    int brightnessCountdown = 200; // 10 ms timer ticks

    // --- settings values (velmaro.ini) ---
    int showLogo = 1;                // ShowLogo ("Показывать лого" ticked when not 0)
    int showDirtyTimeSB = 0;         // ShowDirtyTimeSB ("Выводить грязное время" ticked when 1)
    int waitRacerTimeout = 180;      // WaitRacerTimeout, seconds
    int invertScoreboard = 0;        // InvertScoreboard (mInvertScoreboard ticked when not 0)
    int scoreboardBrightness = 16;   // ScoreboardBrightness, 1..16 (the scoreboard settings track bar)
    float speedTrapDistance = 20.0f; // SpeedTrapDistance, metres, positive and finite
    int repeatTimeout = 1000;        // BlockTimeout first value, stored doubled (link gets / 2)
    int detectorTimeout = 2;         // BlockTimeout second value, stored doubled
    int blockFinishTimeout = 0;      // BlockFinishTimeout, seconds
    bool proStart = false; // ProStart: "Светофор PRO Start" ticked, else "Традиционный светофор"
    bool autoStart = false;   // AutoStart: "Автостарт" ticked
    bool printBoth = false;   // PrintBoth: "Печать двух полос" ticked
    int bracketType = -1;     // BracketType: item of cbBracketType, 0..10, -1 none
    int bracketGenMethod = 0; // BracketGenMethod: item of cbGenerationMethod, 0..2
    // Where the hit log window replays hits (RUN to a node, STEP by broadcast); written to
    // the settings file only when changed from these defaults.
    std::string replayRunTarget = kDefaultReplayRunTarget;   // ReplayRunTarget
    std::string replayStepTarget = kDefaultReplayStepTarget; // ReplayStepTarget

    // --- closed libraries ---
    WebExchange exchange;                        // exchange.sendData / exchange.getData, or null
    ScoreboardLibrary scoreboardLibrary;         // never unloaded
    TScoreboardController* scoreboard = nullptr; // null when the library or its factory is missing

    // --- wiring ---
    MainWindowHandle mainWindow; // where the two closed libraries post their messages
    ConsoleView* view = nullptr; // the main window, or null
};

} // namespace velmaro
