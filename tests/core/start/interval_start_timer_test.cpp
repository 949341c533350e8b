// The interval start timer on a test clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/start/interval_start_timer.h"

namespace velmaro::test {
namespace {

class IntervalTimerTest : public ::testing::Test {
protected:
    std::int64_t now = 5'000'000;
    std::vector<std::string> presses;
    std::function<void()> duringStart;
    IntervalStartTimer timer{[this] { return now; },
                             [this] {
                                 presses.push_back("START@" + std::to_string((now - 5'000'000) / 1000));
                                 if (duringStart) duringStart();
                             },
                             [this] { presses.push_back("NEXT@" + std::to_string((now - 5'000'000) / 1000)); }};

    // Ticks once a second until `seconds` after the start of the test clock.
    void tickUntil(int seconds) {
        while (now < 5'000'000 + std::int64_t(seconds) * 1000) {
            now += 1000;
            timer.tick();
        }
    }
};

TEST_F(IntervalTimerTest, PacesStartsAndNexts) {
    ASSERT_TRUE(timer.switchOn("60"));
    tickUntil(140);
    EXPECT_EQ(presses, (std::vector<std::string>{"NEXT@1", "START@60", "NEXT@70", "START@120", "NEXT@130"}));
    EXPECT_EQ(timer.countdownText(), "00:40");

    // "СТАРТ" fires at the next tick; the pace then counts from that tick's due time.
    presses.clear();
    timer.startNow();
    tickUntil(200);
    EXPECT_EQ(presses, (std::vector<std::string>{"START@141", "NEXT@151", "START@200"}));
}

TEST_F(IntervalTimerTest, AClockJumpOrALongDialogFiresOneStart) {
    ASSERT_TRUE(timer.switchOn("60"));
    tickUntil(61);
    presses.clear();
    // Ten minutes without a tick (a dialog held the console).
    now += 600'000;
    timer.tick();
    tickUntil(720);
    EXPECT_EQ(presses, (std::vector<std::string>{"START@661", "NEXT@671", "START@720"}));
}

TEST_F(IntervalTimerTest, TicksDuringAPressPressNothing) {
    ASSERT_TRUE(timer.switchOn("5"));
    int nested = 0;
    duringStart = [&] {
        // START's dialog: the window's timer keeps firing in its event loop.
        for (int i = 0; i < 15; ++i) {
            now += 1000;
            timer.tick();
            ++nested;
        }
    };
    now += 1000;
    timer.tick(); // NEXT (nothing started yet)
    now += 4000;
    timer.tick(); // START, whose dialog lasts 15 s
    EXPECT_EQ(nested, 15);
    EXPECT_EQ(presses, (std::vector<std::string>{"NEXT@1", "START@5"}));
}

TEST_F(IntervalTimerTest, IntervalTexts) {
    EXPECT_FALSE(timer.switchOn("abc"));
    EXPECT_FALSE(timer.switchOn("0"));
    EXPECT_FALSE(timer.switchOn("-5"));
    EXPECT_FALSE(timer.on());
    tickUntil(5);
    EXPECT_TRUE(presses.empty());

    ASSERT_TRUE(timer.switchOn(" 30 "));
    tickUntil(35);
    ASSERT_EQ(presses.back(), "START@35");
    // A shorter interval moves the next START to the last START + the interval, which
    // may already have passed: START at the next tick.
    tickUntil(45);
    EXPECT_FALSE(timer.setInterval("0"));
    EXPECT_EQ(timer.intervalSeconds(), 30);
    EXPECT_TRUE(timer.setInterval("10"));
    presses.clear();
    tickUntil(46);
    EXPECT_EQ(presses, (std::vector<std::string>{"START@46"}));

    timer.switchOff();
    tickUntil(200);
    EXPECT_EQ(presses.size(), 1u);
}

} // namespace
} // namespace velmaro::test
