#pragma once
// Texts of the run figures as every table, grid, printout and document shows them.
#include <cstdint>
#include <string>

namespace velmaro {

// "HH:MM:SS.mmm" of the UTC time of day of an absolute time.
std::string formatClockTime(uint64_t time);
// "" for 0; else sign (blank or "-") and "SS.mmm" below a minute, "M:SS.mmm" from a minute up.
std::string formatLaneTime(int32_t ms);
// As formatLaneTime with "+" as the sign of a positive time.
std::string formatSignedTime(int32_t ms);
// " 123.4" for a speed above 0, else " ".
std::string formatSpeed(float kmh);
// " 123.4 км/ч" for a speed above 0, else " ".
std::string formatSpeedKmh(float kmh);

} // namespace velmaro
