// The real program killed in the middle of a burst of hits: every hit the console has
// acknowledged must be in hitlog.txt (and in drag.txt where the run takes it) once the
// program has been started again on the same folder, with no temporary file left and
// every file readable. Runs in the private network namespace (VELMARO_NETNS), the
// simulator in a namespace of its own joined by a veth pair, the program offscreen.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/drag/fake_drag_host.h"
#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "nodesim/node_simulator.h"
#include "test_event.h"

extern char** environ;

namespace velmaro::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program, started with its own environment; killed with SIGKILL when still running.
class Program {
public:
    Program(const fs::path& home, std::uint16_t port, const std::string& interface) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("VELMARO_", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(entry);
        }
        env.push_back("VELMARO_HOME=" + home.string());
        env.push_back("VELMARO_NODE_PORT=" + std::to_string(port));
        env.push_back("VELMARO_LINK_INTERFACES=" + interface);
        env.push_back("QT_QPA_PLATFORM=offscreen");
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = VELMARO_PROGRAM;
        char* argv[] = {program.data(), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
    }
    ~Program() { kill(SIGKILL); }
    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void kill(int sig) {
        if (pid_ <= 0) return;
        ::kill(pid_, sig);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

template <class Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return pred();
}

std::string readText(const fs::path& file) {
    std::string text;
    return readFile(file, text).ok() ? text : std::string();
}

// The temporary files a killed writer of program `pid` left under `folder`: its rewrites
// in flight ("<file>.tmp<pid>_<n>"). The restart removes those of the killed program; a
// second program killed in turn may leave its own, which the next start removes.
std::vector<std::string> temporariesOf(const fs::path& folder, pid_t pid) {
    std::vector<std::string> found;
    const std::string mark = ".tmp" + std::to_string(pid) + "_";
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().find(mark) != std::string::npos) found.push_back(entry.path());
    return found;
}

std::set<nodesim::SimHit> loggedHits(const fs::path& hitlog) {
    std::set<nodesim::SimHit> out;
    for (const THitRecord& r : parseHitLog(readText(hitlog)))
        out.insert({std::uint8_t(r.node), std::uint16_t(r.signal), r.seconds, r.milliseconds});
    return out;
}

