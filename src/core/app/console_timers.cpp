#include "core/app/console_timers.h"

#include <cstdio>

#include "core/app/console.h"

namespace velmaro {

void sysTimerTick(Console& c, const std::function<void(int, std::uint8_t)>& sendBrightness) {
    if (c.scoreboard || c.brightnessCountdown <= 0) return;
    --c.brightnessCountdown;
    if (c.brightnessCountdown == 0) {
        if (sendBrightness) sendBrightness(c.scoreboardBrightness, kRightDisplayNode);
        c.brightnessCountdown = kBrightnessCountdownStart;
    }
    if (c.brightnessCountdown == 50 && sendBrightness) sendBrightness(c.scoreboardBrightness, kLeftDisplayNode);
}

void secondTimerTick(Console& c, std::time_t now) {
    TScoreboardController* sb = c.scoreboard;
    if (!sb || !isGateLapMode(c.raceMode) || sb->getType() != 117) return;
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    sb->showClock(text, 81, 0, 0);
}

void onScoreboardEvent(Console& c, std::uintptr_t wParam, std::intptr_t lParam,
                       const std::function<void(const std::string&)>& log) {
    if (wParam != 0) return;
    if (TScoreboardController* sb = c.scoreboard) sb->setBrightness(c.scoreboardBrightness);
    if (log) log("SCOREBOARD:" + std::to_string(static_cast<long long>(lParam)));
}

} // namespace velmaro
