// The registration window's commands on the registry: limits, classes, racers, their
// messages and the files they write.
#include "core/registration/registration_edits.h"

#include <functional>

#include "registry_fixture.h"

namespace velmaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(LimitField, ReadsSecondsToTheNearestTenthAndRefusesWhatIsNotANumber) {
    struct Row {
        const char* text;
        std::optional<std::int32_t> tenths;
    } rows[] = {
        {"4.1", 41}, // a float scan truncating 40.99999 would give 40
        {"9,5", 95},
        {"11", 110},
        {"0.7", 7},
        {"12.3", 123},
        {"4.14", 41},
        {"", 0},
        {"  ", 0},
        {"abc", std::nullopt},
        {"4.1x", std::nullopt},
        {"-1", std::nullopt},
        {"1e9", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(parseLimitTenths(row.text), row.tenths);
    }
    EXPECT_EQ(limitFieldText(41), "4.1");
    EXPECT_EQ(limitFieldText(110), "11.0");
    EXPECT_EQ(limitFieldText(0), "");
}

TEST(ClassRows, LimitsTextHasOnlyThePiecesOfLimitsSet) {
    TClassItem cls(3, "Pro");
    EXPECT_EQ(classLimitsText(cls), "");
    cls.maxTime = 110;
    EXPECT_EQ(classLimitsText(cls), " до  10.999 с");
    cls.minTime = 40;
    cls.breakoutLimit = 95;
    EXPECT_EQ(classLimitsText(cls), "от  04.000 с, до  10.999 с, Breakout:  09.500 c");
    EXPECT_THAT(classRowTexts(cls, 0), ElementsAre("1", "Pro", classLimitsText(cls)));
}

TEST_F(RegistryTest, RacerRowNamesItsExistingClassesInItsOrder) {
    cls(1, "A");
    cls(2, "B");
    TRacerItem& r = racer(5, "Иванов", {2, 9, 1}, 0);
    r.city = "Тверь";
    EXPECT_THAT(racerRowTexts(reg, r), ElementsAre("5", "", "Иванов", "", "B, A", "Тверь", ""));
}

TEST_F(RegistryTest, AddClass_SameNameAddsNothingOtherCaseAddsAndLimitsAreRead) {
    cls(0, "Pro");
    reg.nextClassId = 1;
    EXPECT_EQ(addClassFromFields(reg, {"Pro", "1", "2", ""}, op), nullptr);
    EXPECT_THAT(op.shown, IsEmpty());

    TClassItem* added = addClassFromFields(reg, {"PRO", "4.1", "11", "7"}, op);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->id, 1);
    EXPECT_EQ(reg.nextClassId, 2);
    EXPECT_EQ(added->minTime, 41);
    EXPECT_EQ(added->maxTime, 110);
    EXPECT_EQ(added->breakoutLimit, 70); // taken on adding as on changing
    EXPECT_EQ(eventFile("classes.txt"), "0:Pro\t0,0,0\n1:PRO\t41,110,70\n");
    EXPECT_EQ(addClassFromFields(reg, {"Street", "", "", "x"}, op), nullptr);
    EXPECT_THAT(op.shown, ElementsAre("Неверно указан лимит времени: x"));
}

TEST_F(RegistryTest, AClassWithoutANameIsRefusedWithAMessageOnEveryPath) {
    TClassItem& pro = cls(0, "Pro");
    const std::function<bool(const std::string&)> paths[] = {
        [&](const std::string& name) {
            return addClassFromFields(reg, {name, "", "", ""}, op) != nullptr;
        },
        [&](const std::string& name) {
            return changeClassFromFields(reg, pro, {name, "5", "", ""}, op);
        },
        [&](const std::string& name) { return editClassCell(reg, 0, kClassColName, name, op); },
    };
    for (const auto& path : paths) {
        for (const char* name : {"", "  ", "\t"}) {
            op.shown.clear();
            EXPECT_FALSE(path(name)) << "«" << name << "»";
            EXPECT_THAT(op.shown, ElementsAre("Не указано название класса!"));
        }
    }
    ASSERT_EQ(reg.classes.size(), 1u);
    EXPECT_EQ(pro.name, "Pro");
    EXPECT_EQ(pro.minTime, 0);
    EXPECT_FALSE(std::filesystem::exists(tmp / "event/classes.txt"));
}

TEST_F(RegistryTest, AddClass_UnreadableLimitIsRefusedWithAMessage) {
    EXPECT_EQ(addClassFromFields(reg, {"Street", "abc", "", ""}, op), nullptr);
    EXPECT_THAT(op.shown, ElementsAre("Неверно указан лимит времени: abc"));
    EXPECT_THAT(reg.classes, IsEmpty());
    EXPECT_FALSE(std::filesystem::exists(tmp / "event/classes.txt"));
}

