// Lap timing of a large single-lane event: 200 racers in 4 classes.
//
// - BM_RecalcRaceItems: the whole recalculation of the lap events.
// The rebuilds take a second argument: 1 with the HTML table file, 0 the build alone.
// - BM_LapRebuild_OnePass (baseline): the results built in one pass over the live
//   events, as the console did on the main thread, plus the HTML table file.
// - BM_LapRebuild_Whole: the kept results built from a whole list (the first build, or
//   after an edit), plus the HTML table file.
// - BM_LapRebuild_AfterHit: the kept results built after one appended lap (the usual
//   build during a race), plus the HTML table file.
// - BM_LapHitMainThread_Before (baseline): the main thread's part of one lap hit as it
//   was: whole recalculation and whole lap_single.txt.
// - BM_LapHitMainThread: the main thread's part of one lap hit now (processHitLapSingle
//   with the lap results worker attached; the build itself runs on the worker).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_lap_host.h"
#include "core/lap/lap_results_reference.h"
#include "core/lap/lap_results_worker.h"
#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/scripted_operator.h"

namespace {

using namespace velmaro;

constexpr int kRacers = 200;

class BenchRegistry : public LapRegistry {
public:
    std::vector<LapRacerInfo> racerList;
    std::vector<LapClassInfo> classList;
    std::vector<LapRacerInfo> racers() const override { return racerList; }
    std::optional<LapRacerInfo> findRacer(uint32_t number) const override {
        for (const auto& r : racerList)
            if (r.number == number) return r;
        return std::nullopt;
    }
    std::vector<LapClassInfo> classes() const override { return classList; }
    void moveClass(int from, int to) override {
        for (int k = from; k > to; --k)
            std::swap(classList[static_cast<size_t>(k)], classList[static_cast<size_t>(k - 1)]);
    }
    void setRacerClasses(uint32_t, const std::vector<int32_t>&) override {}
    void saveRacers() override {}
    void clearClassResults() override {}
    void appendClassResult(int32_t, uint32_t) override {}
};

// A scratch program and event folder with a lap timing of its own.
struct Scene {
    BenchRegistry reg;
    bench::BenchLapHost host{reg};
    velmaro::test::FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    test::ScriptedOperator quiet; // answers nothing, keeps the log lines
    LapTiming lap{host, intake, quiet};
    uint64_t t = 1700000000000ull;
    int next = 0;

    explicit Scene(int events) {
        host.folder = std::filesystem::temp_directory_path() / "velmaro_bench_lap";
        std::filesystem::create_directories(host.folder);
        setProgramFolder(host.folder);
        for (int c = 0; c < 4; ++c) reg.classList.push_back({c, "Class " + std::to_string(c), 0, 0});
        for (int r = 1; r <= kRacers; ++r)
            reg.racerList.push_back(
                {static_cast<uint32_t>(r), "Racer " + std::to_string(r), "Car", "City", "Team", {r % 4}});
        std::unique_ptr<TRaceItemList>& items = lap.raceItems();
        items = std::make_unique<TRaceItemList>();
        for (int r = 1; r <= kRacers; ++r) {
            auto e = std::make_unique<TRaceItem>();
            e->racer = static_cast<uint32_t>(r);
            e->kind = TRaceItem::FRST;
            e->time = t += 700;
            e->classId = r % 4;
            items->push_back(std::move(e));
        }
        for (next = kRacers; next < events; ++next) items->push_back(lapEvent(next));
        lap.cntOnLane() = 10;
        lap.recalcRaceItems(*items);
        (void)lap.saveLapSingle();
    }
    std::unique_ptr<TRaceItem> lapEvent(int i) {
        auto e = std::make_unique<TRaceItem>();
        const int r = i % kRacers + 1;
        e->racer = static_cast<uint32_t>(r);
        e->kind = (i % 97 == 0) ? TRaceItem::PLAP : TRaceItem::LAP;
        e->time = t += 150 + static_cast<uint64_t>((i * 7919) % 300);
        e->classId = r % 4;
        e->penalty = (i % 53 == 0) ? 2000 : 0;
        return e;
    }
    // Hands the worker (not started: built with buildNow) the whole list once.
    void attach(LapResultsWorker& worker) {
        host.worker = &worker;
        lap.scheduleLapResults();
        (void)worker.buildNow();
    }
    // One lap hit of the next racer through the console's intake.
    void hit() {
        const int r = next % kRacers + 1;
        ++next;
        t += 150 + static_cast<uint64_t>((next * 7919) % 300);
        lap.processHitLapSingle(kNodeFinish, 0, t, r, r % 4);
    }
};

void BM_RecalcRaceItems(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        scene.lap.recalcRaceItems(*scene.lap.raceItems());
        benchmark::DoNotOptimize(scene.lap.raceItems()->back()->lap);
    }
}
BENCHMARK(BM_RecalcRaceItems)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void writeTable(const std::string& html) {
    std::filesystem::create_directories(programFolder() / "www");
    (void)writeFileAtomic(programFolder() / "www" / "table.html", html);
}

// Arg 1: with the HTML table file (1) or the build alone (0).
void BM_LapRebuild_OnePass(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        reference::LapBuild build = reference::buildLapResults(scene.lap);
        if (state.range(1)) writeTable(build.html);
        benchmark::DoNotOptimize(build.table.texts.size());
    }
}
BENCHMARK(BM_LapRebuild_OnePass)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_LapRebuild_Whole(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        LapResultsModel model;
        model.apply(scene.lap.wholeLapResultsChange());
        std::optional<LapResultsOutput> out = model.build();
        if (state.range(1)) writeTable(out->html);
        benchmark::DoNotOptimize(out->table.texts.size());
    }
}
BENCHMARK(BM_LapRebuild_Whole)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_LapRebuild_AfterHit(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    LapResultsWorker worker([](LapResultsOutput) {});
    scene.attach(worker);
    for (auto _ : state) {
        state.PauseTiming();
        scene.hit(); // hands the worker the appended lap
        state.ResumeTiming();
        std::optional<LapResultsOutput> out = worker.buildNow();
        if (state.range(1)) writeTable(out->html);
        benchmark::DoNotOptimize(out->table.texts.size());
    }
    scene.host.worker = nullptr;
}
BENCHMARK(BM_LapRebuild_AfterHit)->ArgsProduct({{1000, 10000}, {0, 1}})->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_LapHitMainThread_Before(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // What the intake did for a lap hit with its racer: insert, queue, whole
        // recalculation, whole file.
        const int r = scene.next % kRacers + 1;
        auto e = scene.lapEvent(scene.next++);
        e->racer = static_cast<uint32_t>(r);
        e->kind = TRaceItem::LAP;
        e->penalty = 0;
        (void)scene.lap.insertRaceItem(std::move(e));
        scene.lap.rebuildCourseQueue();
        scene.lap.recalcRaceItems(*scene.lap.raceItems());
        (void)scene.lap.saveLapSingle();
    }
}
BENCHMARK(BM_LapHitMainThread_Before)
    ->Arg(2000)
    ->Arg(10000)
    ->Arg(40000)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

void BM_LapHitMainThread(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    LapResultsWorker worker([](LapResultsOutput) {});
    scene.attach(worker);
    for (auto _ : state) {
        scene.hit();
        state.PauseTiming();
        (void)worker.buildNow(); // the worker's part, outside the main thread's time
        state.ResumeTiming();
    }
    scene.host.worker = nullptr;
}
BENCHMARK(BM_LapHitMainThread)->Arg(2000)->Arg(10000)->Arg(40000)->Iterations(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
