#include "core/start/interval_start_timer.h"

#include "core/platform/numbers.h"

#include <cstdio>

#include "core/drag/drag_commands.h"

namespace velmaro {

namespace {
constexpr std::int64_t kNextAfterStartMs = 10'000;

// Runs a press with `flag` set, also when the press throws.
void pressWith(bool& flag, const std::function<void()>& press) {
    struct Reset {
        bool& f;
        ~Reset() { f = false; }
    } reset{flag};
    flag = true;
    if (press) press();
}
} // namespace

IntervalStartTimer::IntervalStartTimer(Clock clock, Press pressStart, Press pressNext)
    : clock_(std::move(clock)), pressStart_(std::move(pressStart)), pressNext_(std::move(pressNext)) {}

std::optional<int> IntervalStartTimer::parseInterval(std::string_view text) {
    // Blanks around the number are allowed, as the spin box leaves them.
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const std::optional<long long> value = parseIntegerInRange(text, 1, 86400);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

bool IntervalStartTimer::switchOn(std::string_view intervalText) {
    const std::optional<int> interval = parseInterval(intervalText);
    if (!interval) return false;
    intervalS_ = *interval;
    nextMs_ = clock_() + std::int64_t(intervalS_) * 1000;
    lastStartMs_.reset();
    nextDue_ = true;
    on_ = true;
    return true;
}

void IntervalStartTimer::startNow() { nextMs_ = clock_(); }

bool IntervalStartTimer::setInterval(std::string_view intervalText) {
    const std::optional<int> interval = parseInterval(intervalText);
    if (!interval) return false;
    intervalS_ = *interval;
    // Before the first START the interval counts from now, as when switching on.
    const std::int64_t base = lastStartMs_ ? *lastStartMs_ : clock_();
    nextMs_ = base + std::int64_t(intervalS_) * 1000;
    return true;
}

void IntervalStartTimer::tick() {
    if (!on_ || pressing_) return;
    const std::int64_t now = clock_();
    const std::int64_t intervalMs = std::int64_t(intervalS_) * 1000;
    if (now >= nextMs_) {
        lastStartMs_ = now;
        // Once, however many intervals were missed; the next one stays on the old pace.
        nextMs_ += intervalMs;
        if (nextMs_ <= now) nextMs_ += ((now - nextMs_) / intervalMs + 1) * intervalMs;
        nextDue_ = true;
        pressWith(pressing_, pressStart_);
        return;
    }
    if (nextDue_ && (!lastStartMs_ || now - *lastStartMs_ >= kNextAfterStartMs)) {
        nextDue_ = false;
        pressWith(pressing_, pressNext_);
    }
    const std::int64_t leftMs = nextMs_ - clock_();
    const std::int64_t left = leftMs <= 0 ? 0 : (leftMs + 999) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(left / 60),
                  static_cast<long long>(left % 60));
    countdown_ = text;
}

} // namespace velmaro
