// The node link without sockets or real time: node table, hit queue, events, command
// schedules and the automatic start, driven through the fakes with an injected clock.
#include <gtest/gtest.h>

#include "link_fakes.h"

using namespace velmaro;
using namespace velmaro::test;

namespace {

const NodeAddress kGateway{0x0AD50002, 1309}; // 10.213.0.2
const NodeAddress kOther{0x0AD50007, 40000};  // another sender, odd port

std::vector<TNodeMessage> ofType(const std::vector<TNodeMessage>& all, int type) {
    std::vector<TNodeMessage> out;
    for (const auto& m : all)
        if (m.type == type) out.push_back(m);
    return out;
}

std::vector<std::uint64_t> everyFrom(std::uint64_t first, std::uint64_t step, int count) {
    std::vector<std::uint64_t> out;
    for (int i = 0; i < count; ++i) out.push_back(first + step * std::uint64_t(i));
    return out;
}

} // namespace

// ---- node table ----

TEST(NodeTable, FirstStatusCreatesTheEntryAndTimeoutsGoOutUntilEchoed) {
    LinkRig rig;
    rig.status(2, 0, kOther); // timeouts not set yet: no type 10
    EXPECT_TRUE(rig.transport->messages().empty());
    ASSERT_EQ(rig.link->nodes().size(), 1u);
    EXPECT_EQ(nodeAt(*rig.link, 0).id, 2);
    EXPECT_EQ(nodeAt(*rig.link, 0).online, 1);

    rig.link->setTimeouts(100, 50);
    EXPECT_TRUE(rig.transport->messages().empty()); // nothing at once
    rig.status(4, 0, kOther);                       // a new node is answered at once
    rig.status(2, 0, kOther);
    auto sent = rig.transport->takeSent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].message(), TNodeMessage::make(4, MSG_TIMEOUTS, 100, 0, 50));
    EXPECT_EQ(sent[1].message(), TNodeMessage::make(2, MSG_TIMEOUTS, 100, 0, 50));
    // Replies go to the sender, on the link's port.
    EXPECT_EQ(sent[0].to, (NodeAddress{kOther.ip, 1309}));

    // Once both values are echoed, statuses get no more timeouts.
    rig.receive(LinkRig::fromNode(2, MSG_TIMEOUTS, 100, 0, 50), kOther);
    rig.status(2, 0, kOther);
    EXPECT_TRUE(ofType(rig.transport->messages(), MSG_TIMEOUTS).empty());
    EXPECT_EQ(nodeAt(*rig.link, 0).echoRepeatTimeout, 100);
    EXPECT_EQ(nodeAt(*rig.link, 0).echoDetectorTimeout, 50);
}

TEST(NodeTable, StatusFieldsAndSensorOrder) {
    LinkRig rig;
    // bits 0..5 = 1,0,1,1,0,1 ; synced ; own level -61 dB
    rig.status(5, 0x2D | STATUS_SYNCED, kOther, std::uint16_t(std::int16_t(-61)));
    const TSystemNode n = nodeAt(*rig.link, 0);
    EXPECT_EQ(n.synced, 1);
    EXPECT_EQ(n.rssi, -61);
    EXPECT_EQ(n.nodeClock, 1'700'000'000u);
    // Order: bits 0, 2, 1, 3, 4, 5.
    EXPECT_EQ(n.sensors, (std::array<std::int32_t, 6>{1, 1, 0, 1, 0, 1}));
    EXPECT_EQ(n.lastStatusTime, std::int64_t(rig.env->now / 1000));
}

TEST(NodeTable, SilentNodeGoesOfflineAfterThreeSecondsAndKeepsItsValues) {
    LinkRig rig;
    const std::uint64_t t0 = rig.env->now;
    rig.status(2, 0x05, kOther, std::uint16_t(std::int16_t(-50)));
    rig.runUntil(t0, 2900);
    EXPECT_EQ(nodeAt(*rig.link, 0).online, 1);
    rig.runUntil(t0, 3000);
    const TSystemNode n = nodeAt(*rig.link, 0);
    EXPECT_EQ(n.online, 0);
    EXPECT_EQ(n.rssi, -50);
    EXPECT_EQ(n.sensors[0], 1);

    // Back online: the timeouts go out again although both values were echoed.
    rig.link->setTimeouts(10, 20);
    rig.receive(LinkRig::fromNode(2, MSG_TIMEOUTS, 10, 0, 20), kOther);
    rig.status(2, 0, kOther);
    EXPECT_EQ(ofType(rig.transport->messages(), MSG_TIMEOUTS).size(), 1u);
    EXPECT_EQ(nodeAt(*rig.link, 0).online, 1);
    rig.status(2, 0, kOther);
    EXPECT_EQ(ofType(rig.transport->messages(), MSG_TIMEOUTS).size(), 1u);
}

TEST(NodeTable, StartUnitStatusSetsTheGatewayAndAnswersAClockRequest) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    EXPECT_TRUE(rig.transport->messages().empty());
    EXPECT_EQ(rig.link->gateway(), kGateway);

    rig.status(1, STATUS_CLOCK_REQUEST, kGateway);
    auto sent = rig.transport->messages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], TNodeMessage::make(1, MSG_SET_CLOCK, 1, std::uint32_t(rig.env->now / 1000)));

    // A clock request from another node is not answered.
    rig.transport->takeSent();
    rig.status(2, STATUS_CLOCK_REQUEST, kOther);
    EXPECT_TRUE(rig.transport->messages().empty());
}

