// The radio scoreboard link: message bytes, the repeat-until-acknowledged schedule on an
// injected clock, the rule that nothing goes out before a board status gives the address,
// and the thread's stop/join.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/link/radio_scoreboard.h"

namespace velmaro {
namespace {

using Bytes = std::vector<int>;

Bytes bytesOf(const TNodeMessage& m) {
    const NodeMessageBytes b = m.toBytes();
    return Bytes(b.begin(), b.end());
}

// ---- message bytes ----

struct GoldenRow {
    const char* name;
    TNodeMessage message;
    Bytes expected;
};

TEST(RadioMessages, GoldenBytes) {
    RadioResultValues sixtyOnly{1234, 456, 1800, 1502, 0, 77, 500, 1900, 1400, 0};
    RadioResultValues withTime{1234, 456, 1800, 1502, 0, 77, 500, 1900, 1400, 9876};
    const GoldenRow rows[] = {
        {"reset, left, sequence 1",
         radioResetMessage(10, 1),
         {0xAA, 0x55, 0, 10, 40, 0x02, 0, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD}},
        {"logo, right, sequence 300 (16 bits of s x 2)",
         radioLogoMessage(11, 300),
         {0xAA, 0x55, 0, 11, 43, 0x58, 0x02, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD}},
        // Layout A, no time on either lane: 234 in bits 6..15, s=3 in bits 1..5, bit 0 set,
        // data = reaction | 60 ft << 16, aux = speed x 10.
        {"result layout A, 60 ft carried",
         radioResultMessage(10, sixtyOnly, 3, RADIO_LAYOUT_A),
         {0xAA, 0x55, 0, 10, 41, 0x87, 0x3A, 0xC8, 0x01, 0x08, 0x07, 0xDE, 0x05, 0xDE, 0xAD}},
        // A time on the right lane makes both boards carry their time; left time is 0.
        {"result layout A, left board, time on the right lane",
         radioResultMessage(10, withTime, 3, RADIO_LAYOUT_A),
         {0xAA, 0x55, 0, 10, 41, 0x86, 0x3A, 0xC8, 0x01, 0x00, 0x00, 0xDE, 0x05, 0xDE, 0xAD}},
        // Right board: values 5..9; 77 << 6 | (33 & 31) << 1 = 0x1342; sequence wraps at 32.
        {"result layout A, right board",
         radioResultMessage(11, withTime, 33, RADIO_LAYOUT_A),
         {0xAA, 0x55, 0, 11, 41, 0x42, 0x13, 0xF4, 0x01, 0x94, 0x26, 0x78, 0x05, 0xDE, 0xAD}},
        {"result other layout",
         radioResultMessage(10, withTime, 3, 0),
         {0xAA, 0x55, 0, 10, 41, 0xD2, 0x04, 0, 0, 0, 0, 0xDE, 0x05, 0xDE, 0xAD}},
        {"result other layout, right",
         radioResultMessage(11, withTime, 3, 150),
         {0xAA, 0x55, 0, 11, 41, 77, 0, 0x94, 0x26, 0, 0, 0x78, 0x05, 0xDE, 0xAD}},
        {"text, six bytes taken",
         radioTextMessage(10, "ABCDEFGH", 3, 16),
         {0xAA, 0x55, 0, 10, 42, 3, 16, 'A', 'B', 'C', 'D', 'E', 'F', 0xDE, 0xAD}},
        {"text, short, zero padded",
         radioTextMessage(11, "12", 0, 0),
         {0xAA, 0x55, 0, 11, 42, 0, 0, '1', '2', 0, 0, 0, 0, 0xDE, 0xAD}},
        {"text, empty", radioTextMessage(10, "", 30, 3), {0xAA, 0x55, 0, 10, 42, 30, 3, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD}},
        {"brightness", radioBrightnessMessage(11, 16), {0xAA, 0x55, 0, 11, 44, 16, 0, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD}},
    };
    for (const GoldenRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(bytesOf(row.message), row.expected);
    }
}

TEST(RadioMessages, LayoutANumberIsTakenModulo1000) {
    RadioResultValues v{1234, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(radioResultMessage(10, v, 0, RADIO_LAYOUT_A).param >> 6, 234);
}

TEST(RadioMessages, TextGoesInTheBoardsCodePage) {
    EXPECT_EQ(utf8ToCp1251("Привет!"), std::string("\xCF\xF0\xE8\xE2\xE5\xF2!"));
    EXPECT_EQ(utf8ToCp1251("Ёж №5"), std::string("\xA8\xE6 \xB9"
                                                 "5"));
    EXPECT_EQ(utf8ToCp1251("a\xE2\x82\xAC"
                           "b"),
              std::string("a\x88"
                          "b"));                  // euro sign
    EXPECT_EQ(utf8ToCp1251("\xE4\xB8\xAD"), "?"); // not in CP1251
    EXPECT_EQ(utf8ToCp1251("x\xD0"), "x?");       // cut sequence
}

// ---- the schedule ----

struct Sent {
    TNodeMessage message;
    NodeAddress to;
    std::uint64_t at;
};

class RadioSchedule : public ::testing::Test {
protected:
    std::uint64_t now = 1'700'000'000'000; // ms
    std::vector<Sent> sent;
    TNRFScoreboardController boards{[this](const TNodeMessage& m, const NodeAddress& to) {
                                        sent.push_back({m, to, now});
                                        return true;
                                    },
                                    [this] { return now; }};
    const NodeAddress boardsAt{0x0A0A0A05, 40000}; // 10.10.10.5

    void SetUp() override {
        boards.runPass(); // the first pass records the brightness
        sent.clear();
    }
    static TNodeMessage from(int node, int type, std::uint16_t param = 0) {
        TNodeMessage m;
        m.from = static_cast<std::uint8_t>(node);
        m.type = static_cast<std::uint8_t>(type);
        m.param = param;
        return m;
    }
    void status(int node, std::uint16_t layout = 0) { boards.onReply(from(node, MSG_STATUS, layout), boardsAt); }
    // Runs passes every 20 ms until `until` ms from now have passed.
    void runFor(std::uint64_t ms) {
        const std::uint64_t end = now + ms;
        while (now < end) {
            now += 10;
            boards.runPass();
        }
    }
    std::vector<Sent> sentTo(int node, int type) const {
        std::vector<Sent> out;
        for (const Sent& s : sent)
            if (s.message.to == node && s.message.type == type) out.push_back(s);
        return out;
    }
};

TEST_F(RadioSchedule, NothingIsSentBeforeABoardStatusGivesTheAddress) {
    boards.resetBoards();
    boards.showResult(RadioResultValues{5, 0, 0, 0, 0, 6, 0, 0, 0, 0}, 0);
    boards.showText("Старт", 0, 0, 1);
    // An answer that is not a status marks the board present but gives no address.
    boards.onReply(from(10, 99), boardsAt);
    boards.onReply(from(11, 99), boardsAt);
    runFor(6000);
    boards.setBrightness(9);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(boards.boardsAddress().known());

    status(10);
    runFor(20);
    ASSERT_EQ(sent.size(), 2u); // the left board's pending result, the right board's text
    for (const Sent& s : sent) EXPECT_EQ(s.to, boardsAt);
}

TEST_F(RadioSchedule, ABoardThatNeverSpokeReceivesNothing) {
    status(10);
    boards.resetBoards();
    runFor(2000);
    EXPECT_EQ(sentTo(11, RADIO_CMD_RESET).size(), 0u);
    EXPECT_EQ(sentTo(10, RADIO_CMD_RESET).size(), 8u); // at 0 and every 250 ms after
}

TEST_F(RadioSchedule, ResetIsRepeatedEvery250msUntilEachBoardAnswersWithItsSequence) {
    status(10);
    status(11);
    boards.resetBoards(); // sequence 1 on both
    const std::uint64_t t0 = now;
    runFor(260);
    auto left = sentTo(10, RADIO_CMD_RESET);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].at - t0, 10u); // the first pass after the command
    EXPECT_EQ(left[1].at - left[0].at, 250u);
    EXPECT_EQ(left[0].message.param, 2); // sequence x 2

