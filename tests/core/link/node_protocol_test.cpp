// Bytes on the wire between the console and the timing nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/link/node_protocol.h"

using namespace velmaro;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
Bytes toVec(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Records every item of a parsed datagram.
struct Recorder final : DatagramItemSink {
    std::vector<std::string> channelLists;
    std::vector<std::string> scoreboardLines;
    std::vector<TNodeMessage> messages;
    void onChannelLevels(std::string_view t) override { channelLists.emplace_back(t); }
    void onScoreboardLine(std::string_view t) override { scoreboardLines.emplace_back(t); }
    void onNodeMessage(const std::uint8_t* b) override { messages.push_back(TNodeMessage::fromBytes(b)); }
};

Recorder parse(const Bytes& datagram) {
    Recorder r;
    Bytes withZero = datagram;
    withZero.push_back(0); // the receive buffer's terminating zero, not part of the datagram
    parseDatagramItems(withZero.data(), datagram.size(), r);
    return r;
}

// A hit from node 2: signal 3, 1700000000 s, 999 ms.
const Bytes kHitMessage = {0xAA, 0x55, 0x02, 0x00, 0x04, 0x03, 0x00, 0x00, 0xF1, 0x53, 0x65, 0xE7, 0x03, 0xDE, 0xAD};

// The same message as the gateway forwards it: receive frame 0x90.
Bytes receiveFrame(const Bytes& message, std::uint8_t id = 0x01) {
    Bytes f = {0x7E, 0x00, 0x1B, 0x90, 0x00, 0x13, 0xA2, 0x00, 0x41, 0x5B, 0x2C, 0x11, 0xFF, 0xFE, 0x01};
    f[4] = id;
    f = f + message;
    unsigned sum = 0;
    for (std::size_t i = 3; i < f.size(); ++i) sum += f[i];
    f.push_back(std::uint8_t(0xFF - (sum & 0xFF)));
    return f;
}

} // namespace

TEST(NodeMessage, EncodesEveryFieldLittleEndianBetweenTheMarkers) {
    const TNodeMessage start = TNodeMessage::make(NODE_START, MSG_START_TWO_LANE, 1, 0, 1);
    EXPECT_EQ(toVec(start.toBytes()),
              (Bytes{0xAA, 0x55, 0x00, 0x01, 0x18, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0xDE, 0xAD}));

    const TNodeMessage brightness =
        TNodeMessage::make(NODE_DISPLAY_RIGHT, MSG_DISPLAY_BRIGHTNESS, 0x0107, 0x55555555u, 0x5555);
    EXPECT_EQ(toVec(brightness.toBytes()),
              (Bytes{0xAA, 0x55, 0x00, 0x09, 0x01, 0x07, 0x01, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xDE, 0xAD}));

    const TNodeMessage hit = TNodeMessage::fromBytes(kHitMessage.data());
    EXPECT_EQ(hit.from, 2);
    EXPECT_EQ(hit.to, 0);
    EXPECT_EQ(hit.type, MSG_HIT);
    EXPECT_EQ(hit.param, 3);
    EXPECT_EQ(hit.data, 1700000000u);
    EXPECT_EQ(hit.aux, 999);
    EXPECT_TRUE(hit.acceptedByConsole());
    EXPECT_EQ(toVec(hit.toBytes()), kHitMessage);
}

TEST(NodeMessage, DisplayContentFillsBytesFourToTwelve) {
    const std::array<std::uint8_t, 9> content = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const TNodeMessage m = TNodeMessage::displayContent(NODE_DISPLAY_LEFT, content);
    EXPECT_EQ(toVec(m.toBytes()), (Bytes{0xAA, 0x55, 0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xDE, 0xAD}));
    EXPECT_EQ(m.contentBytes(), content);
}

