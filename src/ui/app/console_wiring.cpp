#include "ui/app/console_wiring.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <ctime>

#include "core/app/console.h"
#include "core/app/console_timers.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/console_drag_host.h"
#include "core/drag/drag_file.h"
#include "core/lap/lap_console_host.h"
#include "core/lap/lap_events.h"
#include "core/lap/lap_results.h"
#include "core/link/hit_intake.h"
#include "core/link/link_console_host.h"
#include "core/link/radio_scoreboard.h"
#include "core/link/system_interface.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "ui/app/main_form.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/form_final.h"
#include "ui/registration/reg_form.h"
#include "ui/link/node_status_box.h"
#include "ui/link/start_light_tree.h"
#include "ui/link/system_events.h"
#include "ui/results/rally_results.h"

namespace velmaro::ui {
namespace {

QString u(const std::string& s) { return QString::fromStdString(s); }

// The start sequence (START, NEXT, the armed state) comes with its own area; until then
// nothing is armed and the system events find no armed start.
class MainFormEventHost final : public SystemEventHost {
public:
    explicit MainFormEventHost(TMainForm& form) : form_(form) {}
    bool startArmed() override { return false; }
    void setStartArmed(bool) override {}
    void releaseBlockSt() override {
        const QSignalBlocker block(form_.bBlockSt);
        form_.bBlockSt->setChecked(false);
    }
    void pressStart() override {
        if (form_.hooks.start) form_.hooks.start();
    }
    void showStartGiven() override {
        form_.StartSignalLed->setStyleSheet("background: #00c000; border-radius: 11px;");
        form_.StartSignalLed->repaint();
    }
    void setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>&) override {
        // The channel scan window shows them once it has its level display.
    }
    int racerNumberByTag(int tag) override { return static_cast<int>(theRegistry().racerNumberByTag(tag)); }

private:
    TMainForm& form_;
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
        if (last >= 0) form_.DragStringGrid->setCurrentCell(last, form_.DragStringGrid->currentColumn() < 0 ? 0 : form_.DragStringGrid->currentColumn());
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
    bool resultsWindowExists() const override { return RallyResults != nullptr; }

private:
    TMainForm& form_;
};

// Class pages of DragPageControl: page 0 is the run grid, each further page holds the
// bracket window of one class.
class MainFormClassPages final : public ClassPageSink {
public:
    explicit MainFormClassPages(TMainForm& form) : form_(form) {}
    void clearClassPages() override {
        QTabWidget* pages = form_.DragPageControl;
        while (pages->count() > 1) {
            QWidget* page = pages->widget(pages->count() - 1);
            pages->removeTab(pages->count() - 1);
            delete page;
        }
    }
    void createClassPage(TClassItem& cls) override {
        auto* window = new TformFinal(form_.DragPageControl);
        window->setClassItem(&cls);
        form_.DragPageControl->addTab(window, u("ТОП - " + cls.name));
    }
    void rebuildBracketDrawings() override { rebuildAllBracketDrawings(); }
    void repaintBrackets() override { TformFinal::repaintAll(); }
    int raceMode() const override { return static_cast<int>(theConsole().raceMode); }
    void notifyResultsThread() override { velmaro::notifyResultsThread(); }

private:
    TMainForm& form_;
};

} // namespace

struct ConsoleWiring::State {
    TMainForm* form = nullptr;
    std::unique_ptr<TSystemInterface> link;
    std::unique_ptr<TNRFScoreboardController> radio;
    std::unique_ptr<MainFormEventHost> eventHost;
    std::unique_ptr<LinkEvents> linkEvents;
    std::unique_ptr<SystemEventHandler> events;
    std::unique_ptr<MainFormDragView> dragView;
    std::unique_ptr<MainFormLapHost> lapHost;
    std::unique_ptr<MainFormClassPages> classPages;
    NodeStatusBox* nodeBox = nullptr;
    StartLightTree* lights = nullptr;
    QTimer* lapTick = nullptr;
};

ConsoleWiring::ConsoleWiring() : d(std::make_unique<State>()) {}
ConsoleWiring::~ConsoleWiring() { release(); }

