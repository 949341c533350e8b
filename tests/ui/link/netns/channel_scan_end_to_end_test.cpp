// The channel scan window against the simulated start unit over real UDP, in a private
// network namespace (VELMARO_NETNS set; vlm0 10.213.0.1 <-> vlm1 10.213.0.2): "SCAN"
// reaches the start unit, its "CHANNELS:" answer comes back as SE_CHANNEL_LEVELS and
// the levels reach the window, as the main window hands them on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <thread>

#include "core/link/system_interface.h"
#include "fakes/sim_network.h"
#include "nodesim/node_simulator.h"
#include "ui/link/channel_scan_dialog.h"

namespace velmaro::ui {
namespace {

using namespace std::chrono_literals;

class LinkScan : public ChannelScanPort {
public:
    explicit LinkScan(TSystemInterface& link) : link_(link) {}
    void requestChannelScan() override { link_.requestChannelScan(); }

private:
    TSystemInterface& link_;
};

TEST(ChannelScanEndToEnd, ChannelsAnswerReachesTheWindow) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    static int argc = 1;
    static char name[] = "test_ui_link_netns";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    const std::uint16_t port = 23190;
    // The console owns the node port: the simulator lives in a namespace of its own.
    const velmaro::test::SimNetwork net(190);
    ASSERT_TRUE(net.ok());
    nodesim::SimOptions o;
    o.networkNamespace = net.path();
    o.bindAddress = net.simAddress();
    o.port = port;
    o.greetingAddress = net.broadcast();
    o.onlineNodes = {1};
    o.statusPeriodMs = 100;
    nodesim::NodeSimulator sim(o);
    ASSERT_TRUE(sim.start());
    std::vector<int> levels(CHANNEL_COUNT);
    for (int i = 0; i < CHANNEL_COUNT; ++i) levels[std::size_t(i)] = (i * 37) % 256;
    sim.setChannelLevels(levels);

    LinkOptions lo;
    lo.port = port;
    lo.interfaces = {net.consoleInterface()};
    std::unique_ptr<TSystemInterface> link;
    TscanChannelsForm* window = nullptr;
    int scans = 0;
    // The link thread's events are queued to the main thread, as the main window does.
    link = std::make_unique<TSystemInterface>(
        [&](int code, std::uint32_t) {
            if (code != SE_CHANNEL_LEVELS) return;
            QMetaObject::invokeMethod(
                &app,
                [&] {
                    ++scans;
                    window->setLevels(link->channelLevels());
                },
                Qt::QueuedConnection);
        },
        lo);
    LinkScan scanPort(*link);
    TscanChannelsForm form(scanPort);
    window = &form;
    form.resize(6 * CHANNEL_COUNT + 20, 300);
    form.show();
    ASSERT_TRUE(link->start());

    form.Button1->click();
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (scans == 0 && std::chrono::steady_clock::now() < end) {
        app.processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(5ms);
    }
    link->stop();
    sim.stop();
    ASSERT_EQ(scans, 1);
    for (int i = 0; i < CHANNEL_COUNT; ++i) EXPECT_EQ(form.levels()[std::size_t(i)], levels[std::size_t(i)]) << i;

    // The drawn bars follow the levels: channel 7 (level 3) low, channel 6 (level 222) high.
    const QImage shot = form.channelGraph->grab().toImage();
    const int w = shot.width(), h = shot.height();
    auto blueFrom = [&](int channel) {
        const ChannelBar bar = channelBar(channel, levels[std::size_t(channel)], w, h);
        return shot.pixelColor((bar.left + bar.right) / 2, std::min(h - 2, bar.top + 1)) == QColor(Qt::blue) &&
               (bar.top < 1 || shot.pixelColor((bar.left + bar.right) / 2, bar.top - 1) != QColor(Qt::blue));
    };
    EXPECT_TRUE(blueFrom(6));
    EXPECT_TRUE(blueFrom(100));
    if (const char* keep = std::getenv("VELMARO_KEEP_PNG")) form.grab().save(QString(keep) + "/channel_scan.png");
}

} // namespace
} // namespace velmaro::ui
