// One rebuild of the drag results: attempts into the class lists, qualification places,
// brackets and the four documents.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"

namespace velmaro {
namespace {

using nlohmann::json;

void setLane(TDragRaceItem& run, int lane, std::int32_t racer, std::int32_t classId, std::int32_t et,
             std::int32_t rt = 30, double spd = 150.0) {
    run.racer[lane] = racer;
    run.classId[lane] = classId;
    run.et[lane] = et;
    run.rt[lane] = rt;
    run.dirtyTime[lane] = et ? et + rt : 0;
    run.sixtyFeet[lane] = et / 4;
    run.speed[lane] = spd;
    run.foul[lane] = rt < 0 ? 1 : 0;
}

TDragRaceItem makeRun(std::int32_t id, std::int32_t mode, std::int32_t left, std::int32_t leftEt,
                      std::int32_t right = 0, std::int32_t rightEt = 0, std::int32_t classId = 1) {
    TDragRaceItem run;
    run.runId = id;
    run.runMode = mode;
    if (left) setLane(run, 0, left, classId, leftEt);
    if (right) setLane(run, 1, right, classId, rightEt);
    if (leftEt && rightEt) run.winner = leftEt <= rightEt ? 0 : 1;
    return run;
}

// Classes 1 "Stock" (no breakout limit) and 2 "Pro" (breakout 9.0 s); racer 7 in both,
// 8 and 10 in class 1, 9 in class 2; 12 is entered in class 1 twice and under -1.
std::shared_ptr<TRegistrySnapshot> registry() {
    auto s = std::make_shared<TRegistrySnapshot>();
    s->classes.emplace_back(1, "Stock");
    s->classes.emplace_back(2, "Pro");
    s->classes.back().breakoutLimit = 90;
    const std::pair<std::uint32_t, std::vector<std::int32_t>> racers[] = {
        {7, {1, 2}}, {8, {1}}, {9, {2}}, {10, {1}}, {12, {1, 1, -1}}};
    for (const auto& [number, classes] : racers) {
        TRacerItem r(number);
        r.name = "Racer " + std::to_string(number);
        r.classIds = classes;
        s->racers.push_back(r);
    }
    return s;
}

class RebuildTest : public ::testing::Test {
protected:
    void SetUp() override { options.registry = registry(); }

    std::shared_ptr<TDragResultsView> build(std::vector<TDragRaceItem> runs) {
        auto view = TDragResultsCntr::buildResults(runs, options, pages);
        for (const std::string* doc :
             {&view->allDragResults, &view->practiceResults, &view->qualResults, &view->raceResults}) {
            SCOPED_TRACE(*doc);
            EXPECT_TRUE(json::accept(*doc));
        }
        return view;
    }
    static const TDragResult* find(const TDragResultsMap& map, std::int32_t classId, std::int32_t num) {
        auto it = map.find(classId);
        if (it == map.end()) return nullptr;
        for (const TDragResult& r : it->second)
            if (r.num == num) return &r;
        return nullptr;
    }
    static std::vector<std::int32_t> numbers(const json& array) {
        std::vector<std::int32_t> out;
        for (const auto& o : array) out.push_back(o["num"].get<std::int32_t>());
        return out;
    }

