#include "app/root/console_root.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <ctime>

#include "app/root/console_drag_host.h"
#include "app/root/lap_console_host.h"
#include "app/root/link_console_host.h"
#include "core/app/console.h"
#include "core/app/console_timers.h"
#include "core/app/events.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_selection.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_scoreboard.h"
#include "core/exchange/web_data_exchange.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_events.h"
#include "core/lap/lap_results.h"
#include "core/link/radio_scoreboard.h"
#include "core/link/system_interface.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "ui/app/console_windows.h"
#include "ui/app/qt_operator.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/bracket_window_port.h"
#include "ui/bracket/form_final.h"
#include "ui/bracket/generate_bracket.h"
#include "ui/bracket/manual_bracket_order_dialog.h"
#include "ui/drag/drag_grid_widget.h"
#include "ui/link/channel_scan_dialog.h"
#include "ui/link/node_status_box.h"
#include "ui/link/scoreboard_settings_dialog.h"
#include "ui/link/start_light_tree.h"
#include "ui/link/system_event_adapter.h"
#include "ui/link/system_events.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro {
namespace {

using ui::TMainForm;

QString u(const std::string& s) { return QString::fromStdString(s); }

void logLine(const std::string& line) { theOperator().log(line); }

// Every feature whose window is not built yet lands here, and says so in the log window.
void notYet(const char* what) { logLine(std::string("Не реализовано: ") + what); }

// The start sequence (START, NEXT, the armed state) comes with its own area; until then
// nothing is armed and the system events find no armed start.
class MainFormEventHost final : public ui::SystemEventHost {
public:
    MainFormEventHost(TMainForm& form, ui::MainFormCommands& commands) : form_(form), commands_(commands) {}
    bool startArmed() override { return false; }
    void setStartArmed(bool) override {}
    void releaseBlockSt() override {
        const QSignalBlocker block(form_.bBlockSt);
        form_.bBlockSt->setChecked(false);
    }
    void pressStart() override { commands_.start(); }
    void showStartGiven() override {
        form_.StartSignalLed->setStyleSheet("background: #00c000; border-radius: 11px;");
        form_.StartSignalLed->repaint();
    }
    void setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& levels) override {
        if (ui::scanChannelsForm) ui::scanChannelsForm->setLevels(levels);
    }
    int racerNumberByTag(int tag) override { return static_cast<int>(theRegistry().racerNumberByTag(tag)); }

private:
    TMainForm& form_;
    ui::MainFormCommands& commands_;
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

// The lap timing's view of the main window. The lap results are rebuilt on the main
// thread by the results tick (no worker blocks on the main thread, so shut-down never
// waits on it).
class MainFormLapHost final : public ConsoleLapHost {
public:
    explicit MainFormLapHost(TMainForm& form) : form_(form) {}
    bool blockStDown() const override { return form_.bBlockSt->isChecked(); }
    int gridCurrentRow() const override { return form_.SingleLaneGrid->currentRow(); }
    void setGridCurrentRow(int row) override {
        if (row >= 0 && row < form_.SingleLaneGrid->rowCount()) form_.SingleLaneGrid->setCurrentCell(row, 0);
    }
    void setGridRowCount(int rows) override { form_.SingleLaneGrid->setRowCount(rows); }
    void repaintGrid() override { form_.SingleLaneGrid->viewport()->update(); }
    void setOnCourseListCount(int count) override {
        QTreeWidget* list = form_.lvChannel;
        while (list->topLevelItemCount() > count) delete list->takeTopLevelItem(list->topLevelItemCount() - 1);
        while (list->topLevelItemCount() < count) new QTreeWidgetItem(list);
        list->viewport()->update();
    }
    bool resultsWindowExists() const override { return ui::RallyResults != nullptr; }

private:
    TMainForm& form_;
};

// What a class page's bracket window needs of the console.
class MainFormBracketPort final : public TBracketWindowPort {
public:
    explicit MainFormBracketPort(TMainForm& form) : form_(form) {}
    void requestRebuild() override { velmaro::notifyResultsThread(); }
    std::filesystem::path eventFolder() override { return theConsole().eventFolder; }
    int chooseWinner(const std::string& caption, const std::string& groupCaption,
                     const std::array<std::string, 2>& items, std::string& comment) override {
        const int chosen = theOperator().pick(caption + ": " + groupCaption, {items[0], items[1]});
        if (chosen < 0) return -1;
        std::string text = comment;
        if (theOperator().inputQuery(caption, "Комментарий", text)) comment = text;
        return chosen;
    }
    bool editComments(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments) override {
        std::array<std::string, 2> texts = comments;
        for (int i = 0; i < 2; ++i)
            if (!theOperator().inputQuery("Комментарии", labels[static_cast<std::size_t>(i)], texts[static_cast<std::size_t>(i)]))
                return false;
        comments = texts;
        return true;
    }
    void showRunGridRow(std::int32_t row) override {
        form_.DragStringGrid->setCurrentCell(row, 0);
        form_.DragStringGrid->viewport()->update();
        form_.DragPageControl->setCurrentIndex(0);
    }
    std::int32_t lastVisibleGridRow() override {
        return form_.DragStringGrid->topRow() + form_.DragStringGrid->visibleRowCount() - 1;
    }
    unsigned raceMode() override { return theConsole().raceMode; }
    bool proStartSignal() override { return theConsole().proStart; }
    bool autoStartOn() override { return theConsole().autoStart; }
    void pressBlockSt() override { form_.bBlockSt->setChecked(true); }
    bool startArmed() override { return false; }
    void armCommand37() override {
        if (TSystemInterface* link = theConsole().systemInterface) link->armCommand37();
    }
    void sendStartSignalMode(std::uint16_t mode) override {
        if (TSystemInterface* link = theConsole().systemInterface) link->sendStartSignalMode(mode);
    }
    void armAutoStart(int leftRacer, int rightRacer, int code, int proStart, int aux) override {
        if (TSystemInterface* link = theConsole().systemInterface)
            link->armAutoStart(leftRacer, rightRacer, code, proStart, aux);
    }
    void startBracketPairRun(const std::shared_ptr<TFinalBracket>&, TFinalPair*) override {
        notYet("заезд пары сетки");
    }
    void startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>&, TFinalPair*) override {
        notYet("заезд пары сетки");
    }

private:
    TMainForm& form_;
};

