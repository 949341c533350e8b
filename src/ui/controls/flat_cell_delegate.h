#pragma once
// Draws grid cells the way the console's grids look: the cell filled with its
// background (the model's BackgroundRole, else the window colour; a fixed grey across
// the selected row), the text in the model's ForegroundRole colour (black by default)
// at the cell's left and top edge, two pixels in, clipped to the cell.
#include <QColor>
#include <QStyledItemDelegate>

namespace velmaro::ui {

class FlatCellDelegate : public QStyledItemDelegate {
public:
    explicit FlatCellDelegate(QColor selected, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), selected_(selected) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QColor selected_;
};

} // namespace velmaro::ui
