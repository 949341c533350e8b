#pragma once
// The composition root: the one place that joins the console's areas. It owns every
// long-lived object of a running console, in start-up order (shut-down runs in
// reverse: the node link and the workers stop before what they observe goes). It runs
// the console's start-up and shut-down, step by step in their order, when the main
// window is created, shown and closed (windowCreated, windowShown, windowClosing), and
// it implements the ports the areas declare: event loading and settings (ConsolePorts)
// and the main window's commands (MainFormCommands). The windows are built after it
// and destroyed before it.
//
// Road of one sensor hit (drag mode), one hop per line: function, file, thread and what
// happens there.
//   node -> UDP datagram                              tools/nodesim or a timing node
//   TSystemInterface::runPass                         core/link/system_interface.cpp   link thread: every waiting datagram received
//   TSystemInterface::handleDatagram                  core/link/system_interface.cpp   link thread: items parsed from the frame
//   TSystemInterface::handleNodeMessage               core/link/system_interface.cpp   link thread: a hit message becomes a TSignalHit
//   TSystemInterface::handleSignalHit                 core/link/system_interface.cpp   link thread: repeat dropped (hashed), refused beyond the queue cap
//   HitJournal::append                                core/link/hit_journal.cpp        link thread: hit_journal.txt in the program folder, then the ack
//   TSystemInterface::deliver                         core/link/system_interface.cpp   link thread: SE_NEW_HITS to the link's event sink
//   QueuedPoster::post                                ui/platform/queued_poster.cpp    link thread -> main thread (dropped once the window closed)
//   SystemEventAdapter::deliver                       ui/link/system_event_adapter.cpp main thread
//   SystemEventHandler::onSystemEvent                 ui/link/system_events.cpp        main thread: SE_NEW_HITS -> takeNewHits
//   SystemEventHandler::runSlice                      ui/link/system_events.cpp        main thread: oldest first for ~10 ms in one HitBatch, the rest queued
//   LinkEvents::tryPopHit                             ui/link/system_events.h          main thread: one hit off the link's queue
//   HitIntake::processHit                             core/intake/hit_intake.cpp       main thread: hit list, repeat check, remote signals, tags
//   ModeHitHandlers::dispatch                         core/intake/hit_intake.cpp       main thread: the handler of the timing mode
//   DragRuns::addDragHit -> DragRuns::handleHit       core/drag/drag_hits.cpp          main thread: lane, acceptance, figures; the save waits for the batch end
//   HitBatch::~HitBatch -> HitIntake::closeBatch      core/intake/hit_intake.cpp       main thread: the batch's work, once per slice, hitlog.txt last
//   DragRuns::commit                                  core/drag/drag_file.cpp          main thread: save, then notify, then repaint once
//   DragRuns::saveDragFile                            core/drag/drag_file.cpp          main thread: drag.txt tail written in place (or the file rewritten)
//   HitIntake::noteHitsWriting                        core/intake/hit_intake.cpp       main thread: before the write, the journal notes where the hits go
//   TSystemInterface::hitsWriting                     core/link/system_interface.cpp   main thread: hit_journal.txt "writing" lines
//   HitIntake::noteHitsTaken                          core/intake/hit_intake.cpp       main thread: after the write, through TSystemInterface::hitsTaken
//   ConsoleDragHost::notifyRunChanged                 app/root/console_drag_host.cpp   main thread: the one changed run
//   DragResults::notifyRunChanged                     core/results/drag_results.cpp    main thread -> results worker (TDragResultsCntr::setRunChanged wakes it)
//   HitIntake::writeHitLog                            core/intake/hit_intake.cpp       main thread: hitlog.txt appended
//   TSystemInterface::hitsLogged                      core/link/system_interface.cpp   main thread: queue empty and hitlog.txt saved -> journal emptied
//   TDragResultsCntr::Execute                         core/results/drag_results.cpp    results thread: at most one rebuild per 200 ms: ranking, brackets, documents
//   QueuedPoster::post                                ui/platform/queued_poster.cpp    results thread -> main thread
//   DragResults::onDragResults                        core/results/drag_results.cpp    main thread: results window, documents to the web service
// After a crash the journal's hits go through processHit from the first event load on
// (ConsoleRoot::replayHitJournal), in the slices of SystemEventHandler ahead of new hits.

#include <QApplication>

#include <atomic>
#include <memory>

