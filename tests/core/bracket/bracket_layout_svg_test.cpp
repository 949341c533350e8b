// Bracket layout rectangles, drawing, selection, printing metrics, SVG and JSON.
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

#include "bracket_test_util.h"
#include "core/bracket/final_bracket.h"

namespace velmaro {
namespace {

using test::fillRacers;
using test::makeRun;
using test::RecordingCanvas;

TFinalPair* U(const TFinalBracket& b, int r, int k) { return b.upperRound(r)->pair(k); }
TFinalPair* Lo(const TFinalBracket& b, int j, int k) { return b.lowerRound(j)->pair(k); }

const TRacerNames kNames = [](std::int32_t n) -> std::string {
    switch (n) {
    case 1: return "Иванов";
    case 2: return "Петров";
    case 3: return "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"; // 30 characters
    case 4: return "Tom & <Jerry>";
    default: return "";
    }
};

TEST(BracketLayout, SingleEliminationOfEight) {
    TFinalBracket b(8, 0, 7, 8, "");
    b.draw(nullptr, kNames, 1.0);
    const int ys0[] = {17, 119, 221, 323};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(U(b, 0, k)->rect, (PaintRect{16, ys0[k], 216, ys0[k] + 68}));
    EXPECT_EQ(U(b, 1, 0)->rect, (PaintRect{280, 119, 480, 187}));
    EXPECT_EQ(U(b, 1, 1)->rect.top, 221);
    EXPECT_EQ(U(b, 2, 0)->rect, (PaintRect{544, 170, 744, 238}));
    EXPECT_EQ(b.maxRight, 744);
    EXPECT_EQ(b.maxBottom, 391);
}

TEST(BracketLayout, ThirdPlaceAndDoubleElimination) {
    TFinalBracket t(8, 7, 7, 8, "");
    t.draw(nullptr, {}, 1.0);
    EXPECT_EQ(U(t, 3, 0)->rect.left, U(t, 2, 0)->rect.left);
    EXPECT_EQ(U(t, 3, 0)->rect.top, U(t, 2, 0)->rect.top + 102);

    TFinalBracket s(4, 3, 7, 4, ""); // third-place series three columns left, one step down
    s.draw(nullptr, {}, 1.0);
    EXPECT_EQ(U(s, 4, 0)->rect.left, U(s, 1, 0)->rect.left);
    EXPECT_EQ(U(s, 4, 0)->rect.top, U(s, 1, 0)->rect.top + 102);

    TFinalBracket d(8, 4, 7, 8, "");
    d.draw(nullptr, {}, 1.0);
    EXPECT_EQ(U(d, 0, 3)->rect.top, 17 + 3 * 102); // upper rounds are not centred
    EXPECT_EQ(U(d, 1, 1)->rect.top, 119);
    EXPECT_EQ(U(d, 3, 0)->rect.left, 5 * 264); // grand final: (L + 1) columns, no margin
    EXPECT_EQ(Lo(d, 0, 0)->rect, (PaintRect{280, 221, 480, 289}));
    EXPECT_EQ(Lo(d, 3, 0)->rect.left, 16 + 4 * 264);
    EXPECT_EQ(d.maxBottom, 221 + 102 + 68);
}

TEST(BracketDraw, ColoursTextsAndLinks) {
    TFinalBracket b(2, 0, 7, 2, "");
    fillRacers(b, 2);
    TDragRunMap runs;
    U(b, 0, 0)->run.runId = 3;
    // Racer 1 (slot 0) drove the right lane; racer 2 on the left lane won.
    runs[3] = makeRun(3, 2, 1, 0, 12345, 13000, 12845, 13500);
    runs[3].foul = {0, 1};
    U(b, 0, 0)->comments[0] = "снят";
    b.update(runs, kNames);
    RecordingCanvas c;
    b.draw(&c, kNames, 1.0);
    auto rects = c.named("rect");
    ASSERT_EQ(rects.size(), 4u);
    const PaintColor win{192, 255, 189}, lose{255, 189, 189};
    EXPECT_EQ(rects[0].brush, lose); // box 0
    EXPECT_EQ(rects[1].brush, lose); // number box 0
    EXPECT_EQ(rects[2].brush, win);
    EXPECT_EQ(rects[0].rect, (PaintRect{16, 17, 216, 51}));
    EXPECT_EQ(rects[2].rect, (PaintRect{16, 50, 216, 85})); // shares a border line with box 0
    EXPECT_EQ(rects[3].rect, (PaintRect{16, 50, 48, 85}));
    std::vector<std::string> texts;
    for (const auto& t : c.named("text")) texts.push_back(t.text);
    // The comment shows in slot 0 (with the right lane's flag); slot 1 shows its lane.
    EXPECT_EQ(texts, (std::vector<std::string>{"1", "1", "Иванов", "снят FS!", "2", "2", "Петров",
                                               "ET: 12.345 ET+RT: 12.845"}));

    // Without any elapsed time above 0 no result text and no comment is drawn.
    runs[3].et = {0, 0};
    b.update(runs, kNames);
    RecordingCanvas c2;
    b.draw(&c2, kNames, 1.0);
    EXPECT_EQ(c2.named("text").size(), 6u);

    // Without a run the comment shows alone.
    runs.erase(3);
    b.update(runs, kNames);
    RecordingCanvas c3;
    b.draw(&c3, kNames, 1.0);
    EXPECT_EQ(c3.named("text")[3].text, "снят");
}

TEST(BracketDraw, EmptyAndWaitingSlotsHaveNoNumberOrName) {
    TFinalBracket b(4, 1, 7, 3, "");
    fillRacers(b, 3);
    b.update({}, kNames);
    RecordingCanvas c;
    b.draw(&c, kNames, 1.0);
    for (const auto& t : c.named("text")) {
        EXPECT_NE(t.text, "0");
        EXPECT_NE(t.text, "-1");
    }
    // The semifinal's loser link to the race for 3rd place is blue.
    bool blue = false;
    for (const auto& l : c.named("line")) blue = blue || l.pen == PaintColor{0, 0, 255};
    EXPECT_TRUE(blue);
}

TEST(BracketSelect, HitsAndBorders) {
    TFinalBracket b(8, 4, 7, 8, "");
    b.draw(nullptr, {}, 1.0);
    U(b, 0, 1)->run.runId = 9;
    EXPECT_EQ(b.selectAt(16, 119), std::optional<std::int32_t>(9));
    EXPECT_EQ(b.selectedPair, U(b, 0, 1));
    EXPECT_EQ(U(b, 0, 1)->selected, 1);
    // Right and bottom edges are outside: nothing changes.
    EXPECT_EQ(b.selectAt(216, 130), std::nullopt);
    EXPECT_EQ(b.selectAt(100, 187), std::nullopt);
    EXPECT_EQ(b.selectedPair, U(b, 0, 1));
    // A lower pair is selected without touching the selected run.
    EXPECT_EQ(b.selectAt(300, 230), std::nullopt);
    EXPECT_EQ(b.selectedPair, Lo(b, 0, 0));
    EXPECT_EQ(U(b, 0, 1)->selected, 0);
    // An upper pair without run selects run 0 (clears the run selection).
    EXPECT_EQ(b.selectAt(20, 20), std::optional<std::int32_t>(0));
}

class FakePrinter : public PrintDevice {
public:
    bool landscape = false;
    int begun = 0, ended = 0;
    RecordingCanvas rec;
    void setLandscape(bool l) override { landscape = l; }
    int pixelsPerInchX() const override { return 600; }
    int pixelsPerInchY() const override { return 600; }
    int pageWidth() const override { return landscape ? 7016 : 4961; }
    int pageHeight() const override { return landscape ? 4961 : 7016; }
    Status beginDoc(const std::string&) override { return ++begun, Status::Ok(); }
    PaintCanvas& canvas() override { return rec; }
    Status newPage() override { return Status::Ok(); }
    Status endDoc() override { return ++ended, Status::Ok(); }
};

TEST(BracketPrint, OneLandscapePageScaledToFortyBoxes) {
    TFinalBracket b(8, 0, 7, 8, "Спорт");
    b.draw(nullptr, {}, 1.0);
    FakePrinter printer;
    ASSERT_TRUE(b.print(printer).ok());
    EXPECT_TRUE(printer.landscape);
    EXPECT_EQ(printer.begun, 1);
    EXPECT_EQ(printer.ended, 1);
    EXPECT_EQ(printer.rec.fontPixels, 35);
    const auto titles = printer.rec.named("textOut");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].text, "Класс: Спорт");
    EXPECT_EQ(titles[0].x, 300 + (7016 - 600) / 2);
    EXPECT_EQ(titles[0].y, 300);
    const PaintRect r0 = U(b, 0, 0)->rect;
    EXPECT_NEAR(r0.height(), 218, 1);
    EXPECT_NEAR(U(b, 1, 0)->rect.left - r0.left, 971, 1);
    EXPECT_EQ(r0.left, 300 + static_cast<int>(16 * 4361.0f / 1360.0f));
    EXPECT_EQ(b.columnWidth, 264);
    EXPECT_EQ(b.maxRight, 744); // printing leaves the screen extent alone
}

