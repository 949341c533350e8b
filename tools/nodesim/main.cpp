// nodesim: a simulated timing network for the console's node link.
//
// Run it only on loopback or inside a private network namespace. The console owns the
// node port alone, so the simulator (which listens on the same port number) sits in a
// namespace of its own, joined to the console's by a veth pair, like a gateway on its own
// machine:
//   unshare --net sh -c 'ip link set lo up; unshare --net sleep infinity & sleep 0.2
//     ns=/proc/$!/ns/net
//     ip link add vc0 type veth peer name vs0 netns $ns; ip addr add 10.214.0.1/24 dev vc0; ip link set vc0 up
//     nsenter --net=$ns sh -c "ip link set lo up; ip addr add 10.214.0.2/24 dev vs0; ip link set vs0 up"
//     nodesim --netns $ns --bind 10.214.0.2 --console learn --greeting 10.214.0.255 &
//     VELMARO_LINK_INTERFACES=vc0 velmaro'
//
// Options:
//   --bind ADDR           the gateway's own address (default 127.0.0.2)
//   --port N              node network port (default 1309)
//   --console ADDR        the console's address (default 127.0.0.1; "learn" = from the greeting)
//   --greeting ADDR       also listen for the greeting on this broadcast address
//   --netns PATH          open the sockets in that network namespace (/proc/<pid>/ns/net)
//   --nodes LIST          nodes online, e.g. 1,2,4,5 (8..11 = displays and radio boards)
//   --rssi ID:DB,...      own radio level per node (default -40 - 3 * id)
//   --sensors HEX         start unit status bits 0..5 (default 0x15)
//   --other-sensors HEX   status bits of the other nodes (default 0x1)
//   --animate             walk the start light tree and flicker the start unit sensors
//   --burst N             send N hits after the first second, from --burst-nodes (default 2,4,5)
//   --burst-nodes LIST    nodes of the burst
//   --hit-step MS         node time between burst hits (default 1)
//   --run-after S         after S seconds, the hits of one two-lane run: start signal,
//                         launches, 60 ft, speed trap and finishes (left lane 9.520 s)
//   --signal-after S:NODE:SIGNAL   after S seconds, NODE sends SIGNAL once (e.g. 3:1:101 the
//                         remote START of the start node); may be given more than once
//   --frames N            hits packed per datagram (default 1)
//   --drop N | --duplicate N | --garbage N   every N-th datagram fails that way
//   --no-start-answer     do not answer start commands with type 11
//   --duration S          stop after S seconds (default: run until interrupted)
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>

#include "nodesim/node_simulator.h"

using namespace velmaro;
using namespace velmaro::nodesim;

namespace {

std::atomic<bool> gStop{false};
void onSignal(int) { gStop = true; }

std::vector<int> parseList(const std::string& s) {
    std::vector<int> out;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) out.push_back(std::atoi(item.c_str()));
    return out;
}

void usage() {
    std::fprintf(stderr,
                 "usage: nodesim [--bind ADDR] [--port N] [--console ADDR|learn] [--greeting ADDR] [--netns PATH]\n"
                 "               [--nodes 1,2,4,5] [--rssi ID:DB,...] [--sensors HEX] [--other-sensors HEX]\n"
                 "               [--animate] [--burst N] [--burst-nodes LIST] [--hit-step MS] [--run-after S]\n"
                 "               [--signal-after S:NODE:SIGNAL]... [--frames N]\n"
                 "               [--drop N|--duplicate N|--garbage N] [--no-start-answer] [--duration S]\n");
}

} // namespace

