#include "core/drag/drag_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/app/console.h"
#include "core/app/scoreboard_controller.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/platform/files.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"
#include "core/registration/registration_edits.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

// The scoreboard type that shows the racers of a prepared run as a text line.
constexpr int kTextScoreboardType = 122;

std::string laneNumberText(int32_t number, bool left) {
    if (number < 1) return "   ";
    char buf[16];
    std::snprintf(buf, sizeof buf, left ? "%-3d" : "%3d", number);
    return buf;
}

// The class of the registered racer for a lane: its first class, -1 without one.
int32_t firstClassOf(const TRacerItem& racer) { return racer.classIds.empty() ? -1 : racer.classIds.front(); }

// A lane whose racer is entered in exactly one class takes that class; a lane without
// racer, or whose racer has no class, several classes or no registration, keeps its own.
// True when the lane's class changed.
bool takeOnlyClass(const TRegistry& registry, TDragRaceItem& run, size_t lane) {
    if (run.racer[lane] == 0) return false;
    const int32_t before = run.classId[lane];
    for (const auto& racer : registry.racers) {
        if (static_cast<int64_t>(racer->number) == run.racer[lane] && racer->classIds.size() == 1)
            run.classId[lane] = racer->classIds.front();
    }
    return run.classId[lane] != before;
}

bool isTimeWindowClass(const TClassItem& cls) { return cls.minTime != 0 || cls.maxTime != 0; }

// The first time-window class (list order) whose window holds t ms, or nullopt.
std::optional<int32_t> timeClassFor(const TRegistry& registry, int32_t t) {
    for (const auto& cls : registry.classes) {
        if (!isTimeWindowClass(*cls)) continue;
        const int64_t lower = static_cast<int64_t>(cls->minTime) * 100;
        const int64_t upper =
            cls->maxTime == 0 ? std::numeric_limits<int32_t>::max() : static_cast<int64_t>(cls->maxTime) * 100;
        if (lower <= t && t < upper) return cls->id;
    }
    return std::nullopt;
}

// The racer's classes after the split, or nullopt when the racer keeps its classes.
std::optional<std::vector<int32_t>> splitClasses(const TRegistry& registry, const std::vector<int32_t>& classIds,
                                                 int32_t t) {
    std::vector<int32_t> kept;
    size_t dropped = classIds.empty() ? 1 : 0;
    for (int32_t id : classIds) {
        const TClassItem* cls = registry.findClass(id);
        if (cls == nullptr || isTimeWindowClass(*cls))
            ++dropped;
        else
            kept.push_back(id);
    }
    if (dropped == 0) return std::nullopt;
    if (const auto id = timeClassFor(registry, t)) kept.push_back(*id);
    return kept;
}

} // namespace

TDragRaceItem* DragRuns::selectedRunItem() {
    return isValidRunIndex(selectedRun_) ? &runs_[static_cast<size_t>(selectedRun_)] : nullptr;
}

// The selected hit list and index when a run, a lane 0 or 1 and a hit within it are selected.
std::vector<TLineHit>* DragRuns::selectedHitList() {
    TDragRaceItem* run = selectedRunItem();
    if (run == nullptr || (selectedLane_ != LANE_LEFT && selectedLane_ != LANE_RIGHT) || selectedHit_ < 0)
        return nullptr;
    auto& hits = run->hits[static_cast<size_t>(selectedLane_)];
    return static_cast<size_t>(selectedHit_) < hits.size() ? &hits : nullptr;
}

// Lane commands treat every selected lane other than the left one as the right lane.
size_t DragRuns::commandLane() const { return selectedLane_ == LANE_LEFT ? 0 : 1; }

// Sets the penalty (ms) of a lane of run `index`: lane 0 left, any other the right lane.
void DragRuns::setPenaltyOf(int32_t index, int32_t lane, int32_t penaltyMs) {
    TDragRaceItem& run = runs_[static_cast<size_t>(index)];
    run.penalty[lane == LANE_LEFT ? 0 : 1] = penaltyMs;
    run.recalculate(host_);
    commit();
}

