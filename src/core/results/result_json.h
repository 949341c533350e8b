#pragma once
// The JSON objects that stand for one racer in the session documents: practice
// (practiceResults), qualification (qualResults) and finals (raceResults).
// Pure functions of one result record.
#include <cstdint>
#include <span>
#include <string>

#include "core/json/json_builder.h"
#include "core/records/drag_result.h"

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

// The best attempt of each session object of one result (null: none): the earliest
// of the smallest et among the session's attempts, qualification attempts counted only
// when they pass isValidTime with the breakout limit. One pass over the attempts.
struct TSessionBests {
    const TDragAttempt* practice = nullptr;
    const TDragAttempt* qualification = nullptr;
    const TDragAttempt* finals = nullptr;
};
TSessionBests sessionBests(std::span<const TDragAttempt> attempts, std::int32_t breakoutLimitMs);
inline TSessionBests sessionBests(const TDragResult& result, std::int32_t breakoutLimitMs) {
    return sessionBests(result.attempts, breakoutLimitMs);
}

// The same objects appended to a buffered text, of a result whose attempts are kept
// apart from it (result.attempts is not read), with the best attempts from sessionBests
// (the rebuild finds them once for its three documents). A practice or qualification
// object exists only with a best attempt; the text forms return "0" without one.
void appendPracticeResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                              const TDragAttempt& best);
void appendQualResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                          std::int32_t breakoutLimitMs, const TDragAttempt& best);
void appendRaceResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                          const TDragAttempt* best);

} // namespace velmaro
