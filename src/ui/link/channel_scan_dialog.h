#pragma once
// The channel scan window "Channels", shown by the main menu "Каналы": "SCAN" asks the
// start unit to scan the radio channels; the 126 levels it reports (SE_CHANNEL_LEVELS)
// are drawn as blue bars.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QPushButton>
#include <QWidget>

#include <array>
#include <cstdint>

#include "core/link/node_protocol.h"
#include "ui/link/link_dialog_ports.h"

namespace velmaro::ui {

class TscanChannelsForm;

// The level graph (paint box channelGraph).
class TChannelGraph : public QWidget {
    Q_OBJECT
public:
    TChannelGraph(TscanChannelsForm& form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TscanChannelsForm& form_;
};

class TscanChannelsForm : public QWidget {
    Q_OBJECT
public:
    // `port` (not owned) outlives the window.
    explicit TscanChannelsForm(ChannelScanPort& port, QWidget* parent = nullptr);

    // "SCAN": TSystemInterface::requestChannelScan.
    void Button1Click();
    // The link's 126 level bytes (on SE_CHANNEL_LEVELS): kept and drawn.
    void setLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& levels);
    const std::array<int, CHANNEL_COUNT>& levels() const { return levels_; }
    // Draws the graph on `painter` over a w x h box.
    void channelGraphPaint(class QPainter& painter, int w, int h) const;

    TChannelGraph* channelGraph = nullptr;
    QPushButton* Button1 = nullptr;

private:
    ChannelScanPort& port_;
    std::array<int, CHANNEL_COUNT> levels_{};
};

// The bar of channel i in a w x h box for a level 0..255: x from (w/126)*i to
// (w/126)*(i+1), top at y = h - level*h/256 (inside the box whatever the level).
struct ChannelBar {
    int left = 0, right = 0, top = 0;
    bool operator==(const ChannelBar&) const = default;
};
ChannelBar channelBar(int channel, int level, int w, int h);

extern TscanChannelsForm* scanChannelsForm;

} // namespace velmaro::ui