// "Разбить на классы" as the run commands see the console.
class MainFormDragEvents final : public DragEventPort {
public:
    explicit MainFormDragEvents(ConsolePorts& ports) : ports_(ports) {}
    void markRacerListForSending() override { theConsole().sendRacersList = true; }
    void reloadEvent() override { loadEvent(); }
    void sendRaceInfo() override { ports_.sendRaceInfo(); }
    std::vector<TDragResult> overallQualification() override {
        const auto found = gQualResults.find(-1);
        return found == gQualResults.end() ? std::vector<TDragResult>{} : found->second;
    }

private:
    ConsolePorts& ports_;
};

// Class pages of DragPageControl: page 0 is the run grid, each further page holds the
// bracket window of one class.
class MainFormClassPages final : public ClassPageSink {
public:
    MainFormClassPages(TMainForm& form, TBracketWindowPort& port) : form_(form), port_(port) {}
    void clearClassPages() override {
        QTabWidget* pages = form_.DragPageControl;
        while (pages->count() > 1) {
            QWidget* page = pages->widget(pages->count() - 1);
            pages->removeTab(pages->count() - 1);
            delete page;
        }
    }
    void createClassPage(TClassItem& cls) override {
        auto* window = new TformFinal(port_, form_.DragPageControl);
        window->setClassItem(&cls);
        // A click on a pair selects the pair's run in the run grid.
        QObject::connect(window, &TformFinal::runSelected, form_.DragStringGrid, [this](int runId) {
            for (const TDragRaceItem& run : gDragRuns)
                if (run.runId == runId) {
                    selectRunById(run);
                    break;
                }
            form_.DragStringGrid->viewport()->update();
        });
        form_.DragPageControl->addTab(window, u("ТОП - " + cls.name));
    }
    void rebuildBracketDrawings() override { rebuildAllBracketDrawings(); }
    void repaintBrackets() override { TformFinal::repaintAll(); }
    int raceMode() const override { return static_cast<int>(theConsole().raceMode); }
    void notifyResultsThread() override { velmaro::notifyResultsThread(); }
    void sendRaceInfo() override { velmaro::sendRaceInfo(); }

private:
    TMainForm& form_;
    TBracketWindowPort& port_;
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
    Operator* op = nullptr;
    TMainForm* form = nullptr; // owned by the window list (console_windows)
    std::unique_ptr<MainFormEventHost> eventHost;
    std::unique_ptr<MainFormDragView> dragView;
    std::unique_ptr<MainFormLapHost> lapHost;
    std::unique_ptr<MainFormBracketPort> bracketPort;
    std::unique_ptr<MainFormClassPages> classPages;
    std::unique_ptr<MainFormDragEvents> dragEvents;
    std::unique_ptr<MainFormExchange> exchangePort;
    std::unique_ptr<WebDataExchange> exchange;
    std::unique_ptr<ui::SystemEventAdapter> eventAdapter;
    std::unique_ptr<TSystemInterface> link;
    std::unique_ptr<ui::LinkEvents> linkEvents;
    std::unique_ptr<ui::SystemEventHandler> events;
    std::unique_ptr<TNRFScoreboardController> radio;
    ui::NodeStatusBox* nodeBox = nullptr;
    ui::StartLightTree* lights = nullptr;
    QTimer* lapTick = nullptr;
};

