#pragma once
// Draws grid cells the way the console's grids look: the cell filled with its
// background (the model's BackgroundRole, else the window colour; a fixed grey across
// the selected row), the text in the model's ForegroundRole colour (black by default)
// at the cell's left and top edge, two pixels in, clipped to the cell. The title row
// (FlatHeaderView) is drawn the same way, in the window colour.
#include <QColor>
#include <QHeaderView>
#include <QStyledItemDelegate>

namespace velmaro::ui {

// A cell whose model answers true for this role keeps its BackgroundRole fill when it
// is selected (the run-mode colours of the results grid).
inline constexpr int kFillOverSelectionRole = Qt::UserRole + 0x100;

struct FlatCellColours {
    QColor fill;
    QColor ink;
    bool operator==(const FlatCellColours&) const = default;
};

// The colours of one cell. Unselected: the model's background (else `window`) and
// foreground (else black). Selected: `selected` with black text, the model's kinds
// left aside, unless the cell keeps its fill over the selection (then that fill, black text).
FlatCellColours flatCellColours(const QModelIndex& index, bool selected, const QColor& selectedColour,
                                const QColor& window);

class FlatCellDelegate : public QStyledItemDelegate {
public:
    explicit FlatCellDelegate(QColor selected, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), selected_(selected) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QColor selected_;
};

// The column titles of a flat grid: each title in the window colour with the grid's
// lines at its right and bottom edge, the text at the left and top edge, two pixels in,
// clipped to the title.
class FlatHeaderView : public QHeaderView {
public:
    explicit FlatHeaderView(QWidget* parent = nullptr) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace velmaro::ui
