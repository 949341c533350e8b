// Lap results: ranking, the results table, the class result lists, the HTML table and
// the debounce.
#include "lap_fixture.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/lap/lap_internal.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

class LapResults : public LapTest {
protected:
    void SetUp() override {
        LapTest::SetUp();
        registry.addClass(1, "Stock");
        registry.addClass(2, "Pro <X>");
        registry.addRacer(7, "Alpha", {1});
        registry.addRacer(8, "Bravo", {1});
        registry.addRacer(9, "Charlie", {2});
    }
    // Visible rows, cells joined by ";" and cut at the last non-empty cell.
    std::vector<std::string> rows() const {
        std::vector<std::string> out;
        for (const auto& row : gLapResultsTable.cells) {
            size_t last = row.size();
            while (last > 0 && row[last - 1].empty()) --last;
            std::string s;
            for (size_t i = 0; i < last; ++i) s += (i ? ";" : "") + row[i];
            out.push_back(s);
        }
        return out;
    }
    std::vector<std::string> dataRows() const {
        auto r = rows();
        return std::vector<std::string>(r.begin() + 1, r.end());
    }
};

TEST_F(LapResults, ClassSectionsAndOverall_CleanTime) {
    setEvents({{7, K::FRST, 0, 1}, {8, K::FRST, 100, 1}, {9, K::FRST, 200, 2}, {77, K::FRST, 300, -1},
               {7, K::LAP, 40000, 1}, {8, K::LAP, 30100, 1}, {9, K::LAP, 35200, 2}, {77, K::LAP, 20300, -1},
               {7, K::LAP, 70000, 1, 1500}});
    buildLapResults();
    EXPECT_EQ(dataRows(), (std::vector<std::string>{
                              ";;Stock",
                              "1|0;8;Bravo;City8;Team8;Car8;0:30.000;;;0:30.000|5",
                              "2|0;7;Alpha;City7;Team7;Car7;0:30.000 (+1.500);;;0:40.000|7;0:30.000 (+1.50)|8",
                              ";;Pro <X>",
                              "1|0;9;Charlie;City9;Team9;Car9;0:35.000;;;0:35.000|6",
                              ";;Абсолютный зачет",
                              "1;77;;;;;0:20.000;;;0:20.000|4",
                              "2;8;Bravo (Stock);City8;Team8;Car8;0:30.000;;;0:30.000|5",
                              "3;7;Alpha (Stock);City7;Team7;Car7;0:30.000 (+1.50);;;0:40.000|7;0:30.000 (+1.50)|8",
                              "4;9;Charlie (Pro <X>);City9;Team9;Car9;0:35.000;;;0:35.000|6",
                          }));
    EXPECT_EQ(gLapResultsTable.cells[0][6], "Лучшее время(+штраф)");
    EXPECT_EQ(gLapResultsTable.cells[0][10], "Круг 2");
    EXPECT_EQ(gLapResultsTable.columnCount(), 11);
    EXPECT_EQ(registry.results[1], (std::vector<uint32_t>{8, 7}));
    EXPECT_EQ(registry.results[2], std::vector<uint32_t>{9});
    EXPECT_EQ(host.tablesShown, 1);
}

TEST_F(LapResults, DirtyTimeAndSum) {
    setEvents({{7, K::STSIG, 0, 1}, {7, K::STLIN, 500, 1}, {7, K::LAP, 30500, 1}, {7, K::LAP, 60500, 1},
               {8, K::STSIG, 1000, 1}, {8, K::STLIN, 3000, 1}, {8, K::LAP, 31000, 1}});
    host.clean = false;
    buildLapResults();
    auto r = dataRows();
    // Dirty time: 8's lap from the signal (30 s) beats 7's (30.5 s); the second lap of 7 has no fromStart.
    EXPECT_EQ(r[1], "1|0;8;Bravo;City8;Team8;Car8;0:30.000;;;0:30.000|5");
    EXPECT_EQ(r[2], "2|0;7;Alpha;City7;Team7;Car7;0:30.500;;;0:30.500|4;0:00.000|6");

    host.clean = true;
    host.sum = true;
    buildLapResults();
    r = dataRows();
    EXPECT_EQ(gLapResultsTable.cells[0][6], "Суммарное время(+штраф)");
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;1:00.000;;;0:30.000|4;0:30.000|6"); // more laps first
    EXPECT_EQ(r[2], "2|0;8;Bravo;City8;Team8;Car8;0:28.000;;;0:28.000|5");
}

TEST_F(LapResults, FailOnlyRacer) {
    setEvents({{9, K::FAIL, 100, 1}, {7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}});
    buildLapResults();
    auto r = dataRows();
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;0:30.000;;;0:30.000|2");
    EXPECT_EQ(r[2], "2|0;9;Charlie;City9;Team9;Car9;Сход;;;Сход|1");
    host.sum = true;
    buildLapResults();
    r = dataRows();
    EXPECT_EQ(r[2], "2|0;9;Charlie;City9;Team9;Car9;0:00.000;;;Сход|1");
}

TEST_F(LapResults, PenaltyLapCarry) {
    setEvents({{7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}, {7, K::PLAP, 40000, 1, 5000}, {7, K::LAP, 62000, 1, 1000}});
    buildLapResults();
    auto r = dataRows();
    // The PLAP shows its 10 s with its penalty; the next lap shows PLAP to LAP with its own penalty.
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;0:30.000;;;0:30.000|1;0:10.000 (+5.00)|2;0:22.000 (+1.00)|3");
    EXPECT_EQ(item(3).penaltyLapCarry, 5000);
    ASSERT_EQ(gLapResults.size(), 1u);
    EXPECT_EQ(gLapResults[0]->penaltySum, 1000);
}

