#include <gtest/gtest.h>

#include "console_fixture.h"
#include "core/app/events.h"
#include "core/app/settings.h"

namespace velmaro::test {
namespace {

class EventsTest : public ConsoleTest {
protected:
    // Every loader of loadEvent appends its name to the trace.
    void wireLoaders() {
        ConsoleHooks& h = ports.hooks;
        h.registryExists = [] { return true; };
        h.freeClasses = step("freeClasses");
        h.removeClassPages = step("removeClassPages");
        h.loadClassesAndRacers = step("loadClassesAndRacers");
        h.loadLapSingle = step("loadLapSingle");
        h.loadDragFile = step("loadDragFile");
        h.selectLastDragRow = step("selectLastDragRow");
        h.loadHitLog = step("loadHitLog");
        h.sendRaceInfo = [this] { trace.push_back("sendRaceInfo " + console.raceGuid); };
    }
};

TEST_F(EventsTest, EventNamesThatLeaveChallengesAreRefused) {
    for (const char* bad : {"", ".", "..", "a/b", "/abs", "..\\up", "a\\b", "x..y", "tab\there", "nl\n", "del\x7f"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(validateEventName(bad).ok());
    }
    EXPECT_FALSE(validateEventName(std::string(256, 'a')).ok());
    for (const char* good : {"05_07_2024", "Кубок 2.0", "a b", ".hidden", "x.", "Этап: финал"}) {
        SCOPED_TRACE(good);
        EXPECT_TRUE(validateEventName(good).ok());
    }
}

TEST_F(EventsTest, DateNameIsDayMonthYear) {
    std::tm tm{};
    tm.tm_mday = 5;
    tm.tm_mon = 6;
    tm.tm_year = 124;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    EXPECT_EQ(dateEventName(std::mktime(&tm)), "05_07_2024");
}

TEST_F(EventsTest, RaceJsonCases) {
    ASSERT_TRUE(setEventName(console, "E").ok());
    Console& c = console;
    auto folder = c.eventFolder;

    // Missing: a new GUID, written as the only member.
    loadRaceGuid(console);
    std::string made = c.raceGuid;
    ASSERT_EQ(made.size(), 38u);
    EXPECT_EQ(home.read("CHALLENGES/E/race.json"), "{\"raceGuid\":\"" + made + "\"}");

    // Written by us: the same GUID on the next load.
    c.raceGuid.clear();
    loadRaceGuid(console);
    EXPECT_EQ(c.raceGuid, made);

    // Someone else's valid file keeps its GUID (and other members) untouched.
    home.write("CHALLENGES/E/race.json", R"({"name":"x","raceGuid":"{ABC}"})");
    loadRaceGuid(console);
    EXPECT_EQ(c.raceGuid, "{ABC}");
    EXPECT_EQ(home.read("CHALLENGES/E/race.json"), R"({"name":"x","raceGuid":"{ABC}"})");

    struct Row {
        const char* name;
        std::string content;
    } rows[] = {
        {"garbage", "not json at all"},
        {"truncated", "{\"raceGuid\":\"{A"},
        {"no member", "{\"other\":1}"},
        {"null member", "{\"raceGuid\":null}"},
        {"number member", "{\"raceGuid\":12}"},
        {"object member", "{\"raceGuid\":{}}"},
        {"array document", "[1,2]"},
        {"empty file", ""},
        {"invalid utf-8", "{\"raceGuid\":\"\xff\xfe\"}"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        home.write("CHALLENGES/E/race.json", row.content);
        loadRaceGuid(console);
        EXPECT_EQ(c.raceGuid.size(), 38u);
        EXPECT_NE(c.raceGuid, made);
        EXPECT_EQ(readRaceGuid(folder), c.raceGuid); // rewritten with the new one
    }
}

TEST_F(EventsTest, ModesSwitchGridsAndRunTheirLoaders) {
    wireLoaders();
    ASSERT_TRUE(setEventName(console, "E").ok());
    const std::vector<std::string> common = {"freeClasses", "removeClassPages", "loadClassesAndRacers"};
    for (unsigned mode = 0; mode <= 9; ++mode) {
        SCOPED_TRACE(mode);
        trace.clear();
        view.shownMode = -1;
        setMode(console, ports, mode);
        std::vector<std::string> expected;
        if (mode <= 8) expected.push_back("showMode " + std::to_string(mode));
        expected.insert(expected.end(), common.begin(), common.end());
        if (mode == 1 || mode == 4 || mode == 6) {
            expected.push_back("loadLapSingle");
        } else if (mode <= 8) {
            expected.push_back("loadDragFile");
            expected.push_back("selectLastDragRow");
        }
        expected.push_back("loadHitLog");
        expected.push_back("sendRaceInfo " + console.raceGuid);
        EXPECT_EQ(trace, expected);
        EXPECT_EQ(console.raceMode, mode);
        EXPECT_EQ(view.shownMode, mode <= 8 ? static_cast<int>(mode) : -1);
    }
    EXPECT_TRUE(isSingleLaneMode(4));
    EXPECT_FALSE(isTwoLaneMode(9));
}

TEST_F(EventsTest, ModeMenuItemSavesTheMode) {
    wireLoaders();
    ASSERT_TRUE(setEventName(console, "E").ok());
    selectMode(console, ports, 3);
    EXPECT_NE(home.read("velmaro.ini").find("Mode:3\n"), std::string::npos);
}

TEST_F(EventsTest, NothingLoadsBeforeTheRegistryExists) {
    wireLoaders();
    bool exists = false;
    ports.hooks.registryExists = [&] { return exists; };
    ASSERT_TRUE(setEventName(console, "E").ok());
    setMode(console, ports, 0);
    EXPECT_EQ(trace, std::vector<std::string>{"showMode 0"});
    EXPECT_FALSE(std::filesystem::exists(home / "CHALLENGES/E/race.json"));
}

TEST_F(EventsTest, NewEventCopiesTemplateClassesOnlyWhenTheEventHasNone) {
    wireLoaders();
    home.write("defaultclasses.txt", "template\n");

    op.inputs = {std::string("Весна")};
    newEvent(console, ports, op);
    Console& c = console;
    EXPECT_EQ(c.eventName, "Весна");
    EXPECT_EQ(view.caption, "Velmaro v3.6 - Весна");
    EXPECT_EQ(home.read("CHALLENGES/Весна/classes.txt"), "template\n");
    EXPECT_NE(home.read("velmaro.ini").find("EventName:Весна\n"), std::string::npos);
    EXPECT_FALSE(trace.empty()); // loaded

    // An existing event keeps its own classes.
    home.write("CHALLENGES/Осень/classes.txt", "own\n");
    op.inputs = {std::string("Осень")};
    newEvent(console, ports, op);
    EXPECT_EQ(home.read("CHALLENGES/Осень/classes.txt"), "own\n");

    // Without a template the event simply has no classes.txt, and nobody is told.
    std::filesystem::remove(home / "defaultclasses.txt");
    op.inputs = {std::string("Зима")};
    newEvent(console, ports, op);
    EXPECT_TRUE(std::filesystem::is_directory(home / "CHALLENGES/Зима"));
    EXPECT_FALSE(std::filesystem::exists(home / "CHALLENGES/Зима/classes.txt"));
    EXPECT_TRUE(op.shown.size() == 3u); // the three prompts, no message
}

TEST_F(EventsTest, NewEventRefusesBadNamesAndCancel) {
    ASSERT_TRUE(setEventName(console, "Keep").ok());
    op.inputs = {std::string("../../etc"), std::string(""), std::nullopt};
    newEvent(console, ports, op);
    newEvent(console, ports, op);
    newEvent(console, ports, op);
    Console& c = console;
    EXPECT_EQ(c.eventName, "Keep");
    EXPECT_EQ(c.eventFolder, home / "CHALLENGES" / "Keep");
    // Two refusals were reported (after their prompts); the cancel was not.
    EXPECT_EQ(op.shown.size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(home / "etc"));
    EXPECT_FALSE(std::filesystem::exists(home / "velmaro.ini"));
}

TEST_F(EventsTest, OpenEventTakesOnlyADirectChildOfChallenges) {
    wireLoaders();
    std::filesystem::create_directories(home / "CHALLENGES/Лето/sub");
    openEvent(console, ports, home / "CHALLENGES/Лето/sub", op);
    EXPECT_EQ(console.eventName, "");
    ASSERT_EQ(op.shown.size(), 1u);
    openEvent(console, ports, home.path(), op);
    EXPECT_EQ(console.eventName, "");

    openEvent(console, ports, home / "CHALLENGES/Лето/", op);
    EXPECT_EQ(console.eventName, "Лето");
    EXPECT_EQ(console.eventFolder, home / "CHALLENGES" / "Лето");
    EXPECT_EQ(view.caption, "Velmaro v3.6 - Лето");
    EXPECT_NE(home.read("velmaro.ini").find("EventName:Лето\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(home / "CHALLENGES/Лето/race.json"));
}

TEST_F(EventsTest, RefreshClassesByMode) {
    Console& c = console;
    ports.hooks.refreshRaceItemClasses = step("laps");
    ports.hooks.refreshRunClasses = step("runs");
    std::string seen;
    for (unsigned mode = 0; mode <= 8; ++mode) {
        trace.clear();
        c.raceMode = mode;
        refreshClasses(console, ports);
        seen += trace.empty() ? "-" : trace[0].substr(0, 1);
    }
    EXPECT_EQ(seen, "rlrrlr--r");
}

} // namespace
} // namespace velmaro::test
