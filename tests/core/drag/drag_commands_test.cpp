// The operator's commands on runs: their effect on the runs, drag.txt, the scoreboard,
// the results thread and the registry, and the entries they refuse.
#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "core/registration/registration_edits.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "drag_fakes.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

class CommandsTest : public DragFolderTest {
protected:
    void SetUp() override {
        DragFolderTest::SetUp();
        host.reg.setEventFolder(folder.path());
        host.reg.setDatabaseFile(folder / "racersdb.txt");
    }

    TRacerItem& racer(uint32_t number, std::vector<int32_t> classes) {
        auto& r = host.reg.racers.emplace_back(std::make_unique<TRacerItem>(number));
        r->classIds = std::move(classes);
        return *r;
    }
    void addClass(int32_t id, const std::string& name, int32_t minTime = 0, int32_t maxTime = 0) {
        auto& c = host.reg.classes.emplace_back(std::make_unique<TClassItem>(id, name));
        c->minTime = minTime;
        c->maxTime = maxTime;
    }
    bool dragFileWritten() const { return std::filesystem::exists(folder / "drag.txt"); }
    std::string dragFile() const { return folder.read("drag.txt"); }
    void select(int32_t run, int32_t lane, int32_t hit) {
        runs.selectedRun() = run;
        runs.selectedLane() = lane;
        runs.selectedHit() = hit;
    }
    // One run laid out in the grid with its start at 1000.
    TDragRaceItem& oneRun(std::vector<TLineHit> left = {}, std::vector<TLineHit> right = {}) {
        TDragRaceItem run;
        run.runId = 1;
        run.startTime = 1000;
        run.hits = {std::move(left), std::move(right)};
        runs.dragRuns() = {run};
        runs.relayoutRuns();
        return runs.dragRuns()[0];
    }
};

TEST(CommandInput, PenaltyAndRacerNumberParsing) {
    const std::pair<const char*, std::optional<int32_t>> penalties[] = {
        {"1,5", 1500},
        {"0.251", 251},
        {"-0,5", -500},
        {" 2 ", 2000},
        {"0", 0},
        {"0.0004", 0},
        {"0.0006", 1},
        {"abc", {}},
        {"", {}},
        {"1,5,0", {}},
        {"nan", {}},
        {"inf", {}},
        {"1e300", {}},
        {"2147483.647", INT32_MAX},
        {"2147483.648", {}},
        {"-2147483.648", INT32_MIN},
        {"-2147483.649", {}},
    };
    for (const auto& [text, ms] : penalties) EXPECT_EQ(parsePenaltySeconds(text), ms) << text;
    const std::pair<const char*, std::optional<uint32_t>> numbers[] = {
        {"07", 7},  {"0", 0},    {" 12 ", 12},       {"2147483647", INT32_MAX},
        {"7a", {}}, {"-3", {}},  {"2147483648", {}}, {"99999999999999999999", {}},
        {"", {}},   {"1.5", {}},
    };
    for (const auto& [text, number] : numbers) EXPECT_EQ(parseRacerNumber(text), number) << text;
}

