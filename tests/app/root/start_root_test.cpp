// The start controls in the running console: NEXT and START from the window, the start
// command at the simulated start node, the run's hits back into drag.txt, the grid and
// the result documents; then a bracket pair prepared as a final run, started by the
// remote signal, whose result moves the winner on in the bracket.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <fstream>

#include "app/root/console_root.h"
#include "app/root/console_test.h"
#include "app/root/velmaro_app.h"
#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_grid.h"
#include "core/drag/drag_run.h"
#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"
#include "fakes/scripted_operator.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "nodesim/node_simulator.h"
#include "root_test_app.h"
#include "test_event.h"
#include "ui/app/console_application.h"
#include "ui/app/main_form.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/form_final.h"

namespace velmaro::test {
namespace {

using namespace std::chrono_literals;

// The hits of one run: start signal, launches, 60 ft, speed trap and finishes, the left
// lane the faster.
void sendRunHits(nodesim::NodeSimulator& sim, std::uint64_t t) {
    sim.sendHit(1, 6, t);
    sim.sendHit(1, 0, t + 380);
    sim.sendHit(1, 2, t + 420);
    sim.sendHit(5, 0, t + 1900);
    sim.sendHit(5, 2, t + 2000);
    sim.sendHit(4, 0, t + 9900 - 512);
    sim.sendHit(4, 2, t + 10400 - 500);
    sim.sendHit(2, 0, t + 9900);
    sim.sendHit(2, 2, t + 10400);
}

class StartRootTest : public ::testing::Test {
protected:
    StartRootTest() {
        app();
        setProgramFolder(home.path());
        ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        port = static_cast<std::uint16_t>(25000 + std::hash<std::string>{}(info->name()) % 800);
        ::setenv("VELMARO_NODE_PORT", std::to_string(port).c_str(), 1);
        for (const char* file : {"scoreboardcontroller.so", "wsadapter.so"})
            std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / "full" / file, home / file);
        // An event in drag mode with one class of four racers and no runs yet.
        home.write("velmaro.ini", "EventName:E\nMode:0\n");
        std::filesystem::create_directories(home / "CHALLENGES/E");
        home.write("CHALLENGES/E/classes.txt", "0:Стрит\t0,0,0\n");
        home.write("CHALLENGES/E/racers.txt", "12,Иванов,ВАЗ,Москва,1:0,,,0,{A},1\n7,Петров,ГАЗ,Тула,1:0,,,0,{B},1\n"
                                              "3,Сидоров,УАЗ,Орел,1:0,,,0,{C},1\n4,Козлов,ЗИЛ,Тверь,1:0,,,0,{D},1\n");
    }
    ~StartRootTest() override {
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_NODE_PORT");
        ::unsetenv("VELMARO_LINK_INTERFACES");
    }
    std::vector<std::string> calls(const std::string& prefix) const { return libraryCalls(home / "calls.log", prefix); }
    // Every cell text of the run grid, row by row.
    static std::string gridText(const DragRuns& runs) {
        std::string all;
        for (int row = 0; row < runs.dragGridRowCount(); ++row)
            for (int column = 0; column < DRAG_GRID_COLUMNS; ++column) all += runs.dragGridCellText(column, row) + "|";
        return all;
    }

