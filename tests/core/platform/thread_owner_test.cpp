// The owner thread of main-thread-only state.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "core/platform/thread_owner.h"

namespace velmaro {
namespace {

bool ownerFromOtherThread(const ThreadOwner& owner) {
    bool result = true;
    std::thread([&] { result = owner.isOwner(); }).join();
    return result;
}

TEST(ThreadOwner, TheBuildingThreadOwnsItAndNoOtherDoes) {
    const ThreadOwner here;
    EXPECT_TRUE(here.isOwner());
    EXPECT_FALSE(ownerFromOtherThread(here));

    // Built on another thread: that thread owns it, this one does not.
    std::optional<ThreadOwner> there;
    bool ownedThere = false;
    std::thread([&] {
        there.emplace();
        ownedThere = there->isOwner();
    }).join();
    EXPECT_TRUE(ownedThere);
    EXPECT_FALSE(there->isOwner());
}

TEST(ThreadOwner, AUseFromAnotherThreadStopsADebugBuild) {
#ifdef NDEBUG
    GTEST_SKIP() << "release build: assertOwner checks nothing";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const ThreadOwner owner;
    owner.assertOwner(); // the owner passes
    EXPECT_DEATH(std::thread([&] { owner.assertOwner(); }).join(), "other than the one that owns it");
#endif
}

} // namespace
} // namespace velmaro
