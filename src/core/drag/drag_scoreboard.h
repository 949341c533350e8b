#pragma once
// What the track displays show of a run: the scoreboard controller object, the two lane
// seven-segment displays (nodes 8 and 9) and the radio scoreboards (nodes 10 and 11).
// Main thread only; outputs leave through the drag host of the runs.
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

// Showing a run, texts or a racer number on the displays is DragRuns' (sendRunToScoreboards,
// sendTextToScoreboards, showRacerNumber in drag_runs.h).

// The texts sendRunToScoreboards puts on a lane display (exposed for tests).
std::string laneDisplayTimeText(int32_t ms); // " 9.876", or "--.---" outside 0..99999
std::string laneDisplaySpeedText(float kmh); // "140.6", or "---.-" outside 0..999.99

} // namespace velmaro