TEST_F(RegistryTest, ChangeClass_ContradictingLimitsAreStoredAndReportedOncePerContradiction) {
    struct Row {
        const char* name;
        ClassFields fields;
        std::size_t messages;
    } rows[] = {
        {"upper below lower", {"X", "6", "5", ""}, 1},
        {"lower below breakout", {"X", "6", "", "7"}, 1},
        {"both", {"X", "6", "5", "7"}, 2},
        {"sound", {"X", "6", "9", "5"}, 0},
    };
    TClassItem& c = cls(0, "Pro");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        op.shown.clear();
        EXPECT_TRUE(changeClassFromFields(reg, c, row.fields, op));
        EXPECT_EQ(op.shown.size(), row.messages);
        for (const auto& text : op.shown) EXPECT_EQ(text, "Ошибка: лимиты времени указаны неверно!");
        EXPECT_EQ(c.minTime, *parseLimitTenths(row.fields.minTime));
        EXPECT_EQ(c.maxTime, *parseLimitTenths(row.fields.maxTime));
        EXPECT_EQ(c.breakoutLimit, *parseLimitTenths(row.fields.breakoutLimit));
    }
    EXPECT_EQ(c.name, "X");
    EXPECT_EQ(eventFile("classes.txt"), "0:X\t60,90,50\n");
}

TEST_F(RegistryTest, AddRacer_RefusedNumbersChangeNothing) {
    cls(1, "Pro").racerCount = 1;
    racer(7, "Семь", {1});
    struct Row {
        const char* number;
        const char* message;
    } rows[] = {
        {"07", "Участник с номером 7\n уже зарегистрирован"}, // the parsed value collides, not the text
        {"7", "Участник с номером 7\n уже зарегистрирован"},  {"-3", "Неверно указан номер участника!"},
        {"abc", "Неверно указан номер участника!"},           {"", "Неверно указан номер участника!"},
        {"99999999999", "Неверно указан номер участника!"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        op.shown.clear();
        RacerFields f;
        f.number = row.number;
        f.ticked = {true};
        EXPECT_EQ(addRacerFromFields(reg, f, op), nullptr);
        EXPECT_THAT(op.shown, ElementsAre(row.message));
        EXPECT_EQ(reg.racers.size(), 1u);
        EXPECT_EQ(reg.classes[0]->racerCount, 1);
    }
    EXPECT_FALSE(std::filesystem::exists(tmp / "event/racers.txt"));
}

TEST_F(RegistryTest, AddRacer_WarningsStillAddAndEverythingIsSaved) {
    racer(0, "Без номера");
    cls(1, "Pro");
    cls(2, "Street");
    RacerFields f{"0", "x12", "Петров", "ВАЗ", "Тверь", "Ракета", {false, false}};
    TRacerItem* a = addRacerFromFields(reg, f, op); // 0 never collides with another 0
    ASSERT_NE(a, nullptr);
    EXPECT_THAT(op.shown, ElementsAre("Ошибка", "Не указан класс, в котором заявлен участник"));
    EXPECT_EQ(a->tag, 0);

    op.shown.clear();
    f = {"12", "345", "Сидоров", "Audi", "Клин", "", {true, true}};
    TRacerItem* b = addRacerFromFields(reg, f, op);
    ASSERT_NE(b, nullptr);
    EXPECT_THAT(op.shown, IsEmpty());
    EXPECT_EQ(b->tag, 345);
    EXPECT_THAT(b->classIds, ElementsAre(1, 2));
    EXPECT_EQ(reg.classes[0]->racerCount, 1);
    EXPECT_EQ(reg.classes[1]->racerCount, 1);
    EXPECT_NE(eventFile("racers.txt").find("12,Сидоров,Audi,Клин,2:1,2,,,345,"), std::string::npos);
    EXPECT_NE(tmp.read("DB/racersdb.txt").find("Сидоров,Audi,Клин,"), std::string::npos);
}

TEST_F(RegistryTest, AddRacer_NoClassWarningOnlyWhenClassesExist) {
    RacerFields f;
    f.number = "5";
    ASSERT_NE(addRacerFromFields(reg, f, op), nullptr);
    EXPECT_THAT(op.shown, IsEmpty());
}

TEST_F(RegistryTest, ChangeRacer_ZeroCollidesWithAnotherZeroAndClassCountsFollow) {
    cls(1, "Pro").racerCount = 1;
    cls(2, "Street");
    racer(0, "Ноль");
    racer(5, "Пять", {1});
    RacerFields f = racerFieldsOf(reg, *reg.racers[1]);
    f.number = "0";
    EXPECT_FALSE(changeRacerFromFields(reg, 1, f, op));
    EXPECT_THAT(op.shown, ElementsAre("Участник с номером 0\n уже зарегистрирован"));
    EXPECT_EQ(reg.racers[1]->number, 5u);

    f.number = "5"; // its own number again
    f.ticked = {false, true};
    f.city = "Орёл";
    EXPECT_TRUE(changeRacerFromFields(reg, 1, f, op));
    EXPECT_THAT(reg.racers[1]->classIds, ElementsAre(2));
    EXPECT_EQ(reg.racers[1]->city, "Орёл");
    EXPECT_EQ(reg.classes[0]->racerCount, 0);
    EXPECT_EQ(reg.classes[1]->racerCount, 1);
}

TEST_F(RegistryTest, RemoveRacer_TakesTheRowEvenWhenNumbersRepeat) {
    cls(1, "Pro").racerCount = 2;
    racer(4, "Первый", {1});
    racer(4, "Второй", {1});
    op.yesNoAnswers = {false, true};
    EXPECT_FALSE(removeRacerAt(reg, 1, op));
    EXPECT_EQ(reg.racers.size(), 2u);
    EXPECT_TRUE(removeRacerAt(reg, 1, op));
    EXPECT_THAT(op.shown, ElementsAre("Удалить участника №4 - Второй?", "Удалить участника №4 - Второй?"));
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->name, "Первый");
    EXPECT_EQ(reg.classes[0]->racerCount, 1);
    EXPECT_EQ(eventFile("racers.txt").find("Второй"), std::string::npos);
}

