#include "ui/lap/lap_grid_panel.h"

#include <QAbstractTableModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/lap/lap_timing.h"
#include "ui/controls/flat_cell_delegate.h"
#include "ui/controls/letter_keys.h"

namespace velmaro::ui {

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

const char* const kTitles[] = {"№", "Метка", "Время", "Время чист.", "Время грязн.", "Класс", "Штраф"};
// The least widths of columns 1 to 6, which are also as wide as their titles and their
// widest texts; column 0 (number and name) takes what is left.
const int kWidths[] = {0, 48, 92, 84, 88, 80, 50};
constexpr int kFirstColumnMin = 100;
// Texts as wide as the widest of a column: a time of day, lap times of two-digit minutes
// (negative from an early start), a penalty of three-digit seconds. The kind names and
// the class names are measured themselves.
const char* const kWidestTime = "00:00:00.000";
const char* const kWidestLap = "-00:00.000";
const char* const kWidestPenalty = "-000.00";
// The cell delegate draws 2 pixels in from either side.
constexpr int kCellPadding = 4;

const QColor kLapColour{192, 255, 189};
const QColor kRedColour{255, 189, 189};
const QColor kSelectedColour{192, 192, 192};

} // namespace

// The lap events as rows: row i is lap event i (grid row i + 1).
class LapEventModel : public QAbstractTableModel {
public:
    LapEventModel(const LapTiming& lap, QObject* parent) : QAbstractTableModel(parent), lap_(lap) {}

    int rows() const { return rows_; }
    void setRows(int rows) {
        rows = std::max(0, rows);
        if (rows > rows_) {
            beginInsertRows({}, rows_, rows - 1);
            rows_ = rows;
            endInsertRows();
        } else if (rows < rows_) {
            beginRemoveRows({}, rows, rows_ - 1);
            rows_ = rows;
            endRemoveRows();
        }
    }
    void refresh() {
        if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 6));
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 7; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const int row = index.row() + 1;
        switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(lap_.raceItemCellText(index.row(), index.column()));
        case Qt::BackgroundRole:
            switch (lapGridCellFill(lap_, row, index.column())) {
            case LapCellFill::Lap: return kLapColour;
            case LapCellFill::EarlyStart:
            case LapCellFill::Penalty: return kRedColour;
            case LapCellFill::Fail: return QColor(Qt::black);
            case LapCellFill::Window: return {};
            }
            return {};
        case Qt::ForegroundRole:
            if (lapGridCellFill(lap_, row, index.column()) == LapCellFill::Fail) return QColor(Qt::white);
            return {};
        default: return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < 7)
            return u(kTitles[section]);
        return {};
    }

private:
    const LapTiming& lap_;
    int rows_ = 0;
};

// ---------------------------------------------------------------- the grid

LapEventGrid::LapEventGrid(const LapTiming& lap, QWidget* parent) : QTableView(parent), lap_(lap) {
    setObjectName("SingleLaneGrid");
    setHorizontalHeader(new FlatHeaderView(this));
    model_ = new LapEventModel(lap, this);
    setModel(model_);
    setItemDelegate(new FlatCellDelegate(kSelectedColour, this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

int LapEventGrid::rowCount() const { return model_->rows() + 1; }

void LapEventGrid::setRowCount(int rows) {
    // The lap timing sets the rows on every load, so the class names are current here.
    std::vector<std::string> names;
    if (LapRegistry* registry = lap_.host().registry())
        for (const LapClassInfo& c : registry->classes()) names.push_back(c.name);
    if (names != classNames_) {
        classNames_ = std::move(names);
        fitFixedColumns();
    }
    model_->setRows(rows - 1);
}

int LapEventGrid::currentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void LapEventGrid::setCurrentCell(int row, int column) {
    if (row < 1 || row > model_->rows()) return;
    const QModelIndex i = model_->index(row - 1, std::clamp(column, 0, 6));
    setCurrentIndex(i);
    scrollTo(i);
}

std::pair<int, int> LapEventGrid::selectedRange() const {
    int first = currentRow();
    int last = first;
    if (selectionModel()) {
        for (const QModelIndex& i : selectionModel()->selectedRows()) {
            if (first == 0 || i.row() + 1 < first) first = i.row() + 1;
            last = std::max(last, i.row() + 1);
        }
    }
    return {first, std::max(first, last)};
}

void LapEventGrid::refresh() {
    model_->refresh();
    viewport()->update();
}

void LapEventGrid::setupColumns(const QFont& font) {
    setFont(font);
    verticalHeader()->setDefaultSectionSize(std::max(16, QFontMetrics(font).height() + 2));
    fitFixedColumns();
}

void LapEventGrid::fitFixedColumns() {
    const QFontMetrics metrics(font());
    std::array<std::vector<std::string>, 7> texts;
    for (std::uint32_t kind = TRaceItem::LAP; kind <= TRaceItem::FAIL + 1; ++kind)
        texts[1].emplace_back(raceKindName(kind)); // one past the last: the unknown kind's name
    texts[2] = {kWidestTime};
    texts[3] = texts[4] = {kWidestLap};
    texts[5] = classNames_;
    texts[6] = {kWidestPenalty};
    for (int c = 1; c < 7; ++c) {
        int width = std::max(kWidths[c], horizontalHeader()->sectionSizeHint(c));
        for (const std::string& text : texts[static_cast<std::size_t>(c)])
            width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(text)) + kCellPadding);
        setColumnWidth(c, width);
    }
    fitFirstColumn();
}

void LapEventGrid::fitFirstColumn() {
    int others = 0;
    for (int c = 1; c < 7; ++c) others += columnWidth(c);
    setColumnWidth(0, std::max(kFirstColumnMin, viewport()->width() - others));
}

void LapEventGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fitFirstColumn();
}

