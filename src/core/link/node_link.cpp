#include "core/link/node_link.h"

#include "core/link/radio_scoreboard.h"

namespace velmaro {

void NodeLink::sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux) {
    if (link_) link_->sendStartCommand(code, param, aux);
}
void NodeLink::sendStartSignalMode(std::uint16_t value) {
    if (link_) link_->sendStartSignalMode(value);
}
void NodeLink::armCommand37() {
    if (link_) link_->armCommand37();
}
void NodeLink::armAutoStart(int leftLane, int rightLane, int code, int param, int aux) {
    if (link_) link_->armAutoStart(leftLane, rightLane, code, param, aux);
}
void NodeLink::sendStartUnitMode(std::uint16_t value) {
    if (link_) link_->sendStartUnitMode(value);
}
void NodeLink::sendWinner(std::uint16_t lane) {
    if (link_) link_->sendWinner(lane);
}
void NodeLink::sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node) {
    if (link_) link_->sendDisplayBrightness(brightness, node);
}
void NodeLink::sendDisplay(const std::array<std::uint8_t, 9>& content, int lane) {
    if (link_) link_->sendDisplay(content, lane);
}
void NodeLink::clearDisplay(int lane) {
    if (link_) link_->clearDisplay(lane);
}
void NodeLink::sendLightBrightness(std::uint16_t value) {
    if (link_) link_->sendLightBrightness(value);
}
void NodeLink::sendCommand53() {
    if (link_) link_->sendCommand53();
}
void NodeLink::setTimeouts(int repeat, int detector) {
    if (link_) link_->setTimeouts(repeat, detector);
}
void NodeLink::requestTimeoutsPush() {
    if (link_) link_->requestTimeoutsPush();
}
void NodeLink::requestChannelScan() {
    if (link_) link_->requestChannelScan();
}
bool NodeLink::sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to) {
    return link_ && link_->sendAsReceivedPacket(message, to);
}
std::vector<TSystemNode> NodeLink::nodes() { return link_ ? link_->nodes() : std::vector<TSystemNode>{}; }
NodeAddress NodeLink::gateway() { return link_ ? link_->gateway() : NodeAddress{}; }

void NodeLink::radioResetBoards() {
    if (radio_) radio_->resetBoards();
}
void NodeLink::radioShowLogo() {
    if (radio_) radio_->showLogo();
}
void NodeLink::radioShowResult(const RadioResultValues& values, int board) {
    if (radio_) radio_->showResult(values, board);
}
void NodeLink::radioShowText(const std::string& text, int first, int second, int board) {
    if (radio_) radio_->showText(text, first, second, board);
}
void NodeLink::radioSetBrightness(int brightness) {
    if (radio_) radio_->setBrightness(brightness);
}

} // namespace velmaro
