#include "ui/drag/drag_grid_widget.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_grid.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "core/platform/numbers.h"

namespace velmaro::ui {

namespace {
QString u(const char* text) { return QString::fromUtf8(text); }

// Shares of the viewport's width per column, in parts of kShareSum.
constexpr std::array<int, DRAG_GRID_COLUMNS> kColumnShares{40, 9, 9, 40};
constexpr int kShareSum = kColumnShares[0] + kColumnShares[1] + kColumnShares[2] + kColumnShares[3];

// The viewport width whose `share` parts hold `pixels`.
int widthForShare(int pixels, int share) { return (pixels * kShareSum + share - 1) / share; }
} // namespace

DragGridWidget::DragGridWidget(DragRuns& runs, QWidget* parent) : QAbstractScrollArea(parent), runs_(runs) {
    setObjectName("DragStringGrid");
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    buildMenu();
}

void DragGridWidget::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("RaceLapSinglePopupMenu");
    const auto add = [this](QAction*& action, const char* name, const char* caption, auto slot) {
        action = menu_->addAction(u(caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
    };
    add(mSetNumber_, "mSetNumber", "Задать номер", [this] { runs_.askRacerNumber(); });
    add(N2_, "N2", "Сход", [this] { runs_.failSelectedLane(); });
    menu_->addSeparator();
    add(mStartLine_, "mStartLine", "STLIN", [] {});
    add(mFrStart_, "mFrStart", "FRST", [] {});
    add(mPLAP_, "mPLAP", "PLAP", [] {});
    add(mLAP_, "mLAP", "LAP", [this] { runs_.setSelectedHitType(HIT_TYPE_ET); });
    menu_->addSeparator();
    add(N18_, "N18", "На другую полосу", [this] { runs_.moveHitToOtherLane(); });
    add(makeItemPractice_, "makeItemPractice", "Тренировка", [this] { runs_.setSelectedRunMode(RUN_MODE_PRACTICE); });
    add(makeItemQual_, "makeItemQual", "Квалификация", [this] { runs_.setSelectedRunMode(RUN_MODE_QUALIFICATION); });
    menu_->addSeparator();
    add(mSetPenalty_, "mSetPenalty", "Штраф", [this] { askPenalty(); });
    add(mDeleteItem_, "mDeleteItem", "Удалить запись", [this] { runs_.deleteRunOrHit(0); });
    add(mSendToScoreboard_, "mSendToScoreboard", "На табло", [this] { emit sendToScoreboardRequested(); });
}

void DragGridWidget::updateMenuStates() {
    const DragGridMenuState state = dragGridMenuState(runs_, runs_.host().raceMode());
    mSetNumber_->setEnabled(state.setNumber);
    N2_->setEnabled(state.fail);
    mStartLine_->setEnabled(state.lapKinds);
    mFrStart_->setEnabled(state.lapKinds);
    mPLAP_->setEnabled(state.lapKinds);
    mLAP_->setEnabled(state.lap);
    N18_->setEnabled(state.otherLane);
    makeItemPractice_->setEnabled(state.runMode);
    makeItemQual_->setEnabled(state.runMode);
    mSetPenalty_->setEnabled(state.penalty);
    mDeleteItem_->setEnabled(state.deleteItem);
    mSendToScoreboard_->setEnabled(state.toScoreboard);
}

// ---- geometry

int DragGridWidget::rowCount() const { return runs_.dragGridRowCount(); }

void DragGridWidget::setRowCount(int) { updateScrollRange(); }

int DragGridWidget::topRow() const { return verticalScrollBar()->value(); }

int DragGridWidget::visibleRowCount() const { return std::max(1, viewport()->height() / rowPitch()); }

void DragGridWidget::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int visible = visibleRowCount();
    bar->setPageStep(visible);
    bar->setRange(0, std::max(0, rowCount() - visible));
}

void DragGridWidget::setCurrentCell(int row, int column) {
    updateScrollRange();
    currentRow_ = std::clamp(row, 0, std::max(0, rowCount() - 1));
    currentColumn_ = std::clamp(column, 0, DRAG_GRID_COLUMNS - 1);
    const int top = topRow();
    const int visible = visibleRowCount();
    if (currentRow_ < top)
        verticalScrollBar()->setValue(currentRow_);
    else if (currentRow_ >= top + visible)
        verticalScrollBar()->setValue(currentRow_ - visible + 1);
    viewport()->update();
}

void DragGridWidget::setColumnWidth(int column, int width) {
    if (column < 0 || column >= DRAG_GRID_COLUMNS) return;
    widths_[static_cast<size_t>(column)] = std::max(0, width);
    viewport()->update();
}

int DragGridWidget::columnWidth(int column) const {
    return column < 0 || column >= DRAG_GRID_COLUMNS ? 0 : widths_[static_cast<size_t>(column)];
}

void DragGridWidget::fitColumns() {
    // The viewport, not the whole grid: its frame and the scroll bar (when it shows) take
    // no column's room, and the row ends at the visible right edge.
    const int room = viewport()->width();
    for (size_t c = 0; c < widths_.size(); ++c) widths_[c] = room * kColumnShares[c] / kShareSum;
    viewport()->update();
}

int DragGridWidget::wholeRunWidth() const {
    const QFontMetrics metrics(font());
    const auto textWidth = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
    // A lane carrying every mark of its result cell, its times as wide as a run's get.
    TDragRaceItem run;
    run.et = {58888, 58888};
    run.dirtyTime = {59888, 59888};
    run.penalty = {8888, 8888};
    run.breakout = {1, 1};
    run.foul = {1, 1};
    TLineHit finish;
    finish.type = HIT_TYPE_ET;
    finish.time = 86399999; // 23:59:59.999
    int result = 0;
    for (int side : {0, 1}) result = std::max(result, textWidth(laneResultText(finish, run, side)));
    int hitName = 0;
    for (int32_t type = HIT_TYPE_ET; type <= HIT_TYPE_60FEET; ++type)
        hitName = std::max(hitName, textWidth(hitTypeName(type)));
    // The run number spans columns 1 and 2. A right-aligned text needs one pixel more.
    int needed = std::max({widthForShare(result + 1, kColumnShares[0]), widthForShare(hitName + 1, kColumnShares[1]),
                           widthForShare(textWidth("#99999") + 1, kColumnShares[1] + kColumnShares[2])});
    // The frame and the scroll bar beside the viewport.
    return needed + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
}

int DragGridWidget::rowWidth() const { return widths_[0] + widths_[1] + widths_[2] + widths_[3]; }

int DragGridWidget::columnLeft(int column) const {
    int x = 0;
    for (int c = 0; c < column; ++c) x += widths_[static_cast<size_t>(c)];
    return x;
}

std::array<int, 2> DragGridWidget::cellAt(const QPoint& point) const {
    if (point.y() < 0 || point.x() < 0) return {-1, -1};
    const int row = topRow() + point.y() / rowPitch();
    if (row >= rowCount()) return {-1, -1};
    int column = -1;
    for (int c = 0, x = 0; c < DRAG_GRID_COLUMNS; ++c) {
        x += widths_[static_cast<size_t>(c)];
        if (point.x() < x) {
            column = c;
            break;
        }
    }
    return {column, row};
}

void DragGridWidget::scrollToRun(int runIndex) {
    if (!runs_.isValidRunIndex(runIndex)) return;
    const TDragRaceItem& run = runs_.dragRuns()[static_cast<size_t>(runIndex)];
    setCurrentCell(run.gridRow, currentColumn_);
    if (topRow() + visibleRowCount() - 1 < run.gridRow + run.gridRows)
        setCurrentCell(run.gridRow + run.gridRows - 1, currentColumn_);
}

QColor DragGridWidget::fillColour(int32_t style) const {
    const int code = style & GRID_CELL_KIND_MASK;
    if (style == GRID_STYLE_NONE || code > GRID_CELL_RIGHT_RESULT) return palette().color(QPalette::Base);
    if (style & GRID_FLAG_SELECTED) return QColor(192, 192, 192);
    if (style & GRID_FLAG_WINNER) return QColor(192, 255, 189);
    if (style & GRID_FLAG_LOSER) return QColor(255, 189, 189);
    if (style & GRID_FLAG_PRACTICE) return QColor(127, 255, 212);
    if (style & GRID_FLAG_FINAL) return QColor(200, 199, 255);
    return palette().color(QPalette::Base);
}

// ---- painting: texts and styles come from the core at paint time

void DragGridWidget::paintEvent(QPaintEvent*) {
    updateScrollRange();
    QPainter painter(viewport());
    painter.setFont(font());
    const QColor window = palette().color(QPalette::Base);
    painter.fillRect(viewport()->rect(), window);
    const QFontMetrics metrics(font());
    const int rows = rowCount();
    const int top = topRow();
    const int width = rowWidth();
    const int last = std::min(rows, top + visibleRowCount() + 1);
    const QColor line(224, 224, 224);
    for (int row = top; row < last; ++row) {
        const int y = (row - top) * rowPitch();
        for (int column = 0; column < DRAG_GRID_COLUMNS; ++column) {
            const int32_t style = runs_.dragGridCellStyle(column, row);
            const int code = style & GRID_CELL_KIND_MASK;
            const int cellLeft = columnLeft(column);
            QRect cell(cellLeft, y, columnWidth(column), rowHeight());
            if (style == GRID_STYLE_NONE || code > GRID_CELL_RIGHT_RESULT) {
                painter.fillRect(cell, window);
                continue;
            }
            QRect area = cell;
            if (code == GRID_CELL_RUN_NUMBER)
                area = QRect(QPoint(widths_[0], y), QPoint(width - widths_[3] - 1, y + rowHeight() - 1));
            else if (code == GRID_CELL_START)
                area = QRect(0, y, width, rowHeight());
            painter.fillRect(area, fillColour(style));

            const QString text = QString::fromStdString(runs_.dragGridCellText(column, row));
            const int textWidth = metrics.horizontalAdvance(text);
            int x = area.left();
            if (code == GRID_CELL_RUN_NUMBER || code == GRID_CELL_START)
                x = (area.left() + area.right() + 1) / 2 - textWidth / 2;
            else if (code == GRID_CELL_RIGHT_RACER || code == GRID_CELL_RIGHT_HIT || code == GRID_CELL_RIGHT_RESULT)
                x = area.right() - textWidth;
            painter.setPen(Qt::black);
            painter.setClipRect(area);
            painter.drawText(x, y + metrics.ascent(), text);
            painter.setClipping(false);
            if (code <= GRID_CELL_RIGHT_RACER) painter.drawLine(0, y, width, y);
        }
        painter.setPen(line);
        painter.drawLine(0, y + rowHeight(), width, y + rowHeight());
    }
}

// ---- mouse and keys

void DragGridWidget::mousePressEvent(QMouseEvent* event) {
    updateScrollRange();
    const auto [column, row] = cellAt(event->position().toPoint());
    runs_.selectGridCell(column, row, TDragRaceItem{});
    if (row >= 0) {
        currentRow_ = row;
        currentColumn_ = column < 0 ? currentColumn_ : column;
    }
    viewport()->update();
    QAbstractScrollArea::mousePressEvent(event);
}

void DragGridWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const uint64_t time = runs_.getSelectedHitTime();
    if (time != 0) emit hitTimeActivated(static_cast<quint64>(time));
    event->accept();
}