TEST_F(CommandsTest, PenaltyPromptSetsTheSelectedLaneOrRefuses) {
    oneRun({hitAt(HIT_TYPE_RT, 1100), hitAt(HIT_TYPE_ET, 11100)}, {hitAt(HIT_TYPE_RT, 1200)});
    select(0, 0, -1);
    op.inputs = {std::string("1,5")};
    runs.askLanePenalty();
    EXPECT_EQ(runs.dragRuns()[0].penalty[0], 1500);
    EXPECT_NE(dragFile().find("DRAGITEM:0,-1,0,-1,1000,0,1,1500,0"), std::string::npos);
    EXPECT_EQ(host.notifies, 1);

    select(0, 2, -1); // the whole run: the right lane
    op.inputs = {std::string("0.251")};
    runs.askLanePenalty();
    EXPECT_EQ(runs.dragRuns()[0].penalty, (std::array<int32_t, 2>{1500, 251}));

    std::filesystem::remove(folder / "drag.txt");
    const size_t shown = op.shown.size();
    for (const char* bad : {"abc", "", "1e12"}) {
        op.inputs = {std::string(bad)};
        runs.askLanePenalty();
    }
    op.inputs = {std::nullopt}; // cancel
    runs.askLanePenalty();
    EXPECT_EQ(runs.dragRuns()[0].penalty, (std::array<int32_t, 2>{1500, 251})); // never taken as 0
    EXPECT_EQ(op.shown.size(), shown + 3 * 2 + 1);                              // prompt and refusal each time
    EXPECT_FALSE(dragFileWritten());
    EXPECT_EQ(host.notifies, 2);

    select(0, -1, -1);
    runs.setLanePenalty(700); // no lane: nothing
    EXPECT_EQ(runs.dragRuns()[0].penalty, (std::array<int32_t, 2>{1500, 251}));
}

TEST_F(CommandsTest, RacerNumberPrompt) {
    addClass(5, "Pro (12)");
    addClass(3, "Street");
    racer(7, {3});
    racer(8, {5, 3});
    racer(9, {42}); // names no class
    oneRun();
    runs.dragRuns()[0].classId = {11, 11};
    select(0, 1, -1);

    op.inputs = {std::string("07")};
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].racer[1], 7);
    EXPECT_EQ(runs.dragRuns()[0].classId[1], 3);
    EXPECT_EQ(op.shown.back(), "Номер участника на правой дорожке");
    EXPECT_NE(dragFile().find("DRAGITEM:0,11,7,3,"), std::string::npos);
    EXPECT_EQ(host.notifies, 1);

    // Several classes: the picker lists them in the racer's order; closing it keeps the first.
    op.inputs = {std::string("8")};
    op.picks = {-1};
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].classId[1], 5);
    op.inputs = {std::string("8")};
    op.picks = {1};
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].classId[1], 3);

    op.inputs = {std::string("9")}; // its only id names no class: the lane takes it as it is
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].classId[1], 42);
    op.inputs = {std::string("0")};
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].racer[1], 0);
    EXPECT_EQ(runs.dragRuns()[0].classId[1], -1);
    op.inputs = {std::string("55")}; // unregistered
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].racer[1], 55);
    EXPECT_EQ(runs.dragRuns()[0].classId[1], -1);

    // Refused entries change and save nothing.
    std::filesystem::remove(folder / "drag.txt");
    const int notifies = host.notifies;
    for (const char* bad : {"7a", "-3", "2147483648", ""}) {
        op.inputs = {std::string(bad)};
        runs.askRacerNumber();
        EXPECT_EQ(runs.dragRuns()[0].racer[1], 55) << bad;
        EXPECT_NE(op.shown.back().find("целым числом"), std::string::npos) << bad;
    }
    EXPECT_FALSE(dragFileWritten());
    EXPECT_EQ(host.notifies, notifies);

    op.inputs = {std::nullopt}; // cancel: unchanged, but saved and notified
    runs.askRacerNumber();
    EXPECT_EQ(runs.dragRuns()[0].racer[1], 55);
    EXPECT_TRUE(dragFileWritten());

    select(0, 2, -1); // whole run: nothing asked
    const size_t shown = op.shown.size();
    runs.askRacerNumber();
    EXPECT_EQ(op.shown.size(), shown);
}

