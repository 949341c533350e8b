// Lap results: ranking, the results table, the class result lists, the HTML table and
// the debounce.
#include "lap_fixture.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/lap/lap_results_worker.h"
#include "lap_results_reference.h"

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
        const LapResultsTable& t = lap->lapResultsTable();
        for (int r = 0; r < t.rowCount(); ++r) {
            int last = t.columnCount();
            while (last > 0 && t.cell(r, last - 1).empty()) --last;
            std::string s;
            for (int i = 0; i < last; ++i) s += (i ? ";" : "") + t.cell(r, i);
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
    setEvents({{7, K::FRST, 0, 1},
               {8, K::FRST, 100, 1},
               {9, K::FRST, 200, 2},
               {77, K::FRST, 300, -1},
               {7, K::LAP, 40000, 1},
               {8, K::LAP, 30100, 1},
               {9, K::LAP, 35200, 2},
               {77, K::LAP, 20300, -1},
               {7, K::LAP, 70000, 1, 1500}});
    lap->buildLapResults();
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
    EXPECT_EQ(lap->lapResultsTable().cell(0, 6), "Лучшее время(+штраф)");
    EXPECT_EQ(lap->lapResultsTable().cell(0, 10), "Круг 2");
    EXPECT_EQ(lap->lapResultsTable().columnCount(), 11);
    EXPECT_EQ(registry.results[1], (std::vector<uint32_t>{8, 7}));
    EXPECT_EQ(registry.results[2], std::vector<uint32_t>{9});
    EXPECT_EQ(host.tablesShown, 1);
}

TEST_F(LapResults, DirtyTimeAndSum) {
    setEvents({{7, K::STSIG, 0, 1},
               {7, K::STLIN, 500, 1},
               {7, K::LAP, 30500, 1},
               {7, K::LAP, 60500, 1},
               {8, K::STSIG, 1000, 1},
               {8, K::STLIN, 3000, 1},
               {8, K::LAP, 31000, 1}});
    host.clean = false;
    lap->buildLapResults();
    auto r = dataRows();
    // Dirty time: 8's lap from the signal (30 s) beats 7's (30.5 s); the second lap of 7 has no fromStart.
    EXPECT_EQ(r[1], "1|0;8;Bravo;City8;Team8;Car8;0:30.000;;;0:30.000|5");
    EXPECT_EQ(r[2], "2|0;7;Alpha;City7;Team7;Car7;0:30.500;;;0:30.500|4;0:00.000|6");

    host.clean = true;
    host.sum = true;
    lap->buildLapResults();
    r = dataRows();
    EXPECT_EQ(lap->lapResultsTable().cell(0, 6), "Суммарное время(+штраф)");
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;1:00.000;;;0:30.000|4;0:30.000|6"); // more laps first
    EXPECT_EQ(r[2], "2|0;8;Bravo;City8;Team8;Car8;0:28.000;;;0:28.000|5");
}

TEST_F(LapResults, FailOnlyRacer) {
    setEvents({{9, K::FAIL, 100, 1}, {7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}});
    lap->buildLapResults();
    auto r = dataRows();
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;0:30.000;;;0:30.000|2");
    EXPECT_EQ(r[2], "2|0;9;Charlie;City9;Team9;Car9;Сход;;;Сход|1");
    host.sum = true;
    lap->buildLapResults();
    r = dataRows();
    EXPECT_EQ(r[2], "2|0;9;Charlie;City9;Team9;Car9;0:00.000;;;Сход|1");
}

TEST_F(LapResults, PenaltyLapCarry) {
    setEvents({{7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}, {7, K::PLAP, 40000, 1, 5000}, {7, K::LAP, 62000, 1, 1000}});
    lap->buildLapResults();
    auto r = dataRows();
    // The PLAP shows its 10 s with its penalty; the next lap shows PLAP to LAP with its own penalty.
    EXPECT_EQ(r[1], "1|0;7;Alpha;City7;Team7;Car7;0:30.000;;;0:30.000|1;0:10.000 (+5.00)|2;0:22.000 (+1.00)|3");
    EXPECT_EQ(item(3).penaltyLapCarry, 0); // the build works on its own copy of the events
    lap->collectLapResults(TLapRankOptions{});
    EXPECT_EQ(item(3).penaltyLapCarry, 5000);
    ASSERT_EQ(lap->lapResults().size(), 1u);
    EXPECT_EQ(lap->lapResults()[0]->penaltySum, 1000);
}

