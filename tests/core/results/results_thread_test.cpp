// The drag results worker: hand-over, coalescing of changes, the hand-back to the
// main thread and shut-down.
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
#include "results_port_fake.h"

namespace velmaro {
namespace {

// Lets the worker's polls run one at a time, on the test's word.
class ManualPoll {
public:
    TDragResultsCntr::PollWait wait() {
        return [this](const std::function<bool()>& stopRequested) {
            std::unique_lock lock(m_mutex);
            ++m_waits;
            m_cv.notify_all();
            while (m_allowed == 0 && !stopRequested()) m_cv.wait_for(lock, std::chrono::milliseconds(1));
            if (m_allowed > 0) --m_allowed;
        };
    }
    // Blocks until the worker has come to its n-th wait (so every poll before it is done).
    void awaitWaits(int n) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_waits >= n; });
    }
    void releaseOnePoll() {
        std::lock_guard lock(m_mutex);
        ++m_allowed;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_waits = 0;
    int m_allowed = 0;
};

// Queues the hand-back like a window message queue; the test pumps it.
class QueueSink : public DragResultsSink {
public:
    void resultsReady() override {
        std::lock_guard lock(m_mutex);
        ++m_pending;
    }
    int takePending() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_pending, 0);
    }

private:
    std::mutex m_mutex;
    int m_pending = 0;
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
    void SetUp() override {
        {
            auto lock = lockBrackets();
            bracketPages().clear();
        }
        sink = std::make_shared<QueueSink>();
        setDragResultsPort(&port);
    }
    void TearDown() override {
        stopResultsThread();
        setDragResultsPort(nullptr);
        theRegistry().racers.clear();
        theRegistry().classes.clear();
        gQualResults.clear();
    }

    test::FakeDragHost host;
    DragRuns runs{host};

    ManualPoll poll;
    std::shared_ptr<QueueSink> sink;
    test::FakeDragResultsPort port;
};

TEST_F(ResultsThreadTest, DocumentsBeforeTheFirstRebuildAndUnknownNames) {
    startResultsThread(sink, poll.wait());
    poll.awaitWaits(1);
    EXPECT_EQ(gDragResultsCntr->getResults("allDragResults"), "");
    EXPECT_EQ(gDragResultsCntr->getResults("results"), "{}");
    EXPECT_EQ(gDragResultsCntr->getResults("AllDragResults"), "{}");
    EXPECT_TRUE(gDragResultsCntr->getPublishedResults().empty());
    EXPECT_EQ(gDragResultsCntr->latestView(), nullptr);
}

TEST_F(ResultsThreadTest, ABurstOfChangesGivesOneRebuildFromTheLastList) {
    startResultsThread(sink, poll.wait());
    TDragResultsCntr* worker = gDragResultsCntr.get();
    startResultsThread(sink, poll.wait()); // a second start keeps the running worker
    EXPECT_EQ(gDragResultsCntr.get(), worker);

    poll.awaitWaits(1);
    EXPECT_EQ(worker->rebuildCount(), 0u); // nothing is built before the first hand-over

    TDragResultsOptions options;
    for (std::int32_t racer : {11, 12, 13}) worker->setRuns({qualRun(1, racer, 9500)}, options);
    poll.releaseOnePoll();
    poll.awaitWaits(2);
    EXPECT_EQ(worker->rebuildCount(), 1u);
    EXPECT_EQ(sink->takePending(), 1);
    const auto all = nlohmann::json::parse(worker->getResults("allDragResults"))["allDragResults"];
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]["num"], 13);

    poll.releaseOnePoll(); // a poll without a change builds nothing
    poll.awaitWaits(3);
    EXPECT_EQ(worker->rebuildCount(), 1u);
    EXPECT_EQ(sink->takePending(), 0);

    stopResultsThread(); // joins while the worker waits for its next poll
    EXPECT_EQ(gDragResultsCntr, nullptr);
}

