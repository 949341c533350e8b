// Hit-to-acknowledgement latency of the node link, beside a bare UDP echo round trip
// measured in the same run, both across a veth pair to a namespace of the gateway's own.
//
// Opens UDP sockets and makes namespaces, so it runs only inside a private network
// namespace:
//   unshare --net sh -c 'ip link set lo up; VELMARO_NETNS=1 build/bench/bench_link_latency'
// Without VELMARO_NETNS it prints a note and exits with 0.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "core/link/system_interface.h"
#include "fakes/sim_network.h"

using namespace velmaro;

namespace {

constexpr std::uint16_t kLinkPort = 24309;
constexpr std::uint16_t kEchoPort = 24310;

int udpSocket(const char* ip, std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

sockaddr_in address(const char* ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

bool waitFor(int s, std::uint8_t* buffer, std::size_t size, int timeoutMs) {
    pollfd p{s, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    return ::recv(s, buffer, size, 0) > 0;
}

// The gateway lives in a network namespace of its own joined by a veth pair (the link
// owns the node port alone, as on a real network the gateway is another machine); the
// bare echo crosses the same pair.
const test::SimNetwork& network() {
    static const test::SimNetwork net(31);
    return net;
}

// A UDP socket bound in the gateway's namespace.
int gatewaySocket(const std::string& ip, std::uint16_t port) {
    const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int there = ::open(network().path().c_str(), O_RDONLY | O_CLOEXEC);
    int s = -1;
    if (home >= 0 && there >= 0 && ::setns(there, CLONE_NEWNET) == 0) {
        s = udpSocket(ip.c_str(), port);
        if (::setns(home, CLONE_NEWNET) != 0) std::abort(); // never go on in the wrong namespace
    }
    if (home >= 0) ::close(home);
    if (there >= 0) ::close(there);
    return s;
}

// Round trip of one hit: the gateway sends a receive frame to the console's link; the
// link acknowledges it; the time until the acknowledgement arrives.
void BM_HitToAcknowledgement(benchmark::State& state) {
    LinkOptions o;
    o.port = kLinkPort;
    o.interfaces = {"none"}; // no greeting
    TSystemInterface* linkPtr = nullptr;
    auto link = std::make_unique<TSystemInterface>(
        [&linkPtr](int code, std::uint32_t) {
            if (code == SE_NEW_HITS && linkPtr)
                for (TSignalHit h; linkPtr->tryPopHit(h);) {
                } // the main window drains the queue
        },
        o);
    linkPtr = link.get();
    if (!link->start()) {
        state.SkipWithError("cannot bind the link");
        return;
    }
    const int gateway = network().ok() ? gatewaySocket(network().simAddress(), kLinkPort) : -1;
    if (gateway < 0) {
        state.SkipWithError("cannot bind the gateway socket");
        return;
    }
    const sockaddr_in console = address(network().consoleAddress().c_str(), kLinkPort);
    std::uint64_t time = 1'700'000'000'000ull;
    std::uint8_t reply[64];
    for (auto _ : state) {
        ++time;
        TNodeMessage hit = TNodeMessage::make(0, MSG_HIT, 2, std::uint32_t(time / 1000), std::uint16_t(time % 1000));
        hit.from = NODE_FINISH;
        const NodeFrameBytes f = buildReceiveFrame(1, hit);
        ::sendto(gateway, f.data(), f.size(), 0, reinterpret_cast<const sockaddr*>(&console), sizeof console);
        if (!waitFor(gateway, reply, sizeof reply, 1000)) {
            state.SkipWithError("no acknowledgement");
            break;
        }
    }
    ::close(gateway);
    link->stop();
}
BENCHMARK(BM_HitToAcknowledgement)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The floor: a bare UDP echo thread with the same wake-up (poll), same datagram size.
void BM_BareUdpEcho(benchmark::State& state) {
    const int server = network().ok() ? gatewaySocket(network().simAddress(), kEchoPort) : -1;
    const int client = udpSocket(network().consoleAddress().c_str(), kEchoPort);
    if (server < 0 || client < 0) {
        state.SkipWithError("cannot bind the echo sockets");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        std::uint8_t buffer[64];
        while (!stop) {
            pollfd p{server, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(server, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n > 0) ::sendto(server, buffer, std::size_t(n), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    });
    const sockaddr_in to = address(network().simAddress().c_str(), kEchoPort);
    std::uint8_t datagram[NODE_FRAME_SIZE] = {0x7E};
    std::uint8_t reply[64];
    for (auto _ : state) {
        ::sendto(client, datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (!waitFor(client, reply, sizeof reply, 1000)) {
            state.SkipWithError("no echo");
            break;
        }
    }
    stop = true;
    echo.join();
    ::close(server);
    ::close(client);
}
BENCHMARK(BM_BareUdpEcho)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("VELMARO_NETNS")) {
        std::printf("bench_link_latency: opens UDP sockets; run it inside a private network namespace "
                    "with VELMARO_NETNS=1. Skipped.\n");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
