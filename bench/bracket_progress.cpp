// Progression and standings of a full 64-slot double-elimination bracket, as the drag
// results thread runs them after every change of the runs.
#include <benchmark/benchmark.h>

#include "core/bracket/final_bracket.h"
#include "fakes/bracket_player.h"

namespace {

using namespace velmaro;

// Plays a bracket to its end (the smaller number wins) and returns its runs.
TDragRunMap playToEnd(TFinalBracket& b) {
    test::BracketPlayer player;
    player.nextId = 1;
    player.timeOf = [](int n) { return 9000 + n; };
    player.dirtyOf = [](int n) { return 9300 + n; };
    player.hitsPerLane = 4;
    player.play(b, 200);
    return player.runs;
}

std::unique_ptr<TFinalBracket> fullBracket(int size, int type, TDragRunMap& runs) {
    auto b = std::make_unique<TFinalBracket>(size, type, 1, size, "Класс");
    for (int i = 0; i < size; ++i) b->setRacer(i + 1, 1, i);
    runs = playToEnd(*b);
    return b;
}

const TRacerNames kNames = [](std::int32_t n) { return "Гонщик " + std::to_string(n); };

// The whole update: run copies, progression, standings, layout, SVG and JSON.
void BM_UpdateFullDouble(benchmark::State& state) {
    TDragRunMap runs;
    auto b = fullBracket(static_cast<int>(state.range(0)), BRACKET_DOUBLE, runs);
    for (auto _ : state) {
        b->update(runs, kNames);
        benchmark::DoNotOptimize(b->svg.data());
    }
    state.counters["runs"] = static_cast<double>(runs.size());
}
BENCHMARK(BM_UpdateFullDouble)->Arg(8)->Arg(16)->Arg(64);

// The standings alone.
void BM_StandingsFullDouble64(benchmark::State& state) {
    TDragRunMap runs;
    auto b = fullBracket(64, BRACKET_DOUBLE, runs);
    for (auto _ : state) {
        b->computePlacesDouble();
        benchmark::DoNotOptimize(b->racers.data());
    }
}
BENCHMARK(BM_StandingsFullDouble64);

// Baseline: a single-elimination bracket of the same size.
void BM_UpdateFullSingle64(benchmark::State& state) {
    TDragRunMap runs;
    auto b = fullBracket(64, BRACKET_SINGLE, runs);
    for (auto _ : state) {
        b->update(runs, kNames);
        benchmark::DoNotOptimize(b->svg.data());
    }
}
BENCHMARK(BM_UpdateFullSingle64);

} // namespace

BENCHMARK_MAIN();
