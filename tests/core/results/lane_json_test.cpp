// The lane object and the current-run document, and when the current run goes out.
#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/json/json_builder.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "results_port_fake.h"

namespace velmaro {
namespace {

TDragRaceItem sampleRun() {
    TDragRaceItem run;
    run.runId = 5;
    run.runMode = RUN_MODE_QUALIFICATION;
    run.winner = 0;
    run.racer = {7, 0};
    run.classId = {1, -1};
    run.rt = {45, 0};
    run.et = {9500, 9800};
    run.dirtyTime = {9545, 9800};
    run.sixtyFeet = {1500, 1600};
    run.speed = {150.5, 140.0};
    return run;
}

TRegistrySnapshot sampleRegistry() {
    TRegistrySnapshot s;
    TRacerItem r(7);
    r.name = "Иван \"Быстрый\"";
    r.city = "Москва";
    r.carModel = "BMW";
    s.racers.push_back(r);
    return s;
}

TEST(LaneJson, LaneWithARacerAndLaneWithout) {
    const TRegistrySnapshot reg = sampleRegistry();
    const TDragRaceItem run = sampleRun();
    EXPECT_EQ(laneJson(run, 0, false, false, &reg),
              "{\"_60ft\":1500,\"city\":\"Москва\",\"et\":9500,\"model\":\"BMW\",\"name\":\"Иван \\\"Быстрый\\\"\","
              "\"num\":7,\"rt\":45,\"spd\":150.500}");
    EXPECT_EQ(laneJson(run, 0, true, false, &reg), "{\"_60ft\":1500,\"et\":9500,\"num\":7,\"rt\":45,\"spd\":150.500}");
    // No racer: times 0 and an empty-text number whatever the lane holds; names present even when omitted.
    const std::string empty =
        "{\"_60ft\":0,\"city\":\"\",\"et\":0,\"model\":\"\",\"name\":\"\",\"num\":\"\",\"rt\":0,\"spd\":0}";
    EXPECT_EQ(laneJson(run, 1, false, false, &reg), empty);
    EXPECT_EQ(laneJson(run, 1, true, false, &reg), empty);
}

TEST(LaneJson, UnregisteredRacerHasEmptyNamesAndZeroSpeedKeepsDecimals) {
    TDragRaceItem run = sampleRun();
    run.racer[1] = 33;
    run.speed[1] = 0.0;
    EXPECT_EQ(
        laneJson(run, 1, false, false, nullptr),
        "{\"_60ft\":1600,\"city\":\"\",\"et\":9800,\"model\":\"\",\"name\":\"\",\"num\":33,\"rt\":0,\"spd\":0.000}");
}

// The results' lane objects (no names) are written in one fixed-layout piece; speeds the
// piece does not take go the general way. Both write every speed as MyJSONObject does.
TEST(LaneJson, EverySpeedOfAResultsLaneWritesAsTheObjectBuilderWritesIt) {
    const double speeds[] = {150.5,
                             -0.0,
                             -12.3456,
                             0.0005,
                             0.0015,
                             9.0e15,
                             1e16,
                             1e300,
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::infinity()};
    for (double spd : speeds) {
        SCOPED_TRACE(spd);
        TDragRaceItem run = sampleRun();
        run.speed[0] = spd;
        MyJSONObject expected;
        expected.add("_60ft", 1500);
        expected.add("et", 9500);
        expected.add("num", 7);
        expected.add("rt", 45);
        expected.add("spd", spd);
        EXPECT_EQ(laneJson(run, 0, true, false, nullptr), expected.toString());
    }
}

TEST(LaneJson, VoidReactionTimeDependsOnTheStartTree) {
    struct Case {
        const char* name;
        std::int32_t rt;
        bool proStart;
        bool isVoid;
    };
    const Case cases[] = {
        {"-400 with PRO Start is void", -400, true, true},
        {"-400 without PRO Start is a false start", -400, false, false},
        {"-1200 without PRO Start is void", -1200, false, true},
        {"-1200 with PRO Start is a false start", -1200, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDragRaceItem run = sampleRun();
        run.rt[0] = c.rt;
        const std::string expected =
            c.isVoid ? "{\"_60ft\":0,\"et\":0,\"num\":7,\"rt\":0,\"spd\":150.500}"
                     : "{\"_60ft\":1500,\"et\":9500,\"num\":7,\"rt\":" + std::to_string(c.rt) + ",\"spd\":150.500}";
        EXPECT_EQ(laneJson(run, 0, true, c.proStart, nullptr), expected);
    }
}

class CurrentRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto racer = std::make_unique<TRacerItem>(7);
        racer->name = "Иван";
        racer->city = "Москва";
        racer->carModel = "BMW";
        registry.racers.push_back(std::move(racer));
        port.event = "Этап 1";
        runs.dragRuns() = {sampleRun()};
        runs.currentRunIndex() = 0;
    }
    test::FakeDragHost host;
    DragRuns runs{host};
    test::FakeDragResultsPort port;
    BracketPages brackets;
    TRegistry registry;
    DragResults results{port, brackets, registry};
    std::vector<std::pair<std::string, std::string>>& sent = port.sent;
};

TEST_F(CurrentRunTest, DocumentText) {
    results.publishCurrentRun(runs);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].second, "online");
    EXPECT_EQ(
        sent[0].first,
        "{\"item\":\"drag\","
        "\"left\":{\"_60ft\":1500,\"city\":\"Москва\",\"et\":9500,\"model\":\"BMW\",\"name\":\"Иван\","
        "\"num\":7,\"rt\":45,\"spd\":150.500},"
        "\"raceName\":\"Этап 1\","
        "\"right\":{\"_60ft\":0,\"city\":\"\",\"et\":0,\"model\":\"\",\"name\":\"\",\"num\":\"\",\"rt\":0,\"spd\":0},"
        "\"runId\":5,\"runMode\":\"Квалификация\",\"winner\":0}");
    EXPECT_TRUE(nlohmann::json::accept(sent[0].first));
}

TEST_F(CurrentRunTest, RunModeCaptionsAndNoWinner) {
    const std::pair<std::int32_t, std::string> modes[] = {
        {0, "Квалификация"}, {1, "Финалы"}, {2, "Тренировки"}, {3, ""}, {-1, ""}};
    for (const auto& [mode, caption] : modes) {
        runs.dragRuns()[0].runMode = mode;
        runs.dragRuns()[0].winner = -1;
        sent.clear();
        results.publishCurrentRun(runs);
        ASSERT_EQ(sent.size(), 1u);
        const auto doc = nlohmann::json::parse(sent[0].first);
        EXPECT_EQ(doc["runMode"], caption);
        EXPECT_EQ(doc["winner"], -1);
    }
}

TEST_F(CurrentRunTest, NothingGoesOutWithoutACurrentRunOrAnExchange) {
    for (std::int32_t index : {-1, 1, 5}) {
        runs.currentRunIndex() = index;
        results.publishCurrentRun(runs);
    }
    EXPECT_TRUE(sent.empty());
    runs.currentRunIndex() = 0;
    port.exchangeLoaded = false; // the exchange library is not loaded
    results.publishCurrentRun(runs);
    EXPECT_TRUE(sent.empty());
}

TEST_F(CurrentRunTest, NotifyWithoutTheWorkerDoesNothing) {
    ASSERT_EQ(results.dragResultsCntr(), nullptr);
    results.notifyResultsThread(runs);
    EXPECT_TRUE(sent.empty());
}

} // namespace
} // namespace velmaro
