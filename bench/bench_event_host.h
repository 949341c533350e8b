#pragma once
// The window's side of the hit slices for the benchmarks that run them.
#include "ui/link/system_events.h"

namespace velmaro::bench {

// The window's side of the hit slices: no start armed, no Block ST, a new console's mode.
class IdleEventHost : public ui::SystemEventHost {
public:
    bool startArmed() override { return false; }
    void setStartArmed(bool) override {}
    void releaseBlockSt() override {}
    void pressStart() override {}
    void showStartGiven() override {}
    void setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>&) override {}
    int racerNumberByTag(int tag) override { return tag; }
    unsigned raceMode() override { return 1; }
    void setRacerAtStart(int) override {}
};

} // namespace velmaro::bench