TEST_F(CommandsTest, FailAppendsAfterTheLastHitAndLaysOut) {
    oneRun({hitAt(HIT_TYPE_RT, 100), hitAt(HIT_TYPE_ET, 500)});
    runs.dragRuns()[0].startTime = 0;
    select(0, 0, -1);
    runs.failSelectedLane();
    runs.failSelectedLane();
    const auto& left = runs.dragRuns()[0].hits[0];
    ASSERT_EQ(left.size(), 4u);
    EXPECT_EQ(left[2], hitAt(HIT_TYPE_FAIL, 501));
    EXPECT_EQ(left[3], hitAt(HIT_TYPE_FAIL, 502));
    EXPECT_EQ(runs.dragRuns()[0].gridRows, 6);
    EXPECT_EQ(runs.dragRuns()[0].failed[0], 1);
    EXPECT_NE(dragFile().find("LEFTHIT:5,502"), std::string::npos);
    EXPECT_EQ(host.notifies, 2);

    select(0, 2, -1); // any lane but the left: the right one; no hits and no start: time 1
    runs.failSelectedLane();
    EXPECT_EQ(runs.dragRuns()[0].hits[1], (std::vector<TLineHit>{hitAt(HIT_TYPE_FAIL, 1)}));
}

TEST_F(CommandsTest, HitTypeChangeNeedsAHitOfALane) {
    oneRun({hitAt(HIT_TYPE_RT, 1100), hitAt(HIT_TYPE_PLAP, 6100)});
    select(0, 2, 1); // whole run
    runs.setSelectedHitType(HIT_TYPE_ET);
    select(0, 0, 2); // past the end
    runs.setSelectedHitType(HIT_TYPE_ET);
    EXPECT_EQ(runs.dragRuns()[0].hits[0][1].type, HIT_TYPE_PLAP);
    EXPECT_EQ(host.notifies, 0);
    EXPECT_FALSE(dragFileWritten());

    select(0, 0, 1);
    runs.setSelectedHitType(HIT_TYPE_ET);
    EXPECT_EQ(runs.dragRuns()[0].hits[0][1].type, HIT_TYPE_ET);
    EXPECT_EQ(runs.dragRuns()[0].et[0], 5000);
    EXPECT_NE(dragFile().find("LEFTHIT:0,6100"), std::string::npos);
    EXPECT_EQ(host.notifies, 1);
}

TEST_F(CommandsTest, MoveHitToOtherLane) {
    oneRun({hitAt(HIT_TYPE_RT, 100), hitAt(HIT_TYPE_ET, 300), hitAt(HIT_TYPE_SPEED, 400)}, {hitAt(HIT_TYPE_RT, 200)});
    runs.dragRuns().push_back(runs.dragRuns()[0]);
    runs.relayoutRuns();
    ASSERT_EQ(runs.dragRuns()[1].gridRow, 5);
    select(0, 0, 1);
    runs.moveHitToOtherLane();
    const TDragRaceItem& run = runs.dragRuns()[0];
    EXPECT_EQ(run.hits[0], (std::vector<TLineHit>{hitAt(HIT_TYPE_RT, 100), hitAt(HIT_TYPE_SPEED, 400)}));
    ASSERT_EQ(run.hits[1].size(), 2u);
    EXPECT_EQ(run.hits[1][1].time, 300u); // in time order
    EXPECT_EQ(runs.selectedHit(), 1);     // now the former third hit
    EXPECT_EQ(host.notifies, 1);
    EXPECT_NE(dragFile().find("RIGHTHIT:0,300"), std::string::npos);

    select(0, 0, 0); // the receiving lane becomes the longer one: the rows follow
    runs.moveHitToOtherLane();
    EXPECT_EQ(runs.dragRuns()[0].gridRows, 5);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 5);
    select(0, 1, 0);
    runs.moveHitToOtherLane();
    runs.moveHitToOtherLane();
    runs.moveHitToOtherLane();
    EXPECT_EQ(runs.dragRuns()[0].hits[1].size(), 0u);
    EXPECT_EQ(runs.dragRuns()[0].gridRows, 6);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 6);
    select(0, 2, 0); // whole run: nothing moves
    runs.moveHitToOtherLane();
    EXPECT_EQ(runs.dragRuns()[0].hits[0].size(), 4u);
}

