#pragma once
// The console's start-up and shut-down, in the order the other areas rely on.
//
// The main window runs them: constructConsole() from its constructor, createConsole()
// from its creation (after the window handle has a sink), showConsole() every time it
// is shown, closeConsole() when it closes, each with the console it shows and the
// composition root's ports. Window-only steps come through Console::view
// (ConsoleLifecycleView), the other areas through the ports.
#include <ctime>
#include <filesystem>

#include "core/app/console_view.h"

namespace velmaro {

class Console;
class ConsolePorts;

// Window steps of the creation handler; the main window implements them.
class ConsoleLifecycleView : public ConsoleView {
public:
    // 1. bind the four node status panels
    virtual void bindNodePanels() {}
    // 4-5. fonts, header texts and column widths of SingleLaneGrid and DragStringGrid
    virtual void setupGrids() {}
    // 14. left and top edge of the first monitor
    virtual void moveToScreenOrigin() {}
    // First show: focus SingleLaneGrid (single-lane modes), copy ShowLogo and the
    // brightness into the scoreboard settings dialog.
    virtual void afterShow() {}
};

// The main window's construction: every value to its default.
void constructConsole(Console& console);

// The main window's creation handler:
//   1 node panels, 2 node link thread, 3 radio scoreboard thread, 4-5 grids,
//   6 mode 1 with an empty event and its caption, 7 '.' as decimal separator,
//   8 loadSettings, 9 time-outs to the link, 10 DB/ and CHALLENGES/,
//   11 a date-named event when none was saved ("dd_mm_yyyy" of `today`),
//   12 speed trap caption, 13 setMode again, 14 window to the screen origin,
//   15 scoreboardcontroller.so and its controller, 16 wsadapter.so with "INIT",
//   17 drag results thread.
void createConsole(Console& console, ConsolePorts& ports, std::time_t today);

// Every showing of the main window: the open event is loaded on the first one only.
void showConsole(Console& console, ConsolePorts& ports);

// The main window's closing: posts to the window stop; the lap and drag results
// threads, the node link and the radio scoreboard thread are stopped and joined; the
// scoreboard controller is destroyed (the library stays); "DEINIT" goes to the
// exchange library, whose entry points are nulled and which is unloaded.
void closeConsole(Console& console, ConsolePorts& ports);

} // namespace velmaro