// Runs handed over one at a time (a hit each), whole lists between them, several of
// either before one poll: every rebuild reads what a whole rebuild of the runs gives.
TEST_F(ResultsThreadTest, RunsHandedOverOneAtATimeReadAsTheWholeList) {
    startResultsThread(sink, poll.wait());
    poll.awaitWaits(1);
    for (std::int32_t i = 0; i < 6; ++i) runs.dragRuns().push_back(qualRun(i + 1, 20 + i, 9000 + 100 * i));
    int waits = 1;
    auto pollAndCompare = [&](const char* step) {
        SCOPED_TRACE(step);
        poll.releaseOnePoll();
        poll.awaitWaits(++waits);
        std::vector<TDragRaceItem> copy = runs.dragRuns();
        const auto whole = TDragResultsCntr::buildResults(copy, sampleResultsOptions());
        EXPECT_EQ(gDragResultsCntr->getResults("allDragResults"), whole->allDragResults);
        EXPECT_EQ(gDragResultsCntr->getResults("qualResults"), whole->qualResults);
        EXPECT_EQ(gDragResultsCntr->getResults("raceResults"), whole->raceResults);
        EXPECT_EQ(gDragResultsCntr->getResults("practiceResults"), whole->practiceResults);
    };
    const auto hit = [this](std::size_t run, std::int32_t et) { // a hit that changes one run
        runs.dragRuns()[run].et[0] = et;
        notifyRunChanged(runs, run);
    };
    notifyResultsThread(runs);
    pollAndCompare("a whole list");
    hit(2, 8500);
    hit(4, 8400);
    pollAndCompare("two runs, one poll");
    hit(1, 8300);
    runs.dragRuns()[1].et[0] = 8250; // changed again and not named: the whole list carries it
    runs.dragRuns()[5].racer[0] = 21;
    notifyResultsThread(runs);
    hit(3, 8200);
    pollAndCompare("a run, a whole list, a run");
    hit(0, 8100);
    hit(0, 8000);
    pollAndCompare("one run twice");
    runs.dragRuns().push_back(qualRun(7, 30, 9900));
    notifyRunChanged(runs, 6); // a longer list goes over whole
    pollAndCompare("a new run");
}

TEST_F(ResultsThreadTest, StopJoinsAtOnceWithTheRealPollAndUnhandledHandBacks) {
    startResultsThread(sink); // the real 200 ms poll
    gDragResultsCntr->setRuns({qualRun(1, 5, 9500)}, TDragResultsOptions{});
    while (gDragResultsCntr->rebuildCount() == 0) std::this_thread::yield();
    // The hand-back was never handled (as when the main window closes first): the stop
    // must still join, since the worker never waits for the main thread.
    stopResultsThread();
    EXPECT_EQ(gDragResultsCntr, nullptr);
    EXPECT_EQ(sink->takePending(), 1);
    onDragResults(); // a message that arrives after the stop does nothing
    EXPECT_TRUE(gQualResults.empty());
}

TEST_F(ResultsThreadTest, HandBackFillsClassListsAndSendsTheDocuments) {
    auto stock = std::make_unique<TClassItem>(1, "Stock");
    TClassItem* cls = stock.get();
    theRegistry().classes.push_back(std::move(stock));
    for (std::uint32_t number : {7u, 8u}) {
        auto racer = std::make_unique<TRacerItem>(number);
        racer->classIds = {1};
        theRegistry().racers.push_back(std::move(racer));
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

    startResultsThread(sink, poll.wait());
    poll.awaitWaits(1);
    notifyResultsThread(runs);
    ASSERT_EQ(sent.size(), 1u); // the current run goes out at once
    EXPECT_EQ(sent[0].second, "online");
    EXPECT_EQ(nlohmann::json::parse(sent[0].first)["runId"], 2);

    poll.releaseOnePoll();
    poll.awaitWaits(2);
    ASSERT_EQ(sink->takePending(), 1);
    onDragResults(); // what the main window runs for the queued message

    EXPECT_EQ(shown, 1);
    ASSERT_EQ(cls->results.size(), 2u);
    EXPECT_EQ(cls->results[0].num, 8);
    ASSERT_EQ(cls->timedResults.size(), 2u);
    EXPECT_EQ(cls->timedResults[0].num, 8);
    EXPECT_EQ(gQualResults.at(1).size(), 2u);
    EXPECT_EQ(gQualResults.at(1)[0].qualPos, 1);

    ASSERT_EQ(sent.size(), 5u);
    const char* names[] = {"allDragResults", "practiceResults", "qualResults", "raceResults"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(sent[i + 1].second, "results");
        EXPECT_EQ(sent[i + 1].first, gDragResultsCntr->getResults(names[i]));
        EXPECT_TRUE(nlohmann::json::parse(sent[i + 1].first).contains(names[i]));
    }
}

} // namespace
} // namespace velmaro
