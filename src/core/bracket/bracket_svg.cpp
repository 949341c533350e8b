// The bracket as one SVG text (the web service shows it) and the bracket JSON object.
// The document is built from the pair rectangles of the last layout, element by
// element, with no white space between elements.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/bracket/final_bracket.h"

namespace velmaro {

namespace {

const char* const kStylePieces[] = {
    "rect{",
    "stroke-width:1;",
    "stroke:#000000;",
    "fill:#ffffff;",
    "opacity:1;",
    "}",
    "rect.loose{",
    "fill:#ffbdbd;",
    "}",
    "rect.win{",
    "fill:#c0ffbd;",
    "}",
    "text{",
    "fill:#000000;",
    "font-family:tahoma,arial;",
    "}",
    "text.num{",
    "font-size:15px;",
    "}",
    "text.pos{",
    "font-size:12px;",
    "fill:#808080;",
    "text-anchor:end;",
    "}",
    "text.result{",
    "font-size:12px;",
    "}",
    "line{",
    "stroke-width:1;",
    "stroke:#000000;",
    "}",
    "line.loose{",
    "stroke:#0000ff;",
    "}",
};

// The SVG text written through a buffer on the stack: an element is a dozen small
// pieces, which go into the string a few hundred bytes at a time.
class SvgText {
public:
    explicit SvgText(std::string& out) : out_(out) {}
    ~SvgText() { flush(); }
    SvgText(const SvgText&) = delete;
    SvgText& operator=(const SvgText&) = delete;

    void put(std::string_view text) {
        if (used_ + text.size() > sizeof data_) {
            putLong(text);
            return;
        }
        std::memcpy(data_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    void put(std::int32_t value) {
        if (used_ + 11 > sizeof data_) flush();
        used_ = static_cast<std::size_t>(json_detail::writeInt32(data_ + used_, value) - data_);
    }
    void putChar(char ch) {
        if (used_ == sizeof data_) flush();
        data_[used_++] = ch;
    }
    // Appends the pieces in order: texts as they are, integers in decimal.
    template <class... Pieces>
    void append(const Pieces&... pieces) {
        (put(pieces), ...);
    }
    void flush() {
        out_.append(data_, used_);
        used_ = 0;
    }

private:
    void putLong(std::string_view text) {
        flush();
        if (text.size() > sizeof data_)
            out_ += text;
        else
            put(text);
    }

    std::string& out_;
    std::size_t used_ = 0;
    char data_[1024];
};

// The length of the first `maxChars` UTF-8 characters of `text` (the cut of utf8Left).
std::size_t utf8PrefixLength(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars) return i;
            ++chars;
        }
    }
    return text.size();
}

// Names and comments are typed by people: escaped after cutting, so a "<" or "&"
// in a name can neither break the document nor be cut in half.
void putXmlText(SvgText& out, std::string_view text, std::size_t maxChars) {
    for (char ch : text.substr(0, utf8PrefixLength(text, maxChars))) {
        switch (ch) {
        case '<': out.put("&lt;"); break;
        case '>': out.put("&gt;"); break;
        case '&': out.put("&amp;"); break;
        case '"': out.put("&quot;"); break;
        default:
            // Control characters are not allowed in XML 1.0 text.
            out.putChar(static_cast<unsigned char>(ch) < 0x20 && ch != '\t' ? ' ' : ch);
        }
    }
}

void openText(SvgText& out, const char* cls, std::int32_t x, std::int32_t y, bool blankBeforeClose = false) {
    out.append("<text class=\"", cls, "\" x=\"", x, "\" y=\"", y, blankBeforeClose ? "\" >" : "\">");
}

void appendText(SvgText& out, const char* cls, std::int32_t x, std::int32_t y, std::int32_t number) {
    openText(out, cls, x, y);
    out.append(number, "</text>");
}

// A name or result text, cut to `maxChars` characters and escaped.
void appendText(SvgText& out, const char* cls, std::int32_t x, std::int32_t y, std::string_view text,
                std::size_t maxChars, bool blankBeforeClose = false) {
    openText(out, cls, x, y, blankBeforeClose);
    putXmlText(out, text, maxChars);
    out.put("</text>");
}

// The result line of a slot into `text`: the comment when there is one, else the lane
// times of the racer in the pair's run (empty without them).
void resultText(const TFinalPair& p, int slot, std::string& text) {
    text.clear();
    if (!p.comments[slot].empty()) {
        text = p.comments[slot];
        return;
    }
    const TFinalRacer* racer = p.racers[slot];
    const TDragRaceItem& run = p.run;
    if (run.runId == 0 || !racer) return;
    if (racer->number == run.racer[0]) {
        text += "ET:";
        text += bracketLaneTime(run.et[0]);
        text += " ET+RT:";
        text += bracketLaneTime(run.dirtyTime[0]);
    } else if (racer->number == run.racer[1]) {
        text += "ET: ";
        text += bracketLaneTime(run.et[1]);
        text += " ET+RT:";
        text += bracketLaneTime(run.dirtyTime[1]);
    }
}

} // namespace

