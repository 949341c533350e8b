// The drag results worker thread, the hand-over of the runs and the main-thread side.
#include "core/results/drag_results.h"

#include <algorithm>

#include "core/drag/drag_runs.h"
#include "core/registration/registry.h"
#include "core/results/results_model.h"

namespace velmaro {

// ---------------------------------------------------------------------------
// The main-thread object.

DragResults::DragResults(DragResultsPort& port, BracketPages& brackets, TRegistry& registry)
    : port_(port), brackets_(brackets), registry_(registry) {}

TDragResultsCntr* DragResults::dragResultsCntr() const {
    owner_.assertOwner();
    return port_.resultsWorker();
}

const TDragResultsMap& DragResults::qualResults() const {
    owner_.assertOwner();
    return qualResults_;
}

const TDragRankOptions& DragResults::currentRankOptions() const {
    owner_.assertOwner();
    return currentRankOptions_;
}

void DragResults::setCurrentRankOptions(const TDragRankOptions& options) {
    owner_.assertOwner();
    currentRankOptions_ = options;
}

TDragResultsOptions DragResults::sampleResultsOptions() const {
    owner_.assertOwner();
    TDragResultsOptions options;
    options.rank = port_.sampleRankOptions();
    options.proStart = port_.proStartSignal();
    options.registry = registry_.snapshot();
    return options;
}

// ---------------------------------------------------------------------------
// The worker.

TDragResultsCntr::TDragResultsCntr(BracketPages& brackets, Rebuilt rebuilt, PaceWait paceWait)
    : rebuilt_(std::move(rebuilt)), paceWait_(std::move(paceWait)),
      model_(std::make_unique<DragResultsModel>(brackets)), thread_([this] { Execute(); }) {}

TDragResultsCntr::~TDragResultsCntr() { stop(); }

void TDragResultsCntr::setEventRuns(const std::vector<TDragRaceItem>& list, TDragResultsOptions options) {
    TSharedRuns runs;
    runs.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i < handed_.size() && *handed_[i] == list[i])
            runs.push_back(handed_[i]);
        else
            runs.push_back(std::make_shared<const TDragRaceItem>(list[i]));
    }
    handed_ = runs;
    setRuns(std::move(runs), std::move(options));
}

void TDragResultsCntr::setRunChanged(const std::vector<TDragRaceItem>& list, std::size_t index,
                                     TDragResultsOptions options) {
    if (handed_.size() != list.size() || index >= list.size()) {
        setEventRuns(list, std::move(options));
        return;
    }
    auto run = std::make_shared<const TDragRaceItem>(list[index]);
    handed_[index] = run;
    TDragResultsOptions oldOptions;
    {
        std::lock_guard lock(inputMutex_);
        runChanges_.emplace_back(index, std::move(run));
        oldOptions = std::move(options_);
        options_ = std::move(options);
        changed();
    }
    // What was replaced is let go here, outside the lock.
}

void TDragResultsCntr::setRuns(std::vector<TDragRaceItem> runs, TDragResultsOptions options) {
    TSharedRuns shared;
    shared.reserve(runs.size());
    for (TDragRaceItem& run : runs) shared.push_back(std::make_shared<const TDragRaceItem>(std::move(run)));
    setRuns(std::move(shared), std::move(options));
}

void TDragResultsCntr::setRuns(TSharedRuns runs, TDragResultsOptions options) {
    TSharedRuns old;
    TDragResultsOptions oldOptions;
    TRunChanges oldChanges;
    {
        std::lock_guard lock(inputMutex_);
        old.swap(runs_);
        runs_.swap(runs);
        wholeList_ = true;
        oldChanges.swap(runChanges_);
        oldOptions = std::move(options_);
        options_ = std::move(options);
        changed();
    }
    // The replaced list is let go here, outside the lock.
}

std::string TDragResultsCntr::getResults(const std::string& name) const {
    const auto view = latestView();
    if (name == "allDragResults") return view ? view->allDragResults : std::string();
    if (name == "practiceResults") return view ? view->practiceResults : std::string();
    if (name == "qualResults") return view ? view->qualResults : std::string();
    if (name == "raceResults") return view ? view->raceResults : std::string();
    return "{}";
}

TDragResultsMap TDragResultsCntr::getPublishedResults() const {
    const auto view = latestView();
    return view ? view->qualByClass : TDragResultsMap{};
}

std::shared_ptr<const TDragResultsView> TDragResultsCntr::latestView() const {
    std::lock_guard lock(resultsMutex_);
    return view_;
}

void TDragResultsCntr::changed() {
    // Only the first hand-over after a rebuild wakes the worker; later ones find it
    // already on its way (or waiting for its beat) and go into the same rebuild.
    if (changeFlag_) return;
    changeFlag_ = true;
    wake_.notify_all();
}

void TDragResultsCntr::requestStop() {
    {
        std::lock_guard lock(inputMutex_);
        stopFlag_ = true;
    }
    wake_.notify_all();
}

