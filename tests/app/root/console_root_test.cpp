// The running console as the program builds it: the composition root, its windows
// offscreen, the closed-library test doubles in the program folder and, where a test
// needs the node link, the simulated timing network in a private network namespace
// (VELMARO_NETNS), the simulator in a namespace of its own joined by a veth pair.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QMessageBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/root/console_root.h"
#include "app/root/console_test.h"
#include "app/root/velmaro_app.h"
#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_host.h"
#include "core/lap/lap_timing.h"
#include "core/link/node_link.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"
#include "core/results/drag_results.h"
#include "fakes/scripted_operator.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "nodesim/node_simulator.h"
#include "root_test_app.h"
#include "test_event.h"
#include "ui/app/console_application.h"
#include "ui/app/main_form.h"
#include "ui/bracket/form_final.h"
#include "ui/results/rally_results.h"

namespace velmaro::test {
namespace {

using namespace std::chrono_literals;

class ConsoleRootTest : public ::testing::Test {
protected:
    ConsoleRootTest() { port = useTestProgramFolder(home.path(), 24100); }
    ~ConsoleRootTest() override {
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_NODE_PORT");
    }

    // An event "E" in `mode` with two classes and, in the two-lane modes, one prepared run.
    void prepareEvent(unsigned mode) { writeTestEvent(home, mode); }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(home / "calls.log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::size_t countCalls(const std::string& prefix) const {
        std::size_t n = 0;
        for (const std::string& line : calls())
            if (line.rfind(prefix, 0) == 0) ++n;
        return n;
    }

