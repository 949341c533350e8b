// The hit intake: duplicate filter, remote signals, transponder decoding, dispatch per
// timing mode, the hit list and hitlog.txt.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>

#include <sys/stat.h>

#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/save_report.h"
#include "fakes/crash_cuts.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

using namespace velmaro;
using velmaro::test::TempFolder;

namespace {

struct Call {
    int mode, node, signal;
    std::uint64_t time;
    int racer, classId, source;
    bool operator==(const Call&) const = default;
};

// The intake wired to a temp event folder, a registry of tags and recording handlers:
// the fixture is the intake's host.
class HitIntakeTest : public ::testing::Test, public HitIntakeHost {
protected:
    void SetUp() override {
        for (TimingMode mode : {TimingMode::LapOneGate, TimingMode::StartFinish, TimingMode::Gymkhana})
            intake.handlers().setLapHandler(mode, [this, mode](int n, int s, std::uint64_t t, int r, int c) {
                calls.push_back({timingModeNumber(mode), n, s, t, r, c, -1});
            });
        for (TimingMode mode :
             {TimingMode::DragRacing, TimingMode::LapCrossover, TimingMode::LapHeadOnStart, TimingMode::RollerSlalom})
            intake.handlers().setDragHandler(mode, [this, mode](int n, int s, std::uint64_t t, int src) {
                calls.push_back({timingModeNumber(mode), n, s, t, 0, -1, src});
            });
    }
    int timingMode() override { return mode; }
    std::filesystem::path eventFolder() override { return event.empty() ? folder.path() : event; }
    std::optional<TagRacer> findRacerByTag(int tag) override {
        auto it = tags.find(tag);
        if (it == tags.end()) return std::nullopt;
        return it->second;
    }
    void remoteStart() override { remote.push_back("start"); }
    void remoteBlock() override { remote.push_back("block"); }
    void remoteReset() override { remote.push_back("reset"); }
    void hitListChanged(std::size_t n) override { rows = int(n) + 1; }
    std::uint64_t utcNowMs() override { return ++clock; }
    void log(const std::string& line) override { logLines.push_back(line); }
    void hitsTaken(const std::vector<TSignalHit>& hits) override {
        // What the files held when the journal was told: the mode's file written, hitlog.txt not yet.
        for (const TSignalHit& h : hits) taken.push_back({h, hitlog()});
    }
    void hitsWriting(const std::vector<JournalWrite>& writes) override {
        const JournalWrite& w = writes.front();
        writing.push_back(w.file + "@" + std::to_string(w.offset) + "+" + std::to_string(w.length) + " x" +
                          std::to_string(writes.size()));
    }
    Operator& op() override { return script; }

    std::string hitlog() {
        return std::filesystem::is_regular_file(folder / "hitlog.txt") ? folder.read("hitlog.txt") : "";
    }

    TempFolder folder;
    std::filesystem::path event;            // the event folder when not `folder`
    velmaro::test::ScriptedOperator script; // the intake's log lines
    int mode = 1;
    std::map<int, TagRacer> tags;
    std::vector<Call> calls;
    std::vector<std::string> remote;
    struct Taken {
        TSignalHit hit;
        std::string hitlogThen;
    };
    std::vector<Taken> taken;
    std::vector<std::string> writing;
    int rows = 0;
    std::uint64_t clock = 1'700'000'000'000ull;
    std::vector<std::string> logLines;
    HitIntake intake{*this};
};

} // namespace

