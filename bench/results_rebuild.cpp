// Drag results rebuilds of a large event: 600 racers in 8 classes, 3,000 runs of every
// session, and a 32-slot bracket per class with its final runs; and four times that
// (argument 4). The whole rebuild (loads, bulk changes) beside the rebuild after one
// hit, and the hand-over on the main thread: the former full copy beside the shared runs
// and the queued single run of today.
// Beside them, the results window's refresh with that rebuild (offscreen): the grid
// texts, then the window taking and painting them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>

#include <cstdlib>

#include <chrono>
#include <random>
#include <thread>

#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/platform/document_opener.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/results/results_grid.h"
#include "core/results/results_model.h"
#include "fakes/scripted_operator.h"
#include "ui/results/rally_results.h"

namespace velmaro {
namespace {

constexpr int kClasses = 8;
int kRacers = 600; // times the benchmark's argument
int kRuns = 3000;

void scaleTo(const benchmark::State& state) {
    kRacers = 600 * static_cast<int>(state.range(0));
    kRuns = 3000 * static_cast<int>(state.range(0));
}
constexpr int kBracketSize = 32;

std::shared_ptr<TRegistrySnapshot> makeRegistry() {
    auto s = std::make_shared<TRegistrySnapshot>();
    for (int c = 1; c <= kClasses; ++c) {
        s->classes.emplace_back(c, "Class " + std::to_string(c));
        s->classes.back().breakoutLimit = c % 2 ? 0 : 85;
    }
    for (int n = 1; n <= kRacers; ++n) {
        TRacerItem r(static_cast<std::uint32_t>(n));
        r.name = "Racer " + std::to_string(n);
        r.city = "City";
        r.carModel = "Model";
        r.classIds = {1 + n % kClasses};
        if (n % 10 == 0) r.classIds.push_back(1 + (n + 3) % kClasses); // some race in two classes
        s->racers.push_back(std::move(r));
    }
    return s;
}

void setLane(TDragRaceItem& run, int lane, int racer, std::mt19937& rng) {
    std::uniform_int_distribution<int> et(8500, 12000), rt(-60, 400);
    run.racer[lane] = racer;
    run.classId[lane] = 1 + racer % kClasses;
    run.et[lane] = et(rng);
    run.rt[lane] = rt(rng);
    run.dirtyTime[lane] = run.et[lane] + run.rt[lane];
    run.sixtyFeet[lane] = run.et[lane] / 4;
    run.speed[lane] = 120.0 + run.et[lane] % 60;
    run.foul[lane] = run.rt[lane] < 0;
    TLineHit hit;
    hit.type = HIT_TYPE_ET;
    hit.time = 1'700'000'000'000ull + run.et[lane];
    run.hits[lane] = {hit, hit, hit};
}

std::vector<TDragRaceItem> makeRuns() {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> racer(0, kRacers / kClasses - 1);
    std::vector<TDragRaceItem> runs;
    for (int i = 0; i < kRuns; ++i) {
        TDragRaceItem run;
        run.runId = i + 1;
        run.runMode = i < 1800 ? RUN_MODE_QUALIFICATION : i < 2400 ? RUN_MODE_PRACTICE : RUN_MODE_FINAL;
        const int cls = i % kClasses; // both racers of a run from one class
        setLane(run, 0, 1 + racer(rng) * kClasses + (cls + kClasses - 1) % kClasses, rng);
        setLane(run, 1, 1 + racer(rng) * kClasses + (cls + kClasses - 1) % kClasses, rng);
        run.winner = run.dirtyTime[0] <= run.dirtyTime[1] ? 0 : 1;
        runs.push_back(std::move(run));
    }
    return runs;
}

void installBrackets(BracketPages& pages, const std::vector<TDragRaceItem>& runs) {
    auto lock = pages.lockBrackets();
    for (int c = 1; c <= kClasses; ++c) {
        auto bracket = std::make_shared<TFinalBracket>(kBracketSize, BRACKET_SINGLE_THIRD, c, kBracketSize, "");
        int slot = 0;
        for (int n = 1; n <= kRacers && slot < kBracketSize; ++n)
            if (1 + n % kClasses == c) bracket->setRacer(n, c, slot++);
        // Tie the first-round pairs to final runs of the class.
        if (TFinalRound* round = bracket->upperRound(0)) {
            int k = 0;
            for (const TDragRaceItem& run : runs)
                if (run.runMode == RUN_MODE_FINAL && run.classId[0] == c && k < round->count)
                    round->pairs[k++]->run.runId = run.runId;
        }
        auto page = pages.addBracketPage(nullptr);
        page->classId = c;
        (void)setPageBracket(*page, bracket);
    }
}

void BM_FullRebuild(benchmark::State& state) {
    scaleTo(state);
    const std::vector<TDragRaceItem> runs = makeRuns();
    BracketPages pages;
    installBrackets(pages, runs);
    TDragResultsOptions options;
    options.registry = makeRegistry();
    options.rank = TDragRankOptions{true, false, 0};
    std::size_t documentBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TDragRaceItem> copy = runs; // the worker's own copy, made at hand-over
        state.ResumeTiming();
        auto view = TDragResultsCntr::buildResults(copy, options, pages);
        benchmark::DoNotOptimize(view);
        documentBytes = view->allDragResults.size() + view->practiceResults.size() + view->qualResults.size() +
                        view->raceResults.size();
    }
    state.counters["doc_kB"] = static_cast<double>(documentBytes) / 1024.0;
}
BENCHMARK(BM_FullRebuild)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The same without brackets: the share of the bracket step.
void BM_RebuildNoBrackets(benchmark::State& state) {
    scaleTo(state);
    const std::vector<TDragRaceItem> runs = makeRuns();
    BracketPages pages; // none
    TDragResultsOptions options;
    options.registry = makeRegistry();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TDragRaceItem> copy = runs;
        state.ResumeTiming();
        auto view = TDragResultsCntr::buildResults(copy, options, pages);
        benchmark::DoNotOptimize(view);
    }
}
BENCHMARK(BM_RebuildNoBrackets)->Arg(1)->Unit(benchmark::kMillisecond);

