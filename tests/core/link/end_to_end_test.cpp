// The console's node link against the simulated timing network over real UDP, in a
// private network namespace (VELMARO_NETNS set). The simulator lives in a namespace of its
// own behind a veth pair (SimNetwork), since the console owns the node port alone. Each
// test uses a port and a pair of its own so the tests may run side by side.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "core/intake/hit_intake.h"
#include "core/link/system_interface.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "link_fakes.h"
#include "nodesim/node_simulator.h"

using namespace velmaro;
using namespace velmaro::nodesim;
using velmaro::test::TempFolder;
using namespace std::chrono_literals;

namespace {

bool inNamespace() { return std::getenv("VELMARO_NETNS") != nullptr; }

using velmaro::test::eventually;

// The console side: the link plus a stand-in for the main thread that drains the hit
// queue into the hit intake on every SE_NEW_HITS, with a lap handler recording calls.
class Console {
public:
    Console(std::uint16_t port, const std::string& interface) {
        LinkOptions o;
        o.port = port;
        o.interfaces = {interface};
        link = std::make_unique<TSystemInterface>(
            [this](int code, std::uint32_t w) {
                std::lock_guard<std::mutex> g(m);
                events.emplace_back(code, w);
                cv.notify_all();
            },
            o);
        intake.mode = 1;
        intake.folder = folder.path();
        mainThread = std::thread([this] { drain(); });
    }
    ~Console() {
        link->stop();
        {
            std::lock_guard<std::mutex> g(m);
            quit = true;
            cv.notify_all();
        }
        mainThread.join();
    }
    std::size_t handledCount() {
        std::lock_guard<std::mutex> g(m);
        return handled.size();
    }
    int eventCount(int code) {
        std::lock_guard<std::mutex> g(m);
        int n = 0;
        for (auto& e : events) n += e.first == code;
        return n;
    }

    TempFolder folder;
    velmaro::test::FakeHitIntakeHost intake;
    std::unique_ptr<TSystemInterface> link;
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<int, std::uint32_t>> events;
    std::vector<SimHit> handled;

private:
    void drain() {
        // The intake belongs to the thread that plays the main thread.
        HitIntake hits(intake);
        hits.handlers().setLapHandler(TimingMode::LapOneGate, [this](int node, int signal, std::uint64_t t, int, int) {
            std::lock_guard<std::mutex> g(m);
            handled.push_back(
                SimHit{std::uint8_t(node), std::uint16_t(signal), std::uint32_t(t / 1000), std::uint16_t(t % 1000)});
        });
        std::size_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m);
                cv.wait(lock, [&] { return quit || events.size() > seen; });
                if (quit) return;
                seen = events.size();
            }
            // As the main window does on SE_NEW_HITS: read the count once, take that many.
            const std::size_t n = link->hitCount();
            for (std::size_t i = 0; i < n; ++i) {
                TSignalHit h;
                link->tryPopHit(h);
                hits.processHit(int(h.node), int(h.signal), h.time, HIT_FROM_DEVICE);
            }
        }
    }
    std::thread mainThread;
    bool quit = false;
};

// The simulator's network for a test's port.
int networkNumber(std::uint16_t port) { return (port - 23000) % 250; }

SimOptions simOptions(std::uint16_t port, const velmaro::test::SimNetwork& net) {
    SimOptions o;
    o.bindAddress = net.simAddress();
    o.port = port;
    o.consoleAddress = ""; // learned from the console's greeting
    o.greetingAddress = net.broadcast();
    o.networkNamespace = net.path();
    o.onlineNodes = {1, 2, 4, 5};
    o.statusPeriodMs = 100;
    o.radioReportPeriodMs = 200;
    return o;
}

