// Look-ups, recount, database merges and order, the snapshot and the global accessor.
#include <functional>
#include <regex>
#include <set>

#include "registry_fixture.h"

namespace velmaro::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> dbNames(const TRegistry& reg) {
    std::vector<std::string> names;
    for (const auto& e : reg.racerDb) names.push_back(e->name + "/" + e->city);
    return names;
}

TEST_F(RegistryTest, Lookups_NumberZeroAndTagZeroFindNothing) {
    racer(0, "без номера", {}, 0);
    EXPECT_EQ(reg.findRacer(0), nullptr);
    EXPECT_EQ(reg.findRacerByTag(0), nullptr);
    EXPECT_EQ(reg.racerNumberByTag(0), 0u);
}

TEST_F(RegistryTest, Lookups_UnknownTagGivesTheTagItself) {
    racer(5, "A", {}, 77);
    EXPECT_EQ(reg.findRacerByTag(78), nullptr);
    EXPECT_EQ(reg.racerNumberByTag(78), 78u);
    EXPECT_EQ(reg.racerNumberByTag(77), 5u);
    EXPECT_EQ(reg.findRacerByTag(77)->number, 5u);
}

TEST_F(RegistryTest, Lookups_DuplicatesGiveTheEarlierOne) {
    TRacerItem& first = racer(7, "first", {}, 9);
    racer(7, "second", {}, 9);
    TClassItem& c1 = cls(3, "Pro");
    cls(3, "Pro again");
    EXPECT_EQ(reg.findRacer(7), &first);
    EXPECT_EQ(reg.findRacerByTag(9), &first);
    EXPECT_EQ(reg.findClass(3), &c1);
    EXPECT_EQ(reg.findClass(-1), nullptr);
    EXPECT_EQ(reg.findRacer(8), nullptr);
}

TEST_F(RegistryTest, Recount_TwiceCountsTwiceUnknownIdStays) {
    cls(1, "A");
    cls(2, "B");
    racer(10, "x", {1, 1, 99});
    racer(11, "y", {2, 1});
    reg.refreshClassCounts();
    EXPECT_EQ(reg.findClass(1)->racerCount, 3);
    EXPECT_EQ(reg.findClass(2)->racerCount, 1);
    EXPECT_THAT(reg.racers[0]->classIds, ElementsAre(1, 1, 99));
    EXPECT_TRUE(sink.called("rebuildBracketDrawings"));
    EXPECT_TRUE(sink.called("notifyResultsThread"));
}

TEST_F(RegistryTest, Recount_OtherModesDoNotNotifyResults) {
    sink.mode = 1;
    reg.refreshClassCounts();
    EXPECT_TRUE(sink.called("rebuildBracketDrawings"));
    EXPECT_FALSE(sink.called("notifyResultsThread"));
}

TEST_F(RegistryTest, AddRacer_AppendsDefaultsAndSaves) {
    TRacerItem* r = reg.addRacer(42);
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(r->number, 42u);
    EXPECT_EQ(r->passedToRace, 1);
    EXPECT_TRUE(r->classIds.empty());
    EXPECT_EQ(reg.numberedRacerCount(), "1");
    EXPECT_EQ(eventFile("racers.txt"), "42,,,,0:,,0," + r->guid + ",1\n");
    reg.addRacer(0);
    EXPECT_EQ(reg.numberedRacerCount(), "1");
}

TEST(Guid, EachNewRecordHasItsOwn) {
    TRacerItem a, b;
    EXPECT_NE(a.guid, b.guid);
    EXPECT_EQ(a.guid.size(), 38u);
}

TEST(DbOrder, EmptyFirstCaseIgnoredCyrillicAlphabet) {
    const auto cmp = [](const std::string& a, const std::string& b) {
        TRacerItem x, y;
        x.name = a;
        y.name = b;
        return compareDbRacersByName(x, y);
    };
    EXPECT_EQ(cmp("", ""), 0);
    EXPECT_EQ(cmp("Иванов", "Иванов"), 0);
    EXPECT_LT(cmp("", "A"), 0);
    EXPECT_GT(cmp("a", ""), 0);
    EXPECT_LT(cmp("abc", "ABD"), 0);
    EXPECT_LT(cmp("Zeta", "Алексеев"), 0);   // Latin before Cyrillic
    EXPECT_LT(cmp("андреев", "Борисов"), 0); // case ignored
    EXPECT_LT(cmp("Ежов", "Ёлкин"), 0);      // Ё right after Е ...
    EXPECT_LT(cmp("Ёлкин", "Жуков"), 0);     // ... and before Ж
    EXPECT_LT(cmp("Ян", "Яна"), 0);          // a prefix first
}

TEST_F(RegistryTest, MergeLoaded_SameNameAndCityTakesTeamOnly) {
    TRacerItem loaded(1);
    loaded.name = "Петров";
    loaded.city = "Тула";
    loaded.carModel = "ВАЗ";
    loaded.team = "Старая";
    reg.mergeLoadedRacer(loaded);
    loaded.team = "Новая";
    loaded.carModel = "Лада";
    reg.mergeLoadedRacer(loaded);
    ASSERT_EQ(reg.racerDb.size(), 1u);
    EXPECT_EQ(reg.racerDb[0]->team, "Новая");
    EXPECT_EQ(reg.racerDb[0]->carModel, "ВАЗ");
}

