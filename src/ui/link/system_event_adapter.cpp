#include "ui/link/system_event_adapter.h"

#include <QMetaObject>

#include <mutex>

namespace velmaro::ui {

// Outlives the adapter as long as a sink holds it; `target` is null once the adapter is gone.
struct SystemEventAdapter::Shared {
    std::mutex mutex;
    SystemEventAdapter* target = nullptr;

    void post(int code, std::uint32_t wParam) {
        std::lock_guard<std::mutex> g(mutex);
        if (!target) return;
        SystemEventAdapter* t = target;
        QMetaObject::invokeMethod(t, [t, code, wParam] { t->deliver(code, wParam); }, Qt::QueuedConnection);
    }
};

SystemEventAdapter::SystemEventAdapter(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), shared_(std::make_shared<Shared>()) {
    shared_->target = this;
}

SystemEventAdapter::~SystemEventAdapter() {
    std::lock_guard<std::mutex> g(shared_->mutex);
    shared_->target = nullptr;
}

SystemEventSink SystemEventAdapter::sink() {
    std::shared_ptr<Shared> s = shared_;
    return [s](int code, std::uint32_t wParam) { s->post(code, wParam); };
}

void SystemEventAdapter::post(int code, std::uint32_t wParam) { shared_->post(code, wParam); }

void SystemEventAdapter::deliver(int code, std::uint32_t wParam) {
    if (handler_) handler_(code, wParam);
}

} // namespace velmaro::ui
