#include "ui/platform/queued_poster.h"

#include <QEvent>
#include <QMetaObject>

namespace velmaro::ui {

// Lives on the main thread; the queued calls are delivered to it, and it sees the
// window's close event before the window's own handler runs.
class QueuedPoster::Context final : public QObject {
public:
    explicit Context(QueuedPoster& poster) : poster_(poster) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) poster_.close();
        return QObject::eventFilter(watched, event);
    }

private:
    QueuedPoster& poster_;
};

QueuedPoster::QueuedPoster(QWidget* window) : window_(window), context_(std::make_unique<Context>(*this)) {
    if (window) window->installEventFilter(context_.get());
}

QueuedPoster::~QueuedPoster() {
    close();
    if (window_) window_->removeEventFilter(context_.get());
    // Deleting the context discards the calls still queued for it.
}

void QueuedPoster::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    QMetaObject::invokeMethod(
        context_.get(),
        [this, call = std::move(call)] {
            if (open() && window_) call();
        },
        Qt::QueuedConnection);
}

void QueuedPoster::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

bool QueuedPoster::open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

} // namespace velmaro::ui
