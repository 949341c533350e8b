// The page list and the bracket lock shared by the drag results thread and the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bracket_test_util.h"
#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"

namespace velmaro {
namespace {

TEST(BracketPages, PagesInOrderAndClassLookup) {
    TClassItem a(4, "A"), b(6, "B");
    BracketPages pages;
    BracketPages other; // another console's pages: it sees none of these
    auto lock = pages.lockBrackets();
    auto pa = pages.addBracketPage(&a);
    auto pb = pages.addBracketPage(&b);
    EXPECT_EQ(pages.findBracketPage(6), pb);
    {
        auto otherLock = other.lockBrackets(); // a lock of its own: taken while this one is held
        EXPECT_EQ(other.findBracketPage(6), nullptr);
        EXPECT_TRUE(other.bracketPages().empty());
    }
    auto bracket = std::make_shared<TFinalBracket>(4, 0, 6, 4, "старое имя");
    EXPECT_EQ(setPageBracket(*pb, bracket), nullptr);
    EXPECT_EQ(bracket->classItem, &b);
    b.name = "B2";
    syncBracketClass(*bracket);
    EXPECT_EQ(bracket->title, "B2");
    setPageClass(*pb, &a);
    EXPECT_EQ(pages.findBracketPage(4), pa); // the first page with the class
    pages.removeBracketPage(pa.get());
    pages.removeBracketPage(pb.get());
    EXPECT_EQ(pages.findBracketPage(4), nullptr);
    EXPECT_EQ(bracket.use_count(), 2); // the page record still holds it until it goes
}

// The drag results thread advances the page's bracket while the main thread paints it
// and replaces it by a new one; both take the bracket lock, and the worker's copy of
// the pointer keeps a replaced bracket alive until its update is done.
TEST(BracketPages, UpdatesAndReplacementsNeverOverlap) {
    TClassItem cls(8, "C");
    BracketPages pages;
    std::shared_ptr<TBracketPage> page;
    {
        auto lock = pages.lockBrackets();
        page = pages.addBracketPage(&cls);
        (void)setPageBracket(*page, std::make_shared<TFinalBracket>(16, 4, 8, 16, "C"));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> updates{0};
    std::thread worker([&] {
        TDragRunMap runs;
        runs[1] = test::makeRun(1, 1, 16, 0);
        while (!stop) {
            auto lock = pages.lockBrackets();
            for (const auto& p : pages.bracketPages()) {
                std::shared_ptr<TFinalBracket> b = p->bracket;
                if (!b) continue;
                b->update(runs);
                ++updates;
            }
        }
    });
    test::RecordingCanvas canvas;
    for (int i = 0; i < 200; ++i) {
        auto b = std::make_shared<TFinalBracket>(16, 4, 8, 16, "C");
        test::fillRacers(*b, 16);
        b->upperRound(0)->pair(0)->run.runId = 1;
        std::shared_ptr<TFinalBracket> old;
        {
            auto lock = pages.lockBrackets();
            old = setPageBracket(*page, b);
            page->bracket->draw(&canvas, {}, 1.0);
        }
        canvas.calls.clear();
    }
    // Let one more update run on the last bracket installed.
    const int seen = updates;
    while (updates <= seen) std::this_thread::yield();
    stop = true;
    worker.join();
    auto lock = pages.lockBrackets();
    EXPECT_EQ(page->bracket->upperRound(0)->pair(0)->winner, 0);
    pages.removeBracketPage(page.get());
}

} // namespace
} // namespace velmaro