TEST(NodeTable, RadioLevelsFromStatusesEchoesAndReports) {
    LinkRig rig;
    rig.status(1, 0, kGateway, std::uint16_t(std::int16_t(-30))); // node 1's own level is ignored
    rig.status(3, 0, kOther, std::uint16_t(std::int16_t(-70)));
    EXPECT_EQ(nodeAt(*rig.link, 0).rssi, -70); // node 3 also sets the first entry
    EXPECT_EQ(nodeAt(*rig.link, 1).rssi, -70);

    // A timeouts echo from node 1 also reaches an online node 3.
    rig.receive(LinkRig::fromNode(1, MSG_TIMEOUTS, 40, 0, 20), kGateway);
    EXPECT_EQ(nodeAt(*rig.link, 1).echoRepeatTimeout, 40);
    EXPECT_EQ(nodeAt(*rig.link, 1).echoDetectorTimeout, 20);
    // An echo from node 3 changes only node 3.
    rig.receive(LinkRig::fromNode(3, MSG_TIMEOUTS, 7, 0, 8), kOther);
    EXPECT_EQ(nodeAt(*rig.link, 0).echoRepeatTimeout, 40);
    EXPECT_EQ(nodeAt(*rig.link, 1).echoRepeatTimeout, 7);

    std::array<std::uint8_t, 15> b = LinkRig::fromNode(1, MSG_RADIO_LEVELS).toBytes();
    b[8] = std::uint8_t(std::int8_t(-66));
    rig.receive(TNodeMessage::fromBytes(b.data()), kGateway);
    EXPECT_EQ(nodeAt(*rig.link, 0).reportedRssi, -66);
    EXPECT_EQ(nodeAt(*rig.link, 1).reportedRssi, -66);
}

// ---- hits ----

