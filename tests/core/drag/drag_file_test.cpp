// drag.txt: writing, reading, deletions with their backups, undelete.
#include <algorithm>
#include <functional>

#include "core/drag/drag_file.h"
#include "core/platform/files.h"
#include "drag_fakes.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

class DragFileTest : public DragFolderTest {
protected:
    std::vector<std::filesystem::path> historyCopies() const
    {
        std::vector<std::filesystem::path> out;
        for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("drag_", 0) == 0 && name != "drag_undelete.txt")
                out.push_back(e.path());
        }
        return out;
    }

    // Three runs with hits on both lanes.
    void writeThreeRuns()
    {
        folder.write("drag.txt",
                     "DRAGITEM:12,3,7,3,1000000,0,1,0,0\n"
                     "LEFTHIT:0,1010380\n"
                     "LEFTHIT:2,1000380\n"
                     "RIGHTHIT:2,1000200\n"
                     "RIGHTHIT:0,1010300\n"
                     "DRAGITEM:5,1,6,1,2000000,1,2,100,0\n"
                     "LEFTHIT:2,2000300\n"
                     "LEFTHIT:0,2009300\n"
                     "DRAGITEM:8,2,9,2,3000000,2,3,0,-50\n"
                     "RIGHTHIT:2,3000100\n");
    }
};

TEST_F(DragFileTest, MissingFileLoadsNoRuns)
{
    gDragRuns.resize(3);
    host.rows = 9;
    loadDragFile();
    EXPECT_TRUE(gDragRuns.empty());
    EXPECT_EQ(gCurrentRun, 0);
    EXPECT_EQ(host.rows, 0);
    EXPECT_EQ(host.bracketLoads, 1);
    EXPECT_EQ(host.notifies, 1);
}

TEST_F(DragFileTest, LoadThreeRuns)
{
    writeThreeRuns();
    loadDragFile();
    ASSERT_EQ(gDragRuns.size(), 3u);
    EXPECT_EQ(gCurrentRun, 2);
    EXPECT_EQ(gDragRuns[0].label, "#1");
    EXPECT_EQ(gDragRuns[2].label, "#3");
    // Left hits listed out of order come out sorted, with figures.
    EXPECT_EQ(gDragRuns[0].hits[0][0].type, HIT_TYPE_RT);
    EXPECT_EQ(gDragRuns[0].rt[0], 380);
    EXPECT_EQ(gDragRuns[0].et[0], 10000);
    EXPECT_EQ(gDragRuns[0].winner, 1);
    EXPECT_EQ(gDragRuns[1].runMode, RUN_MODE_FINAL);
    EXPECT_EQ(gDragRuns[1].penalty[0], 100);
    EXPECT_EQ(gDragRuns[2].penalty[1], -50);
    EXPECT_EQ(gDragRuns[1].gridRow, 4);
    EXPECT_EQ(gDragRuns[2].gridRow, 8);
    EXPECT_EQ(host.rows, 11);
}

TEST_F(DragFileTest, LinesThatParseInPart)
{
    const std::vector<std::string> lines = {
        "LEFTHIT:2,5",                      // before any run: dropped
        "DRAGITEM:1,2,3,4,5",               // five numbers: the rest default
        "# a comment",
        "",
        "RIGHTHIT:8,77",
        "DRAGITEM:1,2,x,4,5,0,9,0,0",       // stops at the bad field
        "LEFTHIT:zz",                       // kept with an unknown type
        "DRAGITEM:1,2,3,4,5,0,99999999999,0,0",  // run id out of range: default
        "DRAGITEM:-1,-1,-2,-1,18446744073709551615,2,7,0,0",
    };
    const auto runs = parseDragFile(lines);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].racer, (std::array<int32_t, 2>{1, 3}));
    EXPECT_EQ(runs[0].classId, (std::array<int32_t, 2>{2, 4}));
    EXPECT_EQ(runs[0].startTime, 5u);
    EXPECT_EQ(runs[0].runId, 0);
    EXPECT_EQ(runs[0].label, "#0");
    EXPECT_EQ(runs[0].hits[0].size(), 0u);
    ASSERT_EQ(runs[0].hits[1].size(), 1u);
    EXPECT_EQ(runs[0].hits[1][0], hitAt(HIT_TYPE_60FEET, 77));
    EXPECT_EQ(runs[1].racer, (std::array<int32_t, 2>{1, 0}));
    EXPECT_EQ(runs[1].classId, (std::array<int32_t, 2>{2, -1}));
    EXPECT_EQ(runs[1].runId, 0);
    ASSERT_EQ(runs[1].hits[0].size(), 1u);
    EXPECT_EQ(runs[1].hits[0][0].type, -1);
    EXPECT_EQ(runs[2].runMode, 0);
    EXPECT_EQ(runs[2].runId, 0);
    EXPECT_EQ(runs[3].startTime, UINT64_MAX);
    EXPECT_EQ(runs[3].racer[1], -2);
    EXPECT_EQ(runs[3].runId, 7);
}

