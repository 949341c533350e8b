#include "app/root/console_root.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <ctime>

#include "app/root/console_drag_host.h"
#include "app/root/lap_console_host.h"
#include "core/app/console.h"
#include "core/app/console_timers.h"
#include "core/app/events.h"
#include "core/app/lifecycle.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_hits.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "core/exchange/web_data_exchange.h"
#include "core/intake/hit_intake.h"
#include "core/intake/journal_replay.h"
#include "core/lap/lap_results_model.h"
#include "core/lap/lap_results_worker.h"
#include "core/lap/lap_timing.h"
#include "core/link/hit_journal.h"
#include "core/link/node_link.h"
#include "core/link/radio_scoreboard.h"
#include "core/link/system_interface.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/program_folder.h"
#include "core/platform/save_report.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/start/start_sequence.h"
#include "ui/app/console_application.h"
#include "ui/app/console_windows.h"
#include "ui/app/qt_operator.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/bracket_window_port.h"
#include "ui/bracket/form_final.h"
#include "ui/bracket/generate_bracket.h"
#include "ui/bracket/manual_bracket_order_dialog.h"
#include "ui/drag/drag_grid_widget.h"
#include "ui/drag/receipt_printing.h"
#include "ui/lap/lap_receipt.h"
#include "ui/link/channel_scan_dialog.h"
#include "ui/link/hit_log_window.h"
#include "ui/link/node_status_box.h"
#include "ui/link/scoreboard_settings_dialog.h"
#include "ui/link/start_light_tree.h"
#include "ui/link/system_event_adapter.h"
#include "ui/link/system_events.h"
#include "ui/platform/desktop_opener.h"
#include "ui/platform/queued_poster.h"
#include "ui/registration/reg_form.h"
#include "ui/registration/registration_host.h"
#include "ui/results/rally_results.h"

namespace velmaro {
namespace {

using ui::TMainForm;

QString u(const std::string& s) { return QString::fromStdString(s); }

// The system events see the start sequence's armed state; signal 9 presses START for the
// armed run, without modifiers.
class MainFormEventHost final : public ui::SystemEventHost {
public:
    MainFormEventHost(TMainForm& form, StartSequence& start, Console& console, const TRegistry& registry)
        : form_(form), start_(start), console_(console), registry_(registry) {}
    bool startArmed() override { return start_.armed(); }
    void setStartArmed(bool armed) override { start_.setArmed(armed); }
    void releaseBlockSt() override {
        const QSignalBlocker block(form_.bBlockSt);
        form_.bBlockSt->setChecked(false);
    }
    void pressStart() override { start_.startArmedRun(); }
    void showStartGiven() override {
        form_.StartSignalLed->setStyleSheet("background: #00c000; border-radius: 11px;");
        form_.StartSignalLed->repaint();
    }
    void setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& levels) override {
        if (ui::scanChannelsForm) ui::scanChannelsForm->setLevels(levels);
    }
    int racerNumberByTag(int tag) override { return static_cast<int>(registry_.racerNumberByTag(tag)); }
    unsigned raceMode() override { return console_.raceMode; }
    void setRacerAtStart(int number) override { console_.racerAtStart = number; }

private:
    TMainForm& form_;
    StartSequence& start_;
    Console& console_;
    const TRegistry& registry_;
};

// The hit intake joined to the console (timing mode, event folder), the registry (tags),
// the start controls and Block ST (remote signals 101 and 102), the scoreboard (102, 103)
// and the hit log window. Built with the root, before the windows: it reads the start
// controls, the main window and the link where the root keeps them, and while one does
// not exist its remote signal does nothing (no hit comes before the link starts).
class ConsoleHitIntakeHost final : public HitIntakeHost {
public:
    ConsoleHitIntakeHost(const std::unique_ptr<StartSequence>& start, ui::MainFormCommands& commands,
                         TMainForm* const& form, const std::unique_ptr<TSystemInterface>& link, Console& console,
                         const TRegistry& registry, Operator& op)
        : start_(start), commands_(commands), form_(form), link_(link), console_(console), registry_(registry),
          op_(op) {}
    int timingMode() override { return static_cast<int>(console_.raceMode); }
    std::filesystem::path eventFolder() override { return console_.eventFolder; }
    std::optional<TagRacer> findRacerByTag(int tag) override {
        const TRacerItem* racer = registry_.findRacerByTag(tag);
        if (!racer) return std::nullopt;
        return TagRacer{static_cast<int>(racer->number), racer->classIds.empty() ? -1 : racer->classIds.front()};
    }
    void remoteStart() override { // START without modifiers
        if (start_) start_->start(0);
    }
    void remoteBlock() override {
        if (TScoreboardController* sb = console_.scoreboard) sb->stopTiming();
        if (!form_) return;
        form_->bBlockSt->setChecked(true);
        commands_.blockStart();
    }
    void remoteReset() override {
        if (TScoreboardController* sb = console_.scoreboard) sb->reset(1);
    }
    void hitListChanged(std::size_t records) override {
        if (ui::HitLog) ui::HitLog->hitListChanged(records);
    }
    std::uint64_t utcNowMs() override { return systemUtcNowMs(); }
    void log(const std::string& line) override { op_.log(line); }
    void hitsTaken(const std::vector<TSignalHit>& hits) override {
        if (link_) link_->hitsTaken(hits);
    }
    void hitsWriting(const std::vector<JournalWrite>& writes) override {
        if (link_) link_->hitsWriting(writes);
    }
    Operator& op() override { return op_; }

private:
    const std::unique_ptr<StartSequence>& start_; // the root's; empty without the main window
    ui::MainFormCommands& commands_;
    TMainForm* const& form_;                        // the root's; null without the main window
    const std::unique_ptr<TSystemInterface>& link_; // the root's; empty while the link is down
    Console& console_;
    const TRegistry& registry_;
    Operator& op_;
};

// What the start controls need of the node link, the radio boards and the main window.
class MainFormStartPorts final : public StartPorts {
public:
    MainFormStartPorts(TMainForm& form, ui::MainFormCommands& commands, NodeLink& link)
        : form_(form), commands_(commands), link_(link) {}
    void sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux) override {
        link_.sendStartCommand(code, param, aux);
    }
    void sendStartSignalMode(std::uint16_t mode) override { link_.sendStartSignalMode(mode); }
    void armCommand37() override { link_.armCommand37(); }
    void armAutoStart(int leftRacer, int rightRacer, int code, int param, int aux) override {
        link_.armAutoStart(leftRacer, rightRacer, code, param, aux);
    }
    void sendStartUnitMode(std::uint16_t mode) override { link_.sendStartUnitMode(mode); }
    void clearDisplay(int lane) override { link_.clearDisplay(lane); }
    void sendLightBrightness(std::uint16_t value) override { link_.sendLightBrightness(value); }
    void sendCommand53() override { link_.sendCommand53(); }
    void resetRadioBoards() override { link_.radioResetBoards(); }
    void showRadioLogo() override { link_.radioShowLogo(); }
    int runModeItem() override {
        for (std::size_t i = 0; i < form_.rgModeItems.size(); ++i)
            if (form_.rgModeItems[i]->isChecked()) return static_cast<int>(i);
        return -1;
    }
    bool onRunsPage() override { return form_.DragPageControl->currentIndex() <= 0; }
    std::shared_ptr<TFinalBracket> pageBracket() override {
        auto* window = qobject_cast<TformFinal*>(form_.DragPageControl->currentWidget());
        return window ? window->bracket() : nullptr;
    }
    void showBlockSt(bool down) override {
        const QSignalBlocker block(form_.bBlockSt);
        form_.bBlockSt->setChecked(down);
    }
    void startLampRed() override {
        form_.StartSignalLed->setStyleSheet("background: #e00000; border-radius: 11px;");
        form_.StartSignalLed->repaint();
    }
    bool chooseLanes(const std::array<std::string, 2>& texts, int& swapped) override {
        return ui::SelectLanesForm && ui::SelectLanesForm->choose(texts, swapped);
    }
    void printTimeslip(int lane) override { commands_.printTimeslip(lane); }
    void pause(int ms) override { QThread::msleep(static_cast<unsigned long>(ms)); }

private:
    TMainForm& form_;
    ui::MainFormCommands& commands_;
    NodeLink& link_;
};

