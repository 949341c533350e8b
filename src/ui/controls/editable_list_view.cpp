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
    explicit EditableListDelegate(TEditableListView& view) : QStyledItemDelegate(&view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const QVariant line = index.data(Qt::BackgroundRole);
        const QColor lineColor = line.canConvert<QColor>() ? line.value<QColor>() : QColor();
        const bool selected = m_view.selectionModel() && m_view.selectionModel()->isSelected(index);
        QColor fill = lineColor.isValid() ? lineColor : TEditableListView::rowColor();
        if (selected) {
            fill = lineColor.isValid() ? TEditableListView::halved(lineColor) : TEditableListView::selectedRowColor();
            const bool cursorCell = index.row() == m_view.m_row && index.column() == m_view.m_column &&
                                    m_view.countSelected() == 1;
            if (cursorCell && !lineColor.isValid()) fill = TEditableListView::cursorCellColor();
        }
        painter->fillRect(option.rect, fill);

        QRect text = option.rect.adjusted(2, 2, -2, -2);
        const QVariant font = index.data(Qt::FontRole);
        painter->setFont(font.canConvert<QFont>() ? font.value<QFont>() : option.font);
        const QVariant image = index.data(Qt::DecorationRole);
        QPixmap pixmap;
        if (image.canConvert<QPixmap>()) pixmap = image.value<QPixmap>();
        else if (image.canConvert<QIcon>()) pixmap = image.value<QIcon>().pixmap(option.decorationSize);
        if (!pixmap.isNull()) {
            painter->drawPixmap(text.topLeft(), pixmap);
            text.setLeft(text.left() + pixmap.width() + 2);
        }
        const QVariant align = index.data(Qt::TextAlignmentRole);
        const int flags = (align.isValid() ? align.toInt() : int(Qt::AlignLeft)) | Qt::AlignVCenter | Qt::TextSingleLine;
        painter->setPen(Qt::black);
        painter->drawText(text, flags, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        QWidget* editor = nullptr;
        if (m_view.columnEditor(index.column()) == TEditableListView::ColumnEditor::DropDown) {
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
        m_view.m_editor = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) combo->setCurrentIndex(combo->findText(text));
        else if (auto* edit = qobject_cast<QLineEdit*>(editor)) edit->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0) m_view.storeLater(index, combo->currentText(), combo->currentIndex());
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            m_view.storeLater(index, edit->text(), 0);
        }
    }

private:
    TEditableListView& m_view;
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
    const auto it = m_editors.find(column);
    return it == m_editors.end() ? ColumnEditor::None : it->second;
}

void TEditableListView::selectItem(int item, int subItem) {
    clearSelection();
    m_row = item;
    m_column = subItem;
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
    if (!model() || isEditing() || m_row < 0 || m_column < 0 || m_row >= model()->rowCount()) return false;
    if (columnEditor(m_column) == ColumnEditor::None || countSelected() > 1) return false;
    const QModelIndex index = model()->index(m_row, m_column);
    if (!(model()->flags(index) & Qt::ItemIsEditable)) return false;
    emit beforeEdit(m_row, m_column);
    edit(index);
    viewport()->update();
    return isEditing();
}

bool TEditableListView::isEditing() const { return state() == QAbstractItemView::EditingState && m_editor; }

void TEditableListView::storeLater(const QModelIndex& index, const QString& text, int dataIndex) {
    m_pending = PendingEdit{QPersistentModelIndex(index), text, dataIndex};
}

void TEditableListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == m_editor) m_editor = nullptr;
    QTableView::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::RevertModelCache) m_pending.reset();
    if (!m_pending) return;
    const PendingEdit edit = *m_pending;
    m_pending.reset();
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
    case Qt::Key_F2: startEditCell(); event->accept(); return;
    case Qt::Key_Down: moveRow(1); event->accept(); return;
    case Qt::Key_Up: moveRow(-1); event->accept(); return;
    case Qt::Key_Right: moveColumn(1); event->accept(); return;
    case Qt::Key_Left: moveColumn(-1); event->accept(); return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // Within the row the cursor moves; past its last (first) column, or with no cursor
        // row, the key is left to the window, which moves the focus to the next (previous)
        // control.
        const int delta = event->key() == Qt::Key_Backtab || (mods & Qt::ShiftModifier) ? -1 : 1;
        if (moveColumn(delta)) event->accept();
        else event->ignore();
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
    int row = m_row;
    if (delta > 0) row = m_row + 1 >= rows ? (m_row < 0 ? 0 : m_row) : m_row + 1;
    else row = m_row - 1 < 0 ? 0 : m_row - 1;
    selectItem(row, m_column < 0 ? 0 : m_column);
    scrollTo(model()->index(row, m_column));
}

bool TEditableListView::moveColumn(int delta) {
    if (m_row < 0 || !model()) return false;
    const int column = m_column + delta;
    if (column < 0 || column >= model()->columnCount()) return false;
    m_column = column;
    scrollTo(model()->index(m_row, m_column));
    viewport()->update();
    return true;
}

// Home, End, Page Up/Down and the other keys of the table itself move the cursor row.
void TEditableListView::followCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() == m_row) return;
    m_row = current.row();
    if (m_column < 0) m_column = 0;
    viewport()->update();
}

void TEditableListView::clampCursor() {
    const int rows = model() ? model()->rowCount() : 0;
    if (m_row >= rows) m_row = rows - 1;
    if (m_row < 0) m_column = -1;
    if (m_row >= 0) selectItem(m_row, m_column);
}

void TEditableListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    m_row = index.isValid() ? index.row() : -1;
    m_column = index.isValid() ? index.column() : -1;
    QTableView::mousePressEvent(event);
    if (!index.isValid()) clearSelection();
    viewport()->update();
}

void TEditableListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_editOnDoubleClick) startEditCell();
    QTableView::mouseDoubleClickEvent(event);
}

} // namespace velmaro::ui
