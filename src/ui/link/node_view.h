#pragma once
// One node status panel of the group "Система": link and sync lamps, up to six sensor
// lamps, the node clock, the echoed BT and DT timeouts, the radio levels and a grey
// diagonal-cross cover shown while the node is offline (its last values stay underneath).
//
// The panel only shows what it is given: the node status box feeds it copies of the link's
// node table entries (taken under the link lock) every 250 ms. Main thread only.
#include <QFrame>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

#include "core/link/system_interface.h"

class QLabel;

namespace velmaro::ui {

class StatusLamp;

// "%d dB" of a level in -100..-25 dB, "--" otherwise.
QString radioLevelText(int level);
// "RSSI: " + reported + "/" + own (the panel's radio label while the node is online).
QString rssiText(int reportedRssi, int rssi);
// A node clock (seconds since 1970, read as UTC) as "dd.mm.yyyy hh:mm:ss".
QString nodeClockText(std::uint32_t seconds);

inline const QString kInitialClockText = QStringLiteral("00.00.0000 00:00:00");
inline const QString kInitialRssiText = QStringLiteral("RSSI: -- / --");

// The grey diagonal cross laid over an offline panel.
class NodeCover : public QWidget {
    Q_OBJECT
public:
    explicit NodeCover(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The node id and the object names of one panel's parts. Sensor lamps are listed in the
// order of the node table's sensor flags (status bits 0, 2, 1, 3, 4, 5), at most six;
// `sensorHints` are their tool tips (may be shorter: no tip).
struct NodeViewBinding {
    int nodeId = 0;
    QString panel, link, sync;
    QStringList sensors, sensorHints;
    QString clock, bt, dt, hide, rssi;
};

// The four panels of the main window: nodes 1 (start unit, six sensor lamps), 2, 4 and 5.
std::array<NodeViewBinding, 4> standardNodeBindings();

class TNodeView : public QFrame {
    Q_OBJECT
public:
    explicit TNodeView(const NodeViewBinding& binding, QWidget* parent = nullptr);

    int nodeId() const { return nodeId_; }

    // Shows one node table entry: online, the values; offline, the red link lamp and the
    // cover (nothing more when the cover is already shown).
    void showNode(const TSystemNode& node);

    // The panel's parts, for the main window's layout and for tests.
    StatusLamp* linkLamp() const { return linkLamp_; }
    StatusLamp* syncLamp() const { return syncLamp_; }
    StatusLamp* sensorLamp(int index) const { return index >= 0 && index < 6 ? sensors_[index] : nullptr; }
    int sensorLampCount() const;
    QLabel* timeLabel() const { return timeLabel_; }
    QLabel* btLabel() const { return btLabel_; }
    QLabel* dtLabel() const { return dtLabel_; }
    QLabel* rssiLabel() const { return rssiLabel_; }
    bool coverShown() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int nodeId_;
    StatusLamp* linkLamp_ = nullptr;
    StatusLamp* syncLamp_ = nullptr;
    std::array<StatusLamp*, 6> sensors_{};
    QLabel* timeLabel_ = nullptr;
    QLabel* btLabel_ = nullptr;
    QLabel* dtLabel_ = nullptr;
    QLabel* rssiLabel_ = nullptr;
    NodeCover* cover_ = nullptr;
};

} // namespace velmaro::ui
