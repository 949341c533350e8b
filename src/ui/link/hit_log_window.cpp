#include "ui/link/hit_log_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmaro::ui {

THitLog* HitLog = nullptr;

// ---- model

int HitLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(intake_.hitList().size());
}

int HitLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : HITLOG_COLUMNS; }

QVariant HitLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= intake_.hitList().size()) return {};
    return QString::fromStdString(hitLogCellText(intake_.hitList()[row], index.column()));
}

QVariant HitLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return QString::fromStdString(hitLogColumnTitle(section));
}

void HitLogModel::reload() {
    beginResetModel();
    endResetModel();
}

// ---- window

THitLog::THitLog(HitLogPort& port, HitIntake& intake, QWidget* parent)
    : QWidget(parent), port_(port), intake_(intake), model_(intake, this) {
    setObjectName("HitLog");
    setWindowTitle(QString::fromUtf8("Журнал срабатываний"));
    resize(760, 480);

    mHitLog = new QTableView(this);
    mHitLog->setObjectName("mHitLog");
    mHitLog->setModel(&model_);
    mHitLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    mHitLog->setSelectionMode(QAbstractItemView::SingleSelection);
    mHitLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mHitLog->verticalHeader()->setVisible(false);
    mHitLog->verticalHeader()->setDefaultSectionSize(16);
    mHitLog->setColumnWidth(HITLOG_SIGNAL, 100);
    mHitLog->setColumnWidth(HITLOG_TIME, 200);
    mHitLog->setColumnWidth(HITLOG_ARRIVAL, 250);
    mHitLog->setStyleSheet("QTableView { selection-background-color: silver; selection-color: black; }");
    mHitLog->installEventFilter(this);
    connect(mHitLog->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (reloading_) return;
                const auto row = static_cast<std::size_t>(current.row());
                if (current.isValid() && row < intake_.hitList().size())
                    selectedHit_ = intake_.hitList()[row];
                else
                    selectedHit_.reset();
            });

    Button1 = new QPushButton(QString::fromUtf8("Вкл. в расчет"), this);
    Button1->setObjectName("Button1");
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setText("RUN");
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setObjectName("SpeedButton2");
    SpeedButton2->setText("STEP");
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mHitLog, 1);
    layout->addLayout(buttons);
}

int THitLog::currentRecord() const {
    const QModelIndex index = mHitLog->currentIndex();
    if (!index.isValid() || index.row() >= static_cast<int>(intake_.hitList().size())) return -1;
    return index.row();
}

void THitLog::selectRecord(int index) {
    if (index < 0 || index >= static_cast<int>(intake_.hitList().size())) return;
    mHitLog->setCurrentIndex(model_.index(index, 0));
    mHitLog->selectRow(index);
    selectedHit_ = intake_.hitList()[static_cast<std::size_t>(index)];
}

void THitLog::reloadKeeping(std::optional<THitRecord> hit, int fallbackRow) {
    reloading_ = true;
    model_.reload();
    reloading_ = false;
    selectedHit_.reset();
    int row = -1;
    if (hit) {
        // The hit list is kept sorted by compareHits: the first equal record, found by halving.
        const auto it =
            std::lower_bound(intake_.hitList().begin(), intake_.hitList().end(), *hit,
                             [](const THitRecord& a, const THitRecord& b) { return compareHits(a, b) < 0; });
        if (it != intake_.hitList().end() && compareHits(*it, *hit) == 0)
            row = static_cast<int>(it - intake_.hitList().begin());
    }
    if (row < 0 && fallbackRow >= 0) row = std::min(fallbackRow, static_cast<int>(intake_.hitList().size()) - 1);
    if (row >= 0) selectRecord(row);
}

void THitLog::hitListChanged(std::size_t recordCount) {
    (void)recordCount; // the model reads the hit list itself
    reloadKeeping(selectedHit_, mHitLog->currentIndex().row());
}

void THitLog::selectHitByTime(std::uint64_t timeMs) {
    int found = -1;
    for (std::size_t i = 0; i < intake_.hitList().size(); ++i)
        if (intake_.hitList()[i].time() == timeMs) found = static_cast<int>(i);
    if (found >= 0) selectRecord(found);
}

void THitLog::feedCurrent(int source) {
    const int row = currentRecord();
    if (row < 0) return;
    port_.releaseBlockSt();
    // A copy: the intake may reorder or grow the list while it takes the hit.
    const THitRecord hit = intake_.hitList()[static_cast<std::size_t>(row)];
    intake_.processHit(hit.node, hit.signal, hit.time(), source);
    intake_.markHitUsed(hit.node, hit.signal, hit.seconds, hit.milliseconds);
    reloadKeeping(hit, row);
}

void THitLog::moveDown(int from) {
    if (from + 1 < static_cast<int>(intake_.hitList().size()))
        selectRecord(from + 1);
    else
        selectRecord(from);
}

void THitLog::Button1Click() { feedCurrent(HIT_FROM_LOG_SELECTED); }

void THitLog::enterPressed() {
    const int row = currentRecord();
    if (row < 0) return;
    feedCurrent(HIT_FROM_LOG_CURRENT);
    moveDown(row);
}

void THitLog::SpeedButton1Click() {
    const int row = currentRecord();
    if (row < 0) return;
    const NodeAddress target = NodeAddress::fromString(port_.replayTargets().run);
    const std::size_t last = replayRun(intake_.hitList(), static_cast<std::size_t>(row), port_, target);
    reloadKeeping(std::nullopt, row);
    moveDown(static_cast<int>(last));
}

void THitLog::SpeedButton2Click() {
    const int row = currentRecord();
    if (row < 0) return;
    const NodeAddress target = NodeAddress::fromString(port_.replayTargets().step);
    (void)replayStep(intake_.hitList(), static_cast<std::size_t>(row), port_, target);
    reloadKeeping(std::nullopt, row);
    moveDown(row);
}

bool THitLog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mHitLog && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            enterPressed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmaro::ui
