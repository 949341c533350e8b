#include "ui/app/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "core/app/console.h"
#include "core/app/console_ports.h"
#include "core/app/events.h"
#include "core/app/lifecycle.h"
#include "core/app/settings.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_file.h"
#include "core/platform/timing_mode.h"
#include "ui/app/small_dialogs.h"
#include "ui/lap/lap_grid_panel.h"
#include "ui/link/channel_scan_dialog.h"
#include "ui/link/hit_log_window.h"
#include "ui/link/scoreboard_settings_dialog.h"
#include "ui/platform/window_placement.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro::ui {

TMainForm* MainForm = nullptr;

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

// Mode menu items in menu order, with their mode and caption.
struct ModeItem {
    TimingMode mode;
    const char* name;
    const char* caption;
};
constexpr ModeItem kModeItems[] = {
    {TimingMode::DragRacing, "mDragMode", "Drag"},
    {TimingMode::LapOneGate, "mLapSingleGate", "Круг 1 створ (TA)"},
    {TimingMode::Gymkhana, "mGymkhana", "Джимхана"},
    {TimingMode::ParallelRace, "mLapDoubleGate", "Параллельный заезд"},
    {TimingMode::ParallelRace2, "mLapDoubleGate2", "Параллельный заезд 2"},
    {TimingMode::LapCrossover, "mLapDoubleGatesCross", "Круг 2 створа с переходом (СКГ)"},
    {TimingMode::LapHeadOnStart, "mLapDoubleCrossBefore", "Круг 2 створа/встречный старт"},
    {TimingMode::StartFinish, "mStartFinDoubleGates", "Cтарт-финиш 2 створа"}, // the first letter is a Latin C
    {TimingMode::RollerSlalom, "mRollers", "Роллер-Слалом"},
};

// The Shift/Alt/Ctrl state of the input event being handled, as StartModifier bits.
int clickModifiers() {
    const Qt::KeyboardModifiers m = QGuiApplication::keyboardModifiers();
    int bits = 0;
    if (m & Qt::ShiftModifier) bits |= START_MOD_SHIFT;
    if (m & Qt::AltModifier) bits |= START_MOD_ALT;
    if (m & Qt::ControlModifier) bits |= START_MOD_CTRL;
    return bits;
}

// The window's design minimum width; wider when a run's rows need more.
constexpr int kDesignMinimumWidth = 1024;

QToolButton* toolButton(QWidget* parent, const char* name, const char* text) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(u(text));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setMinimumHeight(28);
    return b;
}

} // namespace

TMainForm::TMainForm(MainFormCommands& commands_, LapTiming& lap, Console& console_, ConsolePorts& ports_,
                     Operator& op_, DragRuns& drag, QWidget* parent)
    : QMainWindow(parent), commands(commands_), op(op_), lapTiming(lap), console(console_), ports(ports_),
      dragRuns(drag) {
    setObjectName("MainForm");
    setWindowTitle("Velmaro v3.6");
    QFont font(u("Tahoma"));
    font.setPointSize(9);
    setFont(font);
    setMinimumWidth(kDesignMinimumWidth);
    resize(kDesignMinimumWidth, 566 + 24);
    constructConsole(console);
    Console& c = console;
    c.view = this;
    // Posts arrive from any thread; each is handled later on the main thread.
    c.mainWindow.attach([this](unsigned m, std::uintptr_t w, std::intptr_t l) {
        QMetaObject::invokeMethod(
            this, [this, m, w, l] { dispatchMessage(m, w, l); }, Qt::QueuedConnection);
    });
    buildMenus();
    buildControls();
    // The window previews the keys of all its controls (FormKeyDown).
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    Console& c = console;
    c.mainWindow.detach();
    if (c.view == this) c.view = nullptr;
}

void TMainForm::FormCreate() {
    commands.windowCreated();
    SysTimer->start();
    _1SecTimer->start();
}

