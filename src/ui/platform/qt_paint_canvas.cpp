#include "ui/platform/qt_paint_canvas.h"

#include <QFontMetrics>
#include <QImage>

namespace velmaro {

QColor toQColor(PaintColor c) { return QColor(c.red, c.green, c.blue); }

QtPaintCanvas::QtPaintCanvas(QPainter& painter) : painter_(painter), font_(painter.font()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    applyPen();
    applyFont();
}

void QtPaintCanvas::applyPen() {
    QPen pen(penColor_);
    pen.setWidth(penWidth_);
    pen.setJoinStyle(Qt::MiterJoin);
    painter_.setPen(pen);
}

void QtPaintCanvas::applyFont() { painter_.setFont(font_); }

void QtPaintCanvas::setPen(PaintColor color, int width) {
    penColor_ = toQColor(color);
    penWidth_ = width < 1 ? 1 : width;
    applyPen();
}

void QtPaintCanvas::setBrush(PaintColor color, bool clear) {
    brushColor_ = toQColor(color);
    brushClear_ = clear;
}

void QtPaintCanvas::setFontSize(int points) {
    if (points > 0) font_.setPointSize(points);
    applyFont();
}

void QtPaintCanvas::setFontPixelHeight(int pixels) {
    if (pixels > 0) font_.setPixelSize(pixels);
    applyFont();
}

void QtPaintCanvas::setFontColor(PaintColor color) { fontColor_ = toQColor(color); }

void QtPaintCanvas::setFontBold(bool bold) {
    font_.setBold(bold);
    applyFont();
}

// Right and bottom are exclusive: the outline runs on left..right-1, top..bottom-1.
void QtPaintCanvas::rectangle(const PaintRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    const QRect inner(r.left, r.top, r.width(), r.height());
    if (!brushClear_) painter_.fillRect(inner, brushColor_);
    applyPen();
    painter_.setBrush(Qt::NoBrush);
    if (penWidth_ <= 1) {
        painter_.drawRect(QRect(r.left, r.top, r.width() - 1, r.height() - 1));
    } else {
        // A wide pen is centred on the outline, as a classic device context draws it.
        const int half = penWidth_ / 2;
        painter_.drawRect(QRect(r.left + half, r.top + half, r.width() - 1 - 2 * half, r.height() - 1 - 2 * half));
    }
}

void QtPaintCanvas::fillRect(const PaintRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    painter_.fillRect(QRect(r.left, r.top, r.width(), r.height()), brushColor_);
}

void QtPaintCanvas::line(int x1, int y1, int x2, int y2) {
    applyPen();
    painter_.drawLine(x1, y1, x2, y2);
}

void QtPaintCanvas::textOut(int x, int y, const std::string& text) {
    painter_.save();
    painter_.setPen(fontColor_);
    const QFontMetrics fm(font_, painter_.device());
    painter_.drawText(QPoint(x, y + fm.ascent()), QString::fromStdString(text));
    painter_.restore();
}

void QtPaintCanvas::textRect(const PaintRect& clip, int x, int y, const std::string& text) {
    if (text.empty()) return;
    painter_.save();
    painter_.setClipRect(QRect(clip.left, clip.top, clip.width(), clip.height()));
    painter_.setPen(fontColor_);
    const QFontMetrics fm(font_, painter_.device());
    painter_.drawText(QPoint(x, y + fm.ascent()), QString::fromStdString(text));
    painter_.restore();
}

int QtPaintCanvas::textWidth(const std::string& text) {
    const QFontMetrics fm(font_, painter_.device());
    return fm.horizontalAdvance(QString::fromStdString(text));
}

int QtPaintCanvas::textHeight(const std::string&) {
    const QFontMetrics fm(font_, painter_.device());
    return fm.height();
}

bool QtPaintCanvas::drawImage(const PaintRect& rect, const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path))) return false;
    painter_.drawImage(QRect(rect.left, rect.top, rect.width(), rect.height()), image);
    return true;
}

} // namespace velmaro
