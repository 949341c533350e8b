#include "core/records/figure_text.h"

#include <cstdio>
#include <cstdlib>

#include "core/platform/numbers.h"

namespace velmaro {

std::string formatClockTime(uint64_t time) {
    // The UTC time of day; the whole 64-bit count of seconds is used, so times after
    // 2038 keep their time of day.
    const unsigned long long tod = (time / 1000) % 86400;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02llu:%02llu:%02llu.%03u", tod / 3600, (tod / 60) % 60, tod % 60,
                  static_cast<unsigned>(time % 1000));
    return buf;
}

namespace {

std::string formatTimeWithSign(int32_t ms, char positiveSign) {
    if (ms == 0) return {};
    const char sign = ms < 0 ? '-' : positiveSign;
    const long long mag = std::llabs(static_cast<long long>(ms));
    char buf[32];
    if (mag < 60000)
        std::snprintf(buf, sizeof buf, "%c%02lld.%03lld", sign, mag / 1000, mag % 1000);
    else
        std::snprintf(buf, sizeof buf, "%c%lld:%02lld.%03lld", sign, mag / 60000, (mag / 1000) % 60, mag % 1000);
    return buf;
}

std::string formatSpeedText(float kmh) {
    // NaN fails the comparison and shows as a blank, like 0 and negatives.
    if (!(kmh > 0.0f)) return " ";
    return " " + formatFixed(static_cast<double>(kmh), 1);
}

} // namespace

std::string formatLaneTime(int32_t ms) { return formatTimeWithSign(ms, ' '); }
std::string formatSignedTime(int32_t ms) { return formatTimeWithSign(ms, '+'); }
std::string formatSpeed(float kmh) { return formatSpeedText(kmh); }

std::string formatSpeedKmh(float kmh) {
    std::string text = formatSpeedText(kmh);
    if (text.size() > 1) text += " км/ч";
    return text;
}

} // namespace velmaro