    TempFolder home;
    ScriptedOperator op;
    std::uint16_t port = 0;
};

TEST_F(ConsoleRootTest, AHitFromTheNodesReachesDragTxtAndTheResultDocuments) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    prepareEvent(0);
    SimTrack track(200 + port % 50, port);
    ASSERT_TRUE(track.ok());
    const SimNetwork& net = track.net;
    nodesim::NodeSimulator& sim = track.sim;
    {
        ConsoleRoot root(op);
        root.launch();
        ASSERT_EQ(root.dragRuns().dragRuns().size(), 1u);
        ASSERT_TRUE(eventually([&] { return sim.consoleAddress() == net.consoleAddress(); }));
        ASSERT_TRUE(eventually([&] { return root.nodeLink().gateway().ip == net.simIp(); }));

        const std::uint64_t t = 1'700'000'000'000ULL;
        sim.sendHit(1, 6, t);       // start signal
        sim.sendHit(1, 0, t + 380); // launches
        sim.sendHit(1, 2, t + 420);
        sim.sendHit(5, 0, t + 1900); // 60 ft
        sim.sendHit(5, 2, t + 2000);
        sim.sendHit(4, 0, t + 9900 - 512); // speed trap
        sim.sendHit(4, 2, t + 10400 - 500);
        sim.sendHit(2, 0, t + 9900); // finishes
        sim.sendHit(2, 2, t + 10400);
        ASSERT_TRUE(sim.waitAllAcked(10'000));
        ASSERT_TRUE(eventually([&] {
            const TDragRaceItem& run = root.dragRuns().dragRuns()[0];
            return run.hits[0].size() == 4 && run.hits[1].size() == 4;
        }));
        ASSERT_TRUE(sim.waitForType(27, 1, 5000)); // the winner report reached the start node
        // The results thread rebuilt and handed the documents to the exchange library.
        ASSERT_TRUE(eventually([&] { return countCalls("exchange sendData {\"allDragResults\"") > 0; }))
            << ::testing::PrintToString(calls());
        root.shutDown();
    }
    ::unsetenv("VELMARO_LINK_INTERFACES");

    // drag.txt as the console left it holds the run with its figures.
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(home / "CHALLENGES/E/drag.txt", lines).ok());
    std::vector<TDragRaceItem> runs = parseDragFile(lines);
    ASSERT_EQ(runs.size(), 1u);
    const velmaro::test::FakeDragHost settings; // the settings of a new event
    runs[0].recalculate(settings);
    EXPECT_EQ(runs[0].rt, (std::array<int32_t, 2>{380, 420}));
    EXPECT_EQ(runs[0].et, (std::array<int32_t, 2>{9520, 9980}));
    EXPECT_DOUBLE_EQ(runs[0].speed[0], 140.6);
    EXPECT_EQ(runs[0].winner, 0);
    const std::string hitlog = home.read("CHALLENGES/E/hitlog.txt");
    EXPECT_EQ(std::count(hitlog.begin(), hitlog.end(), '\n'), 9);
}

// The console's start-up and shut-down as the program runs them, seen through the closed
// libraries' log: the controller is made and "INIT" sent while the main window is
// created; the open event loads on the first showing only (its race information goes to
// the exchange), once every window exists; closing destroys the controller and sends
// "DEINIT" last, after which the node link takes no command.
TEST_F(ConsoleRootTest, StartUpAndShutDownInTheirOrder) {
    prepareEvent(0);
    const auto lifecycle = [&] {
        std::vector<std::string> lines;
        for (const std::string& line : calls()) {
            for (const char* step :
                 {"scoreboard create", "scoreboard delete", "exchange sendData INIT", "exchange sendData DEINIT"})
                if (line.rfind(step, 0) == 0) lines.push_back(line);
            if (line.ends_with(" race_info")) lines.push_back("race_info");
        }
        return lines;
    };
    ConsoleRoot root(op);
    root.launch();
    const std::string window = std::to_string(reinterpret_cast<long long>(root.console().mainWindow.window()));
    EXPECT_EQ(lifecycle(), (std::vector<std::string>{"scoreboard create window=" + window,
                                                     "exchange sendData INIT " + window + " ", "race_info"}));
    EXPECT_NE(root.console().scoreboard, nullptr);
    EXPECT_EQ(root.dragRuns().dragRuns().size(), 1u);
    EXPECT_EQ(root.mainForm()->DragPageControl->count(), 3); // the runs and one page per class
    root.mainForm()->hide();
    root.mainForm()->show(); // not loaded again
    EXPECT_EQ(lifecycle().size(), 3u);

    root.mainForm()->close();
    EXPECT_EQ(lifecycle(),
              (std::vector<std::string>{"scoreboard create window=" + window, "exchange sendData INIT " + window + " ",
                                        "race_info", "scoreboard delete", "exchange sendData DEINIT 0 "}));
    EXPECT_EQ(root.console().scoreboard, nullptr);
    EXPECT_FALSE(root.console().exchange.loaded());
    EXPECT_FALSE(root.console().mainWindow.attached());
    // The link has stopped: its users' commands do nothing and it shows no node.
    NodeLink& link = root.nodeLink();
    link.sendStartCommand(MSG_START_TWO_LANE, 1, 1);
    link.radioResetBoards();
    EXPECT_TRUE(link.nodes().empty());
    root.shutDown();
}

// The lap timing is built before the windows and outlives them: while the main window is
// being destroyed its host sees no main window, and its grid calls reach none.
TEST_F(ConsoleRootTest, TheLapHostLetsGoOfTheMainWindowBeforeItIsDestroyed) {
    prepareEvent(1);
    ConsoleRoot root(op);
    root.launch();
    LapHost& host = root.lapTiming().host();
    bool destroyed = false;
    const ui::TMainForm* seen = root.mainForm();
    QObject::connect(root.mainForm(), &QObject::destroyed, [&] {
        destroyed = true;
        seen = root.mainForm();
        // Each of these read the dead window's lap grid before.
        EXPECT_FALSE(host.blockStDown());
        EXPECT_EQ(host.gridCurrentRow(), 0);
        host.setGridCurrentRow(0);
        host.setGridRowCount(3);
        host.setOnCourseListCount(1);
        host.repaintGrid();
    });
    root.shutDown();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(seen, nullptr);
}

// A journal of many hits left by a stop is replayed after the first event load in the
// window's slices: the event loop turns (a timer fires) while it runs, and the journal is
// emptied once hitlog.txt holds every hit.
TEST_F(ConsoleRootTest, AJournalLeftByAStopIsReplayedWhileTheWindowKeepsAnswering) {
    prepareEvent(0);
    constexpr std::size_t kHits = 50'000;
    std::string journal;
    for (std::size_t i = 0; i < kHits; ++i) // node 3: the run refuses them, hitlog.txt logs them
        journal += "3," + std::to_string(i % 2 * 2) + "," + std::to_string(1'700'000'000'000 + 3 * i) + "\n";
    home.write(ConsoleRoot::kHitJournalFile, journal);
    ConsoleRoot root(op);
    std::vector<std::size_t> seen; // the hit list's size at each tick of a window timer
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { seen.push_back(root.hitIntake().hitList().size()); });
    timer.start(0);
    root.launch();
    ASSERT_TRUE(eventually([&] { return root.hitIntake().hitList().size() == kHits; }, 60s));
    timer.stop();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](std::size_t n) { return n > 0 && n < kHits; }))
        << "no tick of the timer while the journal was replayed";
    EXPECT_TRUE(eventually([&] { return std::filesystem::file_size(home / ConsoleRoot::kHitJournalFile) == 0; }));
    std::string hitlog;
    ASSERT_TRUE(readFile(home / "CHALLENGES/E/hitlog.txt", hitlog).ok());
    EXPECT_EQ(parseHitLog(hitlog).size(), kHits);
    root.shutDown();
}