ConsoleRoot::ConsoleRoot(Operator& op) : d(std::make_unique<State>()) {
    d->op = &op;
    setOperator(&op);
    theConsole().setPorts(this);
    registerLapHitHandlers();
}

ConsoleRoot::~ConsoleRoot() {
    shutDown();
    theConsole().setPorts(nullptr);
    setOperator(nullptr);
}

ui::TMainForm* ConsoleRoot::mainForm() const { return d->form; }

void ConsoleRoot::launch() {
    if (started_) return;
    started_ = true;
    // Closing the main window ends the program, whatever other windows are open.
    qApp->setQuitOnLastWindowClosed(false);
    ui::createConsoleWindows(*this, [this](TMainForm& form) {
        State* s = d.get();
        s->form = &form;
        s->eventHost = std::make_unique<MainFormEventHost>(form, *this);
        connectHitIntakeToConsole([this] { start(); },
                                  [this] {
                                      d->form->bBlockSt->setChecked(true);
                                      blockStart();
                                  },
                                  {});
        s->dragView = std::make_unique<MainFormDragView>(form);
        installConsoleDragHost(s->dragView.get());
        s->lapHost = std::make_unique<MainFormLapHost>(form);
        setLapHost(s->lapHost.get());
        s->lapTick = new QTimer(&form);
        s->lapTick->setInterval(20);
        QObject::connect(s->lapTick, &QTimer::timeout, &form, [] { lapResultsTimerTick(); });
        s->lapTick->start();
        s->bracketPort = std::make_unique<MainFormBracketPort>(form);
        s->classPages = std::make_unique<MainFormClassPages>(form, *s->bracketPort);
        s->dragEvents = std::make_unique<MainFormDragEvents>(*this);
        s->exchangePort = std::make_unique<MainFormExchange>(form);
        s->exchange = std::make_unique<WebDataExchange>(*s->exchangePort);
        QObject::connect(form.DragStringGrid, &ui::DragGridWidget::sendToScoreboardRequested, &form, [] {
            ui::MainForm->DragStringGrid->sendToScoreboards(theConsole().scoreboardBrightness);
        });

        DragResultsHooks results;
        results.showResults = [](const TDragResultsView&) {
            TformFinal::repaintAll();
            const Status st = saveFinalBracketFile(theConsole().eventFolder);
            if (!st.ok()) theOperator().log(st.message());
        };
        setDragResultsHooks(std::move(results));
    });
    ui::RegForm->registry.setSink(d->classPages.get());
    if (auto* dialogs = dynamic_cast<ui::QtOperator*>(d->op)) dialogs->setOwner(d->form);
    d->form->show();
}

void ConsoleRoot::shutDown() {
    if (!started_ || shutDown_) return;
    shutDown_ = true;
    State* s = d.get();
    if (s->form && !s->form->closing()) s->form->close();
    if (s->lapTick) s->lapTick->stop();
    s->lapTick = nullptr;
    if (ui::RegForm) ui::RegForm->registry.setSink(nullptr);
    setDragResultsHooks({});
    setLapHost(nullptr);
    installConsoleDragHost(nullptr);
    setHitIntakeHooks({});
    // The link and the radio thread were stopped by the window's closing; what is left
    // of them goes before the windows they report to.
    s->events.reset();
    s->linkEvents.reset();
    stopRadioScoreboard();
    stopLinkThread();
    s->link.reset();
    s->eventAdapter.reset();
    if (auto* dialogs = dynamic_cast<ui::QtOperator*>(d->op)) dialogs->setOwner(nullptr);
    ui::destroyConsoleWindows();
    s->form = nullptr;
    s->exchange.reset();
    s->exchangePort.reset();
    s->classPages.reset();
    s->bracketPort.reset();
    s->dragEvents.reset();
    s->lapHost.reset();
    s->dragView.reset();
    s->eventHost.reset();
}

