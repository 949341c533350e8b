#pragma once
// The drag results worker: after every change of the two-lane runs it re-ranks every
// racer of every class in practice, qualification and finals, advances the brackets,
// and builds the four result documents for the web service.
//
// Threads. The main thread hands over the heat list together with a snapshot of
// everything else the rules read (time options, timing mode, PRO Start, a copy of the
// registry) — DragResults::notifyResultsThread. Runs are handed over as shared immutable
// copies: a run that did not change since the last hand-over is handed over again as
// the same copy, so a hit copies only its own run, and the worker rebuilds only what
// that run touches (DragResultsModel). The worker sleeps until a hand-over wakes it, then
// starts the rebuild on its next 200 ms beat (kMinPeriod), never two within one period:
// hand-overs that come meanwhile are taken together by that rebuild, from the last list,
// so a burst gives one rebuild per period and the last change is always built. The brackets of the class pages are
// read and advanced under the bracket lock (core/bracket/bracket_pages.h).
// After a rebuild the worker stores the documents, the published qualification map and
// the whole rebuild (TDragResultsView) under its results lock and calls its `rebuilt`
// callback, which only queues a call to the main thread (the console posts
// DragResults::onDragResults through its main-thread poster). The worker never waits
// for the main thread, so stopping it (flag + join) cannot deadlock.
//
// Ownership: the composition root owns the console's worker (built when the main window
// is created, stopped when it closes) beside the lap results worker; DragResults reaches
// it through its port (DragResultsPort::resultsWorker). Tests build their own.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/drag/drag_run.h"
#include "core/platform/thread_owner.h"
#include "core/records/drag_result.h"

namespace velmaro {

struct TRacerItem;
struct TRegistrySnapshot;
class TRegistry;
class BracketPages;

class DragResultsModel;
class TDragResultsCntr;
class DragRuns; // core/drag/drag_runs.h

// A heat list as the worker holds it: runs shared, never changed once handed over.
using TSharedRuns = std::vector<std::shared_ptr<const TDragRaceItem>>;
// Runs replaced one at a time: the index in the list and the new copy, in order.
using TRunChanges = std::vector<std::pair<std::size_t, std::shared_ptr<const TDragRaceItem>>>;

// Class id -> results of that class; -1 is the overall list of all racers.
using TDragResultsMap = std::map<std::int32_t, std::vector<TDragResult>>;

// Everything the rebuild reads of the main thread, sampled there at hand-over.
struct TDragResultsOptions {
    TDragRankOptions rank; // clean/dirty time, sum of times, timing mode
    bool proStart = false; // the PRO Start light tree is in use (void reaction time -400, else -1200)
    std::shared_ptr<const TRegistrySnapshot> registry; // racers and classes; null = nobody registered
};

// One rebuild as the main thread takes it: the standings of every class, the
// qualification lists, the grid width and the four documents. Immutable once made.
struct TDragResultsView {
    TDragResultsMap resultsByClass; // standings order; -1 overall
    TDragResultsMap qualByClass;    // qualification order; qualPos = position + 1
    std::int32_t maxAttempts = 0;   // most attempts of any result (attempt columns of the grid)
    TDragRankOptions rank;          // the options the lists were ranked under
    std::string allDragResults, practiceResults, qualResults, raceResults;
};

// What the results need of the console on the main thread. The composition root
// implements it and hands it to its DragResults; tests hand fakes to theirs.
class DragResultsPort {
public:
    DragResultsPort() = default;
    DragResultsPort(const DragResultsPort&) = delete;
    DragResultsPort& operator=(const DragResultsPort&) = delete;
    virtual ~DragResultsPort() = default;

    // Options snapshot, taken with every hand-over: the current rank options
    // (currentRankOptions) with the console's timing mode.
    virtual TDragRankOptions sampleRankOptions() = 0;
    // The console's "Светофор PRO Start" setting, sampled with the options and read by
    // the current-run document.
    virtual bool proStartSignal() = 0;
    // The open event's name, for the current-run document.
    virtual std::string eventName() = 0;
    // After each rebuild, once the class result lists are filled: refresh the results
    // window, repaint the bracket in view, rewrite final_bracket.txt.
    virtual void showResults(const TDragResultsView& view) = 0;
    // Sends one document to the web service (kind "results" or "online"); skipped while
    // the console's exchange library is not loaded.
    virtual void sendData(const std::string& text, const char* kind) = 0;
    // The running worker, null while none runs (before the main window is created, after
    // it closed): nothing is handed over then.
    virtual TDragResultsCntr* resultsWorker() = 0;
};

class TDragResultsCntr {
public:
    // The shortest time from the start of one rebuild to the start of the next.
    static constexpr std::chrono::milliseconds kMinPeriod{200};

