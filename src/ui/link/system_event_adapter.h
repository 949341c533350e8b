#pragma once
// Carries the node link's system events (SE_ codes) from the link thread to the main
// thread. The link calls the sink on its own thread; the adapter hands each call to the
// main-thread poster, and the handler runs on the main thread.
//
// Safe at shut-down: once the adapter is destroyed, the sink (which the link may still
// hold) drops every later event, and calls still queued do nothing.
//
// Wiring:
//   auto events = std::make_unique<SystemEventAdapter>(poster, [h](int code, std::uint32_t w) { h->onSystemEvent(code, w); });
//   auto link = std::make_unique<TSystemInterface>(events->sink());
#include <cstdint>
#include <functional>
#include <memory>

#include "core/link/system_interface.h"
#include "core/platform/main_thread_poster.h"

namespace velmaro::ui {

class SystemEventAdapter {
public:
    using Handler = std::function<void(int code, std::uint32_t wParam)>;

    // `poster` outlives the adapter.
    SystemEventAdapter(MainThreadPoster& poster, Handler handler);
    ~SystemEventAdapter();
    SystemEventAdapter(const SystemEventAdapter&) = delete;
    SystemEventAdapter& operator=(const SystemEventAdapter&) = delete;

    // The sink for the link. Callable from any thread, never blocks.
    SystemEventSink sink();

private:
    struct Shared;
    void deliver(int code, std::uint32_t wParam);

    Handler handler_;
    std::shared_ptr<Shared> shared_;
};

} // namespace velmaro::ui
