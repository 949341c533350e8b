// classes.txt, racers.txt and DB/racersdb.txt: exact lines, the reader's edge lines,
// round trips with Cyrillic texts, nextClassId and what loading builds.
#include <regex>

#include "core/platform/text_codec.h"
#include "registry_fixture.h"

namespace velmaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::regex kGuidForm(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");

TEST(RegistryLines, WrittenFormats) {
    TClassItem pro(3, "Pro");
    pro.minTime = 95;
    pro.maxTime = 110;
    EXPECT_EQ(TRegistry::classLine(pro), "3:Pro\t95,110,0");

    TRacerItem r(12);
    r.name = "A";
    r.carModel = "B";
    r.city = "C";
    r.classIds = {0, 3};
    r.team = "D";
    r.guid = "G";
    EXPECT_EQ(TRegistry::racerLine(r), "12,A,B,C,2:0,3,,D,0,G,1");
    r.classIds.clear();
    EXPECT_EQ(TRegistry::racerLine(r), "12,A,B,C,0:,D,0,G,1");

    r.team = "D, E";
    EXPECT_EQ(TRegistry::racerDbLine(r), "A,B,C,D, E");
}

// Texts that would shift the fields of a record are blanked when written, so the record
// reads back with the same number of fields.
TEST(RegistryLines, TextsCannotBreakARecord) {
    TRacerItem r(7);
    r.name = "Иванов, Пётр";
    r.carModel = "a\tb";
    r.city = "x\ny";
    r.team = "t,\r";
    r.tag = 5;
    r.classIds = {2};
    const std::string line = TRegistry::racerLine(r);
    EXPECT_EQ(line, "7,Иванов  Пётр,a b,x y,1:2,,t  ,5," + r.guid + ",1");
    const auto back = TRegistry::parseRacerLine(line);
    EXPECT_EQ(back->tag, 5);
    EXPECT_EQ(back->guid, r.guid);
    EXPECT_THAT(back->classIds, ElementsAre(2));

    TClassItem c(1, "Pro\tStock\nX");
    EXPECT_EQ(TRegistry::classLine(c), "1:Pro Stock X\t0,0,0");

    TRacerItem e;
    e.name = "A,B";
    e.team = "Команда, вторая\n";
    EXPECT_EQ(TRegistry::racerDbLine(e), "A B,,,Команда, вторая ");
}

struct ClassCase {
    const char* name;
    const char* line;
    bool parsed;
    std::int32_t id;
    const char* className;
    std::int32_t minTime, maxTime, breakout;
};

TEST(RegistryLines, ClassLineEdges) {
    const ClassCase cases[] = {
        {"no TAB", "4:Street", true, 4, "Street", 0, 0, 0},
        {"two limits", "4:Street\t60,90", true, 4, "Street", 60, 90, 0},
        {"three limits", "4:Street\t60,90,5", true, 4, "Street", 60, 90, 5},
        {"one limit is none", "4:Street\t60", true, 4, "Street", 0, 0, 0},
        {"blanks before numbers", "4:S\t 60, 90, -2", true, 4, "S", 60, 90, -2},
        {"blank before a comma", "4:S\t60 ,90", true, 4, "S", 0, 0, 0},
        {"colon in the name", "4:Pro: Super\t1,2,3", true, 4, "Pro: Super", 1, 2, 3},
        {"TAB right after the colon", "4:\t60,90", true, 4, "", 60, 90, 0},
        {"leading blanks", "  5:Лёгкий", true, 5, "Лёгкий", 0, 0, 0},
        {"no colon", "7", true, 7, "", 0, 0, 0},
        {"id written from -1", "4294967295:Neg\t0,0,0", true, -1, "Neg", 0, 0, 0},
        {"not a number", "x:abc", false, 0, "", 0, 0, 0},
        {"empty", "", false, 0, "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cls = TRegistry::parseClassLine(c.line);
        ASSERT_EQ(cls != nullptr, c.parsed);
        if (!cls) continue;
        EXPECT_EQ(cls->id, c.id);
        EXPECT_EQ(cls->name, c.className);
        EXPECT_EQ(cls->minTime, c.minTime);
        EXPECT_EQ(cls->maxTime, c.maxTime);
        EXPECT_EQ(cls->breakoutLimit, c.breakout);
    }
}

struct RacerCase {
    const char* name;
    const char* line;
    std::uint32_t number;
    const char* racerName;
    const char* city;
    std::vector<std::int32_t> classIds;
    const char* team;
    std::int32_t tag;
    const char* guid; // null: a fresh one
    int admitted;
};

TEST(RegistryLines, RacerLineEdges) {
    const RacerCase cases[] = {
        {"without the optional tail", "15,A,B,C", 15, "A", "C", {}, "", 0, nullptr, 1},
        {"full line", "12,A,B,C,2:0,3,,D,7,G,1", 12, "A", "C", {0, 3}, "D", 7, "G", 1},
        {"no classes", "12,A,B,C,0:,D,0,G,1", 12, "A", "C", {}, "D", 0, "G", 1},
        {"admitted 0 kept", "12,A,B,C,0:,D,0,G,0", 12, "A", "C", {}, "D", 0, "G", 0},
        {"empty GUID", "12,A,B,C,0:,D,0,,1", 12, "A", "C", {}, "D", 0, nullptr, 1},
        {"admitted not a number", "12,A,B,C,0:,D,0,G,x", 12, "A", "C", {}, "D", 0, "G", 1},
        {"tag not a number", "12,A,B,C,0:,D,abc,G", 12, "A", "C", {}, "D", 0, "G", 1},
        {"ends after the team", "12,A,B,C,0:,D", 12, "A", "C", {}, "D", 0, nullptr, 1},
        {"count beyond the line", "12,A,B,C,5:1,2", 12, "A", "C", {1, 2}, "", 0, nullptr, 1},
        {"huge count", "12,A,B,C,4000000000:1,", 12, "A", "C", {1}, "", 0, nullptr, 1},
        {"unparsable class entry", "12,A,B,C,2:x,3,,D", 12, "A", "C", {3}, "D", 0, nullptr, 1},
        {"count without colon", "12,A,B,C,3 classes", 12, "A", "C", {}, "", 0, nullptr, 1},
        {"number only", "12", 12, "", "", {}, "", 0, nullptr, 1},
        {"Cyrillic", "3,Иванов,Лада,Тула,1:4,,Ракета,0,G,1", 3, "Иванов", "Тула", {4}, "Ракета", 0, "G", 1},
        {"class id written from -1", "1,A,B,C,1:4294967295,,D", 1, "A", "C", {-1}, "D", 0, nullptr, 1},
        // A count that disagrees with the list never moves the team, tag or GUID.
        {"count above the list", "7,A,B,C,2:1,,Team,5,{G},1", 7, "A", "C", {1}, "Team", 5, "{G}", 1},
        {"count below the list", "7,A,B,C,1:1,3,,Team,5,{G},1", 7, "A", "C", {1, 3}, "Team", 5, "{G}", 1},
        {"Cyrillic team after a short list", "7,A,B,C,2:1,,Команда,0,G,1", 7, "A", "C", {1}, "Команда", 0, "G", 1},
        {"list without the double comma", "7,A,B,C,1:1,Team,5,G,1", 7, "A", "C", {1}, "Team", 5, "G", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = TRegistry::parseRacerLine(c.line);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->number, c.number);
        EXPECT_EQ(r->name, c.racerName);
        EXPECT_EQ(r->city, c.city);
        EXPECT_THAT(r->classIds, ElementsAreArray(c.classIds));
        EXPECT_EQ(r->team, c.team);
        EXPECT_EQ(r->tag, c.tag);
        if (c.guid)
            EXPECT_EQ(r->guid, c.guid);
        else
            EXPECT_TRUE(std::regex_match(r->guid, kGuidForm)) << r->guid;
        EXPECT_EQ(r->passedToRace, c.admitted);
    }
    EXPECT_EQ(TRegistry::parseRacerLine("A,B,C,D"), nullptr);
    EXPECT_EQ(TRegistry::parseRacerLine(""), nullptr);
    // An empty GUID gets a fresh one on every load.
    EXPECT_NE(TRegistry::parseRacerLine("1,A,B,C")->guid, TRegistry::parseRacerLine("1,A,B,C")->guid);
}

TEST(RegistryLines, DatabaseLineEdges) {
    auto e = TRegistry::parseRacerDbLine("A,B,C,D, E");
    EXPECT_EQ(e->name, "A");
    EXPECT_EQ(e->carModel, "B");
    EXPECT_EQ(e->city, "C");
    EXPECT_EQ(e->team, "D, E");
    e = TRegistry::parseRacerDbLine("Только имя");
    EXPECT_EQ(e->name, "Только имя");
    EXPECT_EQ(e->carModel, "");
    EXPECT_EQ(e->city, "");
    EXPECT_EQ(e->team, "");
}

TEST_F(RegistryTest, RoundTrip_AllThreeFilesWithCyrillic) {
    TClassItem& a = cls(2, "Стрит: до 2.0 л");
    a.minTime = 95;
    a.maxTime = 110;
    a.breakoutLimit = 100;
    TClassItem& b = cls(7, "Pro, открытый");
    b.minTime = -5;
    cls(-1, "Отрицательный");
    TRacerItem& r1 = racer(12, "Иванов Пётр", {2, 7, 99});
    r1.carModel = "Лада Калина";
    r1.city = "Нижний Новгород";
    r1.team = "Ёжики";
    r1.tag = 4455;
    r1.passedToRace = 0;
    racer(0, "", {}); // no number, empty texts
    TRacerItem& r3 = racer(3, "Smith", {-1});
    r3.tag = -17;
    reg.mergeLoadedRacer(r1);
    reg.racerDb.push_back(std::make_unique<TRacerItem>());
    reg.racerDb.back()->name = "Архипов";
    reg.racerDb.back()->team = "Команда, с запятыми";
    reg.sortRacerDb();

    ASSERT_TRUE(reg.saveClasses().ok());
    ASSERT_TRUE(reg.saveRacers().ok());

    TRegistry back;
    back.setDatabaseFile(reg.databaseFile());
    ASSERT_TRUE(back.loadRacerDb().ok());
    back.loadClassesAndRacers(reg.eventFolder());

    reg.refreshClassCounts(); // the reader counts the racers of each class
    ASSERT_EQ(back.classes.size(), reg.classes.size());
    for (std::size_t i = 0; i < reg.classes.size(); ++i) EXPECT_EQ(*back.classes[i], *reg.classes[i]);
    ASSERT_EQ(back.racers.size(), reg.racers.size());
    for (std::size_t i = 0; i < reg.racers.size(); ++i) EXPECT_EQ(*back.racers[i], *reg.racers[i]);
    // The database read back: same entries in the same order; loading then merges in
    // the racers it lacks (the nameless one and Smith).
    ASSERT_EQ(back.racerDb.size(), 4u);
    EXPECT_EQ(back.racerDb[0]->name, "");
    EXPECT_EQ(back.racerDb[1]->name, "Smith");
    EXPECT_EQ(back.racerDb[2]->name, "Архипов");
    EXPECT_EQ(back.racerDb[2]->team, "Команда, с запятыми");
    EXPECT_EQ(back.racerDb[3]->name, "Иванов Пётр");
    EXPECT_EQ(back.racerDb[3]->carModel, "Лада Калина");
    EXPECT_EQ(back.racerDb[3]->team, "Ёжики");
    // The files themselves survive a second save unchanged.
    const std::string classesText = eventFile("classes.txt"), racersText = eventFile("racers.txt");
    back.setEventFolder(reg.eventFolder());
    ASSERT_TRUE(back.saveClasses().ok());
    ASSERT_TRUE(back.saveRacers().ok());
    EXPECT_EQ(eventFile("classes.txt"), classesText);
    EXPECT_EQ(eventFile("racers.txt"), racersText);
}

TEST_F(RegistryTest, NextClassId_FromTheClassesRead) {
    struct Case {
        const char* name;
        const char* file; // null: no classes.txt
        std::int32_t next;
    } cases[] = {
        {"file missing", nullptr, 0},        {"no class lines", "# nothing here\n\n", 1},
        {"ids 2 7 5", "2:A\n7:B\n5:C\n", 8}, {"negative id does not lower it", "4294967295:N\n", 1},
        {"id 0 only", "0:Z\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(reg.eventFolder() / "classes.txt");
        if (c.file) writeEventFile("classes.txt", c.file);
        reg.loadClassesAndRacers();
        EXPECT_EQ(reg.nextClassId, c.next);
    }
}

TEST_F(RegistryTest, NextClassId_StopsAtTheLargestIdAndNewClassesTakeAFreeOne) {
    writeEventFile("classes.txt", "2147483647:X\n0:Y\n");
    reg.loadClassesAndRacers();
    EXPECT_EQ(reg.nextClassId, INT32_MAX); // no signed overflow
    EXPECT_EQ(reg.addClass("A")->id, 1);   // the ids ran out: the lowest free one
    EXPECT_EQ(reg.addClass("B")->id, 2);
    EXPECT_EQ(reg.nextClassId, INT32_MAX);
}

TEST_F(RegistryTest, Load_ShortClassCountKeepsACyrillicTeamWholeThroughASave) {
    writeEventFile("racers.txt", "7,A,B,C,2:1,,Команда,5,{G},1\n");
    reg.loadClassesAndRacers();
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->team, "Команда");
    ASSERT_TRUE(reg.saveRacers().ok());
    EXPECT_EQ(eventFile("racers.txt"), "7,A,B,C,1:1,,Команда,5,{G},1\n");
    reg.loadClassesAndRacers();
    EXPECT_EQ(reg.racers[0]->team, "Команда");
    EXPECT_EQ(reg.racers[0]->tag, 5);
}

TEST_F(RegistryTest, Load_BuildsOnePagePerClassAndCounts) {
    writeEventFile("classes.txt", "1:Стрит\t95,110,0\r\n2:Pro\n");
    writeEventFile("racers.txt", "5,A,B,C,1:1,,T,0,G5,1\r\n6,D,E,F,2:1,2,,T,0,G6,1\nnot a racer\n");
    reg.loadClassesAndRacers();
    EXPECT_THAT(sink.pages, ElementsAre("ТОП - Стрит", "ТОП - Pro"));
    EXPECT_EQ(reg.findClass(1)->racerCount, 2);
    EXPECT_EQ(reg.findClass(2)->racerCount, 1);
    EXPECT_EQ(reg.racers.size(), 2u);
    EXPECT_EQ(reg.racerDb.size(), 2u);

    // Loading again replaces the classes and their pages, never adds to them.
    reg.loadClassesAndRacers();
    EXPECT_EQ(sink.pages.size(), 2u);
    EXPECT_EQ(reg.classes.size(), 2u);
    EXPECT_EQ(reg.findClass(1)->racerCount, 2);
}

TEST_F(RegistryTest, Load_MissingFilesGiveEmptyLists) {
    racer(1, "old");
    reg.loadClassesAndRacers();
    EXPECT_TRUE(reg.classes.empty());
    EXPECT_TRUE(reg.racers.empty());
    EXPECT_TRUE(sink.pages.empty());
}

// A fixed line buffer once turned the tail of a long line into a phantom record.
TEST_F(RegistryTest, Load_LongLineStaysOneRecord) {
    const std::string longName(3000, 'N');
    writeEventFile("classes.txt", "1:" + longName + "\t1,2,3\n");
    writeEventFile("racers.txt", "5," + longName + ",B,C,1:1,,T,0,G,1\n");
    reg.loadClassesAndRacers();
    ASSERT_EQ(reg.classes.size(), 1u);
    EXPECT_EQ(reg.classes[0]->name, longName);
    EXPECT_EQ(reg.classes[0]->breakoutLimit, 3);
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->name, longName);
    EXPECT_EQ(reg.racers[0]->guid, "G");
}

TEST_F(RegistryTest, Load_OldCodePageLinesAreRead) {
    // "Тула" and "Иван" in CP1251, as older consoles wrote them.
    writeEventFile("racers.txt", "5,\xC8\xE2\xE0\xED,B,\xD2\xF3\xEB\xE0\n");
    reg.loadClassesAndRacers();
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->name, "Иван");
    EXPECT_EQ(reg.racers[0]->city, "Тула");
}

