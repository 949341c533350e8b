#pragma once
// Drawing and printing surfaces as core code sees them. Core code lays out and draws
// brackets, timeslips, start lists and receipts through these two interfaces; the
// window side (src/ui/platform) implements them with QPainter on a bitmap, a printer
// or a PDF file. Tests record the calls.
//
// Coordinates are integer device units (pixels on screen, printer dots on paper),
// x to the right, y downwards. A rectangle is left/top inclusive and right/bottom
// exclusive, as the classic raster APIs draw them: rectangle(0, 0, 10, 10) covers
// pixels 0..9 in both directions.
#include <cstdint>
#include <string>

#include "core/platform/status.h"

namespace velmaro {

struct PaintColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const PaintColor&) const = default;
};

inline constexpr PaintColor kBlack{0, 0, 0};
inline constexpr PaintColor kWhite{255, 255, 255};

struct PaintRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    // Left and top inclusive, right and bottom exclusive.
    bool contains(std::int32_t x, std::int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const PaintRect&) const = default;
};

// A drawing surface with a current pen, brush and font, like a classic device context.
// Texts are UTF-8. Not thread-safe: one thread draws on one canvas.
class PaintCanvas {
public:
    PaintCanvas() = default;
    virtual ~PaintCanvas() = default;
    PaintCanvas(const PaintCanvas&) = delete;
    PaintCanvas& operator=(const PaintCanvas&) = delete;

    virtual void setPen(PaintColor color, int width) = 0;
    // A solid brush of that colour; `clear` = no fill (texts drawn without background).
    virtual void setBrush(PaintColor color, bool clear = false) = 0;
    // Font size in points (positive), as a window's font is chosen.
    virtual void setFontSize(int points) = 0;
    // Character height in device units, as a negative font height sets it.
    virtual void setFontPixelHeight(int pixels) = 0;
    virtual void setFontColor(PaintColor color) = 0;
    virtual void setFontBold(bool bold) = 0;

    // Outline with the pen and fill with the brush (unless clear).
    virtual void rectangle(const PaintRect& rect) = 0;
    // Fill with the brush colour, no outline.
    virtual void fillRect(const PaintRect& rect) = 0;
    // A line from (x1, y1) to (x2, y2), the end point not drawn.
    virtual void line(int x1, int y1, int x2, int y2) = 0;
    // Text with its top-left corner at (x, y).
    virtual void textOut(int x, int y, const std::string& text) = 0;
    // Text at (x, y), clipped to `clip`.
    virtual void textRect(const PaintRect& clip, int x, int y, const std::string& text) = 0;
    virtual int textWidth(const std::string& text) = 0;
    virtual int textHeight(const std::string& text) = 0;
    // An image file (BMP, PNG) stretched into `rect`; false when it cannot be read.
    virtual bool drawImage(const PaintRect& rect, const std::string& path) = 0;
};

// One print job on one device. The window side opens it on the default printer, the
// first "POS" printer, or a PDF file when no printer is installed.
//
// Order of use: setLandscape (optional), read the page metrics, beginDoc, draw on
// canvas(), newPage as needed, endDoc. A failure of the device is reported by
// beginDoc/endDoc; the caller decides what the operator is told.
class PrintDevice {
public:
    PrintDevice() = default;
    virtual ~PrintDevice() = default;
    PrintDevice(const PrintDevice&) = delete;
    PrintDevice& operator=(const PrintDevice&) = delete;

    virtual void setLandscape(bool landscape) = 0;
    virtual int pixelsPerInchX() const = 0;
    virtual int pixelsPerInchY() const = 0;
    // Physical page size in device units, in the current orientation.
    virtual int pageWidth() const = 0;
    virtual int pageHeight() const = 0;
    virtual Status beginDoc(const std::string& title) = 0;
    // Valid between beginDoc and endDoc.
    virtual PaintCanvas& canvas() = 0;
    virtual Status newPage() = 0;
    virtual Status endDoc() = 0;
};

} // namespace velmaro
