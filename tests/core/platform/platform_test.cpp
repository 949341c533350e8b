#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "core/platform/csv.h"
#include "core/platform/document_opener.h"
#include "core/platform/files.h"
#include "core/platform/numbers.h"
#include "core/platform/text_codec.h"
#include "core/platform/workbook.h"
#include "fakes/recording_opener.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "fakes/unzip_member.h"

using namespace velmaro;

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporary) {
    test::TempFolder dir;
    ASSERT_TRUE(writeFileAtomic(dir / "a.txt", "old").ok());
    ASSERT_TRUE(writeFileAtomic(dir / "a.txt", "new\n").ok());
    EXPECT_EQ(dir.read("a.txt"), "new\n");
    int count = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++count;
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(writeFileAtomic(dir / "missing" / "a.txt", "x").ok());
}

TEST(Files, LinesReadWithLfOrCrLfAndCp1251Fallback) {
    test::TempFolder dir;
    // "Иван" in CP1251 on the second line, CR LF endings, no final newline.
    dir.write("l.txt", "abc\r\n\xC8\xE2\xE0\xED\r\nПётр\nlast");
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(dir / "l.txt", lines).ok());
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "Иван", "Пётр", "last"}));
    EXPECT_FALSE(readTextLines(dir / "none.txt", lines).ok());
}

TEST(Files, HistoryCopiesInOneSecondBothSurvive) {
    test::TempFolder dir;
    auto p1 = uniqueHistoryPath(dir.path(), "drag_", 1700000000, ".txt");
    EXPECT_EQ(p1.filename(), "drag_1700000000.txt");
    dir.write("drag_1700000000.txt", "x");
    EXPECT_EQ(uniqueHistoryPath(dir.path(), "drag_", 1700000000, ".txt").filename(), "drag_1700000000_2.txt");
}

std::size_t openDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(Files, AtomicWriteLeavesNoDescriptorAndNoTemporaryOnAnyPath) {
    test::TempFolder dir;
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(writeFileAtomic(dir / "a.txt", "text " + std::to_string(i)).ok());
        EXPECT_FALSE(writeFileAtomic(dir / "missing" / "a.txt", "x").ok()); // cannot create
    }
    std::filesystem::create_directories(dir / "taken");
    EXPECT_FALSE(writeFileAtomic(dir / "taken", "x").ok()); // cannot replace a folder
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(dir.read("a.txt"), "text 49");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "taken"}));
}

TEST(Files, LeftoverTemporariesOfDeadWritersAreRemoved) {
    test::TempFolder dir;
    const std::string own = std::to_string(::getpid());
    const std::vector<std::string> leftovers = {"drag.txt.tmp999999999_5", "racers.txt.tmp" + own + "_17"};
    const std::vector<std::string> kept = {"drag.txt",          "a.tmp",       "x.tmpabc_1", ".tmp12_3",
                                           "hitlog.txt.tmp12_", "b.txt.tmp1_3" /* pid 1 runs */};
    for (const auto& name : leftovers) dir.write(name, "half");
    for (const auto& name : kept) dir.write(name, "keep");
    dir.write("sub/c.txt.tmp999999999_1", "not looked at");
    EXPECT_EQ(removeLeftoverTemporaries(dir.path()), leftovers.size());
    for (const auto& name : leftovers) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / "sub/c.txt.tmp999999999_1"));
    EXPECT_EQ(removeLeftoverTemporaries(dir / "no such folder"), 0u);
}

TEST(Numbers, DotIsTheOnlySeparator) {
    EXPECT_EQ(formatFixed(12.5, 3), "12.500");
    EXPECT_EQ(formatFixed(-0.4, 1), "-0.4");
    EXPECT_EQ(formatFixed(std::nan(""), 2), "0.00");
    EXPECT_EQ(parseDouble("3.25"), 3.25);
    EXPECT_FALSE(parseDouble("3,25"));
    EXPECT_EQ(parseOperatorNumber("3,25"), 3.25);
    EXPECT_FALSE(parseInteger("12x"));
    EXPECT_EQ(parseInteger(" -7 "), -7);
    EXPECT_FALSE(parseIntegerInRange("70000", 0, 65535));
}

TEST(Numbers, OneSignAndFiniteValuesOnly) {
    EXPECT_EQ(parseInteger("+12"), 12);
    EXPECT_EQ(parseOperatorNumber(" +1,5 "), 1.5);
    for (const char* bad : {"+-12", "-+12", "--1", "++1", "+", "-", " ", "9223372036854775808"})
        EXPECT_FALSE(parseInteger(bad)) << bad;
    for (const char* bad : {"inf", "-inf", "+inf", "nan", "NAN", "infinity", "+-1,5", "1e999", "0x10"})
        EXPECT_FALSE(parseOperatorNumber(bad)) << bad;
}

TEST(TextCodec, Utf8HelpersKeepCharactersWhole) {
    EXPECT_TRUE(isValidUtf8("Пётр"));
    EXPECT_FALSE(isValidUtf8("\xC8\xE2"));
    EXPECT_EQ(utf8Left("Пётр", 2), "Пё");
    EXPECT_EQ(sanitizeField("a,b\tc", ","), "a b c");
}

