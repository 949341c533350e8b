#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "core/platform/timing_mode.h"

using namespace velmaro;

// Every predicate over the nine modes and the stored values outside them: the groups the
// areas branch on must not drift, and a value the settings file may hold (above 8, or one
// that turns negative on its way through an int) must belong to none of them.
TEST(TimingModes, PredicatesOverEveryStoredValue) {
    struct Row {
        long long stored;
        std::optional<TimingMode> mode;
        bool singleLane, twoLane, twoLaneNonRoller, gateLap;
    };
    const Row rows[] = {
        {-1, std::nullopt, false, false, false, false},
        {0, TimingMode::DragRacing, false, true, true, false},
        {1, TimingMode::LapOneGate, true, false, false, true},
        {2, TimingMode::ParallelRace, false, true, true, false},
        {3, TimingMode::LapCrossover, false, true, true, false},
        {4, TimingMode::StartFinish, true, false, false, true},
        {5, TimingMode::LapHeadOnStart, false, true, true, false},
        {6, TimingMode::Gymkhana, true, false, false, false},
        {7, TimingMode::RollerSlalom, false, true, false, false},
        {8, TimingMode::ParallelRace2, false, true, true, false},
        {9, std::nullopt, false, false, false, false},
        {4294967295LL, std::nullopt, false, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.stored);
        EXPECT_EQ(timingModeFrom(r.stored), r.mode);
        EXPECT_EQ(isSingleLaneMode(r.mode), r.singleLane);
        EXPECT_EQ(isTwoLaneMode(r.mode), r.twoLane);
        EXPECT_EQ(isTwoLaneNonRollerMode(r.mode), r.twoLaneNonRoller);
        EXPECT_EQ(isGateLapMode(r.mode), r.gateLap);
        if (r.mode) {
            EXPECT_EQ(timingModeNumber(*r.mode), r.stored);
        }
        // The stored integer as the console keeps it (unsigned) and as the hosts hand it on (int).
        const auto asUnsigned = static_cast<unsigned>(r.stored);
        const auto asInt = static_cast<int>(asUnsigned);
        EXPECT_EQ(isSingleLaneMode(asUnsigned), r.singleLane);
        EXPECT_EQ(isSingleLaneMode(asInt), r.singleLane);
        EXPECT_EQ(isTwoLaneMode(asUnsigned), r.twoLane);
        EXPECT_EQ(isTwoLaneMode(asInt), r.twoLane);
        EXPECT_EQ(isTwoLaneNonRollerMode(asUnsigned), r.twoLaneNonRoller);
        EXPECT_EQ(isTwoLaneNonRollerMode(asInt), r.twoLaneNonRoller);
        EXPECT_EQ(isGateLapMode(asUnsigned), r.gateLap);
        EXPECT_EQ(isGateLapMode(asInt), r.gateLap);
    }
    EXPECT_EQ(timingModeFrom(std::numeric_limits<std::int64_t>::min()), std::nullopt);
    EXPECT_EQ(timingModeFrom(std::numeric_limits<std::uint64_t>::max()), std::nullopt);
}
