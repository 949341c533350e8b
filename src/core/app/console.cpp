#include "core/app/console.h"

#include <stdexcept>

#include <ctime>

namespace velmaro {

bool isSingleLaneMode(unsigned mode) { return mode == 1 || mode == 4 || mode == 6; }
bool isTwoLaneMode(unsigned mode) { return mode < kModeCount && !isSingleLaneMode(mode); }

ConsolePorts& Console::ports() {
    if (!ports_) throw std::logic_error("console ports are not connected");
    return *ports_;
}

void Console::resetToDefaults() {
    eventFolder.clear();
    eventName.clear();
    raceGuid.clear();
    raceMode = 1;
    racerAtStart = 0;
    sendRacersList = false;
    editingNumber = false;
    firstShow = true;
    brightnessCountdown = 200;
    showLogo = 1;
    showDirtyTimeSB = 0;
    waitRacerTimeout = 180;
    invertScoreboard = 0;
    scoreboardBrightness = 16;
    speedTrapDistance = 20.0f;
    repeatTimeout = 1000;
    detectorTimeout = 2;
    blockFinishTimeout = 0;
    proStart = false;
    autoStart = false;
    printBoth = false;
    bracketType = -1;
    bracketGenMethod = 0;
    replayRunTarget = kDefaultReplayRunTarget;
    replayStepTarget = kDefaultReplayStepTarget;
}

Console& theConsole() {
    static Console console;
    return console;
}

long long wallClockSeconds() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<long long>(now) + local.tm_gmtoff;
}

int scoreboardType() {
    auto* sb = theConsole().scoreboard;
    return sb ? sb->getType() : -1;
}

} // namespace velmaro
