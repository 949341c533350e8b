#pragma once
// The nine timing modes of an event and the groups of them that the areas ask about.
//
// The mode is stored as a plain integer (Console::raceMode, the Mode line of the settings
// file, the hosts' raceMode()); timingModeFrom reads such a value and gives nullopt for
// anything outside 0..8, for which every predicate below is false. It sits in the lowest
// core layer so that every area, the link and intake included, may use it.
//
//   TimingMode mode = ...;                                  // a known mode
//   std::optional<TimingMode> m = timingModeFrom(stored);   // a stored value
//   if (m == TimingMode::RollerSlalom) ...                  // false for nullopt
//   if (isSingleLaneMode(stored)) ...                       // stored integers directly
#include <concepts>
#include <cstdint>
#include <optional>
#include <utility>

namespace velmaro {

enum class TimingMode : std::uint8_t {
    DragRacing = 0,     // drag racing on two lanes
    LapOneGate = 1,     // laps through one gate
    ParallelRace = 2,   // parallel race
    LapCrossover = 3,   // laps through two gates with crossover
    StartFinish = 4,    // start and finish through two gates
    LapHeadOnStart = 5, // laps through two gates with head-on start
    Gymkhana = 6,       // gymkhana
    RollerSlalom = 7,   // roller slalom
    ParallelRace2 = 8,  // parallel race 2
};

inline constexpr int kTimingModeCount = 9;

// The mode a stored value names; nullopt outside 0..8 (negative values included).
template <std::integral T>
constexpr std::optional<TimingMode> timingModeFrom(T stored) {
    if (std::cmp_less(stored, 0) || std::cmp_greater_equal(stored, kTimingModeCount)) return std::nullopt;
    return static_cast<TimingMode>(stored);
}

// The stored value of a mode (the number the files and the dispatch table use).
constexpr int timingModeNumber(TimingMode mode) { return static_cast<int>(mode); }

// Single-lane modes 1, 4 and 6: lap events on one course (lap_single.txt, the lap grid).
constexpr bool isSingleLaneMode(std::optional<TimingMode> mode) {
    return mode == TimingMode::LapOneGate || mode == TimingMode::StartFinish || mode == TimingMode::Gymkhana;
}

// Two-lane modes 0, 2, 3, 5, 7 and 8: runs of two lanes (drag.txt, the run grid).
constexpr bool isTwoLaneMode(std::optional<TimingMode> mode) { return mode && !isSingleLaneMode(mode); }

// The two-lane modes but roller slalom (0, 2, 3, 5, 8): a run is made with a racer
// prompt per lane, started from the start light and reported in a race log or lap report.
constexpr bool isTwoLaneNonRollerMode(std::optional<TimingMode> mode) {
    return isTwoLaneMode(mode) && mode != TimingMode::RollerSlalom;
}

// The single-lane modes through gates (1 and 4; gymkhana is not one): the clock on the
// scoreboard, the class refresh of the lap events.
constexpr bool isGateLapMode(std::optional<TimingMode> mode) {
    return mode == TimingMode::LapOneGate || mode == TimingMode::StartFinish;
}

// The predicates read stored integers the same way.
template <std::integral T>
constexpr bool isSingleLaneMode(T stored) {
    return isSingleLaneMode(timingModeFrom(stored));
}
template <std::integral T>
constexpr bool isTwoLaneMode(T stored) {
    return isTwoLaneMode(timingModeFrom(stored));
}
template <std::integral T>
constexpr bool isTwoLaneNonRollerMode(T stored) {
    return isTwoLaneNonRollerMode(timingModeFrom(stored));
}
template <std::integral T>
constexpr bool isGateLapMode(T stored) {
    return isGateLapMode(timingModeFrom(stored));
}

} // namespace velmaro