// A change of the runs in the running console reaches the results window: the results
// worker the root runs rebuilds, and the rebuild comes back to the main thread.
TEST_F(ConsoleRootTest, AChangeOfTheRunsReachesTheResultsWindow) {
    prepareEvent(0);
    ConsoleRoot root(op);
    root.launch();
    ASSERT_EQ(root.dragRuns().dragRuns().size(), 1u);
    const auto numbers = [](const std::string& title) {
        std::vector<int> out;
        for (const auto& row : resultsBlock(title)) out.push_back(row.first);
        return out;
    };
    EXPECT_TRUE(numbers("Стрит").empty());

    TDragRaceItem& run = root.dragRuns().dragRuns()[0];
    run.et = {9520, 9980};
    run.rt = {380, 420};
    run.dirtyTime = {9900, 10400};
    root.dragResults().notifyResultsThread(root.dragRuns());
    EXPECT_TRUE(
        eventually([&] { return numbers("Стрит") == std::vector<int>{12} && numbers("Pro") == std::vector<int>{7}; }));
    root.shutDown();
}

TEST_F(ConsoleRootTest, AnExceptionInAHandlerIsReportedAndTheWindowGoesOn) {
    prepareEvent(0);
    ConsoleRoot root(op);
    root.launch();
    QTimer::singleShot(0, [] { throw std::runtime_error("сбой обработчика"); });
    QTest::qWait(20);
    ASSERT_FALSE(op.shown.empty());
    EXPECT_EQ(op.shown.back(), "сбой обработчика");
    // The window still answers: a mode change from the menu takes effect.
    root.mainForm()->modeItems[2]->trigger();
    EXPECT_EQ(root.console().raceMode, 2u);
}

