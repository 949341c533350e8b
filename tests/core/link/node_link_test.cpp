// The node link as its users reach it: commands go to the attached link and radio
// boards, and do nothing at all while none is attached.
#include <gtest/gtest.h>

#include "core/link/node_link.h"
#include "core/link/radio_scoreboard.h"
#include "link_fakes.h"

namespace velmaro::test {
namespace {

const NodeAddress kGateway{0x0AD50002, 1309}; // 10.213.0.2

// Every command and question of the node link, as the console's users call them.
void useEverything(NodeLink& link) {
    link.sendStartCommand(MSG_START_TWO_LANE, 1, 1);
    link.sendStartSignalMode(1);
    link.armCommand37();
    link.armAutoStart(7, 8, 1, 0, 0);
    link.sendStartUnitMode(3);
    link.sendWinner(1);
    link.sendDisplayBrightness(12, NODE_DISPLAY_LEFT);
    link.sendDisplay({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    link.clearDisplay(1);
    link.sendLightBrightness(7);
    link.sendCommand53();
    link.setTimeouts(500, 1);
    link.requestTimeoutsPush();
    link.requestChannelScan();
    link.radioResetBoards();
    link.radioShowLogo();
    link.radioShowResult(RadioResultValues{}, 0);
    link.radioShowText("ТЕСТ", 1, 2, 1);
    link.radioSetBrightness(5);
}

TEST(NodeLink, WithoutALinkEveryCommandIsHarmlessAndEveryAnswerIsNone) {
    NodeLink link;
    useEverything(link);
    EXPECT_TRUE(link.nodes().empty());
    EXPECT_FALSE(link.gateway().known());
    EXPECT_FALSE(link.sendAsReceivedPacket(TNodeMessage::make(1, MSG_WINNER, 1), kGateway));
}

TEST(NodeLink, CommandsReachTheAttachedLinkAndBoardsAndStopWhenDetached) {
    LinkRig rig;
    rig.status(1, 0, kGateway);
    TNRFScoreboardController boards(*rig.link);
    NodeLink link;
    link.attach(rig.link.get());
    link.attachRadio(&boards);

    link.sendWinner(1);
    link.sendStartUnitMode(3);
    link.radioResetBoards();
    EXPECT_EQ(rig.transport->messages(), (std::vector<TNodeMessage>{TNodeMessage::make(1, MSG_WINNER, 1),
                                                                    TNodeMessage::make(1, MSG_START_UNIT_MODE, 3)}));
    EXPECT_EQ(boards.board(0).pending, 40);
    EXPECT_EQ(link.gateway(), kGateway);
    ASSERT_EQ(link.nodes().size(), 1u);

    // The link and the radio thread stop: the users keep the same object, which now
    // sends nothing and shows no node.
    link.attach(nullptr);
    link.attachRadio(nullptr);
    rig.transport->takeSent();
    useEverything(link);
    EXPECT_TRUE(rig.transport->sent.empty());
    EXPECT_EQ(boards.board(1).pending, 40); // still the reset, no text
    EXPECT_TRUE(link.nodes().empty());
}

} // namespace
} // namespace velmaro::test