TEST_F(HitIntakeTest, DeviceHitIsDispatchedLoggedAndWritten) {
    intake.processHit(2, 0, 1'700'000'123'045ull, HIT_FROM_DEVICE);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (Call{1, 2, 0, 1'700'000'123'045ull, 0, -1, -1}));
    ASSERT_EQ(intake.hitList().size(), 1u);
    EXPECT_EQ(intake.hitList()[0], (THitRecord{2, 0, 1'700'000'123u, 45, 0, clock}));
    EXPECT_EQ(hitlog(), "2,0,1700000123,45," + std::to_string(clock) + "\n");
    EXPECT_EQ(rows, 2);
}

TEST_F(HitIntakeTest, RepeatedDeviceHitChangesNothingAtAll) {
    intake.processHit(2, 0, 5'000'001ull, HIT_FROM_DEVICE);
    const std::string before = hitlog();
    std::filesystem::remove(folder / "hitlog.txt");
    intake.processHit(2, 0, 5'000'001ull, HIT_FROM_DEVICE);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(intake.hitList().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / "hitlog.txt")); // not rewritten
    // The same time with another signal or node is another hit.
    intake.processHit(2, 1, 5'000'001ull, HIT_FROM_DEVICE);
    intake.processHit(4, 0, 5'000'001ull, HIT_FROM_DEVICE);
    EXPECT_EQ(intake.hitList().size(), 3u);
}

TEST_F(HitIntakeTest, HitsFedAgainFromTheLog) {
    mode = 0;
    intake.processHit(2, 2, 7'000'500ull, HIT_FROM_DEVICE);
    const std::uint64_t arrival = intake.hitList()[0].arrival;
    intake.markHitUsed(2, 2, 7'000, 500);

    // Source 1 reaches the handler and keeps the one record it already has, used flag included.
    intake.processHit(2, 2, 7'000'500ull, HIT_FROM_LOG_SELECTED);
    ASSERT_EQ(intake.hitList().size(), 1u);
    EXPECT_EQ(intake.hitList()[0].used, 1);
    EXPECT_EQ(intake.hitList()[0].arrival, arrival);

    // Source 2 reaches the handler and neither adds a record nor rewrites the file.
    std::filesystem::remove(folder / "hitlog.txt");
    intake.processHit(2, 2, 7'000'500ull, HIT_FROM_LOG_CURRENT);
    intake.processHit(4, 0, 9'000'000ull, HIT_FROM_LOG_CURRENT);
    EXPECT_EQ(intake.hitList().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / "hitlog.txt"));

    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].source, HIT_FROM_LOG_SELECTED);
    EXPECT_EQ(calls[2].source, HIT_FROM_LOG_CURRENT);
    EXPECT_EQ(calls[3].node, 4);

    // A hit fed from the log that was never logged is logged.
    intake.processHit(5, 0, 8'000'000ull, HIT_FROM_LOG_SELECTED);
    EXPECT_EQ(intake.hitList().size(), 2u);
}

TEST_F(HitIntakeTest, RemoteSignalsActThenGoOnToTheHandlerAndTheLog) {
    mode = 0;
    intake.processHit(1, SIG_REMOTE_START, 1000, HIT_FROM_DEVICE);
    intake.processHit(1, SIG_REMOTE_BLOCK, 1001, HIT_FROM_DEVICE);
    intake.processHit(1, SIG_REMOTE_RESET, 1002, HIT_FROM_DEVICE);
    EXPECT_EQ(remote, (std::vector<std::string>{"start", "block", "reset"}));
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_EQ(intake.hitList().size(), 3u);
}

TEST_F(HitIntakeTest, TransponderDecoding) {
    tags[1025] = TagRacer{77, 7};
    tags[2] = TagRacer{0, 3}; // a racer numbered 0 is timed under his tag, in his class
    struct Row {
        const char* name;
        int signal;
        int handlerSignal, racer, classId;
    } rows_[] = {
        {"tag 1025 sensor 0 of a racer in class 7", 4100, 0, 77, 7},
        {"bit 15: tag 1, sensor 1, unknown tag", 0x8005, 1, 1, -1},
        {"bit 15 kept out of the tag", 0x8000 | (1025 << 2) | 3, 3, 77, 7},
        {"racer number 0: the tag itself, his first class", 0x8000 | (2 << 2), 0, 2, 3},
        {"4003 is a plain signal", 4003, 4003, 0, -1},
        {"plain sensor", SIG_STAGE_LEFT, SIG_STAGE_LEFT, 0, -1},
    };
    std::uint64_t t = 10'000;
    for (const auto& row : rows_) {
        SCOPED_TRACE(row.name);
        calls.clear();
        intake.processHit(3, row.signal, ++t, HIT_FROM_DEVICE);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].signal, row.handlerSignal);
        EXPECT_EQ(calls[0].racer, row.racer);
        EXPECT_EQ(calls[0].classId, row.classId);
        EXPECT_EQ(intake.hitList().back().signal, row.signal); // the record keeps the signal as received
    }
    EXPECT_EQ(intake.transpondersInUse(), 1);
    EXPECT_TRUE(isTransponderSignal(4004));
    EXPECT_FALSE(isTransponderSignal(4003));
}

