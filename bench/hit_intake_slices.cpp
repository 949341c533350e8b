// The main thread's side of a burst of hits, through the real slice handler and intake:
//  1. drain time of 1,000 and 10,000 queued hits into an event that already holds 10,000
//     logged hits, as a ratio to writing those hits once to a file;
//  2. main-thread CPU and wall time and bytes written for one accepted drag hit at
//     1k lines/500 runs and 50k lines/8000 runs of drag.txt, written as a tail in place
//     and (drag.txt not trusted) as a whole rewrite, beside the floor: one appended
//     hitlog line plus a plain atomic write of drag.txt at that size;
//  3. how late a 10 ms timer of the window gets while a burst of 3,000 hits is drained;
//  4. one hit the run refuses, logged in hitlog.txt at 10,000 and 50,000 logged hits: in
//     time order (appended) beside one older than the last logged hit (a node whose clock
//     is a few ms behind another's), which goes a place before the end of the file.
//     Before the tail writes, that hit rewrote the file whole: 2.1 ms at 10,000 and 8.6 ms
//     at 50,000 logged hits beside 0.15 ms in order (x14 and x55; with a slow disk flush,
//     4 ms in order, 16 and 22-28 ms out of order).
// Prints a table; run bench_hit_intake_slices (offscreen), "--section=2" for one section.
#include <benchmark/benchmark.h>

#include "bench_event_host.h"

#include <QApplication>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app/console.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_hits.h"
#include "core/drag/drag_run.h"
#include "core/drag/fake_drag_host.h"
#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/scripted_operator.h"
#include "ui/link/system_events.h"