void TMainForm::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto item = [this](QMenu* menu, QAction*& field, const char* name, const char* caption) {
        field = menu->addAction(u(caption));
        field->setObjectName(name);
        return field;
    };

    QMenu* file = bar->addMenu(u("Файл"));
    connect(item(file, mNewEvent, "mNewEvent", "Новое мероприятие"), &QAction::triggered, this,
            [this] { newEvent(console, ports, op); });
    connect(item(file, mOpenEvent, "mOpenEvent", "Открыть мероприятие"), &QAction::triggered, this,
            [this] { mOpenEventClick(); });
    connect(item(file, mPrint, "mPrint", "Печать сетки"), &QAction::triggered, this,
            [this] { this->commands.printBracket(); });
    connect(item(file, N16, "N16", "Отчет по парным"), &QAction::triggered, this,
            [this] { this->commands.raceReport(); });
    file->addSeparator();
    connect(item(file, mExit, "mExit", "Выход"), &QAction::triggered, this, [this] { close(); });

    QMenu* edit = bar->addMenu(u("Правка"));
    connect(item(edit, mUndelete, "mUndelete", "Отменить удаление"), &QAction::triggered, this,
            [this] { this->commands.undelete(); });
    connect(item(edit, N8, "N8", "Удалить все"), &QAction::triggered, this, [this] { this->commands.deleteAll(); });

    QMenu* mode = bar->addMenu(u("Режим"));
    auto* modes = new QActionGroup(this);
    modes->setExclusive(true);
    for (const auto& m : kModeItems) {
        QAction* a = item(mode, modeItems[timingModeNumber(m.mode)], m.name, m.caption);
        a->setCheckable(true);
        modes->addAction(a);
        unsigned value = timingModeNumber(m.mode);
        connect(a, &QAction::triggered, this, [this, value] { selectMode(console, ports, value); });
    }
    mode->addSeparator();
    auto* startSignal = new QActionGroup(this);
    item(mode, mCommonStartSignal, "mCommonStartSignal", "Традиционный светофор")->setCheckable(true);
    item(mode, mProStartSignal, "mProStartSignal", "Светофор PRO Start")->setCheckable(true);
    startSignal->addAction(mCommonStartSignal);
    startSignal->addAction(mProStartSignal);
    mCommonStartSignal->setChecked(true);
    connect(mCommonStartSignal, &QAction::triggered, this, [this] {
        console.proStart = false;
        saveSettings(console, ports);
    });
    connect(mProStartSignal, &QAction::triggered, this, [this] {
        console.proStart = true;
        saveSettings(console, ports);
    });
    item(mode, mAutoStart, "mAutoStart", "Автостарт")->setCheckable(true);
    connect(mAutoStart, &QAction::triggered, this, [this](bool on) {
        console.autoStart = on;
        saveSettings(console, ports);
    });
    connect(item(mode, mBlockTimeout, "mBlockTimeout", "Блокировка детектора (таймаут отсечки)"), &QAction::triggered,
            this, [this] { mBlockTimeoutClick(); });
    item(mode, mInvertScoreboard, "mInvertScoreboard", "Развернуть табло")->setCheckable(true);
    connect(mInvertScoreboard, &QAction::triggered, this, [this](bool on) {
        console.invertScoreboard = on ? 1 : 0;
        saveSettings(console, ports);
        ports.resendRunToScoreboards();
    });
    connect(item(mode, menuSpeedTrapDist, "menuSpeedTrapDist", "Дистанция до датчика скорости"), &QAction::triggered,
            this, [this] { askSpeedTrapDistance(console, ports, op); });
    connect(item(mode, N23, "N23", "Таймер старта"), &QAction::triggered, this, [] {
        if (startTimerForm) bringWindowForward(*startTimerForm);
    });

    QMenu* racers = bar->addMenu(u("Участники"));
    connect(item(racers, mRegister, "mRegister", "Регистрация..."), &QAction::triggered, this,
            [this] { mRegisterClick(); });
    connect(item(racers, mResults, "mResults", "Итоги"), &QAction::triggered, this, [] {
        if (RallyResults) bringWindowForward(*RallyResults);
    });
    connect(item(racers, XLS1, "XLS1", "Итоги XLS"), &QAction::triggered, this,
            [this] { this->commands.resultsXls(); });
    connect(item(racers, mRefreshClasses, "mRefreshClasses", "Обновить классы"), &QAction::triggered, this,
            [this] { refreshClasses(console, ports); });
    connect(item(racers, N12, "N12", "Разбить на классы"), &QAction::triggered, this,
            [this] { this->commands.classSplit(); });

    QMenu* settings = bar->addMenu(u("Настройки"));
    connect(item(settings, N9, "N9", "Табло"), &QAction::triggered, this, [] {
        if (fScoreboardConfig) fScoreboardConfig->exec();
    });
    item(settings, mPrintBoth, "mPrintBoth", "Печать двух полос")->setCheckable(true);
    connect(mPrintBoth, &QAction::triggered, this, [this](bool on) {
        console.printBoth = on;
        arrangePrintButtons();
        saveSettings(console, ports);
    });

    QMenu* window = bar->addMenu(u("Окно"));
    connect(item(window, mLogWindow, "mLogWindow", "Журнал"), &QAction::triggered, this, [] {
        if (LogWindow) bringWindowForward(*LogWindow);
    });
    connect(item(window, mHitLogWindow, "mHitLogWindow", "Срабатывания"), &QAction::triggered, this, [] {
        if (HitLog) bringWindowForward(*HitLog);
    });
    connect(item(window, N7, "N7", "Каналы"), &QAction::triggered, this, [] {
        if (scanChannelsForm) bringWindowForward(*scanChannelsForm);
    });
}

