#pragma once
// The one way back to the main thread. The node link thread, the drag and lap results
// workers and anything else that runs off the main thread hand their main-thread work to
// a poster: post() queues the call and returns at once, the call runs later on the main
// thread, in the order posted.
//
// Once the main window has begun to close, calls still queued and every later post are
// dropped, so nothing posted late reaches an object that is going. The composition root
// owns the program's poster (ui/platform/queued_poster.h) and hands it out; it outlives
// every thread that posts to it. Tests hand a queue they run themselves.
#include <functional>

namespace velmaro {

class MainThreadPoster {
public:
    MainThreadPoster() = default;
    MainThreadPoster(const MainThreadPoster&) = delete;
    MainThreadPoster& operator=(const MainThreadPoster&) = delete;
    virtual ~MainThreadPoster() = default;

    // Any thread; never blocks and never runs `call` inline.
    virtual void post(std::function<void()> call) = 0;
};

} // namespace velmaro
