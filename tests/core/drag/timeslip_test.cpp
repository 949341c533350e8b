// Receipt line printers and timeslips: texts of both forms, the run a command prints,
// and the layout on a recording receipt printer (576 dots wide, 10 dots a character).
#include <gtest/gtest.h>

#include <memory>

#include "core/drag/footer_cipher.h"
#include "core/drag/receipt_lines.h"
#include "core/drag/timeslip.h"
#include "core/registration/registry.h"
#include "drag_fakes.h"
#include "fakes/recording_print_device.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

using namespace velmaro;
using velmaro::test::DrawnText;
using velmaro::test::RecordingPrintDevice;

namespace {

TEST(ReceiptLines, LeftCentredAndRightAtTheReceiptWidth) {
    RecordingPrintDevice printer(576);
    ASSERT_TRUE(printer.beginDoc("t").ok());
    printer.canvas().setFontSize(11);
    EXPECT_EQ(printLineLeft(printer, 5, "abc"), 22);
    EXPECT_EQ(printLineCentred(printer, 6, "abc"), 22);  // (576 - 30) / 2
    EXPECT_EQ(printLineCentred(printer, 7, "abcd"), 22); // (576 - 40) / 2
    EXPECT_EQ(printLineCentred(printer, 8, "Ф"), 22);    // one character, not two bytes
    EXPECT_EQ(printLineRight(printer, 9, "abc"), 22);
    const std::string wide(60, 'x'); // 600 dots, wider than the page
    printLineLeft(printer, 10, wide);
    printLineCentred(printer, 11, wide);
    printLineRight(printer, 12, wide);
    const std::vector<DrawnText> expected = {
        {0, 5, "abc", 11},   {273, 6, "abc", 11}, {268, 7, "abcd", 11}, {283, 8, "Ф", 11},
        {546, 9, "abc", 11}, {0, 10, wide, 11},   {0, 11, wide, 11},    {0, 12, wide, 11},
    };
    EXPECT_EQ(printer.canvasRecord.texts, expected);
}

TEST(ReceiptLines, LogoSizeComesFromTheBitmapHeader) {
    velmaro::test::TempFolder dir;
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = static_cast<char>(200), bmp[22] = static_cast<char>(0xB0),
    bmp[23] = static_cast<char>(0xFF), bmp[24] = static_cast<char>(0xFF), bmp[25] = static_cast<char>(0xFF); // -80
    dir.write("printlogo.bmp", bmp);
    dir.write("not.bmp", "GIF89a.......................");
    velmaro::test::ScriptedOperator op;
    EXPECT_EQ(readReceiptLogo(dir / "printlogo.bmp", op), (ReceiptLogo{dir / "printlogo.bmp", 200, 80}));
    EXPECT_EQ(readReceiptLogo(dir / "not.bmp", op).width, 0);
    EXPECT_EQ(readReceiptLogo(dir / "missing.bmp", op).width, 0);
}

void putLe(std::string& bytes, std::size_t at, std::uint32_t value, int width = 4) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xff);
}

// A bitmap with a 40-byte info header, its pixels at 54: the file length its header gives
// is `claimed` (0 = the exact length), the file itself `length` bytes (0 = as claimed).
std::string bitmap(std::int32_t width, std::int32_t height, int bitsPerPixel, std::uint32_t compression = 0,
                   std::uint32_t pixelBytes = 0) {
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M';
    putLe(bmp, 10, 54);
    putLe(bmp, 14, 40);
    putLe(bmp, 18, static_cast<std::uint32_t>(width));
    putLe(bmp, 22, static_cast<std::uint32_t>(height));
    putLe(bmp, 26, 1, 2);
    putLe(bmp, 28, static_cast<std::uint32_t>(bitsPerPixel), 2);
    putLe(bmp, 30, compression);
    putLe(bmp, 34, pixelBytes);
    return bmp;
}

