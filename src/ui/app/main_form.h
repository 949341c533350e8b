#pragma once
// The main window: the race official's console. It shows theConsole() (core/app) and
// routes the four messages posted by the node link, the results threads and the two
// closed libraries to their handlers on the main thread.
//
// Behaviour of later areas is reached through `hooks` (MainFormHooks, the window-side
// menu and button handlers) and theConsole().hooks (the core side). An empty hook does
// nothing. The node panels ("Система") and the start light tree are placed by the link
// area into `systemPanelHost` and `startLightsHost`.
#include <QImage>
#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>

#include "core/app/lifecycle.h"
#include "core/lap/lap_grid.h"
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
class QToolButton;

namespace velmaro::ui {

// Window-side handlers of later areas. Each is called from the menu item or button
// named beside it; an empty one leaves the control without effect.
struct MainFormHooks {
    std::function<void()> printBracket;        // mPrint "Печать сетки"
    std::function<void()> raceReport;          // N16 "Отчет по парным"
    std::function<void()> undelete;            // mUndelete "Отменить удаление"
    std::function<void()> deleteAll;           // N8 "Удалить все"
    std::function<void()> classSplit;          // N12 "Разбить на классы"
    std::function<void()> resultsXls;          // XLS1 "Итоги XLS"
    std::function<void()> afterRegistration;   // repaint DragStringGrid after the event reload
    std::function<void()> copyToScoreboardSettings; // showLogo and brightness into fScoreboardConfig
    std::function<void()> start;               // startbuttonClick
    std::function<void()> next;                // bNextDragClick
    std::function<void()> blockStart;          // bBlockStClick
    std::function<void()> resetScoreboards;    // sSpeedButton1Click
    std::function<void(int)> brightness;       // sBrightnessChange (track bar position)
    std::function<void()> setPenalty;          // sbSetPenalty "ШТРАФ"
    std::function<void()> deleteItem;          // SpeedButton1 "УДАЛИТЬ"
    std::function<void(int)> printTimeslip;    // sbPrintLeft 0, sbPrintRight 1, sbPrintBoth -1
    std::function<void(int)> search;           // bSearchPrev -1, bSearchNext 1
    std::function<void()> generateBracket;     // sbGenerateBracket
    std::function<void(int)> pageChanged;      // DragPageControl page change
    std::function<void()> sysTimer;            // SysTimer, 10 ms
    std::function<void()> secondTimer;         // _1SecTimer, 1 s
    std::function<void()> resultsTimer;        // ResultsTimer, 500 ms one-shot
};

class TMainForm : public QMainWindow, public ConsoleLifecycleView, public LapGridPort {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The creation handler (createConsole); called once, right after construction.
    void FormCreate();

    // ConsoleLifecycleView
    void setCaption(const std::string& caption) override;
    void showMode(unsigned mode) override;
    void settingsChanged(bool arrangePrintButtons) override;
    void bindNodePanels() override;
    void setupGrids() override;
    void moveToScreenOrigin() override;
    void afterShow() override;

    // LapGridPort: the racer-number prompt flag and the "Правка" items of the run grid.
    void setEditingNumber(bool editing) override;
    void undeleteRuns() override;
    void deleteAllRuns() override;

    // Handles one of the four messages on the main thread; nothing once closing began.
    void dispatchMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool closing() const { return closing_; }

    // printlogo.bmp of the program folder, loaded at construction; width 0 when it is
    // missing or unreadable (printouts then print no logo).
    QImage printLogo;

    MainFormHooks hooks;
    std::function<void()> onBindNodePanels; // the link area binds TMainForm::nodeViews here
    std::function<void()> onClosed;         // after the console has shut down (ends the program)

    // Published components other areas work with.
    QTabWidget* DragPageControl = nullptr;
    QWidget* DragQualify = nullptr; // page 0 "Заезды"
    QTableWidget* DragStringGrid = nullptr;
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
    QLineEdit* eCntOnLane = nullptr; // hidden, "0"
    QWidget* systemPanelHost = nullptr;  // the link area's "Система" box goes here
    QWidget* startLightsHost = nullptr;  // the link area's start light tree goes here
    QTimer* SysTimer = nullptr;
    QTimer* _1SecTimer = nullptr;
    QTimer* ResultsTimer = nullptr;

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
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    void arrangePrintButtons();
    void sizeDragColumns();
    void mBlockTimeoutClick();
    void mOpenEventClick();
    void mRegisterClick();

    bool closing_ = false;
    bool applyingSettings_ = false;
};

extern TMainForm* MainForm;

} // namespace velmaro::ui