int main(int argc, char** argv) {
    SimOptions o;
    o.bindAddress = "127.0.0.2";
    o.consoleAddress = "127.0.0.1";
    o.startUnitSensors = 0x15;
    o.otherSensors = 0x1;
    int burst = 0;
    double runAfter = -1;
    std::vector<int> burstNodes = {2, 4, 5};
    int hitStep = 1;
    double duration = 0;
    struct TimedSignal {
        double after;
        int node, signal;
        bool sent = false;
    };
    std::vector<TimedSignal> signals;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--bind")
            o.bindAddress = next();
        else if (a == "--port")
            o.port = std::uint16_t(std::atoi(next().c_str()));
        else if (a == "--console") {
            const std::string v = next();
            o.consoleAddress = v == "learn" ? "" : v;
        } else if (a == "--greeting")
            o.greetingAddress = next();
        else if (a == "--netns")
            o.networkNamespace = next();
        else if (a == "--nodes")
            o.onlineNodes = parseList(next());
        else if (a == "--rssi") {
            std::stringstream in(next());
            std::string item;
            while (std::getline(in, item, ',')) {
                const auto colon = item.find(':');
                if (colon != std::string::npos)
                    o.radioLevels[std::atoi(item.substr(0, colon).c_str())] = std::atoi(item.substr(colon + 1).c_str());
            }
        } else if (a == "--sensors")
            o.startUnitSensors = std::uint16_t(std::strtoul(next().c_str(), nullptr, 16));
        else if (a == "--other-sensors")
            o.otherSensors = std::uint16_t(std::strtoul(next().c_str(), nullptr, 16));
        else if (a == "--animate")
            o.animateLamps = true;
        else if (a == "--burst")
            burst = std::atoi(next().c_str());
        else if (a == "--run-after")
            runAfter = std::atof(next().c_str());
        else if (a == "--signal-after") {
            const std::vector<int> parts = parseList([&] {
                std::string v = next();
                for (char& c : v)
                    if (c == ':') c = ',';
                return v;
            }());
            if (parts.size() != 3) {
                usage();
                return 2;
            }
            signals.push_back({double(parts[0]), parts[1], parts[2]});
        } else if (a == "--burst-nodes")
            burstNodes = parseList(next());
        else if (a == "--hit-step")
            hitStep = std::atoi(next().c_str());
        else if (a == "--frames")
            o.framesPerDatagram = std::atoi(next().c_str());
        else if (a == "--drop") {
            o.failure = Failure::Drop;
            o.failureEvery = std::atoi(next().c_str());
        } else if (a == "--duplicate") {
            o.failure = Failure::Duplicate;
            o.failureEvery = std::atoi(next().c_str());
        } else if (a == "--garbage") {
            o.failure = Failure::Garbage;
            o.failureEvery = std::atoi(next().c_str());
        } else if (a == "--no-start-answer")
            o.answerStart = false;
        else if (a == "--duration")
            duration = std::atof(next().c_str());
        else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    NodeSimulator sim(o);
    if (!sim.start()) {
        std::fprintf(stderr, "nodesim: cannot bind %s:%u\n", o.bindAddress.c_str(), unsigned(o.port));
        return 1;
    }
    std::fprintf(stderr, "nodesim: gateway at %s:%u, console %s\n", o.bindAddress.c_str(), unsigned(o.port),
                 o.consoleAddress.empty() ? "(learned from the greeting)" : o.consoleAddress.c_str());

    const auto started = std::chrono::steady_clock::now();
    bool burstSent = burst == 0;
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!burstSent && elapsed >= 1.0) {
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
            sim.burst(burst, burstNodes, std::uint64_t(now), hitStep);
            burstSent = true;
        }
        if (runAfter >= 0 && elapsed >= runAfter) {
            const std::uint64_t t = std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::system_clock::now().time_since_epoch())
                                                      .count());
            const struct {
                int node, signal, at;
            } run[] = {{1, 6, 0},    {1, 0, 380},  {1, 2, 420},  {5, 0, 1900}, {5, 2, 2000},
                       {4, 0, 9388}, {4, 2, 9900}, {2, 0, 9900}, {2, 2, 10400}};
            for (const auto& h : run) sim.sendHit(h.node, h.signal, t + std::uint64_t(h.at));
            runAfter = -1;
        }
        for (TimedSignal& ts : signals) {
            if (ts.sent || elapsed < ts.after) continue;
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
            sim.sendHit(ts.node, ts.signal, std::uint64_t(now));
            std::fprintf(stderr, "nodesim: node %d sent signal %d\n", ts.node, ts.signal);
            ts.sent = true;
        }
        if (duration > 0 && elapsed >= duration) break;
    }
    sim.stop();
    const SimCounters c = sim.counters();
    std::fprintf(stderr,
                 "nodesim: greetings %d, hits %d, resends %d, acks %d, duplicate acks %d, unmatched acks %d, "
                 "pending %zu, dropped %d, duplicated %d, garbage %d\n",
                 c.greetings, c.hitsSent, c.hitResends, c.acks, c.duplicateAcks, c.unmatchedAcks, sim.pendingHits(),
                 c.dropped, c.duplicated, c.garbage);
    for (const auto& [type, n] : c.receivedByType) std::fprintf(stderr, "  console type %d: %d\n", type, n);
    return 0;
}