// --- SVG ---------------------------------------------------------------------------

const std::string kStyle =
    "rect{\tstroke-width:1;\tstroke:#000000;\tfill:#ffffff;\topacity:1;\t}\trect.loose{\tfill:#ffbdbd;\t}\t"
    "rect.win{\tfill:#c0ffbd;\t}\ttext{\tfill:#000000;\tfont-family:tahoma,arial;\t}\ttext.num{\tfont-size:15px;"
    "\t}\ttext.pos{\tfont-size:12px;\tfill:#808080;\ttext-anchor:end;\t}\ttext.result{\tfont-size:12px;\t}\tline{"
    "\tstroke-width:1;\tstroke:#000000;\t}\tline.loose{\tstroke:#0000ff;\t}";

TEST(BracketSvg, EmptyBracketOfTwo) {
    ASSERT_EQ(kStyle.size(), 354u);
    TFinalBracket b(2, 0, 7, 0, "");
    b.update({});
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><svg preserveAspectRatio=\"xMinYMin\" "
        "xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"232\" height=\"101\" "
        "viewbox=\"0 0 232 101\"><defs><style type=\"text/css\">" +
        kStyle +
        "</style></defs><rect x=\"16\" y=\"17\" width=\"200\" height=\"34\" class=\"\"/><rect x=\"16\" y=\"51\" "
        "width=\"200\" height=\"34\" class=\"\"/><line x1=\"50\" y1=\"17\" x2=\"50\" y2=\"85\"/></svg>";
    EXPECT_EQ(b.svg, expected);
}

