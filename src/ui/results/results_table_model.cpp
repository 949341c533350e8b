#include "ui/results/results_table_model.h"

#include "core/results/results_grid.h"
#include "ui/controls/flat_cell_delegate.h"

namespace velmaro::ui {

void ResultsTableModel::setTable(const ResultsTable* table, bool twoLaneMode) {
    beginResetModel();
    table_ = table;
    twoLane_ = twoLaneMode;
    endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_ || table_->rowCount() < 1) return 0;
    return table_->rowCount() - 1;
}

int ResultsTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_) return 0;
    return table_->columnCount();
}

QVariant ResultsTableModel::data(const QModelIndex& index, int role) const {
    if (!table_ || !index.isValid() || index.row() + 1 >= table_->rowCount()) return {};
    const auto& row = table_->cells[static_cast<std::size_t>(index.row() + 1)];
    const std::string cell =
        index.column() < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(index.column())] : std::string();
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(shownCell(cell, twoLane_).text);
    case Qt::BackgroundRole: {
        const int code = shownCell(cell, twoLane_).code;
        if (code == 1) return kResultsFinalColour;
        if (code == 2) return kResultsPracticeColour;
        if (isTitleRow(row)) return kResultsTitleRowColour;
        return {};
    }
    case kFillOverSelectionRole: {
        // The final and practice colours replace every other, the selection grey included.
        const int code = shownCell(cell, twoLane_).code;
        return code == 1 || code == 2;
    }
    default: return {};
    }
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !table_ || table_->rowCount() < 1) return {};
    const auto& titles = table_->cells[0];
    if (section < 0 || section >= static_cast<int>(titles.size())) return {};
    return QString::fromStdString(titles[static_cast<std::size_t>(section)]);
}

void ResultsTableModel::headerChanged(int column) { emit headerDataChanged(Qt::Horizontal, column, column); }

} // namespace velmaro::ui
