// The node status panels and the start light tree, fed from node table snapshots.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>

#include <stdexcept>

#include "core/link/node_protocol.h"
#include "core/link/system_interface.h"
#include "ui/link/node_status_box.h"
#include "ui/link/node_view.h"
#include "ui/link/start_light_tree.h"
#include "ui/link/status_lamp.h"

namespace velmaro::ui {
namespace {

TSystemNode onlineNode(int id) {
    TSystemNode n;
    n.id = id;
    n.online = 1;
    n.synced = 1;
    n.rssi = -60;
    n.reportedRssi = -71;
    n.nodeClock = 1720180815; // 05.07.2024 12:00:15 UTC
    n.sensors = {1, 0, 1, 0, 0, 1};
    n.echoRepeatTimeout = 500;
    n.echoDetectorTimeout = 1;
    return n;
}

TEST(NodePanelTexts, RadioLevelsAndClock) {
    struct Row {
        int level;
        const char* text;
    } rows[] = {{-24, "--"}, {-25, "-25 dB"}, {-60, "-60 dB"}, {-100, "-100 dB"}, {-101, "--"}, {0, "--"}};
    for (const Row& r : rows) EXPECT_EQ(radioLevelText(r.level), QString::fromUtf8(r.text)) << r.level;
    EXPECT_EQ(rssiText(-71, 0), QStringLiteral("RSSI: -71 dB/--"));
    EXPECT_EQ(nodeClockText(1720180815), QStringLiteral("05.07.2024 12:00:15"));
    EXPECT_EQ(nodeClockText(0), QStringLiteral("01.01.1970 00:00:00"));
}

TEST(NodePanel, StartsCoveredWithTheLinkLampRedAndInitialTexts) {
    NodeStatusBox box;
    EXPECT_EQ(box.title(), QStringLiteral("Система"));
    const int ids[4] = {1, 2, 4, 5};
    const int lamps[4] = {6, 2, 2, 2};
    for (int i = 0; i < 4; ++i) {
        TNodeView* v = box.nodeViews()[i];
        SCOPED_TRACE(ids[i]);
        EXPECT_EQ(v->nodeId(), ids[i]);
        EXPECT_EQ(v->sensorLampCount(), lamps[i]);
        EXPECT_TRUE(v->coverShown());
        EXPECT_EQ(v->linkLamp()->color(), lamp::kOff);
        EXPECT_EQ(v->timeLabel()->text(), QStringLiteral("00.00.0000 00:00:00"));
        EXPECT_EQ(v->btLabel()->text(), QStringLiteral("-"));
        EXPECT_EQ(v->dtLabel()->text(), QStringLiteral("-"));
        EXPECT_EQ(v->rssiLabel()->text(), QStringLiteral("RSSI: -- / --"));
    }
    TNodeView* start = box.viewForNode(1);
    const char* hints[6] = {"Left Start",  "Right Start",   "Left Stage",
                            "Right Stage", "Left PreStage", "Right PreStage"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(start->sensorLamp(i)->toolTip(), QString::fromUtf8(hints[i]));
    EXPECT_EQ(start->sensorLamp(1)->objectName(), QStringLiteral("Led0_3"));
    EXPECT_EQ(box.viewForNode(4)->sensorLamp(1)->objectName(), QStringLiteral("L4_2"));
    EXPECT_EQ(box.viewForNode(1)->rssiLabel()->objectName(), QStringLiteral("lRSSI3"));
}

TEST(NodePanel, OnlineEntryShowsItsValues) {
    NodeStatusBox box;
    box.refresh({onlineNode(1)});
    TNodeView* v = box.viewForNode(1);
    EXPECT_FALSE(v->coverShown());
    EXPECT_EQ(v->linkLamp()->color(), lamp::kOn);
    EXPECT_EQ(v->syncLamp()->color(), lamp::kOn);
    EXPECT_EQ(v->rssiLabel()->text(), QStringLiteral("RSSI: -71 dB/-60 dB"));
    EXPECT_EQ(v->timeLabel()->text(), QStringLiteral("05.07.2024 12:00:15"));
    const QColor expected[6] = {lamp::kOn, lamp::kOff, lamp::kOn, lamp::kOff, lamp::kOff, lamp::kOn};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v->sensorLamp(i)->color(), expected[i]) << i;
    EXPECT_EQ(v->btLabel()->text(), QStringLiteral("500"));
    EXPECT_EQ(v->dtLabel()->text(), QStringLiteral("1"));

    // Not synchronised: red sync lamp. Echoed timeouts of 0 leave the labels as they are.
    TSystemNode n = onlineNode(1);
    n.synced = 0;
    n.echoRepeatTimeout = 0;
    n.echoDetectorTimeout = 0;
    n.reportedRssi = -24;
    box.refresh({n});
    EXPECT_EQ(v->syncLamp()->color(), lamp::kOff);
    EXPECT_EQ(v->btLabel()->text(), QStringLiteral("500"));
    EXPECT_EQ(v->dtLabel()->text(), QStringLiteral("1"));
    EXPECT_EQ(v->rssiLabel()->text(), QStringLiteral("RSSI: --/-60 dB"));
}

TEST(NodePanel, TwoLampPanelsShowSensorBits0And2) {
    NodeStatusBox box;
    TSystemNode n = onlineNode(5);
    n.sensors = {0, 1, 1, 1, 1, 1};
    box.refresh({n});
    TNodeView* v = box.viewForNode(5);
    EXPECT_EQ(v->sensorLamp(0)->color(), lamp::kOff);
    EXPECT_EQ(v->sensorLamp(1)->color(), lamp::kOn);
    EXPECT_EQ(v->sensorLamp(2), nullptr);
}

TEST(NodePanel, OfflineEntryIsCoveredAndKeepsItsValuesUnderneath) {
    NodeStatusBox box;
    box.refresh({onlineNode(2)});
    TNodeView* v = box.viewForNode(2);
    TSystemNode off = onlineNode(2);
    off.online = 0;
    off.nodeClock = 0;
    box.refresh({off});
    EXPECT_TRUE(v->coverShown());
    EXPECT_EQ(v->linkLamp()->color(), lamp::kOff);
    EXPECT_EQ(v->timeLabel()->text(), QStringLiteral("05.07.2024 12:00:15"));
    EXPECT_EQ(v->syncLamp()->color(), lamp::kOn);
    // Back online: uncovered again.
    box.refresh({onlineNode(2)});
    EXPECT_FALSE(v->coverShown());
}

TEST(NodePanel, LampsRepaintOnlyWhenTheirColourChanges) {
    NodeStatusBox box;
    box.refresh({onlineNode(1)});
    TNodeView* v = box.viewForNode(1);
    const int link = v->linkLamp()->colorChanges();
    const int sensor = v->sensorLamp(0)->colorChanges();
    box.refresh({onlineNode(1)});
    EXPECT_EQ(v->linkLamp()->colorChanges(), link);
    EXPECT_EQ(v->sensorLamp(0)->colorChanges(), sensor);
}

TEST(NodePanel, EntriesWithoutAPanelAreSkipped) {
    NodeStatusBox box;
    box.refresh({onlineNode(3), onlineNode(9), onlineNode(4)});
    EXPECT_FALSE(box.viewForNode(4)->coverShown());
    for (int id : {1, 2, 5}) EXPECT_TRUE(box.viewForNode(id)->coverShown()) << id;
    EXPECT_EQ(box.viewForNode(3), nullptr);
}

TEST(NodeStatusRefresh, TimerRunsEvery250msAndSurvivesAFailedPass) {
    NodeStatusBox box;
    EXPECT_FALSE(box.refreshTimer()->isActive());
    int calls = 0;
    box.setNodeSource([&]() -> std::vector<TSystemNode> {
        if (++calls == 1) throw std::runtime_error("gone");
        return {onlineNode(1)};
    });
    EXPECT_EQ(box.refreshTimer()->interval(), 250);
    EXPECT_TRUE(box.refreshTimer()->isActive());
    box.SystemRefreshTimerTimer();
    EXPECT_TRUE(box.refreshTimer()->isActive());
    EXPECT_TRUE(box.viewForNode(1)->coverShown());
    box.SystemRefreshTimerTimer();
    EXPECT_FALSE(box.viewForNode(1)->coverShown());
    box.setNodeSource({});
    EXPECT_FALSE(box.refreshTimer()->isActive());
}

// ---- through the link's node table ----

class ManualEnvironment : public LinkEnvironment {
public:
    explicit ManualEnvironment(std::uint64_t* now) : now_(now) {}
    std::uint64_t nowMs() override { return *now_; }
    int randomInt(int) override { return 0; }
    std::vector<BroadcastInterface> interfaces() override { return {}; }

private:
    std::uint64_t* now_;
};

class SilentTransport : public LinkTransport {
public:
    PortState open(std::uint16_t, int&) override { return PortState::Open; }
    void close() override {}
    bool send(const NodeAddress&, const std::uint8_t*, std::size_t) override { return true; }
    long receive(std::uint8_t*, std::size_t, NodeAddress&) override { return -1; }
    bool waitReadable(int) override { return false; }
};

TEST(NodeStatusRefresh, ANodeSilentFor3sIsShownOffline) {
    std::uint64_t now = 1'720'180'815'000;
    TSystemInterface link([](int, std::uint32_t) {}, LinkOptions{}, std::make_unique<ManualEnvironment>(&now),
                          std::make_unique<SilentTransport>());
    NodeStatusBox box;
    box.setNodeSource([&] { return link.nodes(); });

    TNodeMessage status = TNodeMessage::make(0, MSG_STATUS, 0x0045, 1720180815, static_cast<std::uint16_t>(-55));
    status.from = 2;
    const NodeFrameBytes frame = buildReceiveFrame(1, status);
    link.handleDatagram(frame.data(), frame.size(), NodeAddress{0x7F000001, 1309});
    box.SystemRefreshTimerTimer();
    TNodeView* v = box.viewForNode(2);
    EXPECT_FALSE(v->coverShown());
    EXPECT_EQ(v->sensorLamp(0)->color(), lamp::kOn); // bit 0
    EXPECT_EQ(v->sensorLamp(1)->color(), lamp::kOn); // bit 2
    EXPECT_EQ(v->rssiLabel()->text(), QStringLiteral("RSSI: --/-55 dB"));

    now += 2000;
    link.runPass();
    box.SystemRefreshTimerTimer();
    EXPECT_FALSE(v->coverShown());
    now += 1000;
    link.runPass();
    box.SystemRefreshTimerTimer();
    EXPECT_TRUE(v->coverShown());
    EXPECT_EQ(v->linkLamp()->color(), lamp::kOff);
}

// ---- the start light tree ----

TEST(StartLights, MaskPaintsEachLaneFromItsByte) {
    StartLightTree tree;
    struct Row {
        std::uint16_t mask;
        int lane, lamp;
        QColor on;
    };
    // 0x2001: left pre-stage and right green.
    tree.showStartLights(0x2001);
    for (int lane = 0; lane < 2; ++lane)
        for (int i = 0; i < 7; ++i) {
            const bool lit = (lane == 0 && i == 0) || (lane == 1 && i == 5);
            const QColor expected = lane == 0 && i == 0 ? lamp::kTreeWhite : lit ? lamp::kTreeGreen : lamp::kTreeOff;
            EXPECT_EQ(tree.lamp(lane, i)->color(), expected) << lane << "/" << i;
        }
    const Row rows[] = {{0x0002, 0, 1, lamp::kTreeWhite}, {0x0004, 0, 2, lamp::kTreeAmber},
                        {0x1000, 1, 4, lamp::kTreeAmber}, {0x0040, 0, 6, lamp::kTreeRed},
                        {0x4000, 1, 6, lamp::kTreeRed},   {0x0200, 1, 1, lamp::kTreeWhite}};
    for (const Row& r : rows) {
        tree.showStartLights(r.mask);
        EXPECT_EQ(tree.lamp(r.lane, r.lamp)->color(), r.on) << std::hex << r.mask;
        EXPECT_EQ(tree.lamp(0, 0)->color(), lamp::kTreeOff) << std::hex << r.mask;
    }
    EXPECT_EQ(tree.lamp(0, 0)->objectName(), QStringLiteral("lPrestage"));
    EXPECT_EQ(tree.lamp(1, 4)->objectName(), QStringLiteral("rYellow3"));
}

} // namespace
} // namespace velmaro::ui
