// The link's hit journal and the bounds of its hit queue: a hit is in the journal before
// its acknowledgement leaves, a hit that does not fit is not acknowledged, and the
// journal is emptied only when everything it holds has been logged.
#include <gtest/gtest.h>

#include <fstream>

#include "core/link/hit_journal.h"
#include "fakes/temp_folder.h"
#include "link_fakes.h"

using namespace velmaro;
using namespace velmaro::test;

namespace {

const NodeAddress kGateway{0x0AD50002, 1309};

TNodeMessage hitMessage(int node, int signal, std::uint64_t timeMs) {
    return LinkRig::fromNode(node, MSG_HIT, std::uint16_t(signal), std::uint32_t(timeMs / 1000),
                             std::uint16_t(timeMs % 1000));
}

struct JournalRig {
    TempFolder folder;
    std::filesystem::path file = folder / "hit_journal.txt";
    std::vector<std::string> logLines;
    std::unique_ptr<LinkRig> rig;

    explicit JournalRig(std::size_t cap = 20000) {
        LinkOptions o;
        o.journal = file;
        o.hitQueueCap = cap;
        rig = std::make_unique<LinkRig>(o);
        rig->link->setLogHandler([this](const std::string& line) { logLines.push_back(line); });
    }
    std::vector<TSignalHit> journal() const { return HitJournal::read(file); }
};

} // namespace

TEST(HitJournalFile, CompleteLinesAreReadAndACutLastLineIsSkipped) {
    TempFolder folder;
    folder.write("j.txt", "2,0,1700000000123\n4,2,1700000000500\nxx\n5,1,17000");
    const std::vector<TSignalHit> expected{{2, 0, 1700000000123ull}, {4, 2, 1700000000500ull}};
    EXPECT_EQ(HitJournal::read(folder / "j.txt"), expected);
    EXPECT_TRUE(HitJournal::read(folder / "missing.txt").empty());
    EXPECT_EQ(HitJournal::line({2, 0, 1700000000123ull}), "2,0,1700000000123\n");
}

TEST(HitJournalLink, NotesOfHitsTakenAndBeingWrittenAreReadApartFromTheHits) {
    JournalRig j;
    j.rig->receive(hitMessage(2, 0, 1000), kGateway);
    j.rig->receive(hitMessage(4, 2, 2000), kGateway);
    j.rig->link->hitsTaken({{2, 0, 1000}});
    j.rig->receive(hitMessage(5, 1, 3000), kGateway);
    EXPECT_EQ(j.journal(), (std::vector<TSignalHit>{{2, 0, 1000}, {4, 2, 2000}, {5, 1, 3000}}));
    EXPECT_EQ(HitJournal::readTaken(j.file), (std::vector<TSignalHit>{{2, 0, 1000}}));
    j.rig->link->hitsWriting({{"drag.txt", 120, 37, 99999999999ull, 4, 2, 2000}});
    EXPECT_EQ(HitJournal::readWriting(j.file),
              (std::vector<JournalWrite>{{"drag.txt", 120, 37, 99999999999ull, 4, 2, 2000}}));
    EXPECT_EQ(j.journal().size(), 3u); // neither kind of note reads as a hit
    // Emptied with the hits once everything is logged.
    j.rig->link->journalReplayed();
    TSignalHit h;
    while (j.rig->link->tryPopHit(h)) {
    }
    j.rig->link->hitsLogged();
    EXPECT_TRUE(HitJournal::readTaken(j.file).empty());
    EXPECT_TRUE(HitJournal::readWriting(j.file).empty());
}

TEST(HitJournalLink, AHitIsInTheJournalBeforeItsAcknowledgementLeaves) {
    JournalRig j;
    std::vector<std::size_t> journalAtAck;
    j.rig->transport->onSend = [&](const SentDatagram& d) {
        if (d.isFrame() && d.message().type == MSG_HIT) journalAtAck.push_back(j.journal().size());
    };
    j.rig->receive(hitMessage(2, 0, 1'700'000'000'100ull), kGateway);
    j.rig->receive(hitMessage(2, 0, 1'700'000'000'100ull), kGateway); // a repeat: acknowledged, not written again
    j.rig->receive(hitMessage(4, 2, 1'700'000'000'050ull), kGateway);
    EXPECT_EQ(journalAtAck, (std::vector<std::size_t>{1, 1, 2}));
    const std::vector<TSignalHit> expected{{2, 0, 1'700'000'000'100ull}, {4, 2, 1'700'000'000'050ull}};
    EXPECT_EQ(j.journal(), expected);
}

