// The main-thread poster: calls from any thread run later on the main thread, in order;
// once the window closes, queued calls are skipped and later posts dropped; a poster
// destroyed with calls still queued leaves nothing behind.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QWidget>

#include <memory>
#include <thread>
#include <vector>

#include "ui/platform/queued_poster.h"

namespace velmaro::ui {
namespace {

TEST(QueuedPosterTest, CallsFromAnotherThreadRunLaterOnTheMainThreadInOrder) {
    QWidget window;
    QueuedPoster poster(&window);
    std::vector<int> ran;
    Qt::HANDLE ranOn = nullptr;
    std::thread worker([&] {
        for (int i = 1; i <= 3; ++i)
            poster.post([&ran, &ranOn, i] {
                ran.push_back(i);
                ranOn = QThread::currentThreadId();
            });
    });
    worker.join();
    EXPECT_TRUE(ran.empty());
    poster.post([&ran] { ran.push_back(4); }); // never inline, even on the main thread
    EXPECT_EQ(ran.size(), 0u);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(ranOn, QThread::currentThreadId());
}

TEST(QueuedPosterTest, AClosingWindowDropsQueuedAndLaterCalls) {
    auto window = std::make_unique<QWidget>();
    window->show();
    QueuedPoster poster(window.get());
    int ran = 0;
    poster.post([&ran] { ++ran; }); // queued before the close
    window->close();
    EXPECT_FALSE(poster.open());
    std::thread([&] { poster.post([&ran] { ++ran; }); }).join(); // after it
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);

    // A window destroyed without a close event: its queued calls are skipped as well.
    auto other = std::make_unique<QWidget>();
    QueuedPoster otherPoster(other.get());
    otherPoster.post([&ran] { ++ran; });
    other.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
}

TEST(QueuedPosterTest, APosterGoneWithCallsQueuedLeavesNothingToRun) {
    QWidget window;
    auto poster = std::make_unique<QueuedPoster>(&window);
    auto held = std::make_shared<int>(0);
    poster->post([held] { ++*held; });
    EXPECT_EQ(held.use_count(), 2);
    poster.reset();
    EXPECT_EQ(held.use_count(), 1); // the queued call and what it held are gone
    QCoreApplication::processEvents();
    EXPECT_EQ(*held, 0);
    window.close(); // the window outlives its poster
}

} // namespace
} // namespace velmaro::ui
