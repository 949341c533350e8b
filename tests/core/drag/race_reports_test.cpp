// "Отчет по парным": the exact text of the race log and of the lap report for fixture
// events, the race log workbook's cells, merges and colours, and the command's errors.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <regex>

#include "core/app/console.h"
#include "core/drag/race_reports.h"
#include "core/platform/document_opener.h"
#include "core/registration/registry.h"
#include "drag_fakes.h"
#include "fakes/recording_opener.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "fakes/unzip_member.h"

using namespace velmaro;

namespace {

constexpr uint64_t kT0 = 1717243200123ull; // 12:00:00.123 UTC

using test::RecordingOpener;

class RaceReports : public velmaro::test::DragTest {
protected:
    velmaro::test::TempFolder dir;

    void SetUp() override {
        DragTest::SetUp();
        addRacer(12, "Иванов Иван", "Лада 2107", "Тула", {3});
        addRacer(5, "Петров; мл.", "Ока", "Орёл", {3, 4}); // a ';' in a field: quoted
        host.reg.classes.push_back(std::make_unique<TClassItem>(3, "Стрит"));
        host.reg.classes.push_back(std::make_unique<TClassItem>(4, "Про"));
    }
    void addRacer(uint32_t number, const char* name, const char* car, const char* city, std::vector<int32_t> classes) {
        auto r = std::make_unique<TRacerItem>(number);
        r->name = name;
        r->carModel = car;
        r->city = city;
        r->classIds = std::move(classes);
        host.reg.racers.push_back(std::move(r));
    }

