#include "ui/link/system_event_adapter.h"

#include <mutex>

namespace velmaro::ui {

// Outlives the adapter as long as a sink or a queued call holds it; `target` is null once
// the adapter is gone.
struct SystemEventAdapter::Shared : std::enable_shared_from_this<Shared> {
    std::mutex mutex;
    SystemEventAdapter* target = nullptr;
    MainThreadPoster* poster = nullptr;

    void post(int code, std::uint32_t wParam) {
        std::lock_guard<std::mutex> g(mutex);
        if (!target) return;
        poster->post([self = shared_from_this(), code, wParam] { self->deliver(code, wParam); });
    }
    // Main thread, as is the adapter's destruction.
    void deliver(int code, std::uint32_t wParam) {
        SystemEventAdapter* t = nullptr;
        {
            std::lock_guard<std::mutex> g(mutex);
            t = target;
        }
        if (t) t->deliver(code, wParam);
    }
};

SystemEventAdapter::SystemEventAdapter(MainThreadPoster& poster, Handler handler)
    : handler_(std::move(handler)), shared_(std::make_shared<Shared>()) {
    shared_->target = this;
    shared_->poster = &poster;
}

SystemEventAdapter::~SystemEventAdapter() {
    std::lock_guard<std::mutex> g(shared_->mutex);
    shared_->target = nullptr;
}

SystemEventSink SystemEventAdapter::sink() {
    std::shared_ptr<Shared> s = shared_;
    return [s](int code, std::uint32_t wParam) { s->post(code, wParam); };
}

void SystemEventAdapter::deliver(int code, std::uint32_t wParam) {
    if (handler_) handler_(code, wParam);
}

} // namespace velmaro::ui
