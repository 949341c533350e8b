#pragma once
// The event the end-to-end tests start the console on: program folder `home` with the
// closed-library test doubles, an event "E" in `mode` with two classes, two racers and,
// for the two-lane modes, one prepared run (id 1, racers 12 and 7).
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "nodesim/node_simulator.h"

namespace velmaro::test {

inline void writeTestEvent(const TempFolder& home, unsigned mode) {
    home.write("velmaro.ini", "EventName:E\nMode:" + std::to_string(mode) + "\n");
    std::filesystem::create_directories(home / "CHALLENGES/E");
    home.write("CHALLENGES/E/classes.txt", "0:Стрит\t0,0,0\n1:Pro\t0,0,0\n");
    home.write("CHALLENGES/E/racers.txt", "12,Иванов,ВАЗ,Москва,1:0,,Ралли,0,{A},1\n7,Петров,ГАЗ,Тула,1:1,,,0,{B},1\n");
    TDragRaceItem run;
    run.runId = 1;
    run.racer = {12, 7};
    home.write("CHALLENGES/E/drag.txt", formatDragFile({run}));
}

inline void copyFakeLibraries(const std::filesystem::path& home) {
    for (const char* file : {"scoreboardcontroller.so", "wsadapter.so"})
        std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / "full" / file, home / file);
}

// Nodes 1, 2, 4 and 5 in the namespace of `net`, on the console's node port `port`.
inline nodesim::SimOptions simOptions(const SimNetwork& net, std::uint16_t port, int statusPeriodMs = 100) {
    nodesim::SimOptions o;
    o.networkNamespace = net.path();
    o.bindAddress = net.simAddress();
    o.port = port;
    o.greetingAddress = net.broadcast();
    o.onlineNodes = {1, 2, 4, 5};
    o.statusPeriodMs = statusPeriodMs;
    return o;
}

// The timing network of a test: nodes 1, 2, 4 and 5 of the simulator in a namespace of its
// own (subnet `n`), joined to the console's, whose link is told to greet through it.
struct SimTrack {
    SimTrack(int n, std::uint16_t port) : net(n), sim(simOptions(net, port)) {
        if (!net.ok()) return;
        ::setenv("VELMARO_LINK_INTERFACES", net.consoleInterface().c_str(), 1);
        started = sim.start();
    }
    bool ok() const { return net.ok() && started; }

    const SimNetwork net;
    nodesim::NodeSimulator sim;
    bool started = false;
};

} // namespace velmaro::test
