#include <gtest/gtest.h>

#include "console_fixture.h"
#include "core/app/events.h"
#include "core/app/lifecycle.h"
#include "core/app/settings.h"

namespace velmaro::test {
namespace {

// getType() of the console's scoreboard controller, or -1 without one.
int scoreboardType(const Console& console) { return console.scoreboard ? console.scoreboard->getType() : -1; }

class LifecycleTest : public ConsoleTest {
protected:
    LifecycleTest() {
        std::tm tm{};
        tm.tm_mday = 5;
        tm.tm_mon = 6;
        tm.tm_year = 124;
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        today = std::mktime(&tm);
        recordLibraryCalls();
        wire();
    }
    // Every hook writes "hook <name>" into the same file as the library doubles, so the
    // one file shows the whole order.
    std::function<void()> logged(const std::string& name) {
        return [this, name] { std::ofstream(home / "calls.log", std::ios::app) << "hook " << name << "\n"; };
    }
    void wire() {
        ConsoleHooks& h = ports.hooks;
        h.registryExists = [this] { return registryUp; };
        h.loadClassesAndRacers = logged("loadClassesAndRacers");
        h.loadLapSingle = logged("loadLapSingle");
        h.loadDragFile = logged("loadDragFile");
        h.sendRaceInfo = logged("sendRaceInfo");
        h.setLinkTimeouts = [this](int r, int d) {
            trace.push_back("setLinkTimeouts " + std::to_string(r) + "," + std::to_string(d));
        };
    }
    // The console's part of the creation handler, as the program runs it: the other
    // windows (the registry among them) exist only after the main window's creation.
    void start() {
        startConsoleState(console, ports, today);
        registryUp = true;
    }
    std::time_t today{};
    bool registryUp = false;
};

TEST_F(LifecycleTest, FirstStartWithAnEmptyProgramFolder) {
    start();
    Console& c = console;
    EXPECT_EQ(c.raceMode, 1u);
    EXPECT_EQ(c.eventName, "05_07_2024");
    EXPECT_EQ(view.caption, "Velmaro v3.6 - "); // the date-named event is not in the caption
    EXPECT_TRUE(std::filesystem::is_directory(home / "DB"));
    EXPECT_TRUE(std::filesystem::is_directory(home / "CHALLENGES/05_07_2024"));
    // The settings file is there, without an event name, so tomorrow gets its own event.
    std::string ini = home.read("velmaro.ini");
    EXPECT_EQ(ini.rfind("EventName:\nMode:1\n", 0), 0u) << ini;
    EXPECT_FALSE(std::filesystem::exists(home / "CHALLENGES/05_07_2024/race.json")); // not loaded yet
    EXPECT_EQ(c.scoreboard, nullptr);
    EXPECT_EQ(c.exchange.sendData, nullptr);

    loadEventOnFirstShow(console, ports);
    std::string guid = readRaceGuid(home / "CHALLENGES/05_07_2024");
    EXPECT_EQ(guid.size(), 38u);
    EXPECT_EQ(guid, c.raceGuid);

    // Showing again does not reload.
    auto before = libraryCalls();
    loadEventOnFirstShow(console, ports);
    EXPECT_EQ(libraryCalls(), before);

    closeLibraries(console);
    for (const auto& line : libraryCalls()) {
        EXPECT_EQ(line.find("scoreboard delete"), std::string::npos);
        EXPECT_EQ(line.find("DEINIT"), std::string::npos);
    }

    // The next start finds the same event and GUID.
    resetConsole();
    console.view = &view;
    wire();
    registryUp = false;
    start();
    loadEventOnFirstShow(console, ports);
    EXPECT_EQ(console.raceGuid, guid);
}

// A saved event and mode: the settings are read before the link gets its time-outs, and
// the mode they name is applied again at the end.
TEST_F(LifecycleTest, StartStateReadsTheSettingsThenGivesTheLinkItsTimeoutsThenAppliesTheMode) {
    home.write("velmaro.ini", "EventName:Финал\nMode:0\nBlockTimeout:600,8\n");
    start();
    EXPECT_EQ(view.caption, "Velmaro v3.6 - Финал");
    EXPECT_EQ(trace, (std::vector<std::string>{"showMode 0", "setLinkTimeouts 300,4", "showMode 0"}));
    EXPECT_TRUE(libraryCalls().empty()); // the event is not loaded: the registry does not exist yet

    loadEventOnFirstShow(console, ports); // the saved event loads now, in its saved mode
    EXPECT_EQ(libraryCalls(),
              (std::vector<std::string>{"hook loadClassesAndRacers", "hook loadDragFile", "hook sendRaceInfo"}));
}

TEST_F(LifecycleTest, BothLibrariesOpenWithTheWindowHandleAndCloseWithDeinit) {
    installLibrary("full", "scoreboardcontroller.so");
    installLibrary("full", "wsadapter.so");
    start();
    Console& c = console;
    EXPECT_TRUE(openScoreboardLibrary(c));
    openExchangeLibrary(c);
    ASSERT_NE(c.scoreboard, nullptr);
    ASSERT_NE(c.exchange.sendData, nullptr);
    EXPECT_EQ(libraryCalls(), (std::vector<std::string>{
                                  "scoreboard create window=" + window(),
                                  "exchange sendData INIT " + window() + " ",
                              }));
    std::filesystem::remove(home / "calls.log");

    closeLibraries(c);
    EXPECT_EQ(libraryCalls(), (std::vector<std::string>{"scoreboard delete", "exchange sendData DEINIT 0 "}));
    EXPECT_EQ(c.scoreboard, nullptr);
    EXPECT_EQ(c.exchange.sendData, nullptr);
    EXPECT_EQ(c.exchange.getData, nullptr);
    EXPECT_FALSE(c.exchange.loaded());
}

TEST_F(LifecycleTest, LibrariesMissingAnEntryPoint) {
    installLibrary("no_create", "scoreboardcontroller.so");
    installLibrary("no_send", "wsadapter.so");
    start();
    Console& c = console;
    EXPECT_FALSE(openScoreboardLibrary(c));
    openExchangeLibrary(c);
    EXPECT_TRUE(c.scoreboardLibrary.loaded());
    EXPECT_EQ(c.scoreboard, nullptr);
    EXPECT_EQ(scoreboardType(console), -1);
    EXPECT_TRUE(c.exchange.loaded());
    EXPECT_EQ(c.exchange.sendData, nullptr);
    EXPECT_NE(c.exchange.getData, nullptr);
    closeLibraries(console);
    for (const auto& line : libraryCalls()) {
        EXPECT_EQ(line.rfind("scoreboard", 0), std::string::npos) << line;
        EXPECT_EQ(line.rfind("exchange", 0), std::string::npos) << line;
    }
    EXPECT_FALSE(c.exchange.loaded());
}

TEST_F(LifecycleTest, ScoreboardTypeComesFromTheController) {
    ::setenv("VELMARO_FAKE_SCOREBOARD_TYPE", "118", 1);
    installLibrary("no_delete", "scoreboardcontroller.so");
    start();
    EXPECT_TRUE(openScoreboardLibrary(console));
    EXPECT_EQ(scoreboardType(console), 118);
    closeLibraries(console); // no delete function: the object is just let go
    EXPECT_EQ(console.scoreboard, nullptr);
}

TEST_F(LifecycleTest, SettingsNamingARefusedEventGetADatedOne) {
    home.write("velmaro.ini", "EventName:../../tmp\nMode:6\n");
    start();
    EXPECT_EQ(console.eventName, "05_07_2024");
    EXPECT_EQ(console.raceMode, 6u);
    EXPECT_FALSE(std::filesystem::exists(home / "tmp"));
}

} // namespace
} // namespace velmaro::test
