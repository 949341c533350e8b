#include "ui/link/node_status_box.h"

#include <QTimer>
#include <QVBoxLayout>

#include <exception>

#include "ui/link/node_view.h"

namespace velmaro::ui {

constexpr int kRefreshPeriodMs = 250;

NodeStatusBox::NodeStatusBox(QWidget* parent) : QGroupBox(QStringLiteral("Система"), parent) {
    setObjectName(QStringLiteral("gbSystem"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(3);
    const auto bindings = standardNodeBindings();
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        views_[i] = new TNodeView(bindings[i], this);
        box->addWidget(views_[i]);
    }
    box->addStretch(1);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("SystemRefreshTimer"));
    timer_->setInterval(kRefreshPeriodMs);
    connect(timer_, &QTimer::timeout, this, &NodeStatusBox::SystemRefreshTimerTimer);
}

void NodeStatusBox::setNodeSource(NodeSource source) {
    source_ = std::move(source);
    if (source_)
        timer_->start();
    else
        timer_->stop();
}

TNodeView* NodeStatusBox::viewForNode(int nodeId) const {
    for (TNodeView* v : views_)
        if (v && v->nodeId() == nodeId) return v;
    return nullptr;
}

void NodeStatusBox::refresh(const std::vector<TSystemNode>& nodes) {
    for (const TSystemNode& n : nodes)
        if (TNodeView* v = viewForNode(n.id)) v->showNode(n);
}

void NodeStatusBox::SystemRefreshTimerTimer() {
    timer_->stop();
    try {
        if (source_) refresh(source_());
    } catch (const std::exception&) {
        // A failed pass ends here; the next one starts on time.
    }
    if (source_) timer_->start();
}

} // namespace velmaro::ui
