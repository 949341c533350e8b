// Recalculating and ranking the lap events of a large single-lane event:
// 200 racers in 4 classes, 10,000 lap events.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <filesystem>

#include "core/lap/lap_events.h"
#include "core/platform/program_folder.h"

namespace {

using namespace velmaro;

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
        for (int k = from; k > to; --k) std::swap(classList[static_cast<size_t>(k)], classList[static_cast<size_t>(k - 1)]);
    }
    void setRacerClasses(uint32_t, const std::vector<int32_t>&) override {}
    void saveRacers() override {}
    void clearClassResults() override {}
    void appendClassResult(int32_t, uint32_t) override {}
};

class BenchHost : public LapHost {
public:
    BenchRegistry reg;
    int raceMode() const override { return 1; }
    LapRegistry* registry() override { return &reg; }
    bool resultsWindowExists() const override { return true; }
};

void fillEvent(BenchHost& host, int racers, int events) {
    for (int c = 0; c < 4; ++c) host.reg.classList.push_back({c, "Class " + std::to_string(c), 0, 0});
    for (int r = 1; r <= racers; ++r)
        host.reg.racerList.push_back({static_cast<uint32_t>(r), "Racer " + std::to_string(r), "Car", "City", "Team",
                                      {r % 4}});
    gRaceItems = std::make_unique<TRaceItemList>();
    uint64_t t = 1700000000000ull;
    for (int r = 1; r <= racers; ++r) {
        auto e = std::make_unique<TRaceItem>();
        e->racer = static_cast<uint32_t>(r);
        e->kind = TRaceItem::FRST;
        e->time = t += 700;
        e->classId = r % 4;
        gRaceItems->push_back(std::move(e));
    }
    for (int i = racers; i < events; ++i) {
        auto e = std::make_unique<TRaceItem>();
        int r = i % racers + 1;
        e->racer = static_cast<uint32_t>(r);
        e->kind = (i % 97 == 0) ? TRaceItem::PLAP : TRaceItem::LAP;
        e->time = t += 150 + static_cast<uint64_t>((i * 7919) % 300);
        e->classId = r % 4;
        e->penalty = (i % 53 == 0) ? 2000 : 0;
        gRaceItems->push_back(std::move(e));
    }
    gCntOnLane = 10;
}

void BM_RecalcRaceItems(benchmark::State& state) {
    BenchHost host;
    setLapHost(&host);
    fillEvent(host, 200, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        recalcRaceItems(*gRaceItems);
        benchmark::DoNotOptimize(gRaceItems->back()->lap);
    }
    setLapHost(nullptr);
}
BENCHMARK(BM_RecalcRaceItems)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_BuildLapResults(benchmark::State& state) {
    BenchHost host;
    setLapHost(&host);
    // The HTML table goes to www/ under a scratch program folder.
    const auto folder = std::filesystem::temp_directory_path() / "velmaro_bench_lap";
    std::filesystem::create_directories(folder);
    setProgramFolder(folder);
    fillEvent(host, 200, static_cast<int>(state.range(0)));
    recalcRaceItems(*gRaceItems);
    for (auto _ : state) {
        buildLapResults();
        benchmark::DoNotOptimize(gLapResultsTable.cells.size());
    }
    setLapHost(nullptr);
}
BENCHMARK(BM_BuildLapResults)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