    TempFolder home;
    ScriptedOperator op;
    std::uint16_t port = 0;
};

TEST_F(StartRootTest, NextStartHitsThenABracketPairFinal) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    // The console owns the node port: the simulator lives in a namespace of its own.
    SimTrack track(150 + port % 40, port);
    ASSERT_TRUE(track.ok());
    const SimNetwork& net = track.net;
    nodesim::NodeSimulator& sim = track.sim;
    std::shared_ptr<TFinalBracket> bracket;
    {
        ConsoleRoot root(op);
        root.launch();
        ui::TMainForm& form = *root.mainForm();
        ASSERT_TRUE(root.dragRuns().dragRuns().empty());
        ASSERT_TRUE(eventually([&] { return root.nodeLink().gateway().ip == net.simIp(); }));

        // NEXT: the official types the two racers.
        op.inputs = {"12", "7"};
        form.bNextDrag->click();
        ASSERT_EQ(root.dragRuns().dragRuns().size(), 1u);
        EXPECT_EQ(root.dragRuns().dragRuns()[0].racer, (std::array<int32_t, 2>{12, 7}));
        EXPECT_EQ(root.dragRuns().dragRuns()[0].classId, (std::array<int32_t, 2>{0, 0}));
        EXPECT_NE(home.read("CHALLENGES/E/drag.txt").find("DRAGITEM:12,0,7,0,"), std::string::npos);
        EXPECT_TRUE(form.bBlockSt->isChecked());
        ASSERT_FALSE(calls("scoreboard showLane 1 1 12").empty()); // the racers on the scoreboard

        // START from the key: the start node gets code 24 and confirms it.
        QTest::keyClick(&form, Qt::Key_F12);
        ASSERT_TRUE(sim.waitForType(24, 1, 5000));
        EXPECT_FALSE(form.bBlockSt->isChecked());
        ASSERT_TRUE(eventually([&] { return form.StartSignalLed->styleSheet().contains("#00c000"); }));

        const std::uint64_t t = 1'700'000'000'000ULL;
        sendRunHits(sim, t);
        ASSERT_TRUE(sim.waitAllAcked(10'000));
        ASSERT_TRUE(eventually([&] {
            const TDragRaceItem& run = root.dragRuns().dragRuns()[0];
            return run.hits[0].size() == 4 && run.hits[1].size() == 4;
        }));
        EXPECT_EQ(root.dragRuns().dragRuns()[0].et, (std::array<int32_t, 2>{9520, 9980}));
        const std::string grid = gridText(root.dragRuns());
        EXPECT_NE(grid.find("12 - Иванов"), std::string::npos) << grid;
        EXPECT_NE(grid.find("9.520"), std::string::npos) << grid;
        ASSERT_TRUE(eventually([&] {
            const auto docs = calls("exchange sendData {\"allDragResults\"");
            return !docs.empty() && docs.back().find("\"et\":9520,\"num\":12") != std::string::npos;
        }));

        // A final: the pair 12 against 7 of a four-racer bracket on the class page.
        auto* window = qobject_cast<TformFinal*>(form.DragPageControl->widget(1));
        ASSERT_NE(window, nullptr);
        bracket = std::make_shared<TFinalBracket>(4, BRACKET_SINGLE, 0, 4, "Стрит");
        TFinalPair* pair = nullptr;
        TClassItem* classItem = window->classItem();
        {
            auto lock = window->pages().lockBrackets();
            bracket->classItem = classItem;
            const int numbers[4] = {12, 7, 3, 4};
            for (int i = 0; i < 2; ++i)
                for (int k = 0; k < 2; ++k) {
                    TFinalRacer* slot = bracket->upperRound(0)->pair(i)->racers[k];
                    slot->number = numbers[i * 2 + k];
                    slot->classId = 0;
                }
            pair = bracket->upperRound(0)->pair(0);
            bracket->selectedPair = pair;
        }
        window->setBracket(bracket);
        form.DragPageControl->setCurrentIndex(1);

        // "Подготовить": the lane choice, confirmed as it opens.
        std::string leftText;
        QTimer::singleShot(50, [&] {
            leftText = ui::SelectLanesForm->lLeftLaneRacer->text().toStdString();
            ui::SelectLanesForm->bOk->click();
        });
        window->N6Click();
        EXPECT_EQ(leftText, "12 - Иванов");
        ASSERT_EQ(root.dragRuns().dragRuns().size(), 2u);
        EXPECT_EQ(root.dragRuns().dragRuns()[1].runMode, RUN_MODE_FINAL);
        EXPECT_EQ(root.dragRuns().dragRuns()[1].racer, (std::array<int32_t, 2>{12, 7}));
        EXPECT_EQ(formatDragFile(root.dragRuns().dragRuns()), home.read("CHALLENGES/E/drag.txt")); // saved at once

        // The remote start (signal 101) presses START: the armed run of the pair starts.
        sim.sendHit(1, 101, t + 60'000);
        // (The console's event loop runs while waiting: the hit reaches START through it.)
        ASSERT_TRUE(eventually([&] { return sim.waitForType(24, 2, 0); }));
        sendRunHits(sim, t + 120'000);
        ASSERT_TRUE(eventually([&] {
            const TDragRaceItem& run = root.dragRuns().dragRuns()[1];
            return run.hits[0].size() == 4 && run.hits[1].size() == 4;
        }));
        EXPECT_EQ(root.dragRuns().dragRuns()[1].winner, 0);
        // The results thread decides the pair and moves racer 12 on to the final.
        ASSERT_TRUE(eventually([&] {
            auto lock = window->pages().lockBrackets();
            const TFinalPair* final = pair->nextPair;
            return pair->winner == 0 && final && final->racers[pair->nextSlot < 0 ? 0 : pair->nextSlot] &&
                   final->racers[pair->nextSlot < 0 ? 0 : pair->nextSlot]->number == 12;
        }));
        // final_bracket.txt follows the rebuild.
        EXPECT_TRUE(eventually([&] {
            const std::string file = home.read("CHALLENGES/E/final_bracket.txt");
            return file.find("12") != std::string::npos;
        }));
        root.shutDown();
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(home / "CHALLENGES/E/drag.txt", lines).ok());
    EXPECT_EQ(parseDragFile(lines).size(), 2u);
}

// The start node's remote START (signal 101) while NEXT's left-lane prompt is open: it
// waits for both answers, then starts the run NEXT made; one start command, one run.
TEST_F(StartRootTest, ARemoteStartInsideNextsPromptStartsTheRunAfterTheAnswers) {
    if (!std::getenv("VELMARO_NETNS")) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    SimTrack track(150 + port % 40, port);
    ASSERT_TRUE(track.ok());
    const SimNetwork& net = track.net;
    nodesim::NodeSimulator& sim = track.sim;
    {
        ConsoleRoot root(op);
        root.launch();
        ui::TMainForm& form = *root.mainForm();
        ASSERT_TRUE(eventually([&] { return root.nodeLink().gateway().ip == net.simIp(); }));

        bool pressed = false;
        op.whileOpen = [&] {
            if (pressed) return;
            pressed = true;
            sim.sendHit(1, 101, 1'700'000'000'000ULL);
            // The link and the event loop run inside the prompt, as in a real dialog.
            EXPECT_TRUE(eventually([&] { return sim.waitAllAcked(0) && root.hitIntake().hitList().size() == 1; }));
            EXPECT_FALSE(sim.waitForType(24, 1, 0));
        };
        op.inputs = {"12", "7"};
        form.bNextDrag->click();
        op.whileOpen = nullptr;
        ASSERT_TRUE(pressed);
        ASSERT_TRUE(eventually([&] { return sim.waitForType(24, 1, 0); }));
        EXPECT_FALSE(sim.waitForType(24, 2, 1500));
        EXPECT_FALSE(form.bBlockSt->isChecked()); // released by the start
        ASSERT_EQ(root.dragRuns().dragRuns().size(), 1u);
        EXPECT_EQ(root.dragRuns().dragRuns()[0].racer, (std::array<int32_t, 2>{12, 7}));
        root.shutDown();
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(home / "CHALLENGES/E/drag.txt", lines).ok());
    EXPECT_EQ(parseDragFile(lines).size(), 1u);
}

} // namespace
} // namespace velmaro::test
