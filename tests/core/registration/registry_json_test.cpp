// The class and racer lists sent to the web service, and the incoming racer and removal lists.
#include <nlohmann/json.hpp>

#include "registry_fixture.h"

namespace velmaro::test {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

TEST_F(RegistryTest, ClassesJson_ExactText) {
    EXPECT_EQ(reg.classesJson(), "[]");
    cls(1, "Pro");
    cls(-2, "Стрит \"A\\B\"");
    EXPECT_EQ(reg.classesJson(), R"([{"classId":1,"className":"Pro"},{"classId":-2,"className":"Стрит \"A\\B\""}])");
}

TEST_F(RegistryTest, RacersJson_ExactText) {
    EXPECT_EQ(reg.racersJson(), "[]");
    TRacerItem& a = racer(5, "Ив\"ан\\", {3, 1}, 44);
    a.carModel = "a\tb";
    a.city = "Тула";
    a.team = "T";
    a.guid = "{G}";
    TRacerItem& b = racer(6, "", {});
    b.guid = "{H}";
    b.passedToRace = 0;
    EXPECT_EQ(reg.racersJson(), R"([{"carModel":"a\tb","classes":[3,1],"guid":"{G}","num":5,"passedToRace":true,)"
                                R"("pilotCity":"Тула","pilotName":"Ив\"ан\\","team":"T"},)"
                                R"({"carModel":"","classes":[],"guid":"{H}","num":6,"passedToRace":false,)"
                                R"("pilotCity":"","pilotName":"","team":""}])");
    EXPECT_EQ(racerClassesJson(a), "[3,1]");
    // What goes out parses back as JSON with the same texts.
    const json parsed = json::parse(reg.racersJson());
    EXPECT_EQ(parsed[0]["pilotName"], "Ив\"ан\\");
    EXPECT_EQ(parsed[0]["carModel"], "a\tb");
}

class ImportTest : public RegistryTest {
protected:
    ImportTest() {
        cls(1, "A");
        cls(2, "B");
        TRacerItem& a = racer(5, "Старое имя", {1}, 11);
        a.guid = "{A}";
        a.team = "Команда";
        a.city = "Тула";
        TRacerItem& b = racer(6, "Б", {2}, 12);
        b.guid = "{B}";
    }
    static json record(const std::string& guid, int num, bool passed = true, json classes = json::array({1})) {
        return json{{"guid", guid},         {"num", num},           {"pilotName", "Имя " + std::to_string(num)},
                    {"carModel", "Модель"}, {"pilotCity", "Город"}, {"passedToRace", passed},
                    {"classes", classes},   {"team", "ignored"}};
    }
    Status import(const json& records, bool overwriteAll = false) {
        return reg.importRacersJson(records, true, overwriteAll, op);
    }
};

TEST_F(ImportTest, MatchByGuid_ChangesNumberKeepsTeamAndTag) {
    ASSERT_TRUE(import(json::array({record("{A}", 9, false, {2, 3})})).ok());
    ASSERT_EQ(reg.racers.size(), 2u);
    const TRacerItem& a = *reg.racers[0];
    EXPECT_EQ(a.number, 9u);
    EXPECT_EQ(a.name, "Имя 9");
    EXPECT_EQ(a.carModel, "Модель");
    EXPECT_EQ(a.city, "Город");
    EXPECT_EQ(a.passedToRace, 0);
    EXPECT_THAT(a.classIds, ElementsAre(2, 3));
    EXPECT_EQ(a.team, "Команда");
    EXPECT_EQ(a.tag, 11);
    // Saved, sent back, recounted and repainted.
    EXPECT_NE(eventFile("racers.txt").find("9,Имя 9,Модель,Город,2:2,3,,Команда,11,{A},0"), std::string::npos);
    EXPECT_EQ(reg.findClass(2)->racerCount, 2);
    for (const char* call : {"sendRaceInfo", "rebuildBracketDrawings", "repaintBrackets", "racersChanged"})
        EXPECT_TRUE(sink.called(call)) << call;
}

TEST_F(ImportTest, MatchByNumber_TakesTheNewGuid) {
    ASSERT_TRUE(import(json::array({record("{N}", 6)})).ok());
    ASSERT_EQ(reg.racers.size(), 2u);
    EXPECT_EQ(reg.racers[1]->guid, "{N}");
    EXPECT_EQ(reg.racers[1]->name, "Имя 6");
    EXPECT_EQ(reg.racers[1]->tag, 12);
}