TEST_F(CommandsTest, RunModeIsSavedAndNotified) {
    oneRun();
    runs.setSelectedRunMode(RUN_MODE_PRACTICE); // nothing selected
    EXPECT_FALSE(dragFileWritten());
    select(0, -1, -1);
    runs.setSelectedRunMode(5);
    EXPECT_FALSE(dragFileWritten());
    runs.setSelectedRunMode(RUN_MODE_PRACTICE);
    EXPECT_EQ(runs.dragRuns()[0].runMode, RUN_MODE_PRACTICE);
    EXPECT_NE(dragFile().find("DRAGITEM:0,-1,0,-1,1000,2,1,"), std::string::npos);
    EXPECT_EQ(host.notifies, 1);
    EXPECT_GE(host.repaints, 1);
}

TEST_F(CommandsTest, SearchRacer) {
    runs.dragRuns().resize(4);
    for (size_t i = 0; i < runs.dragRuns().size(); ++i) {
        runs.dragRuns()[i].runId = static_cast<int32_t>(i + 1);
        runs.dragRuns()[i].racer = {static_cast<int32_t>(10 + i), 5};
    }
    runs.dragRuns()[2].racer[1] = 6;
    struct Case {
        int32_t selected, number;
        int step;
        int32_t found;
    };
    const Case cases[] = {
        {-1, 5, 1, 0},                // nothing selected: forwards from the first run
        {1, 5, -1, 0},                // backwards from the second finds the first
        {3, 5, 1, -1},                // forwards from the last finds nothing
        {0, 5, 1, 1},   {1, 5, 1, 3}, // run 2 has no 5
        {9, 12, 1, 2},                // a stale selection counts as none
        {3, 12, -1, 2}, {0, 12, -1, -1}, {-1, 99, 1, -1},
    };
    for (const Case& c : cases) {
        select(c.selected, 0, 0);
        EXPECT_EQ(runs.searchRacerInGrid(c.number, c.step), c.found) << c.selected << " " << c.number << " " << c.step;
        if (c.found >= 0) {
            EXPECT_EQ(runs.selectedRun(), c.found);
            EXPECT_EQ(runs.selectedLane(), 2);
            EXPECT_EQ(runs.selectedHit(), -1);
        } else {
            EXPECT_EQ(runs.selectedRun(), c.selected); // unchanged
        }
    }
}

TEST_F(CommandsTest, LaneRacerOfTheCurrentRun) {
    RecordingController board;
    board.type = 122;
    host.controller = &board;
    racer(12, {4, 5});
    oneRun();
    runs.currentRunIndex() = 0;
    runs.setLaneRacer(12, 0, -1);
    EXPECT_EQ(runs.dragRuns()[0].classId[0], 4);
    runs.setLaneRacer(12, 0, 5);
    EXPECT_EQ(runs.dragRuns()[0].classId[0], 5);
    runs.setLaneRacer(77, 1, 5); // unregistered: no class, still shown
    EXPECT_EQ(runs.dragRuns()[0].classId[1], -1);
    EXPECT_EQ(board.calls.size(), 3u);
    runs.setLaneRacer(0, 1, -1); // emptied, nothing shown
    EXPECT_EQ(runs.dragRuns()[0].racer[1], 0);
    EXPECT_EQ(board.calls.size(), 3u);
    EXPECT_FALSE(dragFileWritten()); // the callers save
    runs.currentRunIndex() = 3;
    runs.setLaneRacer(1, 0, -1);
    EXPECT_EQ(runs.dragRuns()[0].racer[0], 12);
}

TEST_F(CommandsTest, RefreshRunClassesTakesOnlySingleClasses) {
    racer(7, {3});
    racer(8, {3, 4});
    oneRun();
    runs.dragRuns()[0].racer = {7, 8};
    runs.dragRuns()[0].classId = {-1, 9};
    runs.refreshRunClasses();
    EXPECT_EQ(runs.dragRuns()[0].classId, (std::array<int32_t, 2>{3, 9}));
    EXPECT_TRUE(dragFileWritten());
    EXPECT_EQ(host.notifies, 1);
}