    // The right type with other sequence bits leaves it pending; the right bits end it.
    boards.onReply(from(10, RADIO_CMD_RESET, 4), boardsAt);
    boards.onReply(from(11, RADIO_CMD_LOGO, 2), boardsAt);
    EXPECT_EQ(boards.board(0).pending, RADIO_CMD_RESET);
    boards.onReply(from(10, RADIO_CMD_RESET, 0xFFC2), boardsAt); // bits outside 1..5 do not count
    EXPECT_EQ(boards.board(0).pending, 0);
    EXPECT_EQ(boards.board(0).lastSend, 0u);

    sent.clear();
    runFor(1000);
    EXPECT_EQ(sentTo(10, RADIO_CMD_RESET).size(), 0u);
    EXPECT_EQ(sentTo(11, RADIO_CMD_RESET).size(), 4u);
    boards.onReply(from(11, RADIO_CMD_RESET, 2), boardsAt);
    sent.clear();
    runFor(1000);
    EXPECT_TRUE(sentTo(11, RADIO_CMD_RESET).empty());
}

TEST_F(RadioSchedule, ANewCommandReplacesThePendingOneAndTheOldAnswerNoLongerEndsIt) {
    status(10);
    boards.showLogo(); // sequence 1
    runFor(20);
    boards.resetBoards(); // sequence 2 replaces it
    boards.onReply(from(10, RADIO_CMD_LOGO, 2), boardsAt);
    boards.onReply(from(10, RADIO_CMD_RESET, 2), boardsAt); // answers sequence 1
    EXPECT_EQ(boards.board(0).pending, RADIO_CMD_RESET);
    sent.clear();
    runFor(300);
    auto resets = sentTo(10, RADIO_CMD_RESET);
    ASSERT_FALSE(resets.empty());
    EXPECT_EQ(resets[0].message.param, 4);
    boards.onReply(from(10, RADIO_CMD_RESET, 4), boardsAt);
    EXPECT_EQ(boards.board(0).pending, 0);
}

TEST_F(RadioSchedule, ResultFollowsTheLayoutOfTheLastBoardStatus) {
    RadioResultValues v{42, 510, 1700, 1234, 0, 0, 0, 0, 0, 0};
    status(11, RADIO_LAYOUT_A);
    boards.showResult(v, 0); // left board: not present, waits
    boards.showResult(v, 1);
    runFor(20);
    auto right = sentTo(11, RADIO_CMD_RESULT);
    ASSERT_EQ(right.size(), 1u);
    EXPECT_EQ(right[0].message, radioResultMessage(11, v, 1, RADIO_LAYOUT_A));
    EXPECT_TRUE(sentTo(10, RADIO_CMD_RESULT).empty());

    // Both boards share the last status's address and layout.
    const NodeAddress other{0x0A0A0A06, 1309};
    boards.onReply(from(10, MSG_STATUS, 7), other);
    sent.clear();
    runFor(260);
    auto left = sentTo(10, RADIO_CMD_RESULT);
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left[0].message, radioResultMessage(10, v, 1, 7));
    EXPECT_EQ(left[0].to, other);
}

