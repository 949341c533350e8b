#include "ui/controls/editable_list_view.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace velmaro::ui {

// Paints the rows and makes the in-place editors of a TEditableListView.
class EditableListDelegate : public QStyledItemDelegate {
public:
    explicit EditableListDelegate(TEditableListView& view) : QStyledItemDelegate(&view), view_(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const QVariant line = index.data(Qt::BackgroundRole);
        const QColor lineColor = line.canConvert<QColor>() ? line.value<QColor>() : QColor();
        const bool selected = view_.selectionModel() && view_.selectionModel()->isSelected(index);
        QColor fill = lineColor.isValid() ? lineColor : TEditableListView::rowColor();
        if (selected) {
            fill = lineColor.isValid() ? TEditableListView::halved(lineColor) : TEditableListView::selectedRowColor();
            const bool cursorCell =
                index.row() == view_.row_ && index.column() == view_.column_ && view_.countSelected() == 1;
            if (cursorCell && !lineColor.isValid()) fill = TEditableListView::cursorCellColor();
        }
        painter->fillRect(option.rect, fill);

        QRect text = option.rect.adjusted(2, 2, -2, -2);
        const QVariant font = index.data(Qt::FontRole);
        painter->setFont(font.canConvert<QFont>() ? font.value<QFont>() : option.font);
        const QVariant image = index.data(Qt::DecorationRole);
        QPixmap pixmap;
        if (image.canConvert<QPixmap>())
            pixmap = image.value<QPixmap>();
        else if (image.canConvert<QIcon>())
            pixmap = image.value<QIcon>().pixmap(option.decorationSize);
        if (!pixmap.isNull()) {
            painter->drawPixmap(text.topLeft(), pixmap);
            text.setLeft(text.left() + pixmap.width() + 2);
        }
        const QVariant align = index.data(Qt::TextAlignmentRole);
        const int flags =
            (align.isValid() ? align.toInt() : int(Qt::AlignLeft)) | Qt::AlignVCenter | Qt::TextSingleLine;
        painter->setPen(Qt::black);
        painter->drawText(text, flags, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        QWidget* editor = nullptr;
        if (view_.columnEditor(index.column()) == TEditableListView::ColumnEditor::DropDown) {
            auto* combo = new QComboBox(parent);
            combo->addItems(index.data(TEditableListView::DropDownItemsRole).toStringList());
            // A choice from the list stores it, as Enter does.
            QObject::connect(combo, &QComboBox::activated, combo, [this, combo](int) {
                auto* self = const_cast<EditableListDelegate*>(this);
                emit self->commitData(combo);
                emit self->closeEditor(combo);
            });
            QTimer::singleShot(0, combo, [combo] {
                if (combo->isVisible()) combo->showPopup();
            });
            editor = combo;
        } else {
            editor = new QLineEdit(parent);
        }
        editor->setObjectName("cellEditor");
        view_.editor_ = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentIndex(combo->findText(text));
        else if (auto* edit = qobject_cast<QLineEdit*>(editor))
            edit->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0) view_.storeLater(index, combo->currentText(), combo->currentIndex());
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            view_.storeLater(index, edit->text(), 0);
        }
    }

private:
    TEditableListView& view_;
};

TEditableListView::TEditableListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new EditableListDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
}

void TEditableListView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (!model) return;
    connect(model, &QAbstractItemModel::modelReset, this, &TEditableListView::clampCursor);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TEditableListView::clampCursor);
}

TEditableListView::ColumnEditor TEditableListView::columnEditor(int column) const {
    const auto it = editors_.find(column);
    return it == editors_.end() ? ColumnEditor::None : it->second;
}