void TMainForm::buildControls() {
    auto* central = new QWidget(this);
    auto* root = new QHBoxLayout(central);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(6);
    root->addLayout(buildPageColumn(central), 1);

    // Right: start controls, search, grid commands, bracket options.
    auto* right = new QWidget(central);
    right->setFixedWidth(250);
    auto* side = new QVBoxLayout(right);
    side->setContentsMargins(0, 0, 0, 0);
    buildStartLights(right, side);
    buildStartControls(right, side);
    buildSearchRow(right, side);
    buildGridCommands(right, side);
    buildBracketOptions(right, side);
    side->addStretch(1);

    eCntOnLane = new QLineEdit("0", right);
    eCntOnLane->setObjectName("eCntOnLane");
    eCntOnLane->hide();
    root->addWidget(right);
    setCentralWidget(central);

    buildTimers();
    arrangePrintButtons();
}

// Left: the page control above the node panels.
QVBoxLayout* TMainForm::buildPageColumn(QWidget* central) {
    auto* left = new QVBoxLayout;
    DragPageControl = new QTabWidget(central);
    DragPageControl->setObjectName("DragPageControl");
    DragQualify = new QWidget;
    DragQualify->setObjectName("DragQualify");
    auto* page = new QVBoxLayout(DragQualify);
    page->setContentsMargins(0, 0, 0, 0);
    DragStringGrid = new DragGridWidget(dragRuns, DragQualify);
    page->addWidget(DragStringGrid);

    SingleLanePanel = new LapGridPanel(lapTiming, *this, DragQualify);
    SingleLaneGrid = SingleLanePanel->SingleLaneGrid;
    lvChannel = SingleLanePanel->lvChannel;
    page->addWidget(SingleLanePanel);
    SingleLanePanel->hide();
    DragPageControl->addTab(DragQualify, u("Заезды"));
    left->addWidget(DragPageControl, 1);

    systemPanelHost = new QWidget(central);
    systemPanelHost->setObjectName("systemPanelHost");
    systemPanelHost->setMinimumHeight(130);
    auto* systemLayout = new QHBoxLayout(systemPanelHost);
    systemLayout->setContentsMargins(0, 0, 0, 0);
    left->addWidget(systemPanelHost);
    return left;
}

// The start lights, the start signal and its brightness, and the racer at the start.
void TMainForm::buildStartLights(QWidget* right, QVBoxLayout* side) {
    auto* lights = new QHBoxLayout;
    startLightsHost = new QWidget(right);
    startLightsHost->setObjectName("startLightsHost");
    startLightsHost->setMinimumSize(120, 150);
    auto* lightsLayout = new QHBoxLayout(startLightsHost);
    lightsLayout->setContentsMargins(0, 0, 0, 0);
    lights->addWidget(startLightsHost, 1);
    auto* signalColumn = new QVBoxLayout;
    StartSignalLed = new QLabel(right);
    StartSignalLed->setObjectName("StartSignalLed");
    StartSignalLed->setFixedSize(22, 22);
    StartSignalLed->setStyleSheet("background: #404040; border-radius: 11px;");
    signalColumn->addWidget(StartSignalLed, 0, Qt::AlignHCenter);
    sBrightness = new QSlider(Qt::Vertical, right);
    sBrightness->setObjectName("sBrightness");
    sBrightness->setRange(1, 20);
    sBrightness->setInvertedAppearance(true);
    connect(sBrightness, &QSlider::valueChanged, this, [this](int v) { commands.brightness(v); });
    signalColumn->addWidget(sBrightness, 1, Qt::AlignHCenter);
    lights->addLayout(signalColumn);
    side->addLayout(lights);

    auto* atStart = new QHBoxLayout;
    atStart->addWidget(new QLabel(u("На старте:"), right));
    lNumAtStart = new QLabel("--", right);
    lNumAtStart->setObjectName("lNumAtStart");
    QFont big = lNumAtStart->font();
    big.setPointSize(14);
    big.setBold(true);
    lNumAtStart->setFont(big);
    atStart->addWidget(lNumAtStart, 1);
    side->addLayout(atStart);
}