// What a hostile or broken printlogo.bmp gets: no logo and one log line, never a size
// beyond the limit or a negated INT_MIN.
TEST(ReceiptLines, LogoRefusals) {
    const auto withRows = [](std::string bmp, std::size_t rowBytes, std::size_t rows) {
        bmp.append(rowBytes * rows, '\x7f');
        putLe(bmp, 2, static_cast<std::uint32_t>(bmp.size()));
        return bmp;
    };
    std::string lengthBeyondFile = withRows(bitmap(4, 2, 24), 12, 2);
    putLe(lengthBeyondFile, 2, static_cast<std::uint32_t>(lengthBeyondFile.size() + 1));
    std::string rowsCut = withRows(bitmap(4, 2, 24), 12, 2);
    rowsCut.pop_back();
    putLe(rowsCut, 2, 0); // no length given: the rows still count
    std::string coreHeader(26, '\0');
    coreHeader[0] = 'B', coreHeader[1] = 'M';
    putLe(coreHeader, 10, 26);
    putLe(coreHeader, 14, 12);
    putLe(coreHeader, 18, 8, 2);
    putLe(coreHeader, 20, 3, 2);
    putLe(coreHeader, 24, 8, 2); // 8 bits: rows of 8 bytes
    coreHeader = withRows(coreHeader, 8, 3);
    struct Case {
        const char* name;
        std::string bytes;
        int width, height; // 0 x 0: no logo
        std::size_t logLines;
    } cases[] = {
        {"top-down, whole", withRows(bitmap(4, -2, 24), 12, 2), 4, 2, 0},
        {"core header, whole", coreHeader, 8, 3, 0},
        {"4096 x 4096, compressed", bitmap(4096, 4096, 8, 1, 0), 4096, 4096, 0},
        {"height INT_MIN", withRows(bitmap(16, INT32_MIN, 24), 0, 0), 0, 0, 1},
        {"top-down height INT_MIN + 1, far too high", bitmap(16, INT32_MIN + 1, 1, 1, 0), 0, 0, 1},
        {"width 4097", bitmap(4097, 1, 8, 1, 0), 0, 0, 1},
        {"height 4097", bitmap(1, 4097, 8, 1, 0), 0, 0, 1},
        {"width beyond INT_MAX / 2", bitmap(0x7fffffff, 1, 32, 1, 0), 0, 0, 1},
        {"shorter than the length in its header", lengthBeyondFile, 0, 0, 1},
        {"last row cut short", rowsCut, 0, 0, 1},
        {"compressed pixels past the end", bitmap(4, 2, 8, 1, 100), 0, 0, 1},
        {"core header, rows cut", coreHeader.substr(0, coreHeader.size() - 8), 0, 0, 1},
        {"negative width", withRows(bitmap(-4, 2, 24), 12, 2), 0, 0, 0},
    };
    velmaro::test::TempFolder dir;
    for (const Case& c : cases) {
        velmaro::test::ScriptedOperator op;
        dir.write("printlogo.bmp", c.bytes);
        const ReceiptLogo logo = readReceiptLogo(dir / "printlogo.bmp", op);
        EXPECT_EQ(logo.width, c.width) << c.name;
        EXPECT_EQ(logo.height, c.height) << c.name;
        EXPECT_EQ(op.logLines.size(), c.logLines) << c.name;
    }
}

