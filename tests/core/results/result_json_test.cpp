// The racer objects of the practice, qualification and finals documents.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <limits>

#include "core/results/result_json.h"

namespace velmaro {
namespace {

TDragAttempt att(std::int32_t et, std::int32_t rt, std::int32_t runMode, float spd = 150.25f, std::int32_t win = -1) {
    TDragAttempt a;
    a.et = et;
    a.rt = rt;
    a._60ft = 1000 + et % 1000;
    a.runMode = runMode;
    a.spd = spd;
    a.win = win;
    return a;
}

TDragResult racer(std::vector<TDragAttempt> attempts) {
    TDragResult r(12, 3);
    r.attempts = std::move(attempts);
    return r;
}

TEST(ResultJson, PracticeObjectTakesTheBestOfItsSessionAndListsAllInRunOrder) {
    const TDragResult r = racer({att(11500, 30, 2), att(11200, -40, 2), att(9000, 10, 0), att(11300, 20, 2)});
    EXPECT_EQ(practiceResultJson(r), "{\"_60ft\":1200,\"attempts\":["
                                     "{\"_60ft\":1500,\"et\":11500,\"rt\":30,\"spd\":150.250},"
                                     "{\"_60ft\":1200,\"et\":11200,\"rt\":-40,\"spd\":150.250},"
                                     "{\"_60ft\":1300,\"et\":11300,\"rt\":20,\"spd\":150.250}],"
                                     "\"et\":11200,\"num\":12,\"rt\":-40,\"spd\":150.250}");
}

TEST(ResultJson, WithoutAnAttemptOfTheSessionGivesZero) {
    const TDragResult r = racer({att(9000, 10, 1)});
    EXPECT_EQ(practiceResultJson(r), "0");
    EXPECT_EQ(qualResultJson(r, 0), "0");
}

TEST(ResultJson, QualificationDropsTimesUnderTheBreakoutLimit) {
    const TDragResult r = racer({att(8999, 10, 0), att(9000, 0, 0), att(0, 5, 0)});
    EXPECT_EQ(qualResultJson(r, 9000),
              "{\"_60ft\":1000,\"attempts\":[{\"_60ft\":1000,\"et\":9000,\"rt\":0,\"spd\":150.250}],"
              "\"et\":9000,\"num\":12,\"rt\":0,\"spd\":150.250}");
    EXPECT_EQ(qualResultJson(racer({att(8999, 10, 0)}), 9000), "0");
    // With no limit every positive time counts; the smallest is best.
    EXPECT_NE(qualResultJson(r, 0).find("\"et\":8999,\"num\""), std::string::npos);
}

TEST(ResultJson, EqualTimesKeepTheEarlierAttemptAsBest) {
    const TDragResult r = racer({att(9500, 30, 0, 150.0f), att(9500, 20, 0, 151.0f)});
    EXPECT_NE(qualResultJson(r, 0).find("\"rt\":30,\"spd\":150.000}"), std::string::npos);
}

TEST(ResultJson, FinalsObjectWithAndWithoutAFinalAttempt) {
    TDragResult r = racer({att(9500, 30, 0), att(9400, 25, 1, 160.5f, 1), att(9300, 20, 1, 161.0f, 0)});
    r.finalPoints = 2;
    r.qualPos = 1;
    EXPECT_EQ(raceResultJson(r), "{\"_60ft\":1300,\"attempts\":["
                                 "{\"_60ft\":1400,\"et\":9400,\"rt\":25,\"spd\":160.500,\"win\":1},"
                                 "{\"_60ft\":1300,\"et\":9300,\"rt\":20,\"spd\":161.000,\"win\":0}],"
                                 "\"et\":9300,\"finalPoints\":2,\"num\":12,\"qualPos\":1,\"rt\":20,\"spd\":161.000}");
    EXPECT_EQ(raceResultJson(racer({att(9500, 30, 0)})),
              "{\"attempts\":[],\"finalPoints\":0,\"num\":12,\"qualPos\":0}");
}

TEST(ResultJson, SessionsShareNoAttemptAndEveryObjectParses) {
    const TDragResult r = racer({att(9100, 10, 2), att(9200, 10, 0), att(9300, 10, 1)});
    for (const std::string& text : {practiceResultJson(r), qualResultJson(r, 0), raceResultJson(r)}) {
        SCOPED_TRACE(text);
        const auto doc = nlohmann::json::parse(text);
        ASSERT_EQ(doc["attempts"].size(), 1u);
    }
    EXPECT_EQ(nlohmann::json::parse(practiceResultJson(r))["et"], 9100);
    EXPECT_EQ(nlohmann::json::parse(qualResultJson(r, 0))["et"], 9200);
    EXPECT_EQ(nlohmann::json::parse(raceResultJson(r))["et"], 9300);
}

// The objects are written in fixed-layout pieces; a speed outside the fast float writer
// (not finite, or too large for it) sends the whole object the general way. Every speed
// writes as MyJSONObject writes it, in either way, negative ones and huge ones included.
TEST(ResultJson, EverySpeedWritesAsTheObjectBuilderWritesIt) {
    const float speeds[] = {150.25f,
                            -0.0f,
                            -12.3456f,
                            0.0005f,
                            0.0015f,
                            4.5e12f,
                            1e13f,
                            3e38f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity()};
    for (float spd : speeds) {
        SCOPED_TRACE(spd);
        TDragResult r = racer({att(9400, 25, 1, 160.5f, 1), att(9300, 20, 1, spd, 0)});
        r.finalPoints = 3;
        r.qualPos = 2;
        const auto attempt = [](const TDragAttempt& a) {
            MyJSONObject o;
            o.add("_60ft", a._60ft);
            o.add("et", a.et);
            o.add("rt", a.rt);
            o.add("spd", a.spd);
            o.add("win", a.win);
            return o.toString();
        };
        MyJSONObject expected;
        expected.add("_60ft", r.attempts[1]._60ft);
        expected.addRaw("attempts", "[" + attempt(r.attempts[0]) + "," + attempt(r.attempts[1]) + "]");
        expected.add("et", 9300);
        expected.add("finalPoints", 3);
        expected.add("num", 12);
        expected.add("qualPos", 2);
        expected.add("rt", 20);
        expected.add("spd", spd);
        EXPECT_EQ(raceResultJson(r), expected.toString());
    }
}

} // namespace
} // namespace velmaro