    BracketPages pages;
    TDragResultsOptions options;
};

TEST_F(RebuildTest, NoRunsGivesTheEmptyDocuments) {
    const auto view = build({});
    EXPECT_EQ(view->allDragResults, "{\"allDragResults\":[]}");
    EXPECT_EQ(view->practiceResults, "{\"practiceResults\":{}}");
    EXPECT_EQ(view->qualResults, "{\"qualResults\":{}}");
    EXPECT_EQ(view->raceResults, "{\"raceResults\":{}}");
    EXPECT_EQ(view->maxAttempts, 0);
    EXPECT_TRUE(view->resultsByClass.empty());
}

TEST_F(RebuildTest, LanesThatMakeNoAttemptStillStandInAllDragResults) {
    TDragRaceItem run = makeRun(1, RUN_MODE_QUALIFICATION, 0, 0);
    run.et[0] = 9500; // timed lane without a racer
    run.dirtyTime[0] = 9530;
    setLane(run, 1, 8, 1, 9600);
    run.dirtyTime[1] = 0; // a racer with a time but no dirty time
    const auto view = build({run});
    EXPECT_EQ(view->allDragResults,
              "{\"allDragResults\":["
              "{\"_60ft\":0,\"city\":\"\",\"et\":0,\"model\":\"\",\"name\":\"\",\"num\":\"\",\"rt\":0,\"spd\":0},"
              "{\"_60ft\":2400,\"et\":9600,\"num\":8,\"rt\":30,\"spd\":150.000}]}");
    EXPECT_TRUE(view->resultsByClass.empty());
}

TEST_F(RebuildTest, PracticeOnlyRacer) {
    const auto view = build({makeRun(1, RUN_MODE_PRACTICE, 7, 9500)});
    for (std::int32_t c : {-1, 1, 2}) {
        SCOPED_TRACE(c);
        const TDragResult* r = find(view->resultsByClass, c, 7);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->attempts.size(), 1u);
        const TDragResult* q = find(view->qualByClass, c, 7);
        ASSERT_NE(q, nullptr);
        EXPECT_TRUE(q->attempts.empty());
    }
    const json practice = json::parse(view->practiceResults)["practiceResults"];
    const json qual = json::parse(view->qualResults)["qualResults"];
    for (const char* key : {"clsId_-1", "clsId_1", "clsId_2"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(numbers(practice[key]), std::vector<std::int32_t>{7});
        EXPECT_EQ(qual[key], json::array());
    }
    EXPECT_FALSE(json::parse(view->raceResults)["raceResults"].contains("clsId_-1"));
    EXPECT_EQ(view->qualResults, "{\"qualResults\":{\"clsId_-1\":[],\"clsId_1\":[],\"clsId_2\":[]}}");
}

TEST_F(RebuildTest, PracticeThenQualification) {
    const auto view = build({makeRun(1, RUN_MODE_PRACTICE, 7, 9500), makeRun(2, RUN_MODE_QUALIFICATION, 7, 9700)});
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->attempts.size(), 2u);
    ASSERT_EQ(find(view->qualByClass, 1, 7)->attempts.size(), 1u);
    EXPECT_EQ(find(view->qualByClass, 1, 7)->attempts[0].et, 9700);
    EXPECT_EQ(find(view->qualByClass, -1, 7)->attempts.size(), 1u);
    EXPECT_EQ(view->maxAttempts, 2);
}

TEST_F(RebuildTest, FinalCountsOnlyInTheClassOfItsLane) {
    const auto view = build({makeRun(1, RUN_MODE_FINAL, 7, 9500, 8, 9600, /*classId*/ 1)});
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->attempts.size(), 1u);
    const TDragResult* other = find(view->resultsByClass, 2, 7);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->attempts.empty());
    EXPECT_EQ(find(view->resultsByClass, -1, 7)->attempts.size(), 1u);
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->attempts[0].win, 1);
    EXPECT_EQ(find(view->resultsByClass, 1, 8)->attempts[0].win, 0);
    const json race = json::parse(view->raceResults)["raceResults"];
    EXPECT_EQ(numbers(race["clsId_1"]), (std::vector<std::int32_t>{7, 8}));
    EXPECT_EQ(race["clsId_2"][0]["attempts"], json::array());
}

TEST_F(RebuildTest, BreakoutInQualification) {
    // Racer 9 is first entered in class 2 (limit 9000 ms): 8900 ms is a breakout.
    auto view = build({makeRun(1, RUN_MODE_QUALIFICATION, 9, 8900)});
    EXPECT_TRUE(find(view->qualByClass, 2, 9)->attempts.empty());
    ASSERT_EQ(find(view->resultsByClass, 2, 9)->attempts.size(), 1u);
    EXPECT_EQ(find(view->resultsByClass, 2, 9)->attempts[0].breakout, 1);
    EXPECT_EQ(find(view->resultsByClass, -1, 9)->attempts[0].breakout, 0);
    EXPECT_EQ(json::parse(view->qualResults)["qualResults"]["clsId_2"], json::array());

    // A racer who already has results gets the breakout appended to both lists.
    view = build({makeRun(1, RUN_MODE_QUALIFICATION, 9, 9500), makeRun(2, RUN_MODE_QUALIFICATION, 9, 8800)});
    const TDragResult* q = find(view->qualByClass, 2, 9);
    ASSERT_EQ(q->attempts.size(), 2u);
    EXPECT_EQ(q->attempts[1].breakout, 1);
    EXPECT_EQ(q->bestAnyStart.et, 9500); // under the limit: not valid
    const json qual = json::parse(view->qualResults)["qualResults"]["clsId_2"];
    ASSERT_EQ(qual.size(), 1u);
    EXPECT_EQ(qual[0]["attempts"].size(), 1u);
    EXPECT_EQ(qual[0]["et"], 9500);
}

