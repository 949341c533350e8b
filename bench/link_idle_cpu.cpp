// CPU use of an idle node link: the link runs with nodes online (tools/nodesim sends their
// status) and nothing else happens. Two loops are measured in turn, each for the given
// number of seconds:
//   baseline  the former loop: the wait before the next pass rounded down to whole ms,
//             the local time converted on every turn;
//   link      TSystemInterface's own thread.
// It reports the process CPU time of each as a share of one core.
//
// Opens UDP sockets, so it runs only inside a private network namespace; use
// scripts/link_idle_cpu.sh, which starts nodesim with four nodes beside it.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/link/system_interface.h"

using namespace velmaro;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

LinkOptions linkOptions() {
    LinkOptions o;
    o.interfaces = {"none"}; // no greeting: nodesim is told the console's address
    return o;
}

// Drains the hit queue the way the main window does.
SystemEventSink drainingSink(TSystemInterface*& link) {
    return [&link](int code, std::uint32_t) {
        if (code == SE_NEW_HITS && link)
            for (TSignalHit h; link->tryPopHit(h);) {
            }
    };
}

struct Figures {
    double cpuShare = 0; // of one core
    std::size_t nodesOnline = 0;
};

std::size_t onlineNodes(TSystemInterface& link) {
    std::size_t n = 0;
    for (const TSystemNode& node : link.nodes()) n += node.online != 0;
    return n;
}

// The former loop, driven through the link's public pass: every turn reads the local
// clock for the greeting check and waits the rest of the pass rounded down to whole ms.
Figures runBaseline(double seconds) {
    TSystemInterface* linkPtr = nullptr;
    auto transport = makeUdpTransport();
    LinkTransport* socket = transport.get();
    LinkEnvironment clockSource;
    TSystemInterface link(drainingSink(linkPtr), linkOptions(), nullptr, std::move(transport));
    linkPtr = &link;
    int openError = 0;
    if (socket->open(NODE_UDP_PORT, openError) != PortState::Open) return {};
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(10);
    const auto end = clock::now() + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(seconds));
    const double cpu0 = cpuSeconds();
    auto nextService = clock::now() + period;
    std::uint8_t buffer[NODE_DATAGRAM_MAX + 1];
    while (clock::now() < end) {
        (void)clockSource.pcClockSeconds(); // the per-turn greeting check
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextService - clock::now()).count();
        if (socket->waitReadable(left > 0 ? int(left) : 0)) {
            NodeAddress from;
            for (int taken = 0; taken < 512; ++taken) {
                const long n = socket->receive(buffer, NODE_DATAGRAM_MAX, from);
                if (n < 0) break;
                buffer[n] = 0;
                link.handleDatagram(buffer, std::size_t(n), from);
            }
        }
        if (clock::now() >= nextService) {
            link.runPass();
            nextService = clock::now() + period;
        }
    }
    Figures f;
    f.cpuShare = (cpuSeconds() - cpu0) / seconds;
    f.nodesOnline = onlineNodes(link);
    socket->close();
    return f;
}

Figures runLink(double seconds) {
    TSystemInterface* linkPtr = nullptr;
    TSystemInterface link(drainingSink(linkPtr), linkOptions());
    linkPtr = &link;
    if (!link.start()) return {};
    const double cpu0 = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    Figures f;
    f.cpuShare = (cpuSeconds() - cpu0) / seconds;
    f.nodesOnline = onlineNodes(link);
    link.stop();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("VELMARO_NETNS")) {
        std::printf("bench_link_idle_cpu: opens UDP sockets; run scripts/link_idle_cpu.sh. Skipped.\n");
        return 0;
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const Figures before = runBaseline(seconds);
    const Figures after = runLink(seconds);
    std::printf("idle link over %.0f s each\n", seconds);
    std::printf("  baseline loop (wait rounded down, clock per turn): %5.2f %% of a core, %zu nodes online\n",
                before.cpuShare * 100, before.nodesOnline);
    std::printf("  link loop (sleeps to the next pass):               %5.2f %% of a core, %zu nodes online\n",
                after.cpuShare * 100, after.nodesOnline);
    return 0;
}