// A racer registered after his run was made: as the runs are loaded and as the registry
// changes, his lane takes his only class, and his final run counts in that class's
// standings without "Обновить классы". A lane that has a class keeps it.
TEST_F(CommandsTest, ALaneWithoutClassTakesTheOnlyClassOfItsRacer) {
    addClass(3, "Street");
    addClass(4, "Pro");
    racer(7, {3});
    racer(8, {3, 4});
    TDragRaceItem first;
    first.runId = 1;
    first.runMode = RUN_MODE_FINAL;
    first.racer = {7, 8};
    TDragRaceItem second = first;
    second.runId = 2;
    second.racer = {30, 7};
    second.classId = {-1, 4};
    second.hits[0] = {hitAt(HIT_TYPE_RT, 100), hitAt(HIT_TYPE_ET, 9100)};
    folder.write("drag.txt", formatDragFile({first, second}));

    runs.loadDragFile();
    EXPECT_EQ(runs.dragRuns()[0].classId, (std::array<int32_t, 2>{3, -1})); // 8 has two classes
    EXPECT_EQ(runs.dragRuns()[1].classId, (std::array<int32_t, 2>{-1, 4})); // 30 is not registered yet

    const auto finalRunsOf = [this](int32_t number, int32_t classId) {
        TDragResultsOptions options;
        options.registry = host.reg.snapshot();
        std::vector<TDragRaceItem> copy = runs.dragRuns();
        BracketPages brackets;
        const auto view = TDragResultsCntr::buildResults(copy, options, brackets);
        const auto list = view->resultsByClass.find(classId);
        if (list == view->resultsByClass.end()) return -1L;
        for (const TDragResult& r : list->second)
            if (r.num == number)
                return std::count_if(r.attempts.begin(), r.attempts.end(),
                                     [](const TDragAttempt& a) { return a.runMode == RUN_MODE_FINAL; });
        return -1L;
    };
    racer(30, {4});
    EXPECT_EQ(finalRunsOf(30, 4), 0);

    // Runs left over in memory under a lap event are not touched.
    runs.racersChangedUnderRuns(1);
    EXPECT_EQ(runs.dragRuns()[1].classId[0], -1);

    const int notifies = host.notifies;
    runs.racersChangedUnderRuns(0);
    EXPECT_EQ(runs.dragRuns()[1].classId, (std::array<int32_t, 2>{4, 4}));
    EXPECT_NE(dragFile().find("DRAGITEM:30,4,7,4,"), std::string::npos);
    EXPECT_EQ(host.notifies, notifies + 1);
    EXPECT_EQ(finalRunsOf(30, 4), 1);

    std::filesystem::remove(folder / "drag.txt");
    runs.racersChangedUnderRuns(0); // nothing left to give: nothing saved or told
    EXPECT_FALSE(dragFileWritten());
    EXPECT_EQ(host.notifies, notifies + 1);
}

TDragResult qualResult(int32_t number, int32_t et) {
    TDragResult r(number, -1);
    r.bestAnyStart.et = et;
    r.bestLegalStart.et = et;
    return r;
}