TEST(Hits, EveryHitIsAcknowledgedWithTheExactEchoAndRepeatsAreQueuedOnce) {
    LinkRig rig;
    const TNodeMessage hit = LinkRig::fromNode(2, MSG_HIT, 3, 1'700'000'123u, 999);
    rig.receive(hit, kOther);
    rig.receive(hit, kOther); // the node repeats before the console took the first
    auto sent = rig.transport->takeSent();
    ASSERT_EQ(sent.size(), 2u);
    for (const auto& d : sent) {
        EXPECT_EQ(d.message(), TNodeMessage::make(2, MSG_HIT, 3, 1'700'000'123u, 999));
        EXPECT_EQ(d.to.ip, kOther.ip);
    }
    EXPECT_EQ(rig.link->hitCount(), 1u);
    EXPECT_EQ(rig.count(SE_NEW_HITS), 1);
    TSignalHit taken;
    ASSERT_TRUE(rig.link->tryPopHit(taken));
    EXPECT_EQ(taken, (TSignalHit{2, 3, 1'700'000'123'999ull}));
    EXPECT_FALSE(rig.link->tryPopHit(taken)); // empty queue

    // Once taken, a repeat is queued again (the hit intake drops it).
    rig.receive(hit, kOther);
    EXPECT_EQ(rig.link->hitCount(), 1u);
}

TEST(Hits, OutOfOrderHitsLeaveOldestFirst) {
    LinkRig rig;
    rig.receive(LinkRig::fromNode(2, MSG_HIT, 0, 100, 500), kOther);
    rig.receive(LinkRig::fromNode(4, MSG_HIT, 2, 100, 100), kOther);
    rig.receive(LinkRig::fromNode(5, MSG_HIT, 1, 99, 999), kOther);
    // Same time as a queued hit, other signal: not a repeat.
    rig.receive(LinkRig::fromNode(4, MSG_HIT, 3, 100, 100), kOther);
    ASSERT_EQ(rig.link->hitCount(), 4u);
    EXPECT_EQ(popHit(*rig.link).time, 99'999u);
    EXPECT_EQ(popHit(*rig.link).time, 100'100u);
    EXPECT_EQ(popHit(*rig.link).time, 100'100u);
    EXPECT_EQ(popHit(*rig.link).time, 100'500u);
}

TEST(Hits, SeveralFramesInOneDatagramAreAllTaken) {
    LinkRig rig;
    std::vector<std::uint8_t> datagram;
    for (int k = 0; k < 5; ++k) {
        const NodeFrameBytes f =
            buildReceiveFrame(std::uint8_t(k), LinkRig::fromNode(2, MSG_HIT, 0, 100, std::uint16_t(k)));
        datagram.insert(datagram.end(), f.begin(), f.end());
    }
    rig.link->handleDatagram(datagram.data(), datagram.size(), kOther);
    EXPECT_EQ(rig.link->hitCount(), 5u);
    EXPECT_EQ(rig.transport->messages().size(), 5u);
    EXPECT_EQ(rig.count(SE_NEW_HITS), 1); // one event per datagram is enough: the consumer drains all
}

// ---- events and attachments ----

TEST(Events, MessagesThatTellTheMainWindow) {
    LinkRig rig;
    rig.receive(LinkRig::fromNode(1, MSG_START_LIGHTS, 0x2001), kGateway);
    rig.receive(LinkRig::fromNode(3, MSG_TAG_AT_START, 1025), kOther);
    rig.receive(LinkRig::fromNode(1, MSG_START_GIVEN), kGateway);
    rig.receive(LinkRig::fromNode(1, 99), kGateway); // unknown type: ignored
    TNodeMessage toNode5 = LinkRig::fromNode(1, MSG_START_GIVEN);
    toNode5.to = 5; // not for the PC: ignored
    rig.receive(toNode5, kGateway);
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {SE_START_LIGHTS, 0x2001}, {SE_TAG_AT_START, 3u | (1025u << 8)}, {SE_START_GIVEN, 0}};
    EXPECT_EQ(rig.events, expected);
}

TEST(Events, ChannelListsAndScoreboardLines) {
    LinkRig rig;
    const std::string channels = std::string("CHANNELS:5,6,7") + '\0';
    rig.link->handleDatagram(reinterpret_cast<const std::uint8_t*>(channels.data()), channels.size(), kGateway);
    EXPECT_EQ(rig.count(SE_CHANNEL_LEVELS), 1);
    EXPECT_EQ(rig.link->channelLevels()[2], 7);
    EXPECT_EQ(rig.link->channelLevels()[3], 0);

    // Without a handler a scoreboard line changes nothing; with one it arrives whole, decoded.
    const std::string line = "SCOREBOARD \xD2\xC5\xD1\xD2"; // CP1251 "ТЕСТ"
    rig.link->handleDatagram(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), kOther);
    EXPECT_EQ(rig.events.size(), 1u);
    std::vector<std::pair<std::string, NodeAddress>> lines;
    rig.link->setScoreboardLineHandler([&](const std::string& l, const NodeAddress& a) { lines.emplace_back(l, a); });
    rig.link->handleDatagram(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), kOther);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, "SCOREBOARD ТЕСТ");
    EXPECT_EQ(lines[0].second, kOther);
}

TEST(Events, RadioBoardMessagesGoToTheBoardsOnly) {
    struct Boards final : RadioBoardReceiver {
        std::vector<TNodeMessage> got;
        void onReply(const TNodeMessage& m, const NodeAddress&) override { got.push_back(m); }
    } boards;
    LinkRig rig;
    rig.receive(LinkRig::fromNode(10, MSG_STATUS, 152), kOther); // no receiver: dropped
    rig.link->setRadioBoards(&boards);
    rig.receive(LinkRig::fromNode(10, MSG_STATUS, 152), kOther);
    rig.receive(LinkRig::fromNode(11, MSG_BOARD_RESET, 4), kOther);
    ASSERT_EQ(boards.got.size(), 2u);
    EXPECT_EQ(boards.got[1].type, MSG_BOARD_RESET);
    EXPECT_TRUE(rig.link->nodes().empty()); // board statuses make no node table entry
}

TEST(Greeting, GoesToTheChosenBroadcastInterfacesEveryTenSeconds) {
    LinkOptions options;
    options.port = 21309;
    options.interfaces = {"vlm0"};
    LinkRig rig(options);
    rig.env->list = {
        {"lo", 0x7F000001, 0xFF000000, true, false},
        {"vlm0", 0x0AD50001, 0xFFFFFF00, true, true},
        {"vlm1", 0x0AD50002, 0xFFFFFF00, true, true},
        {"down0", 0x0A000001, 0xFF000000, false, true},
    };
    const std::uint64_t t0 = rig.env->now;
    rig.runUntil(t0, 25'000);
    const auto sent = rig.transport->takeSent();
    ASSERT_EQ(sent.size(), 3u); // at 10 ms, 10 s and 20 s later
    for (const auto& d : sent) {
        EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), "VELMARO");
        EXPECT_EQ(d.to, (NodeAddress{0x0AD500FF, 21309}));
    }

    LinkRig all; // no restriction: every interface that is up and broadcast-capable
    all.env->list = rig.env->list;
    all.link->runPass();
    EXPECT_EQ(all.transport->takeSent().size(), 2u);
}

// ---- commands and schedules ----

TEST(Commands, NothingIsSentBeforeTheGatewayIsKnown) {
    LinkRig rig;
    const std::uint64_t t0 = rig.env->now;
    rig.link->sendStartCommand(MSG_START_TWO_LANE, 1, 1);
    rig.link->sendWinner(1);
    rig.link->sendDisplay({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    rig.runUntil(t0, 3000);
    EXPECT_TRUE(rig.transport->sent.empty());
}

TEST(Commands, SingleSendCommandsCarryTheirFields) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    rig.link->sendWinner(1);
    rig.link->sendStartUnitMode(3);
    rig.link->sendLightBrightness(7);
    rig.link->sendCommand53();
    rig.link->sendCommand37();
    rig.link->sendDisplayBrightness(12, NODE_DISPLAY_LEFT);
    const auto sent = rig.transport->takeSent();
    const std::vector<TNodeMessage> expected = {
        TNodeMessage::make(1, MSG_WINNER, 1),
        TNodeMessage::make(1, MSG_START_UNIT_MODE, 3),
        TNodeMessage::make(1, MSG_LIGHT_BRIGHTNESS, 7),
        TNodeMessage::make(1, MSG_COMMAND53),
        TNodeMessage::make(1, MSG_COMMAND37, 0, 0, 1),
        TNodeMessage::make(8, MSG_DISPLAY_BRIGHTNESS, 12, 0x55555555u, 0x5555),
    };
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].message(), expected[i]) << i;
        EXPECT_EQ(sent[i].to, kGateway);
        EXPECT_EQ(sent[i].bytes[4], std::uint8_t(i + 1)); // frame ids count up from 1
    }
}