TEST(HitJournalLink, TheJournalIsEmptiedOnlyAfterTheReplayAndWhenNothingWaits) {
    JournalRig j;
    j.rig->receive(hitMessage(2, 0, 1000), kGateway);
    j.rig->receive(hitMessage(2, 2, 2000), kGateway);
    TSignalHit h;
    ASSERT_TRUE(j.rig->link->tryPopHit(h));
    j.rig->link->hitsLogged(); // before the replay of an earlier run: kept
    EXPECT_EQ(j.journal().size(), 2u);
    j.rig->link->journalReplayed();
    j.rig->link->hitsLogged(); // one hit still queued: kept
    EXPECT_EQ(j.journal().size(), 2u);
    ASSERT_TRUE(j.rig->link->tryPopHit(h));
    EXPECT_FALSE(j.rig->link->tryPopHit(h)); // empty: h untouched, false
    EXPECT_EQ(h, (TSignalHit{2, 2, 2000}));
    j.rig->link->hitsLogged();
    EXPECT_TRUE(j.journal().empty());
    // Later hits are appended to the emptied file.
    j.rig->receive(hitMessage(5, 0, 3000), kGateway);
    EXPECT_EQ(j.journal(), (std::vector<TSignalHit>{{5, 0, 3000}}));
}

TEST(HitJournalLink, AHitBeyondTheCapIsNotAcknowledgedAndTheLogHearsOncePerRun) {
    JournalRig j(3);
    for (int k = 0; k < 5; ++k) j.rig->receive(hitMessage(2, 0, 1000 + std::uint64_t(k)), kGateway);
    EXPECT_EQ(j.rig->link->hitCount(), 3u);
    auto acks = j.rig->transport->messages();
    EXPECT_EQ(acks.size(), 3u);
    EXPECT_EQ(j.journal().size(), 3u); // refused hits are not journalled either
    ASSERT_EQ(j.logLines.size(), 1u);
    EXPECT_NE(j.logLines[0].find("Очередь отметок заполнена"), std::string::npos);
    // A queued hit's repeat still gets its acknowledgement.
    j.rig->transport->takeSent();
    j.rig->receive(hitMessage(2, 0, 1000), kGateway);
    EXPECT_EQ(j.rig->transport->messages().size(), 1u);

    // Room again: the node's resend is taken and acknowledged; the log hears the end.
    TSignalHit h;
    ASSERT_TRUE(j.rig->link->tryPopHit(h));
    j.rig->receive(hitMessage(2, 0, 1003), kGateway);
    EXPECT_EQ(j.rig->link->hitCount(), 3u);
    EXPECT_EQ(j.logLines.size(), 2u);
    j.rig->receive(hitMessage(2, 0, 1004), kGateway); // full again: one more line
    EXPECT_EQ(j.logLines.size(), 3u);
}

TEST(HitJournalLink, FallingTimesAreQueuedInOrderAndRepeatsFoundAnywhere) {
    JournalRig j;
    const int n = 2000;
    for (int k = n; k > 0; --k) j.rig->receive(hitMessage(2, k % 4, 1'000'000 + std::uint64_t(k)), kGateway);
    for (int k = 1; k <= n; k += 7) j.rig->receive(hitMessage(2, k % 4, 1'000'000 + std::uint64_t(k)), kGateway);
    ASSERT_EQ(j.rig->link->hitCount(), std::size_t(n));
    TSignalHit h;
    std::uint64_t last = 0;
    while (j.rig->link->tryPopHit(h)) {
        EXPECT_GT(h.time, last);
        last = h.time;
    }
}

TEST(HitJournalLink, AJournalThatCannotBeOpenedIsToldAndHitsAreStillTaken) {
    TempFolder folder;
    LinkOptions o;
    o.journal = folder / "no-such-folder" / "hit_journal.txt";
    LinkRig rig(o);
    std::vector<std::string> lines;
    rig.link->setLogHandler([&](const std::string& line) { lines.push_back(line); });
    rig.receive(hitMessage(2, 0, 1000), kGateway);
    rig.receive(hitMessage(2, 2, 2000), kGateway);
    EXPECT_EQ(rig.link->hitCount(), 2u);
    EXPECT_EQ(rig.transport->messages().size(), 2u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Журнал отметок не записывается"), std::string::npos);
}
