#pragma once
// The JSON objects that stand for one racer in the session documents: practice
// (practiceResults), qualification (qualResults) and finals (raceResults).
// Pure functions of one result record.
#include <cstdint>
#include <string>

#include "core/results/drag_result.h"

namespace velmaro {

// The text a builder returns for a racer without an attempt of its session: the
// rebuild leaves such a racer out of the document.
inline constexpr const char* kNoSessionResult = "0";

// Practice object (_60ft, attempts, et, num, rt, spd) of the practice attempts; "0" when none.
std::string practiceResultJson(const TDragResult& result);
// Qualification object of the qualification attempts that pass isValidTime with the
// class breakout limit (ms; 0 = none); "0" when none passes.
std::string qualResultJson(const TDragResult& result, std::int32_t breakoutLimitMs);
// Finals object: attempts (with win), finalPoints, num, qualPos, and the best final
// attempt's _60ft, et, rt, spd when there is one. Never "0".
std::string raceResultJson(const TDragResult& result);

} // namespace velmaro
