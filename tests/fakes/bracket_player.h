#pragma once
// Plays a bracket to its end for tests and benchmarks: every pair with two real racers,
// no run and no forced winner gets a run, until nothing more can be played.
// Header only; the program that includes it links the bracket library.
#include <cstdint>
#include <functional>

#include "core/bracket/final_bracket.h"

namespace velmaro::test {

struct BracketPlayer {
    TDragRunMap runs;
    std::int32_t nextId = 100;
    std::function<bool(int, int)> leftWins = [](int a, int b) { return a < b; };
    std::function<int(int)> timeOf = [](int n) { return 10000 + n * 10; }; // elapsed time of a racer
    std::function<int(int)> dirtyOf; // elapsed plus reaction; empty: the same as timeOf
    int hitsPerLane = 0;             // runs carry this many (empty) hits per lane, as real runs do

    void play(TFinalBracket& b, int maxSteps = 100) {
        for (int step = 0; step < maxSteps; ++step) {
            b.update(runs);
            if (!addRuns(b)) return;
        }
    }

private:
    bool addRuns(TFinalBracket& b) {
        bool added = false;
        for (const auto* rounds : {&b.upperRounds, &b.lowerRounds})
            for (const auto& round : *rounds) {
                if (!round) continue;
                for (const auto& p : round->pairs) {
                    if (p->run.runId != 0 || p->forceWinner != -1) continue;
                    if (!p->racers[0] || !p->racers[1]) continue;
                    const int a = p->racers[0]->number, c = p->racers[1]->number;
                    if (a <= 0 || c <= 0) continue;
                    TDragRaceItem run;
                    run.runId = nextId++;
                    run.runMode = 1;
                    run.racer = {a, c};
                    run.winner = leftWins(a, c) ? 0 : 1;
                    run.et = {timeOf(a), timeOf(c)};
                    const auto& dirty = dirtyOf ? dirtyOf : timeOf;
                    run.dirtyTime = {dirty(a), dirty(c)};
                    for (auto& hits : run.hits) hits.resize(hitsPerLane);
                    runs[run.runId] = run;
                    p->run.runId = run.runId;
                    added = true;
                }
            }
        return added;
    }
};

} // namespace velmaro::test
