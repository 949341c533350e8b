#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QCoreApplication>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <thread>

#include <fstream>

#include "console_app.h"
#include "core/app/console.h"
#include "core/app/events.h"
#include "core/app/lifecycle.h"
#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_grid.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/lap/lap_fixture.h"
#include "core/link/node_link.h"
#include "core/platform/program_folder.h"
#include "core/registration/registry.h"
#include "core/results/results_port_fake.h"
#include "counting_commands.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/hook_ports.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/app/console_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/small_dialogs.h"
#include "ui/drag/drag_grid_widget.h"
#include "ui/link/channel_scan_dialog.h"
#include "ui/link/hit_log_window.h"
#include "ui/platform/window_placement.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro::test {
namespace {

using QuietCommands = CountingCommands;

QApplication& app() { return consoleApp(); }

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : scoped(op) {
        app();
        setProgramFolder(home.path());
        ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
        // The console's own steps at the window's moments, as the composition root runs
        // them (without node link, worker threads and closed libraries).
        commands.onCreated = [this] {
            ui::MainForm->setupGrids();
            startConsoleState(console, ports, std::time(nullptr));
            ui::MainForm->moveToScreenOrigin();
        };
        commands.onShown = [this] {
            loadEventOnFirstShow(console, ports);
            ui::MainForm->afterShow();
        };
    }
    ~MainWindowTest() override {
        if (ui::MainForm && !ui::MainForm->closing()) ui::MainForm->close();
        ui::destroyConsoleWindows();
        console.scoreboard = nullptr;
        console.scoreboardLibrary.unloadForTests();
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
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

    Console console; // the windows' console, fresh for each case
    HookPorts ports;
    QuietCommands commands;
    FakeLapHost lapHost;
    FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    test::FakeDragResultsPort resultsPort;
    BracketPages brackets;
    TRegistry registry; // the registration window's and the results'
    DragResults results{resultsPort, brackets, registry};
    FakeDragHost dragHost;
    DragRuns drag{dragHost};
    NodeLink link; // no link thread in these tests: its commands do nothing
    ScriptedOperator op;
    QuestionDesk desk{op};
    LapTiming lap{lapHost, intake, desk};
    TempFolder home;
    ScopedSaveReportLog scoped;
};

TEST_F(MainWindowTest, NineteenWindowsInTheirOrderAndTheEventLoadsOnFirstShow) {
    wireRegistry();
    auto windows = ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
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
    for (int i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(i);
        std::string cls = windows[i]->metaObject()->className();
        EXPECT_EQ(cls, "velmaro::ui::" + expected[i].first);
        EXPECT_EQ(windows[i]->windowTitle().toStdString(), expected[i].second);
    }
    // The registry did not exist while the main window was created: nothing loaded yet.
    EXPECT_TRUE(calls().empty());
    EXPECT_FALSE(std::filesystem::exists(console.eventFolder / "race.json"));

    ui::MainForm->show();
    EXPECT_EQ(calls(), std::vector<std::string>{"hook loadClassesAndRacers"});
    EXPECT_TRUE(std::filesystem::exists(console.eventFolder / "race.json"));
    ui::MainForm->hide();
    ui::MainForm->show();
    EXPECT_EQ(calls().size(), 1u); // shown again: not reloaded
}

TEST_F(MainWindowTest, ModesSwitchBetweenTheRunGridAndTheSingleLanePanel) {
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
    ui::TMainForm* form = ui::MainForm;
    form->show();
    EXPECT_TRUE(form->SingleLanePanel->isVisible()); // mode 1 at first start
    EXPECT_FALSE(form->DragStringGrid->isVisible());
    EXPECT_TRUE(form->modeItems[1]->isChecked());

    form->modeItems[0]->trigger();
    EXPECT_EQ(console.raceMode, 0u);
    EXPECT_TRUE(form->DragStringGrid->isVisible());
    EXPECT_FALSE(form->SingleLanePanel->isVisible());
    EXPECT_NE(home.read("velmaro.ini").find("Mode:0\n"), std::string::npos);

    form->modeItems[6]->trigger();
    EXPECT_TRUE(form->SingleLanePanel->isVisible());
    EXPECT_TRUE(form->modeItems[6]->isChecked());
    EXPECT_FALSE(form->modeItems[1]->isChecked());

    setMode(console, ports, 12); // from a settings file: neither grid changes, no item ticked anew
    EXPECT_TRUE(form->SingleLanePanel->isVisible());
    EXPECT_EQ(form->SingleLaneGrid->model()->headerData(6, Qt::Horizontal).toString().toStdString(), "Штраф");
}

TEST_F(MainWindowTest, SettingsShowInTheMenusAndTheCaptionNamesASavedEvent) {
    home.write("velmaro.ini", "EventName:Финал\nMode:0\nPrintBoth:1\nProStart:1\nSpeedTrapDistance:18.5\n"
                              "BracketType:4\n");
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
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

TEST_F(MainWindowTest, TheConsoleStartsAndShutsDownAtTheWindowsMomentsAndLatePostsAreDropped) {
    std::vector<std::string> moments;
    const auto note = [&](std::function<void()>& hook, const std::string& name) {
        hook = [&moments, name, then = hook] {
            moments.push_back(name + (ui::MainForm->SysTimer->isActive() ? " (timers on)" : ""));
            if (then) then();
        };
    };
    note(commands.onCreated, "created");
    note(commands.onShown, "shown");
    note(commands.onClosing, "closing");
    note(commands.onClosed, "closed");
    std::vector<std::string> handled;
    ports.hooks.onScoreboardEvent = [&](std::uintptr_t, std::intptr_t l) {
        handled.push_back("system " + std::to_string(l));
    };
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
    ui::MainForm->show();
    ui::MainForm->hide();
    ui::MainForm->show();

    // A post from another thread reaches its handler on the main thread.
    std::thread([this] { console.mainWindow.post(WM_SCOREBOARD_EVENT, 0, 1); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, std::vector<std::string>{"system 1"});

    console.mainWindow.post(WM_SCOREBOARD_EVENT, 0, 2); // queued, still waiting when the window closes
    ui::MainForm->close();
    QCoreApplication::processEvents();
    console.mainWindow.post(WM_SCOREBOARD_EVENT, 0, 3);
    ui::MainForm->close(); // closing again shuts nothing down again
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, std::vector<std::string>{"system 1"});
    // The timers start after the creation handler and stop before the shut-down.
    EXPECT_EQ(moments,
              (std::vector<std::string>{"created", "shown (timers on)", "shown (timers on)", "closing", "closed"}));
}

TEST_F(MainWindowTest, NewEventFromTheMenuRefusesAPathAndTakesAName) {
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
    op.inputs = {std::string("a/b"), std::string("Кубок")};
    ui::MainForm->mNewEvent->trigger();
    EXPECT_EQ(op.shown.size(), 2u); // prompt and refusal
    ui::MainForm->mNewEvent->trigger();
    EXPECT_EQ(ui::MainForm->windowTitle().toStdString(), "Velmaro v3.6 - Кубок");
    EXPECT_TRUE(std::filesystem::is_directory(home / "CHALLENGES" / "Кубок"));
}

// A finished run whose rows carry the longest figures a run has (both lanes with a
// penalty, a breakout and a foul) and racers described as an event's usually are.
void longestRun(TRegistry& registry, DragRuns& drag) {
    const auto racer = [&registry](std::uint32_t number, const char* name, const char* car, const char* city) {
        auto r = std::make_unique<TRacerItem>(number);
        r->name = name;
        r->carModel = car;
        r->city = city;
        r->classIds = {1};
        registry.racers.push_back(std::move(r));
    };
    racer(12, "Смирнов Олег", "Subaru Impreza", "Казань");
    racer(34, "Петров Иван", "ВАЗ 2107", "Нижний Новгород");
    TDragRaceItem run;
    run.runId = 4321;
    run.racer = {12, 34};
    run.classId = {1, 1};
    run.note = {"Про", "Про"};
    const std::uint64_t start = 24811000; // 06:53:31.000
    run.startTime = start;
    for (int lane = 0; lane < 2; ++lane) {
        run.et[lane] = 10100;
        run.dirtyTime[lane] = 10500;
        run.penalty[lane] = 1500;
        run.breakout[lane] = 1;
        run.foul[lane] = 1;
        run.rt[lane] = -400;
        run.sixtyFeet[lane] = 1800;
        run.speed[lane] = 188.4;
        run.hits[lane] = {{HIT_TYPE_RT, start - 400},
                          {HIT_TYPE_60FEET, start + 1400},
                          {HIT_TYPE_SPEED, start + 9600},
                          {HIT_TYPE_ET, start + 10100}};
    }
    drag.dragRuns() = {run};
    drag.relayoutRuns();
}

// Texts of the run grid's rows that do not fit the room they are drawn in: the run number
// between the racers, the start row across the row, every other cell in its column.
std::vector<std::string> cutTexts(const DragRuns& drag, const ui::DragGridWidget& grid) {
    const QFontMetrics metrics(grid.font());
    int row = 0;
    for (int c = 0; c < 4; ++c) row += grid.columnWidth(c);
    std::vector<std::string> cut;
    if (row > grid.viewport()->width()) cut.push_back("the row is wider than the grid");
    for (int r = 0; r < drag.dragGridRowCount(); ++r)
        for (int c = 0; c < 4; ++c) {
            const int kind = drag.dragGridCellStyle(c, r) & GRID_CELL_KIND_MASK;
            const int room = kind == GRID_CELL_START        ? row
                             : kind == GRID_CELL_RUN_NUMBER ? row - grid.columnWidth(0) - grid.columnWidth(3)
                                                            : grid.columnWidth(c);
            const std::string text = drag.dragGridCellText(c, r);
            // A right-aligned text ends one pixel inside its cell.
            if (metrics.horizontalAdvance(QString::fromStdString(text)) + 1 > room) cut.push_back(text);
        }
    return cut;
}

// How far short of the grid's visible right edge (the viewport's, beside the scroll bar)
// the painted rows end: their fills, lines and the right lane's right-aligned texts.
int paintedShortOfTheRightEdge(ui::DragGridWidget& grid) {
    const QImage image = grid.viewport()->grab().toImage();
    const QRgb empty = grid.palette().color(QPalette::Base).rgb();
    int right = 0;
    for (int x = image.width() - 1; x >= 0 && right == 0; --x)
        for (int y = 0; y < image.height() && right == 0; ++y)
            if (image.pixel(x, y) != empty) right = x + 1;
    return grid.viewport()->width() - right;
}

// A drag event from nothing on the official's 1280x800 screen: the console starts in the
// lap mode, the official picks "Drag". The window opens on the screen, the run grid's
// columns fill the grid's visible width (they once stopped 20 px short of it), and every
// row of a run shows whole: at start-up, at the window's smallest and on a wider screen.
TEST_F(MainWindowTest, RunGridShowsARunsRowsWholeAtAnyWindowSize) {
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
    ui::TMainForm& form = *ui::MainForm;
    form.show();
    form.modeItems[0]->trigger();
    longestRun(dragHost.reg, drag);
    QApplication::processEvents();
    const QRect screen = form.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1280, 800));
    EXPECT_TRUE(screen.contains(form.frameGeometry()));
    ui::DragGridWidget& grid = *form.DragStringGrid;
    EXPECT_GE(paintedShortOfTheRightEdge(grid), 0);
    EXPECT_LE(paintedShortOfTheRightEdge(grid), 4) << grid.width();
    EXPECT_EQ(cutTexts(drag, grid), std::vector<std::string>{});

