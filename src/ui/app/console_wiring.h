#pragma once
// Joins the areas to the console: the node link and its panels, the radio scoreboards,
// the registry and its class pages, the drag runs, the lap timing, the brackets and the
// drag results. It fills theConsole().hooks (the core side of start-up, event loading
// and shut-down) and the main window's own hooks and containers.
//
// Ownership: one ConsoleWiring lives for the whole run of the program (runConsole) and
// owns the node link and radio scoreboard objects and the window-side adapters; the
// widgets it places belong to the main window.
#include <memory>

namespace velmaro::ui {

class TMainForm;
class TRegForm;

class ConsoleWiring {
public:
    ConsoleWiring();
    ~ConsoleWiring();
    ConsoleWiring(const ConsoleWiring&) = delete;
    ConsoleWiring& operator=(const ConsoleWiring&) = delete;

    // Before any window exists: the core hooks of start-up, event loading and shut-down.
    void installHooks();
    // On the constructed main window, before its creation handler runs.
    void attachMainForm(TMainForm& form);
    // Once the registration window (which owns the registry) exists: the class pages
    // of the main window follow its classes.
    void attachRegistry(TRegForm& regForm);
    // After the main window has closed (closeConsole ran): frees the link objects.
    void release();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace velmaro::ui
