#include "ui/link/channel_scan_dialog.h"

#include <algorithm>

#include <QPainter>
#include <QVBoxLayout>

namespace velmaro::ui {

TscanChannelsForm* scanChannelsForm = nullptr;

ChannelBar channelBar(int channel, int level, int w, int h) {
    const int step = w / CHANNEL_COUNT;
    const int clamped = std::clamp(level, 0, 255);
    // level x h / 256: a whole-pixel h/256 would be 0 for any box lower than 256 pixels.
    return ChannelBar{step * channel, step * (channel + 1), h - clamped * h / 256};
}

TChannelGraph::TChannelGraph(TscanChannelsForm& form, QWidget* parent) : QWidget(parent), form_(form) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(CHANNEL_COUNT * 4, 200);
}

void TChannelGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    form_.channelGraphPaint(painter, width(), height());
}

TscanChannelsForm::TscanChannelsForm(ChannelScanPort& port, QWidget* parent) : QWidget(parent), port_(port) {
    setObjectName("scanChannelsForm");
    setWindowTitle(QString::fromUtf8("Channels"));
    auto* layout = new QVBoxLayout(this);
    channelGraph = new TChannelGraph(*this, this);
    channelGraph->setObjectName("channelGraph");
    layout->addWidget(channelGraph, 1);
    Button1 = new QPushButton(QStringLiteral("SCAN"), this);
    Button1->setObjectName("Button1");
    layout->addWidget(Button1, 0, Qt::AlignLeft);
    connect(Button1, &QPushButton::clicked, this, &TscanChannelsForm::Button1Click);
    resize(560, 300);
}

void TscanChannelsForm::Button1Click() { port_.requestChannelScan(); }

void TscanChannelsForm::setLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& levels) {
    for (std::size_t i = 0; i < levels.size(); ++i) levels_[i] = levels[i];
    channelGraph->update();
}

void TscanChannelsForm::channelGraphPaint(QPainter& painter, int w, int h) const {
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, w - 1, h - 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::blue);
    for (int i = 0; i < CHANNEL_COUNT; ++i) {
        const ChannelBar bar = channelBar(i, levels_[std::size_t(i)], w, h);
        if (bar.top < h) painter.drawRect(QRect(QPoint(bar.left, bar.top), QPoint(bar.right - 1, h - 1)));
    }
}

} // namespace velmaro::ui