std::vector<std::string> hitLogLines(const TempFolder& folder) {
    std::vector<std::string> lines;
    const std::string text = folder.read("hitlog.txt");
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

// Runs a burst through console and simulator and checks every hit made the whole road once.
void runBurst(std::uint16_t port, const velmaro::test::SimNetwork& net, SimOptions options, int count,
              bool expectTimeOrder) {
    NodeSimulator sim(options);
    ASSERT_TRUE(sim.start());
    Console console(port, net.consoleInterface());
    ASSERT_TRUE(console.link->start());

    // Greeting -> simulator knows the console -> statuses -> the console knows the gateway.
    // A greeting lost on a busy machine is sent again 10 s later: the wait covers one.
    ASSERT_TRUE(eventually([&] { return sim.consoleAddress() == net.consoleAddress(); }, 15'000ms));
    ASSERT_TRUE(eventually([&] { return console.link->gateway().ip == net.simIp(); }, 15'000ms));

    const std::uint64_t base = 1'700'000'000'000ull;
    const std::vector<SimHit> sent = sim.burst(count, {2, 4, 5, 1}, base, 1);
    ASSERT_EQ(sent.size(), std::size_t(count));

    ASSERT_TRUE(sim.waitAllAcked(10'000)) << sim.pendingHits() << " hits never acknowledged";
    ASSERT_TRUE(eventually([&] { return console.handledCount() >= std::size_t(count); }, 10'000ms));
    std::this_thread::sleep_for(50ms); // let any late repeat arrive

    // Every hit acknowledged with its exact echo; no acknowledgement of anything else.
    const SimCounters c = sim.counters();
    EXPECT_EQ(sim.acknowledged(), std::set<SimHit>(sent.begin(), sent.end()));
    EXPECT_EQ(c.unmatchedAcks, 0);

    // Each hit reached the mode handler once, in time order when nothing was lost on the way.
    std::vector<SimHit> handled;
    {
        std::lock_guard<std::mutex> g(console.m);
        handled = console.handled;
    }
    ASSERT_EQ(handled.size(), std::size_t(count));
    EXPECT_EQ(std::set<SimHit>(handled.begin(), handled.end()), std::set<SimHit>(sent.begin(), sent.end()));
    if (expectTimeOrder) {
        for (std::size_t i = 1; i < handled.size(); ++i) ASSERT_LT(handled[i - 1].time(), handled[i].time()) << i;
    }

    // Once each in hitlog.txt, in time order.
    const std::vector<std::string> lines = hitLogLines(console.folder);
    ASSERT_EQ(lines.size(), std::size_t(count));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SimHit& h = sent[i];
        const std::string prefix = std::to_string(h.node) + "," + std::to_string(h.signal) + "," +
                                   std::to_string(h.seconds) + "," + std::to_string(h.milliseconds) + ",";
        ASSERT_EQ(lines[i].substr(0, prefix.size()), prefix) << i;
    }
}

} // namespace

TEST(EndToEnd, BurstOfAThousandHitsFromSeveralNodes) {
    if (!inNamespace()) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const velmaro::test::SimNetwork net(networkNumber(23101));
    ASSERT_TRUE(net.ok());
    runBurst(23101, net, simOptions(23101, net), 1000, true);
}

TEST(EndToEnd, FaultyGatewayLosesNoHitAndLogsNoneTwice) {
    if (!inNamespace()) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    struct Row {
        const char* name;
        Failure failure;
        int every;
        int frames;
    } rows[] = {
        {"every 7th datagram dropped", Failure::Drop, 7, 1},
        {"every 3rd datagram twice", Failure::Duplicate, 3, 1},
        {"garbage before every 4th datagram", Failure::Garbage, 4, 1},
        {"four hits per datagram, every 5th twice", Failure::Duplicate, 5, 4},
    };
    std::uint16_t port = 23110;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const velmaro::test::SimNetwork net(networkNumber(++port));
        ASSERT_TRUE(net.ok());
        SimOptions o = simOptions(port, net);
        o.failure = row.failure;
        o.failureEvery = row.every;
        o.framesPerDatagram = row.frames;
        runBurst(port, net, o, 300, row.failure != Failure::Drop);
    }
}

TEST(EndToEnd, NodeTableCommandsAndAnswers) {
    if (!inNamespace()) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const std::uint16_t port = 23120;
    const velmaro::test::SimNetwork net(networkNumber(port));
    ASSERT_TRUE(net.ok());
    SimOptions o = simOptions(port, net);
    o.radioLevels = {{1, -41}, {2, -52}, {4, -63}, {5, -74}};
    o.otherSensors = 0x0005;
    NodeSimulator sim(o);
    ASSERT_TRUE(sim.start());
    Console console(port, net.consoleInterface());
    console.link->setTimeouts(150, 75);
    ASSERT_TRUE(console.link->start());

    // Nodes 1, 2, 4, 5 online, node 1's clock set on request, timeouts echoed.
    ASSERT_TRUE(eventually([&] {
        auto nodes = console.link->nodes();
        if (nodes.size() != 4) return false;
        for (auto& n : nodes)
            if (!n.online || !n.synced || n.echoRepeatTimeout != 150 || n.echoDetectorTimeout != 75) return false;
        return true;
    }));
    for (const TSystemNode& n : console.link->nodes()) {
        SCOPED_TRACE(n.id);
        EXPECT_EQ(n.rssi, n.id == 1 ? 0 : o.radioLevels[n.id]);
        if (n.id != 1) {
            EXPECT_EQ(n.sensors[0], 1); // bit 0
            EXPECT_EQ(n.sensors[1], 1); // bit 2
        }
    }
    EXPECT_TRUE(eventually([&] { return console.link->nodes()[0].reportedRssi != 0; }));
    EXPECT_GE(sim.counters().receivedByType[MSG_SET_CLOCK], 1);

    // A start answered at once: SE_START_GIVEN and the lamp report; no resends follow.
    console.link->sendStartCommand(MSG_START_TWO_LANE, 0, 1);
    ASSERT_TRUE(eventually([&] { return console.eventCount(SE_START_GIVEN) == 1; }));
    EXPECT_TRUE(eventually([&] { return console.eventCount(SE_START_LIGHTS) == 1; }));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(sim.counters().receivedByType[MSG_START_TWO_LANE], 1);

    // Start signal mode answered with 38: one send.
    console.link->sendStartSignalMode(1);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(sim.counters().receivedByType[MSG_START_SIGNAL_MODE], 1);

    // Channel scan: the list comes back and is read.
    std::vector<int> levels(CHANNEL_COUNT);
    for (int i = 0; i < CHANNEL_COUNT; ++i) levels[std::size_t(i)] = 200 - i;
    sim.setChannelLevels(levels);
    console.link->requestChannelScan();
    ASSERT_TRUE(eventually([&] { return console.eventCount(SE_CHANNEL_LEVELS) == 1; }));
    EXPECT_EQ(console.link->channelLevels()[0], 200);
    EXPECT_EQ(console.link->channelLevels()[125], 75);

    // A node that falls silent goes offline.
    sim.setOnline(5, false);
    EXPECT_TRUE(eventually(
        [&] {
            for (auto& n : console.link->nodes())
                if (n.id == 5) return n.online == 0;
            return false;
        },
        6000ms));
}