void LapEventGrid::updateGeometries() {
    QTableView::updateGeometries();
    // Setting the same width again changes nothing, so this does not come back here.
    fitFirstColumn();
}

// ---------------------------------------------------------------- on-course list

OnCourseList::OnCourseList(const LapTiming& lap, QWidget* parent) : QTreeWidget(parent), lap_(lap) {
    setObjectName("lvChannel");
    setHeaderLabels({"#", u("Участник")});
    setRootIsDecorated(false);
    setColumnWidth(0, 32);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void OnCourseList::setCount(int count) {
    count = std::max(0, count);
    while (topLevelItemCount() > count) delete takeTopLevelItem(topLevelItemCount() - 1);
    while (topLevelItemCount() < count) new QTreeWidgetItem(this);
    syncTexts();
    viewport()->update();
}

int OnCourseList::selectedRow() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : indexOfTopLevelItem(items.front());
}

void OnCourseList::syncTexts() {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        const QString caption = QString::fromStdString(onCourseCaption(lap_, i));
        const QString text = QString::fromStdString(onCourseText(lap_, i));
        if (item->text(0) != caption) item->setText(0, caption);
        if (item->text(1) != text) item->setText(1, text);
    }
}

void OnCourseList::paintEvent(QPaintEvent* event) {
    syncTexts();
    QTreeWidget::paintEvent(event);
}

// ---------------------------------------------------------------- the panel

