#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QTableWidget>
#include <QTimer>
#include <QComboBox>
#include <QToolButton>
#include <thread>

#include <fstream>

#include "core/app/console.h"
#include "core/app/events.h"
#include "core/lap/lap_fixture.h"
#include "core/platform/program_folder.h"
#include "fakes/hook_ports.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/app/console_windows.h"
#include "ui/app/main_form.h"
#include "ui/registration/reg_form.h"
#include "counting_commands.h"

namespace velmaro::test {
namespace {

using QuietCommands = CountingCommands;

// One application for the whole program, never destroyed: tearing it down among the
// exit handlers would outlive parts of Qt it needs.
QApplication& app() {
    static int argc = 1;
    static char name[] = "test_ui_app";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : scoped(op) {
        app();
        setProgramFolder(home.path());
        theConsole().setPorts(&ports);
        ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
    }
    ~MainWindowTest() override {
        if (ui::MainForm && !ui::MainForm->closing()) ui::MainForm->close();
        ui::destroyConsoleWindows();
        theConsole().scoreboard = nullptr;
        theConsole().scoreboardLibrary.unloadForTests();
        theConsole().setPorts(nullptr);
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
    }
    void installLibraries() {
        for (const char* file : {"scoreboardcontroller.so", "wsadapter.so"})
            std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / "full" / file, home / file);
    }
    std::function<void()> logged(const std::string& name) {
        return [this, name] { std::ofstream(home / "calls.log", std::ios::app) << "hook " << name << "\n"; };
    }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(home / "calls.log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    void wireRegistry() {
        ports.hooks.registryExists = [] { return ui::RegForm != nullptr; };
        ports.hooks.loadClassesAndRacers = logged("loadClassesAndRacers");
    }

    HookPorts ports;
    QuietCommands commands;
    FakeLapHost lapHost;
    LapTiming lap{lapHost};
    TempFolder home;
    ScriptedOperator op;
    ScopedOperator scoped;
};

TEST_F(MainWindowTest, NineteenWindowsInTheirOrderAndTheEventLoadsOnFirstShow) {
    wireRegistry();
    auto windows = ui::createConsoleWindows(commands, lap);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"TMainForm", "Velmaro v3.6 - "},
        {"TRegForm", "Регистрация"},
        {"TEditPersonalDataForm", "Данные участника"},
        {"TSelectClassForm", "Класс участника"},
        {"TLogWindow", "Журнал"},
        {"TRallyResults", "Результаты"},
        {"TSelectLanesForm", "Расположение участников"},
        {"TCheckClassesForm", "Классы для зачета"},
        {"THitLog", "Журнал срабатываний"},
        {"TSetTimeoutsForm", "Настройка таймаутов"},
        {"TfScoreboardConfig", "Настройки табло"},
        {"TfailRacerForm", "Сход участника"},
        {"TSetWinnerForm", "Победитель"},
        {"TDragResultsForm", "Результаты заезда"},
        {"TEditClassForm", "Класс"},
        {"TmanualBracketOrderForm", "Расстановка сетки"},
        {"TscanChannelsForm", "Channels"},
        {"TstartTimerForm", "Таймер старта"},
        {"TSetCommentsForm", "Комментарии"},
    };
    ASSERT_EQ(windows.size(), 19);
    EXPECT_EQ(ui::MainForm->printLogo.width(), 0); // no printlogo.bmp
    for (int i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(i);
        std::string cls = windows[i]->metaObject()->className();
        EXPECT_EQ(cls, "velmaro::ui::" + expected[i].first);
        EXPECT_EQ(windows[i]->windowTitle().toStdString(), expected[i].second);
    }
    // The registry did not exist while the main window was created: nothing loaded yet.
    EXPECT_TRUE(calls().empty());
    EXPECT_FALSE(std::filesystem::exists(theConsole().eventFolder / "race.json"));

    ui::MainForm->show();
    EXPECT_EQ(calls(), std::vector<std::string>{"hook loadClassesAndRacers"});
    EXPECT_TRUE(std::filesystem::exists(theConsole().eventFolder / "race.json"));
    ui::MainForm->hide();
    ui::MainForm->show();
    EXPECT_EQ(calls().size(), 1u); // shown again: not reloaded
}