TEST(Csv, FieldsWithSeparatorQuoteOrLineEndAreQuoted) {
    EXPECT_EQ(csvLine({"12", "Иванов", "a;b", "say \"hi\"", "two\nlines", ""}),
              "12;Иванов;\"a;b\";\"say \"\"hi\"\"\";\"two\nlines\";;\n");
}

// A NUL cut an imported name where it was passed on as a C string; a line end broke the
// records it was written into.
TEST(TextCodec, WithoutControlsDropsThemAndKeepsWordsApart) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("Иван\0ов", 13), "Иванов"},
        {"a\tb\nc\rd\ve\ff", "a b c d e f"}, // blank-like controls keep the words apart
        {"a\x01\x1F\x7F"
         "b",
         "ab"},
        {"a\xC2\x85"
         "b\xC2\x9F",
         "ab"},                                   // C1 controls (NEL, APC)
        {"\xC2\xA0\xC2\xA6", "\xC2\xA0\xC2\xA6"}, // no-break space and '¦' are no controls
        {"Пётр @=|", "Пётр @=|"},
        {"\xC2", "\xC2"},
        {"", ""},
    };
    for (const auto& [text, clean] : cases) EXPECT_EQ(withoutControls(text), clean) << ::testing::PrintToString(text);
}

// A text a spreadsheet would take for a formula gets a leading apostrophe.
TEST(Csv, TypedTextsThatWouldRunAsFormulasGetAnApostrophe) {
    const std::pair<const char*, const char*> cases[] = {
        {"=1+2 Smith", "'=1+2 Smith"},
        {"+7 999", "'+7 999"},
        {"-Team", "'-Team"},
        {"@SUM(1;2)", "'@SUM(1;2)"},
        {"\tx", "'\tx"},
        {"\rx", "'\rx"},
        {"Smith=1", "Smith=1"},
        {" =1", " =1"},
        {"'quoted", "'quoted"},
        {"", ""},
        {"Пётр", "Пётр"},
    };
    for (const auto& [text, cell] : cases) EXPECT_EQ(csvText(text), cell) << text;
    EXPECT_EQ(csvLine({csvText("=HYPERLINK(\"x\";\"y\")")}), "\"'=HYPERLINK(\"\"x\"\";\"\"y\"\")\";\n");
}

TEST(Workbook, CellsFromTextKeepLeadingZerosAndTextAsText) {
    struct Row {
        const char* text;
        bool number;
    } rows[] = {{"12", true},   {"-3.25", true}, {"0.5", true},  {"07", false}, {"1.", false},
                {"1,5", false}, {"", false},     {"12a", false}, {"-", false},  {"1234567890123456", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(sheetCellFromText(row.text).number, row.number);
    }
}

using velmaro::test::unzipMember;

TEST(Workbook, TitleRowsMergeAcrossTheTableAndTextsSurvive) {
    test::TempFolder dir;
    Sheet sheet;
    sheet.name = "Кубок: этап [1]";
    sheet.columnCount = 3;
    sheet.rows.push_back({{{"№"}, {"ФИО"}, {"Время"}}, false, true});
    sheet.rows.push_back({{{"Стрит"}}, true, false});
    sheet.rows.push_back({{sheetCellFromText("7"), {"Пётр \"Быстрый\""}, sheetCellFromText("10.25")}, false, false});
    ASSERT_TRUE(writeWorkbook(dir / "out.xlsx", sheet).ok());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.xlsx.tmp"));

    const std::string xml = unzipMember(dir / "out.xlsx", "xl/worksheets/sheet1.xml");
    const std::string strings = unzipMember(dir / "out.xlsx", "xl/sharedStrings.xml");
    const std::string book = unzipMember(dir / "out.xlsx", "xl/workbook.xml");
    EXPECT_NE(xml.find("<mergeCell ref=\"A2:C2\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<v>10.25</v>"), std::string::npos);
    EXPECT_NE(strings.find("<t>Пётр \"Быстрый\"</t>"), std::string::npos) << strings;
    EXPECT_NE(strings.find("Стрит"), std::string::npos);
    EXPECT_NE(book.find("name=\"Кубок_ этап _1_\""), std::string::npos) << book;

    EXPECT_FALSE(writeWorkbook(dir / "missing" / "out.xlsx", sheet).ok());
}

// After an export the log names every file written; when no application takes the
// workbook, the operator of the process is told where the files are, once.
TEST(ExportedFiles, LoggedAndLocatedWhenNothingOpensThem) {
    test::ScriptedOperator op;
    test::ScopedSaveReportLog scoped(op);
    test::RecordingOpener opener;
    const std::filesystem::path csv = "/event/Кубок.csv", book = "/event/Кубок.xlsx";
    showExportedFiles(opener, op, {csv, book}, book);
    EXPECT_EQ(opener.opened, std::vector<std::filesystem::path>{book});
    EXPECT_EQ(op.logLines,
              (std::vector<std::string>{"Файл сохранен: /event/Кубок.csv", "Файл сохранен: /event/Кубок.xlsx"}));
    EXPECT_TRUE(op.shown.empty());

    opener.fails = true;
    showExportedFiles(opener, op, {csv, book}, book);
    EXPECT_EQ(op.shown, std::vector<std::string>{"Файлы сохранены:\n/event/Кубок.csv\n/event/Кубок.xlsx"});
    showExportedFiles(opener, op, {book}, book);
    EXPECT_EQ(op.shown.back(), "Файл сохранен: /event/Кубок.xlsx");
}
