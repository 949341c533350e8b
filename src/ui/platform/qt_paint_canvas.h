#pragma once
// The core drawing interface on a QPainter: a bitmap of a window, a printer or a PDF.
// The painter is not owned and must stay active while the canvas is used.
#include <QFont>
#include <QPainter>

#include "core/platform/paint_canvas.h"

namespace velmaro {

class QtPaintCanvas : public PaintCanvas {
public:
    explicit QtPaintCanvas(QPainter& painter);

    void setPen(PaintColor color, int width) override;
    void setBrush(PaintColor color, bool clear = false) override;
    void setFontSize(int points) override;
    void setFontPixelHeight(int pixels) override;
    void setFontColor(PaintColor color) override;
    void setFontBold(bool bold) override;

    void rectangle(const PaintRect& rect) override;
    void fillRect(const PaintRect& rect) override;
    void line(int x1, int y1, int x2, int y2) override;
    void textOut(int x, int y, const std::string& text) override;
    void textRect(const PaintRect& clip, int x, int y, const std::string& text) override;
    int textWidth(const std::string& text) override;
    int textHeight(const std::string& text) override;
    bool drawImage(const PaintRect& rect, const std::string& path) override;

    QPainter& painter() { return painter_; }

private:
    void applyPen();
    void applyFont();

    QPainter& painter_;
    QColor penColor_{Qt::black};
    int penWidth_ = 1;
    QColor brushColor_{Qt::white};
    bool brushClear_ = false;
    QColor fontColor_{Qt::black};
    QFont font_;
};

QColor toQColor(PaintColor color);

} // namespace velmaro