std::optional<int32_t> parsePenaltySeconds(std::string_view text) {
    const std::optional<double> seconds = parseOperatorNumber(text);
    if (!seconds || !std::isfinite(*seconds)) return std::nullopt;
    const double ms = std::round(*seconds * 1000.0);
    if (ms < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        ms > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(ms);
}

void DragRuns::setLaneRacer(int32_t number, int lane, int32_t classId) {
    TDragRaceItem* run = currentRun();
    if (run == nullptr) return;
    const size_t l = lane == LANE_LEFT ? 0 : 1;
    markRunChanged(static_cast<size_t>(currentRun_)); // not saved here: the next save writes it
    run->racer[l] = number;
    run->classId[l] = -1;
    if (number == 0) return;
    if (const TRacerItem* racer = number > 0 ? host_.registry().findRacer(static_cast<uint32_t>(number)) : nullptr)
        run->classId[l] = classId != -1 ? classId : firstClassOf(*racer);
    TScoreboardController* board = host_.scoreboard();
    if (board != nullptr && board->getType() == kTextScoreboardType) {
        const std::string line = laneNumberText(run->racer[0], true) + "  " + std::string(1, '\x06') + "     " +
                                 laneNumberText(run->racer[1], false);
        board->showText(line, 0, 3, 1, 3, 16);
    }
}

void DragRuns::askRacerNumber() {
    // The run is kept by its id across the questions: it is found again after the answers.
    const std::optional<GridTarget> target = selectionTarget();
    if (target && (target->lane == LANE_LEFT || target->lane == LANE_RIGHT)) {
        const size_t lane = static_cast<size_t>(target->lane);
        std::string answer;
        const std::string prompt = lane == 0 ? "Номер участника на левой дорожке" : "Номер участника на правой дорожке";
        if (host_.op().inputQuery("Задать номер", prompt, answer)) {
            const std::optional<std::uint32_t> number = parseRacerNumber(answer);
            if (!number) {
                host_.op().message("Номер участника должен быть целым числом от 0 до 2147483647, а не «" + answer +
                                       "».",
                                   "Задать номер", Operator::Icon::Warning);
                return;
            }
            const TRacerItem* racer = *number == 0 ? nullptr : host_.registry().findRacer(*number);
            std::optional<int32_t> classId; // none: the lane keeps its class
            if (racer == nullptr || racer->classIds.size() < 2) {
                classId = racer == nullptr ? -1 : firstClassOf(*racer);
            } else {
                std::vector<std::string> entries;
                std::vector<int32_t> ids;
                for (int32_t id : racer->classIds) {
                    for (const auto& cls : host_.registry().classes) {
                        if (cls->id == id) {
                            entries.push_back(cls->name + " (" + std::to_string(id) + ")");
                            ids.push_back(id);
                        }
                    }
                }
                if (!ids.empty()) {
                    const int chosen = host_.op().pick("Класс участника", entries);
                    // The picker answers with the entry selected when it closed; the
                    // first entry is preselected, and stands for an answer out of range.
                    const size_t index =
                        chosen >= 0 && static_cast<size_t>(chosen) < ids.size() ? static_cast<size_t>(chosen) : 0;
                    classId = ids[index];
                }
            }
            const int32_t index = findTargetRun(*target);
            if (index < 0) {
                host_.op().message(kRunGoneText, "Задать номер", Operator::Icon::Warning);
                return;
            }
            TDragRaceItem& run = runs_[static_cast<size_t>(index)];
            run.racer[lane] = static_cast<int32_t>(*number);
            if (classId) run.classId[lane] = *classId;
        }
    }
    commit();
}

void DragRuns::refreshRunClasses() {
    for (TDragRaceItem& run : runs_)
        for (size_t lane = 0; lane < 2; ++lane) takeOnlyClass(host_.registry(), run, lane);
    commit();
}

bool DragRuns::giveClasslessLanesTheirClass() {
    bool changed = false;
    for (size_t i = 0; i < runs_.size(); ++i) {
        TDragRaceItem& run = runs_[i];
        bool runChanged = false;
        for (size_t lane = 0; lane < 2; ++lane)
            if (run.classId[lane] == -1 && takeOnlyClass(host_.registry(), run, lane)) runChanged = true;
        if (runChanged) {
            markRunChanged(i);
            changed = true;
        }
    }
    return changed;
}

void DragRuns::racersChangedUnderRuns(unsigned raceMode) {
    // Runs left in memory by a two-lane event are not the open lap event's.
    if (!isTwoLaneMode(raceMode) || !giveClasslessLanesTheirClass()) return;
    commit(SaveScope::MarkedRuns);
}

void DragRuns::setLanePenalty(int32_t penaltyMs) {
    if (isValidRunIndex(selectedRun_) && selectedLane_ >= 0) setPenaltyOf(selectedRun_, selectedLane_, penaltyMs);
}

void DragRuns::askLanePenalty() {
    // The lane is kept by its run's id across the question and found again after the answer.
    const std::optional<GridTarget> target = selectionTarget();
    std::string answer;
    if (!host_.op().inputQuery("Задать штраф", "Штраф, с", answer)) return;
    const std::optional<int32_t> ms = parsePenaltySeconds(answer);
    if (!ms) {
        host_.op().message("Штраф задаётся числом секунд, например 1.5; «" + answer + "» не принят, штраф не изменён.",
                           "Задать штраф", Operator::Icon::Warning);
        return;
    }
    if (target && target->lane >= 0) {
        const int32_t index = findTargetRun(*target);
        if (index < 0) {
            host_.op().message(kRunGoneText, "Задать штраф", Operator::Icon::Warning);
            return;
        }
        setPenaltyOf(index, target->lane, *ms);
    }
}

void DragRuns::failSelectedLane() {
    TDragRaceItem* run = selectedRunItem();
    if (run == nullptr || selectedLane_ < 0) return;
    auto& hits = run->hits[commandLane()];
    TLineHit fail;
    fail.type = HIT_TYPE_FAIL;
    fail.time = (hits.empty() ? run->startTime : hits.back().time) + 1;
    hits.push_back(fail);
    layoutRuns();
    commit();
}

void DragRuns::setSelectedHitType(int32_t type) {
    std::vector<TLineHit>* hits = selectedHitList();
    if (hits == nullptr) return;
    (*hits)[static_cast<size_t>(selectedHit_)].type = type;
    selectedRunItem()->recalculate(host_);
    commit();
}

void DragRuns::moveHitToOtherLane() {
    std::vector<TLineHit>* hits = selectedHitList();
    if (hits == nullptr) return;
    TDragRaceItem& run = *selectedRunItem();
    const size_t from = static_cast<size_t>(selectedLane_);
    const auto it = hits->begin() + selectedHit_;
    run.hits[1 - from].push_back(*it);
    hits->erase(it);
    // The receiving lane may now be the longer one: the rows follow (and recalculate).
    layoutRuns();
    commit();
}

void DragRuns::setSelectedRunMode(int32_t runMode) {
    TDragRaceItem* run = selectedRunItem();
    if (run == nullptr || runMode < RUN_MODE_QUALIFICATION || runMode > RUN_MODE_PRACTICE) return;
    run->runMode = runMode;
    commit();
}

int32_t DragRuns::searchRacerInGrid(int32_t number, int step) {
    const int64_t n = static_cast<int64_t>(runs_.size());
    const int64_t selected = isValidRunIndex(selectedRun_) ? selectedRun_ : -1;
    const int64_t direction = step > 0 ? 1 : -1;
    int64_t start = selected + direction;
    if (start < 0) start = 0;
    if (start > n) start = n - 1;
    for (int64_t i = start; i >= 0 && i < n; i += direction) {
        const TDragRaceItem& run = runs_[static_cast<size_t>(i)];
        if (run.racer[0] == number || run.racer[1] == number) {
            selectedRun_ = static_cast<int32_t>(i);
            selectedLane_ = SELECTED_LANE_WHOLE_RUN;
            selectedHit_ = -1;
            host_.repaintGrid();
            return selectedRun_;
        }
    }
    return -1;
}

Status splitRacersIntoClasses(std::vector<TDragResult> results, const TDragRankOptions& options, TRegistry& registry,
                              Operator& op) {
    if (results.empty()) return Status::Ok();
    std::sort(results.begin(), results.end(),
              [&options](const TDragResult& a, const TDragResult& b) { return lessByBestLegalStart(a, b, options); });

    // Work out every racer's new classes first; the registry changes only after racers.txt
    // has been written, so a failed write leaves no racer half moved.
    std::vector<std::vector<int32_t>> classes; // per registered racer, list order
    classes.reserve(registry.racers.size());
    for (const auto& racer : registry.racers) classes.push_back(racer->classIds);
    std::vector<TRacerItem> added;
    for (const TDragResult& result : results) {
        if (result.num <= 0) continue;
        const uint32_t number = static_cast<uint32_t>(result.num);
        std::vector<int32_t>* ids = nullptr;
        for (size_t i = 0; i < registry.racers.size() && ids == nullptr; ++i)
            if (registry.racers[i]->number == number) ids = &classes[i];
        for (size_t i = 0; i < added.size() && ids == nullptr; ++i)
            if (added[i].number == number) ids = &added[i].classIds;
        if (ids == nullptr) {
            added.emplace_back(number);
            ids = &added.back().classIds;
        }
        if (auto split = splitClasses(registry, *ids, result.bestAnyStart.et)) *ids = std::move(*split);
    }

    std::string content;
    for (size_t i = 0; i < registry.racers.size(); ++i) {
        TRacerItem line = *registry.racers[i];
        line.classIds = classes[i];
        content += TRegistry::racerLine(line) + "\n";
    }
    for (const TRacerItem& racer : added) content += TRegistry::racerLine(racer) + "\n";
    const Status written = registry.eventFolder().empty()
                               ? Status::Error("мероприятие не открыто")
                               : writeFileAtomic(registry.eventFolder() / "racers.txt", content);
    if (!written.ok()) {
        op.message("Не удалось записать racers.txt: " + written.message() + "\nРазбивка на классы не изменена.",
                   "Ошибка", Operator::Icon::Error);
        return written;
    }
    for (size_t i = 0; i < registry.racers.size(); ++i) registry.racers[i]->classIds = std::move(classes[i]);
    for (TRacerItem& racer : added) registry.racers.push_back(std::make_unique<TRacerItem>(std::move(racer)));
    registry.sink().racersChanged();
    return Status::Ok();
}

void DragRuns::deleteButtonOnRuns() {
    if (isTwoLaneNonRollerMode(host_.raceMode())) deleteRunOrHit(0);
}

void DragClassSplit::run() {
    if (!isTwoLaneMode(runs_.host().raceMode())) return;
    if (runs_.host().op().askYesNo("Эта операция изменит разбивку на классы.\r\nПродолжить?", "Подтверждение",
                                   Operator::Icon::Warning) &&
        splitRacersIntoClasses(port_.overallQualification(), port_.rankOptions(), runs_.host().registry(),
                               runs_.host().op())
            .ok()) {
        port_.markRacerListForSending();
        port_.reloadEvent();
    }
    runs_.refreshRunClasses();
    port_.sendRaceInfo();
}

} // namespace velmaro
