#pragma once
// The main scoreboards' controller object and the library that makes it.
//
// `TScoreboardController` is what every caller uses (start sequence, drag and lap
// output, the node link for "SCOREBOARD" lines). It exists from the main window's
// creation to its closing, or never: every caller tests Console::scoreboard for
// null first. Texts are UTF-8.
//
// Thread-safety: the main thread and the node link thread (handleLine) both call the
// object; the library-backed implementation serialises every call under one mutex,
// so two calls never overlap inside the library.
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "core/app/scoreboard_controller_api.h"
#include "core/platform/shared_library.h"

namespace velmaro {

class TScoreboardController {
public:
    virtual ~TScoreboardController() = default;
    TScoreboardController() = default;
    TScoreboardController(const TScoreboardController&) = delete;
    TScoreboardController& operator=(const TScoreboardController&) = delete;

    // 1, lane (1 left, 2 right), racer number, time in ms, four more (0 when absent).
    virtual void showResult(int one, int lane, int racer, int timeMs, int a5, int a6, int a7, int a8) = 0;
    // 1, or 0 before a logo or lap display.
    virtual void reset(int full) = 0;
    virtual void setDisplayState(int a, int b) = 0;
    // "HH:NN:SS", 81, 0, 0.
    virtual void showClock(const std::string& hhnnss, int a, int b, int c) = 0;
    virtual void startTiming() = 0;
    virtual void stopTiming() = 0;
    virtual void setBrightness(int level) = 0; // 1..16
    virtual void setWaitTimeout(int seconds) = 0;
    // The scoreboard type callers branch on (117, 118, 120, 122, 124, 132, 135, 142, 148, 153, 156, ...).
    virtual int getType() = 0;
    virtual void showText(const std::string& text, int a, int b, int c, int d, int e) = 0;
    // A whole "SCOREBOARD" line from the node link thread and its sender.
    virtual void handleLine(const std::string& line, const sockaddr_in& sender) = 0;
    virtual void showLogo() = 0;
    virtual void showLane(int one, int lane, int racer, int time, int speedX10, int sixtyFeet, int zero, int reaction,
                          int laneWon, const std::string& name, const std::string& city) = 0;
    virtual void showRacerAtStart(int racer) = 0;
};

// scoreboardcontroller.so: loaded at start-up, never unloaded (the object's code must
// stay mapped while anything may still hold the pointer).
class ScoreboardLibrary {
public:
    ScoreboardLibrary() = default;
    ~ScoreboardLibrary(); // destroys a controller still alive; keeps the library mapped
    ScoreboardLibrary(const ScoreboardLibrary&) = delete;
    ScoreboardLibrary& operator=(const ScoreboardLibrary&) = delete;

    // Loads the library file. When it loads and exports _createScoreboardController,
    // calls the factory with `window` and keeps the object it made (if any).
    // Returns the controller, or null (no library, no factory, or the factory made none).
    TScoreboardController* load(const std::filesystem::path& file, const vlm_window* window);
    bool loaded() const { return library_.loaded(); }
    TScoreboardController* controller() const { return controller_.get(); }
    // Calls _deleteScoreboardController when the object exists and the library exports
    // it; the controller is gone afterwards either way. The library stays loaded.
    void destroyController();
    // Destroys the controller and unloads the library. The console never does this
    // (the library stays mapped until the end); tests use it between cases.
    void unloadForTests();

private:
    SharedLibrary library_;
    vlm_create_scoreboard_controller_fn create_ = nullptr;
    vlm_delete_scoreboard_controller_fn delete_ = nullptr;
    vlm_scoreboard* object_ = nullptr;
    std::unique_ptr<TScoreboardController> controller_;
};

} // namespace velmaro