TEST(BracketSvg, PairWithRunCommentsAndLinks) {
    TFinalBracket b(4, 0, 7, 4, "");
    fillRacers(b, 4);
    TDragRunMap runs;
    // Pair 0: racer 1 (slot 0) on the right lane, racer 4 on the left; the right lane won.
    U(b, 0, 0)->run.runId = 5;
    runs[5] = makeRun(5, 4, 1, 1, 5432, 61234, -250, 61734);
    b.update(runs, kNames);
    std::string pair0;
    b.roundSVG(*b.upperRound(0), pair0);
    pair0 = pair0.substr(0, pair0.find("<rect x=\"16\" y=\"119\"")); // the first pair only
    const std::string expected = "<rect x=\"16\" y=\"17\" width=\"200\" height=\"34\" class=\"win\"/>"
                                 "<rect x=\"16\" y=\"51\" width=\"200\" height=\"34\" class=\"loose\"/>"
                                 "<line x1=\"50\" y1=\"17\" x2=\"50\" y2=\"85\"/>"
                                 "<text class=\"num\" x=\"20\" y=\"34\">1</text>"
                                 "<text class=\"pos\" x=\"46\" y=\"47\">1</text>"
                                 "<text class=\"result\" x=\"54\" y=\"32\">Иванов</text>"
                                 "<text class=\"result\" x=\"54\" y=\"47\">ET:  1:01.234 ET+RT: 1:0</text>" // cut to 24
                                 "<text class=\"num\" x=\"20\" y=\"68\">4</text>"
                                 "<text class=\"pos\" x=\"46\" y=\"81\">4</text>"
                                 "<text class=\"result\" x=\"54\" y=\"66\">Tom &amp; &lt;Jerry&gt;</text>"
                                 "<text class=\"result\" x=\"54\" y=\"81\" >ET: 05.432 ET+RT:-00.250</text>";
    EXPECT_EQ(pair0, expected);
    // The final's source links from both semifinals.
    std::string final;
    b.roundSVG(*b.upperRound(1), final);
    EXPECT_NE(final.find("<line x1=\"280\" y1=\"85\" x2=\"216\" y2=\"51\"/>"), std::string::npos) << final;
    EXPECT_NE(final.find("<line x1=\"280\" y1=\"119\" x2=\"216\" y2=\"153\"/>"), std::string::npos) << final;
}