// The run grid and Block ST as the drag runs see them.
class MainFormDragView final : public DragGridView {
public:
    explicit MainFormDragView(TMainForm& form) : form_(form) {}
    bool blockStDown() const override { return form_.bBlockSt->isChecked(); }
    int gridRowCount() const override { return form_.DragStringGrid->rowCount(); }
    void setGridRowCount(int rows) override { form_.DragStringGrid->setRowCount(rows); }
    void gridCursorToLastRow() override {
        const int last = form_.DragStringGrid->rowCount() - 1;
        const int column = form_.DragStringGrid->currentColumn() < 0 ? 0 : form_.DragStringGrid->currentColumn();
        if (last >= 0) form_.DragStringGrid->setCurrentCell(last, column);
    }
    void repaintGrid() override { form_.DragStringGrid->viewport()->update(); }
    void refreshActivePage() override {
        if (QWidget* page = form_.DragPageControl->currentWidget()) page->update();
    }

private:
    TMainForm& form_;
};

// The lap timing's view of the main window. The lap results are built by the root's
// lap results worker, which never waits on the main thread.
//
// The lap timing is built before the windows (the main window's lap grid shows it), so
// this host reads the root's main window and worker where the root keeps them: while
// the main window does not exist (before the windows are made, after they are
// destroyed) the grid calls do nothing, and without a worker no rebuild is scheduled.
class MainFormLapHost final : public ConsoleLapHost {
public:
    MainFormLapHost(const Console& console, const HitIntake& intake, TRegistry& registry, TMainForm* const& form,
                    const std::unique_ptr<LapResultsWorker>& worker)
        : ConsoleLapHost(console, intake, registry), form_(form), worker_(worker) {}
    bool blockStDown() const override { return form_ && form_->bBlockSt->isChecked(); }
    int gridCurrentRow() const override { return form_ ? form_->SingleLanePanel->currentRow() : 0; }
    void setGridCurrentRow(int row) override {
        if (form_ && row >= 0 && row < form_->SingleLaneGrid->rowCount()) form_->SingleLanePanel->setCurrentRow(row);
    }
    void setGridRowCount(int rows) override {
        if (form_) form_->SingleLanePanel->setRowCount(rows);
    }
    void repaintGrid() override {
        if (form_) form_->SingleLanePanel->repaintGrid();
    }
    void setOnCourseListCount(int count) override {
        if (form_) form_->SingleLanePanel->setOnCourseCount(count);
    }
    bool resultsWindowExists() const override { return ui::RallyResults != nullptr; }
    // The ranking options are the results window's.
    bool clearTime() const override { return !ui::RallyResults || ui::RallyResults->timeOptions().clearTime; }
    bool sumTime() const override { return ui::RallyResults && ui::RallyResults->timeOptions().sumTime; }
    void showLapResults(const LapResultsTable& table) override {
        if (ui::RallyResults) ui::RallyResults->showLapResults(table.toResultsTable());
    }
    LapResultsWorker* lapResultsWorker() override { return worker_.get(); }

private:
    TMainForm* const& form_;                          // the root's; null without the main window
    const std::unique_ptr<LapResultsWorker>& worker_; // the root's; empty without the worker
};