void TFinalBracket::makeSVG() {
    std::string out;
    out.reserve(std::max<std::size_t>(4096, svg.size() + 1024)); // about the size of the last one
    const std::int32_t W = maxRight + 16;
    const std::int32_t H = maxBottom + 16;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";
    out += "<svg preserveAspectRatio=\"xMinYMin\" xmlns=\"http://www.w3.org/2000/svg\"";
    SvgText(out).append(" version=\"1.1\" width=\"", W, "\" height=\"", H, "\" viewbox=\"0 0 ", W, " ", H, "\">");
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

void TFinalBracket::roundSVG(const TFinalRound& round, std::string& text) const {
    SvgText out(text);
    std::string result; // one slot's result line at a time
    for (const auto& pp : round.pairs) {
        if (!pp) continue;
        const TFinalPair& p = *pp;
        const std::int32_t L = p.rect.left, T = p.rect.top, R = p.rect.right, B = p.rect.bottom;
        const std::int32_t E = B - T;
        const char* cls0 = p.winner == 0 ? "win" : p.winner == 1 ? "loose" : "";
        const char* cls1 = p.winner == 0 ? "loose" : p.winner == 1 ? "win" : "";
        out.append("<rect x=\"", L, "\" y=\"", T, "\" width=\"", R - L, "\" height=\"", E / 2, "\" class=\"", cls0,
                   "\"/>");
        out.append("<rect x=\"", L, "\" y=\"", T + E / 2, "\" width=\"", R - L, "\" height=\"", E / 2, "\" class=\"",
                   cls1, "\"/>");
        out.append("<line x1=\"", L + E / 2, "\" y1=\"", T, "\" x2=\"", L + E / 2, "\" y2=\"", B, "\"/>");
        const bool hasRun = p.run.runId != 0;
        if (const TFinalRacer* a = p.racers[0]; a && a->number > 0) {
            appendText(out, "num", L + 4, T + E / 2 - 17, a->number);
            if (p.seedPos[0] != 0) appendText(out, "pos", L + E / 2 - 4, T + E / 2 - 4, p.seedPos[0]);
            appendText(out, "result", L + E / 2 + 4, T + E / 4 - 2, racerName(a->number, racerList), 21);
            if (hasRun || !p.comments[0].empty()) {
                resultText(p, 0, result);
                appendText(out, "result", L + E / 2 + 4, T + E / 2 - 4, result, 24);
            }
        }
        if (const TFinalRacer* b = p.racers[1]; b && b->number > 0) {
            appendText(out, "num", L + 4, T + E - 17, b->number);
            if (p.seedPos[1] != 0) appendText(out, "pos", L + E / 2 - 4, T + E - 4, p.seedPos[1]);
            appendText(out, "result", L + E / 2 + 4, T + 3 * E / 4 - 2, racerName(b->number, racerList), 24);
            if (hasRun || !p.comments[1].empty()) {
                resultText(p, 1, result);
                appendText(out, "result", L + E / 2 + 4, T + E - 4, result, 248, true);
            }
        }
        if (const TFinalPair* lp = p.loserPair) {
            const std::int32_t D = p.loserSlot != 0 ? E / 4 : -(E / 4);
            const std::int32_t le = lp->rect.bottom - lp->rect.top;
            out.append("<line x1=\"", R, "\" y1=\"", T + E / 2, "\" x2=\"", lp->rect.left, "\" y2=\"",
                       lp->rect.top + le / 2 + D, "\" class=\"loose\"/>");
        }
        for (int slot = 0; slot < 2; ++slot) {
            const TFinalPair* src = p.sourcePairs[slot];
            if (!src) continue;
            const std::int32_t se = src->rect.bottom - src->rect.top;
            out.append("<line x1=\"", L, "\" y1=\"", slot == 0 ? T + E / 4 : T + 3 * E / 4, "\" x2=\"", src->rect.right,
                       "\" y2=\"", src->rect.top + se / 2, "\"/>");
        }
    }
}

void TFinalBracket::fillJSON() {
    if (jsonMade_ && jsonClassId_ == classId && jsonTitle_ == title && jsonSvg_ == svg) return;
    jsonMade_ = true;
    jsonClassId_ = classId;
    jsonTitle_ = title;
    jsonSvg_ = svg;
    json = MyJSONObject{};
    json.add("classId", classId);
    json.add("className", title);
    json.add("bracketSVG", svg);
}

} // namespace velmaro