TEST(Commands, ForgedReceiveFramesKeepACounterOfTheirOwn) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    TNodeMessage hit = LinkRig::fromNode(2, MSG_HIT, 6, 1'700'000'000u, 5);
    EXPECT_FALSE(rig.link->sendAsReceivedPacket(hit, NodeAddress{})); // unknown address: nothing
    rig.link->sendWinner(0);
    ASSERT_TRUE(rig.link->sendAsReceivedPacket(hit, NodeAddress{0x7F000001, 5555}));
    const auto sent = rig.transport->takeSent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].to, (NodeAddress{0x7F000001, 1309})); // always the node port
    EXPECT_EQ(sent[1].bytes[3], FRAME_TYPE_RECEIVE);
    EXPECT_EQ(sent[1].bytes[4], 1); // its own counter, not the transmit frames'
    EXPECT_EQ(sent[0].bytes[4], 1);
    EXPECT_EQ(TNodeMessage::fromBytes(sent[1].bytes.data() + 15), hit);
}

TEST(Schedules, ManualStartIsSentSixTimesUntilAnswered) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    const std::uint64_t t0 = rig.env->now;
    rig.link->sendStartCommand(MSG_START_TWO_LANE, 1, 1);
    rig.runUntil(t0, 5000);
    EXPECT_EQ(rig.transport->timesOf(MSG_START_TWO_LANE, t0), everyFrom(0, 500, 6));
    EXPECT_EQ(ofType(rig.transport->messages(), MSG_START_TWO_LANE)[0], TNodeMessage::make(1, 24, 1, 0, 1));
    EXPECT_EQ(rig.count(SE_START_RESENT), 0); // not an automatic start

    // Answered after the second send: nothing more.
    LinkRig answered;
    answered.status(1, 0, kGateway);
    const std::uint64_t t1 = answered.env->now;
    answered.link->sendStartCommand(MSG_START_SINGLE, 0, 1);
    answered.runUntil(t1, 700);
    answered.receive(LinkRig::fromNode(1, MSG_START_GIVEN), kGateway);
    answered.runUntil(t1, 5000);
    EXPECT_EQ(answered.transport->timesOf(MSG_START_SINGLE, t1), everyFrom(0, 500, 2));
    EXPECT_EQ(answered.count(SE_START_GIVEN), 1);
}