void DragGridWidget::wheelEvent(QWheelEvent* event) {
    updateScrollRange();
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - steps);
    event->accept();
}

void DragGridWidget::selectCurrentCell() {
    runs_.selectGridCell(currentColumn_, currentRow_, TDragRaceItem{});
    viewport()->update();
}

void DragGridWidget::keyPressEvent(QKeyEvent* event) {
    updateScrollRange();
    switch (event->key()) {
    case Qt::Key_Delete: runs_.deleteButtonOnRuns(); break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        selectCurrentCell();
        setCurrentCell(currentRow_ + (event->key() == Qt::Key_Up ? -1 : 1), currentColumn_);
        break;
    case Qt::Key_Left:
        setCurrentCell(currentRow_, 0);
        selectCurrentCell();
        break;
    case Qt::Key_Right:
        setCurrentCell(currentRow_, DRAG_GRID_COLUMNS - 1);
        selectCurrentCell();
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        setCurrentCell(currentRow_ + (event->key() == Qt::Key_PageUp ? -1 : 1) * visibleRowCount(), currentColumn_);
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void DragGridWidget::keyReleaseEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && !event->isAutoRepeat()) {
        selectCurrentCell();
        event->accept();
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void DragGridWidget::contextMenuEvent(QContextMenuEvent* event) {
    updateMenuStates();
    menu_->popup(event->globalPos());
    event->accept();
}

void DragGridWidget::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    fitColumns();
    updateScrollRange();
}

// ---- entry points of the buttons and the search

void DragGridWidget::searchRacer(const QString& text, int step) {
    const auto number = parseIntegerInRange(text.toStdString(), std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max());
    if (!number) return;
    const int32_t index = runs_.searchRacerInGrid(static_cast<int32_t>(*number), step);
    if (index >= 0) scrollToRun(index);
    viewport()->update();
}

void DragGridWidget::askPenalty() { runs_.askLanePenalty(); }

void DragGridWidget::sendToScoreboards(int brightness) {
    if (runs_.selectedLane() == SELECTED_LANE_WHOLE_RUN) {
        runs_.sendRunToScoreboards(1, 1, 0, 0, -1, brightness);
        QTimer::singleShot(200, this, [this, brightness] { runs_.sendRunToScoreboards(1, 1, 0, 1, -1, brightness); });
    } else {
        runs_.sendRunToScoreboards(1, 1, 0, -1, -1, brightness);
    }
}

} // namespace velmaro::ui