    form.resize(form.minimumSize());
    QApplication::processEvents();
    EXPECT_GE(paintedShortOfTheRightEdge(grid), 0);
    EXPECT_LE(paintedShortOfTheRightEdge(grid), 4) << grid.width();
    EXPECT_EQ(cutTexts(drag, grid), std::vector<std::string>{}) << form.width();
    const int smallest = grid.width();

    form.resize(1900, 1000);
    QApplication::processEvents();
    EXPECT_GT(grid.width(), smallest);
    EXPECT_GE(paintedShortOfTheRightEdge(grid), 0);
    EXPECT_LE(paintedShortOfTheRightEdge(grid), 4) << grid.width();
    drag.dragRuns().clear();
}

// Where the main window opens: whole at the top left corner of a screen with room for it;
// on a smaller screen all of it, maximized, its minimum giving way.
TEST_F(MainWindowTest, MainWindowOpensWholeOrMaximized) {
    struct Case {
        QRect area;
        bool maximized;
    };
    for (const Case& c : {Case{QRect(0, 0, 1920, 1050), false}, Case{QRect(1920, 0, 1600, 870), false},
                          Case{QRect(0, 0, 1024, 740), true}}) {
        SCOPED_TRACE(c.area.width());
        QWidget window;
        window.setMinimumSize(1200, 650);
        window.resize(1024, 590);
        ui::openAtScreenOrigin(window, c.area);
        EXPECT_EQ(window.pos(), c.area.topLeft());
        EXPECT_EQ(window.isMaximized(), c.maximized);
        EXPECT_TRUE(c.area.contains(QRect(window.pos(), window.size())));
        if (!c.maximized) EXPECT_EQ(window.size(), QSize(1200, 650));
    }
}