TEST_F(LapResults, NoRacersGivesTwoHeaderRowsAndExactHtml) {
    setEvents({{0, K::LAP, 1000}});
    lap->buildLapResults();
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
    lap->buildLapResults();
    std::string html = temp.read("www/table.html");
    EXPECT_NE(html.find("<tr class='race_class_header'><td colspan='10'>Pro &lt;X&gt;</td></tr>\n"), std::string::npos);
    EXPECT_NE(html.find("<tr onClick='select_line(this)' class='race_class_result'><td>1</td><td>9</td>"
                        "<td>O&#39;Neil &amp; &lt;b&gt;</td><td>City9</td><td>Team9</td><td>Car9</td>"
                        "<td>0:30.000</td><td></td><td></td><td>0:30.000</td></tr>\n"),
              std::string::npos);
    EXPECT_EQ(html.find("|"), std::string::npos);
}

// A '|' in a typed text once started the hidden part of its cell and cut the text in the
// grid, the export and the HTML table; a control character went into them raw.
TEST_F(LapResults, TypedTextsStayWholeInTheGridAndTheHtml) {
    registry.racerList[2].name = std::string("Sm|th\0Jr", 8);
    registry.racerList[2].city = "A|B\tC";
    registry.classList[1].name = "Pro|X";
    setEvents({{9, K::FRST, 0, 2}, {9, K::LAP, 30000, 2}});
    lap->buildLapResults();
    EXPECT_EQ(dataRows(), (std::vector<std::string>{";;Pro¦X", "1|0;9;Sm¦thJr;A¦B C;Team9;Car9;0:30.000;;;0:30.000|1",
                                                    ";;Абсолютный зачет",
                                                    "1;9;Sm¦thJr (Pro¦X);A¦B C;Team9;Car9;0:30.000;;;0:30.000|1"}));
    const std::string html = temp.read("www/table.html");
    EXPECT_NE(html.find("<td colspan='10'>Pro¦X</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<td>Sm¦thJr</td><td>A¦B C</td>"), std::string::npos) << html;
    EXPECT_EQ(registry.racerList[2].name, std::string("Sm|th\0Jr", 8)); // the registry keeps what was typed
}

TEST_F(LapResults, NothingOutsideTheLapModesOrWithoutTheWindow) {
    setEvents({{7, K::FRST, 0, 1}, {7, K::LAP, 30000, 1}});
    host.mode = 0;
    lap->buildLapResults();
    host.mode = 4;
    host.resultsWindow = false;
    lap->buildLapResults();
    EXPECT_EQ(host.tablesShown, 0);
    EXPECT_FALSE(std::filesystem::exists(temp / "www" / "table.html"));
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

// A running lap results worker whose builds are queued for the test's "main thread", as
// the console's queued call does.
struct QueuedBuilds {
    std::mutex m;
    std::condition_variable cv;
    std::vector<LapResultsOutput> delivered;
    LapResultsWorker worker{[this](LapResultsOutput out) {
                                std::lock_guard lock(m);
                                delivered.push_back(std::move(out));
                                cv.notify_all();
                            },
                            std::chrono::milliseconds(300)};

    // Waits for `n` builds in all; false when they did not come within seconds.
    bool waitFor(size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return delivered.size() >= n; });
    }
};

TEST_F(LapResults, Worker_BuildsOnceAfterABurstAndWritesTheTable) {
    QueuedBuilds builds;
    host.worker = &builds.worker;
    setEvents({{7, K::FRST, 0, 1}, {8, K::FRST, 100, 1}});
    builds.worker.start();
    for (int i = 1; i <= 5; ++i) lap->processHitLapSingle(1, 0, 30000u * static_cast<unsigned>(i), i % 2 ? 7 : 8, 1);
    ASSERT_TRUE(builds.waitFor(1));
    builds.worker.stop();                   // joins: no build after this
    ASSERT_EQ(builds.delivered.size(), 1u); // the burst gave one build, from the last change
    EXPECT_EQ(builds.worker.builds(), 1u);
    const reference::LapBuild expected = reference::buildLapResults(*lap);
    EXPECT_EQ(builds.delivered[0].table, expected.table);
    EXPECT_EQ(temp.read("www/table.html"), expected.html);

    // Back on the main thread the build reaches the results window and the class lists.
    lap->applyLapResults(std::move(builds.delivered[0]));
    EXPECT_EQ(host.tablesShown, 1);
    EXPECT_EQ(lap->lapResultsTable(), expected.table);
    EXPECT_EQ(registry.results[1], (std::vector<uint32_t>{7, 8}));
    host.worker = nullptr;
}

TEST_F(LapResults, Worker_StopsPromptlyWithAChangePending) {
    LapResultsWorker worker([](LapResultsOutput) { ADD_FAILURE() << "no build after stop"; }, std::chrono::hours(1));
    worker.start();
    worker.notify(lap->wholeLapResultsChange());
    worker.stop();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(worker.builds(), 0u);
}

} // namespace
} // namespace velmaro::test