TEST(Schedules, StartSignalModeIsResentUntilType38Answers) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    const std::uint64_t t0 = rig.env->now;
    rig.link->sendStartSignalMode(1);
    rig.runUntil(t0, 5000);
    EXPECT_EQ(rig.transport->timesOf(MSG_START_SIGNAL_MODE, t0), everyFrom(0, 500, 6));
    EXPECT_EQ(ofType(rig.transport->messages(), MSG_START_SIGNAL_MODE)[0], TNodeMessage::make(1, 38, 1, 0, 1));

    rig.transport->takeSent();
    const std::uint64_t t1 = rig.env->now;
    rig.link->sendStartSignalMode(0);
    rig.runUntil(t1, 600);
    rig.receive(LinkRig::fromNode(1, MSG_START_SIGNAL_MODE), kGateway);
    rig.runUntil(t1, 5000);
    EXPECT_EQ(rig.transport->timesOf(MSG_START_SIGNAL_MODE, t1), everyFrom(0, 500, 2));
}

TEST(Schedules, DisplayContentStartsAfter250MsAndStopsOnThatDisplaysAnswer) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    const std::uint64_t t0 = rig.env->now;
    rig.link->sendDisplay({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    rig.link->sendDisplay({9, 8, 7, 6, 5, 4, 3, 2, 1}, 1);
    rig.runUntil(t0, 600);
    rig.receive(LinkRig::fromNode(8, 0), kOther); // left display answers: only its sends stop
    rig.runUntil(t0, 10'000);
    std::vector<std::uint64_t> left, right;
    for (const auto& d : rig.transport->sent) {
        if (!d.isFrame()) continue;
        (d.message().to == 8 ? left : right).push_back(d.at - t0);
    }
    EXPECT_EQ(left, everyFrom(250, 250, 2));
    EXPECT_EQ(right, everyFrom(250, 250, 25));
    EXPECT_EQ(rig.transport->sent.back().message(), TNodeMessage::displayContent(9, {9, 8, 7, 6, 5, 4, 3, 2, 1}));

    // clearDisplay sends nine zero bytes and replaces what was pending.
    rig.transport->takeSent();
    const std::uint64_t t1 = rig.env->now;
    rig.link->sendDisplay({1, 1, 1, 1, 1, 1, 1, 1, 1}, 1);
    rig.link->clearDisplay(1);
    rig.runUntil(t1, 300);
    ASSERT_EQ(rig.transport->messages().size(), 1u);
    EXPECT_EQ(rig.transport->messages()[0], TNodeMessage::displayContent(9, {}));
}

TEST(Schedules, Command37IsPacedFiftyTimesOrUntilAnswered) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    const std::uint64_t t0 = rig.env->now;
    rig.link->armCommand37();
    rig.runUntil(t0, 30'000);
    const auto times = rig.transport->timesOf(MSG_COMMAND37, t0);
    ASSERT_EQ(times.size(), 50u);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GT(times[i] - times[i - 1], 300u);
        EXPECT_LE(times[i] - times[i - 1], 320u);
    }

    rig.transport->takeSent();
    const std::uint64_t t1 = rig.env->now;
    rig.link->armCommand37();
    rig.runUntil(t1, 700);
    rig.receive(LinkRig::fromNode(1, MSG_COMMAND37), kGateway);
    rig.runUntil(t1, 5000);
    EXPECT_EQ(rig.transport->timesOf(MSG_COMMAND37, t1).size(), 3u);
}

TEST(Schedules, TimeoutsReachEveryOnlineNodeWithItsNextStatus) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    rig.status(2, 0, kOther);
    rig.link->setTimeouts(60, 30);
    rig.link->runPass();
    EXPECT_TRUE(rig.transport->sent.empty());
    rig.status(2, 0, kOther);
    rig.status(1, 0, kGateway);
    const auto m = rig.transport->messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0], TNodeMessage::make(2, MSG_TIMEOUTS, 60, 0, 30));
    EXPECT_EQ(m[1], TNodeMessage::make(1, MSG_TIMEOUTS, 60, 0, 30));

    // A push request goes out as type 46 with the start unit's next status, once.
    rig.transport->takeSent();
    rig.receive(LinkRig::fromNode(1, MSG_TIMEOUTS, 60, 0, 30), kGateway);
    rig.link->requestTimeoutsPush();
    rig.status(1, 0, kGateway);
    rig.status(1, 0, kGateway);
    EXPECT_EQ(rig.transport->messages(),
              std::vector<TNodeMessage>{TNodeMessage::make(1, MSG_TIMEOUTS_PUSH, 60, 0, 30)});
}