void TDragResultsCntr::stop() {
    requestStop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TDragResultsCntr::defaultWait(std::chrono::steady_clock::time_point until,
                                   const std::function<bool()>& stopRequested) {
    std::unique_lock lock(inputMutex_);
    wake_.wait_until(lock, until, stopRequested);
}

void TDragResultsCntr::Execute() {
    const std::function<bool()> stopRequested = [this] { return stopFlag_.load(); };
    // Rebuilds start on the worker's beat of kMinPeriod, as a poll would, and never
    // sooner than kMinPeriod after the start of the last one.
    const auto beat0 = std::chrono::steady_clock::now();
    auto nextStart = beat0;
    while (true) {
        {
            std::unique_lock lock(inputMutex_);
            wake_.wait(lock, [this] { return changeFlag_ || stopFlag_; });
        }
        if (stopFlag_) break;
        const auto now = std::chrono::steady_clock::now();
        nextStart = std::max(nextStart, beat0 + ((now - beat0) / kMinPeriod + 1) * kMinPeriod);
        // Hand-overs that come while the worker waits here go into the same rebuild.
        if (paceWait_)
            paceWait_(nextStart, stopRequested);
        else if (std::chrono::steady_clock::now() < nextStart)
            defaultWait(nextStart, stopRequested);
        if (stopFlag_) break;
        nextStart = std::chrono::steady_clock::now() + kMinPeriod;

        bool whole = false;
        TSharedRuns runs;
        TRunChanges runChanges;
        TDragResultsOptions options;
        {
            // The hand-over is consumed: the next rebuild waits for the next one.
            std::lock_guard lock(inputMutex_);
            changeFlag_ = false;
            whole = wholeList_;
            wholeList_ = false;
            runs = std::move(runs_);
            runs_.clear();
            runChanges.swap(runChanges_);
            options = std::move(options_);
        }
        // Runs replaced one at a time go onto the whole list handed over, or else onto
        // the list of the last rebuild (its copies stay shared: only pointers copied).
        if (!whole) runs = built_;
        for (auto& [index, run] : runChanges)
            if (index < runs.size()) runs[index] = std::move(run);
        // The runs that are not the very copies of the last rebuild changed.
        std::vector<std::size_t> differ;
        for (std::size_t i = 0; i < runs.size() && i < built_.size(); ++i)
            if (runs[i] != built_[i]) differ.push_back(i);
        std::vector<const TDragRaceItem*> list;
        list.reserve(runs.size());
        for (const auto& run : runs) list.push_back(run.get());
        std::shared_ptr<const TDragResultsView> view = model_->build(list, options, &differ);
        built_ = std::move(runs);
        {
            std::lock_guard lock(resultsMutex_);
            view_.swap(view);
        }
        view.reset(); // the former rebuild is let go outside the lock
        ++rebuilds_;
        if (rebuilt_) rebuilt_();
    }
}

// ---------------------------------------------------------------------------
// Start, stop, hand-over.

void DragResults::notifyResultsThread(DragRuns& runs) {
    owner_.assertOwner();
    TDragResultsCntr* worker = port_.resultsWorker();
    if (!worker) return;
    worker->setEventRuns(runs.dragRuns(), sampleResultsOptions());
    publishCurrentRun(runs);
}

void DragResults::notifyRunChanged(DragRuns& runs, std::size_t index) {
    owner_.assertOwner();
    TDragResultsCntr* worker = port_.resultsWorker();
    if (!worker) return;
    worker->setRunChanged(runs.dragRuns(), index, sampleResultsOptions());
    publishCurrentRun(runs);
}

// ---------------------------------------------------------------------------
// Main thread side of a rebuild.

void fillClassResultLists(const TDragResultsView& view, TRegistry& registry) {
    for (const auto& cls : registry.classes) {
        cls->results.clear();
        cls->timedResults.clear();
    }
    for (const auto& [classId, list] : view.resultsByClass) {
        TClassItem* cls = registry.findClass(classId);
        if (!cls || classId == -1) continue;
        for (const TDragResult& r : list) {
            cls->results.push_back(r);
            if (r.bestAnyStart.et != 0) cls->timedResults.push_back(r);
        }
        std::sort(
            cls->timedResults.begin(), cls->timedResults.end(),
            [&view](const TDragResult& a, const TDragResult& b) { return lessForQualification(a, b, view.rank); });
    }
}

void DragResults::sendResults() {
    owner_.assertOwner();
    TDragResultsCntr* worker = port_.resultsWorker();
    if (!worker) return;
    for (const char* name : {"allDragResults", "practiceResults", "qualResults", "raceResults"}) {
        const std::string text = worker->getResults(name);
        if (text.empty()) continue; // no rebuild yet: no document to send
        port_.sendData(text, "results");
    }
}

void DragResults::onDragResults() {
    owner_.assertOwner();
    TDragResultsCntr* worker = port_.resultsWorker();
    if (!worker) return;
    if (auto view = worker->latestView()) {
        fillClassResultLists(*view, registry_);
        port_.showResults(*view);
    }
    qualResults_ = worker->getPublishedResults();
    sendResults();
}

} // namespace velmaro
