#pragma once
// The results grid's texts for a table view: row r of the model is grid row r + 1 (row 0
// of the grid is the header). Shows each cell by the cell grammar and colours title rows
// and the run-mode codes of the two-lane modes.
#include <QAbstractTableModel>
#include <QColor>

#include "core/records/results_table.h"

namespace velmaro::ui {

// Colours of the results grid.
inline const QColor kResultsSelectedColour{0xC0, 0xC0, 0xC0};
inline const QColor kResultsTitleRowColour{0xE5, 0xE1, 0xF7};
inline const QColor kResultsFinalColour{0xC8, 0xC7, 0xFF};    // run-mode code 1
inline const QColor kResultsPracticeColour{0x7F, 0xFF, 0xD4}; // run-mode code 2

class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Replaces the table; `twoLaneMode` reads the run-mode prefix.
    void setTable(const ResultsTable* table, bool twoLaneMode);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void headerChanged(int column);

private:
    const ResultsTable* table_ = nullptr; // owned by the window
    bool twoLane_ = false;
};

} // namespace velmaro::ui
