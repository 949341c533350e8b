#pragma once
// A console with its own program folder, a scripted operator and a recording view.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/app/console.h"
#include "core/app/lifecycle.h"
#include "core/platform/program_folder.h"
#include "fakes/hook_ports.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {

// Records what the console shows; the modes shown go into a trace shared with the test.
class RecordingView : public ConsoleView {
public:
    explicit RecordingView(std::vector<std::string>& trace) : trace_(trace) {}
    std::string caption;
    int shownMode = -1;
    int settingsRefreshes = 0;
    bool printButtonsArranged = false;

    void setCaption(const std::string& text) override { caption = text; }
    void showMode(unsigned mode) override {
        shownMode = static_cast<int>(mode);
        trace_.push_back("showMode " + std::to_string(mode));
    }
    void settingsChanged(bool arrange) override {
        ++settingsRefreshes;
        printButtonsArranged = printButtonsArranged || arrange;
    }

private:
    std::vector<std::string>& trace_;
};

class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() : view(trace), scoped(op) {
        setProgramFolder(home.path());
        resetConsole();
        console.view = &view;
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
    }
    ~ConsoleTest() override {
        Console& c = console;
        c.exchange.close();
        c.scoreboard = nullptr;
        c.scoreboardLibrary.unloadForTests();
        resetConsole();
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_FAKE_SCOREBOARD_TYPE");
    }
    void resetConsole() {
        constructConsole(console);
        Console& c = console;
        ports.hooks = ConsoleHooks{};
        c.view = nullptr;
        c.mainWindow.detach();
    }
    // Makes hook `name` append its name to the trace.
    std::function<void()> step(const std::string& name) {
        return [this, name] { trace.push_back(name); };
    }
    // Installs variant `variant` (full, no_create, ...) of a test-double library into the program folder.
    void installLibrary(const std::string& variant, const std::string& file) {
        std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / variant / file, home / file,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void recordLibraryCalls() { ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1); }
    std::vector<std::string> libraryCalls() const {
        std::vector<std::string> lines;
        std::ifstream in(home / "calls.log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::string window() const { return std::to_string(reinterpret_cast<long long>(console.mainWindow.window())); }

    // The console under test, fresh for each case, and the ports it is handed.
    Console console;
    HookPorts ports;
    TempFolder home;
    std::vector<std::string> trace;
    RecordingView view;
    ScriptedOperator op;
    ScopedSaveReportLog scoped;
};

} // namespace velmaro::test