TEST_F(DragFileTest, HitsAfterAFinishAreKeptInEveryMode)
{
    // Written in the crossover lap mode: a left hit after the left lane's finish.
    TDragRaceItem run;
    run.runId = 1;
    run.hits[0] = {TLineHit{HIT_TYPE_RT, 100}, TLineHit{HIT_TYPE_ET, 500}, TLineHit{HIT_TYPE_SPEED, 600}};
    run.hits[1] = {TLineHit{HIT_TYPE_ET, 500}, TLineHit{7, 400}};
    const std::string text = formatDragFile({run});
    EXPECT_NE(text.find("LEFTHIT:0,500\nLEFTHIT:7,600\n"), std::string::npos) << text;
    const auto back = parseDragFile(splitTextLines(text));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].hits[0].size(), 3u);
    EXPECT_EQ(back[0].hits[1].size(), 2u);
    EXPECT_EQ(formatDragFile(back), text); // nothing saved is lost on the next save
}

TEST_F(DragFileTest, RoundTripKeepsEverythingAndTheFigures)
{
    host.pro = true;
    host.racers[12] = DragRacerInfo{"", "", {3}};
    host.classLimits = {{3, 100}};
    TDragRaceItem a;
    a.runId = 5;
    a.racer = {12, 7};
    a.classId = {3, 3};
    a.startTime = 1'700'000'000'000ULL;
    a.penalty = {0, 250};
    a.hits[0] = {hitAt(HIT_TYPE_RT, a.startTime + 380), hitAt(HIT_TYPE_60FEET, a.startTime + 1600),
                 hitAt(HIT_TYPE_SPEED, a.startTime + 9000), hitAt(HIT_TYPE_ET, a.startTime + 9512)};
    a.hits[1] = {hitAt(HIT_TYPE_RT, a.startTime - 400), hitAt(HIT_TYPE_ET, a.startTime + 9300)};
    TDragRaceItem b;
    b.runId = 6;
    b.runMode = RUN_MODE_PRACTICE;
    b.hits[1] = {hitAt(HIT_TYPE_FAIL, 42), hitAt(6, 43), hitAt(-3, 44)};
    gDragRuns = {a, b};
    relayoutRuns();
    const auto before = gDragRuns;
    ASSERT_TRUE(saveDragFile().ok());
    const std::string text = folder.read("drag.txt");
    EXPECT_EQ(text.substr(0, text.find('\n')), "DRAGITEM:12,3,7,3,1700000000000,0,5,0,250");

    gDragRuns.clear();
    loadDragFile();
    ASSERT_EQ(gDragRuns.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        TDragRaceItem expected = before[i];
        expected.label = "#" + std::to_string(expected.runId);  // labels come from the file
        EXPECT_EQ(gDragRuns[i], expected) << "run " << i;
    }
    EXPECT_EQ(gDragRuns[0].breakout[0], 1);
    EXPECT_EQ(gDragRuns[0].et[1], 0);  // void launch
    EXPECT_DOUBLE_EQ(gDragRuns[0].speed[0], 140.6);
    EXPECT_EQ(folder.read("drag.txt"), text);
    ASSERT_TRUE(saveDragFile().ok());
    EXPECT_EQ(folder.read("drag.txt"), text);
}