TEST_F(RegistryTest, RemoveClass_LeavesRacersWithoutItAndKeepsTheRecordForItsPage) {
    TClassItem* pro = &cls(1, "Pro");
    cls(2, "Street");
    racer(3, "A", {1});
    racer(4, "B", {1, 2});
    op.yesNoAnswers = {true};
    EXPECT_TRUE(removeClassAt(reg, 0, op));
    EXPECT_THAT(op.shown, ElementsAre("Удалить класс \"Pro\"?"));
    EXPECT_THAT(reg.racers[0]->classIds, IsEmpty());
    EXPECT_THAT(reg.racers[1]->classIds, ElementsAre(2));
    EXPECT_EQ(eventFile("classes.txt"), "2:Street\t0,0,0\n");
    EXPECT_NE(eventFile("racers.txt").find("4,B,,,1:2,"), std::string::npos);
    // The main window's class page still names the record until the event is reloaded.
    EXPECT_EQ(pro->name, "Pro");
    EXPECT_EQ(reg.findClass(1), nullptr);
}

TEST_F(RegistryTest, InPlaceEdits_AreCheckedLikeTheDialog) {
    cls(1, "Pro");
    cls(2, "Street").racerCount = 1;
    racer(7, "Семь", {2});
    racer(8, "Восемь");
    EXPECT_FALSE(editRacerCell(reg, 1, kRacerColNumber, "007", op));
    EXPECT_THAT(op.shown, ElementsAre("Участник с номером 7\n уже зарегистрирован"));
    EXPECT_TRUE(editRacerCell(reg, 1, kRacerColName, "Восемь; \"Ё\"", op));
    EXPECT_TRUE(editRacerCell(reg, 0, kRacerColClasses, "Pro", op));
    EXPECT_THAT(reg.racers[0]->classIds, ElementsAre(1));
    EXPECT_EQ(reg.classes[0]->racerCount, 1);
    EXPECT_EQ(reg.classes[1]->racerCount, 0);
    EXPECT_TRUE(editClassCell(reg, 1, kClassColName, "Стрит", op));
    EXPECT_FALSE(editClassCell(reg, 1, kClassColLimits, "1", op));
    EXPECT_EQ(eventFile("classes.txt"), "1:Pro\t0,0,0\n2:Стрит\t0,0,0\n");
    EXPECT_NE(eventFile("racers.txt").find("Восемь; \"Ё\""), std::string::npos);
}

TEST_F(RegistryTest, SortByColumn_NumbersTagsAndNamesWithoutOverflow) {
    racer(3000000000u, "борис", {}, 5);
    racer(2, "Анна", {}, -2147483647);
    racer(10, "Борис", {}, 2147483647);
    auto order = [&] {
        std::vector<std::string> names;
        for (const auto& r : reg.racers) names.push_back(r->name);
        return names;
    };
    ASSERT_TRUE(sortRacersByColumn(reg, kRacerColNumber));
    EXPECT_THAT(order(), ElementsAre("Анна", "Борис", "борис"));
    ASSERT_TRUE(sortRacersByColumn(reg, kRacerColTag));
    EXPECT_THAT(order(), ElementsAre("Анна", "борис", "Борис"));
    ASSERT_TRUE(sortRacersByColumn(reg, kRacerColName));
    EXPECT_THAT(order(), ElementsAre("Анна", "борис", "Борис"));
    EXPECT_FALSE(sortRacersByColumn(reg, kRacerColCarModel));
}

} // namespace
} // namespace velmaro::test
