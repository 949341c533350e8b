#pragma once
// A main-thread poster for tests: posts from any thread are queued, and the test runs
// them on its own thread when it likes, as the event loop would.
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "core/platform/main_thread_poster.h"

namespace velmaro::test {

class ManualPoster : public MainThreadPoster {
public:
    void post(std::function<void()> call) override {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(call));
    }
    // Calls waiting to run.
    std::size_t pending() const {
        std::lock_guard lock(mutex_);
        return queued_.size();
    }
    // Runs what is queued now, oldest first (calls posted meanwhile wait); returns how many ran.
    std::size_t runPending() {
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard lock(mutex_);
            calls.swap(queued_);
        }
        for (auto& call : calls) call();
        return calls.size();
    }
    // Drops what is queued, as a closed window would.
    void drop() {
        std::lock_guard lock(mutex_);
        queued_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::function<void()>> queued_;
};

} // namespace velmaro::test
