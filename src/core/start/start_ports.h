#pragma once
// What the start controls need of the rest of the console: the node link's start-unit
// and lane-display commands, the radio scoreboards' reset and logo, and the few things
// of the main window that only the window knows (the run-mode group, the page shown,
// the Block ST button, the start signal lamp, the lane choice dialog, printing).
//
// Every operation is pure virtual: the composition root implements them all; tests
// record them. Main thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace velmaro {

class TFinalBracket;

class StartPorts {
public:
    StartPorts() = default;
    StartPorts(const StartPorts&) = delete;
    StartPorts& operator=(const StartPorts&) = delete;
    virtual ~StartPorts() = default;

    // --- node link (each does nothing while the link is not running) ---
    virtual void sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux) = 0;
    virtual void sendStartSignalMode(std::uint16_t mode) = 0;
    virtual void armCommand37() = 0;
    virtual void armAutoStart(int leftRacer, int rightRacer, int code, int param, int aux) = 0;
    virtual void sendStartUnitMode(std::uint16_t mode) = 0;
    virtual void clearDisplay(int lane) = 0; // lane display: 0 left, 1 right
    virtual void sendLightBrightness(std::uint16_t value) = 0;
    virtual void sendCommand53() = 0;

    // --- radio scoreboards ---
    virtual void resetRadioBoards() = 0;
    virtual void showRadioLogo() = 0;

    // --- main window ---
    // Item of the run-mode group: 0 "Квалификация", 1 "Тренировка", 2 "Финал"; -1 none.
    virtual int runModeItem() = 0;
    // DragPageControl shows page 0 ("Заезды").
    virtual bool onRunsPage() = 0;
    // The bracket of the class page shown (null on page 0 or without a bracket).
    virtual std::shared_ptr<TFinalBracket> pageBracket() = 0;
    // Block ST shown down or up; its click handler does not run.
    virtual void showBlockSt(bool down) = 0;
    // The start signal lamp turns red.
    virtual void startLampRed() = 0;
    // The lane choice dialog "Расположение участников": `texts` left and right label,
    // `swapped` the arrangement it opens with. True on OK with `swapped` as confirmed.
    virtual bool chooseLanes(const std::array<std::string, 2>& texts, int& swapped) = 0;
    // A timeslip (core/drag/timeslip.h): lane 0 left, 1 right, -1 both lanes of the
    // selected run (else the last), -2 both lanes of the last run (F8).
    virtual void printTimeslip(int lane) = 0;
    // Waits `ms` milliseconds (between the two lanes of F9).
    virtual void pause(int ms) = 0;
};

} // namespace velmaro