TEST_F(HitIntakeTest, DispatchFollowsTheTimingMode) {
    intake.handlers().setDragHandler(TimingMode::ParallelRace, [this](int n, int s, std::uint64_t t, int src) {
        calls.push_back({2, n, s, t, 0, 0, src}); // variant 0 bound by the registrant
    });
    for (int m = -1; m <= 9; ++m) {
        mode = m;
        intake.processHit(2, 0, std::uint64_t(100'000 + m), HIT_FROM_DEVICE);
    }
    std::vector<int> modes;
    for (const Call& c : calls) modes.push_back(c.mode);
    EXPECT_EQ(modes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7})); // 8 has no handler here; -1 and 9 none
    EXPECT_EQ(intake.hitList().size(), 11u);                      // every hit is logged, handled or not
}

TEST_F(HitIntakeTest, ListOrderIsTimeThenNodeThenSignal) {
    intake.processHit(2, 3, 5'000'000ull, HIT_FROM_DEVICE);
    intake.processHit(2, 1, 5'000'000ull, HIT_FROM_DEVICE);
    intake.processHit(1, 9, 5'000'000ull, HIT_FROM_DEVICE);
    intake.processHit(5, 0, 4'999'999ull, HIT_FROM_DEVICE);
    std::vector<std::tuple<int, int>> order;
    for (const auto& r : intake.hitList()) order.emplace_back(r.node, r.signal);
    EXPECT_EQ(order, (std::vector<std::tuple<int, int>>{{5, 0}, {1, 9}, {2, 1}, {2, 3}}));
    const std::string log = hitlog();
    EXPECT_EQ(log.substr(0, log.find('\n')), "5,0,4999,999," + std::to_string(intake.hitList()[0].arrival));
}

