// Kept attempts, best values and the orders of the result lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/records/drag_result.h"

namespace velmaro {
namespace {

TDragAttempt att(std::int32_t et, std::int32_t rt, std::int32_t runMode = 0, float spd = 0.0f,
                 std::int32_t breakout = 0) {
    TDragAttempt a;
    a.et = et;
    a.rt = rt;
    a._60ft = et / 4;
    a.runMode = runMode;
    a.spd = spd;
    a.breakout = breakout;
    return a;
}

TDragResult result(std::int32_t num, std::vector<TDragAttempt> attempts) {
    TDragResult r(num, 1);
    r.attempts = std::move(attempts);
    return r;
}

constexpr TDragRankOptions kClean{true, false, 0};
constexpr TDragRankOptions kCleanSum{true, true, 0};
constexpr TDragRankOptions kDirty{false, false, 0};
constexpr TDragRankOptions kDirtySum{false, true, 0};

TEST(IsValidTime, LimitBoundaryAndZero) {
    EXPECT_FALSE(isValidTime(att(0, 10), 0));
    EXPECT_TRUE(isValidTime(att(1, 10), 0));
    EXPECT_FALSE(isValidTime(att(8999, 10), 9000));
    EXPECT_TRUE(isValidTime(att(9000, 10), 9000));
    EXPECT_FALSE(isValidTime(att(-5, 10), 0));
}

// One row: attempts, options, limit -> expected kept attempts (et, rt; runMode of A) and best values.
struct BestCase {
    const char* name;
    std::vector<TDragAttempt> attempts;
    TDragRankOptions options;
    std::int32_t limitMs;
    std::int32_t aEt, aRt, bEt, bRt;
    std::int32_t aRunMode;
    std::int32_t bestRt;
    float bestSpeed;
};

TEST(SelectBestAttempts, Table) {
    const std::vector<BestCase> cases = {
        {"et 0 never counts", {att(0, 30)}, kClean, 0, 0, 0, 0, 0, -1, 30, 0},
        {"under the breakout limit does not count", {att(8999, 20)}, kClean, 9000, 0, 0, 0, 0, -1, 20, 0},
        {"at the breakout limit counts", {att(9000, 20)}, kClean, 9000, 9000, 20, 9000, 20, 0, 20, 0},
        {"clean: A legal start, B any start",
         {att(9500, -20), att(9800, 40)},
         kClean,
         0,
         9800,
         40,
         9500,
         -20,
         0,
         40,
         0},
        {"clean: only false starts, A falls back to the first",
         {att(9500, -20), att(9400, -30)},
         kClean,
         0,
         9500,
         -20,
         9400,
         -30,
         0,
         0,
         0},
        {"clean: equal times keep the earlier",
         {att(9500, 30, 0, 150), att(9500, 20, 0, 151)},
         kClean,
         0,
         9500,
         30,
         9500,
         30,
         0,
         20,
         151},
        {"clean sum: only false starts stay empty",
         {att(9500, -20), att(9400, -30)},
         kCleanSum,
         0,
         0,
         0,
         0,
         0,
         -1,
         0,
         0},
        {"clean sum of legal starts",
         {att(9500, 30), att(9400, -5), att(9600, 10)},
         kCleanSum,
         0,
         19100,
         0,
         19100,
         0,
         0,
         10,
         0},
        {"dirty: smaller et+rt wins, B may hold a false start",
         {att(9500, 100), att(9550, 20), att(9400, -10)},
         kDirty,
         0,
         9550,
         20,
         9400,
         -10,
         0,
         20,
         0},
        {"dirty sum adds rt too",
         {att(9500, 30), att(9400, -5), att(9600, 10)},
         kDirtySum,
         0,
         19100,
         40,
         19100,
         40,
         0,
         10,
         0},
        {"practice is left out of best rt and speed but may be kept",
         {att(9000, 5, 2, 180), att(9500, 40, 0, 150)},
         kClean,
         0,
         9000,
         5,
         9000,
         5,
         2,
         40,
         150},
        {"rt 0 is a legal start but not a best rt",
         {att(9500, 0), att(9600, -1)},
         kClean,
         0,
         9500,
         0,
         9500,
         0,
         0,
         0,
         0},
        {"final attempts count for best values", {att(9700, 15, 1, 160)}, kClean, 0, 9700, 15, 9700, 15, 1, 15, 160},
    };
    for (const BestCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDragResult r = result(7, c.attempts);
        selectBestAttempts(r, c.limitMs, c.options);
        EXPECT_EQ(r.bestLegalStart.et, c.aEt);
        EXPECT_EQ(r.bestLegalStart.rt, c.aRt);
        EXPECT_EQ(r.bestAnyStart.et, c.bEt);
        EXPECT_EQ(r.bestAnyStart.rt, c.bRt);
        EXPECT_EQ(r.bestLegalStart.runMode, c.aRunMode);
        EXPECT_EQ(r.bestRt, c.bestRt);
        EXPECT_FLOAT_EQ(r.bestSpeed, c.bestSpeed);
    }
}

TEST(SelectBestAttempts, SumKeepsTheEmptyAttemptsOtherFields) {
    TDragResult r = result(7, {att(9500, 30, 0, 150), att(9400, -5), att(9600, 10, 2, 170)});
    selectBestAttempts(r, 0, kCleanSum);
    TDragAttempt expected;
    expected.et = 19100;
    expected.runMode = 0;
    EXPECT_EQ(r.bestLegalStart, expected);
    EXPECT_EQ(r.bestAnyStart, expected);
}

// A sorted order of results given by their kept attempts: names in expected order.
struct OrderCase {
    const char* name;
    TDragRankOptions options;
    std::vector<TDragResult> results; // given in reverse of the expected order
    std::vector<std::int32_t> expected;
};

TDragResult kept(std::int32_t num, TDragAttempt a, TDragAttempt b, std::int32_t finalPoints = 0) {
    TDragResult r(num, 1);
    r.bestLegalStart = a;
    r.bestAnyStart = b;
    r.finalPoints = finalPoints;
    return r;
}

std::vector<std::int32_t> sortedNumbers(std::vector<TDragResult> list,
                                        bool (*less)(const TDragResult&, const TDragResult&, const TDragRankOptions&),
                                        const TDragRankOptions& options) {
    std::sort(list.begin(), list.end(),
              [&](const TDragResult& a, const TDragResult& b) { return less(a, b, options); });
    std::vector<std::int32_t> numbers;
    for (const auto& r : list) numbers.push_back(r.num);
    return numbers;
}

TEST(Orders, ByBestLegalStart) {
    const TDragAttempt none{};
    const std::vector<OrderCase> cases = {
        {"clean: times ascending, no time last",
         kClean,
         {kept(3, none, none), kept(2, att(9600, 10), none), kept(1, att(9500, 90), none)},
         {1, 2, 3}},
        {"dirty: legal by et+rt, false starts after, closer to 0 first, no time last",
         kDirty,
         {kept(5, none, none), kept(4, att(9000, -50), none), kept(3, att(9000, -10), none),
          kept(2, att(9500, 90), none), kept(1, att(9550, 20), none)},
         {1, 2, 3, 4, 5}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sortedNumbers(c.results, lessByBestLegalStart, c.options), c.expected);
    }
}

TEST(Orders, ForQualification) {
    const TDragAttempt none{};
    const TDragRankOptions cleanMode2{true, false, 2};
    const TDragRankOptions dirtyMode2{false, false, 2};
    const TDragRankOptions dirtyMode0{false, false, 0};
    const std::vector<OrderCase> cases = {
        {"drag mode: breakout last, then et, then the higher speed",
         kClean,
         {kept(9, none, none), kept(8, none, none), kept(4, none, att(9000, 10, 0, 160, 1)),
          kept(3, none, att(9600, 10, 0, 160)), kept(2, none, att(9500, 10, 0, 150.5f)),
          kept(1, none, att(9500, 10, 0, 151.0f))},
         {1, 2, 3, 4, 8, 9}},
        {"drag mode ignores the dirty-time rule",
         dirtyMode0,
         {kept(2, none, att(9500, -300)), kept(1, none, att(9400, 500))},
         {1, 2}},
        {"other modes, clean: et ascending",
         cleanMode2,
         {kept(2, none, att(9500, -300)), kept(1, none, att(9400, 500, 0, 0, 1))},
         {1, 2}},
        {"other modes, dirty: legal by et+rt, false starts after by et",
         dirtyMode2,
         {kept(4, none, att(9300, -20)), kept(3, none, att(9200, -300)), kept(2, none, att(9500, 100)),
          kept(1, none, att(9550, 20))},
         {1, 2, 3, 4}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sortedNumbers(c.results, lessForQualification, c.options), c.expected);
    }
}

TEST(Orders, ForStandingsPutsFinalPlacesFirst) {
    const TDragAttempt none{};
    const std::vector<TDragResult> results = {kept(5, none, none), kept(4, att(9000, 10), none),
                                              kept(3, att(9900, 10), none, 2), kept(2, none, none, 1),
                                              kept(1, att(8000, 10), none)};
    EXPECT_EQ(sortedNumbers(results, lessForStandings, kClean), (std::vector<std::int32_t>{2, 3, 1, 4, 5}));
}

} // namespace
} // namespace velmaro
