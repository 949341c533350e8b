#pragma once
// What the channel scan window and the scoreboard settings dialog need of the console:
// the node link's commands (TSystemInterface), the scoreboards and the settings file.
// ConsoleChannelScanPort and ConsoleScoreboardSettingsPort implement them over the
// node link and the console they are built with (its scoreboard object, skipped while
// null; not owned). Main thread.
#include <cstdint>
#include <string>

namespace velmaro {
class Console;
class ConsolePorts;
class NodeLink;
class TScoreboardController;
class DragRuns; // core/drag/drag_runs.h
} // namespace velmaro

namespace velmaro::ui {

class ChannelScanPort {
public:
    ChannelScanPort() = default;
    ChannelScanPort(const ChannelScanPort&) = delete;
    ChannelScanPort& operator=(const ChannelScanPort&) = delete;
    virtual ~ChannelScanPort() = default;
    // TSystemInterface::requestChannelScan: the start unit scans; SE_CHANNEL_LEVELS follows.
    virtual void requestChannelScan() = 0;
};

class ScoreboardSettingsPort {
public:
    ScoreboardSettingsPort() = default;
    ScoreboardSettingsPort(const ScoreboardSettingsPort&) = delete;
    ScoreboardSettingsPort& operator=(const ScoreboardSettingsPort&) = delete;
    virtual ~ScoreboardSettingsPort() = default;
    // The scoreboard controller object, null when the library made none.
    virtual TScoreboardController* scoreboard() = 0;
    // TSystemInterface::sendDisplayBrightness (lane displays, nodes 8 and 9).
    virtual void sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node) = 0;
    // TSystemInterface::requestTimeoutsPush.
    virtual void requestTimeoutsPush() = 0;
    // TNRFScoreboardController::setBrightness and ::showText (board 0 left, 1 right).
    virtual void radioSetBrightness(int brightness) = 0;
    virtual void radioShowText(const std::string& text, int first, int second, int board) = 0;
    // sendTextToScoreboards: both lane displays show the two texts.
    virtual void showTextOnLaneDisplays(const std::string& upper, const std::string& lower, int brightness) = 0;
    // The settings values ScoreboardBrightness, ShowLogo and ShowDirtyTimeSB taken and
    // velmaro.ini rewritten.
    virtual void saveScoreboardSettings(int brightness, bool showLogo, bool showDirtyTime) = 0;
    // The track bar's position is the brightness the lane display timer and the scoreboard
    // event read (ScoreboardBrightness) from now on; velmaro.ini is written on close.
    virtual void takeBrightness(int brightness) = 0;
};

class ConsoleChannelScanPort final : public ChannelScanPort {
public:
    explicit ConsoleChannelScanPort(NodeLink& link) : link_(link) {}
    void requestChannelScan() override;

private:
    NodeLink& link_;
};

// `ports` is what the settings file is written through (the class pages' lines).
class ConsoleScoreboardSettingsPort final : public ScoreboardSettingsPort {
public:
    // `runs`: whose drag host lights the lane displays.
    ConsoleScoreboardSettingsPort(Console& console, ConsolePorts& ports, DragRuns& runs, NodeLink& link)
        : console_(console), ports_(ports), runs_(runs), link_(link) {}
    TScoreboardController* scoreboard() override;
    void sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node) override;
    void requestTimeoutsPush() override;
    void radioSetBrightness(int brightness) override;
    void radioShowText(const std::string& text, int first, int second, int board) override;
    void showTextOnLaneDisplays(const std::string& upper, const std::string& lower, int brightness) override;
    void saveScoreboardSettings(int brightness, bool showLogo, bool showDirtyTime) override;
    void takeBrightness(int brightness) override;

private:
    Console& console_;
    ConsolePorts& ports_;
    DragRuns& runs_;
    NodeLink& link_;
};

} // namespace velmaro::ui
