#pragma once
// Result records of the two-lane modes: one lane of one run as the results see it
// (TDragAttempt) and one racer's result in one class list (TDragResult), with the
// ranking rules that choose a racer's kept attempts and order the lists.
//
// Records are plain values; they are copied whole into class lists, the published
// qualification map and the class records.
#include <cstdint>
#include <span>
#include <vector>

#include "core/platform/timing_mode.h"

namespace velmaro {

struct TDragAttempt {
    std::int32_t et = 0;       // elapsed time, ms; 0 = none
    std::int32_t rt = 0;       // reaction time, ms; negative = false start
    std::int32_t _60ft = 0;    // 60 ft time, ms
    std::int32_t foul = 0;     // non-zero = foul, shown as "(F)"
    std::int32_t runMode = -1; // 0 qualification, 1 final, 2 practice; -1 empty; 0 in a sum
    std::int32_t breakout = 0; // elapsed time under the class breakout limit
    float spd = 0.0f;          // trap speed, km/h
    std::int32_t win = -1;     // 1 won the run, 0 lost, -1 no winner known

    bool operator==(const TDragAttempt&) const = default;
};

// The empty attempt: et 0, rt 0, _60ft 0, foul 0, runMode -1, breakout 0, spd 0, win -1.
inline constexpr TDragAttempt kEmptyAttempt{};

struct TDragResult {
    std::int32_t num = 0;               // racer start number
    std::int32_t clsId = -1;            // class id of the list; -1 in the overall list
    std::int32_t finalPoints = 0;       // final place from the class bracket; 0 = none
    std::int32_t bestRt = 0;            // smallest positive non-practice reaction time; 0 = none
    float bestSpeed = 0.0f;             // highest non-practice speed; 0 = none
    TDragAttempt bestLegalStart;        // kept attempt A
    TDragAttempt bestAnyStart;          // kept attempt B
    std::int32_t qualPos = 0;           // 1-based place in the class qualification order; 0 = none
    std::vector<TDragAttempt> attempts; // in run-list order

    TDragResult() = default;
    TDragResult(std::int32_t number, std::int32_t classId) : num(number), clsId(classId) {}
    bool operator==(const TDragResult&) const = default;
};

// The options the ranking rules follow. They belong to the results window and the
// main window (the ones in force: DragResults::currentRankOptions); the rebuild works on
// one snapshot of them taken on the main thread, so every sort of one rebuild sees the
// same rules.
struct TDragRankOptions {
    bool clearTime = true; // clean time (elapsed alone); false = dirty time (elapsed + reaction)
    bool sumTime = false;  // rank by the sum of the valid legal-start attempts
    std::int32_t raceMode = timingModeNumber(TimingMode::DragRacing); // timing mode of the open event

    bool operator==(const TDragRankOptions&) const = default;
};

// True when the attempt's et is above 0 and not below the limit (ms).
inline bool isValidTime(const TDragAttempt& attempt, std::int32_t limitMs) {
    return attempt.et > 0 && attempt.et >= limitMs;
}

// Fills kept attempts A and B, bestRt and bestSpeed from the attempts.
// breakoutLimitMs: the breakout limit of the result's class in ms (0 when the class is
// unknown or for the overall list).
void selectBestAttempts(TDragResult& result, std::int32_t breakoutLimitMs, const TDragRankOptions& options);
// The same from attempts kept elsewhere (result.attempts is not read).
void selectBestAttempts(TDragResult& result, std::span<const TDragAttempt> attempts, std::int32_t breakoutLimitMs,
                        const TDragRankOptions& options);

// Kept in the header: the rebuild sorts every class list with them after each hit.
// The orders on the kept attempts alone (and the start number, the last tie-break of the
// qualification order), for sorts over copies of them.
inline bool lessByBestLegalStart(const TDragAttempt& x, const TDragAttempt& y, const TDragRankOptions& options) {
    if (x.et == 0 || y.et == 0) return x.et != 0 && y.et == 0; // without time last
    if (options.clearTime) return x.et < y.et;
    const bool xFalse = x.rt < 0;
    const bool yFalse = y.rt < 0;
    if (xFalse != yFalse) return !xFalse;
    if (xFalse) return x.rt > y.rt; // closer to 0 first
    return std::int64_t(x.et) + x.rt < std::int64_t(y.et) + y.rt;
}

inline bool lessForQualification(const TDragAttempt& x, std::int32_t xNum, const TDragAttempt& y, std::int32_t yNum,
                                 const TDragRankOptions& options) {
    if (x.et == 0 || y.et == 0) {
        if (x.et != 0) return true;
        if (y.et != 0) return false;
        return xNum < yNum;
    }
    if (timingModeFrom(options.raceMode) == TimingMode::DragRacing) {
        const bool xBreak = x.breakout != 0;
        const bool yBreak = y.breakout != 0;
        if (xBreak != yBreak) return !xBreak;
        if (x.et != y.et) return x.et < y.et;
        return x.spd > y.spd;
    }
    if (options.clearTime) return x.et < y.et;
    const bool xFalse = x.rt < 0;
    const bool yFalse = y.rt < 0;
    if (xFalse != yFalse) return !xFalse;
    if (xFalse) return x.et < y.et;
    return std::int64_t(x.et) + x.rt < std::int64_t(y.et) + y.rt;
}

inline bool lessForStandings(std::int32_t xPoints, const TDragAttempt& x, std::int32_t yPoints, const TDragAttempt& y,
                             const TDragRankOptions& options) {
    const bool xPlaced = xPoints != 0;
    const bool yPlaced = yPoints != 0;
    if (!xPlaced && !yPlaced) return lessByBestLegalStart(x, y, options);
    if (xPlaced != yPlaced) return xPlaced;
    return xPoints < yPoints;
}

inline bool lessByBestLegalStart(const TDragResult& a, const TDragResult& b, const TDragRankOptions& options) {
    return lessByBestLegalStart(a.bestLegalStart, b.bestLegalStart, options);
}
inline bool lessForQualification(const TDragResult& a, const TDragResult& b, const TDragRankOptions& options) {
    return lessForQualification(a.bestAnyStart, a.num, b.bestAnyStart, b.num, options);
}
inline bool lessForStandings(const TDragResult& a, const TDragResult& b, const TDragRankOptions& options) {
    return lessForStandings(a.finalPoints, a.bestLegalStart, b.finalPoints, b.bestLegalStart, options);
}

inline bool lessAttemptEt(const TDragAttempt& x, const TDragAttempt& y) { return x.et < y.et; }

} // namespace velmaro