LapGridPanel::LapGridPanel(LapTiming& lap, LapGridPort& port, QWidget* parent)
    : QWidget(parent), lap_(lap), commands_(lap, port) {
    setObjectName("SingleLanePanel");
    auto* lanes = new QHBoxLayout(this);
    lanes->setContentsMargins(0, 0, 0, 0);
    SingleLaneGrid = new LapEventGrid(lap_, this);
    lanes->addWidget(SingleLaneGrid, 1);
    auto* channelBox = new QGroupBox(u("Канал"), this);
    auto* channelLayout = new QVBoxLayout(channelBox);
    channelLayout->setContentsMargins(2, 2, 2, 2);
    lvChannel = new OnCourseList(lap_, channelBox);
    channelLayout->addWidget(lvChannel);
    channelBox->setFixedWidth(170);
    lanes->addWidget(channelBox);

    RaceLapSinglePopupMenu = new QMenu(this);
    RaceLapSinglePopupMenu->setObjectName("RaceLapSinglePopupMenu");
    const auto item = [this](QAction*& action, const char* name, const char* caption, auto handler) {
        action = RaceLapSinglePopupMenu->addAction(u(caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
    };
    const auto row = [this] { return SingleLaneGrid->currentRow(); };
    item(mSetNumber, "mSetNumber", "Задать номер", [this, row] { commands_.setNumber(row()); });
    item(N2, "N2", "Сход", [this] { retireClick(); });
    RaceLapSinglePopupMenu->addSeparator();
    item(mStartLine, "mStartLine", "STLIN", [this, row] { commands_.setKind(row(), TRaceItem::STLIN); });
    item(mFrStart, "mFrStart", "FRST", [this, row] { commands_.setKind(row(), TRaceItem::FRST); });
    item(mPLAP, "mPLAP", "PLAP", [this, row] { commands_.setKind(row(), TRaceItem::PLAP); });
    item(mLAP, "mLAP", "LAP", [this, row] { commands_.setKind(row(), TRaceItem::LAP); });
    RaceLapSinglePopupMenu->addSeparator();
    item(mSetPenalty, "mSetPenalty", "Штраф", [this] { setPenaltyClick(); });
    item(mDeleteItem, "mDeleteItem", "Удалить запись", [this] { deleteItemClick(); });
    item(mSendToScoreboard, "mSendToScoreboard", "На табло", [this, row] { commands_.sendToScoreboard(row()); });
    connect(RaceLapSinglePopupMenu, &QMenu::aboutToShow, this, [this] { updateMenuStates(); });

    pmChannel = new QMenu(this);
    pmChannel->setObjectName("pmChannel");
    N24 = pmChannel->addAction(u("Сход"));
    N24->setObjectName("N24");
    connect(N24, &QAction::triggered, this, [this] { commands_.retireListed(lvChannel->selectedRow()); });
    connect(pmChannel, &QMenu::aboutToShow, this, [this] { updateMenuStates(); });

    connect(SingleLaneGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { RaceLapSinglePopupMenu->popup(SingleLaneGrid->viewport()->mapToGlobal(at)); });
    connect(lvChannel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmChannel->popup(lvChannel->viewport()->mapToGlobal(at)); });
    SingleLaneGrid->installEventFilter(this);
    SingleLaneGrid->viewport()->installEventFilter(this);
}

LapGridPanel::~LapGridPanel() {
    // The grid goes before this panel's members: it must not call the filter then.
    SingleLaneGrid->viewport()->removeEventFilter(this);
    SingleLaneGrid->removeEventFilter(this);
}

void LapGridPanel::repaintGrid() {
    SingleLaneGrid->refresh();
    lvChannel->viewport()->update();
}

void LapGridPanel::updateMenuStates() {
    const int row = SingleLaneGrid->currentRow();
    const bool valid = commands_.rowValid(row);
    for (QAction* a : {mSetNumber, mStartLine, mFrStart, mPLAP, mLAP, mSetPenalty, mDeleteItem}) a->setEnabled(valid);
    N2->setEnabled(commands_.canRetire());
    mSendToScoreboard->setEnabled(valid && lap_.host().scoreboard() != nullptr);
    const int listed = lvChannel->selectedRow();
    N24->setEnabled(listed >= 0 && listed < onCourseCount(lap_));
}

void LapGridPanel::selectEvent(int index) {
    SingleLaneGrid->setCurrentCell(index + 1, 0);
    SingleLaneGrid->setFocus();
}

void LapGridPanel::setPenaltyClick() { commands_.setPenalty(SingleLaneGrid->currentRow()); }

void LapGridPanel::deleteItemClick() {
    const auto [first, last] = SingleLaneGrid->selectedRange();
    commands_.deleteRows(first, last);
}

void LapGridPanel::retireClick() { commands_.retire(); }
void LapGridPanel::undeleteClick() { commands_.undelete(); }
void LapGridPanel::deleteAllClick() { commands_.deleteAll(); }

void LapGridPanel::gridDoubleClick() {
    // The cell under the last mouse-down, checked against the rows as they are now.
    const QModelIndex at = SingleLaneGrid->indexAt(lastMouseDown_);
    if (!at.isValid()) return;
    const int row = at.row() + 1;
    if (!commands_.rowValid(row)) return;
    if (at.column() == 6)
        commands_.setPenaltyFromDoubleClick(row);
    else
        commands_.setNumber(row);
}

bool LapGridPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SingleLaneGrid->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            lastMouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            lastMouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
            gridDoubleClick();
            return true;
        }
    } else if (watched == SingleLaneGrid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            deleteItemClick();
            return true;
        }
        if (const std::optional<LetterKey> letter = letterKey(*key)) {
            switch (*letter) {
            case LetterKey::Penalty: setPenaltyClick(); return true;
            case LetterKey::PenaltyLap: commands_.togglePenaltyLap(SingleLaneGrid->currentRow()); return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmaro::ui
