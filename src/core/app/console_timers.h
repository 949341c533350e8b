#pragma once
// The main window's own timers and the scoreboard library's event, as the window runs
// them on the main thread:
//   sysTimerTick       every 10 ms: while no scoreboard controller exists, keeps the lane
//                      displays' brightness (right display every 200 ticks, left display
//                      150 ticks after start-up and then every 200 ticks)
//   secondTimerTick    every second: the clock on a type 117 scoreboard in modes 1 and 4
//   onScoreboardEvent  the scoreboard library's event: event 0 sets the brightness again
//                      and writes "SCOREBOARD:<n>" to the log window
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace velmaro {

class Console;

inline constexpr int kBrightnessCountdownStart = 200; // 10 ms ticks
inline constexpr std::uint8_t kLeftDisplayNode = 8;
inline constexpr std::uint8_t kRightDisplayNode = 9;

// `sendBrightness(brightness, node)` is the node link's display brightness command;
// the brightness is the scoreboard settings' track bar (Console::scoreboardBrightness).
void sysTimerTick(Console& console, const std::function<void(int brightness, std::uint8_t node)>& sendBrightness);

// `now` is the wall clock, shown as local time "HH:MM:SS".
void secondTimerTick(Console& console, std::time_t now);

// `log` appends a line to the log window.
void onScoreboardEvent(Console& console, std::uintptr_t wParam, std::intptr_t lParam,
                       const std::function<void(const std::string&)>& log);

} // namespace velmaro