TEST(NodeMessage, OnlyMessagesForThePcWithBothMarkersAreAccepted) {
    struct Row {
        const char* name;
        int byte;
        std::uint8_t value;
        bool accepted;
    } rows[] = {
        {"as sent", 0, 0xAA, true},         {"to node 5", 3, 0x05, false},          {"marker broken", 0, 0xAB, false},
        {"marker swapped", 1, 0xAA, false}, {"end marker broken", 14, 0xAE, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes b = kHitMessage;
        b[std::size_t(row.byte)] = row.value;
        EXPECT_EQ(TNodeMessage::fromBytes(b.data()).acceptedByConsole(), row.accepted);
    }
}

TEST(NodeFrame, TransmitFrameGoldenBytes) {
    const NodeFrameBytes f = buildTransmitFrame(0x01, TNodeMessage::make(NODE_START, MSG_START_TWO_LANE, 1, 0, 1));
    const Bytes expected =
        Bytes{0x7E, 0x00, 0x1D, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00} +
        Bytes{0xAA, 0x55, 0x00, 0x01, 0x18, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0xDE, 0xAD} + Bytes{0x4E};
    EXPECT_EQ(toVec(f), expected);
}

TEST(NodeFrame, ForgedReceiveFrameCarriesTheMessageAtFifteen) {
    const TNodeMessage hit = TNodeMessage::fromBytes(kHitMessage.data());
    const NodeFrameBytes f = buildReceiveFrame(0x07, hit);
    const Bytes expected =
        Bytes{0x7E, 0x00, 0x1D, 0x90, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE} + kHitMessage +
        Bytes{0x00, 0x00} + Bytes{f[32]};
    EXPECT_EQ(toVec(f), expected);
    EXPECT_EQ(f[32], frameChecksum(f.data() + 3, 29));
    // The console's own parser takes the forged frame like a gateway's.
    const Recorder r = parse(toVec(f));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], hit);
}

TEST(NodeFrame, FrameIdWrapsInTheLowByteWhileTheCounterSkipsZero) {
    TFrameCounter c;
    EXPECT_EQ(c.next(), 1);
    c.set(254);
    EXPECT_EQ(c.next(), 255);
    EXPECT_EQ(c.next(), 0); // counter 256: low byte 0 is sent
    EXPECT_EQ(c.value(), 256u);
    c.set(0xFFFFFFFFu);
    EXPECT_EQ(c.next(), 1); // the 32-bit counter skips 0
    EXPECT_EQ(c.value(), 1u);
}

TEST(DatagramParse, FramesBackToBackComeOutInOrder) {
    Bytes second = kHitMessage;
    second[5] = 0x01;
    const Recorder r = parse(receiveFrame(kHitMessage) + receiveFrame(second, 2));
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].param, 3);
    EXPECT_EQ(r.messages[1].param, 1);
}

TEST(DatagramParse, GarbageBeforeAFrameIsSkipped) {
    const Recorder r = parse(Bytes{0x13, 0x00, 0xFF} + receiveFrame(kHitMessage));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], TNodeMessage::fromBytes(kHitMessage.data()));
}

TEST(DatagramParse, BadChecksumFrameIsSkippedByteByByteAndAFrameInsideItIsFound) {
    // A frame header claiming 0x2A data bytes whose span holds a whole good frame.
    Bytes bad = {0x7E, 0x00, 0x2A, 0x90, 0x55};
    Bytes datagram = bad + receiveFrame(kHitMessage) + Bytes(12, 0x00);
    ASSERT_GT(datagram.size(), 3u + 0x2A); // the bad frame lies wholly inside the datagram
    ASSERT_NE(frameChecksum(datagram.data() + 3, 0x2A), datagram[3 + 0x2A]);
    const Recorder r = parse(datagram);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].from, 2);
}

TEST(DatagramParse, FramesThatAreCutShortOrTooSmallYieldNoMessage) {
    // The checksum byte lies beyond the datagram: the zero after the buffer is not read as one.
    Bytes cut = receiveFrame(kHitMessage);
    cut.pop_back();
    EXPECT_TRUE(parse(cut).messages.empty());

    // A good receive frame whose data is too short to hold a node message.
    Bytes shortFrame = {0x7E, 0x00, 0x05, 0x90, 1, 2, 3, 4};
    shortFrame.push_back(frameChecksum(shortFrame.data() + 3, 5));
    EXPECT_TRUE(parse(shortFrame + receiveFrame(kHitMessage)).messages.size() == 1);

    // Another frame type (a transmit status, 0x8B) is consumed and skipped.
    Bytes status = {0x7E, 0x00, 0x07, 0x8B, 1, 0xFF, 0xFE, 0, 0, 0};
    status.push_back(frameChecksum(status.data() + 3, 7));
    EXPECT_EQ(parse(status + receiveFrame(kHitMessage)).messages.size(), 1u);

    // A lone delimiter at the end.
    EXPECT_TRUE(parse(Bytes{0x7E, 0x00}).messages.empty());
}