    // Called on the worker thread after each rebuild; it must only queue a call to the
    // main thread and return: never run main-thread work inline, never wait for it.
    using Rebuilt = std::function<void()>;
    // Waits, after a hand-over woke the worker, until a rebuild may start: returns once
    // `until` has come, or early once `stopRequested()` is true. Tests install one that
    // waits for their go-ahead.
    using PaceWait =
        std::function<void(std::chrono::steady_clock::time_point until, const std::function<bool()>& stopRequested)>;

    // Starts the worker at once; it sleeps until the first hand-over. Empty paceWait:
    // wait for the time itself (cut short by stop). `brackets`: the class pages'
    // brackets each rebuild plays (not owned, outlive it).
    TDragResultsCntr(BracketPages& brackets, Rebuilt rebuilt, PaceWait paceWait = {});
    ~TDragResultsCntr(); // stop()
    TDragResultsCntr(const TDragResultsCntr&) = delete;
    TDragResultsCntr& operator=(const TDragResultsCntr&) = delete;

    // Main thread: hands over the event's runs with `options` (a fresh snapshot,
    // DragResults::sampleResultsOptions). Runs equal to the ones handed over last time are
    // passed on as the same shared copies. (Named apart from the setRuns overloads below,
    // which take a list as it is.)
    void setEventRuns(const std::vector<TDragRaceItem>& runs, TDragResultsOptions options);
    // Main thread: the same when only runs[index] can have changed since the last
    // hand-over (one hit): no other run is looked at. A list of another length is
    // handed over whole.
    void setRunChanged(const std::vector<TDragRaceItem>& runs, std::size_t index, TDragResultsOptions options);
    // Any thread: hands over the given runs and options.
    void setRuns(std::vector<TDragRaceItem> runs, TDragResultsOptions options);
    void setRuns(TSharedRuns runs, TDragResultsOptions options);

    // A copy of the named document ("allDragResults", "practiceResults", "qualResults",
    // "raceResults", exact case); "{}" for any other name; empty before the first rebuild.
    std::string getResults(const std::string& name) const;
    // A copy of the qualification lists of the last rebuild.
    TDragResultsMap getPublishedResults() const;
    // The last rebuild; null before the first one.
    std::shared_ptr<const TDragResultsView> latestView() const;

    // Asks the worker to stop after its current rebuild; does not wait.
    void requestStop();
    // Stops the worker and waits for it. Safe to call twice.
    void stop();

    // Rebuilds run so far.
    std::uint64_t rebuildCount() const { return rebuilds_.load(); }

    // The whole rebuild of one heat list. Reads the registry only through the
    // snapshot in `options`, and the brackets of `brackets` under their lock (their seed
    // indexes and progression are updated). The lane breakout flags of qualification
    // runs in `runs` are rewritten.
    static std::shared_ptr<TDragResultsView> buildResults(std::vector<TDragRaceItem>& runs,
                                                          const TDragResultsOptions& options, BracketPages& brackets);

private:
    void Execute();
    void defaultWait(std::chrono::steady_clock::time_point until, const std::function<bool()>& stopRequested);
    // Marks a hand-over and wakes the worker; call with inputMutex_ held.
    void changed();

    Rebuilt rebuilt_;
    PaceWait paceWait_;

    TSharedRuns handed_; // main thread: the list as handed over so far

    // Guards runs_, wholeList_, runChanges_, options_, changeFlag_ and stopFlag_'s
    // changes; wake_ is signalled on every hand-over and on stop.
    mutable std::mutex inputMutex_;
    std::condition_variable wake_;
    TSharedRuns runs_; // a whole list handed over (wholeList_), not taken yet
    bool wholeList_ = false;
    // Runs replaced since: applied in order to runs_, or to the list of the last rebuild
    // when no whole list is waiting. One hit adds one, with no copy of the list.
    TRunChanges runChanges_;
    TDragResultsOptions options_;
    bool changeFlag_ = false;

    // Worker thread: the kept model and the list it was last built from.
    std::unique_ptr<DragResultsModel> model_;
    TSharedRuns built_;