// The drag results' main-thread side: the rank options, the results window, the brackets
// and final_bracket.txt, the web exchange.
class ConsoleDragResultsPort final : public DragResultsPort {
public:
    ConsoleDragResultsPort(Console& console, const std::unique_ptr<DragResults>& results, BracketPages& brackets,
                           const std::unique_ptr<TDragResultsCntr>& worker)
        : console_(console), results_(results), brackets_(brackets), worker_(worker) {}
    TDragRankOptions sampleRankOptions() override {
        TDragRankOptions rank = results_->currentRankOptions();
        rank.raceMode = static_cast<std::int32_t>(console_.raceMode);
        return rank;
    }
    bool proStartSignal() override { return console_.proStart; }
    std::string eventName() override { return console_.eventName; }
    void showResults(const TDragResultsView& view) override {
        if (ui::RallyResults) ui::RallyResults->showDragResults(view, results_->registry());
        TformFinal::repaintAll();
        const std::filesystem::path folder = console_.eventFolder;
        if (!folder.empty()) (void)reportSave(folder / "final_bracket.txt", saveFinalBracketFile(brackets_, folder));
    }
    void sendData(const std::string& text, const char* kind) override { (void)console_.exchange.send(text, kind); }
    TDragResultsCntr* resultsWorker() override { return worker_.get(); }

private:
    Console& console_;
    const std::unique_ptr<DragResults>& results_; // the root's: built after this port, which it serves
    BracketPages& brackets_;
    const std::unique_ptr<TDragResultsCntr>& worker_; // the root's; empty while the worker does not run
};

// What a class page's bracket window needs of the console.
class MainFormBracketPort final : public TBracketWindowPort {
public:
    MainFormBracketPort(TMainForm& form, StartSequence& start, const Console& console, DragResults& results,
                        DragRuns& runs, NodeLink& link)
        : form_(form), start_(start), console_(console), results_(results), runs_(runs), link_(link) {}
    DragRuns& dragRuns() override { return runs_; }
    void requestRebuild() override { results_.notifyResultsThread(runs_); }
    std::filesystem::path eventFolder() override { return console_.eventFolder; }
    void setWinnerCaptions(const std::string& caption, const std::string& groupCaption) override {
        if (ui::SetWinnerForm) ui::SetWinnerForm->setCaptions(caption, groupCaption);
    }
    int chooseWinner(const std::array<std::string, 2>& items, std::string& comment) override {
        return ui::SetWinnerForm ? ui::SetWinnerForm->choose(items, comment) : -1;
    }
    bool editComments(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments) override {
        return ui::SetCommentsForm && ui::SetCommentsForm->edit(labels, comments);
    }
    void showRunGridRow(std::int32_t row) override {
        form_.DragStringGrid->setCurrentCell(row, 0);
        form_.DragStringGrid->viewport()->update();
        form_.DragPageControl->setCurrentIndex(0);
    }
    std::int32_t lastVisibleGridRow() override {
        return form_.DragStringGrid->topRow() + form_.DragStringGrid->visibleRowCount() - 1;
    }
    unsigned raceMode() override { return console_.raceMode; }
    bool proStartSignal() override { return console_.proStart; }
    bool autoStartOn() override { return console_.autoStart; }
    void pressBlockSt() override { form_.bBlockSt->setChecked(true); }
    bool startArmed() override { return start_.armed(); }
    void armCommand37() override { link_.armCommand37(); }
    void sendStartSignalMode(std::uint16_t mode) override { link_.sendStartSignalMode(mode); }
    void armAutoStart(int leftRacer, int rightRacer, int code, int proStart, int aux) override {
        link_.armAutoStart(leftRacer, rightRacer, code, proStart, aux);
    }
    void startBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) override {
        start_.startBracketPairRun(bracket, pair);
    }
    void startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) override {
        start_.startRollersBracketPairRun(bracket, pair);
    }

private:
    TMainForm& form_;
    StartSequence& start_;
    const Console& console_;
    DragResults& results_;
    DragRuns& runs_;
    NodeLink& link_;
};

// The registration window's view of the console: closing it reloads the event.
class MainFormRegistrationHost final : public RegistrationHost {
public:
    MainFormRegistrationHost(TMainForm& form, Console& console, ConsolePorts& ports)
        : form_(form), console_(console), ports_(ports) {}
    std::string eventName() const override { return console_.eventName; }
    DocumentOpener& documentOpener() override { return opener_; }
    void reloadEvent() override {
        loadEvent(console_, ports_);
        form_.DragStringGrid->viewport()->update();
    }

private:
    TMainForm& form_;
    Console& console_;
    ConsolePorts& ports_;
    DesktopOpener opener_;
};

// "Разбить на классы" as the run commands see the console.
class MainFormDragEvents final : public DragEventPort {
public:
    MainFormDragEvents(Console& console, ConsolePorts& ports, const DragResults& results)
        : console_(console), ports_(ports), results_(results) {}
    void markRacerListForSending() override { console_.sendRacersList = true; }
    void reloadEvent() override { loadEvent(console_, ports_); }
    void sendRaceInfo() override { ports_.sendRaceInfo(); }
    std::vector<TDragResult> overallQualification() override {
        const TDragResultsMap& published = results_.qualResults();
        const auto found = published.find(-1);
        return found == published.end() ? std::vector<TDragResult>{} : found->second;
    }
    TDragRankOptions rankOptions() override { return results_.currentRankOptions(); }

private:
    Console& console_;
    ConsolePorts& ports_;
    const DragResults& results_;
};