TEST(BracketSvg, CuttingCommentsAndLoserLinks) {
    TFinalBracket b(4, 1, 7, 4, "");
    b.setRacer(3, 7, 0); // 30-character name in slot 0 of pair 0
    b.setRacer(2, 7, 3);
    b.setRacer(1, 7, 2);
    b.setRacer(4, 7, 1);
    const std::string c30 = "abcdefghijklmnopqrstuvwxyz0123";
    U(b, 0, 0)->comments[0] = c30;
    U(b, 0, 0)->comments[1] = c30;
    b.update({}, kNames);
    std::string s;
    b.roundSVG(*b.upperRound(0), s);
    EXPECT_NE(s.find(">ABCDEFGHIJKLMNOPQRSTU</text>"), std::string::npos);    // 21 in slot 0
    EXPECT_NE(s.find(">abcdefghijklmnopqrstuvwx</text>"), std::string::npos); // 24 in slot 0
    EXPECT_NE(s.find(" >" + c30 + "</text>"), std::string::npos);             // whole in slot 1
    // Semifinal pair 1 sends its loser to slot 1 of the race for 3rd place.
    const PaintRect third = U(b, 2, 0)->rect;
    const PaintRect semi = U(b, 0, 1)->rect;
    const std::string link = "<line x1=\"" + std::to_string(semi.right) + "\" y1=\"" + std::to_string(semi.top + 34) +
                             "\" x2=\"" + std::to_string(third.left) + "\" y2=\"" +
                             std::to_string(third.top + 34 + 17) + "\" class=\"loose\"/>";
    EXPECT_NE(s.find(link), std::string::npos) << s;

    // Slot 1 with a 30-character name keeps 24 of them.
    TFinalBracket t(2, 0, 7, 2, "");
    t.setRacer(1, 7, 0);
    t.setRacer(3, 7, 1);
    t.update({}, kNames);
    EXPECT_NE(t.svg.find(">ABCDEFGHIJKLMNOPQRSTUVWX</text>"), std::string::npos);
}

TEST(BracketSvg, SizeFromLayoutExtent) {
    TFinalBracket b(2, 0, 7, 0, "");
    b.maxRight = 800;
    b.maxBottom = 500;
    b.makeSVG();
    EXPECT_NE(b.svg.find("width=\"816\" height=\"516\" viewbox=\"0 0 816 516\">"), std::string::npos);
}

TEST(BracketSvg, LaneTimeTexts) {
    EXPECT_EQ(bracketLaneTime(0), "");
    EXPECT_EQ(bracketLaneTime(61234), " 1:01.234");
    EXPECT_EQ(bracketLaneTime(5432), " 05.432");
    EXPECT_EQ(bracketLaneTime(-250), "-00.250");
}

