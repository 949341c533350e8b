// The two-lane results grid, the cell grammar the results window reads, and the export
// of the grid to CSV and .xlsx.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "core/platform/document_opener.h"
#include "core/registration/registry.h"
#include "core/results/results_export.h"
#include "core/results/results_grid.h"
#include "fakes/recording_opener.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro {
namespace {

TDragAttempt attempt(std::int32_t et, std::int32_t rt, std::int32_t runMode, float spd, std::int32_t foul = 0) {
    TDragAttempt a;
    a.et = et;
    a.rt = rt;
    a.runMode = runMode;
    a.spd = spd;
    a.foul = foul;
    return a;
}

TEST(DragAttemptText, Grammar) {
    struct Case {
        TDragAttempt a;
        bool clean;
        const char* text;
    };
    const Case cases[] = {
        {attempt(9500, 40, 0, 150.5f, 1), true, "0: 09.500(F)   150.5 км/ч"},  // fouled qualification
        {attempt(9500, 40, 0, 150.5f, 1), false, "0: 09.540(F)   150.5 км/ч"}, // dirty: et + rt
        {attempt(10000, 0, 1, 0.0f), true, "1: 10.000   "},                    // final, no speed: one blank
        {attempt(61500, 0, 2, 99.9f), true, "2: 1:01.500   99.9 км/ч"},        // practice, over a minute
        {attempt(0, 0, 0, 0.0f), true, "0:   "},                               // no time
        {attempt(9000, 0, -1, 0.0f), true, "0: 09.000   "},                    // empty mode reads as 0
        {attempt(9000, -30, 0, 0.0f, 1), false, "0: 08.970(F)   "},            // false start, dirty
    };
    for (const Case& c : cases) EXPECT_EQ(dragAttemptText(c.a, c.clean), c.text) << c.text;
}

TEST(ResultsCellGrammar, ShownTextAndCode) {
    struct Case {
        const char* cell;
        bool twoLane;
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"1: 12.345", true, " 12.345", 1},      // final run, prefix not shown
        {"2: 12.345", true, " 12.345", 2},      // practice
        {"0: 12.345", true, " 12.345", 0},      // qualification: no colour of its own
        {"1: 12.345", false, "1: 12.345", -1},  // lap modes read no prefix
        {"1:02.345|17", false, "1:02.345", -1}, // lap cell: the event index is hidden
        {"3|1", false, "3", -1},                // place of a current racer
        {"|5", false, "", -1},
        {"Сход", true, "Сход", -1}, // two-byte letters: no ':' in second place
        {"", true, "", -1},
        {"7", true, "7", -1},
        {"x:", true, "", -1}, // not a digit: hidden, no code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        EXPECT_EQ(shownCell(c.cell, c.twoLane), (ShownCell{c.text, c.code}));
    }
    EXPECT_TRUE(isTitleRow({"", "", "Сток"}));
    EXPECT_TRUE(isTitleRow({}));
    EXPECT_FALSE(isTitleRow({"1|0", "7"}));
}

TEST(ResultsCellGrammar, LapEventOfADoubleClickedCell) {
    ResultsTable t = resultsTableFrame(false);
    t.cells[0].push_back("Круг 1");
    t.columnWidths.push_back(116);
    t.cells.push_back({"1|0", "7", "", "", "", "", "1:02.345", "", "", "1:02.345|17"});
    t.cells.push_back({"2|0", "8", "", "", "", "", "Сход", "", "", "Сход"});
    struct Case {
        int row, column, mode;
        std::optional<int> index;
    };
    const Case cases[] = {
        {1, 9, 1, 17}, // lap cell: the event's index
        {1, 9, 4, 17},
        {1, 9, 6, 17},
        {1, 9, 0, std::nullopt}, // two-lane modes do nothing
        {1, 9, 5, std::nullopt},
        {1, 6, 1, std::nullopt},  // not a lap column
        {2, 9, 1, std::nullopt},  // no "|"
        {0, 9, 1, std::nullopt},  // title row
        {3, 9, 1, std::nullopt},  // a row the last refresh removed
        {1, 10, 1, std::nullopt}, // a column the last refresh removed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.row << "," << c.column << " mode " << c.mode);
        EXPECT_EQ(lapEventIndexAt(t, c.row, c.column, c.mode), c.index);
    }
    EXPECT_EQ(lapEventIndexOfCell("1:02.345|x"), std::nullopt);
}