// The window commands bring their window forward even when it is open already, behind
// the main window; a window opens inside the screen.
TEST_F(MainWindowTest, WindowCommandsBringTheirWindowForward) {
    ui::createConsoleWindows(commands, lap, console, ports, results, registry, desk, drag, link);
    ui::TMainForm& form = *ui::MainForm;
    form.show();
    const QRect screen = form.screen()->availableGeometry();
    const std::vector<std::pair<QAction*, QWidget*>> commandsAndWindows = {{form.mResults, ui::RallyResults},
                                                                           {form.N7, ui::scanChannelsForm},
                                                                           {form.mLogWindow, ui::LogWindow},
                                                                           {form.mHitLogWindow, ui::HitLog},
                                                                           {form.N23, ui::startTimerForm}};
    for (const auto& [command, window] : commandsAndWindows) {
        SCOPED_TRACE(command->text().toStdString());
        command->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(screen.contains(window->frameGeometry()));
        // The official goes back to the main window; the command again brings the window up.
        form.activateWindow();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), &form);
        command->trigger();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activeWindow(), window);
    }
}

// A window opens inside the screen: centred when new, moved in when shown before partly
// outside it, and no larger than the screen.
TEST(WindowPlacement, WindowsOpenInsideTheScreen) {
    app();
    const QRect laptop(0, 0, 1280, 800);
    QWidget results;
    results.resize(985, 571);
    ui::keepInsideScreen(results, laptop);
    EXPECT_TRUE(laptop.contains(results.frameGeometry()));
    EXPECT_LE(std::abs(results.geometry().center().x() - laptop.center().x()), 16); // a frame not known yet
    results.show();
    results.hide();
    results.move(900, 600); // the official left it mostly off the screen
    ui::keepInsideScreen(results, laptop);
    EXPECT_TRUE(laptop.contains(QRect(results.pos(), results.frameGeometry().size())));

    QWidget wide;
    wide.resize(1500, 900);
    ui::keepInsideScreen(wide, laptop);
    EXPECT_TRUE(laptop.contains(QRect(wide.pos(), wide.size() + QSize(16, 40))));
}

} // namespace
} // namespace velmaro::test
