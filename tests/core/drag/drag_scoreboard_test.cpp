// Lane display buffers and what each kind of scoreboard is told about a run.
#include "drag_fakes.h"

namespace velmaro::test {
namespace {

LaneDisplayBuffer bytes8to0(std::initializer_list<uint8_t> fromByte8) {
    LaneDisplayBuffer b{};
    int i = 8;
    for (uint8_t v : fromByte8) b[static_cast<size_t>(i--)] = v;
    return b;
}

TEST(LaneDisplay, GoldenBuffers) {
    struct Row {
        const char* name;
        std::string upper, lower;
        LaneDisplayBuffer expected;
    };
    const Row rows[] = {
        {"time and speed", laneDisplayTimeText(9876), laneDisplaySpeedText(140.6f),
         bytes8to0({0x00, 0xF7, 0xFE, 0xE0, 0xBE, 0x60, 0x66, 0xFD, 0xBE})},
        {"time out of range", laneDisplayTimeText(100000), "", bytes8to0({0x02, 0x03, 0x02, 0x02, 0x02, 0, 0, 0, 0})},
        {"negative time", laneDisplayTimeText(-1), "", bytes8to0({0x02, 0x03, 0x02, 0x02, 0x02, 0, 0, 0, 0})},
        {"speed out of range", "", laneDisplaySpeedText(1000.0f), bytes8to0({0, 0, 0, 0, 0, 0x02, 0x02, 0x03, 0x02})},
        {"negative speed", "", laneDisplaySpeedText(-0.5f), bytes8to0({0, 0, 0, 0, 0, 0x02, 0x02, 0x03, 0x02})},
        {"settings test texts", "12.345", "123.4", bytes8to0({0x60, 0xDB, 0xF2, 0x66, 0xB6, 0x60, 0xDA, 0xF3, 0x66})},
        {"leading point dropped", ".5", "", bytes8to0({0xB6, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"overflow dropped", "123456789012", "", bytes8to0({0x60, 0xDA, 0xF2, 0x66, 0xB6, 0xBE, 0xE0, 0xFE, 0xF6})},
        {"lower overwrites upper", "123456", "9", bytes8to0({0x60, 0xDA, 0xF2, 0x66, 0xB6, 0xF6, 0, 0, 0})},
        {"other characters dark, one byte each", "aЖ7", "", bytes8to0({0x00, 0x00, 0xE0, 0, 0, 0, 0, 0, 0})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(encodeLaneDisplay(r.upper, r.lower), r.expected);
    }
    EXPECT_EQ(laneDisplayTimeText(9876), " 9.876");
    EXPECT_EQ(laneDisplaySpeedText(9.5f), "  9.5");
}

class ScoreboardTest : public DragTest {
protected:
    RecordingController controller;

    TDragRaceItem& addShownRun() {
        TDragRaceItem run;
        run.runId = 4;
        run.racer = {12, 7};
        run.et = {9876, 10100};
        run.dirtyTime = {10256, 10300};
        run.rt = {380, 200};
        run.sixtyFeet = {1500, 1600};
        run.speed = {140.6, 130.0};
        run.winner = 0;
        runs.dragRuns().push_back(run);
        return runs.dragRuns().back();
    }
};

TEST_F(ScoreboardTest, LaneOfTheLastRunOnAllThreeDisplays) {
    host.controller = &controller;
    controller.type = 135;
    host.racers[12] = DragRacerInfo{"Иванов", "Тверь", {1}};
    addShownRun();
    runs.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 16);

    EXPECT_EQ(controller.calls, (std::vector<std::string>{"showLane(1,1,12,9876,1406,1500,0,380,1,Иванов,Тверь)",
                                                          "setDisplayState(0,0)"}));
    ASSERT_EQ(host.displays.size(), 1u);
    EXPECT_EQ(host.displays[0].first, bytes8to0({0x00, 0xF7, 0xFE, 0xE0, 0xBE, 0x60, 0x66, 0xFD, 0xBE}));
    EXPECT_EQ(host.displays[0].second, LANE_LEFT);
    ASSERT_EQ(host.radio.size(), 1u);
    EXPECT_EQ(host.radio[0].first, (std::array<int32_t, 10>{12, 380, 1500, 1406, 9876, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host.radio[0].second, LANE_LEFT);
}

TEST_F(ScoreboardTest, CallSequencePerScoreboardType) {
    struct Row {
        int type;
        int invert;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {122, 0, {"showLane(1,2,7,10100,1300,1600,0,200,0,,)"}},
        {142, 0, {"showLane(1,2,7,10100,1300,1600,0,200,0,,)", "setDisplayState(1,-4)"}},
        {153, 1, {"showLane(1,1,7,10100,1300,1600,0,200,0,,)", "setDisplayState(1,-4)"}},
        {118, 0, {"showLane(1,2,7,10100,1300,1600,0,200,0,,)", "setDisplayState(0,1)"}},
        {118, 1, {"showLane(1,1,7,10100,1300,1600,0,200,0,,)", "setDisplayState(0,0)"}},
    };
    addShownRun();
    host.controller = &controller;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type * 10 + r.invert);
        controller.calls.clear();
        host.displays.clear();
        host.radio.clear();
        controller.type = r.type;
        host.invert = r.invert;
        runs.sendRunToScoreboards(1, 1, 0, LANE_RIGHT, 0, 0);
        EXPECT_EQ(controller.calls, r.calls);
        // The invert setting does not apply to the lane display and the radio scoreboard.
        ASSERT_EQ(host.displays.size(), 1u);
        EXPECT_EQ(host.displays[0].second, LANE_RIGHT);
        EXPECT_EQ(host.radio[0].second, LANE_RIGHT);
        EXPECT_EQ(host.radio[0].first[5], 7);
    }
}

TEST_F(ScoreboardTest, DirtyTimeReplacesElapsedTimeEverywhere) {
    host.controller = &controller;
    host.dirty = true;
    addShownRun();
    runs.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    EXPECT_EQ(controller.calls[0], "showLane(1,1,12,10256,1406,1500,0,380,1,,)");
    EXPECT_EQ(host.displays[0].first, encodeLaneDisplay("10.256", "140.6"));
    EXPECT_EQ(host.radio[0].first[4], 10256);
}

TEST_F(ScoreboardTest, ReactionOutsideSixteenBitsGoesToRadioAsZero) {
    host.controller = &controller;
    addShownRun().rt[0] = -40000;
    runs.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    EXPECT_EQ(controller.calls[0], "showLane(1,1,12,9876,1406,1500,0,-40000,1,,)");
    EXPECT_EQ(host.radio[0].first[1], 0);
}

TEST_F(ScoreboardTest, NothingForRunIdZeroOrNoRuns) {
    host.controller = &controller;
    runs.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    addShownRun().runId = 0;
    runs.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    runs.dragRuns()[0].runId = 4;
    runs.sendRunToScoreboards(1, 1, 0, -1, 0, 0); // lane from the grid, none selected
    EXPECT_TRUE(controller.calls.empty());
    EXPECT_TRUE(host.displays.empty());
    EXPECT_TRUE(host.radio.empty());
}

TEST_F(ScoreboardTest, SelectedRunAndLane) {
    addShownRun();
    addShownRun().racer = {99, 98};
    runs.selectedRun() = 0;
    runs.selectedLane() = LANE_RIGHT;
    runs.sendRunToScoreboards(1, 1, 0, -1, -1, 0);
    runs.sendRunToScoreboards(1, 1, 0, -1, -2, 0); // any other selector: the last run
    runs.selectedRun() = 5;                        // stale selection: the last run
    runs.sendRunToScoreboards(1, 1, 0, -1, -1, 0);
    ASSERT_EQ(host.radio.size(), 3u);
    EXPECT_EQ(host.radio[0].first[5], 7);
    EXPECT_EQ(host.radio[1].first[5], 98);
    EXPECT_EQ(host.radio[2].first[5], 98);
}

TEST_F(ScoreboardTest, WithoutTimeAndSpeed) {
    host.controller = &controller;
    addShownRun();
    runs.sendRunToScoreboards(0, 0, 0, LANE_LEFT, 0, 0);
    EXPECT_EQ(controller.calls[0], "showLane(1,1,0,0,0,1500,0,0,1,,)");
    EXPECT_EQ(host.displays[0].first, LaneDisplayBuffer{});
    EXPECT_EQ(host.radio[0].first, (std::array<int32_t, 10>{0, 380, 1500, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ScoreboardTest, RacerNumberAndTestTexts) {
    runs.showRacerNumber(7, LANE_RIGHT);
    runs.showRacerNumber(0, LANE_LEFT);
    runs.showRacerNumber(12345, LANE_LEFT);
    runs.sendTextToScoreboards("12.345", "123.4");
    ASSERT_EQ(host.displays.size(), 5u);
    EXPECT_EQ(host.displays[0], std::make_pair(bytes8to0({0, 0, 0xE0, 0, 0, 0, 0, 0, 0}), LANE_RIGHT));
    EXPECT_EQ(host.displays[1].first, LaneDisplayBuffer{});
    EXPECT_EQ(host.displays[2].first, bytes8to0({0x60, 0xDA, 0xF2, 0x66, 0xB6, 0, 0, 0, 0}));
    EXPECT_EQ(host.displays[3].second, LANE_LEFT);
    EXPECT_EQ(host.displays[4].second, LANE_RIGHT);
    EXPECT_EQ(host.displays[3].first, host.displays[4].first);
}

} // namespace
} // namespace velmaro::test