    static std::vector<TDragRaceItem> dragRuns() {
        TDragRaceItem a;
        a.runId = 1;
        a.runMode = RUN_MODE_QUALIFICATION;
        a.racer = {12, 77};  // 77 is not registered
        a.classId = {-1, 3}; // 12 has one class: the report uses it
        a.rt = {512, -35};
        a.sixtyFeet = {1890, 0};
        a.speed = {152.3, 148.0};
        a.et = {9876, 10123};
        a.winner = 0;
        a.startTime = kT0;
        TDragRaceItem b;
        b.runId = 2;
        b.runMode = RUN_MODE_FINAL;
        b.racer = {5, 12};
        b.classId = {4, 3};
        b.et = {0, 72345};
        b.winner = 1;
        TDragRaceItem c;
        c.runId = 3;
        c.runMode = RUN_MODE_PRACTICE;
        c.racer = {77, 0};
        c.winner = -1;
        return {a, b, c};
    }
};

TEST_F(RaceReports, RaceLogText) {
    EXPECT_EQ(reportCsv(raceLogLines(host.reg, dragRuns())),
              "12 - Иванов Иван, Лада 2107, Тула () (Стрит);1;77\n"
              "START  12:00:00.123\n"
              " 00.512;RT;-00.035\n"
              " 01.890;60ft;\n"
              " 152.3;SPD; 148.0\n"
              " 09.876;ET; 10.123\n"
              "\"5 - Петров; мл., Ока, Орёл (Про)\";2;12 - Иванов Иван, Лада 2107, Тула () (Стрит)\n"
              "START  00:00:00.000\n"
              ";RT;\n"
              ";60ft;\n"
              " ;SPD; \n"
              ";ET; 1:12.345\n"
              "77;3;\n"
              "START  00:00:00.000\n"
              ";RT;\n"
              ";60ft;\n"
              " ;SPD; \n"
              ";ET;\n");
}

TEST_F(RaceReports, LapReportText) {
    TDragRaceItem run;
    run.runId = 4;
    run.racer = {12, 5};
    run.classId = {-1, 4};
    TLineHit lap1 = velmaro::test::hitAt(HIT_TYPE_PLAP, kT0 + 30000);
    lap1.fromLaunch = 30000;
    run.hits[0] = {velmaro::test::hitAt(HIT_TYPE_RT, kT0), lap1, velmaro::test::hitAt(HIT_TYPE_ET, kT0 + 72345)};
    run.et[0] = 72345;
    // Right: launch, lap, lap, finish: the third hit is no finish, so no lap 2 and no time.
    TLineHit rightLap = velmaro::test::hitAt(HIT_TYPE_PLAP, kT0 + 31000);
    rightLap.fromLaunch = 31000;
    run.hits[1] = {velmaro::test::hitAt(HIT_TYPE_RT, kT0 + 7), rightLap,
                   velmaro::test::hitAt(HIT_TYPE_PLAP, kT0 + 60000), velmaro::test::hitAt(HIT_TYPE_ET, kT0 + 90000)};
    run.et[1] = 90000;
    TDragRaceItem second;
    second.runId = 5;
    second.racer = {77, 0}; // unregistered, then no racer: both show empty brackets
    // A finish as third hit without a lap passage before it: the time, but no lap 2.
    second.hits[0] = {velmaro::test::hitAt(HIT_TYPE_RT, kT0), velmaro::test::hitAt(HIT_TYPE_60FEET, kT0 + 1500),
                      velmaro::test::hitAt(HIT_TYPE_ET, kT0 + 9876)};
    second.et[0] = 9876;
    EXPECT_EQ(reportCsv(lapReportLines(host.reg, {run, second})),
              "Пилот;12 - Иванов Иван, Лада 2107, Тула () (Стрит);\"5 - Петров; мл., Ока, Орёл (Про)\"\n"
              "Старт;12:00:00.123;12:00:00.130\n"
              "Круг 1;0:30.000;0:31.000\n"
              "Круг 2;0:42.345;\n"
              "Время попытки;1:12.345;\n"
              "\n"
              "Пилот;77 (); ()\n"
              "Старт;12:00:00.123;\n"
              "Круг 1;;\n"
              "Круг 2;;\n"
              "Время попытки;0:09.876;\n"
              "\n");
}

// The style entry of a cell of the first sheet from one list of styles.xml: the content
// of the `item` element (of the list `item` + "s") that the cell's format names by
// `item` + "Id"; nullopt when the cell has no format.
std::optional<std::string> cellStyleItem(const std::string& sheet, const std::string& styles, const std::string& cell,
                                         const std::string& item) {
    std::smatch m;
    if (!std::regex_search(sheet, m, std::regex("<c r=\"" + cell + "\" s=\"(\\d+)\""))) return std::nullopt;
    const int xf = std::stoi(m[1]);
    const std::string rest = styles.substr(styles.find("<cellXfs"));
    std::vector<int> ids;
    const std::regex xfRule("<xf [^>]*" + item + "Id=\"(\\d+)\"");
    for (std::sregex_iterator it(rest.begin(), rest.end(), xfRule), end; it != end; ++it)
        ids.push_back(std::stoi((*it)[1]));
    std::vector<std::string> items;
    const std::size_t from = styles.find("<" + item + "s");
    const std::string list = styles.substr(from, styles.find("</" + item + "s>") - from);
    const std::regex itemRule("<" + item + "(?: [^>]*)?>(.*?)</" + item + ">");
    for (std::sregex_iterator it(list.begin(), list.end(), itemRule), end; it != end; ++it) items.push_back((*it)[1]);
    return items.at(static_cast<std::size_t>(ids.at(static_cast<std::size_t>(xf))));
}

// The fill colour (ARGB text) of a cell of the first sheet.
std::string cellFill(const std::string& sheet, const std::string& styles, const std::string& cell) {
    const std::optional<std::string> fill = cellStyleItem(sheet, styles, cell, "fill");
    if (!fill) return "no style";
    std::smatch rgb;
    return std::regex_search(*fill, rgb, std::regex("fgColor rgb=\"(\\w+)\"")) ? rgb[1].str() : "none";
}

// The edges of a cell of the first sheet that have a line: "L", "T", "B", "R" in this order.
std::string cellBorders(const std::string& sheet, const std::string& styles, const std::string& cell) {
    const std::optional<std::string> border = cellStyleItem(sheet, styles, cell, "border");
    if (!border) return "no style";
    std::string edges;
    for (const auto& [tag, letter] : {std::pair{"left", "L"}, {"top", "T"}, {"bottom", "B"}, {"right", "R"}})
        if (border->find(std::string("<") + tag + " style=") != std::string::npos) edges += letter;
    return edges;
}

TEST_F(RaceReports, RaceLogWorkbook) {
    ASSERT_TRUE(writeRaceReport(host.reg, 0, dragRuns(), dir.path(), "Кубок").ok());
    const std::filesystem::path book = dir / "race_log.xlsx";
    const std::string sheet = velmaro::test::unzipMember(book, "xl/worksheets/sheet1.xml");
    const std::string styles = velmaro::test::unzipMember(book, "xl/styles.xml");
    const std::string strings = velmaro::test::unzipMember(book, "xl/sharedStrings.xml");
    const std::string workbook = velmaro::test::unzipMember(book, "xl/workbook.xml");
    EXPECT_NE(workbook.find("name=\"Кубок\""), std::string::npos);
    // Six rows per run; the START rows merged over the three columns.
    for (const char* merge : {"A2:C2", "A8:C8", "A14:C14"})
        EXPECT_NE(sheet.find(std::string("<mergeCell ref=\"") + merge + "\"/>"), std::string::npos) << merge;
    EXPECT_NE(sheet.find("<row r=\"18\""), std::string::npos);
    EXPECT_EQ(sheet.find("<row r=\"19\""), std::string::npos);
    EXPECT_NE(strings.find("START  12:00:00.123"), std::string::npos);
    EXPECT_NE(strings.find("Петров; мл."), std::string::npos);
    EXPECT_TRUE(std::regex_search(sheet, std::regex("<c r=\"B1\" s=\"\\d+\"><v>1</v></c>"))) << "run id as a number";
    // Qualification white with the winner left; final block in its colour with the winner right.
    EXPECT_EQ(cellFill(sheet, styles, "A1"), "FFC0FFBD");
    EXPECT_EQ(cellFill(sheet, styles, "C1"), "FFFFBDBD");
    EXPECT_EQ(cellFill(sheet, styles, "B3"), "FFFFFFFF");
    EXPECT_EQ(cellFill(sheet, styles, "A7"), "FFFFBDBD");
    EXPECT_EQ(cellFill(sheet, styles, "C7"), "FFC0FFBD");
    EXPECT_EQ(cellFill(sheet, styles, "B12"), "FFC8C7FF");
    // Practice, no winner: the racer cells keep the block colour.
    EXPECT_EQ(cellFill(sheet, styles, "A13"), "FF7FFFD4");
    EXPECT_EQ(cellFill(sheet, styles, "C13"), "FF7FFFD4");
    // A line around each run's block and none inside it.
    const std::pair<const char*, const char*> borders[] = {
        {"A1", "LT"}, {"B1", "T"}, {"C1", "TR"}, {"A2", "LR"}, {"A3", "L"}, {"B3", ""},    {"C3", "R"},
        {"A6", "LB"}, {"B6", "B"}, {"C6", "BR"}, {"A7", "LT"}, {"B10", ""}, {"C12", "BR"}, {"B18", "B"}};
    for (const auto& [cell, edges] : borders) EXPECT_EQ(cellBorders(sheet, styles, cell), edges) << cell;
    EXPECT_EQ(dir.read("lap_double_report.csv"), reportCsv(raceLogLines(host.reg, dragRuns())));
}

TEST_F(RaceReports, CommandPerModeAndFailures) {
    velmaro::test::ScriptedOperator op;
    RecordingOpener opener;
    Console console;
    runs.dragRuns() = dragRuns();
    console.eventFolder = dir.path();
    console.eventName = "Кубок";

    console.raceMode = 1; // no report in the single-lane modes
    raceReportCommand(console, runs, opener, op);
    EXPECT_FALSE(std::filesystem::exists(dir / "lap_double_report.csv"));

    console.raceMode = 3;
    raceReportCommand(console, runs, opener, op);
    EXPECT_EQ(dir.read("lap_double_report.csv"), reportCsv(lapReportLines(host.reg, runs.dragRuns())));
    EXPECT_EQ(opener.opened, (std::vector<std::filesystem::path>{dir / "race_log.xlsx"}));
    EXPECT_EQ(op.logLines, (std::vector<std::string>{"Файл сохранен: " + (dir / "lap_double_report.csv").string(),
                                                     "Файл сохранен: " + (dir / "race_log.xlsx").string()}));
    EXPECT_NE(velmaro::test::unzipMember(dir / "race_log.xlsx", "xl/sharedStrings.xml").find("Время попытки"),
              std::string::npos);

    // The report's file cannot be written: the command stops, naming the file.
    console.eventFolder = dir / "missing";
    console.raceMode = 0;
    raceReportCommand(console, runs, opener, op);
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_NE(op.shown[0].find((dir / "missing" / "lap_double_report.csv").string()), std::string::npos);
    EXPECT_EQ(opener.opened.size(), 1u);

    // A workbook that cannot be replaced (a folder stands in its place) is named too.
    console.eventFolder = dir.path();
    std::filesystem::remove(dir / "race_log.xlsx");
    std::filesystem::create_directories(dir / "race_log.xlsx" / "x");
    raceReportCommand(console, runs, opener, op);
    ASSERT_EQ(op.shown.size(), 2u);
    EXPECT_NE(op.shown[1].find("race_log.xlsx"), std::string::npos);
    EXPECT_EQ(opener.opened.size(), 1u);
}

} // namespace
