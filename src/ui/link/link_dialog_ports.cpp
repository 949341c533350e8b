#include "ui/link/link_dialog_ports.h"

#include "core/app/console.h"
#include "core/app/settings.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_scoreboard.h"
#include "core/link/node_link.h"

namespace velmaro::ui {

void ConsoleChannelScanPort::requestChannelScan() { link_.requestChannelScan(); }

TScoreboardController* ConsoleScoreboardSettingsPort::scoreboard() { return console_.scoreboard; }

void ConsoleScoreboardSettingsPort::sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node) {
    link_.sendDisplayBrightness(brightness, node);
}

void ConsoleScoreboardSettingsPort::requestTimeoutsPush() { link_.requestTimeoutsPush(); }

void ConsoleScoreboardSettingsPort::radioSetBrightness(int brightness) { link_.radioSetBrightness(brightness); }

void ConsoleScoreboardSettingsPort::radioShowText(const std::string& text, int first, int second, int board) {
    link_.radioShowText(text, first, second, board);
}

void ConsoleScoreboardSettingsPort::showTextOnLaneDisplays(const std::string& upper, const std::string& lower,
                                                           int brightness) {
    runs_.sendTextToScoreboards(upper, lower, brightness);
}

void ConsoleScoreboardSettingsPort::saveScoreboardSettings(int brightness, bool showLogo, bool showDirtyTime) {
    Console& c = console_;
    c.scoreboardBrightness = brightness;
    c.showLogo = showLogo ? 1 : 0;
    c.showDirtyTimeSB = showDirtyTime ? 1 : 0;
    saveSettings(c, ports_);
}

void ConsoleScoreboardSettingsPort::takeBrightness(int brightness) { console_.scoreboardBrightness = brightness; }

} // namespace velmaro::ui
