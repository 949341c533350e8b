#pragma once
// The two-lane run (a heat) and everything computed from its hit lists.
//
// A run holds, per lane, the timed events the hit handlers filed (`hits`), plus the
// start-signal time, racers, classes, penalties and run mode. Every figure (reaction,
// 60 ft, elapsed and dirty time, speed, foul/fail/breakout flags, winner) is an output
// of `TDragRaceItem::recalculate` and is never edited directly.
//
// Per-lane fields are two-element arrays indexed by lane: [LANE_LEFT] and [LANE_RIGHT].
// Runs are plain values: copying a run copies both hit lists.
//
// The runs of an event are kept by DragRuns (drag_runs.h) on the main thread; workers only
// ever see copies.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/records/figure_text.h"

namespace velmaro {

class DragHost; // core/drag/drag_host.h

inline constexpr int LANE_LEFT = 0;
inline constexpr int LANE_RIGHT = 1;

// Hit types of a lane event.
inline constexpr int32_t HIT_TYPE_ET = 0;     // finish line passed
inline constexpr int32_t HIT_TYPE_STSIG = 1;  // start signal (not used by the figures)
inline constexpr int32_t HIT_TYPE_RT = 2;     // launch from the start line
inline constexpr int32_t HIT_TYPE_FRST = 3;   // not used by the figures
inline constexpr int32_t HIT_TYPE_PLAP = 4;   // intermediate lap passage
inline constexpr int32_t HIT_TYPE_FAIL = 5;   // the lane's racer retired
inline constexpr int32_t HIT_TYPE_SPEED = 7;  // speed trap entry
inline constexpr int32_t HIT_TYPE_60FEET = 8; // 60 ft line

// Run modes (sessions).
inline constexpr int32_t RUN_MODE_QUALIFICATION = 0;
inline constexpr int32_t RUN_MODE_FINAL = 1;
inline constexpr int32_t RUN_MODE_PRACTICE = 2;

// Launch windows of the two start-light settings, ms. A launch exactly one window before
// the start signal gives a reaction time of minus the window: no valid run of that lane.
inline constexpr int32_t PRO_LAUNCH_WINDOW_MS = 400;
inline constexpr int32_t COMMON_LAUNCH_WINDOW_MS = 1200;

// One timed event of a lane.
struct TLineHit {
    int32_t type = 0;       // hit type code
    uint64_t time = 0;      // absolute time, ms since 1970 on the node clock
    int32_t fromLaunch = 0; // ET and PLAP: time minus the lane's launch (set by recalculate)
    int32_t fromStart = 0;  // ET: time minus the start signal, or fromLaunch without one
    int32_t spare = 0;      // always 0

    bool operator==(const TLineHit&) const = default;
};

// One two-lane run.
struct TDragRaceItem {
    std::string label;   // "#<runId>" once read from drag.txt; empty for a run made by hand
    int32_t runId = 0;   // 1 and up; 0 = no run
    int32_t runMode = 0; // RUN_MODE_*

    std::array<int32_t, 2> racer{0, 0};        // start numbers; 0 = none
    std::array<int32_t, 2> classId{-1, -1};    // -1 = none
    std::array<std::string, 2> note;           // free note per lane
    std::array<int32_t, 2> foul{0, 0};         // 1 when a launch came before the start signal
    std::array<int32_t, 2> dirtyTime{0, 0};    // ET plus reaction time, ms
    std::array<int32_t, 2> et{0, 0};           // elapsed time, ms
    std::array<int32_t, 2> failed{0, 0};       // 1 when the lane holds a FAIL hit
    std::array<int32_t, 2> rt{0, 0};           // reaction time, ms (negative = early launch)
    std::array<int32_t, 2> penalty{0, 0};      // ms, added to the finish time for the winner
    int32_t winner = -1;                       // 0 left, 1 right, -1 none
    int32_t winnerReported = 0;                // 1 once the winning lane went to the start node
    std::array<int32_t, 2> breakout{0, 0};     // 1 when the ET is below the class breakout limit
    std::array<double, 2> speed{0.0, 0.0};     // trap speed, km/h, one decimal (truncated)
    std::array<int32_t, 2> sixtyFeet{0, 0};    // 60 ft time, ms
    uint64_t startTime = 0;                    // absolute start-signal time; 0 = not given yet
    std::array<std::vector<TLineHit>, 2> hits; // the lanes' events, time order after recalculate
    int32_t gridRow = 0;                       // first row of the run in the drag grid (blocks follow the list order)
    int32_t gridRows = 0;                      // 2 + the length of the longer hit list

    // Sorts both hit lists and sets every figure, with the settings and class limits
    // `host` gives (start lights, trap distance, breakout limits).
    void recalculate(const DragHost& host);

    bool operator==(const TDragRaceItem&) const = default;
};

// The run list, the current run and the selection are kept by DragRuns (drag_runs.h).

// Sort order of the hit lists: true when a's time is smaller.
bool compareHitTime(const TLineHit& a, const TLineHit& b);

// Difference of two absolute times taken on their low 32 bits, as a signed 32-bit value.
int32_t timeDiff32(uint64_t later, uint64_t earlier);

// Speed over `distanceMetres` covered in `millis` ms, km/h, truncated to one decimal.
// 0 when millis is 0 or the result is not a finite non-negative number.
double trapSpeedKmh(double distanceMetres, uint64_t millis);

// Name of a hit type: "ET", "STSIG", "RT", "FRST", "PLAP", "FAIL", "SPEED", "60FEET", else "UNKWN".
std::string hitTypeName(int32_t type);

} // namespace velmaro