#include "core/app/console_ports.h"
#include "ui/app/main_form.h"

namespace velmaro {

class Console;
class DragRuns;
class HitIntake;
class DragResults;
class LapTiming;
class NodeLink;
class Operator;
class TScoreboardController;
class TRegistry;

namespace ui {
class TRegForm;
} // namespace ui

class ConsoleRoot final : public ConsolePorts, public ui::MainFormCommands {
public:
    // `op` answers every question to the official (dialogs in the program, a script in tests).
    explicit ConsoleRoot(Operator& op);
    ~ConsoleRoot() override;
    ConsoleRoot(const ConsoleRoot&) = delete;
    ConsoleRoot& operator=(const ConsoleRoot&) = delete;

    // Creates the console's windows in their start-up order (the main window's creation
    // handler starts the link and the workers) and shows the main window.
    void launch();
    // Closes the main window if it is still open, stops everything and destroys the
    // windows. Idempotent; the destructor calls it.
    void shutDown();
    // launch(), the event loop until the main window closes, shutDown().
    int exec(QApplication& app);

    ui::TMainForm* mainForm() const;
    // The lap timing of the open single-lane event (built with the root, lives as long).
    LapTiming& lapTiming() const;
    // The hit intake (built with the root, lives as long).
    HitIntake& hitIntake() const;
    // The console's state (built first with the root, lives as long): the open event, the
    // timing mode, the settings and the closed libraries.
    Console& console() const;
    // The node link as its users reach it (built with the root, lives as long): the
    // running link while the main window is open, nothing before and after.
    NodeLink& nodeLink() const;
    // The drag results with the class pages' brackets (built with the root, live as long).
    DragResults& dragResults() const;
    // The racers, classes and racer database of the console (built with the root, lives as long).
    TRegistry& registry() const;
    // The two-lane runs of the open event.
    DragRuns& dragRuns() const;

    // --- ConsolePorts ---
    bool registryExists() override;
    void freeClasses() override;
    void removeClassPages() override;
    void loadClassesAndRacers() override;
    void loadLapSingle() override;
    void loadDragFile() override;
    void selectLastDragRow() override;
    void loadHitLog() override;
    void sendRaceInfo() override;
    void leavingEvent() override;
    void refreshRaceItemClasses() override;
    void refreshRunClasses() override;
    std::vector<std::pair<int, int>> finalCounts() override;
    bool scoreboardSettingsExist() override;
    void setLinkTimeouts(int repeat, int detector) override;
    void resendRunToScoreboards() override;
    void onScoreboardEvent(std::uintptr_t wParam, std::intptr_t lParam) override;
    void onExchangeData(std::uintptr_t wParam, std::intptr_t lParam) override;

    // --- MainFormCommands ---
    void printBracket() override;
    void raceReport() override;
    void undelete() override;
    void deleteAll() override;
    void classSplit() override;
    void resultsXls() override;
    void registration() override;
    void copyToScoreboardSettings() override;
    void start(int modifiers) override;
    void next() override;
    void blockStart() override;
    void resetScoreboards(int modifiers) override;
    bool startKey(StartKey key, bool ctrl) override;
    void brightness(int position) override;
    void setPenalty() override;
    void deleteItem() override;
    void printTimeslip(int lane) override;
    void search(int direction) override;
    void generateBracket() override;
    void sysTimer() override;
    void secondTimer() override;
    void windowCreated() override;
    void windowShown() override;
    void windowClosing() override;
    void closed() override;

    // The node link's hit journal, in the program folder.
    static constexpr const char* kHitJournalFile = "hit_journal.txt";

private:
    // The steps of start-up and shut-down that act on what the root owns.
    void bindNodePanels();
    void startLinkThread();
    void startRadioScoreboard();
    void handScoreboardToLink();
    void startResultsThread();
    void stopLapResultsThread();
    void stopResultsThread();
    void stopLinkThread();
    void stopRadioScoreboard();

    void replayHitJournal();
    // "Разбить на классы" in the single-lane modes.
    void lapClassSplit();

    struct State;
    std::unique_ptr<State> d;
    // The controller object as the link thread sees it: set once the main thread has
    // made it, cleared before it is destroyed.
    std::atomic<TScoreboardController*> linkScoreboard_{nullptr};
    bool started_ = false;
    bool shutDown_ = false;
    bool journalReplayed_ = false; // the journal's hits from before this start are in hitlog.txt
};

} // namespace velmaro