// ---- the drag grid

TDragResult result(std::int32_t num, TDragAttempt best, std::vector<TDragAttempt> attempts, std::int32_t bestRt,
                   float bestSpeed) {
    TDragResult r(num, 0);
    r.bestLegalStart = best;
    r.bestAnyStart = best;
    r.attempts = std::move(attempts);
    r.bestRt = bestRt;
    r.bestSpeed = bestSpeed;
    return r;
}

TRegistrySnapshot names() {
    TRegistrySnapshot s;
    s.classes.emplace_back(1, "Сток");
    TRacerItem a(7);
    a.name = "Иванов; И.";
    a.city = "Тверь";
    a.team = "Red \"R\"";
    a.carModel = "Lada";
    TRacerItem b(8);
    b.name = "Петров";
    s.racers = {a, b};
    return s;
}

// Class 1 (registered) with racers 7 and 8, class 5 (not registered) with racer 99 (not
// registered), and the overall list. 7 has three attempts, 8 one, 99 only a false start.
TDragResultsView fixtureView() {
    TDragResultsView v;
    v.rank = TDragRankOptions{true, false, 0};
    v.maxAttempts = 3;
    const TDragAttempt q1 = attempt(9500, 40, 0, 150.5f);
    const TDragAttempt f1 = attempt(9400, 35, 1, 151.2f);
    const TDragAttempt p1 = attempt(9900, 60, 2, 0.0f);
    const TDragAttempt q2 = attempt(10200, 50, 0, 140.0f);
    const TDragAttempt fs = attempt(9800, -20, 0, 145.0f, 1);
    TDragResult r7 = result(7, f1, {q1, f1, p1}, 35, 151.2f);
    TDragResult r8 = result(8, q2, {q2}, 0, 0.0f);
    TDragResult r99 = result(99, kEmptyAttempt, {fs}, 0, 145.0f);
    v.resultsByClass[1] = {r7, r8};
    v.resultsByClass[5] = {r99};
    v.resultsByClass[-1] = {r7, r8, r99};
    return v;
}

std::string joined(const std::vector<std::string>& row) {
    std::string s;
    for (std::size_t i = 0; i < row.size(); ++i) s += (i ? "|" : "") + row[i];
    return s;
}

TEST(DragResultsGrid, NoResultsGiveTheOverallTitleAlone) {
    const ResultsTable t = dragResultsTable(TDragResultsView{}, TRegistrySnapshot{});
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.columnCount(), 9);
    EXPECT_EQ(t.cells[0][6], "Лучшее время(+штраф)");
    EXPECT_EQ(t.cells[0][8], "Макс. скосроть");
    EXPECT_EQ(t.cells[1], (std::vector<std::string>{"", "", "Абсолютный зачет", "", "", "", "", "", ""}));
}

TEST(DragResultsGrid, BlocksPerClassThenOverall) {
    const ResultsTable t = dragResultsTable(fixtureView(), names());
    ASSERT_EQ(t.columnCount(), 12);
    EXPECT_EQ(t.cells[0][9], "Заезд 1");
    EXPECT_EQ(t.cells[0][11], "Заезд 3");
    EXPECT_EQ(t.columnWidths[11], 124);
    const std::vector<std::string> rows = [&] {
        std::vector<std::string> out;
        for (const auto& r : t.cells) out.push_back(joined(r));
        return out;
    }();
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 1, rows.end()),
              (std::vector<std::string>{
                  "||Сток|||||||||",
                  "1|7|Иванов; И.|Тверь|Red \"R\"|Lada|1: 09.400   151.2 км/ч| 00.035| 151.2 км/ч|"
                  "0: 09.500   150.5 км/ч|1: 09.400   151.2 км/ч|2: 09.900   ",
                  "2|8|Петров||||0: 10.200   140.0 км/ч|| |0: 10.200   140.0 км/ч||", // no RT, no speed
                  "||--|||||||||",                                                    // class 5 is not registered
                  "1|99||||||| 145.0 км/ч|0: 09.800(F)   145.0 км/ч||",               // nobody has 99; no kept time
                  "||Абсолютный зачет|||||||||",
                  "1|7|Иванов; И.|Тверь|Red \"R\"|Lada|1: 09.400   151.2 км/ч| 00.035| 151.2 км/ч|"
                  "0: 09.500   150.5 км/ч|1: 09.400   151.2 км/ч|2: 09.900   ",
                  "2|8|Петров||||0: 10.200   140.0 км/ч|| |0: 10.200   140.0 км/ч||",
                  "3|99||||||| 145.0 км/ч|0: 09.800(F)   145.0 км/ч||",
              }));
}