TEST_F(CommandsTest, SplitIntoTimeClasses) {
    addClass(1, "A", 0, 100);
    addClass(2, "B", 100, 120);
    addClass(3, "C", 120, 0);
    addClass(4, "Open");
    racer(21, {});
    racer(22, {4, 2});
    racer(23, {99, 1});
    racer(24, {4});
    racer(25, {2});
    const std::vector<TDragResult> overall = {qualResult(25, 13000), qualResult(21, 9999), qualResult(22, 10000),
                                              qualResult(23, 11999), qualResult(24, 9000), qualResult(26, 12000),
                                              qualResult(0, 9500)};
    ASSERT_TRUE(splitRacersIntoClasses(overall, TDragRankOptions{}, host.reg, host.op()).ok());
    const auto& racers = host.reg.racers;
    ASSERT_EQ(racers.size(), 6u);
    EXPECT_EQ(racers[0]->classIds, (std::vector<int32_t>{1}));
    EXPECT_EQ(racers[1]->classIds, (std::vector<int32_t>{4, 2}));
    EXPECT_EQ(racers[2]->classIds, (std::vector<int32_t>{2}));
    EXPECT_EQ(racers[3]->classIds, (std::vector<int32_t>{4})); // only a class without window: kept
    EXPECT_EQ(racers[4]->classIds, (std::vector<int32_t>{3})); // 13 s: from B to C
    EXPECT_EQ(racers[5]->number, 26u);                         // registered by the split
    EXPECT_EQ(racers[5]->classIds, (std::vector<int32_t>{3}));
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(folder / "racers.txt", lines).ok());
    EXPECT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], TRegistry::racerLine(*racers[4]));
}

TEST_F(CommandsTest, SplitIsAllOrNothingWhenRacersCannotBeWritten) {
    addClass(1, "A", 0, 100);
    addClass(3, "C", 120, 0);
    racer(21, {1});
    racer(22, {1});
    const std::vector<TDragResult> overall = {qualResult(21, 13000), qualResult(22, 14000), qualResult(30, 9000)};
    std::filesystem::create_directory(folder / "racers.txt"); // a folder in the file's place
    EXPECT_FALSE(splitRacersIntoClasses(overall, TDragRankOptions{}, host.reg, host.op()).ok());
    const auto& racers = host.reg.racers;
    ASSERT_EQ(racers.size(), 2u);
    EXPECT_EQ(racers[0]->classIds, (std::vector<int32_t>{1}));
    EXPECT_EQ(racers[1]->classIds, (std::vector<int32_t>{1}));
    ASSERT_FALSE(op.shown.empty());
    EXPECT_NE(op.shown.back().find("Разбивка на классы не изменена"), std::string::npos);
}

class RecordingEventPort : public DragEventPort {
public:
    std::vector<std::string> calls;
    void markRacerListForSending() override { calls.push_back("mark"); }
    void reloadEvent() override { calls.push_back("reload"); }
    void sendRaceInfo() override { calls.push_back("send"); }
    std::vector<TDragResult> overall; // the published overall qualification list
    std::vector<TDragResult> overallQualification() override { return overall; }
    TDragRankOptions rankOptions() override { return TDragRankOptions{}; }
};

TEST_F(CommandsTest, ClassSplitMenuItem) {
    addClass(1, "A", 0, 100);
    racer(21, {});
    oneRun();
    RecordingEventPort port;
    port.overall = {qualResult(21, 9000)};
    DragClassSplit split(runs, port);

    op.yesNoAnswers = {false};
    split.run();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"send"}));
    EXPECT_TRUE(host.reg.racers[0]->classIds.empty());
    EXPECT_EQ(op.shown.back(), "Эта операция изменит разбивку на классы.\r\nПродолжить?");
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Warning);

    port.calls.clear();
    op.yesNoAnswers = {true};
    split.run();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"mark", "reload", "send"}));
    EXPECT_EQ(host.reg.racers[0]->classIds, (std::vector<int32_t>{1}));

    port.calls.clear(); // a failed write: no reload, nothing marked
    std::filesystem::remove(folder / "racers.txt");
    std::filesystem::create_directory(folder / "racers.txt");
    op.yesNoAnswers = {true};
    split.run();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"send"}));

    port.calls.clear();
    host.mode = 1; // single-lane: not this menu's business
    split.run();
    EXPECT_TRUE(port.calls.empty());
}

