#include "core/drag/drag_scoreboard.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "core/app/scoreboard_controller.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/platform/numbers.h"

namespace velmaro {

namespace {

constexpr uint8_t kMinusPattern = 0x02;
constexpr uint8_t kPointBit = 0x01;

// Writes one field from byte `first` downward. `last` is the byte written last (-1 none).
void encodeField(LaneDisplayBuffer& buffer, std::string_view text, int first, int& last) {
    int pos = first;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue; // continuation byte of a UTF-8 sequence: same character
        if (c == '.') {
            if (last >= 0) buffer[static_cast<size_t>(last)] |= kPointBit;
            continue;
        }
        if (pos < 0) continue;
        uint8_t pattern = 0;
        if (c >= '0' && c <= '9')
            pattern = SEVEN_SEGMENT_DIGITS[c - '0'];
        else if (c == '-')
            pattern = kMinusPattern;
        buffer[static_cast<size_t>(pos)] = pattern;
        last = pos;
        --pos;
    }
}

int32_t speedTimesTen(float kmh) {
    const double scaled = (static_cast<double>(kmh) + 0.05) * 10.0;
    if (!std::isfinite(scaled)) return 0;
    if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled); // truncation toward zero
}

} // namespace

std::optional<TDragRaceItem> DragRuns::runToShow(int runSelector) const {
    if (runSelector == -1 && selectedRun_ != -1 && isValidRunIndex(selectedRun_))
        return runs_[static_cast<size_t>(selectedRun_)];
    if (runs_.empty()) return std::nullopt;
    return runs_.back();
}

LaneDisplayBuffer encodeLaneDisplay(std::string_view upper, std::string_view lower) {
    LaneDisplayBuffer buffer{};
    int last = -1;
    encodeField(buffer, upper, 8, last);
    encodeField(buffer, lower, 3, last);
    return buffer;
}

std::string laneDisplayTimeText(int32_t ms) {
    if (ms < 0 || ms >= 100000) return "--.---";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%2u.%03u", static_cast<unsigned>(ms / 1000), static_cast<unsigned>(ms % 1000));
    return buf;
}

std::string laneDisplaySpeedText(float kmh) {
    if (!(kmh >= 0.0f && kmh <= 999.99f)) return "---.-";
    std::string text = formatFixed(static_cast<double>(kmh), 1);
    if (text.size() < 5) text.insert(0, 5 - text.size(), ' ');
    return text;
}

void DragRuns::sendRunToScoreboards(int showTime, int showSpeed, int unused, int lane, int runSelector,
                                    int brightness) {
    (void)unused;
    (void)brightness;
    if (lane == -1) lane = selectedLane_;
    if (lane != LANE_LEFT && lane != LANE_RIGHT) return;
    const std::optional<TDragRaceItem> found = runToShow(runSelector);
    if (!found || found->runId == 0) return;
    const TDragRaceItem& run = *found;
    DragHost& host = host_;

    const int32_t sixty = run.sixtyFeet[lane];
    const int32_t rt = run.rt[lane];
    const int won = run.winner == lane ? 1 : 0;

    int32_t time = 0;
    int32_t racer = 0;
    int32_t shownRt = 0;
    std::string upper;
    if (showTime) {
        time = host.showDirtyTime() ? run.dirtyTime[lane] : run.et[lane];
        racer = run.racer[lane];
        shownRt = rt;
        upper = laneDisplayTimeText(time);
    }
    float v = 0.0f;
    std::string lower;
    if (showSpeed) {
        v = static_cast<float>(run.speed[lane]);
        lower = laneDisplaySpeedText(v);
    }
    const int32_t speed10 = speedTimesTen(v);

    if (TScoreboardController* controller = host.scoreboard()) {
        std::string name;
        std::string city;
        if (const auto info = host.findRacer(racer)) {
            name = info->name;
            city = info->city;
        }
        const int invert = host.invertScoreboard() ? 1 : 0;
        controller->showLane(1, (invert ^ lane) + 1, racer, time, speed10, sixty, 0, shownRt, won, name, city);
        const int type = controller->getType();
        if (type == 122) {
            // nothing more
        } else if (type == 142 || type == 153) {
            controller->setDisplayState(1, -4);
        } else {
            controller->setDisplayState(0, invert ^ lane);
        }
    }

    host.sendDisplay(encodeLaneDisplay(upper, lower), lane);

    std::array<int32_t, 10> values{};
    const size_t base = static_cast<size_t>(lane) * 5;
    values[base + 0] = racer;
    values[base + 1] = (rt < -32768 || rt > 32767) ? 0 : rt;
    values[base + 2] = sixty;
    values[base + 3] = speed10;
    values[base + 4] = time;
    host.showRadioResult(values, lane);
}

void DragRuns::sendTextToScoreboards(const std::string& upper, const std::string& lower, int brightness) {
    (void)brightness;
    const LaneDisplayBuffer buffer = encodeLaneDisplay(upper, lower);
    host_.sendDisplay(buffer, LANE_LEFT);
    host_.sendDisplay(buffer, LANE_RIGHT);
}

void DragRuns::showRacerNumber(int32_t number, int lane) {
    std::string upper = "   ";
    if (number > 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%3u", static_cast<unsigned>(number));
        upper = buf;
    }
    host_.sendDisplay(encodeLaneDisplay(upper, "    "), lane);
}

} // namespace velmaro