TEST_F(HitIntakeTest, LoadReadsFiveAndFourFieldLinesAndSkipsJunk) {
    folder.write("hitlog.txt",
                 "2,1,1700000000,250,1700000000300\r\n"
                 "4,0,1700000000,100\n"
                 "garbage line\n"
                 "\n"
                 "5;0;1;2\n"
                 "1,2,3\n"
                 "2,1,1700000000,250,1700000000999\n" // a duplicate: the first record stays
                 "-9223372036854775808,0,0,0\n"       // wraps like the C conversion, no overflow
                 "1,-5,1700000001,1500,7\n");         // milliseconds stored in 16 bits
    intake.hitList().push_back(THitRecord{9, 9, 9, 9, 1, 9});
    intake.loadHitLog();
    ASSERT_EQ(intake.hitList().size(), 4u);
    EXPECT_EQ(intake.hitList()[0], (THitRecord{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(intake.hitList()[1], (THitRecord{4, 0, 1'700'000'000u, 100, 0, 0}));
    EXPECT_EQ(intake.hitList()[2], (THitRecord{2, 1, 1'700'000'000u, 250, 0, 1'700'000'000'300ull}));
    EXPECT_EQ(intake.hitList()[3], (THitRecord{1, -5, 1'700'000'001u, 1500, 0, 7}));
    EXPECT_EQ(rows, 5);

    // A device hit equal to a loaded record is dropped; saving writes the list back.
    intake.processHit(4, 0, 1'700'000'000'100ull, HIT_FROM_DEVICE);
    EXPECT_TRUE(calls.empty());

    // A missing file leaves the list empty, and the window is told so (no rows of the last event).
    std::filesystem::remove(folder / "hitlog.txt");
    intake.loadHitLog();
    EXPECT_TRUE(intake.hitList().empty());
    EXPECT_EQ(rows, 1);
}

TEST(HitLogFormat, SaveAndParseRoundTrip) {
    const std::vector<THitRecord> list = {{1, 6, 1'700'000'000u, 0, 1, 0},
                                          {2, 0x8005, 4'000'000'000u, 999, 0, 18'446'744'073'709'551'615ull}};
    const std::string text = formatHitLog(list);
    EXPECT_EQ(text, "1,6,1700000000,0,0\n2,32773,4000000000,999,18446744073709551615\n");
    std::vector<THitRecord> back = parseHitLog(text);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].used, 0); // the used flag is not stored
    back[0].used = 1;
    EXPECT_EQ(back, list);

    TempFolder folder;
    ASSERT_TRUE(saveHitLogFile(folder / "hitlog.txt", list).ok());
    std::vector<THitRecord> loaded;
    ASSERT_TRUE(loadHitLogFile(folder / "hitlog.txt", loaded).ok());
    EXPECT_EQ(loaded.size(), 2u);
    EXPECT_FALSE(loadHitLogFile(folder / "missing.txt", loaded).ok());
    EXPECT_TRUE(loaded.empty());
}

TEST(HitLogFormat, RemoveDuplicatesKeepsTheFirstOfEqualRecords) {
    std::vector<THitRecord> list = {
        {1, 1, 5, 5, 1, 100}, {1, 1, 5, 5, 0, 200}, {1, 1, 5, 5, 0, 300}, {1, 2, 5, 5, 0, 1}};
    removeDuplicateHits(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].arrival, 100u);
    EXPECT_EQ(list[0].used, 1);
    EXPECT_EQ(compareHits(list[0], list[1]), -1);
    EXPECT_EQ(compareHits(list[1], list[0]), 1);
}

// ---- batches, appends and the journal replay ----

namespace {

ino_t inodeOf(const std::filesystem::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST_F(HitIntakeTest, ABatchWritesOnceAndLeavesWhatPerHitRewritesWould) {
    std::vector<std::string> order;
    {
        HitBatch batch(intake);
        intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
        intake.processHit(4, 2, 3000, HIT_FROM_DEVICE); // sorts before the first
        intake.afterHits("mode file", [&] { order.push_back("mode file 1"); });
        intake.processHit(5, 1, 9000, HIT_FROM_DEVICE);
        intake.afterHits("mode file", [&] { order.push_back("mode file 2"); }); // replaces the first
        EXPECT_EQ(hitlog(), "");                                                // nothing written yet
        EXPECT_EQ(rows, 0);
        order.push_back("end");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"end", "mode file 2"}));
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    EXPECT_EQ(intake.hitList().size(), 3u);
    EXPECT_EQ(rows, 4);
    EXPECT_TRUE(intake.hitLogSaved());
}

// The offset of the record hitlog.txt.tail holds (the last tail write's), -1 without one.
long long intentOffset(const std::filesystem::path& folder) {
    std::string record;
    if (!readFile(folder / "hitlog.txt.tail", record).ok() || record.size() < 16) return -1;
    unsigned long long offset = 0;
    for (int i = 7; i >= 0; --i) offset = offset << 8 | static_cast<unsigned char>(record[8 + std::size_t(i)]);
    return static_cast<long long>(offset);
}

// Where the line of record `index` of `list` starts in hitlog.txt.
long long lineOffset(const std::vector<THitRecord>& list, std::size_t index) {
    return static_cast<long long>(formatHitLog(std::span(list).first(index)).size());
}

TEST_F(HitIntakeTest, LaterHitsAreAppendedEarlierOnesRewriteTheTailInPlace) {
    intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
    const ino_t first = inodeOf(folder / "hitlog.txt");
    intake.processHit(2, 2, 6000, HIT_FROM_DEVICE); // sorts last: appended in place
    EXPECT_EQ(inodeOf(folder / "hitlog.txt"), first);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    intake.processHit(2, 1, 5500, HIT_FROM_DEVICE); // sorts inside: the file from its line on
    EXPECT_EQ(inodeOf(folder / "hitlog.txt"), first);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    EXPECT_EQ(intentOffset(folder.path()), lineOffset(intake.hitList(), 1));
    ASSERT_EQ(intake.hitList().size(), 3u);

    // After a load of exactly what a save writes, the next hits go in place again.
    intake.loadHitLog();
    EXPECT_FALSE(std::filesystem::exists(folder / "hitlog.txt.tail")) << "the load finishes and retires the intent";
    const ino_t loaded = inodeOf(folder / "hitlog.txt");
    intake.processHit(4, 0, 7000, HIT_FROM_DEVICE);
    intake.processHit(4, 0, 6500, HIT_FROM_DEVICE);
    EXPECT_EQ(inodeOf(folder / "hitlog.txt"), loaded);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));

    // A hit before most of a large file: rewritten whole, atomically (a new file).
    std::vector<THitRecord> many;
    for (std::uint32_t i = 0; i < 4000; ++i) many.push_back({3, 0, 10 + i, 0, 0, 1'700'000'000'000ull});
    ASSERT_TRUE(saveHitLogFile(folder / "hitlog.txt", many).ok());
    intake.loadHitLog();
    const ino_t large = inodeOf(folder / "hitlog.txt");
    intake.processHit(3, 0, 9000, HIT_FROM_DEVICE);
    EXPECT_NE(inodeOf(folder / "hitlog.txt"), large);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
}

// Every sequence leaves hitlog.txt as a whole rewrite of the list would, after every slice:
// in time order, from two nodes whose clocks differ by a few ms, back to the first line,
// several out of order in one slice, repeats of logged hits.
TEST_F(HitIntakeTest, OutOfOrderHitsGiveTheBytesOfAWholeRewrite) {
    struct Hit {
        int node;
        std::uint64_t time;
    };
    const std::uint64_t t = 1'700'000'000'000ull;
    std::vector<Hit> twoClocks;
    for (int i = 0; i < 60; ++i) twoClocks.push_back({i % 2 ? 7 : 6, t + 10u * std::uint64_t(i / 2) - (i % 2 ? 3 : 0)});
    const struct Case {
        const char* name;
        std::vector<std::vector<Hit>> slices;
    } cases[] = {
        {"in time order", {{{1, t}}, {{1, t + 5}, {2, t + 9}}, {{1, t + 12}}}},
        {"two clocks 3 ms apart", {twoClocks}},
        {"back to the first line", {{{1, t + 100}, {1, t + 200}}, {{2, t + 50}}, {{3, t + 1}}, {{3, t + 300}}}},
        {"several out of order in one slice",
         {{{1, t + 100}, {1, t + 200}, {1, t + 300}}, {{2, t + 250}, {2, t + 150}, {2, t + 400}, {2, t + 50}}}},
        {"repeats", {{{1, t + 100}, {1, t + 200}}, {{1, t + 100}, {2, t + 150}}, {{2, t + 150}, {1, t + 200}}}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(folder / "hitlog.txt");
        intake.loadHitLog();
        for (std::size_t s = 0; s < c.slices.size(); ++s) {
            {
                HitBatch batch(intake);
                for (const Hit& h : c.slices[s]) intake.processHit(h.node, 0, h.time, HIT_FROM_DEVICE);
            }
            EXPECT_EQ(hitlog(), formatHitLog(intake.hitList())) << c.name << ", slice " << s;
        }
        // And as written, it reads back to the same list.
        const std::vector<THitRecord> list = intake.hitList();
        intake.loadHitLog();
        EXPECT_EQ(intake.hitList(), list) << c.name;
    }
}

// Hits that keep going before the same later line (one node's clock far behind the
// other's) each write only their own line and the later one, however many came before.
TEST_F(HitIntakeTest, HitsBeforeTheSameLaterLineEachWriteAShortTail) {
    const std::uint64_t t = 1'700'000'000'000ull;
    intake.processHit(1, 0, t + 10'000'000, HIT_FROM_DEVICE);
    intake.processHit(2, 0, t, HIT_FROM_DEVICE);
    EXPECT_EQ(intentOffset(folder.path()), 0);
    for (int i = 1; i <= 200; ++i) intake.processHit(2, 0, t + std::uint64_t(i), HIT_FROM_DEVICE);
    const std::vector<THitRecord>& list = intake.hitList();
    EXPECT_EQ(hitlog(), formatHitLog(list));
    EXPECT_EQ(intentOffset(folder.path()), lineOffset(list, list.size() - 2));
}

// What a crash in an out-of-order write leaves, and what the next start reads: the intent
// cut anywhere (dropped: the old file), or whole with hitlog.txt at any stage of the tail
// (applied: the new file), or whole over a file that got the tail and later appends too
// (the file as it is). The restart then compares the journal with this list.
TEST_F(HitIntakeTest, ACrashInATailWriteLeavesTheOldListOrTheNewOne) {
    const std::uint64_t t = 1'700'000'000'000ull;
    for (int i = 0; i < 5; ++i) intake.processHit(1, 0, t + 10u * std::uint64_t(i), HIT_FROM_DEVICE);
    const std::string before = hitlog();
    intake.processHit(2, 0, t + 35, HIT_FROM_DEVICE);
    const std::string after = hitlog();
    const std::size_t offset = std::size_t(lineOffset(intake.hitList(), 4));
    ASSERT_EQ(after.substr(0, offset), before.substr(0, offset));
    const std::string tail = after.substr(offset);
    const std::string record = fileTailRecord(offset, tail);
    const auto loadedText = [&] {
        intake.loadHitLog();
        EXPECT_FALSE(std::filesystem::exists(folder / "hitlog.txt.tail"));
        return formatHitLog(intake.hitList());
    };
    for (std::size_t cut = 0; cut < record.size(); ++cut) {
        folder.write("hitlog.txt", before);
        folder.write("hitlog.txt.tail", record.substr(0, cut));
        EXPECT_EQ(loadedText(), before) << "intent cut at " << cut;
    }
    for (std::size_t written = 0; written <= tail.size(); ++written) {
        std::string partial = before.substr(0, offset) + tail.substr(0, written);
        if (partial.size() < before.size()) partial += before.substr(partial.size());
        folder.write("hitlog.txt", partial);
        folder.write("hitlog.txt.tail", record);
        EXPECT_EQ(loadedText(), after) << written << " bytes of the tail written";
    }
    const std::string appended = after + "1,0,1700000000,90,1700000000095\n";
    folder.write("hitlog.txt", appended);
    folder.write("hitlog.txt.tail", record);
    EXPECT_EQ(loadedText(), appended) << "a line appended after the tail write stays";
    EXPECT_EQ(hitlog(), appended);
    // The list read is the one the next hits go on from, in place.
    intake.processHit(2, 0, t + 15, HIT_FROM_DEVICE);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
}

// The same for a crash at any moment of a run of slices (appends, out-of-order hits one
// after another with no flush between, a restart's recovery), cut also in the middle of
// every write, as a kill leaves the files and as a power cut does: the next start keeps
// every hit the journal let go (the root empties it once hitlog.txt is saved), and reads
// only whole lines of hits that came.
TEST_F(HitIntakeTest, ACutInAnyWriteKeepsEveryHitTheJournalLetGo) {
    struct Hit {
        int node;
        std::uint64_t time;
    };
    const std::uint64_t t = 1'700'000'000'000ull;
    const std::vector<std::vector<Hit>> slices = {
        {{1, t + 100}},
        {{1, t + 200}, {1, t + 300}},
        {{2, t + 250}}, // out of order: the tail through the intent, not flushed
        {{2, t + 150}}, // again, before anything flushed the file
        {{2, t + 280}},
        {{1, t + 400}}, // appended: flushed
        {{3, t + 350}, {3, t + 50}},
        {{3, t + 120}},
        {{1, t + 500}},
    };
    const std::size_t restartAfter = 4; // a restart's recovery between two slices
    const std::filesystem::path run = folder / "run", cut = folder / "cut";
    std::filesystem::create_directories(run);
    std::filesystem::create_directories(cut);
    event = run;
    intake.loadHitLog();

    std::vector<Hit> came;
    std::vector<std::vector<Hit>> letGo = {{}}; // by mark: the hits the journal no longer holds
    std::vector<test::CrashCuts::Cut> cuts;
    {
        test::CrashCuts watch(run);
        for (std::size_t s = 0; s < slices.size(); ++s) {
            watch.setMark(int(letGo.size() - 1));
            {
                HitBatch batch(intake);
                for (const Hit& h : slices[s]) {
                    intake.processHit(h.node, 0, h.time, HIT_FROM_DEVICE);
                    came.push_back(h);
                }
            }
            ASSERT_TRUE(intake.hitLogSaved()) << "slice " << s;
            letGo.push_back(came);
            if (s == restartAfter) {
                watch.setMark(int(letGo.size() - 1));
                intake.loadHitLog();
            }
        }
        watch.setMark(int(letGo.size() - 1));
        watch.cutNow("the end");
        cuts = watch.cuts();
    }
    ASSERT_EQ(hitlog(), "") << "the run went to its own folder";
    event = cut;
    std::vector<std::string> faults;
    for (const test::CrashCuts::Cut& c : cuts) {
        test::CrashCuts::lay(cut, c.files);
        HitIntake next(*this);
        next.loadHitLog();
        std::string fault;
        if (std::filesystem::exists(cut / "hitlog.txt.tail")) fault += " the intent left;";
        std::string text = std::filesystem::exists(cut / "hitlog.txt") ? folder.read("cut/hitlog.txt") : "";
        text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1); // a cut last line: not read
        if (formatHitLog(parseHitLog(text)) != text) fault += " a line not of a hit;";
        for (const Hit& h : letGo[std::size_t(c.mark)])
            if (!next.hitExists(h.node, 0, std::uint32_t(h.time / 1000), std::uint32_t(h.time % 1000)))
                fault += " lost " + std::to_string(h.node) + "@" + std::to_string(h.time - t) + ";";
        for (const THitRecord& r : next.hitList())
            if (std::none_of(came.begin(), came.end(),
                             [&](const Hit& h) { return r.node == h.node && r.signal == 0 && r.time() == h.time; }))
                fault += " a hit that never came;";
        if (!fault.empty()) faults.push_back(c.where + ":" + fault);
    }
    std::string shown;
    for (std::size_t i = 0; i < faults.size() && i < 8; ++i) shown += faults[i] + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << cuts.size() << " cuts, the first:\n" << shown;
}

TEST_F(HitIntakeTest, ALastLineCutShortByACrashIsNotLoaded) {
    // "3,0,1700000000,1" would read as a hit at .001 s: it is the start of ".123,...".
    folder.write("hitlog.txt", "2,0,1700000000,100,5\n3,0,1700000000,1");
    intake.loadHitLog();
    ASSERT_EQ(intake.hitList().size(), 1u);
    EXPECT_EQ(intake.hitList()[0].node, 2);
    intake.processHit(3, 0, 1'700'000'000'123ull, HIT_FROM_DEVICE);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList())); // rewritten whole, the cut line gone
}

TEST_F(HitIntakeTest, ReplayFeedsTheMissingHitsInTimeOrderInOneBatch) {
    intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
    calls.clear();
    const ino_t before = inodeOf(folder / "hitlog.txt");
    intake.replayHits({{4, 2, 9000}, {2, 0, 5000}, {5, 1, 7000}, {4, 2, 9000}}, {});
    ASSERT_EQ(calls.size(), 2u); // the logged hit and the repeat do not reach the handler
    EXPECT_EQ(calls[0].time, 7000u);
    EXPECT_EQ(calls[1].time, 9000u);
    EXPECT_EQ(intake.hitList().size(), 3u);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    EXPECT_EQ(inodeOf(folder / "hitlog.txt"), before); // both sort last: one append
}

// A slice whose first hit the mode refuses and whose second it takes: the mode's file is
// written first, then the journal told, then hitlog.txt, so a crash between two of the
// writes never leaves a hit in hitlog.txt that the mode's file lacks.
TEST_F(HitIntakeTest, TheModesFilesComeBeforeTheJournalNoteAndHitlogTxtLast) {
    std::vector<std::string> order;
    {
        HitBatch batch(intake);
        intake.processHit(2, 0, 5000, HIT_FROM_DEVICE); // refused by the mode: hands over nothing
        intake.processHit(2, 2, 6000, HIT_FROM_DEVICE);
        intake.afterHits("drag.txt", [&] { order.push_back("mode file, hitlog: " + hitlog()); });
    }
    EXPECT_EQ(order, std::vector<std::string>{"mode file, hitlog: "});
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].hit.time, 5000u);
    EXPECT_EQ(taken[1].hit.time, 6000u);
    EXPECT_EQ(taken[1].hitlogThen, ""); // told before hitlog.txt was written
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    // A writer that tells the journal itself, once its file holds the hits: told then,
    // and not a second time at the end of the batch.
    taken.clear();
    std::size_t toldWhileWriting = 0;
    {
        HitBatch batch(intake);
        intake.processHit(2, 2, 7000, HIT_FROM_DEVICE);
        intake.processHit(2, 2, 8000, HIT_FROM_DEVICE);
        intake.afterHits("drag.txt", [&] {
            intake.noteHitsWriting("drag.txt", 100, "abc");
            intake.noteHitsTaken();
            toldWhileWriting = taken.size();
            intake.noteHitsWriting("drag.txt", 103, "d"); // nothing waits any more
        });
    }
    EXPECT_EQ(writing, std::vector<std::string>{"drag.txt@100+3 x2"});
    EXPECT_EQ(toldWhileWriting, 2u);
    EXPECT_EQ(taken.size(), 2u);
    // Hits fed again from the hit log are not the journal's.
    taken.clear();
    intake.processHit(2, 2, 6000, HIT_FROM_LOG_SELECTED);
    EXPECT_TRUE(taken.empty());
}

// After a crash between the journal note and hitlog.txt, the noted hits are logged and
// not taken by the mode again; the others are taken.
TEST_F(HitIntakeTest, ReplayOnlyLogsTheHitsTheJournalNotesAsTaken) {
    calls.clear();
    intake.replayHits({{2, 0, 5000}, {2, 2, 6000}, {4, 0, 7000}}, {{2, 2, 6000}, {9, 9, 9999}});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].time, 5000u);
    EXPECT_EQ(calls[1].time, 7000u);
    ASSERT_EQ(intake.hitList().size(), 3u);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
}

TEST_F(HitIntakeTest, AHitLogThatCannotBeWrittenIsToldOncePerRunOfFailures) {
    velmaro::test::ScriptedOperator op;
    const velmaro::test::ScopedSaveReportLog scoped(op);
    resetSaveReports();
    std::filesystem::create_directories(folder / "hitlog.txt"); // neither appended to nor replaced
    intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
    intake.processHit(2, 0, 6000, HIT_FROM_DEVICE);
    intake.processHit(2, 0, 4000, HIT_FROM_DEVICE);
    EXPECT_FALSE(intake.hitLogSaved());
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("hitlog.txt"), std::string::npos);
    std::filesystem::remove(folder / "hitlog.txt");
    intake.processHit(2, 0, 7000, HIT_FROM_DEVICE);
    EXPECT_TRUE(intake.hitLogSaved());
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));
    EXPECT_EQ(op.logLines.size(), 2u); // "written again"
}

// Hits hitlog.txt lacks when an event is loaded: the same event's file gets them before
// it is read again; another event's does not, and the journal must keep them (the intake
// never says saved again this run).
TEST_F(HitIntakeTest, HitsNotInHitlogTxtWhenAnEventLoadsAreWrittenOrKeepTheJournal) {
    velmaro::test::ScriptedOperator op;
    const velmaro::test::ScopedSaveReportLog scoped(op);
    resetSaveReports();
    intake.loadHitLog();
    std::filesystem::create_directories(folder / "hitlog.txt"); // the writes fail
    intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
    intake.processHit(2, 0, 6000, HIT_FROM_DEVICE);
    ASSERT_FALSE(intake.hitLogSaved());
    std::filesystem::remove(folder / "hitlog.txt");
    intake.loadHitLog(); // the same event again
    EXPECT_TRUE(intake.hitLogSaved());
    ASSERT_EQ(intake.hitList().size(), 2u);
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList()));

    std::filesystem::remove(folder / "hitlog.txt");
    std::filesystem::create_directories(folder / "hitlog.txt");
    intake.processHit(2, 0, 7000, HIT_FROM_DEVICE);
    ASSERT_FALSE(intake.hitLogSaved());
    const TempFolder other;
    event = other.path();
    logLines.clear();
    intake.loadHitLog(); // another event: the hit at 7 s is in no hitlog.txt
    EXPECT_FALSE(std::filesystem::exists(other / "hitlog.txt"));
    EXPECT_FALSE(intake.hitLogSaved());
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_NE(logLines[0].find("журнале отметок"), std::string::npos) << logLines[0];
    intake.processHit(3, 0, 8000, HIT_FROM_DEVICE); // written to the new event's file, still not saved
    EXPECT_EQ(other.read("hitlog.txt"), formatHitLog(intake.hitList()));
    EXPECT_FALSE(intake.hitLogSaved());
}

TEST_F(HitIntakeTest, WorkThatFailsAfterABatchIsToldInTheLogWindowOfItsOwnHost) {
    {
        HitBatch batch(intake);
        intake.afterHits("failing", [] { throw std::runtime_error("boom"); });
        intake.processHit(2, 0, 5000, HIT_FROM_DEVICE);
    }
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0], "Ошибка после приёма отметок: boom");
    EXPECT_EQ(hitlog(), formatHitLog(intake.hitList())); // the rest of the work still ran
}