TEST_F(RadioSchedule, TextIsSentInTheBoardsCodePage) {
    status(10);
    boards.showText("Финиш", 0, 3, 0);
    runFor(20);
    auto texts = sentTo(10, RADIO_CMD_TEXT);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].message, radioTextMessage(10, "\xD4\xE8\xED\xE8\xF8", 0, 3));
}

TEST_F(RadioSchedule, BrightnessIsRecordedEvery5sEvenWithNoBoardPresent) {
    const std::int64_t first = boards.lastBrightnessSend();
    EXPECT_EQ(first, static_cast<std::int64_t>(now / 1000));
    runFor(4990);
    EXPECT_EQ(boards.lastBrightnessSend(), first);
    runFor(20);
    EXPECT_EQ(boards.lastBrightnessSend(), first + 5);
    EXPECT_TRUE(sent.empty());
}

TEST_F(RadioSchedule, BrightnessGoesToEveryPresentBoardAtOnceAndEvery5s) {
    status(10);
    status(11);
    boards.setBrightness(7);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].message, radioBrightnessMessage(10, 7));
    EXPECT_EQ(sent[1].message, radioBrightnessMessage(11, 7));
    sent.clear();
    runFor(10000);
    EXPECT_EQ(sentTo(10, RADIO_CMD_BRIGHTNESS).size(), 2u);
    EXPECT_EQ(sentTo(11, RADIO_CMD_BRIGHTNESS).size(), 2u);
    EXPECT_EQ(sent.back().message.param, 7);
}

