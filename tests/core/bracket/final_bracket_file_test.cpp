// final_bracket.txt: writing, reading back, and lines that do not fit the bracket.
#include <gtest/gtest.h>

#include "bracket_test_util.h"
#include "core/bracket/final_bracket_file.h"
#include "core/platform/files.h"
#include "core/registration/registry.h"
#include "fakes/temp_folder.h"

namespace velmaro {
namespace {

using test::makeRun;

// Two class pages (classes 2 and 5) in a bracket page list of the test's own.
class BracketFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto lock = pages.lockBrackets();
        pageA = pages.addBracketPage(&classA);
        pageB = pages.addBracketPage(&classB);
    }

    TFindRunById findRun() {
        return [this](std::int32_t id) {
            for (const auto& r : runs)
                if (r.runId == id) return r;
            return TDragRaceItem{};
        };
    }
    TFindClassById findClass() {
        return [this](std::int32_t id) -> TClassItem* {
            if (id == 2) return &classA;
            if (id == 5) return &classB;
            return nullptr;
        };
    }
    void read(const std::string& text) {
        auto lock = pages.lockBrackets();
        readFinalBracketLines(pages, splitTextLines(text), findRun(), findClass());
    }
    std::string written() {
        auto lock = pages.lockBrackets();
        return finalBracketText(pages.bracketPages());
    }

    BracketPages pages;
    TClassItem classA{2, "Сток"};
    TClassItem classB{5, "Про"};
    std::shared_ptr<TBracketPage> pageA, pageB;
    std::vector<TDragRaceItem> runs = {makeRun(9, 11, 12, 0), makeRun(14, 13, 0, 0)};
};

const char* const kExample = "BRACKETCLASS:2,4,0,3,1\n"
                             "RACER:0,11,2\n"
                             "RACER:1,12,2\n"
                             "RACER:2,13,2\n"
                             "RACER:3,0,0\n"
                             "ROUND:0\n"
                             "DRAGID:0,9\n"
                             "FORCEWINNER:1,0\n"
                             "COMMENT:1,1:T\n"
                             "ROUND:1\n";

TEST_F(BracketFileTest, NoBracketsGiveAnEmptyFile) { EXPECT_EQ(written(), ""); }

TEST_F(BracketFileTest, ExampleBlockReadsAndWritesBack) {
    read(kExample);
    auto b = pageA->bracket;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->classItem, &classA);
    EXPECT_EQ(b->title, "Сток");
    EXPECT_EQ(b->seededCount, 3);
    EXPECT_EQ(pageA->sizeChoice, 1);
    EXPECT_EQ(b->racers[2].number, 13);
    EXPECT_EQ(b->upperRound(0)->pair(0)->run.runId, 9);
    EXPECT_EQ(b->upperRound(0)->pair(0)->run.racer[0], 11); // a copy of the run itself
    EXPECT_EQ(b->upperRound(0)->pair(1)->forceWinner, 0);
    EXPECT_EQ(b->upperRound(0)->pair(1)->comments[1], "T");
    EXPECT_EQ(pageB->bracket, nullptr);
    EXPECT_EQ(written(), kExample);
}

TEST_F(BracketFileTest, RoundTripWithDeciderLowerRoundsAndComments) {
    {
        auto lock = pages.lockBrackets();
        auto b = std::make_shared<TFinalBracket>(4, 4, 5, 4, "Про");
        for (int i = 0; i < 4; ++i) b->setRacer(21 + i, 5, i);
        b->upperRound(0)->pair(1)->run.runId = 14;
        b->ensureUpperRound(3)->pair(0)->run.runId = 9; // the reset round, made by an update
        b->lowerRound(1)->pair(0)->forceWinner = 1;
        b->lowerRound(0)->pair(0)->comments[0] = "тех. поражение: сход";
        b->upperRound(2)->pair(0)->comments[1] = "строка 1\nстрока 2";
        (void)setPageBracket(*pageB, b);
        pageB->sizeChoice = 3;
    }
    const std::string text = written();
    EXPECT_NE(text.find("COMMENT:0,0:тех. поражение: сход\n"), std::string::npos);
    EXPECT_NE(text.find("COMMENT:0,1:строка 1 строка 2\n"), std::string::npos); // kept on one line
    EXPECT_NE(text.find("LROUND:1\nFORCEWINNER:0,1\n"), std::string::npos);

    auto before = pageB->bracket;
    {
        auto lock = pages.lockBrackets();
        (void)setPageBracket(*pageB, nullptr);
        pageB->sizeChoice = 0;
    }
    read(text);
    auto b = pageB->bracket;
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b, before);
    EXPECT_EQ(b->type, 4);
    EXPECT_EQ(b->size, 4);
    EXPECT_EQ(pageB->sizeChoice, 3);
    ASSERT_NE(b->upperRound(3), nullptr);
    EXPECT_EQ(b->upperRound(3)->pair(0)->run.runId, 9);
    EXPECT_EQ(b->upperRound(0)->pair(1)->run.runId, 14);
    EXPECT_EQ(b->lowerRound(1)->pair(0)->forceWinner, 1);
    EXPECT_EQ(b->lowerRound(0)->pair(0)->comments[0], "тех. поражение: сход"); // colon inside kept
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b->racers[i].number, 21 + i);
    EXPECT_EQ(written(), text);
}

