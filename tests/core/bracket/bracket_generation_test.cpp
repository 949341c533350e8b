// Bracket generation: size, orders, the draw, every type's first round from a
// qualification order, and the file following memory on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/bracket/bracket_generation.h"
#include "core/bracket/final_bracket_file.h"
#include "core/registration/registry.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro {
namespace {

using test::ScriptedOperator;

class FakeGenerationPort : public TBracketGenerationPort {
public:
    explicit FakeGenerationPort(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool editRacerOrder(std::vector<TRacerItem*>& racers) override {
        shownOrders.push_back(numbers(racers));
        if (!acceptOrder) return false;
        if (reorder) reorder(racers);
        return true;
    }
    void bracketInstalled() override { ++installs; }
    void requestRebuild() override { ++rebuilds; }
    std::filesystem::path eventFolder() override { return folder_; }

    static std::vector<int> numbers(const std::vector<TRacerItem*>& racers) {
        std::vector<int> out;
        for (auto* r : racers) out.push_back(int(r->number));
        return out;
    }

    bool acceptOrder = true;
    std::function<void(std::vector<TRacerItem*>&)> reorder;
    std::vector<std::vector<int>> shownOrders;
    int installs = 0;
    int rebuilds = 0;

private:
    std::filesystem::path folder_;
};

// A registry with `count` racers numbered 101, 102, ... entered in class 4 (and a
// racer of another class in between), one class page for class 4.
class GenerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto lock = pages.lockBrackets();
        page = pages.addBracketPage(&cls);
    }
    void enter(int count) {
        registry.racers.clear();
        for (int i = 0; i < count; ++i) {
            auto r = std::make_unique<TRacerItem>(std::uint32_t(101 + i));
            r->name = "Racer " + std::to_string(101 + i);
            r->classIds = {4};
            registry.racers.push_back(std::move(r));
            if (i == 1) {
                auto other = std::make_unique<TRacerItem>(900u);
                other->classIds = {5};
                registry.racers.push_back(std::move(other));
            }
        }
        cls.racerCount = count;
    }
    TGenerationOutcome generate(int method, int requested = 8, int type = 0, std::int64_t now = 1700000000) {
        TGenerationRequest req;
        req.type = type;
        req.method = method;
        req.requestedSize = requested;
        req.nowSeconds = now;
        return generateBracket(pages, page, req, registry, op, port);
    }
    std::shared_ptr<TFinalBracket> bracket() {
        auto lock = pages.lockBrackets();
        return page->bracket;
    }
    std::vector<int> slotNumbers() {
        auto lock = pages.lockBrackets();
        std::vector<int> out;
        for (const auto& r : page->bracket->racers) out.push_back(r.number);
        return out;
    }
    // The file holds exactly what the pages hold.
    void expectFileAgrees() {
        std::string memory;
        {
            auto lock = pages.lockBrackets();
            memory = finalBracketText(pages.bracketPages());
        }
        EXPECT_EQ(folder.read("final_bracket.txt"), memory);
    }

    test::TempFolder folder;
    TRegistry registry;
    TClassItem cls{4, "Стрит"};
    BracketPages pages;
    std::shared_ptr<TBracketPage> page;
    ScriptedOperator op;
    FakeGenerationPort port{folder.path()};
};

TEST(BracketGenerationSize, HalvesTheRequestedSizeToTheRacers) {
    struct Row {
        int requested, racers, size;
    } rows[] = {{8, 5, 8}, {8, 4, 4},  {8, 3, 4},    {8, 2, 2},  {8, 1, 1},  {8, 9, 8},
                {8, 0, 0}, {64, 5, 8}, {64, 33, 64}, {4, 40, 4}, {16, 8, 8}, {16, 9, 16}};
    for (const Row& r : rows)
        EXPECT_EQ(generatedBracketSize(r.requested, r.racers), r.size) << r.requested << " / " << r.racers;
    // One racer: the bracket itself makes the 1 a 2.
    EXPECT_EQ(TFinalBracket(generatedBracketSize(8, 1), 0, 1, 1, "").size, 2);
}

