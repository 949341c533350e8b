#include "core/drag/drag_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/drag/drag_file.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_runs.h"
#include "core/platform/numbers.h"

namespace velmaro {

std::vector<TDragRaceItem>& DragRuns::dragRuns() {
    owner_.assertOwner();
    return runs_;
}

const std::vector<TDragRaceItem>& DragRuns::dragRuns() const {
    owner_.assertOwner();
    return runs_;
}

int32_t& DragRuns::currentRunIndex() {
    owner_.assertOwner();
    return currentRun_;
}

int32_t DragRuns::currentRunIndex() const {
    owner_.assertOwner();
    return currentRun_;
}

int32_t& DragRuns::selectedRun() {
    owner_.assertOwner();
    return selectedRun_;
}

int32_t DragRuns::selectedRun() const {
    owner_.assertOwner();
    return selectedRun_;
}

int32_t& DragRuns::selectedLane() {
    owner_.assertOwner();
    return selectedLane_;
}

int32_t DragRuns::selectedLane() const {
    owner_.assertOwner();
    return selectedLane_;
}

int32_t& DragRuns::selectedHit() {
    owner_.assertOwner();
    return selectedHit_;
}

int32_t DragRuns::selectedHit() const {
    owner_.assertOwner();
    return selectedHit_;
}

bool DragRuns::isValidRunIndex(long long index) const {
    return index >= 0 && index < static_cast<long long>(runs_.size());
}

TDragRaceItem* DragRuns::currentRun() {
    owner_.assertOwner();
    return isValidRunIndex(currentRun_) ? &runs_[static_cast<size_t>(currentRun_)] : nullptr;
}

void DragRuns::recalculateAllRuns() {
    owner_.assertOwner();
    markAllRunsChanged(); // recalculating sorts the hit lists
    for (auto& run : runs_) run.recalculate(host_);
}

bool compareHitTime(const TLineHit& a, const TLineHit& b) { return a.time < b.time; }

int32_t timeDiff32(uint64_t later, uint64_t earlier) {
    // Modular subtraction on the low 32 bits; the conversion to int32 is two's complement.
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

double trapSpeedKmh(double distanceMetres, uint64_t millis) {
    if (millis == 0) return 0.0;
    const double kmh = distanceMetres * 3600.0 / static_cast<double>(millis);
    if (!std::isfinite(kmh) || kmh <= 0.0) return 0.0;
    // Cut to one decimal, toward zero, without converting to an integer type.
    return std::trunc(kmh * 10.0) / 10.0;
}

std::string hitTypeName(int32_t type) {
    switch (static_cast<uint32_t>(type)) {
    case 0: return "ET";
    case 1: return "STSIG";
    case 2: return "RT";
    case 3: return "FRST";
    case 4: return "PLAP";
    case 5: return "FAIL";
    case 7: return "SPEED";
    case 8: return "60FEET";
    default: return "UNKWN";
    }
}

// ---------------------------------------------------------------- recalculation

namespace {

struct LaneResult {
    uint64_t lastFinish = 0;
};

// One lane pass over the sorted hit list.
LaneResult lanePass(TDragRaceItem& run, int lane, int32_t voidRt, double trapDistance) {
    LaneResult result;
    auto& hits = run.hits[lane];
    uint64_t launch = run.startTime;
    uint64_t trap = 0;

    for (size_t i = 0; i < hits.size(); ++i) {
        TLineHit& hit = hits[i];
        const uint64_t t = hit.time;
        switch (hit.type) {
        case HIT_TYPE_RT:
            launch = t;
            if (run.startTime != 0) {
                run.rt[lane] = timeDiff32(t, run.startTime);
                if (run.rt[lane] < 0) run.foul[lane] = 1;
            } else {
                run.rt[lane] = 0;
            }
            break;
        case HIT_TYPE_ET: {
            result.lastFinish = t;
            // Without a launch and a start signal there is nothing to time from.
            const bool timed = launch != 0;
            int32_t lap = timed ? timeDiff32(t, launch) : 0;
            int32_t dirty = run.startTime != 0 ? timeDiff32(t, run.startTime) : lap;
            hit.fromLaunch = lap;
            hit.fromStart = dirty;
            if (timed) {
                uint64_t later = t;
                for (size_t j = i; j-- > 0;) {
                    if (hits[j].type != HIT_TYPE_ET) continue;
                    const int32_t gap = timeDiff32(later, hits[j].time);
                    lap = std::min(lap, gap);
                    dirty = std::min(dirty, gap);
                    later = hits[j].time;
                }
            }
            if (run.rt[lane] == voidRt) {
                run.et[lane] = 0;
                run.sixtyFeet[lane] = 0;
            } else {
                run.et[lane] = lap;
            }
            run.dirtyTime[lane] = dirty;
            if (trap != 0 && t != trap) run.speed[lane] = trapSpeedKmh(trapDistance, t - trap);
            break;
        }
        case HIT_TYPE_SPEED: trap = t; break;
        case HIT_TYPE_PLAP: hit.fromLaunch = launch != 0 ? timeDiff32(t, launch) : 0; break;
        case HIT_TYPE_FAIL: run.failed[lane] = 1; break;
        case HIT_TYPE_60FEET:
            if (run.startTime != 0)
                run.sixtyFeet[lane] = static_cast<int32_t>(static_cast<uint32_t>(timeDiff32(t, run.startTime)) -
                                                           static_cast<uint32_t>(run.rt[lane]));
            else
                run.sixtyFeet[lane] = launch != 0 ? timeDiff32(t, launch) : 0;
            break;
        default: break;
        }
    }
    return result;
}

int32_t decideWinner(const TDragRaceItem& run, const LaneResult (&lanes)[2]) {
    const bool finished[2] = {lanes[0].lastFinish != 0, lanes[1].lastFinish != 0};
    const bool fouled[2] = {run.foul[0] != 0, run.foul[1] != 0};
    const bool clean[2] = {finished[0] && !fouled[0], finished[1] && !fouled[1]};

    if (fouled[0] && fouled[1]) {
        if (run.rt[0] < run.rt[1]) return 1;
        if (run.rt[1] < run.rt[0]) return 0;
        return -1;
    }
    if (clean[0] && clean[1]) {
        const uint64_t total[2] = {lanes[0].lastFinish + static_cast<uint64_t>(static_cast<int64_t>(run.penalty[0])),
                                   lanes[1].lastFinish + static_cast<uint64_t>(static_cast<int64_t>(run.penalty[1]))};
        const bool entitled[2] = {run.racer[0] != 0 && run.failed[0] == 0, run.racer[1] != 0 && run.failed[1] == 0};
        if (entitled[0] && total[0] <= total[1]) return 0;
        if (entitled[1]) return 1;
        // The right lane is not entitled: a lane with a racer who has not retired beats an
        // empty or retired one; between two such lanes the earlier finish decides.
        if (entitled[0]) return 0;
        return total[0] <= total[1] ? 0 : 1;
    }
    if (clean[0]) return 0;
    if (clean[1]) return 1;
    return -1;
}

bool belowLimit(int32_t et, long long limitMs) { return et != 0 && static_cast<long long>(et) < limitMs; }

void qualificationBreakouts(TDragRaceItem& run, const DragHost& host) {
    for (int lane = 0; lane < 2; ++lane) {
        if (run.racer[lane] == 0) continue;
        const auto racer = host.findRacer(run.racer[lane]);
        if (!racer) continue;
        for (int32_t classId : racer->classIds) {
            const auto limit = host.classBreakoutLimit(classId);
            if (limit && *limit != 0 && belowLimit(run.et[lane], static_cast<long long>(*limit) * 100))
                run.breakout[lane] = 1;
        }
    }
}

void finalBreakouts(TDragRaceItem& run, const DragHost& host) {
    for (int32_t bracketClass : host.bracketClassIds()) {
        if (bracketClass != run.classId[0] || bracketClass != run.classId[1]) continue;
        const auto limitTenths = host.classBreakoutLimit(bracketClass);
        if (!limitTenths || *limitTenths == 0) continue;
        const long long limit = static_cast<long long>(*limitTenths) * 100;
        for (int lane = 0; lane < 2; ++lane)
            if (belowLimit(run.et[lane], limit)) run.breakout[lane] = 1;
        if ((run.breakout[0] || run.breakout[1]) && !run.foul[0] && !run.foul[1]) {
            if (run.breakout[0] && !run.breakout[1]) {
                if (run.et[1] != 0) run.winner = 1;
            } else if (run.breakout[1] && !run.breakout[0]) {
                if (run.et[0] != 0) run.winner = 0;
            } else {
                run.winner = (limit - run.et[0]) < (limit - run.et[1]) ? 0 : 1;
            }
        }
    }
}

} // namespace

void TDragRaceItem::recalculate(const DragHost& host) {
    winner = -1;
    for (int lane = 0; lane < 2; ++lane) {
        et[lane] = 0;
        dirtyTime[lane] = 0;
        speed[lane] = 0.0;
        sixtyFeet[lane] = 0;
        foul[lane] = 0;
        rt[lane] = 0;
        failed[lane] = 0;
        breakout[lane] = 0;
    }
    for (auto& list : hits) std::stable_sort(list.begin(), list.end(), compareHitTime);

    const int32_t voidRt = -(host.proStartSignal() ? PRO_LAUNCH_WINDOW_MS : COMMON_LAUNCH_WINDOW_MS);
    const double distance = static_cast<double>(host.speedTrapDistance());
    LaneResult lanes[2];
    for (int lane = 0; lane < 2; ++lane) lanes[lane] = lanePass(*this, lane, voidRt, distance);

    winner = decideWinner(*this, lanes);

    if (runMode != RUN_MODE_FINAL)
        qualificationBreakouts(*this, host);
    else
        finalBreakouts(*this, host);
}

} // namespace velmaro
