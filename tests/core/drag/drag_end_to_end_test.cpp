// A whole drag run over real UDP: the simulated timing network sends the start signal,
// launches, 60 ft, speed trap and finish hits of both lanes; the node link queues them,
// the hit intake dispatches them to the drag handler, and the run lands in drag.txt with
// its figures, while the winner goes back to the start node once. Runs only inside a
// private network namespace (VELMARO_NETNS), the simulator in a namespace of its own
// behind a veth pair (SimNetwork): the console owns the node port alone.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "core/drag/drag_file.h"
#include "core/drag/drag_hits.h"
#include "core/link/hit_intake.h"
#include "core/link/system_interface.h"
#include "drag_fakes.h"
#include "fakes/temp_folder.h"
#include "fakes/sim_network.h"
#include "nodesim/node_simulator.h"

namespace velmaro::test {
namespace {

using namespace std::chrono_literals;
using nodesim::NodeSimulator;
using nodesim::SimOptions;

template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred())
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return pred();
}

// The drag host of this test: records like the fake, and sends the winner to the start node.
class LinkedHost : public FakeDragHost {
public:
    TSystemInterface* link = nullptr;
    void sendWinner(int lane) override
    {
        FakeDragHost::sendWinner(lane);
        if (link)
            link->sendWinner(static_cast<std::uint16_t>(lane));
    }
};

TEST(DragEndToEnd, WholeRunOverUdp)
{
    if (!std::getenv("VELMARO_NETNS"))
        GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const std::uint16_t port = 23301;
    TempFolder folder;
    LinkedHost host;
    host.folder = folder.path();
    setDragHost(&host);
    gDragRuns.clear();
    clearRunSelection();
    TDragRaceItem run;
    run.runId = 1;
    run.racer = {12, 7};
    gDragRuns.push_back(run);
    gCurrentRun = 0;

    const velmaro::test::SimNetwork net(port - 23000 - 250);
    ASSERT_TRUE(net.ok());
    SimOptions o;
    o.bindAddress = net.simAddress();
    o.port = port;
    o.greetingAddress = net.broadcast();
    o.networkNamespace = net.path();
    o.onlineNodes = {1, 2, 4, 5};
    o.statusPeriodMs = 100;
    NodeSimulator sim(o);
    ASSERT_TRUE(sim.start());

    // The main thread: every SE_NEW_HITS drains the queue into the hit intake.
    std::mutex m;  // guards the runs and the event count between this test and the drain
    std::condition_variable cv;
    int newHits = 0;
    bool quit = false;
    LinkOptions lo;
    lo.port = port;
    lo.interfaces = {net.consoleInterface()};
    TSystemInterface link(
        [&](int code, std::uint32_t) {
            std::lock_guard<std::mutex> g(m);
            if (code == SE_NEW_HITS)
                ++newHits;
            cv.notify_all();
        },
        lo);
    host.link = &link;
    gHitList.clear();
    modeHitHandlers().clearAll();
    registerDragHitHandlers();
    HitIntakeHooks hooks;
    hooks.timingMode = [] { return 0; };
    hooks.eventFolder = [&] { return folder.path(); };
    setHitIntakeHooks(hooks);
    std::thread mainThread([&] {
        int seen = 0;
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return quit || newHits > seen; });
            if (quit)
                return;
            seen = newHits;
            const std::size_t n = link.hitCount();
            for (std::size_t i = 0; i < n; ++i) {
                const TSignalHit h = link.popHit();
                processHit(static_cast<int>(h.node), static_cast<int>(h.signal), h.time, HIT_FROM_DEVICE);
            }
        }
    });

    // Stops the drain and the link on every way out, a failed assertion included.
    struct Stopper {
        std::function<void()> stop;
        ~Stopper() { stop(); }
    } stopper{[&] {
        {
            std::lock_guard<std::mutex> g(m);
            quit = true;
            cv.notify_all();
        }
        if (mainThread.joinable())
            mainThread.join();
        link.stop();
        setHitIntakeHooks({});
        modeHitHandlers().clearAll();
        setDragHost(nullptr);
    }};

    ASSERT_TRUE(link.start());
    ASSERT_TRUE(eventually([&] { return sim.consoleAddress() == net.consoleAddress(); }));
    ASSERT_TRUE(eventually([&] { return link.gateway().ip == net.simIp(); }));

    const std::uint64_t t = 1'700'000'000'000ULL;
    sim.sendHit(1, 6, t);              // start signal
    sim.sendHit(1, 0, t + 380);        // launches
    sim.sendHit(1, 2, t + 420);
    sim.sendHit(5, 0, t + 1900);       // 60 ft
    sim.sendHit(5, 2, t + 2000);
    sim.sendHit(4, 0, t + 9900 - 512); // speed trap
    sim.sendHit(4, 2, t + 10400 - 500);
    sim.sendHit(2, 0, t + 9900);       // finishes
    sim.sendHit(2, 2, t + 10400);
    ASSERT_TRUE(sim.waitAllAcked(10'000));
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> g(m);
        return gDragRuns[0].hits[0].size() == 4 && gDragRuns[0].hits[1].size() == 4;
    }));
    ASSERT_TRUE(sim.waitForType(27, 1, 5000));  // the winner report
    std::this_thread::sleep_for(300ms);         // a late repeat would show up now

    stopper.stop();
    setDragHost(&host);

    // Reload drag.txt and check the figures of the run it holds.
    loadDragFile();
    ASSERT_EQ(gDragRuns.size(), 1u);
    const TDragRaceItem& r = gDragRuns[0];
    EXPECT_EQ(r.startTime, t);
    EXPECT_EQ(r.rt, (std::array<int32_t, 2>{380, 420}));
    EXPECT_EQ(r.sixtyFeet, (std::array<int32_t, 2>{1520, 1580}));
    EXPECT_EQ(r.et, (std::array<int32_t, 2>{9520, 9980}));
    EXPECT_EQ(r.dirtyTime, (std::array<int32_t, 2>{9900, 10400}));
    EXPECT_DOUBLE_EQ(r.speed[0], 140.6);
    EXPECT_DOUBLE_EQ(r.speed[1], 144.0);
    EXPECT_EQ(r.winner, 0);
    EXPECT_EQ(host.winners, (std::vector<int>{0}));
    int winnerMessages = 0;
    for (const TNodeMessage& msg : sim.received())
        if (msg.type == 27) {
            ++winnerMessages;
            EXPECT_EQ(msg.param, 0);
            EXPECT_EQ(msg.to, 1);
        }
    EXPECT_GE(winnerMessages, 1);
    EXPECT_EQ(gHitList.size(), 9u);

    gHitList.clear();
    gDragRuns.clear();
    gCurrentRun = -1;
}

} // namespace
} // namespace velmaro::test
