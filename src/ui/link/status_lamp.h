#pragma once
// A small round lamp of the status display (node link and sync lamps, sensor lamps,
// the start light tree, the start signal lamp). It repaints only when its colour changes.
#include <QColor>
#include <QWidget>

namespace velmaro::ui {

class StatusLamp : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Circle, Square };

    explicit StatusLamp(const QColor& color, int diameter = 12, QWidget* parent = nullptr, Shape shape = Shape::Circle);

    QColor color() const { return color_; }
    // Repaints only when `color` differs from the colour shown.
    void setColor(const QColor& color);
    // How many times the colour actually changed (a repaint was asked for).
    int colorChanges() const { return changes_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
    int diameter_;
    Shape shape_;
    int changes_ = 0;
};

// The colours of the status display.
namespace lamp {
inline const QColor kOff{0xFF, 0x00, 0x00};       // red: link, sync and sensor lamps off
inline const QColor kOn{0x00, 0xC0, 0x00};        // green: on
inline const QColor kTreeOff{0x40, 0x40, 0x40};   // dark grey: start light tree lamp off
inline const QColor kTreeWhite{0xFF, 0xFF, 0xFF}; // pre-stage and stage on
inline const QColor kTreeAmber{0xFF, 0xFF, 0x00}; // amber on
inline const QColor kTreeGreen{0x00, 0x80, 0x00}; // green on (dark green)
inline const QColor kTreeRed{0xFF, 0x00, 0x00};   // red on (pure red)
} // namespace lamp

} // namespace velmaro::ui