TEST_F(ConsoleRootTest, QuestionButtonsAreInRussian) {
    app();
    QMessageBox box(QMessageBox::Question, "Вопрос", "Продолжить?", QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&').toStdString(), "Да");
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&').toStdString(), "Нет");
}

TEST_F(ConsoleRootTest, InvertingTheScoreboardSendsBothLanesAgain) {
    prepareEvent(0);
    ConsoleRoot root(op);
    root.launch();
    ASSERT_EQ(root.dragRuns().currentRunIndex(), 0);
    root.dragRuns().dragRuns()[0].et = {9520, 9980};
    const std::size_t before = countCalls("scoreboard showLane");
    root.mainForm()->mInvertScoreboard->trigger();
    std::vector<std::string> lanes;
    for (const std::string& line : calls())
        if (line.rfind("scoreboard showLane", 0) == 0) lanes.push_back(line);
    ASSERT_EQ(lanes.size(), before + 2);
    // Inverted: the left lane (racer 12) now shows on board lane 2, the right one on lane 1.
    EXPECT_EQ(lanes[before].substr(0, 29), "scoreboard showLane 1 2 12 95");
    EXPECT_EQ(lanes[before + 1].substr(0, 28), "scoreboard showLane 1 1 7 99");
    EXPECT_NE(home.read("velmaro.ini").find("InvertScoreboard:1\n"), std::string::npos);

    // The current run deleted: the last run is sent again all the same.
    root.dragRuns().currentRunIndex() = -1;
    root.mainForm()->mInvertScoreboard->trigger();
    EXPECT_EQ(countCalls("scoreboard showLane"), before + 4);
}

TEST_F(ConsoleRootTest, AClickOnAPairWithoutARunClearsTheRunSelection) {
    prepareEvent(0);
    ConsoleRoot root(op);
    root.launch();
    auto* page = qobject_cast<TformFinal*>(root.mainForm()->DragPageControl->widget(1));
    ASSERT_NE(page, nullptr);
    const auto bracket = std::make_shared<TFinalBracket>(4, BRACKET_SINGLE, 0, 2, "Стрит");
    page->setBracket(bracket);
    TFinalRect rect;
    {
        auto lock = page->pages().lockBrackets();
        const TFinalPair* pair = bracket->upperRound(0)->pair(0);
        ASSERT_EQ(pair->run.runId, 0);
        rect = pair->rect;
    }
    root.dragRuns().selectedRun() = 0;
    root.dragRuns().selectedLane() = SELECTED_LANE_WHOLE_RUN;
    page->pbFinalBracketMouseDown(Qt::LeftButton, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    EXPECT_EQ(root.dragRuns().selectedRun(), -1);
}

TEST_F(ConsoleRootTest, SettingsHoldOneFinalCountLinePerClassPage) {
    prepareEvent(0);
    ConsoleRoot root(op);
    root.launch();
    ASSERT_EQ(root.mainForm()->DragPageControl->count(), 3); // runs + two class pages
    EXPECT_EQ(root.mainForm()->DragPageControl->tabText(1).toStdString(), "ТОП - Стрит");
    EXPECT_EQ(root.mainForm()->DragPageControl->tabText(2).toStdString(), "ТОП - Pro");
    root.mainForm()->mPrintBoth->trigger(); // any change of a setting rewrites the file
    const std::string ini = home.read("velmaro.ini");
    std::size_t lines = 0;
    for (std::size_t pos = 0; (pos = ini.find("\nFinalCount:", pos)) != std::string::npos; ++pos) ++lines;
    EXPECT_EQ(lines, 2u) << ini;
}

} // namespace
} // namespace velmaro::test

namespace velmaro::test {
namespace {

TEST_F(ConsoleRootTest, ClassSplitInLapModeAsksFirst) {
    prepareEvent(1);
    ConsoleRoot root(op);
    root.launch();
    const std::string racers = home.read("CHALLENGES/E/racers.txt");
    op.yesNoAnswers = {false};
    root.mainForm()->N12->trigger();
    ASSERT_FALSE(op.shown.empty());
    EXPECT_EQ(op.shown.back(), "Эта операция изменит разбивку на классы.\r\nПродолжить?");
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Warning);
    EXPECT_EQ(home.read("CHALLENGES/E/racers.txt"), racers); // No: nothing moved
}

} // namespace
} // namespace velmaro::test
