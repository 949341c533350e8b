// Replay of logged hits through the node link's socket, received by a plain UDP socket
// standing in for the node network. Runs only inside the private network namespace of
// the test script (VELMARO_NETNS); the receiver lives in a namespace of its own joined by
// a veth pair, and the target is its address there, never a LAN address.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sched.h>

#include "core/intake/hit_replay.h"
#include "core/link/system_interface.h"
#include "fakes/sim_network.h"

using namespace velmaro;

namespace {

constexpr std::uint16_t kPort = 23170;

class LinkSender : public HitReplaySender {
public:
    explicit LinkSender(TSystemInterface& link) : link_(link) {}
    bool sendAsReceivedPacket(const TNodeMessage& m, const NodeAddress& to) override {
        return link_.sendAsReceivedPacket(m, to);
    }

private:
    TSystemInterface& link_;
};

std::vector<std::string> receiveAll(int fd, std::size_t count) {
    std::vector<std::string> datagrams;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (datagrams.size() < count && std::chrono::steady_clock::now() < until) {
        char buf[512];
        const ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0)
            datagrams.emplace_back(buf, static_cast<std::size_t>(n));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return datagrams;
}

THitRecord rec(int node, int signal, std::uint32_t seconds, std::uint16_t ms) {
    THitRecord r;
    r.node = node;
    r.signal = signal;
    r.seconds = seconds;
    r.milliseconds = ms;
    return r;
}

TEST(HitReplay, RunAndStepFramesReachTheNetworkAsANodeSendsThem) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const test::SimNetwork net(61);
    ASSERT_TRUE(net.ok());
    // The node network side, opened inside its namespace (the console owns the port here).
    const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int there = ::open(net.path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::setns(there, CLONE_NEWNET), 0);
    const int node = openUdpSocket(net.simIp(), kPort, PortSharing::Exclusive);
    ASSERT_EQ(::setns(home, CLONE_NEWNET), 0);
    ::close(there);
    ::close(home);
    ASSERT_GE(node, 0);
    LinkOptions options;
    options.port = kPort;
    auto transport = makeUdpTransport();
    int openError = 0;
    ASSERT_EQ(transport->open(kPort, openError), PortState::Open);
    TSystemInterface link([](int, std::uint32_t) {}, options, nullptr, std::move(transport));
    LinkSender sender(link);

    std::vector<THitRecord> records = {rec(1, SIG_GREEN, 1717243200, 0), rec(2, SIG_LEFT, 1717243205, 120),
                                       rec(3, 4101, 1717243206, 5), rec(1, SIG_GREEN, 1717243300, 0)};
    const NodeAddress target = NodeAddress::fromString(net.simAddress());
    EXPECT_EQ(replayRun(records, 0, sender, target), 2u);
    EXPECT_TRUE(replayStep(records, 3, sender, target));
    EXPECT_FALSE(replayStep(records, 4, sender, target));

    const std::vector<std::string> got = receiveAll(node, 4);
    ASSERT_EQ(got.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        // A gateway receive frame with the node's hit message; frame ids count from 1.
        const NodeFrameBytes frame = buildReceiveFrame(static_cast<std::uint8_t>(i + 1), replayMessage(records[i]));
        EXPECT_EQ(got[i], std::string(reinterpret_cast<const char*>(frame.data()), frame.size())) << i;
        EXPECT_EQ(records[i].used, 1);
        const TNodeMessage m = TNodeMessage::fromBytes(reinterpret_cast<const std::uint8_t*>(got[i].data()) + 15);
        EXPECT_EQ(m.from, records[i].node);
        EXPECT_EQ(m.to, 0);
        EXPECT_EQ(m.type, MSG_HIT);
        EXPECT_EQ(m.param, records[i].signal);
        EXPECT_EQ(m.data, records[i].seconds);
        EXPECT_EQ(m.aux, records[i].milliseconds);
    }
    close(node);
}

} // namespace