TEST_F(MainWindowTest, ModesSwitchBetweenTheRunGridAndTheSingleLanePanel) {
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::black);
    ASSERT_TRUE(logo.save(QString::fromStdString((home / "printlogo.bmp").string()), "BMP"));
    ui::createConsoleWindows(commands, lap);
    EXPECT_EQ(ui::MainForm->printLogo.width(), 40);
    ui::TMainForm* form = ui::MainForm;
    form->show();
    EXPECT_TRUE(form->SingleLanePanel->isVisible()); // mode 1 at first start
    EXPECT_FALSE(form->DragStringGrid->isVisible());
    EXPECT_TRUE(form->modeItems[1]->isChecked());

    form->modeItems[0]->trigger();
    EXPECT_EQ(theConsole().raceMode, 0u);
    EXPECT_TRUE(form->DragStringGrid->isVisible());
    EXPECT_FALSE(form->SingleLanePanel->isVisible());
    EXPECT_NE(home.read("velmaro.ini").find("Mode:0\n"), std::string::npos);

    form->modeItems[6]->trigger();
    EXPECT_TRUE(form->SingleLanePanel->isVisible());
    EXPECT_TRUE(form->modeItems[6]->isChecked());
    EXPECT_FALSE(form->modeItems[1]->isChecked());

    setMode(12); // from a settings file: neither grid changes, no item ticked anew
    EXPECT_TRUE(form->SingleLanePanel->isVisible());
    EXPECT_EQ(form->SingleLaneGrid->model()->headerData(6, Qt::Horizontal).toString().toStdString(), "Штраф");
}

TEST_F(MainWindowTest, SettingsShowInTheMenusAndTheCaptionNamesASavedEvent) {
    home.write("velmaro.ini", "EventName:Финал\nMode:0\nPrintBoth:1\nProStart:1\nSpeedTrapDistance:18.5\n"
                              "BracketType:4\n");
    ui::createConsoleWindows(commands, lap);
    ui::TMainForm* form = ui::MainForm;
    EXPECT_EQ(form->windowTitle().toStdString(), "Velmaro v3.6 - Финал");
    EXPECT_TRUE(form->mProStartSignal->isChecked());
    EXPECT_TRUE(form->mPrintBoth->isChecked());
    EXPECT_FALSE(form->sbPrintLeft->isVisibleTo(form));
    EXPECT_TRUE(form->sbPrintBoth->isVisibleTo(form));
    EXPECT_EQ(form->menuSpeedTrapDist->text().toStdString(), "Дистанция до датчика скорости:   18.5 м");
    EXPECT_EQ(form->cbBracketType->currentIndex(), 4);
    // Showing the settings did not rewrite them.
    EXPECT_EQ(home.read("velmaro.ini").rfind("EventName:Финал\n", 0), 0u);

    form->mPrintBoth->trigger(); // the operator unticks it
    EXPECT_TRUE(form->sbPrintLeft->isVisibleTo(form));
    EXPECT_NE(home.read("velmaro.ini").find("PrintBoth:0\n"), std::string::npos);
}

TEST_F(MainWindowTest, ClosingShutsDownInOrderAndDropsLatePosts) {
    installLibraries();
    ConsoleHooks& h = ports.hooks;
    std::vector<std::string> handled;
    h.onScoreboardEvent = [&](std::uintptr_t, std::intptr_t l) { handled.push_back("system " + std::to_string(l)); };
    h.startLinkThread = logged("startLinkThread");
    h.startResultsThread = logged("startResultsThread");
    h.stopLapResultsThread = logged("stopLapResultsThread");
    h.stopResultsThread = logged("stopResultsThread");
    h.stopLinkThread = logged("stopLinkThread");
    h.stopRadioScoreboard = logged("stopRadioScoreboard");
    ui::createConsoleWindows(commands, lap);
    ui::MainForm->show();
    std::string window = std::to_string(reinterpret_cast<long long>(theConsole().mainWindow.window()));

    // A post from another thread reaches its handler on the main thread.
    std::thread([] { theConsole().mainWindow.post(WM_SCOREBOARD_EVENT, 0, 1); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, std::vector<std::string>{"system 1"});

    theConsole().mainWindow.post(WM_SCOREBOARD_EVENT, 0, 2); // queued, still waiting when the window closes
    bool closedHook = false;
    commands.onClosed = [&] { closedHook = true; };
    ui::MainForm->close();
    QCoreApplication::processEvents();
    theConsole().mainWindow.post(WM_SCOREBOARD_EVENT, 0, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, std::vector<std::string>{"system 1"});
    EXPECT_TRUE(closedHook);

    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "hook startLinkThread",
                           "scoreboard create window=" + window,
                           "exchange sendData INIT " + window + " ",
                           "hook startResultsThread",
                           "hook stopLapResultsThread",
                           "hook stopResultsThread",
                           "hook stopLinkThread",
                           "hook stopRadioScoreboard",
                           "scoreboard delete",
                           "exchange sendData DEINIT 0 ",
                       }));
    EXPECT_EQ(theConsole().exchange.sendData, nullptr);
}

TEST_F(MainWindowTest, NewEventFromTheMenuRefusesAPathAndTakesAName) {
    ui::createConsoleWindows(commands, lap);
    op.inputs = {std::string("a/b"), std::string("Кубок")};
    ui::MainForm->mNewEvent->trigger();
    EXPECT_EQ(op.shown.size(), 2u); // prompt and refusal
    ui::MainForm->mNewEvent->trigger();
    EXPECT_EQ(ui::MainForm->windowTitle().toStdString(), "Velmaro v3.6 - Кубок");
    EXPECT_TRUE(std::filesystem::is_directory(home / "CHALLENGES" / "Кубок"));
}

} // namespace
} // namespace velmaro::test
