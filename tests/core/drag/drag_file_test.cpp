// drag.txt: writing, reading, deletions with their backups, undelete.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

#include "core/drag/drag_file.h"
#include "core/platform/files.h"
#include "drag_fakes.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

class DragFileTest : public DragFolderTest {
protected:
    std::vector<std::filesystem::path> historyCopies() const {
        std::vector<std::filesystem::path> out;
        for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("drag_", 0) == 0 && name != "drag_undelete.txt") out.push_back(e.path());
        }
        return out;
    }

    // Three runs with hits on both lanes.
    void writeThreeRuns() {
        folder.write("drag.txt", "DRAGITEM:12,3,7,3,1000000,0,1,0,0\n"
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

TEST_F(DragFileTest, MissingFileLoadsNoRuns) {
    runs.dragRuns().resize(3);
    host.rows = 9;
    runs.loadDragFile();
    EXPECT_TRUE(runs.dragRuns().empty());
    EXPECT_EQ(runs.currentRunIndex(), 0);
    EXPECT_EQ(host.rows, 0);
    EXPECT_EQ(host.bracketLoads, 1);
    EXPECT_EQ(host.notifies, 1);
}

TEST_F(DragFileTest, LoadThreeRuns) {
    writeThreeRuns();
    runs.loadDragFile();
    ASSERT_EQ(runs.dragRuns().size(), 3u);
    EXPECT_EQ(runs.currentRunIndex(), 2);
    EXPECT_EQ(runs.dragRuns()[0].label, "#1");
    EXPECT_EQ(runs.dragRuns()[2].label, "#3");
    // Left hits listed out of order come out sorted, with figures.
    EXPECT_EQ(runs.dragRuns()[0].hits[0][0].type, HIT_TYPE_RT);
    EXPECT_EQ(runs.dragRuns()[0].rt[0], 380);
    EXPECT_EQ(runs.dragRuns()[0].et[0], 10000);
    EXPECT_EQ(runs.dragRuns()[0].winner, 1);
    EXPECT_EQ(runs.dragRuns()[1].runMode, RUN_MODE_FINAL);
    EXPECT_EQ(runs.dragRuns()[1].penalty[0], 100);
    EXPECT_EQ(runs.dragRuns()[2].penalty[1], -50);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 4);
    EXPECT_EQ(runs.dragRuns()[2].gridRow, 8);
    EXPECT_EQ(host.rows, 11);
}

TEST_F(DragFileTest, LinesThatParseInPart) {
    const std::vector<std::string> lines = {
        "LEFTHIT:2,5",        // before any run: dropped
        "DRAGITEM:1,2,3,4,5", // five numbers: the rest default
        "# a comment",
        "",
        "RIGHTHIT:8,77",
        "DRAGITEM:1,2,x,4,5,0,9,0,0",           // stops at the bad field
        "LEFTHIT:zz",                           // kept with an unknown type
        "DRAGITEM:1,2,3,4,5,0,99999999999,0,0", // run id out of range: default
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

TEST_F(DragFileTest, HitsAfterAFinishAreKeptInEveryMode) {
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

TEST_F(DragFileTest, RoundTripKeepsEverythingAndTheFigures) {
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
    runs.dragRuns() = {a, b};
    runs.relayoutRuns();
    const auto before = runs.dragRuns();
    ASSERT_TRUE(runs.saveDragFile().ok());
    const std::string text = folder.read("drag.txt");
    EXPECT_EQ(text.substr(0, text.find('\n')), "DRAGITEM:12,3,7,3,1700000000000,0,5,0,250");

    runs.dragRuns().clear();
    runs.loadDragFile();
    ASSERT_EQ(runs.dragRuns().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        TDragRaceItem expected = before[i];
        expected.label = "#" + std::to_string(expected.runId); // labels come from the file
        EXPECT_EQ(runs.dragRuns()[i], expected) << "run " << i;
    }
    EXPECT_EQ(runs.dragRuns()[0].breakout[0], 1);
    EXPECT_EQ(runs.dragRuns()[0].et[1], 0); // void launch
    EXPECT_DOUBLE_EQ(runs.dragRuns()[0].speed[0], 140.6);
    EXPECT_EQ(folder.read("drag.txt"), text);
    ASSERT_TRUE(runs.saveDragFile().ok());
    EXPECT_EQ(folder.read("drag.txt"), text);
}

TEST_F(DragFileTest, FindRunById) {
    TDragRaceItem r;
    r.runId = 0;
    r.racer = {3, 4};
    runs.dragRuns() = {r};
    runs.dragRuns().push_back(r);
    runs.dragRuns()[1].runId = 9;
    EXPECT_EQ(runs.findRunById(9).runId, 9);
    EXPECT_EQ(runs.findRunById(0).racer[0], 3); // id 0 is not special
    EXPECT_EQ(runs.findRunById(4), TDragRaceItem{});
}

TEST_F(DragFileTest, DeleteWholeRunKeepsBackupsAndMovesRows) {
    writeThreeRuns();
    runs.loadDragFile();
    const std::string before = folder.read("drag.txt");
    runs.currentRunIndex() = 2;
    runs.selectedRun() = 0;
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    runs.deleteRunOrHit(0);
    EXPECT_EQ(op.shown, (std::vector<std::string>{"Точно удалить заезд целиком?"}));
    EXPECT_EQ(folder.read("drag_undelete.txt"), before);
    const auto history = historyCopies();
    ASSERT_EQ(history.size(), 1u);
    std::string copy;
    ASSERT_TRUE(readFile(history[0], copy).ok());
    EXPECT_EQ(copy, before);
    ASSERT_EQ(runs.dragRuns().size(), 2u);
    EXPECT_EQ(runs.dragRuns()[0].runId, 2);
    EXPECT_EQ(runs.dragRuns()[0].gridRow, 0);
    EXPECT_EQ(runs.dragRuns()[1].gridRow, 4);
    EXPECT_EQ(runs.currentRunIndex(), 1); // still the same run
    EXPECT_EQ(runs.selectedRun(), -1);
    EXPECT_EQ(runs.selectedLane(), -1);
    EXPECT_EQ(folder.read("drag.txt").find("DRAGITEM:12,3"), std::string::npos);
}

TEST_F(DragFileTest, DeletingTheCurrentRunLeavesNoCurrentRun) {
    writeThreeRuns();
    runs.loadDragFile();
    runs.selectedRun() = 2;
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    runs.deleteRunOrHit(0);
    EXPECT_EQ(runs.currentRunIndex(), -1);
    EXPECT_EQ(runs.dragRuns().size(), 2u);
}

TEST_F(DragFileTest, DeleteOneHit) {
    writeThreeRuns();
    runs.loadDragFile();
    runs.selectedRun() = 1;
    runs.selectedLane() = LANE_LEFT;
    runs.selectedHit() = 1;
    op.yesNoAnswers = {true};
    runs.deleteRunOrHit(0);
    EXPECT_EQ(op.shown, (std::vector<std::string>{"Точно удалить запись?"}));
    ASSERT_EQ(runs.dragRuns()[1].hits[0].size(), 1u);
    EXPECT_EQ(runs.dragRuns()[1].et[0], 0); // recalculated without its finish
    EXPECT_EQ(runs.dragRuns()[1].gridRows, 3);
    EXPECT_EQ(runs.currentRunIndex(), 2);
    EXPECT_EQ(historyCopies().size(), 1u);
}

TEST_F(DragFileTest, NothingDeletedWithoutSelectionOrOnNo) {
    writeThreeRuns();
    runs.loadDragFile();
    const std::string before = folder.read("drag.txt");
    runs.deleteRunOrHit(0); // nothing selected: no question
    runs.selectedRun() = 7; // stale selection
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    runs.deleteRunOrHit(0);
    runs.selectedRun() = 0;
    runs.selectedLane() = LANE_RIGHT;
    runs.selectedHit() = 5; // no such hit
    runs.deleteRunOrHit(0);
    EXPECT_TRUE(op.shown.empty());
    runs.selectedHit() = 0;
    op.yesNoAnswers = {false};
    runs.deleteRunOrHit(0);
    EXPECT_EQ(op.shown.size(), 1u);
    EXPECT_EQ(runs.dragRuns().size(), 3u);
    EXPECT_EQ(runs.dragRuns()[0].hits[1].size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(folder / "drag_undelete.txt"));
    EXPECT_TRUE(historyCopies().empty());
    EXPECT_NE(folder.read("drag.txt"), "");
    EXPECT_EQ(parseDragFile(splitTextLines(folder.read("drag.txt"))).size(), 3u);
    (void)before;
}

TEST_F(DragFileTest, FlushThenUndelete) {
    writeThreeRuns();
    runs.loadDragFile();
    const std::string before = folder.read("drag.txt");
    runs.deleteRunOrHit(1);
    EXPECT_TRUE(op.shown.empty());
    EXPECT_TRUE(runs.dragRuns().empty());
    EXPECT_EQ(runs.currentRunIndex(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt"));
    EXPECT_EQ(folder.read("drag_undelete.txt"), before);
    runs.undeleteRuns();
    EXPECT_EQ(runs.dragRuns().size(), 3u);
    EXPECT_EQ(folder.read("drag.txt"), before);
}

TEST_F(DragFileTest, UndeleteKeepsAHistoryCopyOfWhatItReplaces) {
    writeThreeRuns();
    runs.loadDragFile();
    runs.selectedRun() = 0;
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    runs.deleteRunOrHit(0);
    const std::string afterDeletion = folder.read("drag.txt");
    runs.undeleteRuns();
    EXPECT_EQ(runs.dragRuns().size(), 3u);
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

TEST_F(DragFileTest, FailedBackupStopsTheDeletion) {
    writeThreeRuns();
    runs.loadDragFile();
    // drag_undelete.txt cannot be written: a folder stands in its place.
    std::filesystem::create_directory(folder / "drag_undelete.txt");
    std::filesystem::create_directory(folder / "drag_undelete.txt" / "x");
    runs.selectedRun() = 0;
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    runs.deleteRunOrHit(0);
    EXPECT_EQ(runs.dragRuns().size(), 3u);
    ASSERT_EQ(op.shown.size(), 2u);
    EXPECT_NE(op.shown[1].find("Удаление отменено"), std::string::npos);
    runs.deleteRunOrHit(1);
    EXPECT_EQ(runs.dragRuns().size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(folder / "drag.txt"));
}

std::string fileText(const std::filesystem::path& file) {
    std::string text;
    EXPECT_TRUE(readFile(file, text).ok());
    return text;
}

// No intent with anything in it, no temporary: the folder holds finished files only.
void expectNoIntentOrTemporary(const TempFolder& folder) {
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
        if (name == "drag.txt.tail") {
            EXPECT_EQ(std::filesystem::file_size(e.path()), 0u);
        }
    }
}

// Whatever changes come, in whatever order, drag.txt ends up byte for byte what a whole
// rewrite gives, and a change to the last run alone is written in place.
TEST_F(DragFileTest, TailWritesGiveTheBytesOfAWholeRewrite) {
    std::mt19937 rng(20261211);
    const auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    for (int i = 0; i < 4; ++i) {
        runs.dragRuns().emplace_back();
        runs.dragRuns().back().runId = i + 1;
    }
    ASSERT_TRUE(runs.saveDragFile().ok());
    const std::filesystem::path file = folder / "drag.txt";
    int inPlace = 0;
    for (int step = 0; step < 400; ++step) {
        const auto inodeBefore = fileStamp(file)->inode;
        const size_t kind = pick(20);
        bool lastRunOnly = false;
        if (runs.dragRuns().empty() || kind == 0) {
            runs.dragRuns().emplace_back();
            runs.dragRuns().back().runId = step + 100;
        } else if (kind < 10) {
            auto& hits = runs.dragRuns().back().hits[pick(2)];
            hits.push_back(hitAt(HIT_TYPE_PLAP, 1000 + step));
            lastRunOnly = runs.dragRuns().size() > 2;
        } else if (kind == 10) {
            auto& hits = runs.dragRuns().back().hits[0];
            if (!hits.empty()) hits.pop_back(); // a shorter file
        } else if (kind == 11) {
            auto& hits = runs.dragRuns().back().hits[0];
            if (!hits.empty()) hits.front().time = 900000 + static_cast<uint64_t>(step); // inside the last run's text
        } else if (kind == 12) {
            runs.dragRuns().back().penalty[1] = static_cast<int32_t>(step);
        } else if (kind == 13) {
            runs.dragRuns()[pick(runs.dragRuns().size())].startTime = 5000 + step; // an earlier run, maybe
        } else if (kind == 14) {
            runs.dragRuns().erase(runs.dragRuns().begin() + static_cast<std::ptrdiff_t>(pick(runs.dragRuns().size())));
        } else if (kind == 15) {
            folder.write("drag.txt", "DRAGITEM:9,9,9,9,9,9,9,9,9\n"); // changed behind the program's back
        } else if (kind == 16) {
            std::filesystem::remove(file);
        } else if (kind == 17) {
            (void)runs.dragFileText(runs.dragRuns()); // formatted, not written
            runs.dragRuns().back().hits[1].push_back(hitAt(HIT_TYPE_ET, 7));
        }
        // 18, 19: nothing changed
        ASSERT_TRUE(runs.saveDragFile().ok()) << "step " << step;
        ASSERT_EQ(fileText(file), formatDragFile(runs.dragRuns())) << "step " << step << " change " << kind;
        if (lastRunOnly) {
            EXPECT_EQ(fileStamp(file)->inode, inodeBefore) << "a change of the last run is written in place";
            ++inPlace;
        }
    }
    EXPECT_GT(inPlace, 100);
    expectNoIntentOrTemporary(folder);
    // The history copies and the undelete copy still see whole files.
    runs.dragRuns().emplace_back();
    ASSERT_TRUE(runs.saveDragFile().ok());
    runs.selectedRun() = 0;
    runs.selectedLane() = SELECTED_LANE_WHOLE_RUN;
    op.yesNoAnswers = {true};
    const std::string beforeDeletion = formatDragFile(runs.dragRuns());
    runs.deleteRunOrHit(0);
    EXPECT_EQ(fileText(folder / "drag_undelete.txt"), beforeDeletion);
    EXPECT_EQ(fileText(file), formatDragFile(runs.dragRuns()));
    // Undelete copies over drag.txt after removing the intent file for good: no record of
    // a tail write can come back over the copy.
    runs.undeleteRuns();
    EXPECT_EQ(fileText(file), beforeDeletion);
    EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt.tail"));
}

// Opening the event finishes a tail write a crash cut short, or drops an intent that was
// itself cut, before drag.txt is read.
TEST_F(DragFileTest, LoadFinishesOrDropsWhatACrashLeft) {
    writeThreeRuns();
    const std::string before = fileText(folder / "drag.txt");
    const size_t offset = before.find("DRAGITEM:8");
    const std::string tail = before.substr(offset) + "RIGHTHIT:0,3009000\n";
    const std::string record = fileTailRecord(offset, tail);
    for (const size_t cut : {record.size(), record.size() - 1, size_t{10}}) {
        folder.write("drag.txt", before);
        folder.write("drag.txt.tail", record.substr(0, cut));
        runs.loadDragFile();
        ASSERT_EQ(runs.dragRuns().size(), 3u);
        EXPECT_EQ(runs.dragRuns()[2].hits[1].size(), cut == record.size() ? 2u : 1u) << cut;
        EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt.tail"));
        // The first save after opening writes the whole file (what is on disk is not known).
        runs.dragRuns()[2].hits[0].push_back(hitAt(HIT_TYPE_ET, 3010000));
        ASSERT_TRUE(runs.saveDragFile().ok());
        EXPECT_EQ(fileText(folder / "drag.txt"), formatDragFile(runs.dragRuns()));
    }
}

// A writer killed at random moments of a run of saves, each adding one hit: opening the
// event afterwards gives a file that parses and holds every hit whose save had returned,
// at most one more, and nothing of a half-done write.
TEST_F(DragFileTest, KilledWhileSavingLosesNoFinishedSave) {
    // The runs after `n` hits: 300 runs of history, then a new run every seventh hit.
    const auto runsAfter = [](int n) {
        std::vector<TDragRaceItem> runs(300);
        for (size_t i = 0; i < runs.size(); ++i) {
            runs[i].runId = static_cast<int32_t>(i + 1);
            runs[i].hits[0].push_back(hitAt(HIT_TYPE_RT, 100 + i));
        }
        for (int k = 0; k < n; ++k) {
            if (k % 7 == 0) {
                runs.emplace_back();
                runs.back().runId = 1000 + k;
            }
            runs.back().hits[k % 2].push_back(hitAt(HIT_TYPE_PLAP, 50000 + static_cast<uint64_t>(k)));
        }
        return runs;
    };
    std::mt19937 rng(7);
    for (int round = 0; round < 25; ++round) {
        runs.dragRuns() = runsAfter(0);
        ASSERT_TRUE(runs.saveDragFile().ok());
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            for (int n = 1; n < 100000; ++n) {
                runs.dragRuns() = runsAfter(n);
                if (!runs.saveDragFile().ok()) ::_exit(1);
                if (::write(pipeFds[1], &n, sizeof n) != sizeof n) ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        // Killed after a chosen number of saves, a moment into one of the next ones.
        const int target = 1 + static_cast<int>(rng() % 60);
        int acked = 0, n = 0;
        while (acked < target && ::read(pipeFds[0], &n, sizeof n) == sizeof n) acked = n;
        ::usleep(static_cast<useconds_t>(rng() % 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own";
        while (::read(pipeFds[0], &n, sizeof n) == sizeof n) acked = n;
        ::close(pipeFds[0]);

        runs.loadDragFile();
        const std::string text = fileText(folder / "drag.txt");
        const bool whole = text == formatDragFile(runsAfter(acked)) || text == formatDragFile(runsAfter(acked + 1));
        EXPECT_TRUE(whole) << "round " << round << ", " << acked << " saves acknowledged, file of " << text.size()
                           << " bytes";
        EXPECT_FALSE(std::filesystem::exists(folder / "drag.txt.tail"));
        expectNoIntentOrTemporary(folder);
    }
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

// The kept run texts follow every kind of change: each text equals a fresh format.
TEST(DragFileText, KeptRunTextsFollowEveryChange) {
    FakeDragHost host;
    DragRuns drag{host};
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
        [&] { runs.erase(runs.begin()); },                   // every later run moves up
        [&] { runs.insert(runs.begin(), TDragRaceItem{}); }, // and down
        [&] { runs.push_back(runs.front()); },
        [&] {
            runs[1].hits[1].clear();
            runs[1].hits[0].clear();
        },
        [&] { runs.clear(); },
    };
    EXPECT_EQ(drag.dragFileText(runs), formatDragFile(runs));
    for (size_t k = 0; k < changes.size(); ++k) {
        changes[k]();
        EXPECT_EQ(drag.dragFileText(runs), formatDragFile(runs)) << "change " << k;
    }
}

} // namespace
} // namespace velmaro::test
