#pragma once
// The program's main-thread poster: each post becomes a queued call on the main thread,
// guarded by the window it serves. Once that window gets its close event (or is
// destroyed, or close() is called) calls still queued are skipped and later posts are
// dropped; destroying the poster discards what is queued.
//
// Build it on the main thread, after its window. Threads that post must have ended (or
// stopped posting) before it is destroyed.
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>

#include "core/platform/main_thread_poster.h"

namespace velmaro::ui {

class QueuedPoster final : public MainThreadPoster {
public:
    explicit QueuedPoster(QWidget* window);
    ~QueuedPoster() override;

    void post(std::function<void()> call) override;
    // Main thread: drops every call still queued and every later post. Idempotent.
    void close();
    bool open() const;

private:
    class Context;

    mutable std::mutex mutex_; // guards open_ against posts from other threads
    bool open_ = true;
    QPointer<QWidget> window_;         // read on the main thread only
    std::unique_ptr<Context> context_; // receives the queued calls; watches the window close
};

} // namespace velmaro::ui