TEST_F(ImportTest, NewRacer_IsAppendedAndAdmitted) {
    ASSERT_TRUE(import(json::array({record("{C}", 7, false)})).ok());
    ASSERT_EQ(reg.racers.size(), 3u);
    const TRacerItem& c = *reg.racers[2];
    EXPECT_EQ(c.number, 7u);
    EXPECT_EQ(c.guid, "{C}");
    EXPECT_EQ(c.passedToRace, 1);
    EXPECT_EQ(c.tag, 0);
    EXPECT_EQ(c.team, "");
    EXPECT_TRUE(reg.racerDb.empty()); // the database is not touched
}

TEST_F(ImportTest, SkippedSilently_NumberZeroOrBelowAndNoGuid) {
    json noGuid = record("", 8);
    json nullGuid = record("{X}", 8);
    nullGuid["guid"] = nullptr;
    json missingGuid = record("{X}", 8);
    missingGuid.erase("guid");
    ASSERT_TRUE(import(json::array({record("{A}", 0), record("{Z}", -3), noGuid, nullGuid, missingGuid})).ok());
    EXPECT_EQ(reg.racers.size(), 2u);
    EXPECT_EQ(reg.racers[0]->number, 5u);
    EXPECT_EQ(reg.racers[0]->name, "Старое имя");
    EXPECT_TRUE(op.logLines.empty());
}

// One message of every kind of record, each found as the list stands after the records
// before it: GUIDs and numbers that earlier records changed, racers that earlier records
// appended, two racers with one number (the first in list order is taken).
TEST_F(ImportTest, MixedMessage_GivesTheExpectedRegistry) {
    racer(8, "Восемь", {2}, 13).guid = "{C}";
    racer(8, "Восемь-2", {2}, 14).guid = "{D}";
    ASSERT_TRUE(import(json::array({
                           record("{B}", 9),                            // by GUID: 6 becomes 9
                           record("{N1}", 8),                           // by number: the first 8, {C}, takes {N1}
                           record("{C}", 20),                           // {C} is gone and nobody has 20: new
                           record("{N2}", 6),                           // nobody has 6 any more: new
                           record("{N3}", 9),                           // by number: {B} (now 9) takes {N3}
                           record("{B}", 30),                           // {B} is gone: new
                           record("", 7),                               // skipped
                           record("{A}", 0),                            // skipped
                           record("{N2}", 40, false),                   // by GUID: the racer made three records ago
                           record("{D}", 8, true, json::array({2, 1})), // by GUID, not the first 8
                       }))
                    .ok());
    EXPECT_EQ(eventFile("racers.txt"), "5,Старое имя,,Тула,1:1,,Команда,11,{A},1\n"
                                       "9,Имя 9,Модель,Город,1:1,,,12,{N3},1\n"
                                       "8,Имя 8,Модель,Город,1:1,,,13,{N1},1\n"
                                       "8,Имя 8,Модель,Город,2:2,1,,,14,{D},1\n"
                                       "20,Имя 20,Модель,Город,1:1,,,0,{C},1\n"
                                       "40,Имя 40,Модель,Город,1:1,,,0,{N2},0\n"
                                       "30,Имя 30,Модель,Город,1:1,,,0,{B},1\n");
    EXPECT_EQ(reg.findClass(1)->racerCount, 7);
    EXPECT_EQ(reg.findClass(2)->racerCount, 1);
    EXPECT_TRUE(op.logLines.empty());
}

// A list longer than any event merges its first kMaxIncomingRacers records; the rest are
// not even read (a bad one among them changes nothing) and one log line says so.
TEST_F(ImportTest, RecordsBeyondTheCap_AreSkippedWithOneLogLine) {
    const std::size_t cap = TRegistry::kMaxIncomingRacers;
    json records = json::array();
    for (std::size_t i = 0; i < cap + 2; ++i)
        records.push_back(record("{G" + std::to_string(i) + "}", 100 + static_cast<int>(i)));
    records.push_back(json("not a record"));
    ASSERT_TRUE(import(records).ok());
    ASSERT_EQ(reg.racers.size(), 2 + cap);
    EXPECT_EQ(reg.racers.back()->guid, "{G" + std::to_string(cap - 1) + "}");
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find(std::to_string(cap)), std::string::npos) << op.logLines[0];
}