// The rebuild after one hit: the kept model rebuilds the hit run's racers and classes,
// the overall lists, and re-plays the brackets. Hits alternate over qualification runs.
void BM_IncrementalAfterHit(benchmark::State& state) {
    scaleTo(state);
    std::vector<TDragRaceItem> runs = makeRuns();
    BracketPages pages;
    installBrackets(pages, runs);
    TDragResultsOptions options;
    options.registry = makeRegistry();
    std::vector<const TDragRaceItem*> list;
    for (const TDragRaceItem& run : runs) list.push_back(&run);
    DragResultsModel model(pages);
    (void)model.build(list, options, nullptr);
    std::size_t hit = 0;
    for (auto _ : state) {
        const std::size_t i = (hit++ * 7919) % std::size_t(kRuns * 3 / 5); // a qualification run
        runs[i].et[0] += hit % 2 ? 7 : -7;
        runs[i].dirtyTime[0] = runs[i].et[0] + runs[i].rt[0];
        const std::vector<std::size_t> changed{i};
        auto view = model.build(list, options, &changed);
        benchmark::DoNotOptimize(view);
    }
    state.counters["full"] = static_cast<double>(model.fullCount());
}
BENCHMARK(BM_IncrementalAfterHit)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The former hand-over on the main thread: a copy of the heat list plus the registry snapshot.
void BM_HandOverCopy(benchmark::State& state) {
    scaleTo(state);
    const std::vector<TDragRaceItem> runs = makeRuns();
    const auto registry = makeRegistry();
    for (auto _ : state) {
        std::vector<TDragRaceItem> copy = runs;
        auto snap = std::make_shared<TRegistrySnapshot>(*registry);
        benchmark::DoNotOptimize(copy);
        benchmark::DoNotOptimize(snap);
    }
}
BENCHMARK(BM_HandOverCopy)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The hand-over now, after one hit on an event handed over before: `handOver` makes the
// next list from the runs, the hit run's index and the list handed over last.
template <class HandOver>
void handOverAfterHit(benchmark::State& state, HandOver handOver) {
    scaleTo(state);
    std::vector<TDragRaceItem> runs = makeRuns();
    const auto registry = makeRegistry();
    TSharedRuns handed;
    for (const TDragRaceItem& run : runs) handed.push_back(std::make_shared<const TDragRaceItem>(run));
    std::size_t hit = 0;
    for (auto _ : state) {
        const std::size_t i = (hit++ * 7919) % runs.size();
        runs[i].et[1] += 1;
        handed = handOver(runs, i, handed);
        auto snap = std::make_shared<TRegistrySnapshot>(*registry);
        benchmark::DoNotOptimize(handed);
        benchmark::DoNotOptimize(snap);
    }
}

