// The bracket as one SVG text (the web service shows it) and the bracket JSON object.
// The document is built from the pair rectangles of the last layout, element by
// element, with no white space between elements.
#include <cstdio>

#include "core/bracket/final_bracket.h"
#include "core/platform/text_codec.h"

namespace velmaro {

namespace {

// Names and comments are typed by people: escaped after cutting, so a "<" or "&"
// in a name can neither break the document nor be cut in half.
std::string xmlText(const std::string& text, std::size_t maxChars) {
    const std::string cut = utf8Left(text, maxChars);
    std::string out;
    out.reserve(cut.size());
    for (char ch : cut) {
        switch (ch) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters are not allowed in XML 1.0 text.
            if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t') out += ' ';
            else out += ch;
        }
    }
    return out;
}

const char* const kStylePieces[] = {
    "rect{", "stroke-width:1;", "stroke:#000000;", "fill:#ffffff;", "opacity:1;", "}", "rect.loose{",
    "fill:#ffbdbd;", "}", "rect.win{", "fill:#c0ffbd;", "}", "text{", "fill:#000000;",
    "font-family:tahoma,arial;", "}", "text.num{", "font-size:15px;", "}", "text.pos{", "font-size:12px;",
    "fill:#808080;", "text-anchor:end;", "}", "text.result{", "font-size:12px;", "}", "line{",
    "stroke-width:1;", "stroke:#000000;", "}", "line.loose{", "stroke:#0000ff;", "}",
};

void appendf(std::string& out, const char* fmt, auto... args) {
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n > 0) out.append(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

void appendText(std::string& out, const char* cls, std::int32_t x, std::int32_t y, const std::string& escaped,
                bool blankBeforeClose = false) {
    appendf(out, "<text class=\"%s\" x=\"%d\" y=\"%d\"", cls, x, y);
    out += blankBeforeClose ? " >" : ">";
    out += escaped;
    out += "</text>";
}

std::string resultText(const TFinalPair& p, int slot) {
    const TFinalRacer* racer = p.racers[slot];
    std::string text;
    const TDragRaceItem& run = p.run;
    if (run.runId != 0 && racer) {
        if (racer->number == run.racer[0])
            text = "ET:" + bracketLaneTime(run.et[0]) + " ET+RT:" + bracketLaneTime(run.dirtyTime[0]);
        else if (racer->number == run.racer[1])
            text = "ET: " + bracketLaneTime(run.et[1]) + " ET+RT:" + bracketLaneTime(run.dirtyTime[1]);
    }
    if (!p.comments[slot].empty()) text = p.comments[slot];
    return text;
}

} // namespace

void TFinalBracket::makeSVG() {
    std::string out;
    out.reserve(4096);
    const std::int32_t W = maxRight + 16;
    const std::int32_t H = maxBottom + 16;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
    out += "<svg preserveAspectRatio=\"xMinYMin\" xmlns=\"http://www.w3.org/2000/svg\"";
    appendf(out, " version=\"1.1\" width=\"%d\" height=\"%d\" viewbox=\"%d %d %d %d\">", W, H, 0, 0, W, H);
    out += "<defs><style type=\"text/css\">";
    bool firstPiece = true;
    for (const char* piece : kStylePieces) {
        if (!firstPiece) out += '\t';
        out += piece;
        firstPiece = false;
    }
    out += "</style></defs>";
    for (const auto& round : upperRounds)
        if (round) roundSVG(*round, out);
    for (const auto& round : lowerRounds)
        if (round) roundSVG(*round, out);
    out += "</svg>";
    svg = std::move(out);
    fillJSON();
}

void TFinalBracket::roundSVG(const TFinalRound& round, std::string& out) const {
    for (const auto& pp : round.pairs) {
        if (!pp) continue;
        const TFinalPair& p = *pp;
        const std::int32_t L = p.rect.left, T = p.rect.top, R = p.rect.right, B = p.rect.bottom;
        const std::int32_t E = B - T;
        const char* cls0 = p.winner == 0 ? "win" : p.winner == 1 ? "loose" : "";
        const char* cls1 = p.winner == 0 ? "loose" : p.winner == 1 ? "win" : "";
        appendf(out, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" class=\"%s\"/>", L, T, R - L, E / 2, cls0);
        appendf(out, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" class=\"%s\"/>", L, T + E / 2, R - L, E / 2,
                cls1);
        appendf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>", L + E / 2, T, L + E / 2, B);
        const bool hasRun = p.run.runId != 0;
        if (const TFinalRacer* a = p.racers[0]; a && a->number > 0) {
            appendText(out, "num", L + 4, T + E / 2 - 17, std::to_string(a->number));
            if (p.seedPos[0] != 0) appendText(out, "pos", L + E / 2 - 4, T + E / 2 - 4, std::to_string(p.seedPos[0]));
            appendText(out, "result", L + E / 2 + 4, T + E / 4 - 2, xmlText(racerName(a->number, racerList), 21));
            if (hasRun || !p.comments[0].empty())
                appendText(out, "result", L + E / 2 + 4, T + E / 2 - 4, xmlText(resultText(p, 0), 24));
        }
        if (const TFinalRacer* b = p.racers[1]; b && b->number > 0) {
            appendText(out, "num", L + 4, T + E - 17, std::to_string(b->number));
            if (p.seedPos[1] != 0) appendText(out, "pos", L + E / 2 - 4, T + E - 4, std::to_string(p.seedPos[1]));
            appendText(out, "result", L + E / 2 + 4, T + 3 * E / 4 - 2, xmlText(racerName(b->number, racerList), 24));
            if (hasRun || !p.comments[1].empty())
                appendText(out, "result", L + E / 2 + 4, T + E - 4, xmlText(resultText(p, 1), 248), true);
        }
        if (const TFinalPair* lp = p.loserPair) {
            const std::int32_t D = p.loserSlot != 0 ? E / 4 : -(E / 4);
            const std::int32_t le = lp->rect.bottom - lp->rect.top;
            appendf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" class=\"loose\"/>", R, T + E / 2, lp->rect.left,
                    lp->rect.top + le / 2 + D);
        }
        for (int slot = 0; slot < 2; ++slot) {
            const TFinalPair* src = p.sourcePairs[slot];
            if (!src) continue;
            const std::int32_t se = src->rect.bottom - src->rect.top;
            appendf(out, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>", L, slot == 0 ? T + E / 4 : T + 3 * E / 4,
                    src->rect.right, src->rect.top + se / 2);
        }
    }
}

void TFinalBracket::fillJSON() {
    json = MyJSONObject{};
    json.add("classId", classId);
    json.add("className", title);
    json.add("bracketSVG", svg);
}

} // namespace velmaro
