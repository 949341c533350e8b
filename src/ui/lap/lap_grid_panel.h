#pragma once
// The lap grid of the single-lane modes with the list of racers on course beside it:
// `SingleLaneGrid` (one row per lap event under the column titles, texts and colours
// from core/lap/lap_grid.h), `lvChannel` ("Канал"), their popup menus, the grid's keys
// (Delete, P, L) and double click, and the entry points of the buttons and "Правка"
// items that act on it. The main window hosts one panel on its run page.
//
// Rows follow the lap grid convention: row 0 is the title row (nothing selected), row r
// shows lap event r - 1. Every command is checked against the lap events as they are
// when it runs. Main thread only. The lap timing and the port are not owned and must
// outlive the panel.
#include <QTableView>
#include <QTreeWidget>
#include <QWidget>

#include <string>
#include <vector>

#include "core/lap/lap_grid.h"

class QAction;
class QMenu;

namespace velmaro::ui {

class LapEventModel;

// The grid itself (`SingleLaneGrid`).
class LapEventGrid : public QTableView {
    Q_OBJECT
public:
    explicit LapEventGrid(const LapTiming& lap, QWidget* parent = nullptr);

    // Rows including the title row (the lap timing sets it to events + 1). Setting them
    // also widens the class column to the registry's class names.
    int rowCount() const;
    void setRowCount(int rows);
    // The current row; 0 when none.
    int currentRow() const;
    // Makes `row` current (row 0 or a row past the end: nothing).
    void setCurrentCell(int row, int column);
    // The first and last selected rows (both the current row when nothing else is).
    std::pair<int, int> selectedRange() const;
    // Texts and colours of every row again.
    void refresh();
    // Font, titles and widths of the seven columns: columns 1 to 6 at least as wide as
    // their titles and their widest texts, column 0 the rest of the grid's width.
    void setupColumns(const QFont& font);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The vertical scroll bar coming or going changes the room for column 0 too.
    void updateGeometries() override;

private:
    void fitFixedColumns();
    void fitFirstColumn();
    const LapTiming& lap_;
    LapEventModel* model_ = nullptr;
    std::vector<std::string> classNames_; // as the class column was last fitted to
};

// The list of racers on course (`lvChannel`): owner data, its texts are read from the
// queue whenever it is painted or its row count is set.
class OnCourseList : public QTreeWidget {
    Q_OBJECT
public:
    explicit OnCourseList(const LapTiming& lap, QWidget* parent = nullptr);
    void setCount(int count);
    // The selected row; -1 when none.
    int selectedRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void syncTexts();
    const LapTiming& lap_;
};

class LapGridPanel : public QWidget {
    Q_OBJECT
public:
    LapGridPanel(LapTiming& lap, LapGridPort& port, QWidget* parent = nullptr);
    ~LapGridPanel() override;

    // ---- what the lap timing's host forwards here
    int currentRow() const { return SingleLaneGrid->currentRow(); }
    void setCurrentRow(int row) { SingleLaneGrid->setCurrentCell(row, 0); }
    void setRowCount(int rows) { SingleLaneGrid->setRowCount(rows); }
    void repaintGrid();
    void setOnCourseCount(int count) { lvChannel->setCount(count); }

    // ---- entry points
    void selectEvent(int index); // the results window's lap cell: row index + 1, focus
    void setPenaltyClick();      // the button "ШТРАФ" (and the results window's penalty)
    void deleteItemClick();      // the button "УДАЛИТЬ"
    void retireClick();          // "Сход"
    void undeleteClick();        // "Правка" / "Отменить удаление"
    void deleteAllClick();       // "Правка" / "Удалить все"

    // Enables the menu items for the current row and the list's selection (done each
    // time a menu opens).
    void updateMenuStates();

    LapEventGrid* SingleLaneGrid = nullptr;
    OnCourseList* lvChannel = nullptr;
    QMenu* RaceLapSinglePopupMenu = nullptr;
    QAction* mSetNumber = nullptr;
    QAction* N2 = nullptr; // "Сход"
    QAction* mStartLine = nullptr;
    QAction* mFrStart = nullptr;
    QAction* mPLAP = nullptr;
    QAction* mLAP = nullptr;
    QAction* mSetPenalty = nullptr;
    QAction* mDeleteItem = nullptr;
    QAction* mSendToScoreboard = nullptr;
    QMenu* pmChannel = nullptr;
    QAction* N24 = nullptr; // "Сход" of the on-course list

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void gridDoubleClick();

    LapTiming& lap_;
    LapGridCommands commands_;
    QPoint lastMouseDown_;
};

} // namespace velmaro::ui