TEST_F(DragFileTest, FindRunById)
{
    TDragRaceItem r;
    r.runId = 0;
    r.racer = {3, 4};
    gDragRuns = {r};
    gDragRuns.push_back(r);
    gDragRuns[1].runId = 9;
    EXPECT_EQ(findRunById(9).runId, 9);
    EXPECT_EQ(findRunById(0).racer[0], 3);  // id 0 is not special
    EXPECT_EQ(findRunById(4), TDragRaceItem{});
}

TEST_F(DragFileTest, DeleteWholeRunKeepsBackupsAndMovesRows)
{
    writeThreeRuns();
    loadDragFile();
    const std::string before = folder.read("drag.txt");
    gCurrentRun = 2;
    gSelectedRun = 0;
    gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    deleteRunOrHit(0);
    EXPECT_EQ(op.shown, (std::vector<std::string>{"Точно удалить заезд целиком?"}));
    EXPECT_EQ(folder.read("drag_undelete.txt"), before);
    const auto history = historyCopies();
    ASSERT_EQ(history.size(), 1u);
    std::string copy;
    ASSERT_TRUE(readFile(history[0], copy).ok());
    EXPECT_EQ(copy, before);
    ASSERT_EQ(gDragRuns.size(), 2u);
    EXPECT_EQ(gDragRuns[0].runId, 2);
    EXPECT_EQ(gDragRuns[0].gridRow, 0);
    EXPECT_EQ(gDragRuns[1].gridRow, 4);
    EXPECT_EQ(gCurrentRun, 1);  // still the same run
    EXPECT_EQ(gSelectedRun, -1);
    EXPECT_EQ(gSelectedLane, -1);
    EXPECT_EQ(folder.read("drag.txt").find("DRAGITEM:12,3"), std::string::npos);
}

TEST_F(DragFileTest, DeletingTheCurrentRunLeavesNoCurrentRun)
{
    writeThreeRuns();
    loadDragFile();
    gSelectedRun = 2;
    gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    deleteRunOrHit(0);
    EXPECT_EQ(gCurrentRun, -1);
    EXPECT_EQ(gDragRuns.size(), 2u);
}

TEST_F(DragFileTest, DeleteOneHit)
{
    writeThreeRuns();
    loadDragFile();
    gSelectedRun = 1;
    gSelectedLane = LANE_LEFT;
    gSelectedHit = 1;
    op.yesNoAnswers = {true};
    deleteRunOrHit(0);
    EXPECT_EQ(op.shown, (std::vector<std::string>{"Точно удалить запись?"}));
    ASSERT_EQ(gDragRuns[1].hits[0].size(), 1u);
    EXPECT_EQ(gDragRuns[1].et[0], 0);  // recalculated without its finish
    EXPECT_EQ(gDragRuns[1].gridRows, 3);
    EXPECT_EQ(gCurrentRun, 2);
    EXPECT_EQ(historyCopies().size(), 1u);
}

TEST_F(DragFileTest, NothingDeletedWithoutSelectionOrOnNo)
{
    writeThreeRuns();
    loadDragFile();
    const std::string before = folder.read("drag.txt");
    deleteRunOrHit(0);  // nothing selected: no question
    gSelectedRun = 7;   // stale selection
    gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    deleteRunOrHit(0);
    gSelectedRun = 0;
    gSelectedLane = LANE_RIGHT;
    gSelectedHit = 5;  // no such hit
    deleteRunOrHit(0);
    EXPECT_TRUE(op.shown.empty());
    gSelectedHit = 0;
    op.yesNoAnswers = {false};
    deleteRunOrHit(0);
    EXPECT_EQ(op.shown.size(), 1u);
    EXPECT_EQ(gDragRuns.size(), 3u);
    EXPECT_EQ(gDragRuns[0].hits[1].size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder / "drag_undelete.txt"));
    EXPECT_TRUE(historyCopies().empty());
    EXPECT_NE(folder.read("drag.txt"), "");
    EXPECT_EQ(parseDragFile(splitTextLines(folder.read("drag.txt"))).size(), 3u);
    (void)before;
}

