// One screen of the run grid painted offscreen at 2,000 runs (the texts and styles of
// every visible cell are worked out by the core during the paint), beside one drag
// results rebuild of the same runs. The screen at the end of the list at 8,000 runs shows
// whether finding the run of a row walks the list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "ui/drag/drag_grid_widget.h"

namespace velmaro {
namespace {

constexpr uint64_t kStart = 1'700'000'000'000ull;

// The runs the grid paints, on a host whose own counters are not used.
struct BenchRuns {
    test::FakeDragHost host;
    DragRuns runs{host};
};

DragRuns& benchRuns() {
    static BenchRuns bench;
    return bench.runs;
}

void makeRuns(int kRuns = 2000) {
    DragRuns& runs = benchRuns();
    runs.dragRuns().clear();
    for (int i = 0; i < kRuns; ++i) {
        TDragRaceItem run;
        run.runId = i + 1;
        run.runMode = i % 3;
        run.racer = {1 + i % 300, 1 + (i + 7) % 300};
        run.classId = {1 + i % 8, 1 + (i + 7) % 8};
        run.startTime = kStart + static_cast<uint64_t>(i) * 60000;
        for (int lane = 0; lane < 2; ++lane) {
            const uint64_t launch = run.startTime + 200 + static_cast<uint64_t>(lane * 37 + i % 90);
            run.hits[lane] = {TLineHit{HIT_TYPE_RT, launch}, TLineHit{HIT_TYPE_60FEET, launch + 1500},
                              TLineHit{HIT_TYPE_SPEED, launch + 9300}, TLineHit{HIT_TYPE_ET, launch + 9800 + i % 700}};
        }
        runs.dragRuns().push_back(std::move(run));
    }
    runs.relayoutRuns();
    runs.selectedRun() = kRuns - 1;
    runs.selectedLane() = 2;
}

QApplication& app() {
    static int argc = 1;
    static char name[] = "bench_drag_grid_paint";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication instance(argc, argv);
    return instance;
}

void BM_PaintOneScreen(benchmark::State& state) {
    app();
    makeRuns(static_cast<int>(state.range(1)));
    ui::DragGridWidget grid(benchRuns());
    grid.resize(1000, 700);
    const int widths[] = {400, 90, 90, 400};
    for (int c = 0; c < 4; ++c) grid.setColumnWidth(c, widths[c]);
    grid.setCurrentCell(state.range(0) == 0 ? 0 : grid.rowCount() - 1, 0);
    QImage image(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid.viewport()->render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.SetLabel((state.range(0) == 0 ? "top of the list, " : "end of the list, ") + std::to_string(state.range(1)) +
                   " runs");
}
BENCHMARK(BM_PaintOneScreen)->Args({0, 2000})->Args({1, 2000})->Args({1, 8000})->Unit(benchmark::kMicrosecond);

void BM_ResultsRebuild(benchmark::State& state) {
    makeRuns();
    auto registry = std::make_shared<TRegistrySnapshot>();
    for (int c = 1; c <= 8; ++c) registry->classes.emplace_back(c, "Class " + std::to_string(c));
    for (int n = 1; n <= 300; ++n) {
        TRacerItem r(static_cast<std::uint32_t>(n));
        r.classIds = {1 + n % 8};
        registry->racers.push_back(std::move(r));
    }
    TDragResultsOptions options;
    options.registry = registry;
    BracketPages brackets; // no class pages
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TDragRaceItem> copy = benchRuns().dragRuns(); // the worker's own copy
        state.ResumeTiming();
        auto view = TDragResultsCntr::buildResults(copy, options, brackets);
        benchmark::DoNotOptimize(view);
    }
}
BENCHMARK(BM_ResultsRebuild)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velmaro

BENCHMARK_MAIN();