TEST_F(RegistryTest, RacerDb_ReadSkipsEmptyLinesAndSorts) {
    tmp.write("DB/racersdb.txt", "Яковлев,A,B,C\r\n\nабрамов,,,\nАбрамов,X,Y,Z,W\n");
    ASSERT_TRUE(reg.loadRacerDb().ok());
    ASSERT_EQ(reg.racerDb.size(), 3u); // same names are not merged
    EXPECT_EQ(reg.racerDb[2]->name, "Яковлев");
    EXPECT_EQ(reg.racerDb[0]->name.substr(2), "брамов");
    EXPECT_EQ(reg.racerDb[2]->team, "C");
}

TEST_F(RegistryTest, RacerDb_MissingFileLeavesItEmpty) {
    reg.racerDb.push_back(std::make_unique<TRacerItem>());
    EXPECT_FALSE(reg.loadRacerDb().ok());
    EXPECT_TRUE(reg.racerDb.empty());
}

TEST_F(RegistryTest, SaveRacers_WritesTheDatabaseEvenWithoutAnEvent) {
    reg.setEventFolder({});
    reg.racerDb.push_back(std::make_unique<TRacerItem>());
    reg.racerDb.back()->name = "A";
    EXPECT_FALSE(reg.saveRacers().ok());
    EXPECT_EQ(tmp.read("DB/racersdb.txt"), "A,,,\n");
}

} // namespace
} // namespace velmaro::test