TEST(BracketGenerationDraw, ExchangesWithLaterPositionsOnly) {
    std::vector<TRacerItem> racers;
    for (unsigned n = 1; n <= 12; ++n) racers.emplace_back(n);
    auto order = [&](std::size_t n, std::int64_t seed) {
        std::vector<TRacerItem*> v;
        for (std::size_t i = 0; i < n; ++i) v.push_back(&racers[i]);
        TBracketRandom random(seed);
        shuffleDrawOrder(v, random);
        return FakeGenerationPort::numbers(v);
    };
    for (std::int64_t seed : {0LL, 1LL, 1700000000LL, 1700000001LL}) {
        EXPECT_EQ(order(2, seed), (std::vector<int>{2, 1}));
        const auto three = order(3, seed);
        EXPECT_TRUE(three == (std::vector<int>{2, 3, 1}) || three == (std::vector<int>{3, 1, 2})) << seed;
        // No racer stays where it was (every position is exchanged with a later one at
        // its turn, so the first position always changes).
        EXPECT_NE(order(12, seed)[0], 1);
    }
    EXPECT_EQ(order(12, 1700000000), order(12, 1700000000)); // same second, same order
    EXPECT_NE(order(12, 1700000000), order(12, 1700000001));
    EXPECT_TRUE(order(1, 5) == std::vector<int>{1} && order(0, 5).empty());
}

TEST(BracketGenerationDraw, GeneratorSequence) {
    // s0 = (t * 22695477 + 1) mod 2^32, then s = s * 22695477 + 1 (mod 2^64), bits 32..62.
    TBracketRandom random(1);
    const std::uint64_t s0 = 22695478;
    const std::uint64_t s1 = s0 * 22695477 + 1;
    const std::uint64_t s2 = s1 * 22695477 + 1;
    EXPECT_EQ(random.next(), std::uint32_t(s1 >> 32) & 0x7FFFFFFF);
    EXPECT_EQ(random.next(), std::uint32_t(s2 >> 32) & 0x7FFFFFFF);
}

TEST_F(GenerationTest, EveryTypeSeedsItsFirstRoundFromTheQualificationOrder) {
    enter(6);
    // Qualification order 104, 101, 106, 103, 105, 102, plus an unregistered 777 skipped.
    for (int n : {104, 101, 106, 777, 103, 105, 102}) cls.timedResults.emplace_back(n, 4);
    cls.results = cls.timedResults;
    const std::vector<int> order = {104, 101, 106, 103, 105, 102};
    for (int type = 0; type < kBracketTypeCount; ++type) {
        SCOPED_TRACE(type);
        op.yesNoAnswers = {true}; // replace the previous type's bracket
        port.shownOrders.clear();
        ASSERT_EQ(generate(GENERATION_QUALIFICATION, 8, type), TGenerationOutcome::Generated);
        ASSERT_EQ(port.shownOrders.size(), 1u);
        EXPECT_EQ(port.shownOrders[0], order);
        auto b = bracket();
        auto lock = pages.lockBrackets();
        EXPECT_EQ(b->size, 8);
        EXPECT_EQ(b->type, type);
        EXPECT_EQ(b->seededCount, 7); // participants = entries of results, unregistered included
        for (int k = 0; k < 6; ++k) EXPECT_EQ(b->racers[std::size_t(k)].number, order[std::size_t(k)]);
        // Every first-round slot shows the racer of its slot; no racer twice.
        std::multiset<int> seen;
        for (const auto& p : b->upperRound(0)->pairs)
            for (const TFinalRacer* r : p->racers)
                if (r && r->number > 0) seen.insert(r->number);
        for (int n : order) EXPECT_LE(seen.count(n), 1u) << n;
        if (type == BRACKET_SINGLE) {
            auto numbersOf = [&](int k) {
                const auto* p = b->upperRound(0)->pair(k);
                return std::pair{p->racers[0]->number, p->racers[1]->number};
            };
            // Mirrored halving: slots (0,7), (4,3), (2,5), (6,1).
            EXPECT_EQ(numbersOf(0), (std::pair{104, 0}));
            EXPECT_EQ(numbersOf(1), (std::pair{105, 103}));
            EXPECT_EQ(numbersOf(2), (std::pair{106, 102}));
            EXPECT_EQ(numbersOf(3), (std::pair{0, 101}));
        }
    }
    expectFileAgrees();
}

TEST_F(GenerationTest, ManualOrderAppliedAndOldRacersListedFirst) {
    enter(5);
    ASSERT_EQ(generate(GENERATION_MANUAL), TGenerationOutcome::Generated);
    EXPECT_EQ(port.shownOrders.back(), (std::vector<int>{101, 102, 103, 104, 105}));
    EXPECT_EQ(slotNumbers(), (std::vector<int>{101, 102, 103, 104, 105, 0, 0, 0}));

    // Again, replacing it: the operator moves 105 to the top.
    {
        auto lock = pages.lockBrackets();
        page->bracket->racers[0].number = 104; // the old bracket's order: 104, 102, ...
        page->bracket->racers[3].number = 101;
    }
    op.yesNoAnswers = {true};
    port.reorder = [](std::vector<TRacerItem*>& v) { std::rotate(v.begin(), v.end() - 1, v.end()); };
    ASSERT_EQ(generate(GENERATION_MANUAL), TGenerationOutcome::Generated);
    EXPECT_EQ(port.shownOrders.back(), (std::vector<int>{104, 102, 103, 101, 105}));
    EXPECT_EQ(slotNumbers(), (std::vector<int>{105, 104, 102, 103, 101, 0, 0, 0}));
    expectFileAgrees();
}

