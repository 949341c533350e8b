#pragma once
// Helpers of the bracket tests: runs and a recording canvas (the bracket player is in
// fakes/bracket_player.h).
#include <functional>
#include <string>
#include <vector>

#include "core/bracket/final_bracket.h"
#include "fakes/bracket_player.h"

namespace velmaro::test {

inline TDragRaceItem makeRun(std::int32_t id, std::int32_t left, std::int32_t right, std::int32_t winnerLane,
                             std::int32_t etLeft = 0, std::int32_t etRight = 0, std::int32_t dirtyLeft = 0,
                             std::int32_t dirtyRight = 0) {
    TDragRaceItem run;
    run.runId = id;
    run.runMode = 1;
    run.racer = {left, right};
    run.winner = winnerLane;
    run.et = {etLeft, etRight};
    run.dirtyTime = {dirtyLeft, dirtyRight};
    return run;
}

// Gives racers 1..count to slots 0..count-1 of class 7.
inline void fillRacers(TFinalBracket& b, int count) {
    for (int i = 0; i < count; ++i) b.setRacer(i + 1, 7, i);
}

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

} // namespace velmaro::test
