// Progression and standings of a full 64-slot double-elimination bracket, as the drag
// results thread runs them after every change of the runs.
#include <benchmark/benchmark.h>

#include "core/bracket/final_bracket.h"

namespace {

using namespace velmaro;

// Plays a bracket to its end (the smaller number wins) and returns its runs.
TDragRunMap playToEnd(TFinalBracket& b) {
    TDragRunMap runs;
    int id = 1;
    for (int step = 0; step < 200; ++step) {
        b.update(runs);
        bool added = false;
        for (const auto* rounds : {&b.upperRounds, &b.lowerRounds})
            for (const auto& round : *rounds) {
                if (!round) continue;
                for (const auto& p : round->pairs) {
                    if (p->run.runId || !p->racers[0] || !p->racers[1]) continue;
                    const int a = p->racers[0]->number, c = p->racers[1]->number;
                    if (a <= 0 || c <= 0) continue;
                    TDragRaceItem run;
                    run.runId = id++;
                    run.racer = {a, c};
                    run.winner = a < c ? 0 : 1;
                    run.et = {9000 + a, 9000 + c};
                    run.dirtyTime = {9300 + a, 9300 + c};
                    // Each lane with a few hits, as real runs carry them.
                    for (auto& hits : run.hits) hits.resize(4);
                    runs[run.runId] = run;
                    p->run.runId = run.runId;
                    added = true;
                }
            }
        if (!added) break;
    }
    return runs;
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