int ConsoleRoot::exec(QApplication& app) {
    launch();
    const int result = app.exec();
    shutDown();
    return result;
}

// ---------------------------------------------------------------- ConsolePorts

bool ConsoleRoot::registryExists() { return ui::RegForm != nullptr; }
void ConsoleRoot::freeClasses() { theRegistry().clearClasses(); }
// freeClasses has already emptied the list and restarted the ids; clearing again is harmless.
void ConsoleRoot::clearRegistry() { theRegistry().clearClasses(); }
void ConsoleRoot::removeClassPages() {
    if (d->classPages) d->classPages->clearClassPages();
}
void ConsoleRoot::loadClassesAndRacers() { theRegistry().loadClassesAndRacers(theConsole().eventFolder); }
void ConsoleRoot::loadLapSingle() { velmaro::loadLapSingle(); }
void ConsoleRoot::loadDragFile() {
    velmaro::loadDragFile();
    TformFinal::syncAllFromPages();
}
void ConsoleRoot::selectLastDragRow() {
    if (d->dragView) d->dragView->gridCursorToLastRow();
}
void ConsoleRoot::loadHitLog() { velmaro::loadHitLog(); }
void ConsoleRoot::sendRaceInfo() { velmaro::sendRaceInfo(); }
void ConsoleRoot::refreshRaceItemClasses() { velmaro::refreshRaceItemClasses(); }
void ConsoleRoot::refreshRunClasses() { velmaro::refreshRunClasses(); }

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

void ConsoleRoot::setLinkTimeouts(int repeat, int detector) {
    if (d->link) d->link->setTimeouts(repeat, detector);
}

void ConsoleRoot::resendRunToScoreboards() {
    // Both lanes again, left first, with what they show now.
    if (gCurrentRun < 0 || gCurrentRun >= static_cast<int32_t>(gDragRuns.size())) return;
    sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
    sendRunToScoreboards(1, 1, 0, LANE_RIGHT, 0, 0);
}

void ConsoleRoot::startLinkThread() {
    State* s = d.get();
    s->eventAdapter = std::make_unique<ui::SystemEventAdapter>([s](int code, std::uint32_t wParam) {
        if (s->events) s->events->onSystemEvent(code, wParam);
    });
    s->link = std::make_unique<TSystemInterface>(s->eventAdapter->sink());
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
    theConsole().systemInterface = s->link.get();
    s->linkEvents = std::make_unique<ui::LinkEvents>(*s->link);
    s->events = std::make_unique<ui::SystemEventHandler>(*s->linkEvents, *s->eventHost, s->lights,
                                                         s->form->lNumAtStart);
    s->link->start();
}

void ConsoleRoot::startRadioScoreboard() {
    State* s = d.get();
    if (!s->link) return;
    s->radio = std::make_unique<TNRFScoreboardController>(*s->link);
    s->radio->attachTo(*s->link);
    s->radio->start();
    theConsole().nrfScoreboard = s->radio.get();
}

void ConsoleRoot::handScoreboardToLink() { linkScoreboard_.store(theConsole().scoreboard, std::memory_order_release); }

void ConsoleRoot::startResultsThread() { velmaro::startResultsThread(); }
void ConsoleRoot::stopLapResultsThread() { velmaro::stopLapResultsThread(); }
void ConsoleRoot::stopResultsThread() { velmaro::stopResultsThread(); }

void ConsoleRoot::stopLinkThread() {
    if (d->link) d->link->stop();
    // The link thread has ended: it no longer calls the controller, which may now go.
    linkScoreboard_.store(nullptr, std::memory_order_release);
    theConsole().systemInterface = nullptr;
}

// After the link has stopped: the controller leaves the link, then goes.
void ConsoleRoot::stopRadioScoreboard() {
    theConsole().nrfScoreboard = nullptr;
    if (d->radio) d->radio->stop();
    d->radio.reset();
}

void ConsoleRoot::onScoreboardEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    velmaro::onScoreboardEvent(theConsole(), wParam, lParam, logLine);
}