TEST_F(BracketFileTest, ShortClassLinesAndUnknownClasses) {
    read("BRACKETCLASS:9,4,0,4,0\n" // no page has class 9: read and dropped
         "RACER:0,1,9\n"
         "ROUND:0\n"
         "DRAGID:0,9\n"
         "BRACKETCLASS:2,8,1\n" // three numbers: seeded count = size, size choice "16"
         "RACER:0,11,2\n"
         "BRACKETCLASS:5,4,6,2\n" // right after a short racer list: still read
         "junk line\n");
    ASSERT_NE(pageA->bracket, nullptr);
    EXPECT_EQ(pageA->bracket->seededCount, 8);
    EXPECT_EQ(pageA->sizeChoice, 2);
    EXPECT_EQ(pageA->bracket->racers[0].number, 11);
    ASSERT_NE(pageB->bracket, nullptr);
    EXPECT_EQ(pageB->sizeChoice, 2);
    EXPECT_EQ(pageB->bracket->seededCount, 2);
}

TEST_F(BracketFileTest, LinesThatDoNotFitAreSkipped) {
    read("BRACKETCLASS:2,3,0,3,1\n" // size not a power of two
         "RACER:0,11,2\n"
         "BRACKETCLASS:2,4,11,3,1\n" // no such type
         "BRACKETCLASS:2,128,0\n"    // too large
         "BRACKETCLASS:5,4,2,4,9\n"  // size choice out of range: "16"
         "RACER:7,31,5\n"            // slot outside the bracket
         "RACER:x\n"
         "RACER:2,33,5\n"
         "RACER:3,34,5\n"
         "ROUND:x\n"
         "ROUND:1\n"
         "DRAGID:5,9\n"      // no pair 5
         "FORCEWINNER:0,3\n" // no slot 3
         "COMMENT:0,2:x\n"   // no comment 2
         "COMMENT:0,1\n"     // no colon behind k
         "COMMENT:0,0:ok\n"
         "ROUND:40\n" // no such round
         "DRAGID:0,9\n"
         "ROUND:3\n"         // the decider, made only by a line with a known run
         "FORCEWINNER:0,1\n" // ignored: the round does not exist yet
         "DRAGID:0,77\n"     // run not in the list: skipped, no empty round a save would lose
         "LROUND:0\n"        // no lower rounds in type 2
         "DRAGID:0,9\n");
    EXPECT_EQ(pageA->bracket, nullptr);
    auto b = pageB->bracket;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(pageB->sizeChoice, 2);
    EXPECT_EQ(b->racers[2].number, 33);
    EXPECT_EQ(b->racers[3].number, 34);
    EXPECT_EQ(b->racers[0].number, 0);
    TFinalPair* p = b->upperRound(1)->pair(0);
    EXPECT_EQ(p->forceWinner, -1);
    EXPECT_EQ(p->comments[1], "");
    EXPECT_EQ(p->comments[0], "ok");
    EXPECT_EQ(b->upperRound(3), nullptr);
}

TEST_F(BracketFileTest, NumbersBeyondIntAreSkippedAndAKnownRunMakesTheDecider) {
    read("BRACKETCLASS:5,99999999999,0\n"
         "BRACKETCLASS:5,4,2,4,99999999999\n" // size choice out of range: the default
         "RACER:0,99999999999,5\n"
         "RACER:1,5,5\n"
         "ROUND:3\n"
         "DRAGID:0,9\n");
    auto b = pageB->bracket;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size, 4);
    EXPECT_EQ(pageB->sizeChoice, 2);
    EXPECT_EQ(b->racers[0].number, 0);
    EXPECT_EQ(b->racers[1].number, 5);
    ASSERT_NE(b->upperRound(3), nullptr);
    EXPECT_EQ(b->upperRound(3)->pair(0)->run.runId, 9);
}

TEST_F(BracketFileTest, SavedAtomicallyAndLoadedFromTheEventFolder) {
    test::TempFolder folder;
    read(kExample);
    ASSERT_TRUE(saveFinalBracketFile(pages, folder.path()).ok());
    EXPECT_EQ(folder.read("final_bracket.txt"), kExample);
    {
        auto lock = pages.lockBrackets();
        (void)setPageBracket(*pageA, nullptr);
    }
    // CR LF line ends read the same.
    std::string crlf;
    for (char c : std::string(kExample)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    folder.write("final_bracket.txt", crlf);
    loadFinalBracketFile(pages, folder.path(), findRun(), findClass());
    ASSERT_NE(pageA->bracket, nullptr);
    EXPECT_EQ(pageA->bracket->upperRound(0)->pair(1)->comments[1], "T");
    // A missing file leaves the pages as they are.
    auto kept = pageA->bracket;
    loadFinalBracketFile(pages, folder.path() / "none", findRun(), findClass());
    EXPECT_EQ(pageA->bracket, kept);
}

TEST_F(BracketFileTest, ReplacedBracketStaysAliveForItsHolder) {
    read(kExample);
    std::shared_ptr<TFinalBracket> held = pageA->bracket; // e.g. a worker in the middle of an update
    read(kExample);
    EXPECT_NE(pageA->bracket, held);
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(held->racers[0].number, 11); // still a whole bracket
}

} // namespace
} // namespace velmaro
