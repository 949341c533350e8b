#include "core/app/main_window_handle.h"

namespace velmaro {

MainWindowHandle::MainWindowHandle() {
    window_.context = this;
    window_.post = &MainWindowHandle::postThunk;
}

void MainWindowHandle::attach(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void MainWindowHandle::detach() {
    std::lock_guard lock(mutex_);
    sink_ = nullptr;
}

bool MainWindowHandle::attached() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(sink_);
}

void MainWindowHandle::post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const {
    // Held while the sink runs, so detach() returns only once no post is in flight.
    std::lock_guard lock(mutex_);
    if (sink_) sink_(message, wParam, lParam);
}

void MainWindowHandle::postThunk(void* context, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (context) static_cast<const MainWindowHandle*>(context)->post(message, wParam, lParam);
}

} // namespace velmaro
