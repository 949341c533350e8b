#pragma once
// The nineteen windows of the console, created at start-up in a fixed order (the main
// window first, its creation handler running before any other window exists) and kept
// in their global pointers until shut-down. The bracket windows of the class pages are
// not among them: they come and go with the classes.
#include <QList>

#include <functional>

class QWidget;

namespace velmaro {
class Console;
class ConsolePorts;
class DragResults;
class DragRuns;
class LapTiming;
class NodeLink;
class Operator;
class TRegistry;
} // namespace velmaro

namespace velmaro::ui {

class TMainForm;
class MainFormCommands;

// Creates the windows in order and returns them in that order (main window first).
// The main window's FormCreate has run when this returns. `beforeCreate` runs on the
// constructed main window just before its creation handler (the program joins the
// other areas' widgets and handlers to it there). The main window's lap grid and the
// results window work on `lap`, the results window on `results` too; the registration
// window shows `registry`; the windows show `console`, the main window reaches the core
// side through `ports`, and the windows' questions go to `op` (the console's question
// desk); the run grid, the results and the link dialogs work on the two-lane runs
// `drag`; the hit log window and the link dialogs reach the node link through `link`.
// All of them must outlive the windows.
QList<QWidget*> createConsoleWindows(MainFormCommands& commands, LapTiming& lap, Console& console, ConsolePorts& ports,
                                     DragResults& results, TRegistry& registry, Operator& op, DragRuns& drag,
                                     NodeLink& link, const std::function<void(TMainForm&)>& beforeCreate = {});

// Destroys the windows in reverse order and nulls their global pointers. The main
// window must have closed (its shut-down ran) before.
void destroyConsoleWindows();

} // namespace velmaro::ui