// A NUL or another control character in an incoming text is dropped on the way in: it
// cut the name wherever it was passed on as a C string and went raw into the files.
TEST_F(ImportTest, ControlCharacters_AreDroppedOnTheWayIn) {
    json r = record(std::string("{E\0}", 4), 7);
    r["pilotName"] = std::string("Иван\0ов\x01", 14);
    r["carModel"] = "Лада\x1F 2107\xC2\x85";
    r["pilotCity"] = "Тула\r\nСевер";
    ASSERT_TRUE(import(json::array({r})).ok());
    const TRacerItem& e = *reg.racers.back();
    EXPECT_EQ(e.guid, "{E}");
    EXPECT_EQ(e.name, "Иванов");
    EXPECT_EQ(e.carModel, "Лада 2107");
    EXPECT_EQ(e.city, "Тула  Север");
    EXPECT_EQ(eventFile("racers.txt").find('\0'), std::string::npos);
    // The same GUID in a removal list names the same racer.
    ASSERT_TRUE(reg.removeRacersJson(json::array({std::string("{E\0}", 4)}), op).ok());
    EXPECT_EQ(reg.findRacerByGuid("{E}"), nullptr);
}

TEST_F(ImportTest, SameGuidTwice_LaterWins) {
    ASSERT_TRUE(import(json::array({record("{D}", 20), record("{D}", 21)})).ok());
    ASSERT_EQ(reg.racers.size(), 3u);
    EXPECT_EQ(reg.racers[2]->number, 21u);
}

TEST_F(ImportTest, OverwriteAllWithEmptyList_LeavesNoRacers) {
    ASSERT_TRUE(reg.importRacersJson(json::array(), false, true, op).ok()); // overwriteAll forces the save
    EXPECT_TRUE(reg.racers.empty());
    EXPECT_EQ(eventFile("racers.txt"), "");
    EXPECT_EQ(reg.findClass(1)->racerCount, 0);
}

TEST_F(ImportTest, OverwriteAll_ReplacesTheList) {
    ASSERT_TRUE(import(json::array({record("{A}", 30, false), record("{A}", 31, false)}), true).ok());
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->number, 31u);
    EXPECT_EQ(reg.racers[0]->passedToRace, 0); // the second record updated the racer the first made
    EXPECT_EQ(reg.racers[0]->team, "");
}

// A malformed message once emptied the registry: the list was cleared first and the
// import stopped at the bad record.
TEST_F(ImportTest, OverwriteAll_MalformedRecordChangesNothing) {
    const std::string before = reg.racersJson();
    json bad = record("{X}", 3);
    bad.erase("pilotName");
    const Status st = import(json::array({record("{C}", 7), bad}), true);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(reg.racersJson(), before);
    EXPECT_FALSE(std::filesystem::exists(reg.eventFolder() / "racers.txt"));
    EXPECT_FALSE(sink.called("sendRaceInfo"));
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("racersData[1]"), std::string::npos);
    EXPECT_NE(op.logLines[0].find("pilotName"), std::string::npos);

    // A message without a racer list at all is no empty list.
    EXPECT_FALSE(import(json(nullptr), true).ok());
    EXPECT_FALSE(import(json::object(), true).ok());
    EXPECT_EQ(reg.racersJson(), before);
}

// A merge from the network is all or nothing: one bad record, wherever it stands,
// leaves the registry, racers.txt and the web service as they were, with one log line.
TEST_F(ImportTest, MalformedRecord_MergesNothing) {
    const auto with = [](json r, const char* key, json value) {
        if (value.is_discarded())
            r.erase(key);
        else
            r[key] = value;
        return r;
    };
    const json drop = json(json::value_t::discarded);
    const std::vector<std::pair<const char*, json>> cases = {
        {"num", with(record("{X1}", 40), "num", drop)},
        {"num", with(record("{X2}", 41), "num", "41")},
        {"num", with(record("{X3}", 42), "num", 4294967296LL)},
        {"carModel", with(record("{X4}", 43), "carModel", 5)},
        {"classes", with(record("{X5}", 44), "classes", json::array({1, "2"}))},
        {"classes", with(record("{X6}", 45), "classes", drop)},
        {"guid", with(record("{X7}", 46), "guid", 7)},
        {"passedToRace", with(record("{A}", 5), "passedToRace", drop)}, // an existing racer needs it
        {"passedToRace", with(record("{B}", 6), "passedToRace", 1)},
        {"объектом", json("not an object")},
    };
    const std::string before = reg.racersJson();
    for (const auto& [member, bad] : cases) {
        SCOPED_TRACE(bad.dump());
        op.logLines.clear();
        sink.calls.clear();
        // A sound change before the bad record and a new racer after it.
        EXPECT_FALSE(import(json::array({record("{A}", 9), bad, record("{C}", 7)})).ok());
        EXPECT_EQ(reg.racersJson(), before);
        EXPECT_FALSE(std::filesystem::exists(reg.eventFolder() / "racers.txt"));
        EXPECT_TRUE(sink.calls.empty());
        ASSERT_EQ(op.logLines.size(), 1u);
        EXPECT_NE(op.logLines[0].find("racersData[1]"), std::string::npos);
        EXPECT_NE(op.logLines[0].find(member), std::string::npos) << op.logLines[0];
    }
    // A new racer needs no "passedToRace".
    ASSERT_TRUE(import(json::array({with(record("{E}", 8), "passedToRace", drop)})).ok());
    EXPECT_EQ(reg.racers.size(), 3u);
}

