#pragma once
// The main window: the race official's console. It shows the Console (core/app) given
// to its constructor and routes the four messages posted by the node link, the results
// threads and the two closed libraries to their handlers on the main thread.
//
// What its controls do is reached through MainFormCommands (the window side) and
// ConsolePorts (the core side), both given to the constructor and implemented by the
// composition root; the lap grid works on the lap timing given to the constructor. None
// of them is owned; each outlives the window. The node panels ("Система") and the start light tree are placed by the link
// area into `systemPanelHost` and `startLightsHost`.
#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>

#include "core/app/console_view.h"
#include "core/lap/lap_grid.h"
#include "core/platform/operator.h"
#include "core/start/start_sequence.h"
#include "ui/drag/drag_grid_widget.h"
#include "ui/lap/lap_grid_panel.h"

class QAction;
class QActionGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QVBoxLayout;
class QToolButton;

namespace velmaro {
class Console;
class ConsolePorts;
} // namespace velmaro

namespace velmaro::ui {

// What the window's menu items, buttons and timers do beyond showing the console's
// state. Every operation is pure virtual: the composition root implements them all, so
// a control left unconnected does not compile.
class MainFormCommands {
public:
    MainFormCommands() = default;
    MainFormCommands(const MainFormCommands&) = delete;
    MainFormCommands& operator=(const MainFormCommands&) = delete;
    virtual ~MainFormCommands() = default;

