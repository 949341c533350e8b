#pragma once
// The console's own steps of start-up and shut-down. The composition root runs the whole
// order (its windowCreated, windowShown and windowClosing), calling these for what is
// the console's: its state, its folders, the settings file, the event and the two closed
// libraries.
#include <ctime>

namespace velmaro {

class Console;
class ConsolePorts;

// The main window's construction: every value to its default.
void constructConsole(Console& console);

// The console's state while the main window is created, in this order: mode 1 with an
// empty event and its caption; '.' as decimal separator; the settings file (a fresh
// program folder gets one at once, with the defaults); the node link's time-outs; the
// DB/ and CHALLENGES/ folders; a date-named event when none was saved ("dd_mm_yyyy" of
// `today`); the speed trap caption; the mode again.
void startConsoleState(Console& console, ConsolePorts& ports, std::time_t today);

// scoreboardcontroller.so and its controller object. True when the object was made.
bool openScoreboardLibrary(Console& console);
// wsadapter.so, sent "INIT" with the main window's handle.
void openExchangeLibrary(Console& console);

// Every showing of the main window: the open event is loaded on the first one only.
void loadEventOnFirstShow(Console& console, ConsolePorts& ports);

// The end of the main window's closing, once the node link thread has ended: the
// scoreboard controller is destroyed (the library stays); "DEINIT" goes to the
// exchange library, whose entry points are nulled and which is unloaded.
void closeLibraries(Console& console);

} // namespace velmaro
