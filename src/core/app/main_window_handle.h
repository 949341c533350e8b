#pragma once
// The main window's handle: where the two closed libraries post the main window's
// messages (the C interface they are given). Everything else of the program reaches the
// main thread through its main-thread poster (core/platform/main_thread_poster.h).
//
// post() is thread-safe and never blocks. The window side attaches a sink that queues
// the message onto the main thread; detach() (first step of shut-down) makes every
// later post a no-op, and the window's dispatcher drops messages still queued once
// closing has begun, so nothing posted late is handled after its target is gone.
#include <cstdint>
#include <functional>
#include <mutex>

#include "core/app/window_handle.h"

namespace velmaro {

inline constexpr unsigned WM_SCOREBOARD_EVENT = VLM_WM_SCOREBOARD_EVENT; // 0x8007
inline constexpr unsigned WM_EXCHANGE_DATA = VLM_WM_EXCHANGE_DATA;       // 0xCE20

class MainWindowHandle {
public:
    using Sink = std::function<void(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;

    MainWindowHandle();
    MainWindowHandle(const MainWindowHandle&) = delete;
    MainWindowHandle& operator=(const MainWindowHandle&) = delete;

    // The sink must itself be thread-safe (e.g. a queued invocation on the main thread).
    void attach(Sink sink);
    void detach();
    bool attached() const;

    // Thread-safe; dropped while no sink is attached.
    void post(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;

    // The C view of this handle, passed to the closed libraries; valid while this object lives.
    const vlm_window* window() const { return &window_; }

private:
    static void postThunk(void* context, unsigned message, uintptr_t wParam, intptr_t lParam);
    mutable std::mutex mutex_;
    Sink sink_;
    vlm_window window_{};
};

} // namespace velmaro