// Class pages of DragPageControl: page 0 is the run grid, each further page holds the
// bracket window of one class.
class MainFormClassPages final : public ClassPageSink {
public:
    MainFormClassPages(TMainForm& form, TBracketWindowPort& port, Console& console, DragResults& results,
                       QuestionDesk& desk)
        : form_(form), port_(port), console_(console), results_(results), desk_(desk) {}
    void clearClassPages() override {
        QTabWidget* pages = form_.DragPageControl;
        while (pages->count() > 1) {
            QWidget* page = pages->widget(pages->count() - 1);
            pages->removeTab(pages->count() - 1);
            delete page;
        }
    }
    void createClassPage(TClassItem& cls) override {
        auto* window = new TformFinal(results_.brackets(), results_.registry(), port_, desk_, form_.DragPageControl);
        window->setClassItem(&cls);
        // A click on a pair selects the pair's run in the run grid; a pair without a run
        // (run id 0) clears the selection.
        QObject::connect(window, &TformFinal::runSelected, form_.DragStringGrid, [this](int runId) {
            TDragRaceItem key;
            key.runId = runId;
            form_.dragRuns.selectRunById(key);
            form_.DragStringGrid->viewport()->update();
        });
        form_.DragPageControl->addTab(window, u("ТОП - " + cls.name));
    }
    void rebuildBracketDrawings() override { results_.brackets().rebuildAllBracketDrawings(); }
    void repaintBrackets() override { TformFinal::repaintAll(); }
    int raceMode() const override { return static_cast<int>(console_.raceMode); }
    void notifyResultsThread() override { results_.notifyResultsThread(form_.dragRuns); }
    void sendRaceInfo() override { velmaro::sendRaceInfo(console_, results_.registry()); }

private:
    TMainForm& form_;
    TBracketWindowPort& port_;
    Console& console_;
    DragResults& results_;
    QuestionDesk& desk_;
};

// The web exchange's view of the main window.
class MainFormExchange final : public WebExchangePort {
public:
    explicit MainFormExchange(TMainForm& form) : form_(form) {}
    void repaintRunGrid() override { form_.DragStringGrid->viewport()->update(); }
    // A dialog may hold a racer that an incoming message would free.
    bool incomingMustWait() override { return QApplication::activeModalWidget() != nullptr; }

private:
    TMainForm& form_;
};

} // namespace

struct ConsoleRoot::State {
    // In start-up order; shut-down releases them in reverse.
    // The console's state: built first, it outlives everything below that reads it.
    Console console;
    Operator* op = nullptr; // the window's dialogs (not owned)
    // Every question to the official goes through it; built right after the console, it
    // outlives everything below that asks.
    std::unique_ptr<QuestionDesk> desk;
    // The racers, classes and racer database: built after the desk, handed to the
    // registration window, the drag host and results, the lap host, the web exchange,
    // the hit intake's host and the class pages; it outlives all of them.
    TRegistry registry;
    // The node link as its users reach it: built before them and outlives them; the
    // running link and radio scoreboard thread are attached to it while they run.
    NodeLink nodeLink;
    // The hit intake, the class pages' brackets, the drag results, the runs, the lap
    // timing and their hosts live as long as the root: the windows, the start controls, the drag
    // host, the web exchange and the mode hit handlers are handed them.
    std::unique_ptr<ConsoleHitIntakeHost> intakeHost;
    std::unique_ptr<HitIntake> intake;
    BracketPages brackets;
    std::unique_ptr<ConsoleDragResultsPort> resultsPort;
    std::unique_ptr<DragResults> results;
    std::unique_ptr<ConsoleDragHost> dragHost;
    std::unique_ptr<DragRuns> drag;
    std::unique_ptr<MainFormLapHost> lapHost;
    std::unique_ptr<LapTiming> lap;
    TMainForm* form = nullptr; // owned by the window list (console_windows)
    // The one way back to the main thread for the link and the workers, guarded by the
    // main window: built with it, it outlives every thread that posts.
    std::unique_ptr<ui::QueuedPoster> poster;
    std::unique_ptr<MainFormStartPorts> startPorts;
    std::unique_ptr<StartSequence> start;
    std::unique_ptr<MainFormEventHost> eventHost;
    std::unique_ptr<MainFormDragView> dragView;
    std::unique_ptr<MainFormBracketPort> bracketPort;
    std::unique_ptr<MainFormClassPages> classPages;
    std::unique_ptr<MainFormDragEvents> dragEvents;
    std::unique_ptr<MainFormRegistrationHost> registrationHost;
    std::unique_ptr<MainFormExchange> exchangePort;
    std::unique_ptr<WebDataExchange> exchange;
    std::unique_ptr<ui::SystemEventAdapter> eventAdapter;
    std::unique_ptr<TSystemInterface> link;
    std::unique_ptr<ui::LinkEvents> linkEvents;
    std::unique_ptr<ui::SystemEventHandler> events;
    std::unique_ptr<TNRFScoreboardController> radio;
    ui::NodeStatusBox* nodeBox = nullptr;
    ui::StartLightTree* lights = nullptr;
    std::unique_ptr<LapResultsWorker> lapWorker;
    // Built when the main window is created (startResultsThread), stopped when it closes.
    std::unique_ptr<TDragResultsCntr> resultsWorker;
};

