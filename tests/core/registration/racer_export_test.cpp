// The racer list grouped by class: racers.csv, racers.xlsx and the POS start list.
#include "core/registration/racer_export.h"

#include <algorithm>

#include "core/platform/document_opener.h"
#include "core/registration/start_list.h"
#include "fakes/recording_canvas.h"
#include "fakes/recording_opener.h"
#include "fakes/unzip_member.h"
#include "registry_fixture.h"

namespace velmaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using test::RecordingOpener;

// Two classes (one named with ';' and '"'), a racer in both, racers without a usable
// class, a racer numbered 0, numbers 2 and 10 in one class.
class RacerExportTest : public RegistryTest {
protected:
    RacerExportTest() {
        cls(1, "Стрит");
        cls(2, "Pro; \"A\"");
        TRacerItem& ivanov = racer(10, "Иванов Иван", {1});
        ivanov.carModel = "ВАЗ 2101";
        ivanov.city = "Тверь";
        ivanov.team = "Ракета";
        TRacerItem& petrov = racer(2, "Петров; \"Пётр\"", {1, 2}, 345);
        petrov.carModel = "BMW";
        petrov.city = "Клин";
        racer(0, "Нулевой", {1});
        racer(8, "Орлов", {9}); // a class id of no class
        racer(7, "Сидоров");
    }
    RecordingOpener opener;
};

const char* const kExpectedCsv = R"csv(№ п/п;№ борт.;Метка;ФИО;Модель;Город;Команда;
;"=""Pro; """"A""""""";
1;2;345;"Петров; ""Пётр""";BMW;Клин;;
;"=""Стрит""";
1;2;345;"Петров; ""Пётр""";BMW;Клин;;
2;10;;Иванов Иван;ВАЗ 2101;Тверь;Ракета;
;"=""Без класса""";
1;7;;Сидоров;;;;
2;8;;Орлов;;;;
)csv";

TEST_F(RacerExportTest, RowsGoByClassWithoutClassLastThenByNumber) {
    std::vector<std::pair<std::string, std::uint32_t>> got;
    for (const auto& row : racerClassRows(reg)) got.emplace_back(row.classText, row.racer->number);
    EXPECT_THAT(got, ElementsAre(std::pair<std::string, std::uint32_t>{"Pro; \"A\"", 2}, std::pair{"Стрит", 2u},
                                 std::pair{"Стрит", 10u}, std::pair{"Без класса", 7u}, std::pair{"Без класса", 8u}));
}

TEST_F(RacerExportTest, WritesBothFilesAndOpensTheWorkbook) {
    ASSERT_TRUE(exportRacerList(reg, tmp / "event", "Кубок 2024", opener, op).ok());
    EXPECT_EQ(eventFile("racers.csv"), kExpectedCsv);
    EXPECT_THAT(opener.opened, ElementsAre(tmp / "event" / "racers.xlsx"));
    EXPECT_THAT(op.shown, IsEmpty());
    EXPECT_THAT(op.logLines, ElementsAre("Файл сохранен: " + (tmp / "event" / "racers.csv").string(),
                                         "Файл сохранен: " + (tmp / "event" / "racers.xlsx").string()));

    const auto book = tmp / "event" / "racers.xlsx";
    EXPECT_THAT(unzipMember(book, "xl/workbook.xml"), HasSubstr("name=\"Кубок 2024\""));
    const std::string sheet = unzipMember(book, "xl/worksheets/sheet1.xml");
    EXPECT_THAT(sheet, HasSubstr("<mergeCells count=\"3\">"));
    for (const char* merged : {"A2:G2", "A4:G4", "A7:G7"})
        EXPECT_THAT(sheet, HasSubstr(std::string("ref=\"") + merged));
    const std::string strings = unzipMember(book, "xl/sharedStrings.xml");
    for (const char* text : {"№ п/п", "Команда", "Стрит", "Без класса", "Иванов Иван", "ВАЗ 2101", "Ракета"})
        EXPECT_THAT(strings, HasSubstr(std::string("<t>") + text + "</t>")) << text;
    EXPECT_THAT(strings, HasSubstr("<t>Петров; \"Пётр\"</t>"));
    EXPECT_THAT(strings, Not(HasSubstr("Нулевой")));
}