// The run mode and the start buttons.
void TMainForm::buildStartControls(QWidget* right, QVBoxLayout* side) {
    rgModeSelect = new QGroupBox(right);
    rgModeSelect->setObjectName("rgModeSelect");
    auto* modeLayout = new QVBoxLayout(rgModeSelect);
    modeLayout->setContentsMargins(4, 2, 4, 2);
    const char* runModes[] = {"Квалификация", "Тренировка", "Финал"};
    for (int i = 0; i < 3; ++i) {
        rgModeItems[i] = new QRadioButton(u(runModes[i]), rgModeSelect);
        modeLayout->addWidget(rgModeItems[i]);
    }
    rgModeItems[0]->setChecked(true);
    side->addWidget(rgModeSelect);

    startbutton = new QPushButton(u("СТАРТ"), right);
    startbutton->setObjectName("startbutton");
    startbutton->setMinimumHeight(48);
    QFont startFont = startbutton->font();
    startFont.setPointSize(14);
    startFont.setBold(true);
    startbutton->setFont(startFont);
    connect(startbutton, &QPushButton::clicked, this, [this] { this->commands.start(clickModifiers()); });
    side->addWidget(startbutton);
    auto* nextRow = new QHBoxLayout;
    bNextDrag = new QPushButton(u("СЛЕД. СТАРТ"), right);
    bNextDrag->setObjectName("bNextDrag");
    bNextDrag->setMinimumHeight(32);
    connect(bNextDrag, &QPushButton::clicked, this, [this] { this->commands.next(); });
    nextRow->addWidget(bNextDrag, 2);
    bBlockSt = new QToolButton(right);
    bBlockSt->setObjectName("bBlockSt");
    bBlockSt->setText("Block ST");
    bBlockSt->setCheckable(true);
    bBlockSt->setMinimumHeight(32);
    connect(bBlockSt, &QToolButton::clicked, this, [this] { this->commands.blockStart(); });
    nextRow->addWidget(bBlockSt, 1);
    side->addLayout(nextRow);
    sSpeedButton1 = new QPushButton(u("Сброс табло"), right);
    sSpeedButton1->setObjectName("sSpeedButton1");
    connect(sSpeedButton1, &QPushButton::clicked, this, [this] { this->commands.resetScoreboards(clickModifiers()); });
    side->addWidget(sSpeedButton1);
}

void TMainForm::buildSearchRow(QWidget* right, QVBoxLayout* side) {
    auto* search = new QHBoxLayout;
    eSearchText = new QLineEdit(right);
    eSearchText->setObjectName("eSearchText");
    eSearchText->setPlaceholderText(u("Номер"));
    bSearchPrev = new QPushButton("<", right);
    bSearchPrev->setObjectName("bSearchPrev");
    bSearchNext = new QPushButton(">", right);
    bSearchNext->setObjectName("bSearchNext");
    for (auto* b : {bSearchPrev, bSearchNext}) b->setFixedWidth(32);
    connect(bSearchPrev, &QPushButton::clicked, this, [this] { commands.search(-1); });
    connect(bSearchNext, &QPushButton::clicked, this, [this] { commands.search(1); });
    search->addWidget(eSearchText, 1);
    search->addWidget(bSearchPrev);
    search->addWidget(bSearchNext);
    side->addLayout(search);
}