TEST_F(LapResults, NoRacersGivesTwoHeaderRowsAndExactHtml) {
    setEvents({{0, K::LAP, 1000}});
    buildLapResults();
    EXPECT_EQ(dataRows(), (std::vector<std::string>{"", ";;Абсолютный зачет"}));
    EXPECT_EQ(temp.read("www/table.html"),
              "<table class='race_results'>\n<tr class='race_results_header'>"
              "<th>Место</th><th>№</th><th>Имя</th><th>Город</th><th>Команда</th><th>Модель</th>"
              "<th>Лучшее время(+штраф)</th><th>Лучшее RT</th><th>Макс. скосроть</th></tr>\n"
              "<tr class='race_class_header'><td colspan='9'></td></tr>\n"
              "<tr class='race_class_header'><td colspan='9'>Абсолютный зачет</td></tr>\n"
              "</table>\n");
}

TEST_F(LapResults, HtmlEscapesEveryText) {
    registry.racerList[2].name = "O'Neil & <b>";
    setEvents({{9, K::FRST, 0, 2}, {9, K::LAP, 30000, 2}});
    buildLapResults();
    std::string html = temp.read("www/table.html");
    EXPECT_NE(html.find("<tr class='race_class_header'><td colspan='10'>Pro &lt;X&gt;</td></tr>\n"), std::string::npos);
    EXPECT_NE(html.find("<tr onClick='select_line(this)' class='race_class_result'><td>1</td><td>9</td>"
                        "<td>O&#39;Neil &amp; &lt;b&gt;</td><td>City9</td><td>Team9</td><td>Car9</td>"
                        "<td>0:30.000</td><td></td><td></td><td>0:30.000</td></tr>\n"),
              std::string::npos);
    EXPECT_EQ(html.find("|"), std::string::npos);
}

TEST_F(LapResults, NothingOutsideTheLapModesOrWithoutTheWindow) {
    setEvents({{7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}});
    host.mode = 0;
    buildLapResults();
    host.mode = 4;
    host.resultsWindow = false;
    buildLapResults();
    EXPECT_EQ(host.tablesShown, 0);
    EXPECT_FALSE(std::filesystem::exists(temp / "www" / "table.html"));
}

TEST_F(LapResults, DebounceRestartsWithEveryChange) {
    loadLapSingle(); // creates the worker (no main-thread runner here: rebuilt by the tick)
    ASSERT_NE(gLapResultsCntr, nullptr);
    EXPECT_FALSE(gLapResultsCntr->threaded());
    host.tablesShown = 0;
    processHitLapSingle(1, 0, 1000, 7, 1);
    host.fakeClock.now += 400;
    lapResultsTimerTick();
    processHitLapSingle(1, 0, 2000, 7, 1); // restarts the countdown
    host.fakeClock.now += 400;
    lapResultsTimerTick();
    EXPECT_EQ(host.tablesShown, 0);
    EXPECT_EQ(lapResultsCountdown(), 100);
    host.fakeClock.now += 100;
    lapResultsTimerTick();
    EXPECT_EQ(host.tablesShown, 1);
    EXPECT_EQ(gLapResultsCntr->rebuildRequested.load(), 0);
    EXPECT_EQ(lapResultsCountdown(), std::nullopt);
    host.fakeClock.now += 1000;
    lapResultsTimerTick();
    EXPECT_EQ(host.tablesShown, 1); // one-shot
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

// A host whose main thread is the test: the worker hands its work over and waits.
class MainThreadHost : public FakeLapHost {
public:
    std::mutex m;
    std::condition_variable cv;
    std::function<void()> pending;
    bool done = false;

    bool canRunOnMainThread() const override { return true; }
    bool runOnMainThread(const std::function<void()>& work) override {
        std::unique_lock lock(m);
        pending = work;
        done = false;
        cv.notify_all();
        cv.wait(lock, [&] { return done; });
        return true;
    }
    // Runs one handed-over piece of work; false when none came within the timeout.
    bool serveOnce(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, timeout, [&] { return static_cast<bool>(pending); })) return false;
        auto work = std::move(pending);
        pending = nullptr;
        lock.unlock();
        work();
        lock.lock();
        done = true;
        cv.notify_all();
        return true;
    }
};

TEST_F(LapResults, Worker_RunsTheRebuildOnTheMainThreadAndClearsTheFlag) {
    MainThreadHost mainHost;
    mainHost.folder = temp.path();
    mainHost.reg = &registry;
    setLapHost(&mainHost);
    setEvents({{7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}});
    auto* worker = new TSingleLapResultsCntr(false); // leaked on purpose if the thread were stuck
    ASSERT_TRUE(worker->threaded());
    worker->rebuildRequested = 1;
    ASSERT_TRUE(mainHost.serveOnce(std::chrono::seconds(5)));
    EXPECT_EQ(mainHost.tablesShown, 1);
    for (int i = 0; i < 500 && worker->rebuildRequested.load() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(worker->rebuildRequested.load(), 0);
    worker->terminate();
    for (int i = 0; i < 500 && !worker->finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(worker->finished());
    setLapHost(&host);
    delete worker;
}

} // namespace
} // namespace velmaro::test