// A small XML well-formedness check: balanced tags, quoted attributes, no raw "<" or
// "&" in text, entities known.
bool wellFormed(const std::string& doc, std::string& why) {
    std::vector<std::string> stack;
    std::size_t i = 0;
    if (doc.rfind("<?xml", 0) == 0) i = doc.find("?>") + 2;
    bool root = false;
    while (i < doc.size()) {
        if (doc[i] == '<') {
            std::size_t end = i + 1;
            char quote = 0;
            while (end < doc.size() && (quote || doc[end] != '>')) {
                if (quote && doc[end] == quote)
                    quote = 0;
                else if (!quote && (doc[end] == '"' || doc[end] == '\''))
                    quote = doc[end];
                else if (!quote && doc[end] == '<')
                    return why = "< inside a tag", false;
                ++end;
            }
            if (end >= doc.size()) return why = "unclosed tag", false;
            std::string tag = doc.substr(i + 1, end - i - 1);
            if (tag.empty()) return why = "empty tag", false;
            if (tag[0] == '/') {
                std::string name = tag.substr(1);
                while (!name.empty() && name.back() == ' ') name.pop_back();
                if (stack.empty() || stack.back() != name) return why = "mismatched </" + name + ">", false;
                stack.pop_back();
            } else {
                const bool selfClosing = tag.back() == '/';
                std::string name = tag.substr(0, tag.find_first_of(" /\t"));
                if (stack.empty() && root) return why = "second root", false;
                root = true;
                if (!selfClosing) stack.push_back(name);
            }
            i = end + 1;
        } else if (doc[i] == '&') {
            const std::size_t semi = doc.find(';', i);
            const std::string ent = semi == std::string::npos ? "" : doc.substr(i, semi - i + 1);
            if (ent != "&amp;" && ent != "&lt;" && ent != "&gt;" && ent != "&quot;" && ent != "&apos;")
                return why = "bad entity at " + std::to_string(i), false;
            i = semi + 1;
        } else {
            if (stack.empty() && !std::isspace(static_cast<unsigned char>(doc[i])))
                return why = "text outside the root", false;
            ++i;
        }
    }
    if (!stack.empty()) return why = "unclosed <" + stack.back() + ">", false;
    return true;
}

TEST(BracketSvg, DocumentIsWellFormedXmlWithHostileNames) {
    for (int type = 0; type < kBracketTypeCount; ++type) {
        SCOPED_TRACE(type);
        TFinalBracket b(8, type, 7, 8, "");
        fillRacers(b, 8);
        U(b, 0, 0)->comments[0] = "a<b & \"c\"";
        U(b, 0, 1)->comments[1] = "</svg>";
        test::BracketPlayer player;
        player.play(b);
        b.update(player.runs, kNames);
        std::string why;
        EXPECT_TRUE(wellFormed(b.svg, why)) << why;
    }
    std::string why;
    EXPECT_FALSE(wellFormed("<svg><text>a<b</text></svg>", why)); // the checker itself catches it
}

TEST(BracketJson, ClassIdNameAndSvg) {
    TFinalBracket b(2, 0, 12, 0, "Про \"сток\"");
    b.update({});
    const std::string json = b.json.toString();
    EXPECT_EQ(json.rfind("{\"bracketSVG\":\"<?xml version=\\\"1.0\\\"", 0), 0u);
    EXPECT_NE(json.find("\"classId\":12,\"className\":\"Про \\\"сток\\\"\"}"), std::string::npos);
}

// The object is kept between updates that draw the same picture; any change of the
// class id, the title or the picture makes it anew.
TEST(BracketJson, FollowsEveryChangeOfItsParts) {
    TFinalBracket b(4, 0, 3, 4, "Сток");
    fillRacers(b, 4);
    b.update({});
    const std::string first = b.json.toString();
    b.update({});
    EXPECT_EQ(b.json.toString(), first);

    b.title = "Сток 2";
    b.makeSVG();
    EXPECT_NE(b.json.toString().find("\"className\":\"Сток 2\""), std::string::npos);
    b.classId = 4;
    b.makeSVG();
    EXPECT_NE(b.json.toString().find("\"classId\":4,"), std::string::npos);

    test::BracketPlayer player;
    player.play(b);
    b.update(player.runs, kNames);
    const std::string played = b.json.toString();
    EXPECT_NE(played.find("ET:"), std::string::npos);
    MyJSONObject expected;
    expected.add("classId", 4);
    expected.add("className", "Сток 2");
    expected.add("bracketSVG", b.svg);
    EXPECT_EQ(played, expected.toString());
}

} // namespace
} // namespace velmaro