    virtual void printBracket() = 0; // mPrint "Печать сетки"
    virtual void raceReport() = 0;   // N16 "Отчет по парным"
    virtual void undelete() = 0;     // mUndelete "Отменить удаление"
    virtual void deleteAll() = 0;    // N8 "Удалить все"
    virtual void classSplit() = 0;   // N12 "Разбить на классы"
    virtual void resultsXls() = 0;   // XLS1 "Итоги XLS"
    virtual void registration() = 0; // mRegister "Регистрация...": the window, then the event reload
    virtual void copyToScoreboardSettings() = 0; // showLogo and brightness into the scoreboard settings
    // START; `modifiers` (StartModifier bits) of the click that pressed it, 0 for every
    // other press (keys, remote signals, the interval start timer).
    virtual void start(int modifiers) = 0;            // startbuttonClick
    virtual void next() = 0;                          // bNextDragClick
    virtual void blockStart() = 0;                    // bBlockStClick
    virtual void resetScoreboards(int modifiers) = 0; // sSpeedButton1Click (modifiers as for start)
    // A key of the main window or one of its controls (FormKeyDown): true when it acted,
    // and the key is then used up.
    virtual bool startKey(StartKey key, bool ctrl) = 0;
    virtual void brightness(int position) = 0; // sBrightnessChange (track bar position)
    virtual void setPenalty() = 0;             // sbSetPenalty "ШТРАФ"
    virtual void deleteItem() = 0;             // SpeedButton1 "УДАЛИТЬ"
    virtual void printTimeslip(int lane) = 0;  // sbPrintLeft 0, sbPrintRight 1, sbPrintBoth -1
    virtual void search(int direction) = 0;    // bSearchPrev -1, bSearchNext 1
    virtual void generateBracket() = 0;        // sbGenerateBracket
    virtual void sysTimer() = 0;               // SysTimer, 10 ms
    virtual void secondTimer() = 0;            // _1SecTimer, 1 s
    // The console's start-up and shut-down, at the window's moments: its creation handler
    // (FormCreate), every showing, and its closing (the window's timers have stopped).
    virtual void windowCreated() = 0;
    virtual void windowShown() = 0;
    virtual void windowClosing() = 0;
    virtual void closed() = 0; // after the console has shut down (ends the program)
};

class TMainForm : public QMainWindow, public ConsoleView, public LapGridPort {
    Q_OBJECT
public:
    // The menu's questions (new event, the speed trap distance) go to `op`, which, like
    // the commands, the lap timing, the console, the ports and the two-lane runs `drag`,
    // outlives the window.
    TMainForm(MainFormCommands& commands, LapTiming& lap, Console& console, ConsolePorts& ports, Operator& op,
              DragRuns& drag, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The creation handler (commands.windowCreated, then the timers); called once, right
    // after construction.
    void FormCreate();

    // ConsoleView
    void setCaption(const std::string& caption) override;
    void showMode(unsigned mode) override;
    void settingsChanged(bool arrangePrintButtons) override;

    // Window steps of the start-up (the composition root runs them in its order):
    // fonts, header texts and column widths of SingleLaneGrid and DragStringGrid;
    void setupGrids();
    // the left and top edge of the first monitor;
    void moveToScreenOrigin();
    // after every showing: focus SingleLaneGrid (single-lane modes), copy ShowLogo and
    // the brightness into the scoreboard settings dialog.
    void afterShow();

    // LapGridPort: the racer-number prompt flag and the "Правка" items of the run grid.
    void setEditingNumber(bool editing) override;
    void undeleteRuns() override;
    void deleteAllRuns() override;

    // Handles one of the four messages on the main thread; nothing once closing began.
    void dispatchMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool closing() const { return closing_; }

    MainFormCommands& commands;
    Operator& op;
    LapTiming& lapTiming;
    Console& console;
    ConsolePorts& ports;
    DragRuns& dragRuns;

    // Published components other areas work with.
    QTabWidget* DragPageControl = nullptr;
    QWidget* DragQualify = nullptr; // page 0 "Заезды"
    DragGridWidget* DragStringGrid = nullptr;
    LapGridPanel* SingleLanePanel = nullptr; // the lap grid with the on-course list
    LapEventGrid* SingleLaneGrid = nullptr;  // = SingleLanePanel->SingleLaneGrid
    OnCourseList* lvChannel = nullptr;       // = SingleLanePanel->lvChannel
    QComboBox* cbBracketType = nullptr;
    QComboBox* cbGenerationMethod = nullptr;
    QLineEdit* eSearchText = nullptr;
    QPushButton* bSearchPrev = nullptr;
    QPushButton* bSearchNext = nullptr;
    QLabel* lNumAtStart = nullptr;
    QGroupBox* rgModeSelect = nullptr;
    std::array<QRadioButton*, 3> rgModeItems{}; // "Квалификация", "Тренировка", "Финал"
    QPushButton* startbutton = nullptr;
    QPushButton* bNextDrag = nullptr;
    QToolButton* bBlockSt = nullptr;
    QPushButton* sSpeedButton1 = nullptr;
    QSlider* sBrightness = nullptr;
    QLabel* StartSignalLed = nullptr;
    QToolButton* sbSetPenalty = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* sbPrintLeft = nullptr;
    QToolButton* sbPrintRight = nullptr;
    QToolButton* sbPrintBoth = nullptr;
    QToolButton* sbGenerateBracket = nullptr;
    QLineEdit* eCntOnLane = nullptr;    // hidden, "0"
    QWidget* systemPanelHost = nullptr; // the link area's "Система" box goes here
    QWidget* startLightsHost = nullptr; // the link area's start light tree goes here
    QTimer* SysTimer = nullptr;
    QTimer* _1SecTimer = nullptr;

    // Menu items.
    QAction* mNewEvent = nullptr;
    QAction* mOpenEvent = nullptr;
    QAction* mPrint = nullptr;
    QAction* N16 = nullptr;
    QAction* mExit = nullptr;
    QAction* mUndelete = nullptr;
    QAction* N8 = nullptr;
    std::array<QAction*, 9> modeItems{}; // by mode number: mDragMode ... mLapDoubleGate2
    QAction* mCommonStartSignal = nullptr;
    QAction* mProStartSignal = nullptr;
    QAction* mAutoStart = nullptr;
    QAction* mBlockTimeout = nullptr;
    QAction* mInvertScoreboard = nullptr;
    QAction* menuSpeedTrapDist = nullptr;
    QAction* N23 = nullptr;
    QAction* mRegister = nullptr;
    QAction* mResults = nullptr;
    QAction* XLS1 = nullptr;
    QAction* mRefreshClasses = nullptr;
    QAction* N12 = nullptr;
    QAction* N9 = nullptr;
    QAction* mPrintBoth = nullptr;
    QAction* mLogWindow = nullptr;
    QAction* mHitLogWindow = nullptr;
    QAction* N7 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    QVBoxLayout* buildPageColumn(QWidget* central);
    void buildStartLights(QWidget* right, QVBoxLayout* side);
    void buildStartControls(QWidget* right, QVBoxLayout* side);
    void buildSearchRow(QWidget* right, QVBoxLayout* side);
    void buildGridCommands(QWidget* right, QVBoxLayout* side);
    void buildBracketOptions(QWidget* right, QVBoxLayout* side);
    void buildTimers();
    void arrangePrintButtons();
    void mBlockTimeoutClick();
    void mOpenEventClick();
    void mRegisterClick();

    bool closing_ = false;
    bool applyingSettings_ = false;
};

extern TMainForm* MainForm;

} // namespace velmaro::ui
