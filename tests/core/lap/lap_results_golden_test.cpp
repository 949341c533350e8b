// The kept lap results against the one-pass build they replace: along a long random
// single-lane event (hits in and out of order, edits, penalties, option and registry
// changes) every build of the kept results is that of the one-pass build over the live
// events, byte for byte: the results table, the HTML table and the class result lists.
// Along the way the recalculation after an appended hit leaves the events as a whole
// recalculation does, and lap_single.txt holds the list.
#include <random>

#include "core/lap/lap_results_worker.h"
#include "lap_fixture.h"
#include "lap_results_reference.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

class LapGolden : public LapTest {
protected:
    // Never started: the test takes each build on its own thread.
    LapResultsWorker worker{[](LapResultsOutput) {}};
    std::mt19937 rng{20240611};

    int roll(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    void SetUp() override {
        LapTest::SetUp();
        host.worker = &worker;
        registry.addClass(1, "Stock");
        registry.addClass(2, "Pro <X> & 'Co'");
        registry.addClass(3, "Open|hidden");
        registry.addClass(2, "Twin id");
        for (uint32_t n = 1; n <= 24; ++n)
            registry.addRacer(n, "Racer " + std::to_string(n), {1 + static_cast<int32_t>(n % 3)});
        registry.racerList[4].name = "O'Neil & <b>|x";
        registry.addRacer(3, "Second three", {2});
    }
    void TearDown() override { host.worker = nullptr; }

    // Racer and class of a new event: registered or not, a class the registry lacks, none.
    std::pair<int, int> someone() {
        const int racer = roll(0, 8) == 0 ? 0 : roll(1, 30);
        const int r = roll(0, 9);
        const int cls = r == 0 ? -1 : r == 1 ? 9 : 1 + racer % 3;
        return {racer, cls};
    }

    void step(uint64_t& t) {
        const int what = roll(0, 99);
        const int n = count();
        if (what < 55) {
            auto [racer, cls] = someone();
            t += static_cast<uint64_t>(roll(0, 4) == 0 ? 0 : roll(1, 9000));
            const int signal = roll(0, 12) == 0 ? 6 : 0;
            lap->processHitLapSingle(1, signal, t, racer, cls);
        } else if (what < 62) {
            auto [racer, cls] = someone();
            const uint64_t back = static_cast<uint64_t>(roll(1, 60000));
            lap->processHitLapSingle(1, 0, t > back ? t - back : 1, racer, cls); // out of order
        } else if (what < 66) {
            lap->lapNext(roll(1, 30));
        } else if (what < 70) {
            (void)lap->lapStart(roll(1, 30));
        } else if (what < 76 && n > 0) {
            lap->setRaceItemPenalty(roll(0, n - 1), roll(0, 3) == 0 ? -1500 : roll(0, 9) * 1000 + roll(0, 999));
        } else if (what < 82 && n > 0) {
            static const uint32_t kinds[] = {K::LAP, K::PLAP, K::FAIL, K::FRST, K::STLIN};
            lap->setRaceItemKind(roll(0, n - 1), kinds[roll(0, 4)]);
        } else if (what < 85 && n > 0) {
            lap->togglePenaltyLap(roll(0, n - 1));
        } else if (what < 88 && n > 1) {
            const int first = roll(1, n);
            lap->deleteRaceItems(first, std::min(n, first + roll(0, 2)));
        } else if (what < 93) {
            host.clean = roll(0, 1) == 0;
            host.sum = roll(0, 3) == 0;
            lap->scheduleLapResults(); // an option of the results window
        } else if (what < 96) {
            registry.racerList[static_cast<size_t>(roll(0, 23))].city = "City " + std::to_string(roll(0, 99));
            lap->scheduleLapResults();
        } else {
            lap->cntOnLane() = roll(0, 6);
            auto [racer, cls] = someone();
            t += 10;
            lap->processHitLapSingle(1, 0, t, racer, cls);
        }
    }

    void expectSameBuild(int stepNo) {
        std::optional<LapResultsOutput> out = worker.buildNow();
        ASSERT_TRUE(out) << "step " << stepNo;
        const reference::LapBuild expected = reference::buildLapResults(*lap);
        ASSERT_EQ(out->table, expected.table) << "step " << stepNo;
        ASSERT_EQ(out->html, expected.html) << "step " << stepNo;
        ASSERT_EQ(out->classResults, expected.classResults) << "step " << stepNo;
        ASSERT_EQ(temp.read("lap_single.txt"), lapFileText(*lap->raceItems())) << "step " << stepNo;
    }

    // The times and flags a whole recalculation gives are those the list holds.
    void expectRecalculated(int stepNo) {
        std::vector<TRaceItem> before;
        for (const auto& e : *lap->raceItems()) before.push_back(*e);
        const std::vector<LapClassInfo> classes = registry.classList;
        lap->recalcRaceItems(*lap->raceItems());
        registry.classList = classes; // only the events are compared
        for (size_t i = 0; i < before.size(); ++i)
            ASSERT_EQ(before[i], *(*lap->raceItems())[i]) << "step " << stepNo << " event " << i;
    }
};

TEST_F(LapGolden, KeptResultsMatchTheOnePassBuildAlongARandomEvent) {
    setEvents({{1, K::FRST, 1000, 2}, {2, K::FRST, 1200, 0}, {3, K::FRST, 1400, 1}});
    uint64_t t = 2000;
    for (int i = 0; i < 1500; ++i) {
        step(t);
        expectSameBuild(i);
        if (i % 25 == 0) expectRecalculated(i);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(count(), 500);
}

} // namespace
} // namespace velmaro::test