ConsoleRoot::ConsoleRoot(Operator& op) : d(std::make_unique<State>()) {
    d->op = &op;
    d->desk = std::make_unique<QuestionDesk>(op);
    setSaveReportLog(d->desk.get());
    if (auto* app = dynamic_cast<ui::ConsoleApplication*>(QCoreApplication::instance()))
        app->tellErrorsTo(d->desk.get());
    d->intakeHost =
        std::make_unique<ConsoleHitIntakeHost>(d->start, *this, d->form, d->link, d->console, d->registry, *d->desk);
    d->intake = std::make_unique<HitIntake>(*d->intakeHost);
    d->resultsPort = std::make_unique<ConsoleDragResultsPort>(d->console, d->results, d->brackets, d->resultsWorker);
    d->results = std::make_unique<DragResults>(*d->resultsPort, d->brackets, d->registry);
    d->dragHost = std::make_unique<ConsoleDragHost>(d->console, *d->intake, *d->results, d->brackets, d->registry,
                                                    *d->desk, d->nodeLink);
    d->drag = std::make_unique<DragRuns>(*d->dragHost);
    d->lapHost = std::make_unique<MainFormLapHost>(d->console, *d->intake, d->registry, d->form, d->lapWorker);
    d->lap = std::make_unique<LapTiming>(*d->lapHost, *d->intake, *d->desk);
    registerLapHitHandlers(*d->lap);
}

TRegistry& ConsoleRoot::registry() const { return d->registry; }

ConsoleRoot::~ConsoleRoot() {
    shutDown();
    clearLapHitHandlers(*d->lap);
    // The hit handlers of the runs go with the root: the intake must not keep them.
    d->drag->clearHitHandlers();
    if (auto* app = dynamic_cast<ui::ConsoleApplication*>(QCoreApplication::instance())) app->tellErrorsTo(nullptr);
    setSaveReportLog(nullptr);
}

ui::TMainForm* ConsoleRoot::mainForm() const { return d->form; }

LapTiming& ConsoleRoot::lapTiming() const { return *d->lap; }

HitIntake& ConsoleRoot::hitIntake() const { return *d->intake; }

Console& ConsoleRoot::console() const { return d->console; }

NodeLink& ConsoleRoot::nodeLink() const { return d->nodeLink; }

DragResults& ConsoleRoot::dragResults() const { return *d->results; }
DragRuns& ConsoleRoot::dragRuns() const { return *d->drag; }

void ConsoleRoot::launch() {
    if (started_) return;
    started_ = true;
    // Closing the main window ends the program, whatever other windows are open.
    qApp->setQuitOnLastWindowClosed(false);
    ui::createConsoleWindows(
        *this, *d->lap, d->console, *this, *d->results, d->registry, *d->desk, *d->drag, d->nodeLink,
        [this](TMainForm& form) {
            State* s = d.get();
            s->form = &form;
            s->poster = std::make_unique<ui::QueuedPoster>(&form);
            s->startPorts = std::make_unique<MainFormStartPorts>(form, *this, s->nodeLink);
            s->start =
                std::make_unique<StartSequence>(*s->startPorts, *s->lap, s->console, s->brackets, *s->desk, *s->drag);
            s->eventHost = std::make_unique<MainFormEventHost>(form, *s->start, s->console, s->registry);
            s->dragView = std::make_unique<MainFormDragView>(form);
            s->dragHost->setView(s->dragView.get());
            s->drag->registerHitHandlers();
            // Each lap results build comes back to the main thread through the poster.
            s->lapWorker = std::make_unique<LapResultsWorker>(
                [poster = s->poster.get(), lap = s->lap.get()](LapResultsOutput out) {
                    auto build = std::make_shared<LapResultsOutput>(std::move(out));
                    poster->post([lap, build] { lap->applyLapResults(std::move(*build)); });
                });
            s->lapWorker->start();
            s->bracketPort =
                std::make_unique<MainFormBracketPort>(form, *s->start, s->console, *s->results, *s->drag, s->nodeLink);
            s->classPages =
                std::make_unique<MainFormClassPages>(form, *s->bracketPort, s->console, *s->results, *s->desk);
            s->dragEvents = std::make_unique<MainFormDragEvents>(s->console, *this, *s->results);
            s->registrationHost = std::make_unique<MainFormRegistrationHost>(form, s->console, *this);
            // A double click on a hit's time finds that hit in the hit log window.
            QObject::connect(form.DragStringGrid, &ui::DragGridWidget::hitTimeActivated, &form, [](quint64 time) {
                if (ui::HitLog) ui::HitLog->selectHitByTime(time);
            });
            s->exchangePort = std::make_unique<MainFormExchange>(form);
            s->exchange = std::make_unique<WebDataExchange>(s->console, *s->exchangePort, *s->results, s->registry,
                                                            *s->desk, *s->drag);
            QObject::connect(form.DragStringGrid, &ui::DragGridWidget::sendToScoreboardRequested, &form,
                             [s] { ui::MainForm->DragStringGrid->sendToScoreboards(s->console.scoreboardBrightness); });
        });
    d->registry.setSink(d->classPages.get());
    if (auto* dialogs = dynamic_cast<ui::QtOperator*>(d->op)) dialogs->setOwner(d->form);
    // What waited for a question to close runs from the event loop, after the command that asked.
    d->desk->setEventLoopPost(
        [](std::function<void()> action) { QMetaObject::invokeMethod(qApp, std::move(action), Qt::QueuedConnection); });
    d->form->show();
}

