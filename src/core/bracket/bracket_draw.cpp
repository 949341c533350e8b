// Bracket layout, drawing, selection and printing. One procedure lays out (and, with
// a canvas, draws) one pair for the screen, the update's layout pass and the printer.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/bracket/final_bracket.h"

namespace velmaro {

namespace {

constexpr PaintColor kWinColor{192, 255, 189};
constexpr PaintColor kLoseColor{255, 189, 189};
constexpr PaintColor kSeedColor{128, 128, 128};
constexpr PaintColor kLoserLinkColor{0, 0, 255};

bool isDoubleType(std::int32_t type) { return type == BRACKET_DOUBLE || type == BRACKET_DOUBLE_FIXED; }

std::int32_t trunc32(double v) { return static_cast<std::int32_t>(v); }

std::int32_t middle(const PaintRect& r) { return r.top + (r.bottom - r.top) / 2; }

} // namespace

std::string bracketLaneTime(std::int32_t ms) {
    if (ms == 0) return {};
    const char sign = ms < 0 ? '-' : ' ';
    const long long a = ms < 0 ? -static_cast<long long>(ms) : ms;
    char buf[48];
    if (a < 60000)
        std::snprintf(buf, sizeof buf, "%c%02lld.%03lld", sign, a / 1000, a % 1000);
    else
        std::snprintf(buf, sizeof buf, "%c%lld:%02lld.%03lld", sign, a / 60000, (a / 1000) % 60, a % 1000);
    return buf;
}

void TFinalBracket::draw(PaintCanvas* canvas, const TRacerNames& names, double scale) {
    maxRight = 0;
    maxBottom = 0;
    racerList = names;
    auto pass = [&](PaintCanvas* c) {
        for (std::int32_t lower = 0; lower < 2; ++lower) {
            const auto& rounds = lower ? lowerRounds : upperRounds;
            for (std::int32_t r = 0; r < static_cast<std::int32_t>(rounds.size()); ++r) {
                if (!rounds[r]) continue;
                for (std::int32_t k = 0; k < rounds[r]->count; ++k) {
                    drawPair(c, r, k, names, lower, scale, 0, 0, true);
                    if (!c) {
                        const PaintRect& rect = rounds[r]->pairs[k]->rect;
                        if (rect.right > maxRight) maxRight = rect.right;
                        if (rect.bottom > maxBottom) maxBottom = rect.bottom;
                    }
                }
            }
        }
    };
    pass(nullptr);
    if (canvas) pass(canvas);
}

void TFinalBracket::drawPair(PaintCanvas* canvas, std::int32_t round, std::int32_t pairIndex, const TRacerNames& names,
                             std::int32_t lower, double s, std::int32_t offsetX, std::int32_t offsetY, bool screen) {
    TFinalRound* rd = lower ? lowerRound(round) : upperRound(round);
    if (!rd) return;
    TFinalPair* pair = rd->pair(pairIndex);
    if (!pair) return;

    const std::int32_t B = boxHeight;
    const std::int32_t W = boxWidth;
    const std::int32_t step = 3 * B;
    const std::int32_t cw = screen ? columnWidth : trunc32(columnWidth * 1.15);
    const std::int32_t n = upperRoundCount;
    const std::int32_t L = lowerRoundCount;

    std::int32_t x = cw * round + 16;
    std::int32_t y;
    if (lower) {
        y = upperHeight / 2 + step * pairIndex + (step - 2 * B) / 2;
    } else {
        y = (step - 2 * B) / 2 + step * pairIndex;
        if (!isDoubleType(type))
            if (TFinalRound* r0 = upperRound(0)) y += (r0->count - rd->count) * step / 2;
    }
    if (!lower) {
        if ((type == BRACKET_SINGLE_THIRD || type == BRACKET_FIA_THIRD || type == BRACKET_FIA_HANDICAP_THIRD) &&
            round == n - 1) {
            x -= cw;
            y += step;
        }
        if ((type == BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD || type == BRACKET_SINGLE_ALL_BEST_OF_3) && round >= n - 3) {
            x -= 3 * cw;
            y += step;
        }
    }
    if (isDoubleType(type) && L > 0) {
        if (lower)
            x += cw;
        else if (round == n - 2)
            x = (L + 1) * cw;
        else if (round == n - 1)
            x = (L + 2) * cw;
    }
    if (!screen) y += 2 * B;

    const std::int32_t X = trunc32(x * s) + offsetX;
    const std::int32_t Y = trunc32(y * s) + offsetY;
    const PaintRect box0{X, Y, trunc32(X + W * s), trunc32(Y + B * s)};
    const PaintRect box1{X, trunc32(Y + B * s - 1), trunc32(X + W * s), trunc32(Y + 2 * B * s)};
    const PaintRect num0{X, Y, trunc32(X + 32 * s), box0.bottom};
    const PaintRect num1{X, box1.top, trunc32(X + 32 * s), box1.bottom};
    pair->rect = PaintRect{X, Y, box0.right, box1.bottom};
    if (!canvas) return;

    PaintCanvas& c = *canvas;
    c.setPen(kBlack, 1);
    c.setBrush(kWhite);
    c.fillRect(pair->rect);
    const PaintColor color0 = pair->winner == 0 ? kWinColor : pair->winner == 1 ? kLoseColor : kWhite;
    const PaintColor color1 = pair->winner == 1 ? kWinColor : pair->winner == 0 ? kLoseColor : kWhite;
    c.setBrush(color0);
    c.rectangle(box0);
    c.rectangle(num0);
    c.setBrush(color1);
    c.rectangle(box1);
    c.rectangle(num1);
    c.setBrush(kWhite, true);

    const std::int32_t p = trunc32(4 * s);
    const std::int32_t q = trunc32(2 * s);
    const TDragRaceItem& run = pair->run;
    const bool anyTime = run.et[0] > 0 || run.et[1] > 0;
    for (int slot = 0; slot < 2; ++slot) {
        const TFinalRacer* racer = pair->racers[slot];
        if (!racer) continue;
        const PaintRect& box = slot ? box1 : box0;
        const PaintRect& num = slot ? num1 : num0;
        const int blank = c.textHeight(" ");
        if (racer->number > 0) {
            c.textRect(num, num.left + p, num.top + q, std::to_string(racer->number));
            if (pair->seedPos[slot] != 0) {
                c.setFontColor(kSeedColor);
                c.textRect(num, num.left + p, num.bottom - blank - p, std::to_string(pair->seedPos[slot]));
                c.setFontColor(kBlack);
            }
        }
        c.textRect(box, num.right + p, box.top + q, racerName(racer->number, names));
        std::string text;
        bool show = false;
        if (run.runId != 0) {
            const int lane = racer->number == run.racer[0] ? 0 : 1;
            text = !pair->comments[slot].empty()
                       ? pair->comments[slot]
                       : "ET:" + bracketLaneTime(run.et[lane]) + " ET+RT:" + bracketLaneTime(run.dirtyTime[lane]);
            if (run.foul[lane]) text += " FS!";
            if (run.breakout[lane]) text += " Br!";
            show = anyTime;
        } else if (!pair->comments[slot].empty()) {
            text = pair->comments[slot];
            show = true;
        }
        if (show) c.textRect(box, num.right + p, box.bottom - blank - p, text);
    }

    c.setPen(kBlack, 1);
    for (int slot = 0; slot < 2; ++slot) {
        const TFinalPair* src = pair->sourcePairs[slot];
        if (!src) continue;
        const PaintRect& num = slot ? num1 : num0;
        c.line(num.left, middle(num), src->rect.right - 1, (src->rect.top + src->rect.bottom) / 2 - 1);
    }
    if (const TFinalPair* lp = pair->loserPair) {
        const std::int32_t h = lp->rect.height();
        const std::int32_t slot = pair->loserSlot > 0 ? pair->loserSlot : 0;
        c.setPen(kLoserLinkColor, 1);
        c.line(pair->rect.right, middle(pair->rect), lp->rect.left, lp->rect.top + h / 2 * slot + h / 4);
        c.setPen(kBlack, 1);
    }
    if (screen && pair->selected) {
        c.setPen(kBlack, 5);
        c.setBrush(kWhite, true);
        const PaintRect& r = pair->rect;
        c.rectangle(PaintRect{r.left - 2, r.top - 2, r.right + 2, r.bottom + 2});
        c.setPen(kBlack, 1);
    }
}

std::optional<std::int32_t> TFinalBracket::selectAt(std::int32_t x, std::int32_t y) {
    std::optional<std::int32_t> runToSelect;
    auto select = [&](TFinalPair* p) {
        if (selectedPair) selectedPair->selected = 0;
        p->selected = 1;
        selectedPair = p;
    };
    for (const auto& round : upperRounds) {
        if (!round) continue;
        for (const auto& p : round->pairs) {
            if (!p->rect.contains(x, y)) continue;
            select(p.get());
            runToSelect = p->run.runId;
        }
    }
    for (const auto& round : lowerRounds) {
        if (!round) continue;
        for (const auto& p : round->pairs)
            if (p->rect.contains(x, y)) select(p.get());
    }
    return runToSelect;
}

Status TFinalBracket::print(PrintDevice& printer) {
    const std::int32_t mx = printer.pixelsPerInchX() / 2;
    const std::int32_t my = printer.pixelsPerInchY() / 2;
    printer.setLandscape(true);
    const std::int32_t printableWidth = printer.pageWidth() - 2 * mx;
    const std::int32_t printableHeight = printer.pageHeight() - 2 * my;
    if (printableWidth <= 0 || printableHeight <= 0) return Status::Error("Страница принтера слишком мала");
    double s = static_cast<double>(static_cast<float>(printableHeight) / static_cast<float>(boxHeight * 40));
    const TRacerNames names = racerList;

    // Forty box heights fill the page height. A bracket whose drawing is wider or taller
    // than that (a double-elimination bracket of 16, any bracket of 32 or 64) is scaled
    // down further so that it stays on its one page.
    std::int32_t extentRight = 0, extentBottom = 0;
    for (std::int32_t lower = 0; lower < 2; ++lower) {
        const auto& rounds = lower ? lowerRounds : upperRounds;
        for (std::int32_t r = 0; r < static_cast<std::int32_t>(rounds.size()); ++r) {
            if (!rounds[r]) continue;
            for (std::int32_t k = 0; k < rounds[r]->count; ++k) {
                drawPair(nullptr, r, k, names, lower, 1.0, 0, 0, false);
                extentRight = std::max(extentRight, rounds[r]->pairs[k]->rect.right);
                extentBottom = std::max(extentBottom, rounds[r]->pairs[k]->rect.bottom);
            }
        }
    }
    if (extentRight > 0 && extentRight * s > printableWidth) s = static_cast<double>(printableWidth) / extentRight;
    if (extentBottom > 0 && extentBottom * s > printableHeight) s = static_cast<double>(printableHeight) / extentBottom;

    auto pass = [&](PaintCanvas* c) {
        for (std::int32_t lower = 0; lower < 2; ++lower) {
            const auto& rounds = lower ? lowerRounds : upperRounds;
            for (std::int32_t r = 0; r < static_cast<std::int32_t>(rounds.size()); ++r) {
                if (!rounds[r]) continue;
                for (std::int32_t k = 0; k < rounds[r]->count; ++k) drawPair(c, r, k, names, lower, s, mx, my, false);
            }
        }
    };
    pass(nullptr);
    Status st = printer.beginDoc("Класс: " + title);
    if (!st.ok()) return st;
    PaintCanvas& c = printer.canvas();
    c.setFontSize(16);
    c.setFontColor(kBlack);
    c.textOut(mx + printableWidth / 2, my, "Класс: " + title);
    c.setFontPixelHeight(trunc32(11 * s));
    pass(&c);
    return printer.endDoc();
}

} // namespace velmaro