TEST(Schedules, ChannelScanWaitsForASenderAndGoesToTheLastOne) {
    LinkRig rig;
    rig.link->requestChannelScan();
    rig.link->runPass();
    EXPECT_TRUE(rig.transport->sent.empty());
    rig.status(2, 0, kOther);
    // The console's own greeting, heard back from the broadcast, does not count as a sender.
    rig.link->handleDatagram(reinterpret_cast<const std::uint8_t*>("VELMARO"), 7, NodeAddress{0x0AD50001, 1309});
    rig.link->runPass();
    const auto sent = rig.transport->takeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].message(), TNodeMessage::make(1, MSG_CHANNEL_SCAN));
    EXPECT_EQ(sent[0].to.ip, kOther.ip);
    rig.link->runPass();
    EXPECT_TRUE(rig.transport->sent.empty()); // once
}

// ---- automatic start ----

namespace {
// Start unit status bits: left start 0, left stage 1, left pre-stage 4; right 2, 3, 5.
constexpr std::uint16_t kLeftReady = 0x01;  // pre-stage 0, stage 0, start 1
constexpr std::uint16_t kLeftStaged = 0x03; // stage broken
constexpr std::uint16_t kLeftAllOne = 0x13;
} // namespace

TEST(AutoStart, CountdownFiresBetween2600And4200MsAndReportsEverySend) {
    for (int r : {0, 7, 16}) {
        SCOPED_TRACE(r);
        LinkRig rig;
        rig.env->random = r;
        rig.status(1, 0, kGateway);
        rig.link->armAutoStart(1, 0, MSG_START_TWO_LANE, 1, 1);
        EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_ARMED);
        const std::uint64_t t0 = rig.env->now;
        rig.status(1, kLeftReady, kGateway);
        EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_COUNTDOWN);
        rig.runUntil(t0, 8000);
        const std::uint64_t first = 2600 + 100u * std::uint64_t(r);
        EXPECT_EQ(rig.transport->timesOf(MSG_START_TWO_LANE, t0), everyFrom(first, 500, 5));
        EXPECT_EQ(ofType(rig.transport->messages(), MSG_START_TWO_LANE)[0], TNodeMessage::make(1, 24, 1, 0, 1));
        EXPECT_EQ(rig.count(SE_START_RESENT), 5);
        EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_IDLE);
    }
}