TEST(DragResultsGrid, SumTitleAndDirtyAttempts) {
    TDragResultsView v = fixtureView();
    v.rank = TDragRankOptions{false, true, 0};
    const ResultsTable t = dragResultsTable(v, names());
    EXPECT_EQ(t.cells[0][6], "Суммарное время(+штраф)");
    EXPECT_EQ(t.cells[2][9], "0: 09.540   150.5 км/ч");
}

// ---- export

TEST(ResultsExport, NumberFieldsUseAPoint) {
    const std::pair<const char*, const char*> cases[] = {
        {" 00.035", "0.035"}, {"-00.040", "-0.040"}, {" 151.2 км/ч", "151.200"}, {" ", ""}, {"", ""},
        {"Сход", ""},         {"12", "12.000"},      {" 1:01.500", "1.000"},
    };
    for (const auto& [text, field] : cases) EXPECT_EQ(exportNumberField(text), field) << text;
}

TEST(ResultsExport, DragCsvExactly) {
    const ResultsTable t = dragResultsTable(fixtureView(), names());
    const std::string csv = resultsCsv(resultsExportRows(t, t.columnWidths, true));
    EXPECT_EQ(
        csv, "Место;№;Имя;Город;Команда;Модель;Лучшее время(+штраф);Лучшее RT;Макс. скосроть;Заезд 1;Заезд 2;Заезд 3;\n"
             ";;Сток;;;;;;;;;;\n"
             "1;7;\"Иванов; И.\";Тверь;\"Red \"\"R\"\"\";Lada; 09.400   151.2 км/ч;0.035;151.200;"
             " 09.500   150.5 км/ч; 09.400   151.2 км/ч; 09.900   ;\n"
             "2;8;Петров;;;; 10.200   140.0 км/ч;;; 10.200   140.0 км/ч;;;\n"
             ";;--;;;;;;;;;;\n"
             "1;99;;;;;;;145.000; 09.800(F)   145.0 км/ч;;;\n"
             ";;Абсолютный зачет;;;;;;;;;;\n"
             "1;7;\"Иванов; И.\";Тверь;\"Red \"\"R\"\"\";Lada; 09.400   151.2 км/ч;0.035;151.200;"
             " 09.500   150.5 км/ч; 09.400   151.2 км/ч; 09.900   ;\n"
             "2;8;Петров;;;; 10.200   140.0 км/ч;;; 10.200   140.0 км/ч;;;\n"
             "3;99;;;;;;;145.000; 09.800(F)   145.0 км/ч;;;\n");
}

