#include "ui/link/start_light_tree.h"

#include <QGridLayout>
#include <QLabel>

#include "ui/link/status_lamp.h"

namespace velmaro::ui {

namespace {

const char* const kNames[7] = {"Prestage", "Stage", "Yellow1", "Yellow2", "Yellow3", "Green", "Red"};
const int kDiameters[7] = {12, 12, 18, 18, 18, 18, 18};

QColor onColor(int index) {
    switch (index) {
    case 0:
    case 1: return lamp::kTreeWhite;
    case 5: return lamp::kTreeGreen;
    case 6: return lamp::kTreeRed;
    default: return lamp::kTreeAmber;
    }
}

} // namespace

StartLightTree::StartLightTree(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StartLightTree"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x10, 0x10, 0x10));
    setPalette(pal);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    for (int lane = 0; lane < 2; ++lane) {
        for (int i = 0; i < 7; ++i) {
            auto* l = new StatusLamp(lamp::kTreeOff, kDiameters[i], this);
            l->setObjectName(QString::fromLatin1(lane == 0 ? "l" : "r") + QString::fromLatin1(kNames[i]));
            lamps_[lane][i] = l;
            grid->addWidget(l, i, lane, Qt::AlignCenter);
        }
    }
}

void StartLightTree::showStartLights(std::uint16_t mask) {
    for (int lane = 0; lane < 2; ++lane) {
        const unsigned bits = lane == 0 ? (mask & 0xFFu) : (mask >> 8);
        for (int i = 0; i < 7; ++i) lamps_[lane][i]->setColor((bits & (1u << i)) ? onColor(i) : lamp::kTreeOff);
    }
}

StatusLamp* StartLightTree::lamp(int lane, int index) const {
    if (lane < 0 || lane > 1 || index < 0 || index > 6) return nullptr;
    return lamps_[lane][index];
}

} // namespace velmaro::ui