namespace {

using namespace velmaro;
using clock_type = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::uint64_t kT0 = 1'700'000'000'000ULL;

double ms(clock_type::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Bytes this process has handed to write() so far.
long long writtenBytes() {
    std::ifstream in("/proc/self/io");
    std::string key;
    long long value = 0;
    while (in >> key >> value)
        if (key == "wchar:") return value;
    return 0;
}

using BenchHost = test::FakeDragHost;

class QueueLink : public ui::SystemEventLink {
public:
    std::deque<TSignalHit> queue;
    std::size_t hitCount() override { return queue.size(); }
    bool tryPopHit(TSignalHit& h) override {
        if (queue.empty()) return false;
        h = queue.front();
        queue.pop_front();
        return true;
    }
    void hitsLogged() override {}
    void disarmAutoStart() override {}
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels() override { return {}; }
};

struct Event {
    BenchHost host;
    test::FakeHitIntakeHost& intake = host.intakeHost; // its mode is the host's
    HitIntake& hits = host.intake;
    DragRuns drag{host};
    fs::path folder;

    explicit Event(const std::string& name) {
        folder = fs::temp_directory_path() / ("velmaro-bench-intake-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        host.folder = folder;
        intake.mode = host.mode;
        intake.folder = folder;
        drag.registerHitHandlers();
    }
    ~Event() {
        drag.clearHitHandlers();
        fs::remove_all(folder);
    }
    // `runs` runs with `hitsPerRun` hits each spread over both lanes; `logged` hits in hitlog.txt.
    void fill(int runs, int hitsPerRun, int logged) {
        drag.dragRuns().clear();
        for (int i = 0; i < runs; ++i) {
            TDragRaceItem run;
            run.runId = i + 1;
            run.racer = {2 * i + 1, 2 * i + 2};
            run.startTime = kT0 + std::uint64_t(i) * 60'000;
            for (int k = 0; k < hitsPerRun; ++k)
                run.hits[k % 2].push_back(
                    {k < 2 ? HIT_TYPE_RT : HIT_TYPE_PLAP, run.startTime + 300 + 1000u * k, 0, 0, 0});
            drag.dragRuns().push_back(run);
        }
        drag.currentRunIndex() = runs - 1;
        drag.relayoutRuns();
        if (!drag.saveDragFile().ok()) std::fprintf(stderr, "drag.txt not written\n");
        std::vector<THitRecord> records;
        for (int i = 0; i < logged; ++i)
            records.push_back({3, i % 4, std::uint32_t(kT0 / 1000) - 100'000u + std::uint32_t(i), 0, 0, kT0});
        if (!saveHitLogFile(folder / "hitlog.txt", records).ok()) std::fprintf(stderr, "hitlog.txt not written\n");
        hits.loadHitLog();
    }
    std::size_t dragLines() const {
        std::size_t n = 0;
        for (const auto& r : drag.dragRuns()) n += 1 + r.hits[0].size() + r.hits[1].size();
        return n;
    }
};

// Runs the event loop until the queue is empty and no slice waits.
void drain(QueueLink& link) {
    while (!link.queue.empty()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void drainTimes() {
    std::printf("\n1. Draining queued hits into an event of 10,000 logged hits (refused by the run)\n");
    std::printf("%10s %12s %14s %8s\n", "hits", "drain ms", "one write ms", "ratio");
    for (int n : {1000, 10000}) {
        Event e("drain");
        e.fill(500, 2, 10000);
        QueueLink link;
        bench::IdleEventHost host;
        test::ScriptedOperator quiet;
        ui::SystemEventHandler handler(
            link, host, quiet, nullptr, nullptr, e.hits,
            [&e](int n, int s, std::uint64_t t, int src) { e.hits.processHit(n, s, t, src); });
        std::vector<THitRecord> written;
        for (int i = 0; i < n; ++i) {
            const std::uint64_t t = kT0 + 10'000'000 + std::uint64_t(i) * 3;
            link.queue.push_back({6, std::uint32_t(i % 4), t});
            written.push_back({6, i % 4, std::uint32_t(t / 1000), std::uint16_t(t % 1000), 0, kT0});
        }
        const auto start = clock_type::now();
        handler.onSystemEvent(SE_NEW_HITS, 0);
        drain(link);
        const double drainMs = ms(clock_type::now() - start);
        const auto w0 = clock_type::now();
        if (!writeFileAtomic(e.folder / "once.txt", formatHitLog(written)).ok()) std::fprintf(stderr, "write failed\n");
        const double onceMs = ms(clock_type::now() - w0);
        std::printf("%10d %12.1f %14.2f %8.1f\n", n, drainMs, onceMs, drainMs / onceMs);
    }
}

void oneDragHit() {
    std::printf("\n2. One accepted drag hit (hit log \"Вкл. в расчет\" path, so each is taken), median of 41.\n"
                "   \"tail\": drag.txt known, the changed tail written in place through drag.txt.tail;\n"
                "   \"whole\": the same hit with drag.txt replaced beforehand (same bytes, untimed), so the\n"
                "   writer cannot trust it and rewrites the whole file atomically, as every hit did before.\n");
    std::printf("%22s %6s %10s %10s %12s | %14s %12s\n", "drag.txt", "write", "cpu ms", "wall ms", "bytes/hit",
                "floor wall ms", "floor bytes");
    struct Size {
        int runs, hitsPerRun;
        const char* label;
    };
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (const Size s : {Size{500, 1, "1k lines / 500 runs"}, Size{8000, 5, "50k lines / 8000 runs"}}) {
        Event e("hit");
        e.fill(s.runs, s.hitsPerRun, 10000);
        std::vector<double> floorWall, floorBytes;
        std::uint64_t t = kT0 + 20'000'000;
        for (const bool whole : {true, false}) {
            std::vector<double> cpu, wall, bytes;
            for (int i = 0; i < 41; ++i) {
                t += 10;
                if (whole && !writeFileAtomic(e.folder / "drag.txt", formatDragFile(e.drag.dragRuns())).ok())
                    std::fprintf(stderr, "drag.txt not replaced\n");
                const long long b0 = writtenBytes();
                const double c0 = threadCpuMs();
                const auto w0 = clock_type::now();
                {
                    HitBatch batch(e.hits); // one slice holding one hit
                    e.hits.processHit(1, SIG_LEFT, t, HIT_FROM_LOG_SELECTED);
                }
                wall.push_back(ms(clock_type::now() - w0));
                cpu.push_back(threadCpuMs() - c0);
                bytes.push_back(double(writtenBytes() - b0));
                if (whole) continue;

                // The floor: one hitlog line appended (with its flush) and drag.txt written atomically.
                const std::string dragText = formatDragFile(e.drag.dragRuns());
                const long long f0 = writtenBytes();
                const auto fw = clock_type::now();
                const int fd = ::open((e.folder / "floor_hitlog.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
                const std::string line = "1,0,1700020000,0,1700000000000\n";
                if (::write(fd, line.data(), line.size()) < 0 || ::fdatasync(fd) != 0)
                    std::fprintf(stderr, "append failed\n");
                ::close(fd);
                if (!writeFileAtomic(e.folder / "floor_drag.txt", dragText).ok())
                    std::fprintf(stderr, "write failed\n");
                floorWall.push_back(ms(clock_type::now() - fw));
                floorBytes.push_back(double(writtenBytes() - f0));
            }
            std::string check;
            if (!readFile(e.folder / "drag.txt", check).ok() || check != formatDragFile(e.drag.dragRuns()))
                std::fprintf(stderr, "drag.txt differs from a whole rewrite\n");
            if (whole) {
                std::printf("%22s %6s %10.2f %10.2f %12.0f |\n", s.label, "whole", median(cpu), median(wall),
                            median(bytes));
                continue;
            }
            std::printf("%22s %6s %10.2f %10.2f %12.0f | %14.2f %12.0f   (%zu lines)\n", "", "tail", median(cpu),
                        median(wall), median(bytes), median(floorWall), median(floorBytes), e.dragLines());
            // What of that the writer spends finding what changed: a save with nothing to write,
            // comparing every run, and the hit path's save, comparing only the runs marked changed.
            const auto idleCpu = [&](DragRuns::SaveScope scope) {
                std::vector<double> idle;
                for (int i = 0; i < 41; ++i) {
                    const double c0 = threadCpuMs();
                    if (!e.drag.saveDragFile(scope).ok()) std::fprintf(stderr, "drag.txt not written\n");
                    idle.push_back(threadCpuMs() - c0);
                }
                return median(idle);
            };
            std::printf("%22s %6s %10.2f   (a save with nothing changed)\n", "", "none",
                        idleCpu(DragRuns::SaveScope::AllRuns));
            std::printf("%22s %6s %10.2f   (the hit path's save, nothing marked)\n", "", "marked",
                        idleCpu(DragRuns::SaveScope::MarkedRuns));
        }
    }
}

void lateness() {
    std::printf("\n3. A 10 ms window timer during a burst of 3,000 hits, every one taken by the run\n"
                "   (crossover laps, 50k-line drag.txt, 10,000 logged hits)\n");
    Event e("burst");
    e.fill(8000, 5, 10000);
    e.host.mode = 3;
    e.intake.mode = 3;
    QueueLink link;
    bench::IdleEventHost host;
    test::ScriptedOperator quiet;
    ui::SystemEventHandler handler(link, host, quiet, nullptr, nullptr, e.hits,
                                   [&e](int n, int s, std::uint64_t t, int src) { e.hits.processHit(n, s, t, src); });
    // A run with one racer on the left lane: every left-lane hit is a lap of it.
    const std::uint64_t t = kT0 + 30'000'000;
    e.drag.dragRuns().push_back(TDragRaceItem{});
    e.drag.dragRuns().back().runId = 9001;
    e.drag.dragRuns().back().racer = {5, 0};
    e.drag.currentRunIndex() = int32_t(e.drag.dragRuns().size() - 1);
    e.drag.relayoutRuns();
    for (int i = 0; i < 3000; ++i) link.queue.push_back({2u, std::uint32_t(SIG_LEFT), t + std::uint64_t(i) * 7});
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    auto last = clock_type::now();
    double worst = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = clock_type::now();
        worst = std::max(worst, ms(now - last) - 10.0);
        last = now;
    });
    timer.start(10);
    QCoreApplication::processEvents();
    last = clock_type::now();
    const auto start = clock_type::now();
    handler.onSystemEvent(SE_NEW_HITS, 0);
    drain(link);
    const double total = ms(clock_type::now() - start);
    timer.stop();
    std::printf("   drained in %.1f ms (%zu laps taken); the timer's worst lateness %.1f ms\n", total,
                e.drag.dragRuns().back().hits[0].size(), worst);
}

void outOfOrderHit() {
    std::printf("\n4. One hit the run refuses, logged in hitlog.txt, median of 101: in time order, and 3 ms older\n"
                "   than the hit logged just before it (it goes a place before the end of the file); the ratio\n"
                "   is the median of the two hits' ratios, each pair timed back to back\n");
    std::printf("%12s %14s %12s %14s %12s %8s\n", "logged hits", "in order ms", "cpu ms", "out of order ms", "cpu ms",
                "ratio");
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (int logged : {10000, 50000}) {
        Event e("order");
        e.fill(500, 2, logged);
        std::vector<double> wall[2], cpu[2], ratio;
        const std::uint64_t base = kT0 + 40'000'000;
        for (int i = 0; i < 101; ++i) {
            // The in-order hit first, then the one from the node whose clock is behind.
            const std::uint64_t times[2] = {base + 10u * std::uint64_t(i), base + 10u * std::uint64_t(i) - 3};
            for (int k = 0; k < 2; ++k) {
                const double c0 = threadCpuMs();
                const auto w0 = clock_type::now();
                {
                    HitBatch batch(e.hits); // one slice holding one hit
                    e.hits.processHit(6 + k, SIG_LEFT, times[k], HIT_FROM_DEVICE);
                }
                wall[k].push_back(ms(clock_type::now() - w0));
                cpu[k].push_back(threadCpuMs() - c0);
            }
            ratio.push_back(wall[1].back() / wall[0].back());
        }
        std::string check;
        if (!readFile(e.folder / "hitlog.txt", check).ok() || check != formatHitLog(e.hits.hitList()))
            std::fprintf(stderr, "hitlog.txt differs from a whole rewrite\n");
        std::printf("%12d %14.2f %12.2f %14.2f %12.2f %8.2f\n", logged, median(wall[0]), median(cpu[0]),
                    median(wall[1]), median(cpu[1]), median(ratio));
    }
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // "--section=N" runs section N alone (for a profile of it).
    int only = 0;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--section=", 0) == 0) only = std::atoi(argv[i] + 10);
    if (only == 0 || only == 1) drainTimes();
    if (only == 0 || only == 2) oneDragHit();
    if (only == 0 || only == 3) lateness();
    if (only == 0 || only == 4) outOfOrderHit();
    return 0;
}
