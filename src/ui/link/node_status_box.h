#pragma once
// The group box "Система": the four node status panels (nodes 1, 2, 4 and 5) and their
// 250 ms refresh timer (SystemRefreshTimer). Each pass takes one snapshot of the link's
// node table (under the link lock, through the node source) and shows every entry that has
// a panel. Main thread only.
//
// Wiring: box->setNodeSource([link] { return link->nodes(); }); the timer then runs until
// the box is destroyed or the source is set to null.
#include <QGroupBox>

#include <array>
#include <functional>
#include <vector>

#include "core/link/system_interface.h"

class QTimer;

namespace velmaro::ui {

class TNodeView;

class NodeStatusBox : public QGroupBox {
    Q_OBJECT
public:
    using NodeSource = std::function<std::vector<TSystemNode>()>;

    explicit NodeStatusBox(QWidget* parent = nullptr);

    // Sets where the snapshots come from and starts the 250 ms timer (null: stops it).
    void setNodeSource(NodeSource source);
    QTimer* refreshTimer() const { return timer_; }

    // Shows a snapshot now: each entry goes to the panel of its node id; entries without a
    // panel are skipped.
    void refresh(const std::vector<TSystemNode>& nodes);

    // TMainForm::nodeViews: the panels in binding order (nodes 1, 2, 4, 5).
    const std::array<TNodeView*, 4>& nodeViews() const { return views_; }
    TNodeView* viewForNode(int nodeId) const;

public slots:
    // One refresh pass; the timer is stopped while it runs and restarted afterwards, also
    // when the pass failed.
    void SystemRefreshTimerTimer();

private:
    std::array<TNodeView*, 4> views_{};
    QTimer* timer_ = nullptr;
    NodeSource source_;
};

} // namespace velmaro::ui
