#pragma once
// What the track displays show of a run: the scoreboard controller object, the two lane
// seven-segment displays (nodes 8 and 9) and the radio scoreboards (nodes 10 and 11).
// Main thread only; outputs leave through the installed drag host.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro {

// Segment patterns of the digits 0..9: segment a in bit 7 ... g in bit 1, point in bit 0.
inline constexpr std::array<uint8_t, 10> SEVEN_SEGMENT_DIGITS = {0xFC, 0x60, 0xDA, 0xF2, 0x66,
                                                                 0xB6, 0xBE, 0xE0, 0xFE, 0xF6};

using LaneDisplayBuffer = std::array<uint8_t, 9>;

// Encodes two texts into a lane display buffer: the upper field from byte 8 downward, then
// the lower field from byte 3 downward. Digits and "-" light segments, "." sets the point
// of the byte written last, any other character is dark. Texts are UTF-8: one character
// takes one byte whatever its encoded length.
LaneDisplayBuffer encodeLaneDisplay(std::string_view upper, std::string_view lower);

// Shows one lane of a run on the controller, the lane display and the radio scoreboard.
// lane: 0 left, 1 right, -1 the lane selected in the grid. runSelector: -1 the run
// selected in the grid (the last run when none is), anything else the last run.
// The third and sixth arguments do not change what is shown.
void sendRunToScoreboards(int showTime, int showSpeed, int unused, int lane, int runSelector, int brightness);
// Both lane displays show the two texts (upper, lower).
void sendTextToScoreboards(const std::string& upper, const std::string& lower, int brightness = 0);
// The lane display of `lane` shows a racer number (dark for 0 and below).
void showRacerNumber(int32_t number, int lane);

// The texts sendRunToScoreboards puts on a lane display (exposed for tests).
std::string laneDisplayTimeText(int32_t ms);   // " 9.876", or "--.---" outside 0..99999
std::string laneDisplaySpeedText(float kmh);   // "140.6", or "---.-" outside 0..999.99

} // namespace velmaro