TEST(HitCrash, EveryAcknowledgedHitSurvivesAKillInABurst) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    TempFolder home;
    writeTestEvent(home, 0);
    copyFakeLibraries(home.path());
    const fs::path event = home / "CHALLENGES/E";

    // The console owns the node port: the simulator lives in a namespace of its own.
    const SimNetwork net(253);
    ASSERT_TRUE(net.ok());
    const nodesim::SimOptions o = simOptions(net, 25300, 200);
    nodesim::NodeSimulator sim(o);
    ASSERT_TRUE(sim.start());

    // The run takes these nine; the burst comes from nodes the drag mode refuses.
    const std::uint64_t t = 1'700'000'000'000ULL;
    const std::vector<std::tuple<int, int, std::uint64_t>> runHits = {
        {1, 6, t},        {1, 0, t + 380},  {1, 2, t + 420},  {5, 0, t + 1900}, {5, 2, t + 2000},
        {4, 0, t + 9388}, {4, 2, t + 9900}, {2, 0, t + 9900}, {2, 2, t + 10400}};
    std::set<nodesim::SimHit> acked;
    pid_t killedPid = 0;
    {
        Program console(home.path(), o.port, net.consoleInterface());
        ASSERT_TRUE(console.started());
        ASSERT_TRUE(waitFor([&] { return sim.consoleAddress() == net.consoleAddress(); }, 15s))
            << "the console never greeted";
        for (const auto& [node, signal, time] : runHits) sim.sendHit(node, signal, time);
        // Most of the burst in time order, a tail going back in time.
        sim.burst(2700, {3, 6, 7}, t + 20'000, 3);
        sim.burst(291, {3, 6, 7}, t + 15'000, 7);
        ASSERT_TRUE(sim.waitAllAcked(20'000)) << sim.pendingHits() << " hits never acknowledged";
        killedPid = console.pid();
        console.kill(SIGKILL);
        acked = sim.acknowledged();
    }
    ASSERT_EQ(acked.size(), 3000u);
    const auto missing = [&] {
        std::size_t n = 0;
        const auto logged = loggedHits(event / "hitlog.txt");
        for (const auto& h : acked) n += logged.count(h) == 0;
        return n;
    };
    const std::size_t missingAfterKill = missing();
    std::printf("acknowledged hits missing from hitlog.txt right after the kill: %zu\n", missingAfterKill);

    {
        Program console(home.path(), o.port, net.consoleInterface());
        ASSERT_TRUE(console.started());
        const bool complete = waitFor([&] { return missing() == 0; }, 15s);
        EXPECT_TRUE(complete) << missing() << " acknowledged hits missing after the restart (" << missingAfterKill
                              << " right after the kill)";
        // The journal is emptied once the restarted console has logged what it held.
        EXPECT_TRUE(waitFor(
            [&] { return fs::exists(home / "hit_journal.txt") && fs::file_size(home / "hit_journal.txt") == 0; }, 5s));
        std::this_thread::sleep_for(300ms);
        console.kill(SIGKILL);
    }
    sim.stop();

    // hitlog.txt: every line whole and read, nothing twice.
    const std::string hitlog = readText(event / "hitlog.txt");
    ASSERT_FALSE(hitlog.empty());
    EXPECT_EQ(hitlog.back(), '\n');
    const std::vector<THitRecord> records = parseHitLog(hitlog);
    EXPECT_EQ(records.size(), std::size_t(std::count(hitlog.begin(), hitlog.end(), '\n')));
    EXPECT_EQ(records.size(), loggedHits(event / "hitlog.txt").size()) << "a hit logged twice";
    EXPECT_EQ(formatHitLog(records), hitlog);

    // drag.txt: the run holds its nine hits with the figures they give.
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(event / "drag.txt", lines).ok());
    for (const std::string& line : lines)
        EXPECT_TRUE(line.rfind("DRAGITEM:", 0) == 0 || line.rfind("LEFTHIT:", 0) == 0 ||
                    line.rfind("RIGHTHIT:", 0) == 0)
            << line;
    std::vector<TDragRaceItem> runs = parseDragFile(lines);
    ASSERT_EQ(runs.size(), 1u);
    test::FakeDragHost settings; // the settings of a new event
    runs[0].recalculate(settings);
    EXPECT_EQ(runs[0].startTime, t);
    EXPECT_EQ(runs[0].hits[0].size(), 4u);
    EXPECT_EQ(runs[0].hits[1].size(), 4u);
    EXPECT_EQ(runs[0].rt, (std::array<int32_t, 2>{380, 420}));
    EXPECT_EQ(runs[0].et, (std::array<int32_t, 2>{9520, 9980}));

    // No temporary of the killed program anywhere in the program folder. A rewrite the
    // kill cut short leaves one (hitlog.txt.tmp... when a hit far back in time made it rewrite
    // the file); the restart's cleanup of leftover temporaries removes it.
    EXPECT_EQ(temporariesOf(home.path(), killedPid), std::vector<std::string>{});
}

// A burst of hits every one of which the run takes (crossover laps of one racer): each
// slice writes the changed tail of drag.txt in place. Killed in the middle, started again:
// drag.txt parses and holds every acknowledged hit once, and no intent is left to apply.
TEST(HitCrash, AcceptedDragHitsSurviveAKillInABurst) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    TempFolder home;
    writeTestEvent(home, 3);
    TDragRaceItem lapRun;
    lapRun.runId = 1;
    lapRun.racer = {12, 0};
    home.write("CHALLENGES/E/drag.txt", formatDragFile({lapRun}));
    copyFakeLibraries(home.path());
    const fs::path event = home / "CHALLENGES/E";

    const SimNetwork net(252);
    ASSERT_TRUE(net.ok());
    const nodesim::SimOptions o = simOptions(net, 25200, 200);
    nodesim::NodeSimulator sim(o);
    ASSERT_TRUE(sim.start());

    const std::uint64_t t = 1'700'000'000'000ULL;
    constexpr int kHits = 1500;
    const auto lapTimes = [&] {
        std::vector<std::string> lines;
        std::vector<std::uint64_t> times;
        if (!readTextLines(event / "drag.txt", lines).ok()) return times;
        const std::vector<TDragRaceItem> runs = parseDragFile(lines);
        if (runs.size() == 1)
            for (const TLineHit& h : runs[0].hits[0]) times.push_back(h.time);
        return times;
    };
    std::set<nodesim::SimHit> acked;
    pid_t killedPid = 0;
    {
        Program console(home.path(), o.port, net.consoleInterface());
        ASSERT_TRUE(console.started());
        ASSERT_TRUE(waitFor([&] { return sim.consoleAddress() == net.consoleAddress(); }, 15s))
            << "the console never greeted";
        // Ten hits every few milliseconds, so the run is written slice after slice; killed
        // in the middle, once drag.txt holds 200 laps. The burst goes on until then, however
        // late a loaded machine lets the console write them (up to a deadline), never more
        // than 400 hits ahead of drag.txt, so hits are still on their way at the kill.
        int sent = 0;
        std::size_t laps = 0;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while ((laps = lapTimes().size()) < 200 && sent < kHits && std::chrono::steady_clock::now() < deadline) {
            if (std::size_t(sent) < laps + 400)
                for (int k = 0; k < 10; ++k, ++sent) sim.sendHit(2, 0, t + std::uint64_t(sent) * 7);
            std::this_thread::sleep_for(3ms);
        }
        killedPid = console.pid();
        console.kill(SIGKILL);
        acked = sim.acknowledged();
    }
    const std::size_t lapsAtKill = lapTimes().size();
    const std::size_t loggedAtKill = parseHitLog(readText(event / "hitlog.txt")).size();
    std::printf("killed with %zu hits acknowledged, %zu laps in drag.txt, %zu hits in hitlog.txt\n", acked.size(),
                lapsAtKill, loggedAtKill);
    ASSERT_GE(lapsAtKill, 200u);
    ASSERT_LT(lapsAtKill, std::size_t(kHits)) << "the kill came after the burst";
    const auto missing = [&] {
        const std::vector<std::uint64_t> times = lapTimes();
        const std::set<std::uint64_t> held(times.begin(), times.end());
        std::size_t n = 0;
        for (const auto& h : acked) n += held.count(std::uint64_t(h.seconds) * 1000 + h.milliseconds) == 0;
        return n;
    };
    {
        Program console(home.path(), o.port, net.consoleInterface());
        ASSERT_TRUE(console.started());
        EXPECT_TRUE(waitFor([&] { return missing() == 0; }, 20s))
            << missing() << " acknowledged laps missing from drag.txt";
        std::this_thread::sleep_for(300ms);
        console.kill(SIGKILL);
    }
    sim.stop();

    // drag.txt: whole lines only, the one run, no lap twice.
    const std::string text = readText(event / "drag.txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(event / "drag.txt", lines).ok());
    for (const std::string& line : lines)
        EXPECT_TRUE(line.rfind("DRAGITEM:", 0) == 0 || line.rfind("LEFTHIT:", 0) == 0) << line;
    const std::vector<TDragRaceItem> runs = parseDragFile(lines);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(formatDragFile(runs), text);
    const std::vector<std::uint64_t> times = lapTimes();
    // A hit already in drag.txt but not yet in hitlog.txt when the program died is noted
    // as taken in the journal: the restart logs it and the run does not take it again.
    const std::size_t twice = times.size() - std::set<std::uint64_t>(times.begin(), times.end()).size();
    EXPECT_EQ(twice, 0u) << "laps taken twice after the restart";
    EXPECT_GE(times.size(), acked.size());
    EXPECT_EQ(missing(), 0u);

    // No temporary of the killed program (the restart removed them).
    EXPECT_EQ(temporariesOf(home.path(), killedPid), std::vector<std::string>{});
}

} // namespace
} // namespace velmaro::test