// setRuns: the runs are compared with the ones handed over last; only the hit run is copied.
void BM_HandOverShared(benchmark::State& state) {
    handOverAfterHit(state, [](const std::vector<TDragRaceItem>& runs, std::size_t, const TSharedRuns& handed) {
        TSharedRuns next;
        next.reserve(runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i)
            next.push_back(*handed[i] == runs[i] ? handed[i] : std::make_shared<const TDragRaceItem>(runs[i]));
        return next;
    });
}
BENCHMARK(BM_HandOverShared)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// setRunChanged: the caller names the hit run; one copy, no comparison.
void BM_HandOverOneRun(benchmark::State& state) {
    handOverAfterHit(state, [](const std::vector<TDragRaceItem>& runs, std::size_t i, const TSharedRuns& handed) {
        TSharedRuns next = handed;
        next[i] = std::make_shared<const TDragRaceItem>(runs[i]);
        return next;
    });
}
BENCHMARK(BM_HandOverOneRun)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// What the main thread does now for one hit (notifyRunChanged through the real
// results thread, which is kept waiting so only the hand-over is timed): one run
// copied and queued, and the registry snapshot, given again while nothing changed.
class BenchResultsPort : public DragResultsPort {
public:
    TDragRankOptions sampleRankOptions() override { return TDragRankOptions{true, false, 0}; }
    bool proStartSignal() override { return false; }
    std::string eventName() override { return {}; }
    void showResults(const TDragResultsView&) override {}
    void sendData(const std::string&, const char*) override {}
    TDragResultsCntr* resultsWorker() override { return worker; }
    TDragResultsCntr* worker = nullptr;
};

void BM_HandOverQueued(benchmark::State& state) {
    scaleTo(state);
    BenchResultsPort port;
    BracketPages brackets;
    TRegistry registry;
    DragResults results(port, brackets, registry);
    const auto source = makeRegistry();
    for (const TClassItem& c : source->classes) registry.classes.push_back(std::make_unique<TClassItem>(c));
    for (const TRacerItem& r : source->racers) registry.racers.push_back(std::make_unique<TRacerItem>(r));
    test::FakeDragHost host;
    DragRuns runs{host};
    runs.dragRuns() = makeRuns();
    // A worker that never starts its rebuild: the hand-overs pile up untaken, as in a burst.
    TDragResultsCntr worker(brackets, nullptr,
                            [](std::chrono::steady_clock::time_point, const std::function<bool()>& stopRequested) {
                                while (!stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                            });
    port.worker = &worker;
    results.notifyResultsThread(runs);
    std::size_t hit = 0;
    for (auto _ : state) {
        const std::size_t i = (hit++ * 7919) % runs.dragRuns().size();
        runs.dragRuns()[i].et[1] += 1;
        results.notifyRunChanged(runs, i);
    }
    worker.stop();
    port.worker = nullptr;
    registry.racers.clear();
    registry.classes.clear();
}
BENCHMARK(BM_HandOverQueued)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// ---- the results window at the same event

class IdleResultsHost : public ResultsWindowHost {
public:
    int raceMode() const override { return 0; }
    std::filesystem::path eventFolder() const override { return {}; }
    std::string eventName() const override { return {}; }
    void rebuildLapResults() override {}
    void rebuildDragResults() override {}
    void showLapEvent(int) override {}
    void setRankOptions(const TDragRankOptions&) override {}
};

class NoOpener : public DocumentOpener {
public:
    void open(const std::filesystem::path&, std::function<void()>) override {}
};

std::shared_ptr<TDragResultsView> largeView() {
    std::vector<TDragRaceItem> runs = makeRuns();
    TDragResultsOptions options;
    options.registry = makeRegistry();
    BracketPages pages; // none
    return TDragResultsCntr::buildResults(runs, options, pages);
}

// The grid texts of one rebuild (core only).
void BM_ResultsGridTable(benchmark::State& state) {
    const auto view = largeView();
    const auto registry = makeRegistry();
    std::size_t rows = 0;
    for (auto _ : state) {
        ResultsTable t = dragResultsTable(*view, *registry);
        rows = static_cast<std::size_t>(t.rowCount());
        benchmark::DoNotOptimize(t);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_ResultsGridTable)->Unit(benchmark::kMillisecond);

// showDragResults on a shown window (names from the live registry), then one paint.
void BM_ResultsWindowRefresh(benchmark::State& state) {
    if (!qApp) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_results_rebuild";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    const auto view = largeView();
    const auto snapshot = makeRegistry();
    TRegistry registry;
    for (const TClassItem& c : snapshot->classes) registry.classes.push_back(std::make_unique<TClassItem>(c));
    for (const TRacerItem& r : snapshot->racers) registry.racers.push_back(std::make_unique<TRacerItem>(r));
    IdleResultsHost host;
    NoOpener opener;
    test::ScriptedOperator quiet;
    ui::TRallyResults window(host, opener, quiet);
    window.show();
    for (auto _ : state) {
        window.showDragResults(*view, registry);
        window.ResultsGrid->viewport()->repaint();
    }
}
BENCHMARK(BM_ResultsWindowRefresh)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velmaro

BENCHMARK_MAIN();