void ConsoleRoot::shutDown() {
    if (!started_ || shutDown_) return;
    shutDown_ = true;
    State* s = d.get();
    s->desk->setEventLoopPost(nullptr);
    if (s->form && !s->form->closing()) s->form->close();
    // The lap results worker reads nothing of the console, but its builds are posted to
    // the main window: it ends before the window and the lap host go.
    if (s->lapWorker) s->lapWorker->stop();
    s->registry.setSink(nullptr);
    s->dragHost->setView(nullptr); // stays installed, without grid, until the root goes
    // The link and the radio thread were stopped by the window's closing; what is left
    // of them goes before the windows they report to.
    s->events.reset();
    s->linkEvents.reset();
    stopRadioScoreboard();
    stopLinkThread();
    s->link.reset();
    s->eventAdapter.reset();
    if (auto* dialogs = dynamic_cast<ui::QtOperator*>(d->op)) dialogs->setOwner(nullptr);
    // The lap host and the intake's host read the main window through this pointer: it is
    // cleared before the windows go, so that nothing called while they are destroyed
    // reaches a window that is half gone.
    s->form = nullptr;
    ui::destroyConsoleWindows();
    s->exchange.reset();
    s->exchangePort.reset();
    s->classPages.reset();
    s->bracketPort.reset();
    s->dragEvents.reset();
    s->registrationHost.reset();
    s->lapWorker.reset();
    s->resultsWorker.reset();
    s->poster.reset(); // every thread that posted has ended
    s->dragView.reset();
    s->eventHost.reset();
    s->start.reset();
    s->startPorts.reset();
}

int ConsoleRoot::exec(QApplication& app) {
    launch();
    const int result = app.exec();
    shutDown();
    return result;
}

// ---------------------------------------------------------------- start-up and shut-down

// The main window's creation handler; no other window exists yet.
void ConsoleRoot::windowCreated() {
    State* s = d.get();
    Console& c = s->console;
    TMainForm& form = *s->form;
    bindNodePanels();
    startLinkThread();
    startRadioScoreboard();
    form.setupGrids();
    // Mode 1, '.', the settings file, the link's time-outs, the folders, the mode again.
    startConsoleState(c, *this, std::time(nullptr));
    form.moveToScreenOrigin();
    if (openScoreboardLibrary(c)) handScoreboardToLink();
    openExchangeLibrary(c);
    startResultsThread();
}

// Every showing of the main window; the first one loads the open event, once every
// window exists.
void ConsoleRoot::windowShown() {
    loadEventOnFirstShow(d->console, *this);
    d->form->afterShow();
}

// The main window's closing.
void ConsoleRoot::windowClosing() {
    // Nothing posted from here on reaches the window.
    d->console.mainWindow.detach();
    // A journal replay not finished stays in the journal for the next start.
    if (d->events) d->events->dropReplay();
    stopLapResultsThread();
    stopResultsThread();
    stopLinkThread();
    stopRadioScoreboard();
    closeLibraries(d->console);
}

// ---------------------------------------------------------------- ConsolePorts

bool ConsoleRoot::registryExists() { return ui::RegForm != nullptr; }
void ConsoleRoot::freeClasses() { d->registry.clearClasses(); }
void ConsoleRoot::removeClassPages() {
    if (d->classPages) d->classPages->clearClassPages();
}
void ConsoleRoot::loadClassesAndRacers() { d->registry.loadClassesAndRacers(d->console.eventFolder); }
void ConsoleRoot::loadLapSingle() { d->lap->loadLapSingle(); }
void ConsoleRoot::loadDragFile() {
    d->drag->loadDragFile();
    TformFinal::syncAllFromPages();
}
void ConsoleRoot::selectLastDragRow() {
    if (d->dragView) d->dragView->gridCursorToLastRow();
}
void ConsoleRoot::loadHitLog() {
    d->intake->loadHitLog();
    if (!journalReplayed_) replayHitJournal();
}

// The hits the link acknowledged before the last run of the program ended, and which
// hitlog.txt may lack: fed through the intake once the first event is open, in the
// window's slices ahead of the link's hits (a load of the same event while they are fed
// starts them again, leaving the event finishes them: leavingEvent). The journal is
// emptied only once hitlog.txt holds them all.
void ConsoleRoot::replayHitJournal() {
    const std::filesystem::path file = programFolder() / kHitJournalFile;
    JournalReplay replay = readJournalReplay(file, d->console.eventFolder);
    if (!replay.hits.empty())
        d->desk->log("Журнал отметок: " + std::to_string(replay.hits.size()) + " отметок проверено после перезапуска");
    if (d->events) {
        d->events->replayJournal(std::move(replay.hits), replay.taken, [this] {
            journalReplayed_ = true;
            if (d->link) d->link->journalReplayed(); // the handler's hitsLogged then empties it
        });
        return;
    }
    // No window to take it in slices: at once.
    if (!replay.hits.empty()) d->intake->replayHits(std::move(replay.hits), replay.taken);
    // Kept while hitlog.txt does not hold them: the next start tries again.
    if (!d->intake->hitLogSaved()) return;
    journalReplayed_ = true;
    if (d->link) {
        d->link->journalReplayed();
        d->link->hitsLogged();
    } else {
        std::error_code ec;
        if (std::filesystem::exists(file, ec)) std::filesystem::resize_file(file, 0, ec);
    }
}
void ConsoleRoot::leavingEvent() {
    // The replayed hits belong to the event open at the start: the rest goes there now.
    if (d->events) d->events->finishReplay(); // nothing when no replay is under way
}
void ConsoleRoot::sendRaceInfo() { velmaro::sendRaceInfo(d->console, d->registry); }
void ConsoleRoot::refreshRaceItemClasses() { d->lap->refreshRaceItemClasses(); }
void ConsoleRoot::refreshRunClasses() { d->drag->refreshRunClasses(); }