void ConsoleWiring::installHooks() {
    ConsoleHooks& h = theConsole().hooks;
    State* s = d.get();

    // --- node link and radio scoreboards ---
    h.startLinkThread = [s] {
        s->link = std::make_unique<TSystemInterface>([](int code, std::uint32_t wParam) {
            theConsole().mainWindow.post(WM_SYSTEM_EVENT, wParam, code);
        });
        connectScoreboardLines(*s->link);
        theConsole().systemInterface = s->link.get();
        // Its events are queued to the main window, so the handler only has to exist
        // before the event loop runs.
        if (s->form) {
            s->linkEvents = std::make_unique<LinkEvents>(*s->link);
            s->events = std::make_unique<SystemEventHandler>(*s->linkEvents, *s->eventHost, s->lights,
                                                             s->form->lNumAtStart);
        }
        s->link->start();
    };
    h.startRadioScoreboard = [s] {
        if (!s->link) return;
        s->radio = std::make_unique<TNRFScoreboardController>(*s->link);
        s->radio->attachTo(*s->link);
        s->radio->start();
        theConsole().nrfScoreboard = s->radio.get();
    };
    h.setLinkTimeouts = [s](int repeat, int detector) {
        if (s->link) s->link->setTimeouts(repeat, detector);
    };
    h.stopLinkThread = [s] {
        if (s->link) s->link->stop();
    };
    // After the link has stopped: the controller leaves the link, then goes.
    h.stopRadioScoreboard = [s] {
        theConsole().nrfScoreboard = nullptr;
        if (s->radio) s->radio->stop();
        s->radio.reset();
    };
    h.onSystemEvent = [s](std::uintptr_t wParam, std::intptr_t lParam) {
        if (s->events) s->events->onSystemEvent(static_cast<int>(lParam), static_cast<std::uint32_t>(wParam));
    };
    h.loadHitLog = [] { loadHitLog(); };
    h.onScoreboardEvent = [](std::uintptr_t wParam, std::intptr_t lParam) {
        velmaro::onScoreboardEvent(theConsole(), wParam, lParam,
                                   [](const std::string& line) { appendLog(QString::fromStdString(line)); });
    };

    // --- registry and class pages ---
    // Freeing the classes also empties the class list and restarts the class ids, so the
    // separate "clear the registry" step has nothing left to do.
    h.freeClasses = [] { theRegistry().clearClasses(); };
    h.removeClassPages = [s] {
        if (s->classPages) s->classPages->clearClassPages();
    };
    h.loadClassesAndRacers = [] { theRegistry().loadClassesAndRacers(theConsole().eventFolder); };

    // --- runs of the two-lane modes, with their brackets ---
    h.loadDragFile = [] {
        velmaro::loadDragFile();
        TformFinal::syncAllFromPages();
    };
    h.selectLastDragRow = [s] {
        if (s->dragView) s->dragView->gridCursorToLastRow();
    };

    // --- lap events of the single-lane modes ---
    h.loadLapSingle = [] { velmaro::loadLapSingle(); };
    h.refreshRaceItemClasses = [] { velmaro::refreshRaceItemClasses(); };
    h.stopLapResultsThread = [] { velmaro::stopLapResultsThread(); };

    // --- drag results ---
    h.startResultsThread = [] { velmaro::startResultsThread(); };
    h.stopResultsThread = [] { velmaro::stopResultsThread(); };
    h.onDragResults = [](std::uintptr_t, std::intptr_t) { velmaro::onDragResults(); };
    DragResultsHooks results;
    results.showResults = [](const TDragResultsView&) {
        TformFinal::repaintAll();
        const Status st = saveFinalBracketFile(theConsole().eventFolder);
        if (!st.ok()) theOperator().log(st.message());
    };
    setDragResultsHooks(std::move(results));

    registerLapHitHandlers();
}

void ConsoleWiring::attachMainForm(TMainForm& form) {
    State* s = d.get();
    s->form = &form;

    // The group box "Система" with the four node panels, and the start light tree.
    form.onBindNodePanels = [s, &form] {
        s->nodeBox = new NodeStatusBox(form.systemPanelHost);
        form.systemPanelHost->layout()->addWidget(s->nodeBox);
        s->nodeBox->setNodeSource([] {
            TSystemInterface* link = theConsole().systemInterface;
            return link ? link->nodes() : std::vector<TSystemNode>{};
        });
        s->lights = new StartLightTree(form.startLightsHost);
        form.startLightsHost->layout()->addWidget(s->lights);
    };

    s->eventHost = std::make_unique<MainFormEventHost>(form);
    connectHitIntakeToConsole(
        [&form] {
            if (form.hooks.start) form.hooks.start();
        },
        [&form] {
            form.bBlockSt->setChecked(true);
            if (form.hooks.blockStart) form.hooks.blockStart();
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

    s->classPages = std::make_unique<MainFormClassPages>(form);

    // The lane displays' brightness while no scoreboard controller exists, and the clock
    // of a type 117 scoreboard.
    form.hooks.sysTimer = [s] {
        sysTimerTick(theConsole(), [s](int brightness, std::uint8_t node) {
            if (s->link) s->link->sendDisplayBrightness(static_cast<std::uint16_t>(brightness), node);
        });
    };
    form.hooks.secondTimer = [] { secondTimerTick(theConsole(), std::time(nullptr)); };

    form.hooks.printBracket = [&form] {
        auto* window = qobject_cast<TformFinal*>(form.DragPageControl->currentWidget());
        if (!window) return;
        const Status st = printFinalBracket(window->bracket(), theConsole().eventFolder);
        if (!st.ok()) theOperator().message(st.message(), "Печать сетки", Operator::Icon::Warning);
    };
}

void ConsoleWiring::attachRegistry(TRegForm& regForm) {
    regForm.registry.setSink(d->classPages.get());
}

void ConsoleWiring::release() {
    State* s = d.get();
    if (s->lapTick) s->lapTick->stop();
    s->lapTick = nullptr;
    if (s->form) {
        if (RegForm) RegForm->registry.setSink(nullptr);
        setLapHost(nullptr);
        installConsoleDragHost(nullptr);
    }
    s->events.reset();
    s->linkEvents.reset();
    if (s->radio) s->radio->stop();
    s->radio.reset();
    theConsole().nrfScoreboard = nullptr;
    if (s->link) s->link->stop();
    theConsole().systemInterface = nullptr;
    s->link.reset();
    s->form = nullptr;
}

} // namespace velmaro::ui