TEST(AutoStart, StageChangeAbortsOnceAndOnlyAllOnesReArm) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    rig.link->armAutoStart(1, 0, MSG_START_TWO_LANE, 0, 1);
    const std::uint64_t t0 = rig.env->now;
    rig.status(1, kLeftReady, kGateway);
    rig.runUntil(t0, 1000);
    rig.status(1, kLeftStaged, kGateway);
    rig.status(1, kLeftStaged, kGateway);
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_ABORTED);
    EXPECT_EQ(rig.count(SE_AUTOSTART_ABORTED), 1);
    rig.runUntil(t0, 6000);
    EXPECT_TRUE(rig.transport->timesOf(MSG_START_TWO_LANE, t0).empty());

    // Matching again is not enough: every watched sensor must first read 1.
    rig.status(1, kLeftReady, kGateway);
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_ABORTED);
    rig.status(1, kLeftAllOne | 0x2C, kGateway); // right lane bits are not watched
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_ARMED);
    const std::uint64_t t1 = rig.env->now;
    rig.status(1, kLeftReady, kGateway);
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_COUNTDOWN);
    rig.runUntil(t1, 8000);
    EXPECT_EQ(rig.transport->timesOf(MSG_START_TWO_LANE, t1).size(), 5u);
}

TEST(AutoStart, AnswerDisarmAndManualCommandsMakeItIdle) {
    struct Row {
        const char* name;
        std::function<void(LinkRig&)> act;
    } rows[] = {
        {"answer type 11", [](LinkRig& r) { r.receive(LinkRig::fromNode(1, MSG_START_GIVEN), kGateway); }},
        {"disarm", [](LinkRig& r) { r.link->disarmAutoStart(); }},
        {"type 37 pacing", [](LinkRig& r) { r.link->armCommand37(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LinkRig rig;
        rig.status(1, 0, kGateway);
        rig.link->armAutoStart(0, 1, MSG_START_TWO_LANE, 0, 1);
        const std::uint64_t t0 = rig.env->now;
        rig.status(1, 0x04, kGateway); // right start 1, right stage and pre-stage 0
        ASSERT_EQ(rig.link->autoStartState(), AUTOSTART_COUNTDOWN);
        row.act(rig);
        EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_IDLE);
        rig.status(1, 0x04, kGateway);
        EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_IDLE);
        rig.runUntil(t0, 8000);
        EXPECT_EQ(rig.count(SE_START_RESENT), 0);
    }
}

TEST(AutoStart, ArmingWithNoLaneChangesNothing) {
    LinkRig rig;
    rig.link->armAutoStart(1, 1, MSG_START_TWO_LANE, 0, 1);
    rig.link->disarmAutoStart();
    rig.link->armAutoStart(0, 0, MSG_START_ARMED, 1, 1);
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_IDLE);
    rig.link->armAutoStart(1, 1, MSG_START_TWO_LANE, 0, 1);
    rig.link->armAutoStart(0, 0, MSG_START_ARMED, 1, 1);
    EXPECT_EQ(rig.link->autoStartState(), AUTOSTART_ARMED);
    // Still the first arming's code: both lanes watched, code 24.
    rig.status(1, 0x05, kGateway);
    const std::uint64_t t0 = rig.env->now;
    rig.runUntil(t0, 3000);
    EXPECT_EQ(rig.transport->timesOf(MSG_START_TWO_LANE, t0).size(), 1u);
}