TEST_F(RegistryTest, MergeEdited_SameNameAndCityTakesCarModelOnly) {
    TRacerItem edited(1);
    edited.name = "Петров";
    edited.city = "Тула";
    edited.carModel = "ВАЗ";
    edited.team = "Старая";
    reg.mergeEditedRacer(edited);
    edited.team = "Новая";
    edited.carModel = "Лада";
    reg.mergeEditedRacer(edited);
    ASSERT_EQ(reg.racerDb.size(), 1u);
    EXPECT_EQ(reg.racerDb[0]->team, "Старая");
    EXPECT_EQ(reg.racerDb[0]->carModel, "Лада");
}

TEST_F(RegistryTest, Merge_OtherCityOrCaseIsNewEntryAtItsSortedPlace) {
    const auto merge = [&](const std::string& name, const std::string& city, bool edited) {
        TRacerItem r(1);
        r.name = name;
        r.city = city;
        edited ? reg.mergeEditedRacer(r) : reg.mergeLoadedRacer(r);
    };
    merge("Сидоров", "Тула", false);
    merge("Борисов", "Орёл", true);
    merge("сидоров", "Тула", false);  // another letter case: a new entry
    merge("Сидоров", "Москва", true); // another city: a new entry
    merge("Алексеев", "Тула", false);
    ASSERT_EQ(reg.racerDb.size(), 5u);
    EXPECT_EQ(dbNames(reg)[0], "Алексеев/Тула");
    EXPECT_EQ(dbNames(reg)[1], "Борисов/Орёл");
    // An entry only updated keeps its place.
    const TRacerItem* before = reg.racerDb[1].get();
    merge("Борисов", "Орёл", false);
    EXPECT_EQ(reg.racerDb[1].get(), before);
}

TEST_F(RegistryTest, RemoveClass_DropsIdFromEveryRacer) {
    cls(1, "A");
    cls(2, "B");
    racer(10, "x", {1, 2, 1});
    racer(11, "y", {1});
    reg.removeClass(0);
    ASSERT_EQ(reg.classes.size(), 1u);
    EXPECT_THAT(reg.racers[0]->classIds, ElementsAre(2));
    EXPECT_TRUE(reg.racers[1]->classIds.empty());
}

TEST_F(RegistryTest, AddClass_TakesNextClassId) {
    reg.nextClassId = 8;
    EXPECT_EQ(reg.addClass("Pro", 95, 110)->id, 8);
    EXPECT_EQ(reg.nextClassId, 9);
}

TEST_F(RegistryTest, Snapshot_IsACopyThatOutlivesTheRecords) {
    cls(1, "Pro");
    racer(5, "Иванов", {1});
    const auto snap = reg.snapshot();
    reg.racers.clear();
    reg.classes.clear();
    ASSERT_NE(snap->findRacer(5), nullptr);
    EXPECT_EQ(snap->findRacer(5)->name, "Иванов");
    EXPECT_EQ(snap->findRacer(0), nullptr);
    EXPECT_EQ(snap->findClass(1)->name, "Pro");
    EXPECT_EQ(snap->findClass(2), nullptr);
}

TEST_F(RegistryTest, Snapshot_GivenAgainUntilAnythingChangesInPlace) {
    cls(1, "Pro");
    racer(5, "Иванов", {1});
    const auto first = reg.snapshot();
    // The class results are not part of it: filling them keeps the same snapshot.
    reg.classes[0]->results.emplace_back();
    EXPECT_EQ(reg.snapshot(), first);
    EXPECT_TRUE(first->classes[0].results.empty());
    // Edits made in place, with nobody told, still give a fresh one.
    const std::vector<std::function<void()>> edits = {
        [&] { reg.racers[0]->name = "Петров"; },     [&] { reg.racers[0]->classIds.push_back(2); },
        [&] { reg.racers[0]->passedToRace = 0; },    [&] { reg.classes[0]->breakoutLimit = 95; },
        [&] { reg.classes[0]->name = "Pro Stock"; }, [&] { racer(6, "Сидоров", {1}); },
    };
    auto last = first;
    for (size_t i = 0; i < edits.size(); ++i) {
        edits[i]();
        const auto now = reg.snapshot();
        EXPECT_NE(now, last) << "edit " << i;
        EXPECT_EQ(now->racers.size(), reg.racers.size());
        EXPECT_EQ(now->racers[0], *reg.racers[0]) << "edit " << i;
        EXPECT_EQ(now->classes[0].name, reg.classes[0]->name);
        EXPECT_EQ(now->classes[0].breakoutLimit, reg.classes[0]->breakoutLimit);
        last = now;
    }
}

} // namespace
} // namespace velmaro::test
