#pragma once
// The run grid of the two-lane modes (DragStringGrid): four columns of rows painted from
// the drag core's cell texts and style codes (core/drag/drag_grid.h). The widget keeps no
// texts and no copy of the runs; its DragRuns (runs and selection) is the only source.
// Painting reads them and never changes them. Mouse and keys set the selection through
// the core and repaint; the popup menu calls the run commands (core/drag/drag_commands.h).
//
// Geometry: rows of rowHeight() pixels plus a one-pixel line; the columns take fixed
// shares of the viewport's width, set again whenever its size changes (so they follow the
// layout and the scroll bar, not the width the grid had before). The row count follows
// the runs' blocks. Main thread only.
#include <QAbstractScrollArea>
#include <QColor>

#include <array>
#include <cstdint>

class QAction;
class QMenu;

namespace velmaro {
class DragRuns; // core/drag/drag_runs.h
} // namespace velmaro

namespace velmaro::ui {

class DragGridWidget : public QAbstractScrollArea {
    Q_OBJECT
public:
    // `runs`: what the grid shows and selects (not owned; outlives the grid).
    explicit DragGridWidget(DragRuns& runs, QWidget* parent = nullptr);

    // ---- geometry (the drag host and the main window use these)
    int rowCount() const;       // rows of the runs' blocks
    void setRowCount(int rows); // the runs decide the rows: refreshes the scroll range only
    int currentRow() const { return currentRow_; }
    int currentColumn() const { return currentColumn_; }
    // Moves the grid cursor (clamped to the rows) and scrolls it into view.
    void setCurrentCell(int row, int column);
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;
    // Columns 0 to 3 take 40, 9, 9 and 40 of 98 parts of the viewport's width (the grid
    // less its frame and the scroll bar when it shows), each truncated: the row ends at
    // most 3 px short of the visible right edge. Done on every resize of the viewport.
    void fitColumns();
    // The narrowest grid whose columns show a run's rows whole in the grid's font: the
    // result cell of a lane with a penalty, a breakout and a foul, the longest hit name
    // and the run number, with the scroll bar beside the row.
    int wholeRunWidth() const;
    int rowHeight() const { return 16; }
    int topRow() const;
    int visibleRowCount() const;
    // Column and row under a viewport point; both -1 when the point is in no row.
    std::array<int, 2> cellAt(const QPoint& point) const;
    // Brings the run's whole block into view with the cursor on it (after a search).
    void scrollToRun(int runIndex);

    // Fill colour of a style code (-1 and the codes without a layout: the window colour).
    QColor fillColour(int32_t style) const;

    // ---- the popup menu (RaceLapSinglePopupMenu's items for the run grid)
    QMenu* popupMenu() const { return menu_; }
    // Enables the items for the timing mode and the current selection.
    void updateMenuStates();

public slots:
    // "<" (step -1) and ">" (step 1) beside eSearchText: nothing for a text that is not a
    // whole number.
    void searchRacer(const QString& text, int step);
    // "Штраф" and the button "ШТРАФ" on the run grid.
    void askPenalty();
    // "На табло": the selected run, both lanes one after the other (200 ms apart) when the
    // whole run is selected, else the selected lane.
    void sendToScoreboards(int brightness);

signals:
    // Double click on a hit or a whole run: the hit log window selects the hit with that time.
    void hitTimeActivated(quint64 time);
    // "На табло" was chosen; answer with sendToScoreboards(brightness of the scoreboard settings).
    void sendToScoreboardRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenu();
    void updateScrollRange();
    void selectCurrentCell();
    int rowPitch() const { return rowHeight() + 1; }
    int rowWidth() const;
    int columnLeft(int column) const;

    DragRuns& runs_;
    std::array<int, 4> widths_{300, 70, 70, 300};
    int currentRow_ = 0;
    int currentColumn_ = 0;
    QMenu* menu_ = nullptr;
    QAction* mSetNumber_ = nullptr;
    QAction* N2_ = nullptr;
    QAction* mStartLine_ = nullptr;
    QAction* mFrStart_ = nullptr;
    QAction* mPLAP_ = nullptr;
    QAction* mLAP_ = nullptr;
    QAction* N18_ = nullptr;
    QAction* makeItemPractice_ = nullptr;
    QAction* makeItemQual_ = nullptr;
    QAction* mSetPenalty_ = nullptr;
    QAction* mDeleteItem_ = nullptr;
    QAction* mSendToScoreboard_ = nullptr;
};

} // namespace velmaro::ui
