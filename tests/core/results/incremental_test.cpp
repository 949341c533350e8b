// The kept results model after single changes: after every step of a long random event
// its documents and lists are those of a whole rebuild of the same runs, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/results/results_model.h"

namespace velmaro {
namespace {

constexpr int kClasses = 4;
constexpr int kRacers = 40;

std::shared_ptr<TRegistrySnapshot> registry() {
    auto s = std::make_shared<TRegistrySnapshot>();
    for (int c = 1; c <= kClasses; ++c) {
        s->classes.emplace_back(c, "Class " + std::to_string(c));
        s->classes.back().breakoutLimit = c == 2 ? 95 : 0;
    }
    for (int n = 1; n <= kRacers; ++n) {
        TRacerItem r(static_cast<std::uint32_t>(n));
        r.name = "Racer " + std::to_string(n);
        r.classIds = {1 + n % kClasses};
        if (n % 7 == 0) r.classIds.push_back(1 + (n + 1) % kClasses);
        s->racers.push_back(std::move(r));
    }
    return s;
}

class Event {
public:
    int roll(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    void setLane(TDragRaceItem& run, int lane) {
        const int racer = roll(0, 12) == 0 ? 0 : roll(1, kRacers + 1); // kRacers + 1: nobody registered
        run.racer[lane] = racer;
        run.classId[lane] = 1 + racer % kClasses;
        run.et[lane] = roll(0, 15) == 0 ? 0 : roll(8800, 11500);
        run.rt[lane] = roll(-80, 420);
        run.dirtyTime[lane] = run.et[lane] == 0 ? 0 : run.et[lane] + run.rt[lane];
        run.sixtyFeet[lane] = run.et[lane] / 4;
        run.speed[lane] = 110.0 + roll(0, 700) / 10.0;
        run.foul[lane] = run.rt[lane] < 0;
        run.breakout[lane] = roll(0, 5) == 0;
    }
    TDragRaceItem newRun(std::int32_t id) {
        TDragRaceItem run;
        run.runId = id;
        run.runMode = roll(0, 2);
        setLane(run, 0);
        setLane(run, 1);
        run.winner = roll(-1, 1);
        return run;
    }

private:
    std::mt19937 rng_{7};
};

void installBrackets(BracketPages& pages) {
    auto lock = pages.lockBrackets();
    for (int c : {1, 2, 2}) { // class 2 on two pages
        auto bracket = std::make_shared<TFinalBracket>(8, BRACKET_SINGLE_THIRD, c, 7, "Class");
        int slot = 0;
        for (int n = 1; n <= kRacers && slot < 7; ++n)
            if (1 + n % kClasses == c) bracket->setRacer(n, c, slot++);
        auto page = pages.addBracketPage(nullptr);
        page->classId = c;
        (void)setPageBracket(*page, bracket);
    }
}

// Ties the bracket pairs that have no run to new final runs, and returns how many.
int addFinalRuns(BracketPages& pages, std::vector<TDragRaceItem>& runs, Event& event) {
    int added = 0;
    auto lock = pages.lockBrackets();
    for (const auto& page : pages.bracketPages())
        for (const auto& round : page->bracket->upperRounds) {
            if (!round) continue;
            for (const auto& p : round->pairs) {
                if (p->run.runId != 0 || !p->racers[0] || !p->racers[1]) continue;
                TDragRaceItem run = event.newRun(static_cast<std::int32_t>(runs.size()) + 1);
                run.runMode = RUN_MODE_FINAL;
                run.racer = {p->racers[0]->number, p->racers[1]->number};
                run.et = {9000 + event.roll(0, 900), 9000 + event.roll(0, 900)};
                run.dirtyTime = {run.et[0] + run.rt[0], run.et[1] + run.rt[1]};
                run.winner = run.dirtyTime[0] <= run.dirtyTime[1] ? 0 : 1;
                p->run.runId = run.runId;
                runs.push_back(run);
                ++added;
            }
        }
    return added;
}

std::string snapshotOf(const TDragResultsView& view) {
    std::string out = view.allDragResults + '\n' + view.practiceResults + '\n' + view.qualResults + '\n' +
                      view.raceResults + '\n' + std::to_string(view.maxAttempts) + '\n';
    char buf[160];
    for (const auto* map : {&view.resultsByClass, &view.qualByClass})
        for (const auto& [c, list] : *map) {
            out += "class " + std::to_string(c) + '\n';
            for (const TDragResult& r : list) {
                std::snprintf(buf, sizeof buf, "%d %d fp=%d q=%d rt=%d A%d/%d B%d/%d n=%zu\n", r.num, r.clsId,
                              r.finalPoints, r.qualPos, r.bestRt, r.bestLegalStart.et, r.bestLegalStart.breakout,
                              r.bestAnyStart.et, r.bestAnyStart.breakout, r.attempts.size());
                out += buf;
                for (const TDragAttempt& a : r.attempts) {
                    std::snprintf(buf, sizeof buf, " (%d %d %d %d)", a.et, a.rt, a.breakout, a.win);
                    out += buf;
                }
                out += '\n';
            }
        }
    return out;
}

TEST(IncrementalResultsTest, EveryStepOfALongEventMatchesAWholeRebuild) {
    Event event;
    BracketPages pages;
    installBrackets(pages);
    std::vector<TDragRaceItem> runs;
    for (int i = 0; i < 120; ++i) runs.push_back(event.newRun(i + 1));
    TDragResultsOptions options;
    options.registry = registry();
    DragResultsModel model(pages);

    const auto pointers = [&runs] {
        std::vector<const TDragRaceItem*> list;
        for (const TDragRaceItem& run : runs) list.push_back(&run);
        return list;
    };
    std::shared_ptr<const TDragResultsView> held; // a reader still holding an older rebuild
    std::string heldText;
    const auto check = [&](const std::vector<std::size_t>& changed, int step) {
        const auto incremental = model.build(pointers(), options, &changed);
        if (held) {
            ASSERT_EQ(snapshotOf(*held), heldText) << "a rebuild held by a reader changed, step " << step;
        }
        if (step % 3 == 0) {
            held = incremental;
            heldText = snapshotOf(*held);
        }
        std::vector<TDragRaceItem> copy = runs;
        const auto whole = TDragResultsCntr::buildResults(copy, options, pages);
        ASSERT_EQ(snapshotOf(*incremental), snapshotOf(*whole)) << "step " << step;
    };
    check({}, -1);

    for (int step = 0; step < 400; ++step) {
        std::vector<std::size_t> changed;
        const int what = event.roll(0, 19);
        if (what < 12) { // a hit: one lane's figures
            const std::size_t i = std::size_t(event.roll(0, int(runs.size()) - 1));
            const int lane = event.roll(0, 1);
            runs[i].et[lane] = event.roll(8800, 11500);
            runs[i].dirtyTime[lane] = runs[i].et[lane] + runs[i].rt[lane];
            runs[i].winner = event.roll(-1, 1);
            changed.push_back(i);
        } else if (what < 14) { // another racer or session on a run
            const std::size_t i = std::size_t(event.roll(0, int(runs.size()) - 1));
            event.setLane(runs[i], event.roll(0, 1));
            if (event.roll(0, 1)) runs[i].runMode = event.roll(0, 2);
            changed.push_back(i);
        } else if (what < 15) { // a run id given again: the later run stands for it in brackets
            const std::size_t i = std::size_t(event.roll(0, int(runs.size()) - 1));
            runs[i].runId = event.roll(0, int(runs.size()));
            changed.push_back(i);
        } else if (what < 17) { // a new run at the end
            runs.push_back(event.newRun(static_cast<std::int32_t>(runs.size()) + 1));
        } else if (what < 18) { // a lane cleared
            const std::size_t i = std::size_t(event.roll(0, int(runs.size()) - 1));
            runs[i].et = {0, 0};
            runs[i].dirtyTime = {0, 0};
            changed.push_back(i);
        } else if (what < 19) {
            addFinalRuns(pages, runs, event);
        } else { // several runs at once, twice the same
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = std::size_t(event.roll(0, int(runs.size()) - 1));
                event.setLane(runs[i], 0);
                changed.push_back(i);
                changed.push_back(i);
            }
        }
        if (step == 200) options.rank.clearTime = false; // other options: made anew
        if (step == 250) options.registry = std::make_shared<TRegistrySnapshot>(*options.registry); // an equal copy
        check(changed, step);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(model.incrementalCount(), 390u);
    EXPECT_EQ(model.fullCount(), 2u); // the first rebuild and the change of options
}

} // namespace
} // namespace velmaro
