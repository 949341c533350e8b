#pragma once
// The start light tree of both lanes, painted from the start unit's lamp report: per lane
// pre-stage, stage, three amber, green and red lamps (lPrestage, lStage, lYellow1..3,
// lGreen, lRed for the left lane, the same with r for the right). Main thread only.
#include <QWidget>

#include <array>
#include <cstdint>

namespace velmaro::ui {

class StatusLamp;

class StartLightTree : public QWidget {
    Q_OBJECT
public:
    explicit StartLightTree(QWidget* parent = nullptr);

    // Low byte left lane, high byte right lane; in each: bit 0 pre-stage, bit 1 stage,
    // bits 2..4 the amber lamps (first to third), bit 5 green, bit 6 red. A set bit paints
    // the lamp in its on colour, a clear bit in the off colour.
    void showStartLights(std::uint16_t mask);

    // lane 0 left, 1 right; lamp 0 pre-stage, 1 stage, 2..4 amber, 5 green, 6 red.
    StatusLamp* lamp(int lane, int index) const;

private:
    std::array<std::array<StatusLamp*, 7>, 2> lamps_{};
};

} // namespace velmaro::ui
