#include "ui/results/rally_results.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "core/platform/operator.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registry.h"
#include "core/results/results_export.h"
#include "core/results/results_grid.h"
#include "ui/controls/flat_cell_delegate.h"
#include "ui/results/results_table_model.h"

namespace velmaro::ui {

TRallyResults* RallyResults = nullptr;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
} // namespace

TRallyResults::TRallyResults(ResultsWindowHost& host, DocumentOpener& opener, Operator& op, QWidget* parent)
    : QWidget(parent), host_(host), opener_(opener), op_(op), table_(resultsTableFrame(false)) {
    setObjectName("RallyResults");
    setWindowTitle(u("Результаты"));
    resize(985, 571);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    panel->setFixedHeight(41);
    auto* bar = new QHBoxLayout(panel);
    bar->setContentsMargins(8, 4, 8, 4);
    ClearTime = new QRadioButton(u("Чистое время"), panel);
    ClearTime->setObjectName("ClearTime");
    ClearTime->setChecked(true);
    DirtyTime = new QRadioButton(u("Грязное время"), panel);
    DirtyTime->setObjectName("DirtyTime");
    cbSumTime = new QCheckBox(u("Суммарное время"), panel);
    cbSumTime->setObjectName("cbSumTime");
    Button4 = new QPushButton(u("Excel"), panel);
    Button4->setObjectName("Button4");
    bar->addWidget(ClearTime);
    bar->addWidget(DirtyTime);
    bar->addSpacing(16);
    bar->addWidget(cbSumTime);
    bar->addStretch(1);
    bar->addWidget(Button4);
    root->addWidget(panel);

    ResultsGrid = new QTableView(this);
    ResultsGrid->setObjectName("ResultsGrid");
    model_ = new ResultsTableModel(this);
    model_->setTable(&table_, false);
    ResultsGrid->setHorizontalHeader(new FlatHeaderView(ResultsGrid));
    ResultsGrid->setModel(model_);
    ResultsGrid->setItemDelegate(new FlatCellDelegate(kResultsSelectedColour, ResultsGrid));
    QFont font(u("Tahoma"));
    font.setPointSize(10);
    ResultsGrid->setFont(font);
    ResultsGrid->verticalHeader()->hide();
    ResultsGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ResultsGrid->verticalHeader()->setDefaultSectionSize(std::max(16, QFontMetrics(font).height() + 2));
    ResultsGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ResultsGrid->horizontalHeader()->setMinimumSectionSize(0);
    ResultsGrid->horizontalHeader()->setHighlightSections(false);
    ResultsGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    ResultsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultsGrid->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    ResultsGrid->setWordWrap(false);
    for (int c = 0; c < table_.columnCount(); ++c)
        ResultsGrid->setColumnWidth(c, table_.columnWidths[static_cast<std::size_t>(c)]);
    ResultsGrid->installEventFilter(this);
    ResultsGrid->viewport()->installEventFilter(this);
    root->addWidget(ResultsGrid, 1);

    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(ClearTime, &QRadioButton::clicked, this, [this] { optionsChanged(); });
    connect(DirtyTime, &QRadioButton::clicked, this, [this] { optionsChanged(); });
    connect(cbSumTime, &QCheckBox::clicked, this, [this] {
        table_.cells[0][6] = resultsTimeColumnTitle(cbSumTime->isChecked());
        model_->headerChanged(6);
        optionsChanged();
    });
    host_.setRankOptions(dragRankOptions(timeOptions(), host_.raceMode()));
}

TRallyResults::~TRallyResults() {
    // The grid goes before this window's members: it must not call the filter then.
    ResultsGrid->viewport()->removeEventFilter(this);
    ResultsGrid->removeEventFilter(this);
    // The model reads table_, which goes before the grid is hidden and destroyed.
    model_->setTable(nullptr, false);
}

ResultsTimeOptions TRallyResults::timeOptions() const {
    return ResultsTimeOptions{ClearTime->isChecked(), cbSumTime->isChecked()};
}

void TRallyResults::optionsChanged() {
    host_.setRankOptions(dragRankOptions(timeOptions(), host_.raceMode()));
    FormShow();
}

void TRallyResults::FormShow() { requestResultsRebuild(host_); }

void TRallyResults::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TRallyResults::showDragResults(const TDragResultsView& view, const TRegistry& registry) {
    showTable(dragResultsTable(view, registry));
}

void TRallyResults::showLapResults(const ResultsTable& table) { showTable(table); }

void TRallyResults::showTable(ResultsTable table) {
    const int oldColumns = table_.columnCount();
    std::vector<int> kept = columnWidths();
    table_ = std::move(table);
    if (table_.rowCount() == 0) table_ = resultsTableFrame(cbSumTime->isChecked());
    table_.cells[0].resize(static_cast<std::size_t>(table_.columnCount()));
    if (table_.columnCount() > 6) table_.cells[0][6] = resultsTimeColumnTitle(cbSumTime->isChecked());
    const QModelIndex current = ResultsGrid->currentIndex();
    const int top = ResultsGrid->verticalScrollBar()->value();
    model_->setTable(&table_, isTwoLaneMode(host_.raceMode()));
    // The fixed columns keep the widths the official gave them; the attempt and lap
    // columns take the widths the results give.
    for (int c = 0; c < table_.columnCount(); ++c) {
        const bool keep = c < kResultsFixedColumns && c < oldColumns;
        ResultsGrid->setColumnWidth(c, keep ? kept[static_cast<std::size_t>(c)]
                                            : table_.columnWidths[static_cast<std::size_t>(c)]);
    }
    if (current.isValid() && current.row() < model_->rowCount())
        ResultsGrid->setCurrentIndex(
            model_->index(current.row(), std::min(current.column(), model_->columnCount() - 1)));
    ResultsGrid->verticalScrollBar()->setValue(top);
}

std::vector<int> TRallyResults::columnWidths() const {
    std::vector<int> widths;
    const QHeaderView* header = ResultsGrid->horizontalHeader();
    for (int c = 0; c < model_->columnCount(); ++c)
        widths.push_back(header->isSectionHidden(c) ? 0 : header->sectionSize(c));
    return widths;
}

void TRallyResults::Button4Click() {
    // The numbers of the text file take the official's decimal separator (the desktop's
    // locale), as a spreadsheet in that language reads them.
    const std::string decimalSeparator = QLocale().decimalPoint().toStdString();
    (void)exportResults(table_, columnWidths(), host_.raceMode(), host_.eventFolder(), host_.eventName(),
                        decimalSeparator, opener_, op_);
}

void TRallyResults::gridDoubleClick() {
    const QModelIndex at = ResultsGrid->indexAt(lastMouseDown_);
    if (!at.isValid()) return;
    // Checked against the grid as it is now: a refresh may have changed it since the click.
    if (std::optional<int> index = lapEventIndexAt(table_, at.row() + 1, at.column(), host_.raceMode()))
        host_.showLapEvent(*index);
}

bool TRallyResults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ResultsGrid->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            lastMouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
            ResultsGrid->viewport()->update();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            lastMouseDown_ = static_cast<QMouseEvent*>(event)->position().toPoint();
            gridDoubleClick();
            return true;
        }
    } else if (watched == ResultsGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            ResultsGrid->horizontalScrollBar()->triggerAction(
                key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmaro::ui
