#pragma once
// The interval start timer ("Таймер старта"): while switched on it presses START every
// interval and NEXT 10 s after each START, so that runs start at a steady pace.
//
// It counts on a monotonic clock (milliseconds that never jump), so a change of the
// wall clock neither fires a burst of STARTs nor stalls the timer. A START that came due
// while a dialog held the console (or several intervals passed at once) fires once at
// the next tick, and the following START is due at the first multiple of the interval,
// counted from when the timer was switched on, that lies after that tick. The interval
// is at least 1 s.
//
// tick() is called about once a second (by the window's timer, visible or not). While
// START or NEXT that a tick pressed is still running (its dialogs run nested event
// loops, in which the window's timer keeps firing), further ticks press nothing.
// Main thread only.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmaro {

class IntervalStartTimer {
public:
    using Clock = std::function<std::int64_t()>; // monotonic milliseconds
    using Press = std::function<void()>;

    // `pressStart` and `pressNext` are START and NEXT as a press without modifiers.
    IntervalStartTimer(Clock clock, Press pressStart, Press pressNext);

    // "Включить таймер" pressed down with the interval box's text: false (and the timer
    // stays off) when the text is not a whole number of seconds, 1 or more.
    bool switchOn(std::string_view intervalText);
    // Released, or the window closed.
    void switchOff() { on_ = false; }
    bool on() const { return on_; }
    // "СТАРТ": the next tick presses START (when switched on).
    void startNow();
    // The interval box changed: a readable value moves the next START to the last
    // START + the new interval; false (nothing changes) otherwise.
    bool setInterval(std::string_view intervalText);
    int intervalSeconds() const { return intervalS_; }

    // One tick of the window's timer.
    void tick();
    // "MM:SS" until the next START, as the last tick that did not press START left it;
    // "00:00" before the first.
    const std::string& countdownText() const { return countdown_; }

    // An interval text as the timer reads it: whole seconds, 1 or more.
    static std::optional<int> parseInterval(std::string_view text);

private:
    Clock clock_;
    Press pressStart_;
    Press pressNext_;
    bool on_ = false;
    bool pressing_ = false;
    int intervalS_ = 0;
    std::int64_t nextMs_ = 0;
    std::optional<std::int64_t> lastStartMs_; // none: NEXT is due at once
    bool nextDue_ = false;
    std::string countdown_ = "00:00";
};

} // namespace velmaro
