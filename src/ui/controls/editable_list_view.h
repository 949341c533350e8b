#pragma once
// TEditableListView: the console's table control (registration lists, log window,
// manual bracket order). A QTableView over any item model, with
//   - a cell cursor: a cursor row and a cursor column, moved by Up/Down, Left/Right,
//     Tab/Shift+Tab and mouse presses; the cursor row is the selected row. Tab past the
//     last column and Shift+Tab before the first move the focus on and back, out of the
//     list;
//   - rows painted by the control: a selected row light blue with the cursor cell a
//     darker blue, other rows white; a row's own colour (the model's BackgroundRole)
//     replaces white, and is halved on a selected row;
//   - per-line fonts (FontRole), per-cell images (DecorationRole), cell alignment
//     (TextAlignmentRole) from the model;
//   - in-place editing of the cursor cell with a text box or a drop-down list, chosen
//     per column (setColumnEditor) and allowed per cell by the model's
//     Qt::ItemIsEditable flag; opened by Enter (no modifier), F2 or a double click.
//     Enter or a choice in the drop-down stores the text, leaving the editor stores it,
//     Esc discards it.
// Storing an edit calls the model's setData(EditRole) and then emits cellEdited, so a
// model that owns no data (owner-data lists) can leave setData refused and act on the
// signal instead. The signal is emitted after the editor has closed, so its receiver
// may reset the model.
// Main thread only.
#include <QColor>
#include <QPersistentModelIndex>
#include <QTableView>

#include <map>
#include <optional>

namespace velmaro::ui {

class TEditableListView : public QTableView {
    Q_OBJECT
public:
    enum class ColumnEditor { None, Text, DropDown };
    // The items a drop-down editor offers: model data of the cell, a QStringList.
    static constexpr int DropDownItemsRole = Qt::UserRole + 1;

    static QColor selectedRowColor() { return QColor(0xA8, 0xD7, 0xFF); }
    static QColor cursorCellColor() { return QColor(0x82, 0xB9, 0xE5); }
    static QColor rowColor() { return QColor(Qt::white); }
    // A line colour on a selected row: every colour byte halved.
    static QColor halved(const QColor& c) { return QColor(c.red() / 2, c.green() / 2, c.blue() / 2); }

    explicit TEditableListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    void setColumnEditor(int column, ColumnEditor editor) { editors_[column] = editor; }
    ColumnEditor columnEditor(int column) const;
    // Whether a double click opens the editor before the doubleClicked signal (default on).
    void setEditOnDoubleClick(bool on) { editOnDoubleClick_ = on; }

    // The cursor: row and column, -1 when none.
    int selectedItem() const { return row_; }
    int selectedSubItem() const { return column_; }
    // Puts the cursor on (item, subItem) and selects that row alone (item -1: nothing).
    void selectItem(int item, int subItem);
    int countSelected() const;

    // Opens the editor of the cursor cell when its column has one, the model lets the
    // cell be edited, and exactly one row (or none) is selected. True when one opened.
    bool startEditCell();
    bool isEditing() const;

signals:
    // Just before an editor opens on (row, column).
    void beforeEdit(int row, int column);
    // An edit was stored: the editor's text and, for a drop-down, the index of the
    // chosen entry (0 for a text box).
    void cellEdited(int row, int column, const QString& text, int dataIndex);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class EditableListDelegate;
    struct PendingEdit {
        QPersistentModelIndex index;
        QString text;
        int dataIndex = 0;
    };

    void moveRow(int delta);
    // Moves the cursor column by delta within the row; false when it cannot (no cursor
    // row, or the row's first or last column reached).
    bool moveColumn(int delta);
    void followCurrentRow();
    void clampCursor();
    void storeLater(const QModelIndex& index, const QString& text, int dataIndex);

    std::map<int, ColumnEditor> editors_;
    bool editOnDoubleClick_ = true;
    int row_ = -1;
    int column_ = -1;
    QWidget* editor_ = nullptr;
    std::optional<PendingEdit> pending_;
};

} // namespace velmaro::ui
