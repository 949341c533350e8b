#pragma once
// What core/app needs of the main window, without Qt. The main window implements it
// and sets Console::view at start-up; while it is null (core tests, before the
// window exists) the console state changes without showing anything.
#include <string>

namespace velmaro {

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    // The window caption ("Velmaro v3.6 - " + event name).
    virtual void setCaption(const std::string& caption) = 0;
    // Ticks the mode's menu item and shows the run grid (two-lane modes) or the
    // single-lane panel (modes 1, 4, 6). Called only for modes 0..8.
    virtual void showMode(unsigned mode) = 0;
    // The settings held by menu items and boxes changed (start tree, auto start,
    // print both, invert scoreboard, bracket type and method, speed trap caption):
    // show the values now in the console. `arrangePrintButtons` also shows
    // sbPrintBoth or sbPrintLeft/sbPrintRight after the print-both setting.
    virtual void settingsChanged(bool arrangePrintButtons) = 0;
};

} // namespace velmaro