void ConsoleRoot::onExchangeData(std::uintptr_t, std::intptr_t) {
    if (d->exchange) d->exchange->onExchangeData();
}
void ConsoleRoot::onDragResults() { velmaro::onDragResults(); }

// ---------------------------------------------------------------- MainFormCommands

void ConsoleRoot::printBracket() {
    auto* window = qobject_cast<TformFinal*>(d->form->DragPageControl->currentWidget());
    if (!window) return;
    const Status st = printFinalBracket(window->bracket(), theConsole().eventFolder);
    if (!st.ok()) theOperator().message(st.message(), "Печать сетки", Operator::Icon::Warning);
}

void ConsoleRoot::raceReport() { notYet("отчет по парным"); }
void ConsoleRoot::undelete() {
    if (isTwoLaneMode(theConsole().raceMode))
        undeleteRuns();
    else
        notYet("отмена удаления событий круга");
}
void ConsoleRoot::deleteAll() { notYet("удаление всех заездов"); }
void ConsoleRoot::classSplit() {
    if (isTwoLaneMode(theConsole().raceMode))
        DragClassSplit(*d->dragEvents).run();
    else
        notYet("разбиение на классы по кругам");
}
void ConsoleRoot::resultsXls() { notYet("итоги XLS"); }
void ConsoleRoot::afterRegistration() {
    if (d->form) d->form->DragStringGrid->viewport()->update();
}
void ConsoleRoot::copyToScoreboardSettings() {
    const Console& c = theConsole();
    if (ui::fScoreboardConfig)
        ui::fScoreboardConfig->fillFromSettings(c.scoreboardBrightness, c.showLogo != 0, c.showDirtyTimeSB == 1);
}
void ConsoleRoot::start() { notYet("СТАРТ"); }
void ConsoleRoot::next() { notYet("СЛЕД. СТАРТ"); }
void ConsoleRoot::blockStart() { notYet("Block ST"); }
void ConsoleRoot::resetScoreboards() { notYet("сброс табло"); }
void ConsoleRoot::brightness(int) { notYet("яркость светофора"); }
void ConsoleRoot::setPenalty() {
    if (isTwoLaneMode(theConsole().raceMode))
        d->form->DragStringGrid->askPenalty();
    else
        notYet("штраф в заездах по кругам");
}
void ConsoleRoot::deleteItem() {
    if (isTwoLaneMode(theConsole().raceMode))
        deleteButtonOnRuns();
    else
        notYet("удаление событий круга");
}
void ConsoleRoot::printTimeslip(int) { notYet("печать результата заезда"); }
void ConsoleRoot::search(int direction) {
    d->form->DragStringGrid->searchRacer(d->form->eSearchText->text(), direction);
}
void ConsoleRoot::generateBracket() {
    ui::sbGenerateBracketClick(*d->form->DragPageControl, d->form->cbBracketType->currentIndex(),
                               d->form->cbGenerationMethod->currentIndex(), *ui::manualBracketOrderForm,
                               std::time(nullptr));
}
void ConsoleRoot::pageChanged(int) {}

void ConsoleRoot::sysTimer() {
    // The lane displays' brightness while no scoreboard controller exists.
    sysTimerTick(theConsole(), [this](int brightness, std::uint8_t node) {
        if (d->link) d->link->sendDisplayBrightness(static_cast<std::uint16_t>(brightness), node);
    });
    // Incoming messages left waiting by a full batch.
    if (d->exchange) d->exchange->tick();
}
void ConsoleRoot::secondTimer() { secondTimerTick(theConsole(), std::time(nullptr)); }
void ConsoleRoot::resultsTimer() {}

void ConsoleRoot::bindNodePanels() {
    // The group box "Система" with the four node panels, and the start light tree.
    State* s = d.get();
    TMainForm& form = *s->form;
    s->nodeBox = new ui::NodeStatusBox(form.systemPanelHost);
    form.systemPanelHost->layout()->addWidget(s->nodeBox);
    s->nodeBox->setNodeSource([] {
        TSystemInterface* link = theConsole().systemInterface;
        return link ? link->nodes() : std::vector<TSystemNode>{};
    });
    s->lights = new ui::StartLightTree(form.startLightsHost);
    form.startLightsHost->layout()->addWidget(s->lights);
}

void ConsoleRoot::closed() { QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection); }

} // namespace velmaro
