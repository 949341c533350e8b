#include "core/drag/drag_hits.h"

#include <algorithm>
#include <optional>

#include "core/drag/drag_file.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "core/intake/hit_intake.h"

namespace velmaro {

namespace {

constexpr int kNodeStart = 1;
constexpr int kNodeFinish = 2;
constexpr int kNodeSpeedTrap = 4;
constexpr int kNode60ft = 5;

using Handler = DragRuns::Handler;
using Placement = DragRuns::Placement;

} // namespace

// The run a hit goes to: the current run; a hit fed from the hit log's "Вкл. в расчет"
// goes to the run selected in the grid when one is.
std::optional<size_t> DragRuns::targetRun(int source) const {
    if (source == HIT_FROM_LOG_SELECTED && selectedRun_ != -1 && isValidRunIndex(selectedRun_))
        return static_cast<size_t>(selectedRun_);
    if (isValidRunIndex(currentRun_)) return static_cast<size_t>(currentRun_);
    return std::nullopt;
}

int32_t DragRuns::launchWindow() const {
    return host_.proStartSignal() ? PRO_LAUNCH_WINDOW_MS : COMMON_LAUNCH_WINDOW_MS;
}

static int laneBySignal(int signal) {
    if (signal == SIG_LEFT) return LANE_LEFT;
    if (signal == SIG_RIGHT) return LANE_RIGHT;
    return -1;
}

// ---- lane and hit type per handler; nullopt = refused

std::optional<DragRuns::Placement> DragRuns::placeDragHit(const TDragRaceItem& run, int node, int signal, uint64_t time,
                                                          int source) const {
    Placement p;
    if (signal == SIG_LEFT || signal == SIG_COMB_START_LEFT)
        p.lane = LANE_LEFT;
    else if (signal == SIG_RIGHT || signal == SIG_COMB_START_RIGHT)
        p.lane = LANE_RIGHT;
    else
        return std::nullopt;

    switch (node) {
    case kNodeStart: p.type = HIT_TYPE_RT; break;
    case kNodeFinish: p.type = HIT_TYPE_ET; break;
    case kNodeSpeedTrap: p.type = HIT_TYPE_SPEED; break;
    case kNode60ft: p.type = HIT_TYPE_60FEET; break;
    default: return std::nullopt;
    }

    const auto& hits = run.hits[p.lane];
    if (source != HIT_FROM_LOG_SELECTED) {
        if (hasHitOfType(hits, p.type)) return std::nullopt;
        if (p.type != HIT_TYPE_RT && isWithinBlockTimeout(hits, time)) return std::nullopt;
    }
    if (p.type == HIT_TYPE_RT && source == HIT_FROM_DEVICE && run.startTime != 0) {
        const uint64_t window = static_cast<uint64_t>(launchWindow());
        // Earlier than one launch window before the start signal: not a launch of this run.
        if (run.startTime > window && time < run.startTime - window) return std::nullopt;
    }
    return p;
}

static std::optional<Placement> placeRollersHit(const TDragRaceItem& run, int node) {
    Placement p;
    if (run.runMode == RUN_MODE_QUALIFICATION) {
        if (node == kNodeStart)
            p = {LANE_LEFT, HIT_TYPE_RT};
        else if (node == kNodeFinish)
            p = {LANE_LEFT, HIT_TYPE_ET};
        else
            return std::nullopt;
    } else if (run.runMode == RUN_MODE_FINAL) {
        if (node == kNodeStart)
            p = {LANE_LEFT, HIT_TYPE_ET};
        else if (node == kNodeFinish)
            p = {LANE_RIGHT, HIT_TYPE_ET};
        else
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (hasHitOfType(run.hits[p.lane], p.type)) return std::nullopt;
    return p;
}

static std::optional<Placement> placeParallelHit(TDragRaceItem& run, int signal, bool mode8) {
    const int own = laneBySignal(signal);
    if (own < 0) return std::nullopt;
    auto& ownList = run.hits[own];
    auto& otherList = run.hits[1 - own];
    if (ownList.empty()) return Placement{own, HIT_TYPE_RT};
    if (!hasHitOfType(ownList, HIT_TYPE_ET)) return Placement{own, HIT_TYPE_ET};
    if (mode8) return std::nullopt;
    // A new finish: the earlier finishes of this lane, and the other lane's finishes at
    // the same positions, become laps.
    for (size_t i = ownList.size(); i-- > 0;) {
        if (ownList[i].type != HIT_TYPE_ET) continue;
        ownList[i].type = HIT_TYPE_PLAP;
        if (i < otherList.size() && otherList[i].type == HIT_TYPE_ET) otherList[i].type = HIT_TYPE_PLAP;
    }
    return Placement{own, HIT_TYPE_ET};
}

static std::optional<Placement> placeCrossoverLapHit(const TDragRaceItem& run, int signal) {
    const int own = laneBySignal(signal);
    if (own < 0) return std::nullopt;
    const int other = 1 - own;
    const auto& ownList = run.hits[own];
    const auto& otherList = run.hits[other];
    const bool ownSet = run.racer[own] != 0;
    const bool otherSet = run.racer[other] != 0;

    if (ownSet && otherSet && ownList.empty()) return Placement{own, HIT_TYPE_RT};
    if (ownSet && !otherSet) return Placement{own, ownList.empty() ? HIT_TYPE_RT : HIT_TYPE_PLAP};
    if (!ownSet && otherSet) return Placement{other, HIT_TYPE_ET};
    if (ownList.empty()) return std::nullopt;
    switch (ownList.back().type) {
    case HIT_TYPE_RT: return Placement{own, HIT_TYPE_PLAP};
    case HIT_TYPE_PLAP: return Placement{other, HIT_TYPE_ET};
    case HIT_TYPE_ET:
        if (otherList.empty()) return std::nullopt;
        if (otherList.back().type == HIT_TYPE_PLAP) {
            if (otherList.size() < ownList.size()) return Placement{other, HIT_TYPE_ET};
            return Placement{own, HIT_TYPE_PLAP};
        }
        return std::nullopt;
    default: return std::nullopt;
    }
}

static std::optional<Placement> placeHeadOnLapHit(const TDragRaceItem& run, int signal) {
    const int own = laneBySignal(signal);
    if (own < 0) return std::nullopt;
    const int other = 1 - own;
    const auto& ownList = run.hits[own];
    const auto& otherList = run.hits[other];
    const bool ownSet = run.racer[own] != 0;
    const bool otherSet = run.racer[other] != 0;

    if (ownSet && otherSet && ownList.empty()) return Placement{own, HIT_TYPE_RT};
    if (ownSet && !otherSet) return Placement{own, ownList.empty() ? HIT_TYPE_RT : HIT_TYPE_ET};
    if (!ownSet && otherSet) return Placement{other, HIT_TYPE_PLAP};
    if (ownList.empty()) return std::nullopt;
    switch (ownList.back().type) {
    case HIT_TYPE_RT: return Placement{other, HIT_TYPE_PLAP};
    case HIT_TYPE_PLAP:
        if (otherList.size() < ownList.size()) return Placement{other, HIT_TYPE_PLAP};
        return Placement{own, HIT_TYPE_ET};
    default: return std::nullopt;
    }
}

// ---- the tail

void DragRuns::adjustGridRows(size_t index) {
    TDragRaceItem& run = runs_[index];
    const int32_t rows = 2 + static_cast<int32_t>(std::max(run.hits[0].size(), run.hits[1].size()));
    if (rows == run.gridRows) return;
    const int32_t diff = rows - run.gridRows;
    DragHost& host = host_;
    host.setGridRowCount(host.gridRowCount() + diff);
    run.gridRows = rows;
    for (size_t i = index + 1; i < runs_.size(); ++i) runs_[i].gridRow += diff;
}

void DragRuns::showLanes(std::initializer_list<int> lanes) {
    for (int lane : lanes) sendRunToScoreboards(1, 1, 0, lane, 0, 0);
}

void DragRuns::updateScoreboards(Handler handler, const TDragRaceItem& run, const std::optional<Placement>& hit,
                                 int signal) {
    switch (handler) {
    case Handler::Drag:
        if (!hit) {
            if (run.rt[0] != 0 || run.rt[1] != 0) showLanes({LANE_LEFT, LANE_RIGHT});
        } else if (signal == SIG_LEFT) {
            showLanes({LANE_LEFT});
        } else if (signal == SIG_RIGHT) {
            showLanes({LANE_RIGHT});
        }
        break;
    case Handler::Rollers:
        if (hit && hit->type == HIT_TYPE_ET)
            sendRunToScoreboards(run.et[LANE_LEFT] != 0 ? 1 : 0, 0, 0, LANE_LEFT, 0, 0);
        break;
    case Handler::Parallel:
    case Handler::Crossover:
        if (hit && hit->type == HIT_TYPE_ET) {
            if (signal == SIG_LEFT)
                showLanes({LANE_LEFT, LANE_RIGHT});
            else
                showLanes({LANE_RIGHT, LANE_LEFT});
        }
        break;
    case Handler::HeadOn:
        if (hit && hit->type == HIT_TYPE_ET) showLanes({signal == SIG_LEFT ? LANE_LEFT : LANE_RIGHT});
        break;
    }
}

// Everything after the hit was placed (hit == nullopt: a start signal).
void DragRuns::finishAcceptedHit(Handler handler, size_t index, const std::optional<Placement>& hit, int signal,
                                 uint64_t time, int source) {
    DragHost& host = host_;
    if (hit) {
        TLineHit lineHit;
        lineHit.type = hit->type;
        lineHit.time = time;
        runs_[index].hits[hit->lane].push_back(lineHit);
        adjustGridRows(index);
    }
    const bool moveCursor = source == HIT_FROM_DEVICE || (handler == Handler::Drag && source == HIT_FROM_LOG_CURRENT);
    if (moveCursor) host.gridCursorToLastRow();

    TDragRaceItem& run = runs_[index];
    run.recalculate(host_);
    updateScoreboards(handler, run, hit, signal);

    // The start node hears the winner of a run once, even if a later change moves it.
    const bool reports = source == HIT_FROM_DEVICE || (handler == Handler::Drag && source == HIT_FROM_LOG_CURRENT);
    if (reports && run.winnerReported == 0 && run.winner != -1) {
        run.winnerReported = 1;
        host.sendWinner(run.winner);
    }
    host.refreshActivePage();
    // Once per batch of hits, after the last: drag.txt saved (the runs the batch marked),
    // the results thread told (of the one run changed, or of all when several were), the
    // grid repainted.
    markRunChanged(index);
    if (std::find(batchRuns_.begin(), batchRuns_.end(), index) == batchRuns_.end()) batchRuns_.push_back(index);
    host_.hitIntake().afterHits("drag.txt", [this] {
        const std::vector<size_t> runs = std::move(batchRuns_);
        batchRuns_.clear();
        commit(SaveScope::MarkedRuns, runs);
    });
}

int DragRuns::handleHit(Handler handler, int node, int signal, uint64_t time, int source, bool mode8) {
    const std::optional<size_t> target = targetRun(source);
    if (host_.blockStDown()) return 0;
    if (!target) return 0;
    TDragRaceItem& run = runs_[*target];
    if (handler == Handler::Drag && run.runId == 0) return 0;
    if (signal >= 100) // remote commands, handled by the hit intake itself
        return 0;
    if ((handler == Handler::Parallel || handler == Handler::Crossover || handler == Handler::HeadOn) &&
        signal == SIG_STAGE_RELEASE)
        return 0;
    if (handler == Handler::Parallel && mode8 && node == kNodeFinish) signal = SIG_RIGHT;

    if (signal == SIG_GREEN) {
        if (run.startTime != 0) return 0;
        run.startTime = time;
        finishAcceptedHit(handler, *target, std::nullopt, signal, time, source);
        return 1;
    }

    std::optional<Placement> placement;
    switch (handler) {
    case Handler::Drag: placement = placeDragHit(run, node, signal, time, source); break;
    case Handler::Rollers: placement = placeRollersHit(run, node); break;
    case Handler::Parallel: placement = placeParallelHit(run, signal, mode8); break;
    case Handler::Crossover: placement = placeCrossoverLapHit(run, signal); break;
    case Handler::HeadOn: placement = placeHeadOnLapHit(run, signal); break;
    }
    if (!placement) return 0;
    finishAcceptedHit(handler, *target, placement, signal, time, source);
    return 1;
}

bool hasHitOfType(const std::vector<TLineHit>& hits, int32_t type) {
    return std::any_of(hits.begin(), hits.end(), [type](const TLineHit& h) { return h.type == type; });
}

bool DragRuns::isWithinBlockTimeout(const std::vector<TLineHit>& hits, uint64_t time) const {
    const int64_t window = static_cast<int64_t>(host_.blockFinishTimeout()) * 1000;
    return std::any_of(hits.begin(), hits.end(), [&](const TLineHit& h) {
        return h.type == HIT_TYPE_RT && static_cast<int64_t>(time - h.time) <= window;
    });
}

int DragRuns::addDragHit(int node, int signal, uint64_t time, int source) {
    return handleHit(Handler::Drag, node, signal, time, source, false);
}

int DragRuns::addRollersHit(int node, int signal, uint64_t time, int source) {
    return handleHit(Handler::Rollers, node, signal, time, source, false);
}

int DragRuns::addParallelHit(int node, int signal, uint64_t time, int source, int mode8) {
    return handleHit(Handler::Parallel, node, signal, time, source, mode8 != 0);
}

int DragRuns::addCrossoverLapHit(int node, int signal, uint64_t time, int source) {
    return handleHit(Handler::Crossover, node, signal, time, source, false);
}

int DragRuns::addHeadOnLapHit(int node, int signal, uint64_t time, int source) {
    return handleHit(Handler::HeadOn, node, signal, time, source, false);
}

} // namespace velmaro
