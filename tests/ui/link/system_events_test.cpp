// The main window's handling of the seven system events, and their queued hand-over from
// the link thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QThread>

#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/app/console.h"
#include "core/intake/hit_intake.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/manual_poster.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/link/start_light_tree.h"
#include "ui/link/status_lamp.h"
#include "ui/link/system_event_adapter.h"
#include "ui/link/system_events.h"

namespace velmaro::ui {
namespace {

class FakeLink : public SystemEventLink {
public:
    std::deque<TSignalHit> queue;
    int disarms = 0;
    std::array<std::uint8_t, CHANNEL_COUNT> levels{};
    std::size_t hitCount() override { return queue.size(); }
    int logged = 0;
    bool tryPopHit(TSignalHit& h) override {
        if (queue.empty()) return false;
        h = queue.front();
        queue.pop_front();
        return true;
    }
    void hitsLogged() override { ++logged; }
    void disarmAutoStart() override { ++disarms; }
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels() override { return levels; }
};

class FakeHost : public SystemEventHost {
public:
    bool armed = false;
    int releases = 0, starts = 0, startGiven = 0;
    std::vector<std::array<std::uint8_t, CHANNEL_COUNT>> levelCalls;
    std::vector<std::string> calls; // order of the window's actions
    unsigned mode = 1;              // the console's timing mode
    int racerAtStart = 0;           // the console's racer at the start
    bool startArmed() override { return armed; }
    void setStartArmed(bool a) override { armed = a; }
    unsigned raceMode() override { return mode; }
    void setRacerAtStart(int number) override { racerAtStart = number; }
    void releaseBlockSt() override {
        ++releases;
        calls.push_back("release");
    }
    void pressStart() override {
        ++starts;
        calls.push_back("start");
    }
    void showStartGiven() override { ++startGiven; }
    void setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& l) override { levelCalls.push_back(l); }
    int racerNumberByTag(int tag) override { return tag == 0 ? 0 : tag == 77 ? 12 : tag; }
};

class SystemEvents : public ::testing::Test {
protected:
    FakeLink link;
    FakeHost host;
    test::ScriptedOperator op;
    StartLightTree tree;
    QLabel* label = new QLabel(racerAtStartText(0)); // lNumAtStart
    std::vector<TSignalHit> processed;
    std::vector<int> sources;
    velmaro::test::FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    SystemEventHandler handler{
        link, host, op, &tree, label, intake, [this](int node, int signal, std::uint64_t t, int source) {
            processed.push_back({std::uint32_t(node), std::uint32_t(signal), t});
            sources.push_back(source);
            host.calls.push_back("hit");
        }};
    void TearDown() override { delete label; }
};

TEST_F(SystemEvents, NewHitsAreTakenOldestFirstInSlicesUntilTheQueueIsEmpty) {
    link.queue = {{2, 0, 1000}, {4, 2, 1500}, {5, 0, 1700}};
    // A hit arriving while the handler runs is taken too; with no time to spare each
    // slice takes one hit and leaves the rest to a queued call.
    SystemEventHandler arriving(link, host, op, &tree, label, intake,
                                [&](int node, int signal, std::uint64_t t, int source) {
                                    processed.push_back({std::uint32_t(node), std::uint32_t(signal), t});
                                    sources.push_back(source);
                                    if (processed.size() == 1) link.queue.push_back({2, 2, 1800});
                                });
    arriving.setSliceBudget(std::chrono::microseconds(0));
    arriving.onSystemEvent(SE_NEW_HITS, 0);
    EXPECT_EQ(processed.size(), 1u);
    arriving.onSystemEvent(SE_NEW_HITS, 0); // the queued call is pending: no second slice
    EXPECT_EQ(processed.size(), 1u);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    const std::vector<TSignalHit> expected{{2, 0, 1000}, {4, 2, 1500}, {5, 0, 1700}, {2, 2, 1800}};
    EXPECT_EQ(processed, expected);
    EXPECT_EQ(sources, std::vector<int>(4, HIT_FROM_DEVICE));
    EXPECT_TRUE(link.queue.empty());
}

TEST_F(SystemEvents, ASliceStopsWhereANestedEventLoopEmptiedTheQueue) {
    link.queue = {{2, 0, 1000}, {4, 2, 1500}, {5, 0, 1700}};
    // The first hit opens a dialog whose event loop takes the rest (as a nested slice
    // would); the outer slice must not go on with empty pops.
    SystemEventHandler nested(link, host, op, &tree, label, intake, [&](int node, int signal, std::uint64_t t, int) {
        processed.push_back({std::uint32_t(node), std::uint32_t(signal), t});
        if (processed.size() == 1)
            while (!link.queue.empty()) {
                processed.push_back(link.queue.front());
                link.queue.pop_front();
            }
    });
    nested.onSystemEvent(SE_NEW_HITS, 0);
    const std::vector<TSignalHit> expected{{2, 0, 1000}, {4, 2, 1500}, {5, 0, 1700}};
    EXPECT_EQ(processed, expected);
}

// The journal's hits from before a restart go through the same slices as the link's, all
// of them ahead of any hit the link queued; the journal may be emptied (`replayed`) only
// once hitlog.txt holds every one. Hits already in the event's files are only logged.
TEST_F(SystemEvents, AJournalReplayRunsInSlicesAheadOfTheLinksHits) {
    test::TempFolder event;
    intakeHost.folder = event.path();
    handler.setSliceBudget(std::chrono::microseconds(0)); // one hit per slice
    std::vector<TSignalHit> journal;
    for (std::uint64_t i = 0; i < 5; ++i) journal.push_back({3, std::uint32_t(i % 2), 1'700'000'000'000 + 7 * i});
    link.queue = {{2, 0, 1'600'000'000'000}}; // older than every replayed hit, and still after them
    std::vector<std::size_t> loggedAtLiveHit;
    std::vector<bool> pendingAtLiveHit;
    std::string hitlogWhenReplayed;
    int replayed = 0;
    SystemEventHandler slices(link, host, op, &tree, label, intake,
                              [&](int node, int signal, std::uint64_t t, int src) {
                                  loggedAtLiveHit.push_back(intake.hitList().size());
                                  pendingAtLiveHit.push_back(intake.replayPending());
                                  intake.processHit(node, signal, t, src);
                              });
    slices.setSliceBudget(std::chrono::microseconds(0));
    slices.replayJournal(journal, {journal[1]}, [&] {
        ++replayed;
        hitlogWhenReplayed = event.read("hitlog.txt");
    });
    EXPECT_TRUE(intake.hitList().empty()); // nothing before the event loop turns
    int turns = 0;
    while ((intake.replayPending() || !link.queue.empty()) && turns < 100) {
        QCoreApplication::processEvents();
        ++turns;
    }
    QCoreApplication::processEvents();
    EXPECT_GE(turns, 5); // the event loop got control between the slices
    EXPECT_EQ(loggedAtLiveHit, std::vector<std::size_t>{5});
    EXPECT_EQ(pendingAtLiveHit, std::vector<bool>{false});
    EXPECT_EQ(replayed, 1);
    std::vector<THitRecord> records = parseHitLog(hitlogWhenReplayed);
    ASSERT_EQ(records.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(records[i].milliseconds, journal[i].time % 1000) << i;
    EXPECT_EQ(intakeHost.taken.size(), 5u); // the live hit and four replayed: the taken one only logged
    EXPECT_GE(link.logged, 1);
}

// Leaving the event takes the rest of a replay at once; closing the window drops it, and
// the journal is never said to be replayed.
TEST_F(SystemEvents, AReplayIsFinishedBeforeTheEventIsLeftAndDroppedAtTheClose) {
    test::TempFolder event;
    intakeHost.folder = event.path();
    const std::vector<TSignalHit> journal{{3, 0, 1'700'000'000'000}, {3, 2, 1'700'000'000'010}};
    for (const bool leave : {true, false}) {
        SCOPED_TRACE(leave ? "leaving the event" : "closing the window");
        intake.loadHitLog();
        std::filesystem::remove(event / "hitlog.txt");
        intake.loadHitLog();
        int replayed = 0;
        handler.replayJournal(journal, {}, [&] { ++replayed; });
        if (leave)
            handler.finishReplay();
        else
            handler.dropReplay();
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        EXPECT_EQ(replayed, leave ? 1 : 0);
        EXPECT_EQ(intake.hitList().size(), leave ? 2u : 0u);
        EXPECT_FALSE(intake.replayPending());
    }
}

TEST_F(SystemEvents, TheHitProcessorIsRequired) {
    EXPECT_THROW(SystemEventHandler(link, host, op, &tree, label, intake, {}), std::invalid_argument);
}

TEST_F(SystemEvents, StartSignalsReleaseBlockStOrPressStartAfterTheHitIsProcessed) {
    struct Row {
        const char* name;
        std::uint32_t signal;
        bool armed;
        unsigned mode;
        int releases, starts;
    } rows[] = {
        {"stage left, armed", 1, true, 0, 1, 0},
        {"stage right, not armed, mode 0: stays down", 3, false, 0, 0, 0},
        {"stage right, not armed, mode 1: released", 3, false, 1, 1, 0},
        {"signal 15, armed", 15, true, 2, 1, 0},
        {"signal 15, not armed, mode 4", 15, false, 4, 0, 0},
        {"start request, armed", 9, true, 0, 0, 1},
        {"start request, not armed", 9, false, 0, 0, 0},
        {"start request, not armed, mode 1", 9, false, 1, 0, 0},
        {"finish line", 0, true, 1, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host = FakeHost();
        host.armed = r.armed;
        host.mode = r.mode;
        link.queue = {{1, r.signal, 5000}};
        handler.onSystemEvent(SE_NEW_HITS, 0);
        EXPECT_EQ(host.releases, r.releases);
        EXPECT_EQ(host.starts, r.starts);
        if (!host.calls.empty()) {
            EXPECT_EQ(host.calls.front(), "hit");
        }
    }
}

TEST_F(SystemEvents, AbortedAutomaticStartAsksWhetherToResume) {
    host.armed = true;
    op.yesNoAnswers = {true};
    handler.onSystemEvent(SE_AUTOSTART_ABORTED, 0);
    EXPECT_TRUE(host.armed);
    EXPECT_EQ(link.disarms, 0);
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_EQ(op.shown[0], "Процедура старта прервана.\nВозобновить?");
    EXPECT_EQ(op.questionIcons, std::vector{Operator::Icon::Warning});

    op.yesNoAnswers = {false};
    handler.onSystemEvent(SE_AUTOSTART_ABORTED, 0);
    EXPECT_FALSE(host.armed);
    EXPECT_EQ(link.disarms, 1);
}

TEST_F(SystemEvents, StartGivenResentLightsAndChannelLevels) {
    handler.onSystemEvent(SE_START_GIVEN, 0);
    EXPECT_EQ(host.startGiven, 1);
    handler.onSystemEvent(SE_START_RESENT, 0);
    EXPECT_EQ(host.releases, 1);
    handler.onSystemEvent(SE_START_LIGHTS, 0xFFFF2001u); // only the low 16 bits count
    EXPECT_EQ(tree.lamp(0, 0)->color(), lamp::kTreeWhite);
    EXPECT_EQ(tree.lamp(1, 5)->color(), lamp::kTreeGreen);
    EXPECT_EQ(tree.lamp(1, 6)->color(), lamp::kTreeOff);
    link.levels[0] = 7;
    link.levels[125] = 200;
    handler.onSystemEvent(SE_CHANNEL_LEVELS, 0);
    ASSERT_EQ(host.levelCalls.size(), 1u);
    EXPECT_EQ(host.levelCalls[0], link.levels);
    // Unknown codes do nothing.
    handler.onSystemEvent(0, 0);
    handler.onSystemEvent(8, 123);
    EXPECT_EQ(host.releases + host.starts + host.startGiven, 2);
    EXPECT_TRUE(processed.empty());
}

TEST_F(SystemEvents, TagAtStartNamesTheRacerOnlyFromTheStartReader) {
    EXPECT_EQ(label->text(), QStringLiteral("--"));
    handler.onSystemEvent(SE_TAG_AT_START, 3u | (77u << 8));
    EXPECT_EQ(host.racerAtStart, 12);
    EXPECT_EQ(label->text(), QStringLiteral("12"));
    handler.onSystemEvent(SE_TAG_AT_START, 5u | (88u << 8)); // node 5: nothing
    EXPECT_EQ(host.racerAtStart, 12);
    EXPECT_EQ(label->text(), QStringLiteral("12"));
    handler.onSystemEvent(SE_TAG_AT_START, 3u | (4321u << 8)); // unknown tag: the tag itself
    EXPECT_EQ(host.racerAtStart, 4321);
    handler.onSystemEvent(SE_TAG_AT_START, 3u); // tag 0
    EXPECT_EQ(host.racerAtStart, 0);
    EXPECT_EQ(label->text(), QStringLiteral("--"));
}

TEST(SystemEventAdapterTest, EventsFromAnotherThreadRunThroughThePoster) {
    std::vector<std::pair<int, std::uint32_t>> got;
    test::ManualPoster poster;
    auto adapter =
        std::make_unique<SystemEventAdapter>(poster, [&](int code, std::uint32_t w) { got.emplace_back(code, w); });
    SystemEventSink sink = adapter->sink();
    std::thread worker([&] {
        sink(SE_NEW_HITS, 0);
        sink(SE_START_LIGHTS, 0x2001);
    });
    worker.join();
    EXPECT_TRUE(got.empty()); // nothing runs inside the link thread's call
    EXPECT_EQ(poster.runPending(), 2u);
    const std::vector<std::pair<int, std::uint32_t>> expected{{SE_NEW_HITS, 0}, {SE_START_LIGHTS, 0x2001}};
    EXPECT_EQ(got, expected);

    // Queued calls and later posts die with the adapter.
    sink(SE_START_GIVEN, 0);
    adapter.reset();
    sink(SE_START_GIVEN, 0);
    EXPECT_EQ(poster.runPending(), 1u);
    EXPECT_EQ(got.size(), 2u);
}

} // namespace
} // namespace velmaro::ui