void TEditableListView::selectItem(int item, int subItem) {
    clearSelection();
    row_ = item;
    column_ = subItem;
    if (item >= 0 && model() && item < model()->rowCount()) {
        const QModelIndex index = model()->index(item, subItem < 0 ? 0 : subItem);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    viewport()->update();
}

int TEditableListView::countSelected() const {
    return selectionModel() ? static_cast<int>(selectionModel()->selectedRows().size()) : 0;
}

bool TEditableListView::startEditCell() {
    if (!model() || isEditing() || row_ < 0 || column_ < 0 || row_ >= model()->rowCount()) return false;
    if (columnEditor(column_) == ColumnEditor::None || countSelected() > 1) return false;
    const QModelIndex index = model()->index(row_, column_);
    if (!(model()->flags(index) & Qt::ItemIsEditable)) return false;
    emit beforeEdit(row_, column_);
    edit(index);
    viewport()->update();
    return isEditing();
}

bool TEditableListView::isEditing() const { return state() == QAbstractItemView::EditingState && editor_; }

void TEditableListView::storeLater(const QModelIndex& index, const QString& text, int dataIndex) {
    pending_ = PendingEdit{QPersistentModelIndex(index), text, dataIndex};
}

void TEditableListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == editor_) editor_ = nullptr;
    QTableView::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::RevertModelCache) pending_.reset();
    if (!pending_) return;
    const PendingEdit edit = *pending_;
    pending_.reset();
    if (!edit.index.isValid()) return;
    const int row = edit.index.row(), column = edit.index.column();
    model()->setData(edit.index, edit.text, Qt::EditRole);
    emit cellEdited(row, column, edit.text, edit.dataIndex);
    viewport()->update();
}

void TEditableListView::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods == Qt::NoModifier) startEditCell();
        event->accept();
        return;
    case Qt::Key_F2:
        startEditCell();
        event->accept();
        return;
    case Qt::Key_Down:
        moveRow(1);
        event->accept();
        return;
    case Qt::Key_Up:
        moveRow(-1);
        event->accept();
        return;
    case Qt::Key_Right:
        moveColumn(1);
        event->accept();
        return;
    case Qt::Key_Left:
        moveColumn(-1);
        event->accept();
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // Within the row the cursor moves; past its last (first) column, or with no cursor
        // row, the key is left to the window, which moves the focus to the next (previous)
        // control.
        const int delta = event->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier) ? -1 : 1;
        if (moveColumn(delta))
            event->accept();
        else
            event->ignore();
        return;
    }
    default: break;
    }
    QTableView::keyPressEvent(event);
    followCurrentRow();
}

void TEditableListView::moveRow(int delta) {
    const int rows = model() ? model()->rowCount() : 0;
    if (rows == 0) return;
    int row = row_;
    if (delta > 0)
        row = row_ + 1 >= rows ? (row_ < 0 ? 0 : row_) : row_ + 1;
    else
        row = row_ - 1 < 0 ? 0 : row_ - 1;
    selectItem(row, column_ < 0 ? 0 : column_);
    scrollTo(model()->index(row, column_));
}

bool TEditableListView::moveColumn(int delta) {
    if (row_ < 0 || !model()) return false;
    const int column = column_ + delta;
    if (column < 0 || column >= model()->columnCount()) return false;
    column_ = column;
    scrollTo(model()->index(row_, column_));
    viewport()->update();
    return true;
}

// Home, End, Page Up/Down and the other keys of the table itself move the cursor row.
void TEditableListView::followCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() == row_) return;
    row_ = current.row();
    if (column_ < 0) column_ = 0;
    viewport()->update();
}

void TEditableListView::clampCursor() {
    const int rows = model() ? model()->rowCount() : 0;
    if (row_ >= rows) row_ = rows - 1;
    if (row_ < 0) column_ = -1;
    if (row_ >= 0) selectItem(row_, column_);
}

void TEditableListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    row_ = index.isValid() ? index.row() : -1;
    column_ = index.isValid() ? index.column() : -1;
    QTableView::mousePressEvent(event);
    if (!index.isValid()) clearSelection();
    viewport()->update();
}

void TEditableListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (editOnDoubleClick_) startEditCell();
    QTableView::mouseDoubleClickEvent(event);
}

} // namespace velmaro::ui