// Every change of the runs ends the same way: drag.txt saved, then the results thread
// told, then the grid repainted once. Each entry of host.calls says whether drag.txt held
// the runs at that moment.
class CommitOrderTest : public CommandsTest {
protected:
    void SetUp() override {
        CommandsTest::SetUp();
        host.onCall = [this](const std::string& call) {
            const bool saved =
                std::filesystem::is_regular_file(folder / "drag.txt") && dragFile() == formatDragFile(runs.dragRuns());
            return call + (saved ? " saved" : " unsaved");
        };
    }
    // One saved run with racers on both lanes, started at 1000 and launched on both lanes,
    // the left one finished; it receives device hits. The calls so far are forgotten.
    void savedRun() {
        oneRun({hitAt(HIT_TYPE_RT, 1100), hitAt(HIT_TYPE_ET, 11100)}, {hitAt(HIT_TYPE_RT, 1200)});
        runs.dragRuns()[0].racer = {11, 22};
        runs.currentRunIndex() = 0;
        runs.clearRunSelection();
        ASSERT_TRUE(runs.saveDragFile().ok());
        host.calls.clear();
    }
};

TEST_F(CommitOrderTest, EveryCommandAndHitSavesThenNotifiesThenRepaintsOnce) {
    addClass(3, "Pro");
    racer(7, {3});
    const std::vector<std::string> whole = {"notify saved", "repaint saved"};
    const std::vector<std::string> oneRunChanged = {"run changed saved", "repaint saved"};
    struct Case {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"penalty (Штраф)",
         [&] {
             select(0, 0, -1);
             op.inputs = {std::string("1,5")};
             runs.askLanePenalty();
         },
         whole},
        {"lane penalty",
         [&] {
             select(0, 1, -1);
             runs.setLanePenalty(300);
         },
         whole},
        {"racer number",
         [&] {
             select(0, 0, -1);
             op.inputs = {std::string("7")};
             runs.askRacerNumber();
         },
         whole},
        {"racer number cancelled",
         [&] {
             select(0, 0, -1);
             op.inputs = {std::nullopt};
             runs.askRacerNumber();
         },
         whole},
        {"run classes",
         [&] {
             runs.dragRuns()[0].racer[0] = 7;
             runs.refreshRunClasses();
         },
         whole},
        {"racers changed",
         [&] {
             runs.dragRuns()[0].racer[1] = 7;
             runs.racersChangedUnderRuns(0);
         },
         whole},
        {"fail",
         [&] {
             select(0, 1, -1);
             runs.failSelectedLane();
         },
         whole},
        {"hit type",
         [&] {
             select(0, 0, 1);
             runs.setSelectedHitType(HIT_TYPE_PLAP);
         },
         whole},
        {"other lane",
         [&] {
             select(0, 0, 1);
             runs.moveHitToOtherLane();
         },
         whole},
        {"run mode",
         [&] {
             select(0, 2, -1);
             runs.setSelectedRunMode(RUN_MODE_PRACTICE);
         },
         whole},
        {"delete hit",
         [&] {
             select(0, 0, 1);
             op.yesNoAnswers = {true};
             runs.deleteRunOrHit(0);
         },
         whole},
        {"delete run",
         [&] {
             select(0, 2, -1);
             op.yesNoAnswers = {true};
             runs.deleteButtonOnRuns();
         },
         whole},
        {"delete refused",
         [&] {
             select(0, 2, -1);
             op.yesNoAnswers = {false};
             runs.deleteButtonOnRuns();
         },
         {}},
        {"hit accepted", [&] { ASSERT_EQ(runs.addDragHit(2, SIG_RIGHT, 12000, HIT_FROM_DEVICE), 1); }, oneRunChanged},
        {"hits of one batch",
         [&] {
             HitBatch batch(host.intake);
             ASSERT_EQ(runs.addDragHit(2, SIG_RIGHT, 12000, HIT_FROM_DEVICE), 1);
             ASSERT_EQ(runs.addDragHit(5, SIG_LEFT, 3000, HIT_FROM_DEVICE), 1);
             EXPECT_TRUE(host.calls.empty()); // nothing before the batch ends
         },
         oneRunChanged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        savedRun();
        c.act();
        EXPECT_EQ(host.calls, c.calls);
        EXPECT_EQ(dragFile(), formatDragFile(runs.dragRuns()));
    }
}

