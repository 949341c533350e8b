#include "ui/platform/qt_paint_canvas.h"

#include <QFontMetrics>
#include <QImage>

namespace velmaro {

QColor toQColor(PaintColor c) { return QColor(c.red, c.green, c.blue); }

QtPaintCanvas::QtPaintCanvas(QPainter& painter) : m_painter(painter), m_font(painter.font()) {
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    applyPen();
    applyFont();
}

void QtPaintCanvas::applyPen() {
    QPen pen(m_penColor);
    pen.setWidth(m_penWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    m_painter.setPen(pen);
}

void QtPaintCanvas::applyFont() { m_painter.setFont(m_font); }

void QtPaintCanvas::setPen(PaintColor color, int width) {
    m_penColor = toQColor(color);
    m_penWidth = width < 1 ? 1 : width;
    applyPen();
}

void QtPaintCanvas::setBrush(PaintColor color, bool clear) {
    m_brushColor = toQColor(color);
    m_brushClear = clear;
}

void QtPaintCanvas::setFontSize(int points) {
    if (points > 0) m_font.setPointSize(points);
    applyFont();
}

void QtPaintCanvas::setFontPixelHeight(int pixels) {
    if (pixels > 0) m_font.setPixelSize(pixels);
    applyFont();
}

void QtPaintCanvas::setFontColor(PaintColor color) { m_fontColor = toQColor(color); }

void QtPaintCanvas::setFontBold(bool bold) {
    m_font.setBold(bold);
    applyFont();
}

// Right and bottom are exclusive: the outline runs on left..right-1, top..bottom-1.
void QtPaintCanvas::rectangle(const PaintRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    const QRect inner(r.left, r.top, r.width(), r.height());
    if (!m_brushClear) m_painter.fillRect(inner, m_brushColor);
    applyPen();
    m_painter.setBrush(Qt::NoBrush);
    if (m_penWidth <= 1) {
        m_painter.drawRect(QRect(r.left, r.top, r.width() - 1, r.height() - 1));
    } else {
        // A wide pen is centred on the outline, as a classic device context draws it.
        const int half = m_penWidth / 2;
        m_painter.drawRect(QRect(r.left + half, r.top + half, r.width() - 1 - 2 * half, r.height() - 1 - 2 * half));
    }
}

void QtPaintCanvas::fillRect(const PaintRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    m_painter.fillRect(QRect(r.left, r.top, r.width(), r.height()), m_brushColor);
}

void QtPaintCanvas::line(int x1, int y1, int x2, int y2) {
    applyPen();
    m_painter.drawLine(x1, y1, x2, y2);
}

void QtPaintCanvas::textOut(int x, int y, const std::string& text) {
    m_painter.save();
    m_painter.setPen(m_fontColor);
    const QFontMetrics fm(m_font, m_painter.device());
    m_painter.drawText(QPoint(x, y + fm.ascent()), QString::fromStdString(text));
    m_painter.restore();
}

void QtPaintCanvas::textRect(const PaintRect& clip, int x, int y, const std::string& text) {
    if (text.empty()) return;
    m_painter.save();
    m_painter.setClipRect(QRect(clip.left, clip.top, clip.width(), clip.height()));
    m_painter.setPen(m_fontColor);
    const QFontMetrics fm(m_font, m_painter.device());
    m_painter.drawText(QPoint(x, y + fm.ascent()), QString::fromStdString(text));
    m_painter.restore();
}

int QtPaintCanvas::textWidth(const std::string& text) {
    const QFontMetrics fm(m_font, m_painter.device());
    return fm.horizontalAdvance(QString::fromStdString(text));
}

int QtPaintCanvas::textHeight(const std::string&) {
    const QFontMetrics fm(m_font, m_painter.device());
    return fm.height();
}

bool QtPaintCanvas::drawImage(const PaintRect& rect, const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path))) return false;
    m_painter.drawImage(QRect(rect.left, rect.top, rect.width(), rect.height()), image);
    return true;
}

} // namespace velmaro