std::vector<std::pair<int, int>> ConsoleRoot::finalCounts() {
    std::vector<std::pair<int, int>> counts;
    if (!d->form) return counts;
    QTabWidget* pages = d->form->DragPageControl;
    for (int i = 1; i < pages->count(); ++i) {
        auto* window = qobject_cast<TformFinal*>(pages->widget(i));
        if (!window) continue;
        // The second number is the class the page shows, so a reader can match the lines.
        const int classId = window->classItem() ? window->classItem()->id : -1;
        counts.emplace_back(window->cbFinalCount->currentIndex(), classId);
    }
    return counts;
}

bool ConsoleRoot::scoreboardSettingsExist() { return ui::fScoreboardConfig != nullptr; }

void ConsoleRoot::setLinkTimeouts(int repeat, int detector) { d->nodeLink.setTimeouts(repeat, detector); }

void ConsoleRoot::resendRunToScoreboards() {
    // Both lanes of the last run again, left first (nothing without runs).
    d->drag->sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    d->drag->sendRunToScoreboards(1, 1, 0, LANE_RIGHT, 0, 0);
}

// The steps of start-up and shut-down on what the root owns (windowCreated, windowClosing).

void ConsoleRoot::startLinkThread() {
    State* s = d.get();
    s->eventAdapter = std::make_unique<ui::SystemEventAdapter>(*s->poster, [s](int code, std::uint32_t wParam) {
        if (code == SE_PORT_STATE) {
            // The node port opened, or another program holds it: the official is told.
            if (s->link) s->desk->log(portStatusText(s->link->portStatus(), s->link->options().portRetryMs));
            return;
        }
        if (s->events) s->events->onSystemEvent(code, wParam);
    });
    LinkOptions options = LinkOptions::fromEnvironment();
    options.journal = programFolder() / kHitJournalFile;
    s->link = std::make_unique<TSystemInterface>(s->eventAdapter->sink(), options);
    // The link's own lines (a full queue, a journal that cannot be written) come from its
    // thread: they reach the log window through the poster.
    s->link->setLogHandler([poster = s->poster.get(), desk = s->desk.get()](const std::string& line) {
        poster->post([desk, line] { desk->log(line); });
    });
    // "SCOREBOARD" lines from the nodes reach the controller object once the main thread
    // has handed it over (handScoreboardToLink); the controller serialises its calls.
    s->link->setScoreboardLineHandler([this](const std::string& line, const NodeAddress& from) {
        TScoreboardController* sb = linkScoreboard_.load(std::memory_order_acquire);
        if (!sb) return;
        sockaddr_in sender{};
        sender.sin_family = AF_INET;
        sender.sin_port = htons(from.port);
        sender.sin_addr.s_addr = htonl(from.ip);
        sb->handleLine(line, sender);
    });
    s->nodeLink.attach(s->link.get());
    s->linkEvents = std::make_unique<ui::LinkEvents>(*s->link);
    s->events = std::make_unique<ui::SystemEventHandler>(
        *s->linkEvents, *s->eventHost, *s->desk, s->lights, s->form->lNumAtStart, *s->intake,
        [intake = s->intake.get()](int node, int signal, std::uint64_t t, int source) {
            intake->processHit(node, signal, t, source);
        });
    s->link->start();
}

void ConsoleRoot::startRadioScoreboard() {
    State* s = d.get();
    if (!s->link) return;
    s->radio = std::make_unique<TNRFScoreboardController>(*s->link);
    s->radio->attachTo(*s->link);
    s->radio->start();
    s->nodeLink.attachRadio(s->radio.get());
}

void ConsoleRoot::handScoreboardToLink() { linkScoreboard_.store(d->console.scoreboard, std::memory_order_release); }

void ConsoleRoot::startResultsThread() {
    State* s = d.get();
    if (s->resultsWorker) return;
    // Each rebuild is taken on the main thread through the poster.
    s->resultsWorker =
        std::make_unique<TDragResultsCntr>(s->brackets, [poster = s->poster.get(), results = s->results.get()] {
            poster->post([results] { results->onDragResults(); });
        });
}
void ConsoleRoot::stopLapResultsThread() {
    if (d->lapWorker) d->lapWorker->stop();
}
void ConsoleRoot::stopResultsThread() {
    if (!d->resultsWorker) return;
    d->resultsWorker->stop();
    d->resultsWorker.reset();
}

void ConsoleRoot::stopLinkThread() {
    if (d->link) d->link->stop();
    // The link thread has ended: it no longer calls the controller, which may now go.
    linkScoreboard_.store(nullptr, std::memory_order_release);
    d->nodeLink.attach(nullptr);
}

// After the link has stopped: the controller leaves the link, then goes.
void ConsoleRoot::stopRadioScoreboard() {
    d->nodeLink.attachRadio(nullptr);
    if (d->radio) d->radio->stop();
    d->radio.reset();
}

void ConsoleRoot::onScoreboardEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    velmaro::onScoreboardEvent(d->console, wParam, lParam, [this](const std::string& line) { d->desk->log(line); });
}

void ConsoleRoot::onExchangeData(std::uintptr_t, std::intptr_t) {
    if (d->exchange) d->exchange->onExchangeData();
}

// ---------------------------------------------------------------- MainFormCommands

