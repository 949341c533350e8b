// The kernel-backed random draws: ranges kept, GUIDs well formed and distinct.
#include "core/platform/random.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace velmaro {
namespace {

TEST(Random, RangesAndGuids) {
    for (int max : {0, 1, 6, 59, 1000}) {
        std::set<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const int v = randomInt(max);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, max);
            seen.insert(v);
        }
        if (max <= 6) EXPECT_EQ(seen.size(), std::size_t(max + 1)) << max; // every value drawn
    }
    const std::regex shape("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    std::set<std::string> guids;
    for (int i = 0; i < 1000; ++i) {
        const std::string g = newGuid();
        ASSERT_TRUE(std::regex_match(g, shape)) << g;
        guids.insert(g);
    }
    EXPECT_EQ(guids.size(), 1000u);
}

} // namespace
} // namespace velmaro
