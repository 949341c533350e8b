#pragma once
// The results window "Результаты" of every timing mode: the time options that both
// rankings read, the results grid drawn by its cell grammar (core/records/results_table.h),
// the way from a lap cell to its lap event, and the export to CSV and .xlsx.
//
// The grid shows what it was last given: showDragResults after each drag results
// rebuild, showLapResults after each lap results table. The window is created once at
// start-up as a top-level window (no owner, so it may lie behind the main window) and
// lives until the program ends. Main thread only.
//
// The host and the opener are not owned; they must outlive the window.
#include <QWidget>

#include <vector>

#include "core/records/results_table.h"
#include "core/results/results_window.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QTableView;

namespace velmaro {
class DocumentOpener;
class Operator;
struct TDragResultsView;
class TRegistry;
} // namespace velmaro

namespace velmaro::ui {

class ResultsTableModel;

class TRallyResults : public QWidget, public ResultsOptionSource {
    Q_OBJECT
public:
    // The export's log lines and messages go to `op`; host, opener and op outlive the window.
    TRallyResults(ResultsWindowHost& host, DocumentOpener& opener, Operator& op, QWidget* parent = nullptr);
    ~TRallyResults() override;

    // ResultsOptionSource: the checked state of "Чистое время" and "Суммарное время".
    ResultsTimeOptions timeOptions() const override;

    // Entry points of the console.
    // After each drag results rebuild (two-lane modes): the class blocks and the overall
    // block of the rebuild, names from the registry.
    void showDragResults(const TDragResultsView& view, const TRegistry& registry);
    // After each lap results rebuild (modes 1, 4 and 6).
    void showLapResults(const ResultsTable& table);
    // The export (button "Excel", main menu "Итоги XLS").
    void Button4Click();
    // Asks the mode's results for a rebuild (the window is shown, an option changed).
    void FormShow();

    // The grid as last given (column 6 titled by the sum option).
    const ResultsTable& table() const { return table_; }
    // Current column widths of the grid (0 for a column the official has hidden).
    std::vector<int> columnWidths() const;

    QRadioButton* ClearTime = nullptr;
    QRadioButton* DirtyTime = nullptr;
    QCheckBox* cbSumTime = nullptr;
    QPushButton* Button4 = nullptr;
    QTableView* ResultsGrid = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void optionsChanged();
    void showTable(ResultsTable table);
    void gridDoubleClick();

    ResultsWindowHost& host_;
    DocumentOpener& opener_;
    Operator& op_;
    ResultsTable table_;
    ResultsTableModel* model_ = nullptr;
    QPoint lastMouseDown_;
};

// The one results window; null before start-up creates it and after shut-down.
extern TRallyResults* RallyResults;

} // namespace velmaro::ui
