#pragma once
// Carries the node link's system events (SE_ codes) from the link thread to the main
// thread. The link calls the sink on its own thread; the adapter re-posts each call as a
// queued call on the thread the adapter lives in (the main thread), where the handler runs.
// The window's WM_SYSTEM_EVENT, in Qt terms.
//
// Safe at shut-down: once the adapter is destroyed, the sink (which the link may still
// hold) drops every later event, and calls still queued are discarded with the adapter.
//
// Wiring:
//   auto* events = new SystemEventAdapter([h](int code, std::uint32_t w) { h->onSystemEvent(code, w); }, window);
//   auto link = std::make_unique<TSystemInterface>(events->sink());
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

#include "core/link/system_interface.h"

namespace velmaro::ui {

class SystemEventAdapter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(int code, std::uint32_t wParam)>;

    explicit SystemEventAdapter(Handler handler, QObject* parent = nullptr);
    ~SystemEventAdapter() override;

    // The sink for the link. Callable from any thread, never blocks.
    SystemEventSink sink();
    // Queues one event for the handler (any thread).
    void post(int code, std::uint32_t wParam);

    void setHandler(Handler handler) { handler_ = std::move(handler); }

private:
    struct Shared;
    void deliver(int code, std::uint32_t wParam);

    Handler handler_;
    std::shared_ptr<Shared> shared_;
};

} // namespace velmaro::ui