TEST(Timeslip, RunChoice) {
    struct Case {
        int which, selected;
        std::size_t runs;
        std::optional<int> index;
    } cases[] = {
        {TIMESLIP_BOTH, -1, 3, 2},
        {TIMESLIP_LEFT, 1, 3, 1},
        {TIMESLIP_RIGHT, -1, 3, 2},
        {TIMESLIP_LAST_RUN_BOTH, 0, 3, 2}, // the selection is ignored
        {TIMESLIP_BOTH, -1, 0, std::nullopt},
        {TIMESLIP_BOTH, 3, 3, std::nullopt},
        {TIMESLIP_LEFT, 7, 3, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(timeslipRunIndex(c.which, c.selected, c.runs), c.index) << c.which << " " << c.selected;
}

TDragRaceItem figuresRun() {
    TDragRaceItem run;
    run.runId = 17;
    run.racer = {12, 0};
    run.classId = {3, -1};
    run.rt = {512, 0};
    run.sixtyFeet = {1890, 0};
    run.et = {9876, 0};
    run.dirtyTime = {1, 0}; // not what the timeslip prints: it adds ET and RT itself
    run.speed = {152.3, 0.0};
    run.winner = 0;
    return run;
}

TEST(Timeslip, LaneFigures) {
    TDragRaceItem run = figuresRun();
    TimeslipLane left = timeslipLane(run, LANE_LEFT, false);
    EXPECT_EQ(left, (TimeslipLane{"", " 00.512", " 01.890", " 152.3", " 09.876", " 10.388", ":"}));
    // An empty lane: every time empty (zero prints empty), speed blank.
    EXPECT_EQ(timeslipLane(run, LANE_RIGHT, false), (TimeslipLane{"", "", "", " ", "", "", ":"}));

    struct Case {
        int32_t rt;
        bool pro;
        bool started;
    } cases[] = {
        {-400, true, false}, {-1200, false, false}, {-400, false, true}, {-1200, true, true}, {-35, true, true}};
    for (const Case& c : cases) {
        run.rt[0] = c.rt;
        const TimeslipLane lane = timeslipLane(run, LANE_LEFT, c.pro);
        EXPECT_EQ(lane.foulMark, ": Foul!") << c.rt;
        EXPECT_EQ(lane.speed, " 152.3") << c.rt;
        EXPECT_EQ(lane.et.empty(), !c.started) << c.rt << " " << c.pro;
        EXPECT_EQ(lane.rt.empty(), !c.started) << c.rt << " " << c.pro;
        EXPECT_EQ(lane.sixtyFeet.empty(), !c.started) << c.rt << " " << c.pro;
        EXPECT_EQ(lane.etPlusRt.empty(), !c.started) << c.rt << " " << c.pro;
    }
    run.rt[0] = -35;
    EXPECT_EQ(timeslipLane(run, LANE_LEFT, true).etPlusRt, " 09.841");
}

class TimeslipPrint : public velmaro::test::DragTest {
protected:
    void SetUp() override {
        DragTest::SetUp();
        auto racer = std::make_unique<TRacerItem>(12);
        racer->name = "Иванов Иван";
        racer->carModel = "Лада 2107";
        racer->city = "Тула";
        racer->classIds = {3};
        host.reg.racers.push_back(std::move(racer));
        host.reg.classes.push_back(std::make_unique<TClassItem>(3, "Стрит"));
    }

    class Printers : public ReceiptPrinterSource {
    public:
        std::vector<RecordingPrintDevice*> opened; // owned by `kept`
        std::vector<std::unique_ptr<PrintDevice>> kept;
        int printedCount = 0;
        std::unique_ptr<PrintDevice> openReceiptPrinter() override {
            auto d = std::make_unique<RecordingPrintDevice>(576);
            opened.push_back(d.get());
            return d;
        }
        void printed(PrintDevice&) override { ++printedCount; }
    };

    const ReceiptHeading heading{"Кубок", "01.06.2024", {}};
};

TEST_F(TimeslipPrint, NothingWithoutRunOutOfRangeOrForAnEmptyLane) {
    Printers printers;
    EXPECT_TRUE(printTimeslip(runs, TIMESLIP_BOTH, heading, printers).ok()); // no runs
    runs.dragRuns().push_back(figuresRun());
    runs.selectedRun() = 5;
    EXPECT_TRUE(printTimeslip(runs, TIMESLIP_BOTH, heading, printers).ok());
    runs.selectedRun() = 0;
    EXPECT_TRUE(printTimeslip(runs, TIMESLIP_RIGHT, heading, printers).ok()); // right lane has no racer
    EXPECT_TRUE(printers.opened.empty());
    EXPECT_TRUE(printTimeslip(runs, TIMESLIP_LEFT, heading, printers).ok());
    EXPECT_EQ(printers.printedCount, 1);
}

TEST_F(TimeslipPrint, BothLanesLayout) {
    TDragRaceItem run = figuresRun();
    run.winner = 1;
    RecordingPrintDevice printer(576);
    ASSERT_TRUE(printTimeslipDocument(printer, heading, timeslipTexts(host.reg, run, TIMESLIP_BOTH, false)).ok());
    EXPECT_FALSE(printer.landscape);
    EXPECT_EQ(printer.documents, 1);
    const auto& t = printer.canvasRecord.texts;
    // 11 points: lines 22 dots apart. Event, date, blank, heat, numbers, blank, five rows.
    EXPECT_EQ(t[0], (DrawnText{(576 - 50) / 2, 0, "Кубок", 11}));
    EXPECT_EQ(t[1], (DrawnText{(576 - 100) / 2, 22, "01.06.2024", 11}));
    EXPECT_EQ(t[2], (DrawnText{(576 - 80) / 2, 66, "Heat #17", 11}));
    EXPECT_EQ(printer.row(88),
              (std::vector<DrawnText>{{243, 88, "Racer num", 11}, {0, 88, "12", 11}, {566, 88, "0", 11}}));
    EXPECT_EQ(printer.row(132),
              (std::vector<DrawnText>{{278, 132, "RT", 11}, {0, 132, " 00.512", 11}, {576, 132, "", 11}}));
    EXPECT_EQ(printer.row(220).at(0).text, "ET+RT");
    EXPECT_EQ(printer.row(220).at(1).text, " 10.388");
    // Winner right: a blank line at the left edge, then "Winner!" at the right edge.
    EXPECT_EQ(printer.row(242), (std::vector<DrawnText>{{0, 242, " ", 11}}));
    EXPECT_EQ(printer.row(264), (std::vector<DrawnText>{{576 - 70, 264, "Winner!", 11}}));
    // Three blank lines, then the footer at 8 points (16 dots a line) and a closing blank.
    const auto footer = footerLines();
    EXPECT_EQ(printer.row(286 + 66).at(0).text, footer[0]);
    EXPECT_EQ(printer.row(286 + 66).at(0).points, 8);
    EXPECT_EQ(printer.row(286 + 66 + 16).at(0).text, footer[1]);
    EXPECT_EQ(printer.row(286 + 66 + 32).at(0).text, " ");
    EXPECT_EQ(t.size(), 3u + 3u + 1u + 15u + 2u + 3u);
}

TEST_F(TimeslipPrint, OneLaneLayoutWithLogo) {
    TDragRaceItem run = figuresRun();
    run.rt[0] = -400;
    RecordingPrintDevice printer(576);
    ReceiptHeading withLogo = heading;
    withLogo.logo = ReceiptLogo{"/x/printlogo.bmp", 300, 100};
    ASSERT_TRUE(printTimeslipDocument(printer, withLogo, timeslipTexts(host.reg, run, TIMESLIP_LEFT, true)).ok());
    ASSERT_EQ(printer.canvasRecord.images.size(), 1u);
    EXPECT_EQ(printer.canvasRecord.images[0].first, (PaintRect{0, 0, 300, 100}));
    std::vector<std::string> lines;
    for (const DrawnText& d : printer.canvasRecord.texts) lines.push_back(d.text);
    const std::vector<std::string> expected = {"Кубок",
                                               "01.06.2024",
                                               "Стрит",
                                               "# 12",
                                               "Иванов Иван",
                                               "Лада 2107",
                                               "Тула",
                                               "Left lane",
                                               "RT",
                                               ": Foul!",
                                               "",
                                               "60FT",
                                               ":",
                                               "",
                                               "SPEED",
                                               ":",
                                               " 152.3",
                                               "ET",
                                               ":",
                                               "",
                                               "ET+RT",
                                               ":",
                                               "",
                                               footerLines()[0],
                                               footerLines()[1],
                                               " "};
    EXPECT_EQ(lines, expected);
    // The event name stands under the logo; the colon column starts after "SPEED ".
    EXPECT_EQ(printer.canvasRecord.texts[0].y, 100);
    EXPECT_EQ(printer.canvasRecord.texts[9], (DrawnText{60, 100 + 22 * 10, ": Foul!", 11}));
    EXPECT_EQ(printer.canvasRecord.texts[16], (DrawnText{576 - 60, 100 + 22 * 12, " 152.3", 11}));
}

TEST_F(TimeslipPrint, OneLaneOfAnUnregisteredRacerKeepsNumberAndFigures) {
    TDragRaceItem run = figuresRun();
    run.racer[0] = 99;
    const TimeslipTexts t = timeslipTexts(host.reg, run, TIMESLIP_LEFT, false);
    EXPECT_EQ(t.className, "Стрит"); // the lane's class is still registered
    EXPECT_EQ(t.lanes[0].number, "# 99");
    EXPECT_TRUE(t.name.empty() && t.car.empty() && t.city.empty());
    run.classId[0] = 8;
    EXPECT_TRUE(timeslipTexts(host.reg, run, TIMESLIP_LEFT, false).className.empty());
}

} // namespace
