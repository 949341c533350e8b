#pragma once
// A canvas that records what a drawing asks of it (fixed metrics: every character 7
// wide, every line 13 high), and a print device with such a canvas that records its
// page breaks as "newPage" calls.
#include <string>
#include <vector>

#include "core/platform/paint_canvas.h"

namespace velmaro::test {

// Records what a drawing asks of its canvas.
class RecordingCanvas : public PaintCanvas {
public:
    struct Call {
        std::string op;
        PaintRect rect;
        PaintColor brush;
        PaintColor pen;
        int penWidth = 1;
        std::string text;
        int x = 0, y = 0;
    };
    std::vector<Call> calls;
    PaintColor pen, brush = kWhite, font;
    int penWidth = 1;
    int fontPixels = 0;

    void setPen(PaintColor c, int w) override { pen = c, penWidth = w; }
    void setBrush(PaintColor c, bool) override { brush = c; }
    void setFontSize(int) override {}
    void setFontPixelHeight(int px) override { fontPixels = px; }
    void setFontColor(PaintColor c) override { font = c; }
    void setFontBold(bool) override {}
    void rectangle(const PaintRect& r) override { calls.push_back({"rect", r, brush, pen, penWidth, {}, 0, 0}); }
    void fillRect(const PaintRect& r) override { calls.push_back({"fill", r, brush, pen, penWidth, {}, 0, 0}); }
    void line(int x1, int y1, int x2, int y2) override {
        calls.push_back({"line", PaintRect{x1, y1, x2, y2}, brush, pen, penWidth, {}, 0, 0});
    }
    void textOut(int x, int y, const std::string& t) override {
        calls.push_back({"textOut", {}, brush, font, 0, t, x, y});
    }
    void textRect(const PaintRect& clip, int x, int y, const std::string& t) override {
        calls.push_back({"text", clip, brush, font, 0, t, x, y});
    }
    int textWidth(const std::string& t) override { return static_cast<int>(t.size()) * 7; }
    int textHeight(const std::string&) override { return 13; }
    bool drawImage(const PaintRect&, const std::string&) override { return true; }

    std::vector<Call> named(const std::string& op) const {
        std::vector<Call> out;
        for (const auto& c : calls)
            if (c.op == op) out.push_back(c);
        return out;
    }
};

class RecordingPrinter : public PrintDevice {
public:
    RecordingPrinter(int width, int height) : width_(width), height_(height) {}
    RecordingCanvas recorded;
    bool begun = false, ended = false, landscape = false;
    int pages = 1;

    void setLandscape(bool on) override { landscape = on; }
    int pixelsPerInchX() const override { return 203; }
    int pixelsPerInchY() const override { return 203; }
    int pageWidth() const override { return width_; }
    int pageHeight() const override { return height_; }
    Status beginDoc(const std::string&) override {
        begun = true;
        return Status::Ok();
    }
    PaintCanvas& canvas() override { return recorded; }
    Status newPage() override {
        ++pages;
        recorded.calls.push_back({"newPage", {}, {}, {}, 0, {}, 0, 0});
        return Status::Ok();
    }
    Status endDoc() override {
        ended = true;
        return Status::Ok();
    }

private:
    int width_, height_;
};

} // namespace velmaro::test