void ConsoleRoot::printBracket() {
    auto* window = qobject_cast<TformFinal*>(d->form->DragPageControl->currentWidget());
    if (!window) return;
    const Status st =
        printFinalBracket(window->pages(), window->bracket(), window->registry(), d->console.eventFolder, *d->desk);
    if (!st.ok()) d->desk->message(st.message(), "Печать сетки", Operator::Icon::Warning);
}

void ConsoleRoot::raceReport() { ui::raceReportMenuCommand(d->console, *d->desk, *d->drag); }
// The lap panel's commands serve both grids: lap events in modes 1, 4, 6, runs otherwise.
void ConsoleRoot::undelete() {
    d->form->SingleLanePanel->undeleteClick();
    // The runs came back from the file: the class pages follow it, as on an event load.
    if (isTwoLaneMode(d->console.raceMode)) TformFinal::syncAllFromPages();
}
void ConsoleRoot::deleteAll() {
    d->form->SingleLanePanel->deleteAllClick();
    if (isTwoLaneMode(d->console.raceMode)) TformFinal::syncAllFromPages();
}
void ConsoleRoot::classSplit() {
    if (isTwoLaneMode(d->console.raceMode))
        DragClassSplit(*d->drag, *d->dragEvents).run();
    else
        lapClassSplit();
}

// The class split in the single-lane modes: on Yes every racer takes the class of his
// best lap and the event reloads; either way the lap events take their racers' classes.
void ConsoleRoot::lapClassSplit() {
    if (d->desk->askYesNo("Эта операция изменит разбивку на классы.\r\nПродолжить?", "Подтверждение",
                          Operator::Icon::Warning)) {
        d->lap->assignClassesByBestLap();
        loadEvent(d->console, *this);
    }
    d->lap->refreshRaceItemClasses();
}
void ConsoleRoot::resultsXls() {
    if (ui::RallyResults) ui::RallyResults->Button4Click();
}
void ConsoleRoot::registration() {
    if (ui::RegForm) ui::RegForm->openModal(*d->registrationHost);
}
void ConsoleRoot::copyToScoreboardSettings() {
    const Console& c = d->console;
    if (ui::fScoreboardConfig)
        ui::fScoreboardConfig->fillFromSettings(c.scoreboardBrightness, c.showLogo != 0, c.showDirtyTimeSB == 1);
}
void ConsoleRoot::start(int modifiers) {
    if (d->start) d->start->start(modifiers);
}
void ConsoleRoot::next() {
    if (d->start) d->start->next();
}
void ConsoleRoot::blockStart() {
    if (d->start && d->form) d->start->blockStart(d->form->bBlockSt->isChecked());
}
void ConsoleRoot::resetScoreboards(int modifiers) {
    if (d->start) d->start->resetScoreboards(modifiers);
}
void ConsoleRoot::brightness(int position) {
    if (d->start) d->start->brightness(position);
}
bool ConsoleRoot::startKey(StartKey key, bool ctrl) { return d->start && d->start->keyDown(key, ctrl); }
void ConsoleRoot::setPenalty() {
    if (isTwoLaneMode(d->console.raceMode))
        d->form->DragStringGrid->askPenalty();
    else
        d->form->SingleLanePanel->setPenaltyClick();
}
void ConsoleRoot::deleteItem() {
    if (isTwoLaneMode(d->console.raceMode))
        d->drag->deleteButtonOnRuns();
    else
        d->form->SingleLanePanel->deleteItemClick();
}
void ConsoleRoot::printTimeslip(int lane) {
    const unsigned mode = d->console.raceMode;
    if (timingModeFrom(mode) == TimingMode::RollerSlalom) return; // roller slalom prints nothing from these buttons
    if (isSingleLaneMode(mode)) {
        // Both lanes (the button or F8) print the lap receipt; the lap grid's row r shows
        // lap event r - 1.
        if (lane == TIMESLIP_BOTH || lane == TIMESLIP_LAST_RUN_BOTH)
            ui::printLapReceiptCommand(d->console, *d->lap, d->form->SingleLaneGrid->currentRow() - 1);
        return;
    }
    ui::printTimeslipCommand(d->console, lane, *d->desk, *d->drag);
}
void ConsoleRoot::search(int direction) {
    d->form->DragStringGrid->searchRacer(d->form->eSearchText->text(), direction);
}
void ConsoleRoot::generateBracket() {
    ui::sbGenerateBracketClick(*d->form->DragPageControl, d->form->cbBracketType->currentIndex(),
                               d->form->cbGenerationMethod->currentIndex(), *ui::manualBracketOrderForm,
                               std::time(nullptr), *d->desk);
}

void ConsoleRoot::sysTimer() {
    // The lane displays' brightness while no scoreboard controller exists.
    sysTimerTick(d->console, [this](int brightness, std::uint8_t node) {
        d->nodeLink.sendDisplayBrightness(static_cast<std::uint16_t>(brightness), node);
    });
    // Incoming messages left waiting by a full batch.
    if (d->exchange) d->exchange->tick();
}
void ConsoleRoot::secondTimer() { secondTimerTick(d->console, std::time(nullptr)); }

void ConsoleRoot::bindNodePanels() {
    // The group box "Система" with the four node panels, and the start light tree.
    State* s = d.get();
    TMainForm& form = *s->form;
    s->nodeBox = new ui::NodeStatusBox(form.systemPanelHost);
    form.systemPanelHost->layout()->addWidget(s->nodeBox);
    s->nodeBox->setNodeSource([s] { return s->nodeLink.nodes(); });
    s->lights = new ui::StartLightTree(form.startLightsHost);
    form.startLightsHost->layout()->addWidget(s->lights);
}

void ConsoleRoot::closed() { QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection); }

} // namespace velmaro
