#pragma once
// The node link as the rest of the console reaches it: one object for the whole run of
// the program, present whether or not the link thread runs. The composition root owns
// it and the link, hands it by reference to every user, and attaches the running link
// (and the radio scoreboard thread) at start-up and detaches them before they stop.
// While nothing is attached a command does nothing and a question answers "none" (no
// node, nothing sent), so no user tests for the link itself. Main thread only.
//
// The hit path is not here: the hits the link queued and its journal belong to the link
// object, which the root hands to the system events and the hit intake while it exists.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/link/radio_scoreboard.h"
#include "core/link/system_interface.h"

namespace velmaro {

class NodeLink {
public:
    NodeLink() = default;
    NodeLink(const NodeLink&) = delete;
    NodeLink& operator=(const NodeLink&) = delete;

    // The running link thread object and the radio scoreboard thread object (either may
    // be null); not owned. Null detaches.
    void attach(TSystemInterface* link) { link_ = link; }
    void attachRadio(TNRFScoreboardController* radio) { radio_ = radio; }

    // ---- the link (TSystemInterface) ----
    void sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux);
    void sendStartSignalMode(std::uint16_t value);
    void armCommand37();
    void armAutoStart(int leftLane, int rightLane, int code, int param, int aux);
    void sendStartUnitMode(std::uint16_t value);
    void sendWinner(std::uint16_t lane);
    void sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node);
    void sendDisplay(const std::array<std::uint8_t, 9>& content, int lane);
    void clearDisplay(int lane);
    void sendLightBrightness(std::uint16_t value);
    void sendCommand53();
    void setTimeouts(int repeat, int detector);
    void requestTimeoutsPush();
    void requestChannelScan();
    // False when nothing left (no link, or an unknown address).
    bool sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to);
    // The node table (empty without a link) and the node network's gateway (ip 0 without).
    std::vector<TSystemNode> nodes();
    NodeAddress gateway();

    // ---- the radio scoreboards (TNRFScoreboardController) ----
    void radioResetBoards();
    void radioShowLogo();
    void radioShowResult(const RadioResultValues& values, int board);
    void radioShowText(const std::string& text, int first, int second, int board);
    void radioSetBrightness(int brightness);

private:
    TSystemInterface* link_ = nullptr;
    TNRFScoreboardController* radio_ = nullptr;
};

} // namespace velmaro
