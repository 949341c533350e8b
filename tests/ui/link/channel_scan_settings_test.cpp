// The channel scan window's bars and the scoreboard settings dialog with a fake console.
#include <gtest/gtest.h>

#include "core/app/console.h"
#include "core/app/console_timers.h"
#include "core/app/scoreboard_controller.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/link/node_link.h"
#include "fakes/hook_ports.h"
#include "ui/link/channel_scan_dialog.h"
#include "ui/link/scoreboard_settings_dialog.h"

namespace velmaro::ui {
namespace {

class FakeScan : public ChannelScanPort {
public:
    void requestChannelScan() override { ++requests; }
    int requests = 0;
};

TEST(ChannelScan, BarsStayInsideTheBox) {
    struct Row {
        int channel, level, w, h;
        ChannelBar bar;
    } rows[] = {
        {0, 255, 252, 256, {0, 2, 1}},       // the box height minus one 256th
        {1, 128, 252, 100, {2, 4, 50}},      // a box lower than 256 pixels still shows it
        {125, 0, 252, 100, {250, 252, 100}}, // no bar
        {3, 300, 252, 100, {6, 8, 1}},       // an out-of-range level is held at 255
    };
    for (const Row& r : rows) {
        const ChannelBar bar = channelBar(r.channel, r.level, r.w, r.h);
        EXPECT_EQ(bar, r.bar) << r.channel << " " << r.level;
        EXPECT_GE(bar.top, 0);
        EXPECT_LE(bar.top, r.h);
    }
    FakeScan port;
    TscanChannelsForm form(port);
    form.Button1->click();
    EXPECT_EQ(port.requests, 1);
    std::array<std::uint8_t, CHANNEL_COUNT> levels{};
    levels[7] = 255;
    form.setLevels(levels);
    EXPECT_EQ(form.levels()[7], 255); // unsigned, not -1
}

class FakeScoreboard : public TScoreboardController {
public:
    void showResult(int a, int lane, int racer, int t, int s, int, int, int r) override {
        calls.push_back("result " + std::to_string(a) + " " + std::to_string(lane) + " " + std::to_string(racer) + " " +
                        std::to_string(t) + " " + std::to_string(s) + " " + std::to_string(r));
    }
    void reset(int full) override { calls.push_back("reset " + std::to_string(full)); }
    void setDisplayState(int a, int b) override {
        calls.push_back("state " + std::to_string(a) + " " + std::to_string(b));
    }
    void showClock(const std::string&, int, int, int) override {}
    void startTiming() override {}
    void stopTiming() override {}
    void setBrightness(int level) override { calls.push_back("brightness " + std::to_string(level)); }
    void setWaitTimeout(int) override {}
    int getType() override { return type; }
    void showText(const std::string& text, int a, int b, int c, int d, int e) override {
        calls.push_back("text " + text + " " + std::to_string(a) + std::to_string(b) + std::to_string(c) +
                        std::to_string(d) + " " + std::to_string(e));
    }
    void handleLine(const std::string&, const sockaddr_in&) override {}
    void showLogo() override {}
    void showLane(int, int, int, int, int, int, int, int, int, const std::string&, const std::string&) override {}
    void showRacerAtStart(int) override {}
    int type = 124;
    std::vector<std::string> calls;
};

class FakeSettings : public ScoreboardSettingsPort {
public:
    TScoreboardController* scoreboard() override { return board; }
    void sendDisplayBrightness(std::uint16_t b, std::uint8_t node) override {
        calls.push_back("display " + std::to_string(b) + " node " + std::to_string(node));
    }
    void requestTimeoutsPush() override { calls.push_back("timeouts"); }
    void radioSetBrightness(int b) override { calls.push_back("radio brightness " + std::to_string(b)); }
    void radioShowText(const std::string& t, int a, int b, int board_) override {
        calls.push_back("radio text " + t + " " + std::to_string(a) + std::to_string(b) + " " + std::to_string(board_));
    }
    void showTextOnLaneDisplays(const std::string& u, const std::string& l, int b) override {
        calls.push_back("lanes " + u + " " + l + " " + std::to_string(b));
    }
    void saveScoreboardSettings(int b, bool logo, bool dirty) override {
        calls.push_back("save " + std::to_string(b) + " " + std::to_string(logo) + " " + std::to_string(dirty));
    }
    void takeBrightness(int b) override { calls.push_back("take " + std::to_string(b)); }
    TScoreboardController* board = nullptr;
    std::vector<std::string> calls;
};

TEST(ScoreboardSettings, BrightnessTestDisplayAndSaving) {
    FakeSettings port;
    TfScoreboardConfig dialog(port);
    dialog.fillFromSettings(9, false, true); // filling neither sends nor saves
    EXPECT_TRUE(port.calls.empty());
    EXPECT_TRUE(dialog.cbShowDirtyTime->isChecked());

    // Without a controller object: lane displays 8 and 9, then the radio boards.
    dialog.tbBrightness->setValue(5);
    EXPECT_EQ(port.calls,
              (std::vector<std::string>{"take 5", "display 5 node 8", "display 5 node 9", "radio brightness 5"}));

    // Test display without a controller: lane displays and radio boards only.
    port.calls.clear();
    dialog.sSpeedButton2Click();
    EXPECT_EQ(port.calls,
              (std::vector<std::string>{"lanes 12.345 123.4 5", "radio text 12.345 00 0", "radio text 12.345 00 1"}));

    // Type 120 with number 133 shows 33.
    FakeScoreboard board;
    board.type = 120;
    port.board = &board;
    dialog.sMaskEdit2->setText("133");
    dialog.sSpeedButton2Click();
    EXPECT_EQ(board.calls, (std::vector<std::string>{std::string("text 33 \x03") + "0:12.34 0313 16"}));

    // Another type: reset, both lanes, display states.
    board.type = 124;
    board.calls.clear();
    dialog.sSpeedButton3Click();
    dialog.sSpeedButton2Click();
    EXPECT_EQ(board.calls, (std::vector<std::string>{"brightness 5", "reset 0", "result 1 1 133 12345 1234 321",
                                                     "result 1 2 133 12345 1234 321", "state 0 0", "state 0 1"}));

    port.calls.clear();
    dialog.SpeedButton1->click();
    dialog.cbShowLogo->click();
    dialog.sSpeedButton1->click();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"timeouts", "save 5 1 1", "save 5 1 1"}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// While the dialog is open, the lane display timer and the scoreboard event use the
// track bar's position, not the value of the last close.
TEST(ScoreboardSettings, TheTrackBarIsTheBrightnessTheConsoleReads) {
    Console c;
    velmaro::test::HookPorts ports;
    test::FakeDragHost host;
    DragRuns runs{host};
    NodeLink link;
    ConsoleScoreboardSettingsPort port(c, ports, runs, link);
    TfScoreboardConfig dialog(port);
    dialog.fillFromSettings(c.scoreboardBrightness, false, false);
    dialog.tbBrightness->setValue(5);

    std::vector<std::pair<int, int>> sent; // brightness, node
    for (int tick = 0; tick < kBrightnessCountdownStart; ++tick)
        sysTimerTick(c, [&](int brightness, std::uint8_t node) { sent.emplace_back(brightness, node); });
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{5, kLeftDisplayNode}, {5, kRightDisplayNode}}));

    FakeScoreboard board;
    c.scoreboard = &board;
    onScoreboardEvent(c, 0, 1, nullptr);
    EXPECT_EQ(board.calls, (std::vector<std::string>{"brightness 5"}));
    c.scoreboard = nullptr;
}

} // namespace
} // namespace velmaro::ui
