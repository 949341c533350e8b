#pragma once
// A print device that records what is drawn on it, with a fixed-pitch font: every
// character is 10 dots wide (`charWidth`), a line is twice the point size high. Used by
// the receipt tests (timeslips, lap receipts) to check the layout to the dot.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/paint_canvas.h"

namespace velmaro::test {

// Number of characters (code points) in a UTF-8 text.
inline std::size_t utf8Length(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

struct DrawnText {
    int x = 0;
    int y = 0;
    std::string text;
    int points = 0;
    bool operator==(const DrawnText&) const = default;
    friend void PrintTo(const DrawnText& t, std::ostream* os) {
        *os << "{" << t.x << ", " << t.y << ", \"" << t.text << "\", " << t.points << "}";
    }
};

class RecordingCanvas : public PaintCanvas {
public:
    int charWidth = 10;
    int points = 10;
    std::vector<DrawnText> texts;
    std::vector<std::pair<PaintRect, std::string>> images;

    void setPen(PaintColor, int) override {}
    void setBrush(PaintColor, bool) override {}
    void setFontSize(int p) override { points = p; }
    void setFontPixelHeight(int pixels) override { points = pixels / 2; }
    void setFontColor(PaintColor) override {}
    void setFontBold(bool) override {}
    void rectangle(const PaintRect&) override {}
    void fillRect(const PaintRect&) override {}
    void line(int, int, int, int) override {}
    void textOut(int x, int y, const std::string& text) override { texts.push_back({x, y, text, points}); }
    void textRect(const PaintRect&, int x, int y, const std::string& text) override { textOut(x, y, text); }
    int textWidth(const std::string& text) override { return charWidth * static_cast<int>(utf8Length(text)); }
    int textHeight(const std::string&) override { return 2 * points; }
    bool drawImage(const PaintRect& rect, const std::string& path) override {
        images.emplace_back(rect, path);
        return true;
    }
};

class RecordingPrintDevice : public PrintDevice {
public:
    explicit RecordingPrintDevice(int width = 576) : width_(width) {}
    RecordingCanvas canvasRecord;
    int documents = 0;
    bool open = false;
    bool landscape = true;

    void setLandscape(bool l) override { landscape = l; }
    int pixelsPerInchX() const override { return 203; }
    int pixelsPerInchY() const override { return 203; }
    int pageWidth() const override { return width_; }
    int pageHeight() const override { return 3000; }
    Status beginDoc(const std::string&) override {
        open = true;
        return Status::Ok();
    }
    PaintCanvas& canvas() override { return canvasRecord; }
    Status newPage() override { return Status::Ok(); }
    Status endDoc() override {
        open = false;
        ++documents;
        return Status::Ok();
    }

    // The texts drawn at height y, left to right.
    std::vector<DrawnText> row(int y) const {
        std::vector<DrawnText> out;
        for (const DrawnText& t : canvasRecord.texts)
            if (t.y == y) out.push_back(t);
        return out;
    }

private:
    int width_;
};

} // namespace velmaro::test