// ---- with the link ----

// A transport that records what the link sends.
class RecordingTransport : public LinkTransport {
public:
    struct Datagram {
        NodeAddress to;
        std::vector<std::uint8_t> bytes;
    };
    std::mutex mutex;
    std::vector<Datagram> sent;
    PortState open(std::uint16_t, int&) override { return PortState::Open; }
    void close() override {}
    bool send(const NodeAddress& to, const std::uint8_t* data, std::size_t length) override {
        std::lock_guard<std::mutex> g(mutex);
        sent.push_back({to, std::vector<std::uint8_t>(data, data + length)});
        return true;
    }
    long receive(std::uint8_t*, std::size_t, NodeAddress&) override { return -1; }
    bool waitReadable(int) override { return false; }
};

std::vector<std::uint8_t> receiveFrame(const TNodeMessage& m) {
    NodeFrameBytes f = buildReceiveFrame(1, m);
    return std::vector<std::uint8_t>(f.begin(), f.end());
}

TEST(RadioWithLink, RepliesComeThroughTheLinkAndCommandsLeaveInItsTransmitFrame) {
    auto transport = std::make_unique<RecordingTransport>();
    RecordingTransport* wire = transport.get();
    TSystemInterface link([](int, std::uint32_t) {}, LinkOptions{}, nullptr, std::move(transport));
    std::uint64_t now = 5'000'000;
    const NodeAddress gatewayAt{0x7F000001, 1309};
    {
        TNRFScoreboardController boards(link, [&] { return now; });
        boards.attachTo(link);
        TNodeMessage st = TNodeMessage::make(0, MSG_STATUS, 0);
        st.from = 10;
        const auto frame = receiveFrame(st);
        link.handleDatagram(frame.data(), frame.size(), gatewayAt);
        ASSERT_TRUE(boards.present(10));
        ASSERT_EQ(boards.boardsAddress(), gatewayAt);

        boards.runPass(); // brightness 16 to the left board
        ASSERT_EQ(wire->sent.size(), 1u);
        const auto& d = wire->sent[0];
        EXPECT_EQ(d.to.ip, gatewayAt.ip);
        EXPECT_EQ(d.to.port, NODE_UDP_PORT);
        const std::vector<std::uint8_t> expected{0x7E, 0x00, 0x1D, 0x10, 0x01, 0,    0,    0,    0,    0,    0,
                                                 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0xAA, 0x55, 0x00, 0x0A, 0x2C,
                                                 0x10, 0x00, 0,    0,    0,    0,    0,    0,    0xDE, 0xAD, 0x23};
        EXPECT_EQ(d.bytes, expected);
    }
    // The controller is gone and detached: a later board message reaches nobody.
    TNodeMessage st = TNodeMessage::make(0, MSG_STATUS, 0);
    st.from = 11;
    const auto frame = receiveFrame(st);
    link.handleDatagram(frame.data(), frame.size(), gatewayAt);
    SUCCEED();
}

// ---- the thread ----

TEST(RadioThread, RepeatsOnItsOwnThreadAndStopsWhenAsked) {
    std::atomic<int> sends{0};
    TNRFScoreboardController boards([&](const TNodeMessage& m, const NodeAddress&) {
        if (m.type == RADIO_CMD_RESET) ++sends;
        return true;
    });
    TNodeMessage st;
    st.from = 10;
    st.type = MSG_STATUS;
    boards.onReply(st, NodeAddress{0x7F000001, 1309});
    boards.resetBoards();
    boards.start();
    boards.start(); // idempotent
    EXPECT_TRUE(boards.running());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (sends.load() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(sends.load(), 2);
    boards.stop();
    EXPECT_FALSE(boards.running());
    const int after = sends.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(sends.load(), after);
    boards.stop(); // idempotent
}

TEST(RadioThread, DestroyingARunningControllerJoinsItsThread) {
    std::atomic<int> passes{0};
    {
        TNRFScoreboardController boards([&](const TNodeMessage&, const NodeAddress&) { return true; },
                                        [&] {
                                            ++passes;
                                            return std::uint64_t(0);
                                        });
        boards.start();
        while (passes.load() == 0) std::this_thread::yield();
    }
    const int after = passes.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(passes.load(), after);
}

} // namespace
} // namespace velmaro