TEST_F(RacerExportTest, AFileThatCannotBeWrittenStopsWithItsName) {
    const auto missing = tmp / "no-such-folder";
    EXPECT_FALSE(exportRacerList(reg, missing, "E", opener, op).ok());
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_THAT(op.shown[0], HasSubstr((missing / "racers.csv").string()));
    EXPECT_THAT(opener.opened, IsEmpty());
}

TEST_F(RegistryTest, ExportWithoutRacersWritesNothing) {
    RecordingOpener opener;
    EXPECT_TRUE(exportRacerList(reg, tmp / "event", "E", opener, op).ok());
    EXPECT_FALSE(std::filesystem::exists(tmp / "event" / "racers.csv"));
    EXPECT_THAT(opener.opened, IsEmpty());
}

// The recorded texts of a start list, in drawing order.
std::vector<std::string> printedTexts(const RecordingCanvas& canvas) {
    std::vector<std::string> texts;
    for (const auto& c : canvas.calls)
        if (c.op == "text" || c.op == "textOut" || c.op == "newPage")
            texts.push_back(c.op == "newPage" ? "<page>" : c.text);
    return texts;
}

TEST_F(RacerExportTest, StartListRunsOverPagesWithTheHeaderRepeated) {
    // Lines are 13 high: a 100-high page holds the header and six table lines.
    RecordingPrinter printer(300, 100);
    StartListPage page;
    page.footerFile = {"Спасибо!"};
    page.footer = {"F1", "F2"};
    ASSERT_TRUE(printStartList(printer, reg, page).ok());
    EXPECT_TRUE(printer.ended);
    EXPECT_THAT(printedTexts(printer.recorded),
                ElementsAre("#", "Номер", " Имя", " Pro; \"A\"", "1", "2", " Петров; \"Пётр\"", " Стрит", "1", "2",
                            " Петров; \"Пётр\"", "2", "10", " Иванов Иван", "<page>", "#", "Номер", " Имя",
                            " Без класса", "1", "7", " Сидоров", "2", "8", " Орлов", "Спасибо!", "<page>", "F1", "F2"));
    // Every table line is 14 high and starts 13 below the one before.
    const auto rects = printer.recorded.named("rect");
    ASSERT_GE(rects.size(), 4u);
    EXPECT_EQ(rects[0].rect, (PaintRect{0, 0, 28, 14}));   // " 00 " is 28 wide
    EXPECT_EQ(rects[1].rect, (PaintRect{27, 0, 112, 14})); // " Номер " is 84 wide
    EXPECT_EQ(rects[2].rect, (PaintRect{111, 0, 300, 14}));
    EXPECT_EQ(rects[3].rect, (PaintRect{0, 13, 300, 27})); // the first class bar
}

TEST_F(RacerExportTest, StartListClassBarNeverEndsAPageAndHeadsAContinuedClass) {
    // A 50-high page holds the header and two more lines.
    RecordingPrinter printer(300, 50);
    ASSERT_TRUE(printStartList(printer, reg, {}).ok());
    std::vector<std::string> texts = printedTexts(printer.recorded);
    const auto lastRacer = std::find(texts.begin(), texts.end(), " Орлов");
    ASSERT_NE(lastRacer, texts.end());
    texts.erase(lastRacer + 1, texts.end()); // the table alone
    EXPECT_THAT(texts, ElementsAre("#", "Номер", " Имя", " Pro; \"A\"", "1", "2", " Петров; \"Пётр\"",      //
                                   "<page>", "#", "Номер", " Имя", " Стрит", "1", "2", " Петров; \"Пётр\"", //
                                   "<page>", "#", "Номер", " Имя", " Стрит", "2", "10", " Иванов Иван",     //
                                   "<page>", "#", "Номер", " Имя", " Без класса", "1", "7", " Сидоров",     //
                                   "<page>", "#", "Номер", " Имя", " Без класса", "2", "8", " Орлов"));
}

TEST_F(RegistryTest, StartListWithoutRacersPrintsNothing) {
    RecordingPrinter printer(300, 100);
    EXPECT_TRUE(printStartList(printer, reg, {}).ok());
    EXPECT_FALSE(printer.begun);
}

} // namespace
} // namespace velmaro::test
