#include "ui/controls/flat_cell_delegate.h"

#include <QApplication>
#include <QPainter>

namespace velmaro::ui {

void FlatCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    QColor fill = option.palette.color(QPalette::Base);
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.canConvert<QColor>()) fill = background.value<QColor>();
    if (option.state & QStyle::State_Selected) fill = selected_;
    painter->fillRect(option.rect, fill);
    QColor ink = Qt::black;
    const QVariant foreground = index.data(Qt::ForegroundRole);
    if (foreground.canConvert<QColor>()) ink = foreground.value<QColor>();
    painter->setPen(ink);
    painter->setFont(option.font);
    const QRect text = option.rect.adjusted(2, 0, -2, 0);
    painter->setClipRect(text);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize FlatCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QFontMetrics fm(option.font);
    return QSize(fm.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4, fm.height());
}

} // namespace velmaro::ui