TEST(ResultsExport, HiddenColumnsAreLeftOutButColumnZeroStays) {
    const ResultsTable t = dragResultsTable(fixtureView(), names());
    std::vector<int> widths = t.columnWidths;
    widths[0] = 0; // the place stays: the rows would shift otherwise
    widths[3] = 0;
    widths[4] = 0;
    widths[10] = 0;
    const auto rows = resultsExportRows(t, widths, true);
    EXPECT_EQ(rows[0].fields, (std::vector<std::string>{"Место", "№", "Имя", "Модель", "Лучшее время(+штраф)",
                                                        "Лучшее RT", "Макс. скосроть", "Заезд 1", "Заезд 3"}));
    EXPECT_EQ(rows[3].fields.size(), rows[0].fields.size());
    EXPECT_TRUE(rows[1].title);
    EXPECT_FALSE(rows[2].title);
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n = 0;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The <c> element of one cell of a sheet's XML; empty when the cell is not there.
std::string cellXml(const std::string& sheet, const std::string& ref) {
    const std::size_t at = sheet.find("<c r=\"" + ref + "\"");
    if (at == std::string::npos) return {};
    return sheet.substr(at, sheet.find("</c>", at) - at);
}

TEST(ResultsExport, WritesCsvAndWorkbookAndShowsTheWorkbook) {
    test::TempFolder folder;
    test::ScriptedOperator op;
    test::RecordingOpener opener;
    const ResultsTable t = dragResultsTable(fixtureView(), names());
    ASSERT_TRUE(exportResults(t, t.columnWidths, 0, folder.path(), "Кубок", ".", opener, op).ok());
    EXPECT_EQ(folder.read("Кубок.csv"), resultsCsv(resultsExportRows(t, t.columnWidths, true)));
    ASSERT_EQ(opener.opened, std::vector<std::filesystem::path>{folder / "Кубок.xlsx"});
    EXPECT_TRUE(op.shown.empty());
    EXPECT_EQ(op.logLines, (std::vector<std::string>{"Файл сохранен: " + (folder / "Кубок.csv").string(),
                                                     "Файл сохранен: " + (folder / "Кубок.xlsx").string()}));

    // Kept for a look in a spreadsheet application.
    const std::filesystem::path kept = std::filesystem::path(VELMARO_BINARY_DIR) / "exports";
    std::filesystem::create_directories(kept);
    for (const char* name : {"Кубок.xlsx", "Кубок.csv"})
        std::filesystem::copy_file(folder / name, kept / name, std::filesystem::copy_options::overwrite_existing);

    const std::string book = (folder / "Кубок.xlsx").string();
    const std::string sheet = run("unzip -p '" + book + "' xl/worksheets/sheet1.xml");
    const std::string strings = run("unzip -p '" + book + "' xl/sharedStrings.xml");
    const std::string workbook = run("unzip -p '" + book + "' xl/workbook.xml");
    // Title rows 2, 5 and 7 merged over the twelve columns, carrying their titles.
    EXPECT_NE(sheet.find("<mergeCells count=\"3\"><mergeCell ref=\"A2:L2\"/><mergeCell ref=\"A5:L5\"/>"
                         "<mergeCell ref=\"A7:L7\"/></mergeCells>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(strings.find("<t>Сток</t>"), std::string::npos);
    EXPECT_NE(strings.find("<t>Абсолютный зачет</t>"), std::string::npos);
    EXPECT_NE(strings.find("<t>Иванов; И.</t>"), std::string::npos);
    EXPECT_NE(workbook.find("name=\"Кубок\""), std::string::npos);
    // Place, number and the reaction time are numbers (with '.'), the times stay text.
    EXPECT_NE(cellXml(sheet, "H3").find("<v>0.035</v>"), std::string::npos) << sheet;
    EXPECT_NE(cellXml(sheet, "I3").find("<v>151.2</v>"), std::string::npos);
    EXPECT_NE(cellXml(sheet, "B3").find("<v>7</v>"), std::string::npos);
    EXPECT_EQ(cellXml(sheet, "B3").find("t=\"s\""), std::string::npos);
    EXPECT_NE(cellXml(sheet, "G3").find("t=\"s\""), std::string::npos);
    // Every cell of the table has the thin border format; the title rows are shaded.
    const std::string styles = run("unzip -p '" + book + "' xl/styles.xml");
    EXPECT_NE(styles.find("<fgColor rgb=\"FFE0E0E0\"/>"), std::string::npos) << styles;
    EXPECT_NE(styles.find("<left style=\"thin\">"), std::string::npos);
}

// Racer and class texts as the official or the web may type them.
TRegistrySnapshot hostileNames() {
    TRegistrySnapshot s;
    s.classes.emplace_back(1, "@Класс|A");
    TRacerItem a(7);
    a.name = "=1+2 Smith";
    a.city = "@SUM(1;2)";
    a.team = "-Team|2";
    a.carModel = "+Car";
    TRacerItem b(8);
    b.name = std::string("Пет|ров\0\x01", 15);
    b.city = "\tTab";
    s.racers = {a, b};
    return s;
}

// A '|' in a name or class once started the hidden part of the cell: the grid, the CSV
// and the workbook showed the text cut. Control characters went in raw.
TEST(DragResultsGrid, TypedTextsStayWholeInTheCells) {
    const ResultsTable t = dragResultsTable(fixtureView(), hostileNames());
    EXPECT_EQ(joined(t.cells[1]), "||@Класс¦A|||||||||");
    EXPECT_EQ(joined(std::vector<std::string>(t.cells[2].begin(), t.cells[2].begin() + 6)),
              "1|7|=1+2 Smith|@SUM(1;2)|-Team¦2|+Car");
    EXPECT_EQ(t.cells[3][2], "Пет¦ров");
    EXPECT_EQ(t.cells[3][3], " Tab");
    EXPECT_EQ(shownCell(t.cells[1][2], true).text, "@Класс¦A");
    EXPECT_EQ(shownCell(t.cells[2][4], true).text, "-Team¦2");
}

// A typed text that a spreadsheet would run as a formula gets a leading apostrophe in
// the text file; the numbers take the official's decimal separator there. The workbook
// keeps the texts and stores the numbers as numbers.
TEST(ResultsExport, TypedTextsCannotRunAsFormulasAndNumbersTakeTheSeparator) {
    const ResultsTable t = dragResultsTable(fixtureView(), hostileNames());
    const std::vector<ExportRow> rows = resultsExportRows(t, t.columnWidths, true);
    std::istringstream csv(resultsCsv(rows, ","));
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Место;№;Имя;Город;Команда;Модель;Лучшее время(+штраф);Лучшее RT;Макс. скосроть;"
                        "Заезд 1;Заезд 2;Заезд 3;");
    EXPECT_EQ(lines[1], ";;'@Класс¦A;;;;;;;;;;");
    EXPECT_EQ(lines[2], "1;7;'=1+2 Smith;\"'@SUM(1;2)\";'-Team¦2;'+Car; 09.400   151.2 км/ч;0,035;151,200;"
                        " 09.500   150.5 км/ч; 09.400   151.2 км/ч; 09.900   ;");
    EXPECT_EQ(lines[3], "2;8;Пет¦ров; Tab;;; 10.200   140.0 км/ч;;; 10.200   140.0 км/ч;;;");
    EXPECT_EQ(lines[4], ";;--;;;;;;;;;;"); // the program's title of an unregistered class
    EXPECT_EQ(lines[5], "1;99;;;;;;;145,000; 09.800(F)   145.0 км/ч;;;");
    EXPECT_EQ(lines[6], ";;Абсолютный зачет;;;;;;;;;;");
    EXPECT_EQ(lines[7].substr(0, 18), "1;7;'=1+2 Smith;\"'");
    // The rows the workbook is made from keep the texts and the '.' numbers.
    EXPECT_EQ(rows[2].fields[2], "=1+2 Smith");
    EXPECT_EQ(rows[2].fields[7], "0.035");
    EXPECT_EQ(resultsSheet(rows, "x").rows[2].cells[2].text, "=1+2 Smith");
}

// A typed text a spreadsheet would read as a number ("+7" was shown as 7, "007" as 7)
// is written as a formula showing it; the numbers of the table stay bare, and so does
// the class id the program writes as the title of an unregistered class.
TEST(ResultsExport, TypedTextsThatReadAsNumbersStayTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {"+7", "\"=\"\"+7\"\"\""},
        {"-5", "\"=\"\"-5\"\"\""},
        {"007", "\"=\"\"007\"\"\""},
        {"1e5", "\"=\"\"1e5\"\"\""},
        {"3.50", "\"=\"\"3.50\"\"\""},
        {"3,50", "\"=\"\"3,50\"\"\""},
        {"-1E-3", "\"=\"\"-1E-3\"\"\""},
        {"12%", "\"=\"\"12%\"\"\""},
        {" 42 ", "\"=\"\" 42 \"\"\""},
        {".5", "\"=\"\".5\"\"\""},
        {"7", "\"=\"\"7\"\"\""},
        {"+7 999", "'+7 999"},
        {"-Team", "'-Team"},
        {"7 Up", "7 Up"},
        {"1.2.3", "1.2.3"},
        {"e5", "e5"},
        {"+", "'+"},
        {"", ""},
    };
    for (const auto& [text, field] : cases) {
        const std::vector<ExportRow> rows = {
            {{"Место", "№", "Имя", "Город", "Команда", "Модель", "Лучшее RT"}, {0, 1, 2, 3, 4, 5, 7}, false},
            {{"1", "7", text, text, text, text, "0.035"}, {0, 1, 2, 3, 4, 5, 7}, false},
        };
        const std::string f = field;
        EXPECT_EQ(resultsCsv(rows, ","),
                  "Место;№;Имя;Город;Команда;Модель;Лучшее RT;\n1;7;" + f + ";" + f + ";" + f + ";" + f + ";0,035;\n")
            << text;
    }
    const auto titleLine = [](const char* title) {
        return resultsCsv({{{"Имя"}, {2}, false}, {{"", "", title}, {0, 1, 2}, true}}).substr(sizeof("Имя;\n") - 1);
    };
    EXPECT_EQ(titleLine("-1"), ";;-1;\n"); // the lap modes' title of an unregistered class
    EXPECT_EQ(titleLine("--"), ";;--;\n");
    EXPECT_EQ(titleLine("007"), ";;\"=\"\"007\"\"\";\n");
    EXPECT_EQ(titleLine("+7"), ";;\"=\"\"+7\"\"\";\n");
}

TEST(ResultsExport, FiftyTwoColumnsEndAtAZ) {
    ResultsTable t = resultsTableFrame(false);
    for (int i = 0; i < 43; ++i) {
        t.cells[0].push_back("Круг " + std::to_string(i + 1));
        t.columnWidths.push_back(116);
    }
    t.cells.push_back(std::vector<std::string>(52));
    t.cells.back()[2] = "Сток";
    const Sheet sheet = resultsSheet(resultsExportRows(t, t.columnWidths, false), "x");
    EXPECT_EQ(sheet.columnCount, 52);
    test::TempFolder folder;
    ASSERT_TRUE(writeWorkbook(folder / "w.xlsx", sheet).ok());
    EXPECT_NE(run("unzip -p '" + (folder / "w.xlsx").string() + "' xl/worksheets/sheet1.xml")
                  .find("<mergeCell ref=\"A2:AZ2\"/>"),
              std::string::npos);
}

TEST(ResultsExport, AFileThatCannotBeWrittenStopsWithItsName) {
    test::TempFolder folder;
    test::ScriptedOperator op;
    test::RecordingOpener opener;
    const ResultsTable t = dragResultsTable(fixtureView(), names());
    const std::filesystem::path missing = folder / "нет";
    const Status st = exportResults(t, t.columnWidths, 0, missing, "Кубок", ".", opener, op);
    EXPECT_FALSE(st.ok());
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_NE(op.shown[0].find((missing / "Кубок.csv").string()), std::string::npos) << op.shown[0];
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_FALSE(std::filesystem::exists(missing / "Кубок.xlsx"));

    // The text file is written, the workbook is not: its name is in the message.
    std::filesystem::create_directories(folder / "ok" / "Кубок.xlsx" / "x"); // a folder where the file should go
    const Status st2 = exportResults(t, t.columnWidths, 0, folder / "ok", "Кубок", ".", opener, op);
    EXPECT_FALSE(st2.ok());
    ASSERT_EQ(op.shown.size(), 2u);
    EXPECT_NE(op.shown[1].find("Кубок.xlsx"), std::string::npos) << op.shown[1];
    EXPECT_TRUE(opener.opened.empty());
}

} // namespace
} // namespace velmaro
