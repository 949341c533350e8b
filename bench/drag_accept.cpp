// Accepting one sensor hit into an event of 2,000 runs (with the drag.txt rewrite),
// recalculating all runs, and, for comparison, plain writes of a file of the same size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/drag/drag_file.h"
#include "core/drag/drag_hits.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/platform/files.h"

namespace {

using namespace velmaro;

constexpr int kRuns = 2000;
constexpr uint64_t kT0 = 1'700'000'000'000ULL;

using BenchHost = test::FakeDragHost;

struct Event {
    BenchHost host;
    DragRuns runs{host};
    std::string fileText;

    Event() {
        host.folder = std::filesystem::temp_directory_path() / ("velmaro-bench-drag-" + std::to_string(::getpid()));
        std::filesystem::create_directories(host.folder);
        for (int i = 0; i < kRuns; ++i) {
            TDragRaceItem run;
            run.runId = i + 1;
            run.racer = {2 * i + 1, 2 * i + 2};
            run.classId = {i % 7, i % 7};
            const uint64_t s = kT0 + static_cast<uint64_t>(i) * 120'000;
            run.startTime = s;
            for (int lane = 0; lane < 2; ++lane) {
                const uint64_t l = s + 300 + 40 * static_cast<uint64_t>(lane);
                run.hits[lane] = {{HIT_TYPE_RT, l},
                                  {HIT_TYPE_60FEET, l + 1500},
                                  {HIT_TYPE_SPEED, l + 9000},
                                  {HIT_TYPE_ET, l + 9500 + 37 * static_cast<uint64_t>(i % 13)}};
            }
            runs.dragRuns().push_back(run);
        }
        // The current run: the last one, launched on the left, waiting for its finish.
        runs.dragRuns().back().hits[0].resize(3);
        runs.currentRunIndex() = kRuns - 1;
        runs.relayoutRuns();
        (void)runs.saveDragFile();
        fileText = formatDragFile(runs.dragRuns());
    }
    ~Event() {
        std::error_code ec;
        std::filesystem::remove_all(host.folder, ec);
    }
};

Event& event() {
    static Event e;
    return e;
}

void BM_AcceptFinishHit(benchmark::State& state) {
    Event& e = event();
    const uint64_t finish = e.runs.dragRuns().back().hits[0].back().time + 500;
    for (auto _ : state) {
        if (e.runs.addDragHit(2, 0, finish, 0) != 1) state.SkipWithError("hit refused");
        state.PauseTiming();
        auto& run = e.runs.dragRuns().back();
        run.hits[0].pop_back(); // back to the waiting run for the next round
        run.winnerReported = 0;
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(e.fileText.size());
}

void BM_RecalculateAllRuns(benchmark::State& state) {
    Event& e = event();
    for (auto _ : state) e.runs.recalculateAllRuns();
    state.counters["runs"] = kRuns;
}

void BM_PlainAtomicWriteSameSize(benchmark::State& state) {
    Event& e = event();
    const auto file = e.host.folder / "plain.txt";
    for (auto _ : state)
        if (!writeFileAtomic(file, e.fileText).ok()) state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(e.fileText.size()));
}

void BM_PlainStreamWriteSameSize(benchmark::State& state) {
    Event& e = event();
    const auto file = e.host.folder / "plain_stream.txt";
    for (auto _ : state) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(e.fileText.data(), static_cast<std::streamsize>(e.fileText.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(e.fileText.size()));
}

} // namespace

BENCHMARK(BM_AcceptFinishHit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecalculateAllRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAtomicWriteSameSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainStreamWriteSameSize)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