TEST_F(DragFileTest, FlushThenUndelete)
{
    writeThreeRuns();
    loadDragFile();
    const std::string before = folder.read("drag.txt");
    deleteRunOrHit(1);
    EXPECT_TRUE(op.shown.empty());
    EXPECT_TRUE(gDragRuns.empty());
    EXPECT_EQ(gCurrentRun, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt"));
    EXPECT_EQ(folder.read("drag_undelete.txt"), before);
    undeleteRuns();
    EXPECT_EQ(gDragRuns.size(), 3u);
    EXPECT_EQ(folder.read("drag.txt"), before);
}

TEST_F(DragFileTest, UndeleteKeepsAHistoryCopyOfWhatItReplaces)
{
    writeThreeRuns();
    loadDragFile();
    gSelectedRun = 0;
    gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    deleteRunOrHit(0);
    const std::string afterDeletion = folder.read("drag.txt");
    undeleteRuns();
    EXPECT_EQ(gDragRuns.size(), 3u);
    // Two history copies in the same second both survive.
    const auto history = historyCopies();
    ASSERT_EQ(history.size(), 2u);
    std::vector<std::string> contents;
    for (const auto& p : history) {
        std::string s;
        ASSERT_TRUE(readFile(p, s).ok());
        contents.push_back(s);
    }
    EXPECT_NE(std::find(contents.begin(), contents.end(), afterDeletion), contents.end());
}

TEST_F(DragFileTest, FailedBackupStopsTheDeletion)
{
    writeThreeRuns();
    loadDragFile();
    // drag_undelete.txt cannot be written: a folder stands in its place.
    std::filesystem::create_directory(folder / "drag_undelete.txt");
    std::filesystem::create_directory(folder / "drag_undelete.txt" / "x");
    gSelectedRun = 0;
    gSelectedLane = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    deleteRunOrHit(0);
    EXPECT_EQ(gDragRuns.size(), 3u);
    ASSERT_EQ(op.shown.size(), 2u);
    EXPECT_NE(op.shown[1].find("Удаление отменено"), std::string::npos);
    deleteRunOrHit(1);
    EXPECT_EQ(gDragRuns.size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(folder / "drag.txt"));
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

// The kept run texts follow every kind of change: each text equals a fresh format.
TEST(DragFileText, KeptRunTextsFollowEveryChange)
{
    std::vector<TDragRaceItem> runs(3);
    for (size_t i = 0; i < runs.size(); ++i) {
        runs[i].runId = static_cast<int32_t>(i + 1);
        runs[i].racer = {static_cast<int32_t>(10 + i), static_cast<int32_t>(20 + i)};
    }
    const std::vector<std::function<void()>> changes = {
        [&] { runs[1].hits[0].push_back(hitAt(HIT_TYPE_RT, 1000)); },
        [&] { runs[1].hits[0].back().time = 1001; },
        [&] { runs[1].hits[0].back().type = HIT_TYPE_ET; },
        [&] { runs[0].penalty[1] = 500; },
        [&] { runs[2].startTime = 77; },
        [&] { runs[2].classId[0] = 4; },
        [&] { runs.erase(runs.begin()); },                  // every later run moves up
        [&] { runs.insert(runs.begin(), TDragRaceItem{}); }, // and down
        [&] { runs.push_back(runs.front()); },
        [&] { runs[1].hits[1].clear(); runs[1].hits[0].clear(); },
        [&] { runs.clear(); },
    };
    EXPECT_EQ(dragFileText(runs), formatDragFile(runs));
    for (size_t k = 0; k < changes.size(); ++k) {
        changes[k]();
        EXPECT_EQ(dragFileText(runs), formatDragFile(runs)) << "change " << k;
    }
}

} // namespace
} // namespace velmaro::test
