#pragma once
// The lap results worker: keeps a LapResultsModel on a thread of its own, takes the
// changes of the lap events from the main thread (notify), waits until no change has
// come for the debounce interval (500 ms in the console), then builds the results,
// writes the HTML results table and hands the finished build to its sink.
//
// The sink runs on the worker thread; the console's sink hands the build to its
// main-thread poster, and the main thread gives it to the results window and the class
// result lists (applyLapResults). The worker never waits for the main thread, so
// stop() always returns promptly.
//
// Ownership: the composition root owns the worker and stops it (stop() joins) before
// the sink's target goes. Thread: notify, start and stop on the main thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/lap/lap_results_model.h"

namespace velmaro {

class LapResultsWorker {
public:
    using Sink = std::function<void(LapResultsOutput)>;

    explicit LapResultsWorker(Sink sink, std::chrono::milliseconds debounce = std::chrono::milliseconds(500));
    ~LapResultsWorker(); // stops
    LapResultsWorker(const LapResultsWorker&) = delete;
    LapResultsWorker& operator=(const LapResultsWorker&) = delete;

    void start();
    // Ends the thread and waits for it; changes not yet built are dropped. Idempotent.
    void stop();
    bool running() const;
    // Hands over one change and restarts the debounce countdown; thread safe, non-blocking
    // apart from a short lock.
    void notify(LapResultsChange change);
    // Finished builds so far; thread safe.
    uint64_t builds() const;
    // While the thread is not running (tests, benchmarks): applies the changes handed
    // over so far and builds on the calling thread, without the debounce, the table file
    // and the sink.
    std::optional<LapResultsOutput> buildNow();

private:
    void run();
    std::optional<LapResultsOutput> applyAndBuild(std::vector<LapResultsChange> changes);

    Sink sink_;
    std::chrono::milliseconds debounce_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<LapResultsChange> pending_;          // under mutex_
    std::chrono::steady_clock::time_point deadline_; // under mutex_
    bool stopping_ = false;                          // under mutex_
    std::atomic<uint64_t> builds_{0};
    LapResultsModel model_; // the worker thread's own
    std::thread thread_;
};

} // namespace velmaro