TEST_F(GenerationTest, DrawOfTwelveIntoEightTakesTheFirstEightEntered) {
    enter(12);
    op.yesNoAnswers = {true};
    ASSERT_EQ(generate(GENERATION_DRAW), TGenerationOutcome::Generated);
    EXPECT_EQ(op.shown, (std::vector<std::string>{kTooManyRacersText}));
    EXPECT_EQ(op.questionIcons, std::vector{Operator::Icon::Error});
    auto numbers = slotNumbers();
    EXPECT_EQ(numbers.size(), 8u);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108}));
}

TEST_F(GenerationTest, RefusalsAndCancelsLeaveFileAndMemoryAgreeing) {
    enter(9);
    ASSERT_EQ(generate(GENERATION_MANUAL), TGenerationOutcome::Empty); // "Продолжить?" unanswered = No
    EXPECT_EQ(op.shown.back(), kTooManyRacersText);
    EXPECT_TRUE(port.shownOrders.empty());
    ASSERT_TRUE(bracket());
    EXPECT_EQ(slotNumbers(), std::vector<int>(8, 0));
    EXPECT_EQ(port.rebuilds, 1);
    expectFileAgrees();

    // Keep the old bracket: nothing changes, nothing is written or requested.
    const auto before = bracket();
    op.yesNoAnswers = {false};
    EXPECT_EQ(generate(GENERATION_QUALIFICATION), TGenerationOutcome::Kept);
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Question);
    EXPECT_EQ(bracket(), before);
    EXPECT_EQ(port.rebuilds, 1);

    // A filled bracket, then a declined draw: the file drops the old racers too.
    op.yesNoAnswers = {true, true};
    ASSERT_EQ(generate(GENERATION_DRAW), TGenerationOutcome::Generated);
    expectFileAgrees();
    op.yesNoAnswers = {true, false};
    ASSERT_EQ(generate(GENERATION_DRAW), TGenerationOutcome::Empty);
    EXPECT_EQ(slotNumbers(), std::vector<int>(8, 0));
    expectFileAgrees();

    // Qualification cancelled in the dialog: empty bracket, rebuild still requested.
    port.acceptOrder = false;
    op.yesNoAnswers = {true};
    const int rebuilds = port.rebuilds;
    ASSERT_EQ(generate(GENERATION_QUALIFICATION), TGenerationOutcome::Empty);
    EXPECT_EQ(port.rebuilds, rebuilds + 1);
    expectFileAgrees();

    // No racers left in the class: the page holds no bracket, and neither does the file.
    enter(0);
    op.yesNoAnswers = {true};
    EXPECT_EQ(generate(GENERATION_QUALIFICATION), TGenerationOutcome::NoRacers);
    EXPECT_FALSE(bracket());
    EXPECT_EQ(folder.read("final_bracket.txt"), "");
}

// One racer left in the class: the size works out to 1 and the bracket has 2 slots, but
// only one racer is placed, whatever the order offers (old results, the old bracket).
TEST_F(GenerationTest, SizeOnePlacesOneRacerWhateverTheOrderHolds) {
    for (int method : {GENERATION_QUALIFICATION, GENERATION_DRAW, GENERATION_MANUAL}) {
        SCOPED_TRACE(method);
        enter(2);
        op.yesNoAnswers = {true};
        ASSERT_EQ(generate(GENERATION_MANUAL), TGenerationOutcome::Generated);
        ASSERT_EQ(slotNumbers(), (std::vector<int>{101, 102}));
        registry.racers[1]->classIds = {5}; // 102 moves to another class
        cls.racerCount = 1;
        cls.results = {TDragResult(101, 4), TDragResult(102, 4)};
        op.yesNoAnswers = {true};
        ASSERT_EQ(generate(method), TGenerationOutcome::Generated);
        EXPECT_EQ(slotNumbers(), (std::vector<int>{101, 0}));
    }
}

TEST_F(GenerationTest, RacerWithoutNumberTakesAPositionButLeavesItsSlotEmpty) {
    enter(3);
    registry.racers[1]->number = 0;
    ASSERT_EQ(generate(GENERATION_MANUAL), TGenerationOutcome::Generated);
    EXPECT_EQ(port.shownOrders.back(), (std::vector<int>{101, 0, 103}));
    EXPECT_EQ(slotNumbers(), (std::vector<int>{101, 0, 103, 0}));
}

} // namespace
} // namespace velmaro