// Penalty and delete, and the timeslip prints.
void TMainForm::buildGridCommands(QWidget* right, QVBoxLayout* side) {
    auto* commandRow = new QHBoxLayout;
    sbSetPenalty = toolButton(right, "sbSetPenalty", "ШТРАФ");
    SpeedButton1 = toolButton(right, "SpeedButton1", "УДАЛИТЬ");
    connect(sbSetPenalty, &QToolButton::clicked, this, [this] { this->commands.setPenalty(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { this->commands.deleteItem(); });
    commandRow->addWidget(sbSetPenalty);
    commandRow->addWidget(SpeedButton1);
    side->addLayout(commandRow);
    auto* prints = new QHBoxLayout;
    sbPrintLeft = toolButton(right, "sbPrintLeft", "ЧЕК Л");
    sbPrintRight = toolButton(right, "sbPrintRight", "ЧЕК П");
    sbPrintBoth = toolButton(right, "sbPrintBoth", "ЧЕК");
    connect(sbPrintLeft, &QToolButton::clicked, this, [this] { commands.printTimeslip(0); });
    connect(sbPrintRight, &QToolButton::clicked, this, [this] { commands.printTimeslip(1); });
    connect(sbPrintBoth, &QToolButton::clicked, this, [this] { commands.printTimeslip(-1); });
    prints->addWidget(sbPrintLeft);
    prints->addWidget(sbPrintRight);
    prints->addWidget(sbPrintBoth);
    side->addLayout(prints);
}

// The bracket type, the way a bracket is made and the button that makes it.
void TMainForm::buildBracketOptions(QWidget* right, QVBoxLayout* side) {
    side->addWidget(new QLabel(u("Вариант финальной сетки"), right));
    cbBracketType = new QComboBox(right);
    cbBracketType->setObjectName("cbBracketType");
    for (const std::string& t : bracketTypeCaptions()) cbBracketType->addItem(QString::fromStdString(t));
    cbBracketType->setCurrentIndex(-1);
    side->addWidget(cbBracketType);
    side->addWidget(new QLabel(u("Способ формирования сетки"), right));
    auto* genRow = new QHBoxLayout;
    cbGenerationMethod = new QComboBox(right);
    cbGenerationMethod->setObjectName("cbGenerationMethod");
    for (const char* t : {"Квалификация", "Жребий (случайный порядок)", "Вручную"}) cbGenerationMethod->addItem(u(t));
    cbGenerationMethod->setCurrentIndex(0);
    genRow->addWidget(cbGenerationMethod, 1);
    sbGenerateBracket = toolButton(right, "sbGenerateBracket", "Создать\nсетку");
    sbGenerateBracket->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    sbGenerateBracket->setMinimumHeight(40);
    connect(sbGenerateBracket, &QToolButton::clicked, this, [this] { this->commands.generateBracket(); });
    side->addLayout(genRow);
    side->addWidget(sbGenerateBracket, 0, Qt::AlignRight);
    connect(cbBracketType, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (applyingSettings_) return;
        console.bracketType = index;
        saveSettings(console, ports);
    });
    connect(cbGenerationMethod, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (applyingSettings_) return;
        console.bracketGenMethod = index;
        saveSettings(console, ports);
    });
}

void TMainForm::buildTimers() {
    SysTimer = new QTimer(this);
    SysTimer->setObjectName("SysTimer");
    SysTimer->setInterval(10);
    connect(SysTimer, &QTimer::timeout, this, [this] { this->commands.sysTimer(); });
    _1SecTimer = new QTimer(this);
    _1SecTimer->setObjectName("_1SecTimer");
    _1SecTimer->setInterval(1000);
    connect(_1SecTimer, &QTimer::timeout, this, [this] { this->commands.secondTimer(); });
}

void TMainForm::setCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TMainForm::showMode(unsigned mode) {
    if (mode >= modeItems.size()) return;
    modeItems[mode]->setChecked(true);
    bool single = isSingleLaneMode(mode);
    SingleLanePanel->setVisible(single);
    DragStringGrid->setVisible(!single);
}