    mutable std::mutex resultsMutex_; // guards view_ (documents and published map)
    std::shared_ptr<const TDragResultsView> view_;

    std::atomic<bool> stopFlag_{false};
    std::atomic<std::uint64_t> rebuilds_{0};

    std::thread thread_; // last member: starts once every other member is ready
};

// The drag results of the console: the worker, the published qualification results and
// the ranking options in force, with the port they reach the console through. The
// composition root builds one after the port and the class pages' brackets and hands it
// by reference to the drag host, the web exchange, the results window's host and the
// class pages; tests build as many as they need.
//
// Each piece that was once a global is reached through an accessor named after it; the
// accessors' comments name what each replaces.
//
// Ownership: the port (and the worker it gives), the brackets and the registry are not
// owned and outlive this.
// Thread: the main thread only, that is the thread that built the object; the accessors
// and the entry points assert it in debug builds. The worker runs on its own thread and
// never calls back into this object (it tells its sink).
class DragResults {
public:
    DragResults(DragResultsPort& port, BracketPages& brackets, TRegistry& registry);
    DragResults(const DragResults&) = delete;
    DragResults& operator=(const DragResults&) = delete;

    DragResultsPort& port() const { return port_; }
    BracketPages& brackets() const { return brackets_; }
    TRegistry& registry() const { return registry_; }

    // Formerly gDragResultsCntr: the one worker, as the port gives it; null while none runs.
    TDragResultsCntr* dragResultsCntr() const;
    // Formerly gQualResults: the published qualification results as the main thread
    // took them, replaced after every rebuild (onDragResults).
    const TDragResultsMap& qualResults() const;
    // Formerly currentRankOptions()/setCurrentRankOptions() of core/records (a
    // function-static): the ranking options in force. The results window keeps them equal
    // to its time options (through its host); the hand-over samples them through the
    // port, the split into classes reads them.
    const TDragRankOptions& currentRankOptions() const;
    void setCurrentRankOptions(const TDragRankOptions& options);

    // The options the rebuild would use if the runs were handed over now.
    TDragResultsOptions sampleResultsOptions() const;

    // When the worker exists: hands it the runs, then publishes the current run.
    void notifyResultsThread(DragRuns& runs);
    // The same after a change of run `index` alone (a hit on that run).
    void notifyRunChanged(DragRuns& runs, std::size_t index);

    // What the worker's rebuilt callback posts to the main thread. Takes the last rebuild, fills the class result
    // lists, runs the port's showResults, stores the published qualification results in
    // qualResults() and sends the four documents (sendResults). Nothing without a worker.
    void onDragResults();
    // Sends "allDragResults", "practiceResults", "qualResults", "raceResults" in this
    // order with the kind "results", when the worker exists and has rebuilt.
    void sendResults();

    // Sends the run that receives device hits (DragRuns::currentRun) to the web service as
    // the current-run document, kind "online"; nothing when the exchange library is not
    // loaded or there is no current run.
    void publishCurrentRun(DragRuns& runs);

private:
    DragResultsPort& port_;
    BracketPages& brackets_;
    TRegistry& registry_;
    ThreadOwner owner_;
    TDragRankOptions currentRankOptions_; // formerly mainThreadOptions()::options
    TDragResultsMap qualResults_;         // formerly gQualResults
};

// Fills TClassItem::results (standings order) and TClassItem::timedResults (results whose
// kept attempt B has a time, in qualification order) of every registered class from a
// rebuild. Main thread.
void fillClassResultLists(const TDragResultsView& view, TRegistry& registry);

// The current-run document of one run, names from `registry`. Main thread.
std::string currentRunJson(const TDragRaceItem& run, const std::string& eventName, bool proStart,
                           const TRegistry& registry);

// One lane of a run as a JSON object: _60ft, city, et, model, name, num, rt, spd.
// lane 0 is the left lane, any other value the right one. omitNames leaves name, city and
// model out for a lane with a racer; proStart selects the void reaction time (-400 with
// the PRO Start tree, -1200 without), whose lane is written with rt, _60ft and et of 0.
// The racer is looked up in `registry` (null: nobody is registered).
std::string laneJson(const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                     const TRegistrySnapshot* registry);
// The same with the racer looked up in `registry`. Main thread.
std::string laneJson(const TDragRaceItem& run, int lane, bool omitNames, bool proStart, const TRegistry& registry);

} // namespace velmaro