TEST_F(CommitOrderTest, AStartSignalAndItsHitsRepaintOnceAfterTheSave) {
    oneRun();
    runs.dragRuns()[0] = TDragRaceItem{};
    runs.dragRuns()[0].runId = 1;
    runs.dragRuns()[0].racer = {11, 22};
    runs.currentRunIndex() = 0;
    host.calls.clear();
    {
        HitBatch batch(host.intake);
        ASSERT_EQ(runs.addDragHit(1, SIG_GREEN, 1000, HIT_FROM_DEVICE), 1);
        ASSERT_EQ(runs.addDragHit(1, SIG_LEFT, 1400, HIT_FROM_DEVICE), 1);
    }
    EXPECT_EQ(host.calls, (std::vector<std::string>{"run changed saved", "repaint saved"}));
    host.calls.clear();
    ASSERT_EQ(runs.addDragHit(1, SIG_RIGHT, 1420, HIT_FROM_DEVICE), 1); // outside a batch: at once
    EXPECT_EQ(host.calls, (std::vector<std::string>{"run changed saved", "repaint saved"}));
}

TEST_F(CommitOrderTest, AFailedSaveIsToldOnceThroughTheSaveReport) {
    savedRun();
    std::filesystem::remove(folder / "drag.txt");
    std::filesystem::create_directories(folder / "drag.txt"); // cannot be replaced by a file
    select(0, 0, -1);
    op.inputs = {std::string("1"), std::string("2")};
    runs.askLanePenalty();
    runs.askLanePenalty();
    select(0, 0, 1);
    runs.setSelectedHitType(HIT_TYPE_PLAP);
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("Не удалось записать файл"), std::string::npos);
    EXPECT_NE(op.logLines[0].find("drag.txt"), std::string::npos);
    // The runs changed all the same, and the results thread and the grid were told each time.
    EXPECT_EQ(runs.dragRuns()[0].penalty[0], 2000);
    const std::vector<std::string> unsaved = {"notify unsaved", "repaint unsaved"};
    std::vector<std::string> calls;
    for (int i = 0; i < 3; ++i) calls.insert(calls.end(), unsaved.begin(), unsaved.end());
    EXPECT_EQ(host.calls, calls);

    std::filesystem::remove(folder / "drag.txt");
    runs.setSelectedRunMode(RUN_MODE_PRACTICE);
    ASSERT_EQ(op.logLines.size(), 2u);
    EXPECT_NE(op.logLines[1].find("снова записывается"), std::string::npos);
    EXPECT_EQ(dragFile(), formatDragFile(runs.dragRuns()));
}

TEST_F(CommandsTest, DeleteButtonAndUndeleteThroughTheRunFile) {
    oneRun({hitAt(HIT_TYPE_RT, 1100)});
    runs.dragRuns().push_back(runs.dragRuns()[0]);
    runs.dragRuns()[1].runId = 2;
    runs.relayoutRuns();
    ASSERT_TRUE(runs.saveDragFile().ok());
    select(1, 2, -1);
    host.mode = 7; // roller slalom: the button does nothing
    runs.deleteButtonOnRuns();
    EXPECT_EQ(runs.dragRuns().size(), 2u);
    host.mode = 0;
    op.yesNoAnswers = {true};
    runs.deleteButtonOnRuns();
    ASSERT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(runs.selectedRun(), -1);
    runs.undeleteRuns();
    EXPECT_EQ(runs.dragRuns().size(), 2u);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 3);
}

} // namespace
} // namespace velmaro::test