void TMainForm::settingsChanged(bool arrange) {
    const Console& c = console;
    applyingSettings_ = true;
    (c.proStart ? mProStartSignal : mCommonStartSignal)->setChecked(true);
    mAutoStart->setChecked(c.autoStart);
    mPrintBoth->setChecked(c.printBoth);
    mInvertScoreboard->setChecked(c.invertScoreboard != 0);
    cbBracketType->setCurrentIndex(c.bracketType);
    cbGenerationMethod->setCurrentIndex(c.bracketGenMethod);
    menuSpeedTrapDist->setText(QString::fromStdString(speedTrapCaption(c)));
    applyingSettings_ = false;
    if (arrange) arrangePrintButtons();
}

void TMainForm::arrangePrintButtons() {
    bool both = mPrintBoth->isChecked();
    sbPrintBoth->setVisible(both);
    sbPrintLeft->setVisible(!both);
    sbPrintRight->setVisible(!both);
}

void TMainForm::setupGrids() {
    QFont gridFont(u("Tahoma"));
    gridFont.setPointSize(10);
    SingleLanePanel->SingleLaneGrid->setupColumns(gridFont);

    // The run grid's columns follow its width from now on; it is never narrower than a
    // run's rows, and the window's minimum follows from it.
    DragStringGrid->setFont(gridFont);
    DragStringGrid->setMinimumWidth(DragStringGrid->wholeRunWidth());
    setMinimumWidth(std::max(kDesignMinimumWidth, minimumSizeHint().width()));
}

void TMainForm::setEditingNumber(bool editing) { console.editingNumber = editing; }
void TMainForm::undeleteRuns() { dragRuns.undeleteRuns(); }
void TMainForm::deleteAllRuns() { dragRuns.deleteRunOrHit(1); }

void TMainForm::moveToScreenOrigin() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) openAtScreenOrigin(*this, screen->availableGeometry());
}

void TMainForm::afterShow() {
    if (isSingleLaneMode(console.raceMode)) SingleLaneGrid->setFocus();
    commands.copyToScoreboardSettings();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || closing_) return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only keys of this window: a dialog's Enter is the dialog's.
    if (!widget || widget->window() != this) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return QMainWindow::eventFilter(watched, event);
    std::optional<StartKey> k;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: k = StartKey::Enter; break;
    case Qt::Key_F4: k = StartKey::F4; break;
    case Qt::Key_F5: k = StartKey::F5; break;
    case Qt::Key_F8: k = StartKey::F8; break;
    case Qt::Key_F9: k = StartKey::F9; break;
    case Qt::Key_F12: k = StartKey::F12; break;
    default: break;
    }
    if (k && commands.startKey(*k, (key->modifiers() & Qt::ControlModifier) != 0)) return true;
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) commands.windowShown();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        SysTimer->stop();
        _1SecTimer->stop();
        commands.windowClosing();
        event->accept();
        QMainWindow::closeEvent(event);
        commands.closed();
        return;
    }
    event->accept();
    QMainWindow::closeEvent(event);
}

void TMainForm::dispatchMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (closing_) return; // its target may be gone
    ConsolePorts& p = ports;
    switch (message) {
    case WM_SCOREBOARD_EVENT: p.onScoreboardEvent(wParam, lParam); break;
    case WM_EXCHANGE_DATA: p.onExchangeData(wParam, lParam); break;
    default: break;
    }
}

void TMainForm::mBlockTimeoutClick() {
    if (!SetTimeoutsForm) return;
    TimeoutTexts texts = timeoutTexts(console);
    SetTimeoutsForm->lBlockTimeout->setText(QString::fromStdString(texts.repeat));
    SetTimeoutsForm->lDetectTimeout->setText(QString::fromStdString(texts.detector));
    SetTimeoutsForm->lBlockFinish->setText(QString::fromStdString(texts.blockFinish));
    if (SetTimeoutsForm->exec() != QDialog::Accepted) return;
    applyTimeoutTexts(console, ports,
                      {SetTimeoutsForm->lBlockTimeout->text().toStdString(),
                       SetTimeoutsForm->lDetectTimeout->text().toStdString(),
                       SetTimeoutsForm->lBlockFinish->text().toStdString()});
}

void TMainForm::mOpenEventClick() {
    QString root = QString::fromStdString(challengesFolder().string());
    QString folder = QFileDialog::getExistingDirectory(this, u("Открыть мероприятие"), root, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return;
    openEvent(console, ports, std::filesystem::path(folder.toStdString()), op);
}

void TMainForm::mRegisterClick() { commands.registration(); }

} // namespace velmaro::ui
