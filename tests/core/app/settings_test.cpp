#include <gtest/gtest.h>

#include "console_fixture.h"
#include "core/app/events.h"
#include "core/app/settings.h"

namespace velmaro::test {
namespace {

class SettingsTest : public ConsoleTest {};

TEST_F(SettingsTest, EveryKeySurvivesSaveAndLoad) {
    Console& c = console;
    ASSERT_TRUE(setEventName(console, "Кубок весны").ok());
    c.raceMode = 7;
    c.speedTrapDistance = 12.5f;
    c.repeatTimeout = 600;
    c.detectorTimeout = 8;
    c.blockFinishTimeout = 3;
    c.bracketType = 6;
    c.bracketGenMethod = 2;
    c.scoreboardBrightness = 9;
    c.showLogo = 0;
    c.proStart = true;
    c.waitRacerTimeout = 240;
    c.autoStart = true;
    c.printBoth = true;
    c.showDirtyTimeSB = 1;
    c.invertScoreboard = 1;
    saveSettings(console, ports);

    EXPECT_EQ(home.read("velmaro.ini"),
              "EventName:Кубок весны\nMode:7\nSpeedTrapDistance:12.5\nBlockTimeout:600,8\nBlockFinishTimeout:3\n"
              "BracketType:6\nBracketGenMethod:2\nScoreboardBrightness:9\nShowLogo:0\nProStart:1\n"
              "WaitRacerTimeout:240\nAutoStart:1\nPrintBoth:1\nShowDirtyTimeSB:1\nInvertScoreboard:1\n");

    resetConsole();
    console.view = &view;
    loadSettings(console, ports);
    EXPECT_EQ(c.eventName, "Кубок весны");
    EXPECT_EQ(c.eventFolder, home / "CHALLENGES" / "Кубок весны");
    EXPECT_TRUE(std::filesystem::is_directory(c.eventFolder));
    EXPECT_EQ(view.caption, "Velmaro v3.6 - Кубок весны");
    EXPECT_EQ(c.raceMode, 7u);
    EXPECT_EQ(view.shownMode, 7);
    EXPECT_FLOAT_EQ(c.speedTrapDistance, 12.5f);
    EXPECT_EQ(c.repeatTimeout, 600);
    EXPECT_EQ(c.detectorTimeout, 8);
    EXPECT_EQ(c.blockFinishTimeout, 3);
    EXPECT_EQ(c.bracketType, 6);
    EXPECT_EQ(c.bracketGenMethod, 2);
    EXPECT_EQ(c.scoreboardBrightness, 9);
    EXPECT_EQ(c.showLogo, 0);
    EXPECT_TRUE(c.proStart);
    EXPECT_EQ(c.waitRacerTimeout, 240);
    EXPECT_TRUE(c.autoStart);
    EXPECT_TRUE(c.printBoth);
    EXPECT_TRUE(view.printButtonsArranged);
    EXPECT_EQ(c.showDirtyTimeSB, 1);
    EXPECT_EQ(c.invertScoreboard, 1);

    // The same file again, byte for byte.
    std::string first = home.read("velmaro.ini");
    saveSettings(console, ports);
    EXPECT_EQ(home.read("velmaro.ini"), first);
}

TEST_F(SettingsTest, FinalCountLinesSitBetweenBlockFinishAndBracketTypeAndScoreboardLinesNeedTheDialog) {
    Console& c = console;
    std::string text = formatSettings(c, {{1, 0}, {3, 0}}, false);
    EXPECT_NE(text.find("BlockFinishTimeout:0\nFinalCount:1,0\nFinalCount:3,0\nBracketType:-1\n"), std::string::npos);
    EXPECT_EQ(text.find("ScoreboardBrightness"), std::string::npos);
    EXPECT_EQ(text.find("ShowLogo"), std::string::npos);
    EXPECT_EQ(text.find("ShowDirtyTimeSB"), std::string::npos);
    EXPECT_EQ(formatSettings(c, {}, true).find("FinalCount"), std::string::npos);

    c.raceMode = 9; // a mode above 8 ticks no item: no Mode line
    EXPECT_EQ(formatSettings(c, {}, true).find("Mode:"), std::string::npos);
}

TEST_F(SettingsTest, MissingFileKeepsEveryDefault) {
    loadSettings(console, ports);
    Console& c = console;
    EXPECT_EQ(c.raceMode, 1u);
    EXPECT_EQ(c.eventName, "");
    EXPECT_FLOAT_EQ(c.speedTrapDistance, 20.0f);
    EXPECT_EQ(c.repeatTimeout, 1000);
    EXPECT_EQ(c.detectorTimeout, 2);
    EXPECT_EQ(c.scoreboardBrightness, 16);
    EXPECT_EQ(c.showLogo, 1);
    EXPECT_EQ(c.waitRacerTimeout, 180);
    EXPECT_EQ(c.bracketType, -1);
}

// One line each on a default console; `check` says what must hold afterwards.
struct LineCase {
    const char* name;
    const char* line;
    bool applied;
    std::function<bool(const Console&)> check;
};

TEST_F(SettingsTest, MalformedAndEdgeLines) {
    const LineCase cases[] = {
        {"block timeout with one number changes neither", "BlockTimeout:1000", false,
         [](const Console& c) { return c.repeatTimeout == 1000 && c.detectorTimeout == 2; }},
        {"block timeout with a blank before the comma", "BlockTimeout:600 ,4", false,
         [](const Console& c) { return c.repeatTimeout == 1000; }},
        {"block timeout blanks after the colon", "BlockTimeout: 600, 4", true,
         [](const Console& c) { return c.repeatTimeout == 600 && c.detectorTimeout == 4; }},
        {"block timeout half above 16 bits becomes the default", "BlockTimeout:131072,4", true,
         [](const Console& c) { return c.repeatTimeout == 1000 && c.detectorTimeout == 4; }},
        {"negative detector timeout becomes the default", "BlockTimeout:600,-2", true,
         [](const Console& c) { return c.repeatTimeout == 600 && c.detectorTimeout == 2; }},
        {"block timeout beyond int is dropped", "BlockTimeout:99999999999,2", false,
         [](const Console& c) { return c.repeatTimeout == 1000; }},
        {"pro start 2 is the traditional tree", "ProStart:2", true, [](const Console& c) { return !c.proStart; }},
        {"pro start 1", "ProStart:1", true, [](const Console& c) { return c.proStart; }},
        {"auto start 2 stays unticked", "AutoStart:2", true, [](const Console& c) { return !c.autoStart; }},
        {"invert scoreboard 2 is stored as 2", "InvertScoreboard:2", true,
         [](const Console& c) { return c.invertScoreboard == 2; }},
        {"speed trap zero becomes the default", "SpeedTrapDistance:0", true,
         [](const Console& c) { return c.speedTrapDistance == 20.0f; }},
        {"speed trap negative becomes the default", "SpeedTrapDistance:-3.5", true,
         [](const Console& c) { return c.speedTrapDistance == 20.0f; }},
        {"speed trap nan becomes the default", "SpeedTrapDistance:nan", true,
         [](const Console& c) { return c.speedTrapDistance == 20.0f; }},
        {"speed trap inf becomes the default", "SpeedTrapDistance:inf", true,
         [](const Console& c) { return c.speedTrapDistance == 20.0f; }},
        {"speed trap with text after the number", "SpeedTrapDistance:15.5m", true,
         [](const Console& c) { return c.speedTrapDistance == 15.5f; }},
        {"speed trap comma reads the whole part only", "SpeedTrapDistance:15,5", true,
         [](const Console& c) { return c.speedTrapDistance == 15.0f; }},
        {"speed trap without a number", "SpeedTrapDistance:abc", false,
         [](const Console& c) { return c.speedTrapDistance == 20.0f; }},
        {"brightness out of range becomes 16", "ScoreboardBrightness:40", true,
         [](const Console& c) { return c.scoreboardBrightness == 16; }},
        {"brightness in range", "ScoreboardBrightness:3", true,
         [](const Console& c) { return c.scoreboardBrightness == 3; }},
        {"bracket type out of range selects none", "BracketType:11", true,
         [](const Console& c) { return c.bracketType == -1; }},
        {"generation method out of range is the default", "BracketGenMethod:5", true,
         [](const Console& c) { return c.bracketGenMethod == 0; }},
        {"block finish timeout negative becomes 0", "BlockFinishTimeout:-5", true,
         [](const Console& c) { return c.blockFinishTimeout == 0; }},
        {"final count is never read", "FinalCount:2,0", false, [](const Console&) { return true; }},
        {"use scoreboard is accepted and ignored", "UseScoreboard:1", false, [](const Console&) { return true; }},
        {"unknown key", "Colour:red", false, [](const Console&) { return true; }},
        {"key without colon", "WaitRacerTimeout 30", false, [](const Console& c) { return c.waitRacerTimeout == 180; }},
        {"key in lower case", "showlogo:0", false, [](const Console& c) { return c.showLogo == 1; }},
        {"mode above 8 is stored", "Mode:12", true, [](const Console& c) { return c.raceMode == 12; }},
        {"mode without a number", "Mode:x", false, [](const Console& c) { return c.raceMode == 1; }},
        {"event name without colon", "EventName", false, [](const Console& c) { return c.eventName.empty(); }},
        {"event name empty is refused", "EventName:", false, [](const Console& c) { return c.eventName.empty(); }},
        {"event name with a separator is refused", "EventName:../etc", false,
         [](const Console& c) { return c.eventName.empty(); }},
        {"event name with a colon keeps it", "EventName:a:b", true,
         [](const Console& c) { return c.eventName == "a:b"; }},
        {"empty line", "", false, [](const Console&) { return true; }},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Console probe;
        EXPECT_EQ(applySettingsLine(probe, row.line), row.applied);
        EXPECT_TRUE(row.check(probe));
    }
}

TEST_F(SettingsTest, ReaderStripsCarriageReturnsAndLaterLinesWin) {
    home.write("velmaro.ini", "EventName:Этап 2\r\nMode:0\r\nWaitRacerTimeout:30\r\nWaitRacerTimeout:45\r\n");
    loadSettings(console, ports);
    Console& c = console;
    EXPECT_EQ(c.eventName, "Этап 2"); // no CR in the name, so no stray folder either
    EXPECT_TRUE(std::filesystem::is_directory(home / "CHALLENGES" / "Этап 2"));
    EXPECT_EQ(c.raceMode, 0u);
    EXPECT_EQ(c.waitRacerTimeout, 45);
}

TEST_F(SettingsTest, Cp1251EventNameFromAnOldConsoleIsRead) {
    home.write("velmaro.ini", std::string("EventName:\xCA\xF3\xE1\xEE\xEA\n")); // "Кубок" in CP1251
    loadSettings(console, ports);
    EXPECT_EQ(console.eventName, "Кубок");
}

TEST_F(SettingsTest, Cp1251EventFolderIsFoundAgainAfterARestart) {
    const std::string cp1251 = "\xCA\xF3\xE1\xEE\xEA"; // "Кубок" in CP1251, a folder of an old console
    std::filesystem::create_directories(home / "CHALLENGES" / cp1251);
    home.write("CHALLENGES/" + cp1251 + "/drag.txt", "DRAGITEM:1,0,2,0,0,0,1,0,0\n");
    openEvent(console, ports, home / "CHALLENGES" / cp1251, op);
    ASSERT_EQ(console.eventName, "Кубок");
    EXPECT_NE(home.read("velmaro.ini").find("EventName:" + cp1251 + "\n"), std::string::npos);

    resetConsole(); // a restart
    loadSettings(console, ports);
    Console& c = console;
    EXPECT_EQ(c.eventName, "Кубок");
    EXPECT_EQ(c.eventFolder, home / "CHALLENGES" / cp1251);
    EXPECT_TRUE(std::filesystem::exists(c.eventFolder / "drag.txt"));
    EXPECT_FALSE(std::filesystem::exists(home / "CHALLENGES" / "Кубок")); // no new empty folder
}

TEST_F(SettingsTest, LongLineIsCutAndItsRestReadAsTheNextLine) {
    std::string tail = "WaitRacerTimeout:77";
    std::string line = "X" + std::string(509, 'y') + tail; // 510 characters, then the tail
    auto lines = splitSettingsLines(line + "\nShowLogo:0\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 510u);
    EXPECT_EQ(lines[1], tail);
    EXPECT_EQ(lines[2], "ShowLogo:0");
}

TEST_F(SettingsTest, SpeedTrapAnswers) {
    EXPECT_FLOAT_EQ(*parseSpeedTrapAnswer("12,5"), 12.5f);
    EXPECT_FLOAT_EQ(*parseSpeedTrapAnswer(" 7.25 м"), 7.25f);
    EXPECT_FALSE(parseSpeedTrapAnswer(""));
    EXPECT_FALSE(parseSpeedTrapAnswer("abc"));
    EXPECT_FALSE(parseSpeedTrapAnswer("0"));
    EXPECT_FALSE(parseSpeedTrapAnswer("-4"));
    EXPECT_FALSE(parseSpeedTrapAnswer("inf"));
    EXPECT_FALSE(parseSpeedTrapAnswer("1e40")); // not a 32-bit float

    op.inputs = {std::string("12,5")};
    EXPECT_TRUE(askSpeedTrapDistance(console, ports, op));
    EXPECT_EQ(speedTrapCaption(console), "Дистанция до датчика скорости:   12.5 м");
    EXPECT_NE(home.read("velmaro.ini").find("SpeedTrapDistance:12.5\n"), std::string::npos);

    op.inputs = {std::string("-1")};
    EXPECT_FALSE(askSpeedTrapDistance(console, ports, op));
    EXPECT_FLOAT_EQ(console.speedTrapDistance, 12.5f);
}

TEST_F(SettingsTest, TimeoutsDialogRoundTripAndRefusals) {
    Console& c = console;
    std::vector<std::pair<int, int>> sent;
    ports.hooks.setLinkTimeouts = [&](int r, int d) { sent.emplace_back(r, d); };

    TimeoutTexts shown = timeoutTexts(c);
    EXPECT_EQ(shown.repeat, "500");
    EXPECT_EQ(shown.detector, "1");
    EXPECT_EQ(shown.blockFinish, "0");
    applyTimeoutTexts(console, ports, shown);
    EXPECT_NE(home.read("velmaro.ini").find("BlockTimeout:1000,2\n"), std::string::npos);

    applyTimeoutTexts(console, ports, {"70000", "abc", "4"}); // too big for 16 bits, not a number: both left
    EXPECT_EQ(c.repeatTimeout, 1000);
    EXPECT_EQ(c.detectorTimeout, 2);
    EXPECT_EQ(c.blockFinishTimeout, 4);

    applyTimeoutTexts(console, ports, {"65535", "-1", "x"});
    EXPECT_EQ(c.repeatTimeout, 131070);
    EXPECT_EQ(c.detectorTimeout, 2);
    EXPECT_EQ(c.blockFinishTimeout, 4);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent.back(), std::make_pair(65535, 1));
}

TEST_F(SettingsTest, UnwritableFileIsSkippedSilently) {
    std::filesystem::create_directories(home / "velmaro.ini"); // a folder in the way
    saveSettings(console, ports);
    EXPECT_TRUE(op.shown.empty());
    EXPECT_TRUE(std::filesystem::is_directory(home / "velmaro.ini"));
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

TEST_F(SettingsTest, ReplayTargetsAreWrittenOnlyWhenChanged) {
    Console& c = console;
    saveSettings(console, ports);
    EXPECT_EQ(home.read("velmaro.ini").find("Replay"), std::string::npos); // defaults: no lines
    home.write("velmaro.ini", "ReplayRunTarget:10.213.0.2\nReplayStepTarget:not an address\n");
    loadSettings(console, ports);
    EXPECT_EQ(c.replayRunTarget, "10.213.0.2");
    EXPECT_EQ(c.replayStepTarget, kDefaultReplayStepTarget);
    saveSettings(console, ports);
    const std::string ini = home.read("velmaro.ini");
    EXPECT_NE(ini.find("ReplayRunTarget:10.213.0.2\n"), std::string::npos);
    EXPECT_EQ(ini.find("ReplayStepTarget"), std::string::npos);
}

} // namespace
} // namespace velmaro::test