TEST(DatagramParse, TextItemsEndAtTheirZeroAndFramesMayFollow) {
    const Recorder r =
        parse(text("CHANNELS:1,2,3") + Bytes{0} + text("SCOREBOARD 7 OK") + Bytes{0} + receiveFrame(kHitMessage));
    ASSERT_EQ(r.channelLists.size(), 1u);
    EXPECT_EQ(r.channelLists[0], "1,2,3");
    ASSERT_EQ(r.scoreboardLines.size(), 1u);
    EXPECT_EQ(r.scoreboardLines[0], "SCOREBOARD 7 OK");
    EXPECT_EQ(r.messages.size(), 1u);

    // A text item without its zero ends with the datagram.
    const Recorder open = parse(text("SCOREBOARD no end"));
    ASSERT_EQ(open.scoreboardLines.size(), 1u);
    EXPECT_EQ(open.scoreboardLines[0], "SCOREBOARD no end");
    // The greeting itself is no item.
    const Recorder greeting = parse(text("VELMARO"));
    EXPECT_TRUE(greeting.messages.empty() && greeting.channelLists.empty() && greeting.scoreboardLines.empty());
}

TEST(ChannelLevels, ListEdgeCases) {
    struct Row {
        const char* name;
        const char* list;
        std::vector<std::pair<int, int>> expected; // channel, level
    } rows[] = {
        {"fewer values keep the rest", "10,20,30", {{0, 10}, {1, 20}, {2, 30}, {3, 99}, {125, 99}}},
        {"trailing comma is harmless", "10,20,", {{0, 10}, {1, 20}, {2, 99}}},
        {"empty value keeps the level", "10,,30", {{0, 10}, {1, 99}, {2, 30}}},
        {"low byte of a large or negative value", "300,-1", {{0, 44}, {1, 255}}},
        {"empty list", "", {{0, 99}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::array<std::uint8_t, CHANNEL_COUNT> levels;
        levels.fill(99);
        readChannelLevels(row.list, levels);
        for (auto [channel, level] : row.expected) EXPECT_EQ(levels[std::size_t(channel)], level) << channel;
    }

    // 130 values: only 126 channels are read.
    std::string many;
    for (int i = 0; i < 130; ++i) many += std::to_string(i) + ",";
    std::array<std::uint8_t, CHANNEL_COUNT> levels{};
    readChannelLevels(many, levels);
    EXPECT_EQ(levels[0], 0);
    EXPECT_EQ(levels[125], 125);
}

TEST(RadioLevels, EachNodeReadsItsOwnByte) {
    std::array<std::uint8_t, 15> b = TNodeMessage::make(0, MSG_RADIO_LEVELS).toBytes();
    const std::uint8_t levels[6] = {0xD0, 0xC8, 0xC0, 0xB8, 0xB0, 0xA8}; // -48, -56, -64, -72, -80, -88
    for (int i = 0; i < 6; ++i) b[std::size_t(7 + i)] = levels[i];
    const TNodeMessage m = TNodeMessage::fromBytes(b.data());
    EXPECT_EQ(reportedLevelFor(m, 2), -48);
    EXPECT_EQ(reportedLevelFor(m, 1), -56);
    EXPECT_EQ(reportedLevelFor(m, 3), -56);
    EXPECT_EQ(reportedLevelFor(m, 4), -64);
    EXPECT_EQ(reportedLevelFor(m, 5), -72);
    EXPECT_EQ(reportedLevelFor(m, 6), -80);
    EXPECT_EQ(reportedLevelFor(m, 7), -88);
    EXPECT_EQ(reportedLevelFor(m, 8), 0);
}
