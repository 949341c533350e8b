#include "core/app/console.h"

namespace velmaro {

void Console::resetToDefaults() {
    eventFolder.clear();
    eventName.clear();
    raceGuid.clear();
    raceMode = timingModeNumber(TimingMode::LapOneGate);
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

} // namespace velmaro
