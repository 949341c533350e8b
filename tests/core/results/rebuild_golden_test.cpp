// A whole event rebuilt step by step, compared byte for byte with texts kept in
// tests/data/results_rebuild: the four documents, the class and qualification lists and
// the state of every bracket. Any change to the rebuild that is meant to leave its
// output alone (speed work above all) must keep these texts as they are.
//
// The event: 64 racers in 6 classes (some in two, one entered twice in one class, one
// name with characters JSON and XML must escape), runs of every session with void
// reaction times, a speed that is not a number, runs without a time, a repeated run id
// and a racer nobody registered; a bracket of a different type on every class page,
// one class with two pages. Each step adds the final runs of the pairs that are ready
// and rebuilds, until the brackets are played out.
//
// To write the texts anew after an intended change of the output, run the test with
// VELMARO_UPDATE_GOLDEN=1 and review the difference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>

#include "core/bracket/bracket_pages.h"
#include "core/platform/files.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"

namespace velmaro {
namespace {

constexpr int kClasses = 6;
constexpr int kRacers = 64;

std::shared_ptr<TRegistrySnapshot> goldenRegistry() {
    auto s = std::make_shared<TRegistrySnapshot>();
    for (int c = 1; c <= kClasses; ++c) {
        s->classes.emplace_back(c, "Класс " + std::to_string(c));
        s->classes.back().breakoutLimit = c % 3 == 0 ? 95 : 0;
    }
    for (int n = 1; n <= kRacers; ++n) {
        TRacerItem r(static_cast<std::uint32_t>(n));
        r.name = n == 5 ? "Иван \"Ракета\" <Петров> & Co\tмладший длинное имя" : "Гонщик " + std::to_string(n);
        r.city = n % 7 == 0 ? "Город\\Север" : "Город";
        r.carModel = "Model " + std::to_string(n % 4);
        r.classIds = {1 + n % kClasses};
        if (n % 9 == 0) r.classIds.push_back(1 + (n + 2) % kClasses);
        if (n == 13) r.classIds.push_back(r.classIds.front()); // entered twice in one class
        s->racers.push_back(std::move(r));
    }
    TRacerItem twin(3); // a second entry under a number already taken: the first one counts
    twin.name = "Двойник";
    twin.classIds = {2};
    s->racers.push_back(twin);
    return s;
}

// A small deterministic generator (the standard distributions differ between libraries).
class Dice {
public:
    int roll(int lo, int hi) { return lo + static_cast<int>(rng_() % static_cast<unsigned>(hi - lo + 1)); }

private:
    std::mt19937 rng_{20240611};
};

void setLane(TDragRaceItem& run, int lane, int racer, int classId, Dice& dice) {
    run.racer[lane] = racer;
    run.classId[lane] = classId;
    run.et[lane] = dice.roll(8800, 11500);
    run.rt[lane] = dice.roll(-80, 420);
    if (dice.roll(0, 40) == 0) run.rt[lane] = -1200; // void reaction time
    run.dirtyTime[lane] = run.et[lane] + run.rt[lane];
    run.sixtyFeet[lane] = run.et[lane] / 4 + dice.roll(0, 9);
    run.speed[lane] = 110.0 + dice.roll(0, 700) / 10.0;
    run.foul[lane] = run.rt[lane] < 0 ? 1 : 0;
}

std::vector<TDragRaceItem> sessionRuns(Dice& dice) {
    std::vector<TDragRaceItem> runs;
    for (int i = 0; i < 180; ++i) {
        TDragRaceItem run;
        run.runId = i + 1;
        run.runMode = i % 5 == 4 ? RUN_MODE_PRACTICE : i % 11 == 10 ? RUN_MODE_FINAL : RUN_MODE_QUALIFICATION;
        const int cls = 1 + i % kClasses;
        // Racers of the class: numbers n with 1 + n % kClasses == cls.
        auto racerOf = [&] {
            return cls - 1 + kClasses * dice.roll(0, kRacers / kClasses - 1) + (cls == 1 ? kClasses : 0);
        };
        setLane(run, 0, racerOf(), cls, dice);
        if (i % 13 != 12) setLane(run, 1, racerOf(), cls, dice); // some runs with one lane
        if (run.racer[0] == run.racer[1]) run.racer[1] = 0;
        run.winner = run.racer[1] == 0 ? 0 : run.dirtyTime[0] <= run.dirtyTime[1] ? 0 : 1;
        if (i == 40) run.speed[1] = std::numeric_limits<double>::quiet_NaN();
        if (i == 41) run.et[0] = 0;      // a lane without a time
        if (i == 77) run.racer[1] = 999; // nobody registered under this number
        if (i == 90) run.runId = 12;     // the same id again: this later run replaces run 12
        if (i == 91) run.runId = 0;
        run.hits[0].resize(2);
        runs.push_back(std::move(run));
    }
    return runs;
}

void installGoldenBrackets(BracketPages& pages) {
    auto lock = pages.lockBrackets();
    pages.bracketPages().clear();
    const std::int32_t types[] = {BRACKET_SINGLE_THIRD, BRACKET_DOUBLE,       BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD,
                                  BRACKET_FIA_THIRD,    BRACKET_DOUBLE_FIXED, BRACKET_SINGLE_ALL_BEST_OF_3,
                                  BRACKET_SINGLE};
    const std::int32_t sizes[] = {16, 8, 8, 16, 8, 4, 8};
    const std::int32_t classes[] = {1, 2, 3, 4, 5, 6, 1}; // class 1 on two pages
    for (int i = 0; i < 7; ++i) {
        const std::int32_t c = classes[i];
        const std::int32_t participants = sizes[i] - (i % 3); // some byes
        auto bracket =
            std::make_shared<TFinalBracket>(sizes[i], types[i], c, participants, "Класс " + std::to_string(c));
        int slot = 0;
        for (int n = i == 6 ? 30 : 1; n <= kRacers && slot < participants; ++n)
            if (1 + n % kClasses == c) bracket->setRacer(n, c, slot++);
        if (i == 3) // a comment shown in place of a result
            bracket->upperRound(0)->pairs[1]->comments[0] = "снят <тех.> & \"поломка\"";
        auto page = pages.addBracketPage(nullptr);
        page->classId = c;
        (void)setPageBracket(*page, bracket);
    }
}

// Gives every bracket pair that has two racers and no run a final run of its own.
void addFinalRuns(BracketPages& pages, std::vector<TDragRaceItem>& runs, Dice& dice) {
    auto lock = pages.lockBrackets();
    for (const auto& page : pages.bracketPages())
        for (const auto* rounds : {&page->bracket->upperRounds, &page->bracket->lowerRounds})
            for (const auto& round : *rounds) {
                if (!round) continue;
                for (const auto& p : round->pairs) {
                    if (p->run.runId != 0 || !p->racers[0] || !p->racers[1]) continue;
                    const int a = p->racers[0]->number, b = p->racers[1]->number;
                    if (a <= 0 || b <= 0) continue;
                    TDragRaceItem run;
                    run.runId = static_cast<std::int32_t>(runs.size()) + 1;
                    run.runMode = RUN_MODE_FINAL;
                    setLane(run, 0, a, p->racers[0]->classId, dice);
                    setLane(run, 1, b, p->racers[1]->classId, dice);
                    run.winner = run.dirtyTime[0] <= run.dirtyTime[1] ? 0 : 1;
                    p->run.runId = run.runId;
                    runs.push_back(std::move(run));
                }
            }
}

void appendf(std::string& out, const char* fmt, auto... args) {
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, fmt, args...);
    out.append(buf, static_cast<std::size_t>(std::max(0, std::min<int>(n, sizeof buf - 1))));
}

void dumpAttempt(std::string& out, const TDragAttempt& a) {
    appendf(out, "(%d %d %d %d %d %d %.9g %d)", a.et, a.rt, a._60ft, a.foul, a.runMode, a.breakout,
            static_cast<double>(a.spd), a.win);
}

void dumpLists(std::string& out, const char* name, const TDragResultsMap& map) {
    for (const auto& [c, list] : map) {
        appendf(out, "%s %d:\n", name, c);
        for (const TDragResult& r : list) {
            appendf(out, " %d cls=%d fp=%d rt=%d spd=%.9g q=%d A", r.num, r.clsId, r.finalPoints, r.bestRt,
                    static_cast<double>(r.bestSpeed), r.qualPos);
            dumpAttempt(out, r.bestLegalStart);
            out += " B";
            dumpAttempt(out, r.bestAnyStart);
            out += " [";
            for (const TDragAttempt& a : r.attempts) dumpAttempt(out, a);
            out += "]\n";
        }
    }
}

int racerIndex(const TFinalBracket& b, const TFinalRacer* r) {
    if (!r) return -99;
    if (r == b.placeholder.get()) return -1;
    return static_cast<int>(r - b.racers.data());
}

void dumpBrackets(BracketPages& pages, std::string& out) {
    auto lock = pages.lockBrackets();
    for (const auto& page : pages.bracketPages()) {
        const TFinalBracket& b = *page->bracket;
        appendf(out, "bracket class=%d type=%d size=%d extent=%dx%d rounds=%zu/%zu\n", b.classId, b.type, b.size,
                b.maxRight, b.maxBottom, b.upperRounds.size(), b.lowerRounds.size());
        for (const TFinalRacer& r : b.racers)
            appendf(out, " slot %d/%d time=%d place=%d seed=%d\n", r.number, r.classId, r.timeKey, r.place,
                    r.seedIndex);
        for (const auto* rounds : {&b.upperRounds, &b.lowerRounds})
            for (const auto& round : *rounds) {
                if (!round) {
                    out += " (no round)\n";
                    continue;
                }
                for (const auto& p : round->pairs)
                    appendf(out,
                            " pair run=%d winner=%d force=%d racers=%d,%d seeds=%d,%d rect=%d,%d,%d,%d "
                            "next=%d loser=%d/%d\n",
                            p->run.runId, p->winner, p->forceWinner, racerIndex(b, p->racers[0]),
                            racerIndex(b, p->racers[1]), p->seedPos[0], p->seedPos[1], p->rect.left, p->rect.top,
                            p->rect.right, p->rect.bottom, p->nextPair != nullptr, p->loserPair != nullptr,
                            p->loserSlot);
            }
        out += " json "; // holds the SVG
        out += b.json.toString();
        out += '\n';
    }
}

std::string snapshotOf(BracketPages& pages, const TDragResultsView& view) {
    std::string out;
    for (const std::string* doc : {&view.allDragResults, &view.practiceResults, &view.qualResults, &view.raceResults}) {
        out += *doc;
        out += '\n';
    }
    appendf(out, "maxAttempts %d\n", view.maxAttempts);
    dumpLists(out, "results", view.resultsByClass);
    dumpLists(out, "qual", view.qualByClass);
    dumpBrackets(pages, out);
    return out;
}

void compareWithGolden(const std::string& actual, const std::string& name) {
    const std::filesystem::path path = std::filesystem::path(VELMARO_TEST_DATA) / "results_rebuild" / name;
    if (std::getenv("VELMARO_UPDATE_GOLDEN")) {
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(writeFileAtomic(path, actual).ok()) << path;
        return;
    }
    std::string expected;
    ASSERT_TRUE(readFile(path, expected).ok()) << "missing " << path;
    if (expected == actual) return;
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const std::size_t from = at > 80 ? at - 80 : 0;
    ADD_FAILURE() << name << " differs at byte " << at << "\nexpected: " << expected.substr(from, 200)
                  << "\nactual:   " << actual.substr(from, 200);
}

TEST(RebuildGoldenTest, WholeEventStepByStepMatchesTheKeptTexts) {
    BracketPages pages;
    for (const TDragRankOptions rank : {TDragRankOptions{true, false, 0}, TDragRankOptions{false, false, 3}}) {
        Dice dice;
        std::vector<TDragRaceItem> runs = sessionRuns(dice);
        installGoldenBrackets(pages);
        TDragResultsOptions options;
        options.registry = goldenRegistry();
        options.rank = rank;
        const std::string mode = rank.clearTime ? "clean" : "dirty";
        for (int step = 0; step < 8; ++step) {
            SCOPED_TRACE(mode + " step " + std::to_string(step));
            std::vector<TDragRaceItem> copy = runs;
            const auto view = TDragResultsCntr::buildResults(copy, options, pages);
            const std::string text = snapshotOf(pages, *view);
            // A second rebuild of the same runs changes nothing.
            std::vector<TDragRaceItem> again = runs;
            EXPECT_EQ(snapshotOf(pages, *TDragResultsCntr::buildResults(again, options, pages)), text);
            if (step == 7 || (mode == "clean" && (step == 0 || step == 2)))
                compareWithGolden(text, mode + "_step" + std::to_string(step) + ".txt");
            addFinalRuns(pages, runs, dice);
        }
    }
}

} // namespace
} // namespace velmaro