TEST_F(RebuildTest, QualificationPlacesAndStandings) {
    const auto view = build({makeRun(1, RUN_MODE_QUALIFICATION, 7, 9600, 8, 9400),
                             makeRun(2, RUN_MODE_QUALIFICATION, 10, 9500), makeRun(3, RUN_MODE_PRACTICE, 8, 9000)});
    const auto& qual = view->qualByClass.at(1);
    ASSERT_EQ(qual.size(), 3u);
    EXPECT_EQ(qual[0].num, 8);
    EXPECT_EQ(qual[1].num, 10);
    EXPECT_EQ(qual[2].num, 7);
    EXPECT_EQ(find(view->resultsByClass, 1, 8)->qualPos, 1);
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->qualPos, 3);
    // Standings use kept attempt A over every session: 8 (practice 9000), 10, 7.
    const auto& standings = view->resultsByClass.at(1);
    EXPECT_EQ(standings[0].num, 8);
    EXPECT_EQ(standings[1].num, 10);
    EXPECT_EQ(standings[2].num, 7);
    // Session documents are in first-reached order, not ranked.
    EXPECT_EQ(numbers(json::parse(view->qualResults)["qualResults"]["clsId_1"]), (std::vector<std::int32_t>{7, 8, 10}));
}

TEST_F(RebuildTest, UnregisteredRacerEntersOnlyTheOverallLists) {
    const auto view = build({makeRun(1, RUN_MODE_QUALIFICATION, 55, 9500)});
    EXPECT_NE(find(view->resultsByClass, -1, 55), nullptr);
    EXPECT_EQ(view->resultsByClass.size(), 1u);
    EXPECT_EQ(view->allDragResults.find("\"name\""), std::string::npos);
}

// Guards against an attempt counted twice in one list when a racer's class ids repeat a
// class or name the overall lists' key.
TEST_F(RebuildTest, RepeatedClassIdsCountAnAttemptOnce) {
    const auto view = build({makeRun(1, RUN_MODE_QUALIFICATION, 12, 9500)});
    for (std::int32_t c : {-1, 1}) {
        SCOPED_TRACE(c);
        EXPECT_EQ(find(view->resultsByClass, c, 12)->attempts.size(), 1u);
        EXPECT_EQ(find(view->qualByClass, c, 12)->attempts.size(), 1u);
    }
    EXPECT_EQ(view->resultsByClass.at(-1).size(), 1u);
}

class RebuildBracketTest : public RebuildTest {
protected:
    // A 4-slot single-elimination bracket of class 1 with racers 7 (seed 1) and 10 (seed 4),
    // who meet in the first round.
    std::shared_ptr<TFinalBracket> addBracket(std::int32_t classId = 1) {
        auto bracket = std::make_shared<TFinalBracket>(4, BRACKET_SINGLE, classId, 2, "Stock");
        bracket->setRacer(7, classId, 0);
        bracket->setRacer(10, classId, 3);
        auto lock = pages.lockBrackets();
        auto page = pages.addBracketPage(nullptr);
        page->classId = classId;
        (void)setPageBracket(*page, bracket);
        return bracket;
    }
};

TEST_F(RebuildBracketTest, SeededRacerWithoutRuns) {
    auto bracket = addBracket();
    const auto view = build({makeRun(1, RUN_MODE_QUALIFICATION, 8, 9400), makeRun(2, RUN_MODE_QUALIFICATION, 7, 9500)});
    const TDragResult* seeded = find(view->resultsByClass, 1, 10);
    ASSERT_NE(seeded, nullptr);
    ASSERT_EQ(seeded->attempts.size(), 1u);
    EXPECT_EQ(seeded->attempts[0].runMode, RUN_MODE_FINAL);
    EXPECT_EQ(seeded->attempts[0].et, 0);
    EXPECT_EQ(seeded->qualPos, 0);
    {
        auto lock = pages.lockBrackets();
        EXPECT_EQ(bracket->racers[0].seedIndex, 1); // racer 7 is second in qualification
        EXPECT_EQ(seeded->finalPoints, bracket->racers[3].place);
    }
    EXPECT_EQ(find(view->qualByClass, 1, 10), nullptr);
    const json race = json::parse(view->raceResults)["raceResults"];
    ASSERT_TRUE(race.contains("bracket_1"));
    EXPECT_EQ(numbers(race["clsId_1"]), (std::vector<std::int32_t>{8, 7, 10}));
    for (const char* doc : {"practiceResults", "qualResults"}) {
        const std::string text = doc == std::string("qualResults") ? view->qualResults : view->practiceResults;
        const json parsed = json::parse(text);
        for (const auto& [key, array] : parsed[doc].items())
            for (const auto& o : array) EXPECT_NE(o["num"], 10) << key;
    }
    // Bracket keys come before class keys.
    EXPECT_LT(view->raceResults.find("\"bracket_1\""), view->raceResults.find("\"clsId_1\""));
}

