#include "ui/link/node_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>

#include <ctime>

#include "ui/link/status_lamp.h"

namespace velmaro::ui {

QString radioLevelText(int level) {
    if (level >= -100 && level <= -25) return QString::asprintf("%d dB", level);
    return QStringLiteral("--");
}

QString rssiText(int reportedRssi, int rssi) {
    return QStringLiteral("RSSI: ") + radioLevelText(reportedRssi) + QStringLiteral("/") + radioLevelText(rssi);
}

QString nodeClockText(std::uint32_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%d.%m.%Y %H:%M:%S", &tm);
    return QString::fromLatin1(buf);
}

NodeCover::NodeCover(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void NodeCover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(Qt::gray, 1));
    p.setBrush(QBrush(Qt::gray, Qt::DiagCrossPattern));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace {

QLabel* smallLabel(const QString& text, QWidget* parent, const QString& name) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

std::array<NodeViewBinding, 4> standardNodeBindings() {
    const auto q = [](const char* t) { return QString::fromUtf8(t); };
    std::array<NodeViewBinding, 4> b;
    b[0] = {
        1,
        q("pNode1"),
        q("LinkLed0"),
        q("SyncLed0"),
        {q("Led0_1"), q("Led0_3"), q("Led0_2"), q("Led0_4"), q("Led0_5"), q("Led0_6")},
        {q("Left Start"), q("Right Start"), q("Left Stage"), q("Right Stage"), q("Left PreStage"), q("Right PreStage")},
        q("TimeLabel0"),
        q("lBT1"),
        q("lDT1"),
        q("sHide1"),
        q("lRSSI3")};
    b[1] = {2,         q("pNode2"), q("LinkLed1"), q("SyncLed1"), {q("Led1_1"), q("Led1_2")}, {}, q("TimeLabel1"),
            q("lBT2"), q("lDT2"),   q("sHide2"),   q("lRSSI2")};
    b[2] = {4,         q("pNode4"), q("LinkLed4"), q("SyncLed4"), {q("L4_0"), q("L4_2")}, {}, q("TimeLabel4"),
            q("lBT4"), q("lDT4"),   q("sHide4"),   q("lRSSI4")};
    b[3] = {5,         q("pNode5"), q("LinkLed5"), q("SyncLed5"), {q("L5_0"), q("L5_2")}, {}, q("TimeLabel5"),
            q("lBT5"), q("lDT5"),   q("sHide5"),   q("lRSSI5")};
    return b;
}

TNodeView::TNodeView(const NodeViewBinding& binding, QWidget* parent) : QFrame(parent), nodeId_(binding.nodeId) {
    setObjectName(binding.panel);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFixedSize(236, 62);

    auto* caption = smallLabel(QString::number(nodeId_), this, QString());
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    caption->setToolTip(QStringLiteral("Node %1").arg(nodeId_));

    linkLamp_ = new StatusLamp(lamp::kOff, 12, this);
    linkLamp_->setObjectName(binding.link);
    linkLamp_->setToolTip(QStringLiteral("Link"));
    syncLamp_ = new StatusLamp(lamp::kOff, 12, this);
    syncLamp_->setObjectName(binding.sync);
    syncLamp_->setToolTip(QStringLiteral("Sync"));

    // Sensor lamps: one column per sensor pair, left lane above, right lane below.
    auto* sensorGrid = new QGridLayout;
    sensorGrid->setSpacing(2);
    const int count = std::min<int>(static_cast<int>(binding.sensors.size()), 6);
    for (int i = 0; i < count; ++i) {
        auto* s = new StatusLamp(lamp::kOff, 9, this, StatusLamp::Shape::Square);
        s->setObjectName(binding.sensors[i]);
        if (i < binding.sensorHints.size() && !binding.sensorHints[i].isEmpty()) s->setToolTip(binding.sensorHints[i]);
        sensors_[i] = s;
        sensorGrid->addWidget(s, i % 2, i / 2);
    }

    timeLabel_ = smallLabel(kInitialClockText, this, binding.clock);
    btLabel_ = smallLabel(QStringLiteral("-"), this, binding.bt);
    dtLabel_ = smallLabel(QStringLiteral("-"), this, binding.dt);
    rssiLabel_ = smallLabel(kInitialRssiText, this, binding.rssi);
    btLabel_->setMinimumWidth(30);
    dtLabel_->setMinimumWidth(30);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(caption);
    top->addWidget(linkLamp_);
    top->addWidget(syncLamp_);
    top->addSpacing(6);
    top->addLayout(sensorGrid);
    top->addStretch(1);
    top->addWidget(smallLabel(QStringLiteral("BT:"), this, QString()));
    top->addWidget(btLabel_);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(4);
    middle->addWidget(timeLabel_);
    middle->addStretch(1);
    middle->addWidget(smallLabel(QStringLiteral("DT:"), this, QString()));
    middle->addWidget(dtLabel_);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 2, 4, 2);
    box->setSpacing(1);
    box->addLayout(top);
    box->addLayout(middle);
    box->addWidget(rssiLabel_);

    // Covered until the node reports.
    cover_ = new NodeCover(this);
    cover_->setObjectName(binding.hide);
    cover_->setGeometry(rect());
    cover_->raise();
}

int TNodeView::sensorLampCount() const {
    int c = 0;
    for (auto* s : sensors_)
        if (s) ++c;
    return c;
}

bool TNodeView::coverShown() const { return !cover_->isHidden(); }

void TNodeView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    cover_->setGeometry(rect());
}

void TNodeView::showNode(const TSystemNode& node) {
    if (!node.online) {
        if (coverShown()) return;
        linkLamp_->setColor(lamp::kOff);
        cover_->show();
        cover_->raise();
        return;
    }
    if (coverShown()) cover_->hide();
    linkLamp_->setColor(lamp::kOn);
    syncLamp_->setColor(node.synced == 1 ? lamp::kOn : lamp::kOff);
    const QString rssi = rssiText(node.reportedRssi, node.rssi);
    if (rssiLabel_->text() != rssi) rssiLabel_->setText(rssi);
    const QString clock = nodeClockText(node.nodeClock);
    if (timeLabel_->text() != clock) timeLabel_->setText(clock);
    for (int i = 0; i < 6; ++i) {
        if (!sensors_[i]) continue;
        if (node.sensors[i] == 1)
            sensors_[i]->setColor(lamp::kOn);
        else if (node.sensors[i] == 0)
            sensors_[i]->setColor(lamp::kOff);
    }
    if (node.echoRepeatTimeout != 0) btLabel_->setText(QString::number(node.echoRepeatTimeout));
    if (node.echoDetectorTimeout != 0) dtLabel_->setText(QString::number(node.echoDetectorTimeout));
}

} // namespace velmaro::ui
