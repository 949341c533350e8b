#include "ui/controls/flat_cell_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionViewItem>

namespace velmaro::ui {

FlatCellColours flatCellColours(const QModelIndex& index, bool selected, const QColor& selectedColour,
                                const QColor& window) {
    const QVariant background = index.data(Qt::BackgroundRole);
    const QColor modelFill = background.canConvert<QColor>() ? background.value<QColor>() : window;
    if (selected) {
        const bool keep = background.canConvert<QColor>() && index.data(kFillOverSelectionRole).toBool();
        return {keep ? modelFill : selectedColour, QColor(Qt::black)};
    }
    const QVariant foreground = index.data(Qt::ForegroundRole);
    return {modelFill, foreground.canConvert<QColor>() ? foreground.value<QColor>() : QColor(Qt::black)};
}

void FlatCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    const FlatCellColours colours = flatCellColours(index, option.state.testFlag(QStyle::State_Selected), selected_,
                                                    option.palette.color(QPalette::Base));
    painter->fillRect(option.rect, colours.fill);
    painter->setPen(colours.ink);
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

void FlatHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid()) return;
    painter->save();
    painter->fillRect(rect, palette().color(QPalette::Base));
    // The lines the table draws between its cells.
    QStyleOptionViewItem option;
    option.initFrom(this);
    const int gridHint = style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this);
    painter->setPen(QColor::fromRgba(static_cast<QRgb>(gridHint)));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->setPen(Qt::black);
    painter->setFont(font());
    const QRect text = rect.adjusted(2, 0, -2, 0);
    painter->setClipRect(text);
    const QString title =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    painter->restore();
}

} // namespace velmaro::ui
