#include "ui/link/status_lamp.h"

#include <QPainter>

namespace velmaro::ui {

StatusLamp::StatusLamp(const QColor& color, int diameter, QWidget* parent, Shape shape)
    : QWidget(parent), color_(color), diameter_(diameter), shape_(shape) {
    setFixedSize(diameter_ + 2, diameter_ + 2);
}

void StatusLamp::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    ++changes_;
    update();
}

QSize StatusLamp::sizeHint() const { return {diameter_ + 2, diameter_ + 2}; }

void StatusLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(color_);
    const QRectF r(1, 1, diameter_, diameter_);
    if (shape_ == Shape::Circle)
        p.drawEllipse(r);
    else
        p.drawRect(r);
}

} // namespace velmaro::ui
