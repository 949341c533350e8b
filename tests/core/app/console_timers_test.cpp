// The main window's 10 ms brightness countdown, 1 s scoreboard clock and the scoreboard
// library's event.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <netinet/in.h>

#include <utility>
#include <vector>

#include "core/app/console.h"
#include "core/app/console_timers.h"

namespace velmaro {
namespace {

using ::testing::_;
using ::testing::Return;

class MockScoreboard : public TScoreboardController {
public:
    MOCK_METHOD(void, showResult, (int, int, int, int, int, int, int, int), (override));
    MOCK_METHOD(void, reset, (int), (override));
    MOCK_METHOD(void, setDisplayState, (int, int), (override));
    MOCK_METHOD(void, showClock, (const std::string&, int, int, int), (override));
    MOCK_METHOD(void, startTiming, (), (override));
    MOCK_METHOD(void, stopTiming, (), (override));
    MOCK_METHOD(void, setBrightness, (int), (override));
    MOCK_METHOD(void, setWaitTimeout, (int), (override));
    MOCK_METHOD(int, getType, (), (override));
    MOCK_METHOD(void, showText, (const std::string&, int, int, int, int, int), (override));
    MOCK_METHOD(void, handleLine, (const std::string&, const sockaddr_in&), (override));
    MOCK_METHOD(void, showLogo, (), (override));
    MOCK_METHOD(void, showLane, (int, int, int, int, int, int, int, int, int, const std::string&, const std::string&),
                (override));
    MOCK_METHOD(void, showRacerAtStart, (int), (override));
};

class ConsoleTimersTest : public ::testing::Test {
protected:
    Console c; // fresh for each case
};

TEST_F(ConsoleTimersTest, BrightnessGoesLeftAt150TicksThenEvery200AndRightEvery200) {
    c.scoreboardBrightness = 7;
    std::vector<std::pair<int, int>> sent; // (tick, node)
    int tick = 0;
    auto send = [&](int brightness, std::uint8_t node) {
        EXPECT_EQ(brightness, 7);
        sent.emplace_back(tick, node);
    };
    for (tick = 1; tick <= 600; ++tick) sysTimerTick(c, send);
    const std::vector<std::pair<int, int>> want = {{150, 8}, {200, 9}, {350, 8}, {400, 9}, {550, 8}, {600, 9}};
    EXPECT_EQ(sent, want);
}

TEST_F(ConsoleTimersTest, NoBrightnessWhileAControllerExists) {
    MockScoreboard sb;
    c.scoreboard = &sb;
    int sends = 0;
    for (int i = 0; i < 400; ++i) sysTimerTick(c, [&](int, std::uint8_t) { ++sends; });
    EXPECT_EQ(sends, 0);
    EXPECT_EQ(c.brightnessCountdown, kBrightnessCountdownStart);
}

TEST_F(ConsoleTimersTest, ClockOnlyOnType117InModes1And4) {
    MockScoreboard sb;
    c.scoreboard = &sb;
    ON_CALL(sb, getType()).WillByDefault(Return(117));
    EXPECT_CALL(sb, getType()).Times(::testing::AnyNumber());
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char want[16];
    std::snprintf(want, sizeof want, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);

    EXPECT_CALL(sb, showClock(std::string(want), 81, 0, 0)).Times(2);
    for (unsigned mode : {0u, 1u, 2u, 4u, 6u}) {
        c.raceMode = mode;
        secondTimerTick(c, now);
    }
    ON_CALL(sb, getType()).WillByDefault(Return(118));
    c.raceMode = 1;
    secondTimerTick(c, now); // another type: no clock
    c.scoreboard = nullptr;
    secondTimerTick(c, now); // no controller: nothing
}

TEST_F(ConsoleTimersTest, ScoreboardEventZeroSetsBrightnessAndLogs) {
    MockScoreboard sb;
    c.scoreboardBrightness = 12;
    std::vector<std::string> log;
    auto logLine = [&](const std::string& l) { log.push_back(l); };

    onScoreboardEvent(c, 1, 5, logLine); // wParam 1: nothing at all
    EXPECT_TRUE(log.empty());

    onScoreboardEvent(c, 0, 3, logLine); // no controller: the log line only
    c.scoreboard = &sb;
    EXPECT_CALL(sb, setBrightness(12)).Times(1);
    onScoreboardEvent(c, 0, -2, logLine);
    EXPECT_EQ(log, (std::vector<std::string>{"SCOREBOARD:3", "SCOREBOARD:-2"}));
}

} // namespace
} // namespace velmaro