TEST_F(RebuildBracketTest, FinalPlacesComeFirstInTheStandings) {
    auto bracket = addBracket();
    TFinalPair* pair = nullptr;
    {
        auto lock = pages.lockBrackets();
        ASSERT_NE(bracket->upperRound(0), nullptr);
        for (const auto& p : bracket->upperRound(0)->pairs)
            if (p->racers[0] && p->racers[1] && p->racers[0]->number > 0 && p->racers[1]->number > 0) pair = p.get();
        ASSERT_NE(pair, nullptr);
        pair->run.runId = 9;
    }
    // Racer 8 is fastest in qualification but not in the bracket.
    const auto view =
        build({makeRun(1, RUN_MODE_QUALIFICATION, 8, 9000), makeRun(2, RUN_MODE_QUALIFICATION, 7, 9500, 10, 9600),
               makeRun(9, RUN_MODE_FINAL, 10, 9300, 7, 9700)});
    const auto& standings = view->resultsByClass.at(1);
    ASSERT_EQ(standings.size(), 3u);
    EXPECT_EQ(standings[0].num, 10);
    EXPECT_EQ(standings[0].finalPoints, 1);
    EXPECT_EQ(standings[1].num, 7);
    EXPECT_EQ(standings[1].finalPoints, 2);
    EXPECT_EQ(standings[2].num, 8);
    EXPECT_EQ(standings[2].finalPoints, 0);
    EXPECT_EQ(find(view->resultsByClass, -1, 10)->finalPoints, 0); // never in the overall list
}

TEST_F(RebuildBracketTest, DuplicateRunIdsBothCountAndTheLaterDrivesTheBracket) {
    auto bracket = addBracket();
    {
        auto lock = pages.lockBrackets();
        for (const auto& p : bracket->upperRound(0)->pairs)
            if (p->racers[0] && p->racers[1] && p->racers[0]->number > 0 && p->racers[1]->number > 0) p->run.runId = 9;
    }
    const auto view =
        build({makeRun(9, RUN_MODE_FINAL, 7, 9300, 10, 9700), makeRun(9, RUN_MODE_FINAL, 10, 9200, 7, 9800)});
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->attempts.size(), 2u);
    EXPECT_EQ(find(view->resultsByClass, 1, 10)->finalPoints, 1);
    EXPECT_EQ(find(view->resultsByClass, 1, 7)->finalPoints, 2);
}

TEST_F(RebuildBracketTest, TheLaterPageOfTheSameClassWins) {
    auto first = addBracket();
    auto later = addBracket();
    {
        auto lock = pages.lockBrackets();
        first->upperRound(0)->pairs[0]->run.runId = 9; // decided in the first bracket only
    }
    const auto view = build({makeRun(9, RUN_MODE_FINAL, 10, 9200, 7, 9800)});
    auto lock = pages.lockBrackets();
    ASSERT_NE(first->racers[3].place, later->racers[3].place);
    EXPECT_EQ(find(view->resultsByClass, 1, 10)->finalPoints, later->racers[3].place);
    EXPECT_EQ(json::parse(view->raceResults)["raceResults"]["bracket_1"], json::parse(later->json.toString()));
}

TEST_F(RebuildBracketTest, BracketWithoutResultsOfItsClassStillSeedsTheList) {
    addBracket();
    const auto view = build({});
    EXPECT_EQ(view->resultsByClass.at(1).size(), 2u);
    EXPECT_EQ(view->maxAttempts, 1);
    const json race = json::parse(view->raceResults)["raceResults"];
    EXPECT_TRUE(race.contains("bracket_1"));
    EXPECT_EQ(view->allDragResults, "{\"allDragResults\":[]}");
    EXPECT_EQ(view->practiceResults, "{\"practiceResults\":{\"clsId_1\":[]}}");
}

} // namespace
} // namespace velmaro
