// The drag results worker: hand-over, coalescing of changes, the pace of rebuilds, the
// hand-back to the main thread and shut-down.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <nlohmann/json.hpp>

#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "fakes/manual_poster.h"
#include "results_port_fake.h"

namespace velmaro {
namespace {

// Lets the worker's rebuilds start one at a time, on the test's word.
class ManualPace {
public:
    TDragResultsCntr::PaceWait wait() {
        return [this](std::chrono::steady_clock::time_point, const std::function<bool()>& stopRequested) {
            std::unique_lock lock(mutex_);
            ++waits_;
            cv_.notify_all();
            while (allowed_ == 0 && !stopRequested()) cv_.wait_for(lock, std::chrono::milliseconds(1));
            if (allowed_ > 0) --allowed_;
        };
    }
    // Blocks until a hand-over has woken the worker for the n-th time.
    void awaitWaits(int n) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return waits_ >= n; });
    }
    int waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }
    void releaseOne() {
        std::lock_guard lock(mutex_);
        ++allowed_;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int waits_ = 0;
    int allowed_ = 0;
};

TDragRaceItem qualRun(std::int32_t id, std::int32_t racer, std::int32_t et) {
    TDragRaceItem run;
    run.runId = id;
    run.racer[0] = racer;
    run.classId[0] = 1;
    run.et[0] = et;
    run.rt[0] = 40;
    run.dirtyTime[0] = et + 40;
    run.speed[0] = 150.0;
    return run;
}

class ResultsThreadTest : public ::testing::Test {
protected:
    void TearDown() override { stopWorker(); }

    // As the console wires it: each rebuild posts the results' hand-back to the main thread.
    void startWorker(TDragResultsCntr::PaceWait pace = {}) {
        worker = std::make_unique<TDragResultsCntr>(
            brackets, [this] { poster.post([this] { results.onDragResults(); }); }, std::move(pace));
        port.worker = worker.get();
    }
    void stopWorker() {
        if (!worker) return;
        worker->stop();
        port.worker = nullptr;
        worker.reset();
    }
    void awaitRebuilds(std::uint64_t n) {
        while (worker->rebuildCount() < n) std::this_thread::yield();
    }

    test::FakeDragHost host;
    DragRuns runs{host};

    ManualPace pace;
    test::ManualPoster poster; // the main thread's queue
    test::FakeDragResultsPort port;
    BracketPages brackets;
    TRegistry registry;
    DragResults results{port, brackets, registry};
    std::unique_ptr<TDragResultsCntr> worker; // last: goes before what it reads
};

TEST_F(ResultsThreadTest, DocumentsBeforeTheFirstRebuildAndUnknownNames) {
    startWorker(pace.wait());
    EXPECT_EQ(results.dragResultsCntr(), worker.get());
    EXPECT_EQ(results.dragResultsCntr()->getResults("allDragResults"), "");
    EXPECT_EQ(results.dragResultsCntr()->getResults("results"), "{}");
    EXPECT_EQ(results.dragResultsCntr()->getResults("AllDragResults"), "{}");
    EXPECT_TRUE(results.dragResultsCntr()->getPublishedResults().empty());
    EXPECT_EQ(results.dragResultsCntr()->latestView(), nullptr);
    EXPECT_EQ(pace.waits(), 0); // asleep until a hand-over
}

TEST_F(ResultsThreadTest, ABurstOfChangesGivesOneRebuildFromTheLastList) {
    startWorker(pace.wait());
    TDragResultsOptions options;
    for (std::int32_t racer : {11, 12, 13}) worker->setRuns({qualRun(1, racer, 9500)}, options);
    pace.awaitWaits(1);
    pace.releaseOne();
    awaitRebuilds(1);
    const auto all = nlohmann::json::parse(worker->getResults("allDragResults"))["allDragResults"];
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]["num"], 13);
    stopWorker(); // joins while the worker sleeps: no later hand-over, no second rebuild
    EXPECT_EQ(pace.waits(), 1);
    EXPECT_EQ(poster.pending(), 1u);
}

