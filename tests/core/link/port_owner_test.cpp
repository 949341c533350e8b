// The node port has one owner: a second link on the same port is told the port is taken,
// keeps trying, and the first keeps every hit. Real sockets on loopback, in the private
// network namespace of ./test (VELMARO_NETNS).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/link/node_protocol.h"
#include "core/link/system_interface.h"
#include "link_fakes.h"

using namespace velmaro;
using namespace std::chrono_literals;

namespace {

using velmaro::test::eventually;

// The port events a link posted, in order.
struct PortEvents {
    std::mutex m;
    std::vector<std::uint32_t> states;
    SystemEventSink sink() {
        return [this](int code, std::uint32_t w) {
            if (code != SE_PORT_STATE) return;
            std::lock_guard<std::mutex> g(m);
            states.push_back(w);
        };
    }
    std::vector<std::uint32_t> seen() {
        std::lock_guard<std::mutex> g(m);
        return states;
    }
};

constexpr auto kOpen = static_cast<std::uint32_t>(PortState::Open);
constexpr auto kTaken = static_cast<std::uint32_t>(PortState::Taken);

// A node's hit sent to 127.0.0.1:port from a socket of its own (no bind to the port).
void sendHit(std::uint16_t port, std::uint16_t signal) {
    TNodeMessage m = TNodeMessage::make(0, MSG_HIT, signal, 1'700'000'000u, 250);
    m.from = 2;
    const NodeFrameBytes frame = buildReceiveFrame(1, m);
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(s, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::sendto(s, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a),
              static_cast<ssize_t>(frame.size()));
    ::close(s);
}

TEST(NodePort, ASecondLinkIsToldThePortIsTakenAndTheFirstKeepsItsHits) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    LinkOptions o;
    o.port = 23130;
    o.interfaces = {"no greeting"};
    o.portRetryMs = 100;

    PortEvents firstEvents, secondEvents;
    auto first = std::make_unique<TSystemInterface>(firstEvents.sink(), o);
    ASSERT_TRUE(first->start());
    EXPECT_EQ(first->portStatus(), (LinkPortStatus{PortState::Open, 0, 23130}));
    EXPECT_EQ(firstEvents.seen(), std::vector<std::uint32_t>{kOpen});

    TSystemInterface second(secondEvents.sink(), o);
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.portStatus(), (LinkPortStatus{PortState::Taken, EADDRINUSE, 23130}));
    EXPECT_EQ(portStatusText(second.portStatus(), o.portRetryMs),
              "Порт узлов 23130 занят другой программой: отметки не принимаются, повторная попытка каждые 1 с.");

    sendHit(23130, 0);
    ASSERT_TRUE(eventually([&] { return first->hitCount() == 1; }));
    EXPECT_EQ(test::popHit(*first), (TSignalHit{2, 0, 1'700'000'000'250ull}));
    EXPECT_EQ(second.hitCount(), 0u);

    // Retried several times meanwhile, reported once.
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(secondEvents.seen(), std::vector<std::uint32_t>{kTaken});

    // Once the first link is gone, the second takes the port on its next try.
    first.reset();
    ASSERT_TRUE(eventually([&] { return second.portStatus().state == PortState::Open; }));
    EXPECT_EQ(secondEvents.seen(), (std::vector<std::uint32_t>{kTaken, kOpen}));
    sendHit(23130, 2);
    EXPECT_TRUE(eventually([&] { return second.hitCount() == 1; }));
}

} // namespace