// The racers a merge changes stay the same records (the windows may hold them).
TEST_F(ImportTest, Merge_ChangesRacersInPlace) {
    const TRacerItem* a = reg.racers[0].get();
    const TRacerItem* b = reg.racers[1].get();
    ASSERT_TRUE(import(json::array({record("{C}", 7), record("{B}", 16)})).ok());
    ASSERT_EQ(reg.racers.size(), 3u);
    EXPECT_EQ(reg.racers[0].get(), a);
    EXPECT_EQ(reg.racers[1].get(), b);
    EXPECT_EQ(b->number, 16u);
    EXPECT_EQ(reg.racers[2]->guid, "{C}");
}

TEST_F(ImportTest, WithoutSave_NothingIsWritten) {
    ASSERT_TRUE(reg.importRacersJson(json::array({record("{C}", 7)}), false, false, op).ok());
    EXPECT_FALSE(std::filesystem::exists(reg.eventFolder() / "racers.txt"));
    EXPECT_TRUE(sink.called("sendRaceInfo"));
}

TEST_F(ImportTest, Remove_ByGuid) {
    ASSERT_TRUE(reg.removeRacersJson(json::array({"{A}", "{A}", "{nobody}", 5}), op).ok());
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->guid, "{B}");
    EXPECT_EQ(reg.findClass(1)->racerCount, 0);
    EXPECT_EQ(op.logLines.size(), 1u); // the element that is not a text
    EXPECT_NE(eventFile("racers.txt").find("{B}"), std::string::npos);
}

TEST_F(ImportTest, Remove_UnknownGuidStillSavesAndRefreshes) {
    ASSERT_TRUE(reg.removeRacersJson(json::array({"{nobody}"}), op).ok());
    EXPECT_EQ(reg.racers.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(reg.eventFolder() / "racers.txt"));
    EXPECT_TRUE(sink.called("rebuildBracketDrawings"));
    EXPECT_TRUE(sink.called("racersChanged"));
}

// Removed in one pass: the racers left keep their order and their records.
TEST_F(ImportTest, Remove_ManyAtOnceKeepsTheOrderOfTheRest) {
    for (std::uint32_t n = 10; n < 16; ++n) racer(n).guid = "{R" + std::to_string(n) + "}";
    racer(16).guid = "{R11}";
    const TRacerItem* kept = reg.racers[5].get(); // {R13}
    ASSERT_TRUE(
        reg.removeRacersJson(json::array({"{R14}", "{R11}", "{A}", "{nobody}", "{R11}", "{R11}", "{R10}"}), op).ok());
    std::vector<std::string> left;
    for (const auto& r : reg.racers) left.push_back(r->guid + " " + std::to_string(r->number));
    EXPECT_THAT(left, ElementsAre("{B} 6", "{R12} 12", "{R13} 13", "{R15} 15"));
    EXPECT_EQ(reg.racers[2].get(), kept);
}

TEST_F(ImportTest, Remove_TwoRacersWithOneGuidNeedItTwice) {
    racer(7, "copy").guid = "{A}";
    ASSERT_TRUE(reg.removeRacersJson(json::array({"{A}"}), op).ok());
    ASSERT_EQ(reg.racers.size(), 2u);
    EXPECT_EQ(reg.racers[1]->name, "copy");
}

} // namespace
} // namespace velmaro::test