// With the real pace: hand-overs without a break for a while give rebuilds that start at
// least the period apart, and the last hand-over is always the one built last.
TEST_F(ResultsThreadTest, AStreamOfChangesIsBuiltAtMostOncePerPeriodAndTheLastIsKept) {
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> built;
    worker = std::make_unique<TDragResultsCntr>(brackets, [&] {
        std::lock_guard lock(mutex);
        built.push_back(std::chrono::steady_clock::now());
    });
    port.worker = worker.get();
    using namespace std::chrono_literals;
    const auto begin = std::chrono::steady_clock::now();
    std::int32_t racer = 100;
    while (std::chrono::steady_clock::now() - begin < 700ms) {
        worker->setRuns({qualRun(1, ++racer, 9500)}, TDragResultsOptions{});
        std::this_thread::sleep_for(1ms);
    }
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    // The last hand-over is built within the period (well within a generous bound).
    const auto until = std::chrono::steady_clock::now() + 10s;
    auto lastBuilt = [&] {
        const auto view = worker->latestView();
        if (!view) return -1;
        return nlohmann::json::parse(view->allDragResults)["allDragResults"][0]["num"].get<int>();
    };
    while (lastBuilt() != racer && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(lastBuilt(), racer);
    stopWorker();

    ASSERT_GE(built.size(), 2u);
    EXPECT_LE(built.size(), 2 + static_cast<std::size_t>(elapsed / TDragResultsCntr::kMinPeriod));
    // A rebuild of one run takes far less than these 10 ms of the period.
    for (std::size_t i = 1; i < built.size(); ++i)
        EXPECT_GE(built[i] - built[i - 1], TDragResultsCntr::kMinPeriod - 10ms) << "rebuild " << i;
}

// Runs handed over one at a time (a hit each), whole lists between them, several of
// either before one poll: every rebuild reads what a whole rebuild of the runs gives.
TEST_F(ResultsThreadTest, RunsHandedOverOneAtATimeReadAsTheWholeList) {
    startWorker(pace.wait());
    for (std::int32_t i = 0; i < 6; ++i) runs.dragRuns().push_back(qualRun(i + 1, 20 + i, 9000 + 100 * i));
    std::uint64_t rebuilds = 0;
    auto pollAndCompare = [&](const char* step) {
        SCOPED_TRACE(step);
        pace.releaseOne(); // the worker takes what was handed over since the last rebuild
        awaitRebuilds(++rebuilds);
        std::vector<TDragRaceItem> copy = runs.dragRuns();
        const auto whole = TDragResultsCntr::buildResults(copy, results.sampleResultsOptions(), brackets);
        EXPECT_EQ(results.dragResultsCntr()->getResults("allDragResults"), whole->allDragResults);
        EXPECT_EQ(results.dragResultsCntr()->getResults("qualResults"), whole->qualResults);
        EXPECT_EQ(results.dragResultsCntr()->getResults("raceResults"), whole->raceResults);
        EXPECT_EQ(results.dragResultsCntr()->getResults("practiceResults"), whole->practiceResults);
    };
    const auto hit = [this](std::size_t run, std::int32_t et) { // a hit that changes one run
        runs.dragRuns()[run].et[0] = et;
        results.notifyRunChanged(runs, run);
    };
    results.notifyResultsThread(runs);
    pollAndCompare("a whole list");
    hit(2, 8500);
    hit(4, 8400);
    pollAndCompare("two runs, one poll");
    hit(1, 8300);
    runs.dragRuns()[1].et[0] = 8250; // changed again and not named: the whole list carries it
    runs.dragRuns()[5].racer[0] = 21;
    results.notifyResultsThread(runs);
    hit(3, 8200);
    pollAndCompare("a run, a whole list, a run");
    hit(0, 8100);
    hit(0, 8000);
    pollAndCompare("one run twice");
    runs.dragRuns().push_back(qualRun(7, 30, 9900));
    results.notifyRunChanged(runs, 6); // a longer list goes over whole
    pollAndCompare("a new run");
}

TEST_F(ResultsThreadTest, StopJoinsAtOnceWithTheRealPaceAndUnhandledHandBacks) {
    startWorker(); // the real pace
    worker->setRuns({qualRun(1, 5, 9500)}, TDragResultsOptions{});
    awaitRebuilds(1);
    worker->setRuns({qualRun(1, 6, 9500)}, TDragResultsOptions{}); // waits out the period
    // The hand-back was never handled (as when the main window closes first): the stop
    // must still join, since the worker never waits for the main thread.
    stopWorker();
    EXPECT_EQ(results.dragResultsCntr(), nullptr);
    EXPECT_EQ(poster.pending(), 1u);
    poster.runPending(); // a hand-back that runs after the stop does nothing
    EXPECT_TRUE(results.qualResults().empty());
}

TEST_F(ResultsThreadTest, HandBackFillsClassListsAndSendsTheDocuments) {
    auto stock = std::make_unique<TClassItem>(1, "Stock");
    TClassItem* cls = stock.get();
    registry.classes.push_back(std::move(stock));
    for (std::uint32_t number : {7u, 8u}) {
        auto racer = std::make_unique<TRacerItem>(number);
        racer->classIds = {1};
        registry.racers.push_back(std::move(racer));
    }
    TDragRaceItem practice = qualRun(3, 8, 0);
    practice.runMode = RUN_MODE_PRACTICE; // no time: 8 gets no result at all
    runs.dragRuns() = {qualRun(1, 7, 9500), qualRun(2, 8, 9400), practice};
    runs.currentRunIndex() = 1;

    std::vector<std::pair<std::string, std::string>>& sent = port.sent;
    int shown = 0;
    port.onShow = [&](const TDragResultsView& view) {
        ++shown;
        EXPECT_EQ(cls->results.size(), view.resultsByClass.at(1).size()); // lists are filled first
    };
    port.rank = TDragRankOptions{true, false, 0};

    startWorker(pace.wait());
    results.notifyResultsThread(runs);
    ASSERT_EQ(sent.size(), 1u); // the current run goes out at once
    EXPECT_EQ(sent[0].second, "online");
    EXPECT_EQ(nlohmann::json::parse(sent[0].first)["runId"], 2);

    pace.releaseOne();
    while (poster.pending() == 0) std::this_thread::yield();
    ASSERT_EQ(poster.runPending(), 1u); // what the main thread runs for the hand-back

    EXPECT_EQ(shown, 1);
    ASSERT_EQ(cls->results.size(), 2u);
    EXPECT_EQ(cls->results[0].num, 8);
    ASSERT_EQ(cls->timedResults.size(), 2u);
    EXPECT_EQ(cls->timedResults[0].num, 8);
    EXPECT_EQ(results.qualResults().at(1).size(), 2u);
    EXPECT_EQ(results.qualResults().at(1)[0].qualPos, 1);

    ASSERT_EQ(sent.size(), 5u);
    const char* names[] = {"allDragResults", "practiceResults", "qualResults", "raceResults"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(sent[i + 1].second, "results");
        EXPECT_EQ(sent[i + 1].first, results.dragResultsCntr()->getResults(names[i]));
        EXPECT_TRUE(nlohmann::json::parse(sent[i + 1].first).contains(names[i]));
    }
}

// Two consoles' drag results side by side: each has its own worker, ranking options,
// published results and port, and neither sees what the other was handed.
TEST_F(ResultsThreadTest, TwoSetsSideBySideKeepToThemselves) {
    TRegistry otherRegistry;
    for (TRegistry* reg : {&registry, &otherRegistry}) {
        reg->classes.push_back(std::make_unique<TClassItem>(1, "Stock"));
        for (std::uint32_t number : {7u, 8u, 9u}) {
            auto racer = std::make_unique<TRacerItem>(number);
            racer->classIds = {1};
            reg->racers.push_back(std::move(racer));
        }
    }
    test::FakeDragResultsPort otherPort;
    BracketPages otherBrackets;
    DragResults other(otherPort, otherBrackets, otherRegistry);

    results.setCurrentRankOptions(TDragRankOptions{false, true, 3});
    EXPECT_EQ(other.currentRankOptions(), TDragRankOptions{});

    startWorker();
    TDragResultsCntr otherWorker(otherBrackets, [&] { poster.post([&] { other.onDragResults(); }); });
    otherPort.worker = &otherWorker;
    ASSERT_NE(results.dragResultsCntr(), other.dragResultsCntr());
    results.dragResultsCntr()->setRuns({qualRun(1, 7, 9500)}, results.sampleResultsOptions());
    other.dragResultsCntr()->setRuns({qualRun(1, 8, 9400), qualRun(2, 9, 9300)}, other.sampleResultsOptions());
    while (poster.pending() < 2) std::this_thread::yield();
    ASSERT_EQ(poster.runPending(), 2u);

    const auto numbers = [](const DragResults& r) {
        std::vector<std::int32_t> out;
        for (const TDragResult& result : r.qualResults().at(1)) out.push_back(result.num);
        return out;
    };
    EXPECT_EQ(numbers(results), std::vector<std::int32_t>{7});
    EXPECT_EQ(numbers(other), (std::vector<std::int32_t>{9, 8}));
    ASSERT_EQ(port.sent.size(), 4u);
    ASSERT_EQ(otherPort.sent.size(), 4u);
    const char* names[] = {"allDragResults", "practiceResults", "qualResults", "raceResults"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(port.sent[i].first, results.dragResultsCntr()->getResults(names[i]));
        EXPECT_EQ(otherPort.sent[i].first, other.dragResultsCntr()->getResults(names[i]));
        EXPECT_EQ(otherPort.sent[i].first.find("\"num\":7"), std::string::npos);
        EXPECT_EQ(port.sent[i].first.find("\"num\":8"), std::string::npos);
    }
    otherWorker.stop();
}

} // namespace
} // namespace velmaro
