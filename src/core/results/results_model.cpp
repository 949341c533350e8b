// The kept drag results model: full and incremental rebuilds.
#include "core/results/results_model.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>

#include "core/bracket/bracket_pages.h"
#include "core/json/json_builder.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registry.h"
#include "core/results/lane_json_internal.h"
#include "core/results/result_json.h"

namespace velmaro {

namespace {

// More changed runs than this and the whole model is made anew.
constexpr std::size_t kMostIncrementalRuns = 64;

std::string classKey(const char* format, std::int32_t classId) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, classId);
    return buf;
}

bool timedLane(const TDragRaceItem& run, int lane) {
    return run.racer[lane] != 0 && run.et[lane] != 0 && run.dirtyTime[lane] != 0;
}

TDragAttempt laneAttempt(const TDragRaceItem& run, int lane) {
    TDragAttempt a;
    a.et = run.et[lane];
    a.rt = run.rt[lane];
    a._60ft = run.sixtyFeet[lane];
    a.foul = run.foul[lane];
    a.runMode = run.runMode;
    a.breakout = 0;
    // A speed that is not a finite number ranks and prints as none.
    a.spd = std::isfinite(run.speed[lane]) ? static_cast<float>(run.speed[lane]) : 0.0f;
    if (run.winner == lane)
        a.win = 1;
    else if (run.winner == 1 - lane)
        a.win = 0;
    else
        a.win = -1;
    return a;
}

// Whether two registry snapshots read the same to the results: every racer, and the
// classes' ids and breakout limits (each hand-over brings a fresh snapshot).
bool sameRegistry(const TRegistrySnapshot* a, const TRegistrySnapshot* b) {
    if (a == b) return true;
    if (!a || !b || a->racers != b->racers || a->classes.size() != b->classes.size()) return false;
    for (std::size_t i = 0; i < a->classes.size(); ++i)
        if (a->classes[i].id != b->classes[i].id || a->classes[i].breakoutLimit != b->classes[i].breakoutLimit)
            return false;
    return true;
}

// The options are compared with the kept ones, whose snapshot the model still reads.
bool sameOptions(const TDragResultsOptions& a, const TDragResultsOptions& b) {
    return a.rank == b.rank && a.proStart == b.proStart && sameRegistry(a.registry.get(), b.registry.get());
}

// Sort keys that order as the ranking rules do: key(a) < key(b) exactly when the rule
// puts a before b, and equal keys exactly for the racers the rule leaves tied. A sort
// over the keys makes the same comparisons' outcomes, so the same order, as one over
// the rule, at the price of an integer compare.
constexpr std::uint64_t biased(std::int32_t v) { return static_cast<std::uint32_t>(v) ^ 0x80000000u; }

// A finite speed, higher first (-0 and 0 compare equal, as floats do).
std::uint64_t speedDescending(float spd) {
    const auto bits = std::bit_cast<std::uint32_t>(spd + 0.0f);
    const std::uint32_t ascending = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    return ~ascending;
}

using results_detail::QualKey;

// lessForQualification.
QualKey qualKey(const TDragAttempt& x, std::int32_t num, const TDragRankOptions& options) {
    if (x.et == 0) return QualKey{std::uint64_t{1} << 40, biased(num)};
    if (timingModeFrom(options.raceMode) == TimingMode::DragRacing)
        return QualKey{(std::uint64_t{x.breakout != 0} << 32) | biased(x.et), speedDescending(x.spd) & 0xffffffffu};
    if (options.clearTime || x.rt < 0) return QualKey{(std::uint64_t{!options.clearTime} << 35) | biased(x.et), 0};
    return QualKey{static_cast<std::uint64_t>(std::int64_t(x.et) + x.rt + (std::int64_t{1} << 33)), 0};
}

// lessForStandings.
std::uint64_t standingsKey(std::int32_t points, const TDragAttempt& x, const TDragRankOptions& options) {
    if (points != 0) return biased(points);
    if (x.et == 0) return std::uint64_t{2} << 40;
    const std::uint64_t timed = std::uint64_t{1} << 40;
    if (options.clearTime) return timed | biased(x.et);
    if (x.rt < 0) return timed | (std::uint64_t{1} << 35) | (0xffffffffu - biased(x.rt));
    return timed | static_cast<std::uint64_t>(std::int64_t(x.et) + x.rt + (std::int64_t{1} << 33));
}

} // namespace

const TRacerItem* DragResultsModel::findRacer(std::int32_t number) const {
    if (racerNumbers_.empty()) {
        const auto n = static_cast<std::uint32_t>(number);
        return n < racerByNumber_.size() ? racerByNumber_[n] : nullptr;
    }
    auto it = std::lower_bound(racerNumbers_.begin(), racerNumbers_.end(), number,
                               [](const auto& entry, std::int32_t n) { return entry.first < n; });
    return it != racerNumbers_.end() && it->first == number ? it->second : nullptr;
}

std::int32_t DragResultsModel::breakoutLimitMs(std::int32_t classId) const {
    auto it = std::lower_bound(limits_.begin(), limits_.end(), classId,
                               [](const auto& entry, std::int32_t id) { return entry.first < id; });
    return it != limits_.end() && it->first == classId ? it->second : 0;
}

void DragResultsModel::reset(const TDragResultsOptions& options) {
    options_ = options;
    ready_ = true;
    racerByNumber_.clear();
    racerNumbers_.clear();
    limits_.clear();
    if (const TRegistrySnapshot* registry = options.registry.get()) {
        // The first racer of a number in list order, as the registry's own linear look-ups answer.
        std::uint32_t maxNumber = 0;
        for (const TRacerItem& r : registry->racers) maxNumber = std::max(maxNumber, r.number);
        if (maxNumber < 4 * registry->racers.size() + 1024) {
            racerByNumber_.assign(std::size_t{maxNumber} + 1, nullptr);
            for (const TRacerItem& r : registry->racers)
                if (r.number != 0 && !racerByNumber_[r.number]) racerByNumber_[r.number] = &r;
        } else {
            racerNumbers_.reserve(registry->racers.size());
            for (const TRacerItem& r : registry->racers)
                if (r.number != 0) racerNumbers_.emplace_back(static_cast<std::int32_t>(r.number), &r);
            std::stable_sort(racerNumbers_.begin(), racerNumbers_.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            racerNumbers_.erase(std::unique(racerNumbers_.begin(), racerNumbers_.end(),
                                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                                racerNumbers_.end());
        }
        // The first class of an id.
        limits_.reserve(registry->classes.size());
        for (const TClassItem& c : registry->classes) limits_.emplace_back(c.id, c.breakoutLimit * 100);
        std::stable_sort(limits_.begin(), limits_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        limits_.erase(std::unique(limits_.begin(), limits_.end(),
                                  [](const auto& a, const auto& b) { return a.first == b.first; }),
                      limits_.end());
    }
    // The brackets' racer names from the same index (the first racer of a number).
    names_ = [this](std::int32_t number) -> std::string {
        if (number <= 0) return {};
        const TRacerItem* racer = findRacer(number);
        return racer ? racer->name : std::string();
    };
    attempts_.clear();
    liveAttempts_ = 0;
    runs_.clear();
    lanes_.clear();
    runsById_.clear();
    racers_.clear();
    classes_.clear();
    dirtyRacers_.clear();
    laneLayout_ = false;
    classLayout_ = false;
}

namespace {

// Whether the run has objects in allDragResults: a lane with a time.
bool hasLaneObjects(const TDragRaceItem& run) {
    for (int lane : {LANE_LEFT, LANE_RIGHT})
        if (run.et[lane] != 0 || run.dirtyTime[lane] != 0) return true;
    return false;
}

} // namespace

// The run's lane objects in allDragResults, comma-separated.
void DragResultsModel::appendLaneObjects(JsonTextBuffer& text, const TDragRaceItem& run) const {
    const TRacerLookup lookup = [this](std::int32_t number) { return findRacer(number); };
    bool first = true;
    for (int lane : {LANE_LEFT, LANE_RIGHT})
        if (run.et[lane] != 0 || run.dirtyTime[lane] != 0) {
            if (!first) text.put(',');
            first = false;
            appendLaneJson(text, run, lane, true, options_.proStart, lookup);
        }
}

void DragResultsModel::readRun(std::size_t index, const TDragRaceItem& run) {
    RunState& s = runs_[index];
    s.runId = run.runId;
    s.racer = {0, 0};
    s.flag = run.breakout;
    for (int lane : {LANE_LEFT, LANE_RIGHT}) {
        if (!timedLane(run, lane)) continue;
        s.racer[lane] = run.racer[lane];
        const TRacerItem* racer = findRacer(run.racer[lane]);
        if (run.runMode == RUN_MODE_QUALIFICATION && racer && !racer->classIds.empty())
            s.flag[lane] = run.et[lane] < breakoutLimitMs(racer->classIds.front()) ? 1 : 0;
        lanes_[index * 2 + lane] = LaneAttempt{laneAttempt(run, lane), run.classId[lane], s.flag[lane]};
    }
}

// Takes the run's lanes out of the racers' lane lists and its id out of the id index.
void DragResultsModel::dropRun(std::size_t index) {
    const RunState& s = runs_[index];
    for (int lane : {LANE_LEFT, LANE_RIGHT}) {
        if (s.racer[lane] == 0) continue;
        RacerState& racer = racers_[s.racer[lane]];
        const std::uint32_t key = static_cast<std::uint32_t>(index * 2 + lane);
        auto it = std::lower_bound(racer.lanes.begin(), racer.lanes.end(), key);
        if (it != racer.lanes.end() && *it == key) racer.lanes.erase(it);
        dirtyRacers_.push_back(s.racer[lane]);
    }
    if (s.runId != 0) {
        const std::pair<std::int32_t, std::uint32_t> key{s.runId, static_cast<std::uint32_t>(index)};
        auto it = std::lower_bound(runsById_.begin(), runsById_.end(), key);
        if (it != runsById_.end() && *it == key) runsById_.erase(it);
    }
}

// The racer state of a timed lane's racer, made on its first lane.
DragResultsModel::RacerState& DragResultsModel::racerOf(std::int32_t number) {
    auto [it, added] = racers_.try_emplace(number);
    RacerState& racer = it->second;
    if (added) {
        racer.racer = findRacer(number);
        if (racer.racer) {
            const auto& ids = racer.racer->classIds;
            racer.classes.reserve(ids.size());
            for (std::size_t k = 0; k < ids.size(); ++k)
                // The overall lists' key is not a class, and a class named twice is one class.
                if (ids[k] != -1 && std::find(ids.begin(), ids.begin() + k, ids[k]) == ids.begin() + k)
                    racer.classes.push_back(ids[k]);
        }
    }
    return racer;
}

// Every run of a whole rebuild: each racer's lane list made once at its size.
void DragResultsModel::addAllRuns(const std::vector<const TDragRaceItem*>& runs) {
    std::vector<RacerState*> laneRacers(runs.size() * 2, nullptr); // by run index * 2 + lane
    for (std::size_t i = 0; i < runs.size(); ++i) {
        readRun(i, *runs[i]);
        const RunState& s = runs_[i];
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            if (s.racer[lane] == 0) continue;
            RacerState& racer = racerOf(s.racer[lane]);
            ++racer.countedLanes;
            laneRacers[i * 2 + lane] = &racer;
        }
        if (s.runId != 0) runsById_.emplace_back(s.runId, static_cast<std::uint32_t>(i)); // sorted below
    }
    for (auto& [number, racer] : racers_) racer.lanes.reserve(racer.countedLanes);
    // Every racer once, in first-lane order: their class lists then come in that order.
    dirtyRacers_.clear();
    dirtyRacers_.reserve(racers_.size());
    for (std::size_t key = 0; key < laneRacers.size(); ++key)
        if (RacerState* racer = laneRacers[key]) {
            if (racer->lanes.empty()) dirtyRacers_.push_back(runs_[key / 2].racer[key % 2]);
            racer->lanes.push_back(static_cast<std::uint32_t>(key));
        }
    if (!std::is_sorted(runsById_.begin(), runsById_.end())) // run ids mostly come in order
        std::sort(runsById_.begin(), runsById_.end());
}

void DragResultsModel::addRun(std::size_t index) {
    const RunState& s = runs_[index];
    for (int lane : {LANE_LEFT, LANE_RIGHT}) {
        if (s.racer[lane] == 0) continue;
        RacerState& racer = racerOf(s.racer[lane]);
        const std::uint32_t key = static_cast<std::uint32_t>(index * 2 + lane);
        racer.lanes.insert(std::lower_bound(racer.lanes.begin(), racer.lanes.end(), key), key);
        dirtyRacers_.push_back(s.racer[lane]);
    }
    if (s.runId != 0) {
        const std::pair<std::int32_t, std::uint32_t> key{s.runId, static_cast<std::uint32_t>(index)};
        runsById_.insert(std::lower_bound(runsById_.begin(), runsById_.end(), key), key);
    }
}

// The racer's results and qualification results in the overall lists and in each of
// its classes, from its timed lanes in run-list order.
void DragResultsModel::rebuildRacerEntries(std::int32_t number) {
    auto rit = racers_.find(number);
    if (rit == racers_.end()) return;
    RacerState& racer = rit->second;
    const auto removeFrom = [this, number](ClassState& cls) {
        auto it = cls.entries.find(number);
        if (it == cls.entries.end()) return;
        dropAttempts(it->second);
        const std::pair<std::uint32_t, std::int32_t> key{it->second.firstLane, number};
        auto pos = std::lower_bound(cls.order.begin(), cls.order.end(), key);
        if (pos != cls.order.end() && *pos == key) cls.order.erase(pos);
        cls.entries.erase(it);
        cls.orderChanged = true;
        cls.dirty = true;
        cls.listed = !cls.entries.empty();
    };
    std::vector<std::int32_t>& classIds = classIds_;
    classIds.assign(1, -1);
    if (racer.racer) classIds.insert(classIds.end(), racer.classes.begin(), racer.classes.end());
    if (racer.lanes.empty()) {
        for (std::int32_t c : classIds) {
            auto cit = classes_.find(c);
            if (cit != classes_.end()) removeFrom(cit->second);
        }
        racers_.erase(rit);
        return;
    }
    // The racer's lanes as attempts, read once for all its lists.
    std::size_t qualificationLanes = 0;
    for (std::uint32_t key : racer.lanes) qualificationLanes += lanes_[key].attempt.runMode == RUN_MODE_QUALIFICATION;
    const std::size_t laneCount = racer.lanes.size();
    const std::uint32_t firstLane = racer.lanes.front();
    for (std::int32_t c : classIds) {
        ClassState& cls = classes_[c];
        cls.dirty = true;
        cls.listed = true;
        auto [eit, added] = cls.entries.try_emplace(number);
        Entry& e = eit->second;
        if (!added && e.firstLane != firstLane) {
            const std::pair<std::uint32_t, std::int32_t> old{e.firstLane, number};
            auto pos = std::lower_bound(cls.order.begin(), cls.order.end(), old);
            if (pos != cls.order.end() && *pos == old) cls.order.erase(pos);
            added = true;
        }
        if (added) {
            const std::pair<std::uint32_t, std::int32_t> key{firstLane, number};
            if (bulk_) // sorted once all racers are in
                cls.order.push_back(key);
            else
                cls.order.insert(std::lower_bound(cls.order.begin(), cls.order.end(), key), key);
            cls.orderChanged = true;
        }
        e.firstLane = firstLane;
        e.result = TDragResult(number, c);
        e.qual = TDragResult(number, c);
        dropAttempts(e); // its lists before (none when new)
        // Written in place into room for the most they can hold, then cut to size.
        const AttemptRange room = takeAttempts(static_cast<std::uint32_t>(laneCount + qualificationLanes));
        TDragAttempt* const results = attempts_.data() + room.start;
        TDragAttempt* const qual = results + laneCount;
        std::uint32_t resultCount = 0, qualCount = 0;
        bool first = true;
        for (std::uint32_t key : racer.lanes) {
            const LaneAttempt& l = lanes_[key];
            const bool qualification = l.attempt.runMode == RUN_MODE_QUALIFICATION;
            if (c == -1) {
                results[resultCount++] = l.attempt;
                if (qualification) qual[qualCount++] = l.attempt;
            } else {
                // The first attempt of the class's qualification list is left out when it
                // broke out; later ones are kept with their flag.
                if (qualification && (!first || l.flag == 0)) {
                    TDragAttempt& q = qual[qualCount++];
                    q = l.attempt;
                    q.breakout = first ? 0 : l.flag;
                }
                if (l.classId == c || l.attempt.runMode != RUN_MODE_FINAL) {
                    TDragAttempt& a = results[resultCount++];
                    a = l.attempt;
                    a.breakout = l.flag;
                }
            }
            first = false;
        }
        // The qualification list moves up behind the results; the rest is given back.
        std::copy(qual, qual + qualCount, results + resultCount);
        e.resultAttempts = AttemptRange{room.start, resultCount};
        e.qualAttempts = AttemptRange{room.start + resultCount, qualCount};
        attempts_.resize(room.start + resultCount + qualCount);
        liveAttempts_ += resultCount + qualCount;
        const std::int32_t limit = breakoutLimitMs(c);
        selectBestAttempts(e.result, attemptsOf(e.resultAttempts), limit, options_.rank);
        selectBestAttempts(e.qual, attemptsOf(e.qualAttempts), limit, options_.rank);
        e.fresh = true;
        e.raceDirty = true;
    }
}

DragResultsModel::AttemptRange DragResultsModel::takeAttempts(std::uint32_t count) {
    const auto start = static_cast<std::uint32_t>(attempts_.size());
    attempts_.resize(attempts_.size() + count);
    return AttemptRange{start, count};
}

// Packs the live entries' attempts to the front of a fresh list.
void DragResultsModel::compactAttempts() {
    std::vector<TDragAttempt> packed;
    packed.reserve(liveAttempts_ + liveAttempts_ / 4);
    for (auto& [c, cls] : classes_)
        for (auto& [number, e] : cls.entries)
            for (AttemptRange* range : {&e.resultAttempts, &e.qualAttempts}) {
                const auto start = static_cast<std::uint32_t>(packed.size());
                packed.insert(packed.end(), attempts_.begin() + range->start,
                              attempts_.begin() + range->start + range->count);
                range->start = start;
            }
    attempts_.swap(packed);
    liveAttempts_ = attempts_.size();
}

// Qualification order and places of a class whose racers changed.
void DragResultsModel::rankClass(std::int32_t, ClassState& cls) {
    // Sorted as copies of what the order reads, side by side (the same comparisons, so the
    // same order, as sorting the entries themselves).
    // The same racers in the same order with the same keys as at the last sort give
    // the same order: the sort is skipped.
    std::vector<std::pair<QualKey, Entry*>>& keys = cls.qualKeys;
    const TDragRankOptions& rank = options_.rank;
    bool same = cls.qualSorted && keys.size() == cls.order.size();
    std::size_t k = 0;
    for (const auto& [lane, number] : cls.order) {
        Entry& e = cls.entries.find(number)->second;
        const QualKey key = qualKey(e.qual.bestAnyStart, e.qual.num, rank);
        if (same && (keys[k].first != key || keys[k].second != &e)) same = false;
        if (!same) {
            keys.resize(cls.order.size());
            keys[k] = {key, &e};
        }
        ++k;
    }
    if (!same) {
        cls.qualOrder.resize(keys.size());
        std::vector<std::pair<QualKey, Entry*>> sorted = keys;
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < sorted.size(); ++i) cls.qualOrder[i] = sorted[i].second;
        cls.qualSorted = true;
    }
    for (std::size_t i = 0; i < cls.qualOrder.size(); ++i) {
        Entry& e = *cls.qualOrder[i];
        const auto place = static_cast<std::int32_t>(i + 1);
        e.qual.qualPos = place;
        if (e.result.qualPos != place) {
            e.result.qualPos = place;
            e.raceDirty = true;
        }
    }
}

// Seeds, plays and places the brackets of every class page, and writes their members of
// raceResults. The brackets are not part of the runs: they are played on every rebuild.
void DragResultsModel::playBrackets(const std::vector<const TDragRaceItem*>& runs, std::string& bracketMembers) {
    auto lock = brackets_.lockBrackets();
    std::vector<std::shared_ptr<TFinalBracket>> brackets;
    for (const auto& page : brackets_.bracketPages())
        if (page && page->bracket) brackets.push_back(page->bracket);

    std::map<std::int32_t, std::vector<TDragResult>> seeded;
    for (const auto& b : brackets) {
        const std::int32_t c = b->classId;
        ClassState& cls = classes_[c];
        std::vector<TDragResult>& seeds = seeded[c];
        const std::size_t slots = std::min<std::size_t>(b->racers.size(), std::max(b->size, 0));
        for (std::size_t i = 0; i < slots; ++i) {
            TFinalRacer& slot = b->racers[i];
            if (slot.number == 0) continue;
            for (std::size_t k = 0; k < cls.qualOrder.size(); ++k)
                if (cls.qualOrder[k]->qual.num == slot.number) {
                    slot.seedIndex = static_cast<std::int32_t>(k);
                    break;
                }
            const bool hasResult =
                cls.entries.count(slot.number) != 0 ||
                std::any_of(seeds.begin(), seeds.end(), [&](const TDragResult& r) { return r.num == slot.number; });
            if (!hasResult) {
                TDragResult s(slot.number, slot.classId);
                TDragAttempt empty;
                empty.runMode = RUN_MODE_FINAL;
                s.attempts.push_back(empty);
                seeds.push_back(std::move(s));
            }
        }
    }

    TDragRunMap runTable;
    for (const auto& b : brackets)
        for (const auto* rounds : {&b->upperRounds, &b->lowerRounds})
            for (const auto& round : *rounds) {
                if (!round) continue;
                for (const auto& pair : round->pairs) {
                    const std::int32_t id = pair->run.runId;
                    if (id == 0 || runTable.count(id)) continue;
                    // The last run of the id.
                    auto it = std::upper_bound(runsById_.begin(), runsById_.end(),
                                               std::pair<std::int32_t, std::uint32_t>{id, UINT32_MAX});
                    if (it == runsById_.begin() || (--it)->first != id) continue;
                    runTable.emplace(id, *runs[it->second]);
                }
            }
    for (const auto& b : brackets) b->update(runTable, names_, options_.rank.raceMode);

    // Final places: the first slot of a racer in the class's bracket, a later page
    // overriding an earlier one.
    std::map<std::int32_t, std::unordered_map<std::int32_t, std::int32_t>> placesByClass;
    for (const auto& b : brackets) {
        std::unordered_map<std::int32_t, std::int32_t> places;
        const std::size_t slots = std::min<std::size_t>(b->racers.size(), std::max(b->size, 0));
        for (std::size_t i = 0; i < slots; ++i) places.emplace(b->racers[i].number, b->racers[i].place);
        auto& merged = placesByClass[b->classId];
        for (const auto& [number, place] : places) merged[number] = place;
    }

    // Classes without racers stay only while a bracket names them.
    for (auto it = classes_.begin(); it != classes_.end();) {
        ClassState& cls = it->second;
        auto sit = seeded.find(it->first);
        if (!cls.listed && sit == seeded.end()) {
            it = classes_.erase(it);
            continue;
        }
        std::vector<TDragResult> seeds = sit == seeded.end() ? std::vector<TDragResult>{} : std::move(sit->second);
        auto pit = placesByClass.find(it->first);
        std::unordered_map<std::int32_t, std::int32_t> places;
        if (pit != placesByClass.end() && it->first != -1) places = std::move(pit->second);
        if (places != cls.places) {
            cls.places = std::move(places);
            cls.textsDirty = true;
        }
        // The kept seeds carry the final places finishClass gave them: the new ones are
        // compared with those places in.
        if (it->first != -1)
            for (TDragResult& s : seeds) {
                auto place = cls.places.find(s.num);
                s.finalPoints = place == cls.places.end() ? 0 : place->second;
            }
        if (seeds != cls.seeded) {
            cls.seeded = std::move(seeds);
            cls.textsDirty = true;
        }
        ++it;
    }

    // Each class's last page gives its bracket member; keys in byte order.
    std::map<std::int32_t, const TFinalBracket*> lastBracket;
    for (const auto& b : brackets) lastBracket[b->classId] = b.get();
    std::vector<std::pair<std::string, const TFinalBracket*>> members;
    for (const auto& [c, b] : lastBracket)
        if (c != -1) members.emplace_back(classKey("bracket_%d", c), b);
    std::sort(members.begin(), members.end(),
              [](const auto& a, const auto& b) { return std::string_view(a.first) < std::string_view(b.first); });
    bool first = true;
    for (const auto& [key, b] : members) {
        if (!first) bracketMembers += ',';
        first = false;
        bracketMembers += '"';
        bracketMembers += key;
        bracketMembers += "\":";
        b->json.appendTo(bracketMembers);
    }
}

namespace {

// Whether a racer has an object in piece `d` of a class (practice, qualification, finals).
bool hasPieceObject(int d, const TSessionBests& bests) {
    return d == 0 ? bests.practice != nullptr : d == 1 ? bests.qualification != nullptr : true;
}

// The racer's object of piece `d`, appended to `out`.
void writePieceObject(int d, std::string& out, const TDragResult& r, std::span<const TDragAttempt> attempts,
                      std::int32_t limit, const TSessionBests& bests) {
    JsonTextBuffer text(out);
    if (d == 0)
        appendPracticeResultJson(text, r, attempts, *bests.practice);
    else if (d == 1)
        appendQualResultJson(text, r, attempts, limit, *bests.qualification);
    else
        appendRaceResultJson(text, r, attempts, bests.finals);
}

} // namespace

// Final places, the objects of changed racers, the class's pieces of the documents and
// its standings. While the class's racers and seeds stand where they stood, its pieces
// are the last ones with the rewritten racers' objects put in; else they are written
// whole. Racers' objects are kept only inside the pieces (their spans).
void DragResultsModel::finishClass(std::int32_t classId, ClassState& cls) {
    if (!cls.dirty && !cls.textsDirty) return;
    const std::int32_t limit = breakoutLimitMs(classId);
    const bool finals = classId != -1;
    const int texts = finals ? 3 : 2; // the overall list has no finals piece
    const std::vector<Entry*> entries = placeClassEntries(cls, finals);
    const bool patched =
        cls.textLayout && !cls.textsDirty && !cls.orderChanged && patchClassTexts(cls, entries, limit, finals, texts);
    if (!patched) writeClassTexts(cls, entries, limit, texts);
    sortStandings(cls, entries);
    cls.changedAt = generation_;
    cls.dirty = false;
    cls.textsDirty = false;
    cls.orderChanged = false;
}

// The class's entries in its racer order, with the final places of its brackets given to
// them and to its seeds (none in the overall list).
std::vector<DragResultsModel::Entry*> DragResultsModel::placeClassEntries(ClassState& cls, bool finals) {
    const auto placeOf = [&cls](std::int32_t number) {
        auto it = cls.places.find(number);
        return it == cls.places.end() ? 0 : it->second;
    };
    std::vector<Entry*> entries;
    entries.reserve(cls.order.size());
    for (const auto& [lane, number] : cls.order) {
        Entry& e = cls.entries.find(number)->second;
        const std::int32_t points = finals ? placeOf(number) : 0;
        if (e.result.finalPoints != points) {
            e.result.finalPoints = points;
            e.raceDirty = true;
        }
        entries.push_back(&e);
    }
    for (TDragResult& s : cls.seeded)
        if (finals) s.finalPoints = placeOf(s.num);

    return entries;
}

// The class's last pieces with the objects of its changed racers written anew; false
// when an object appears or goes (the pieces are then to be written whole).
bool DragResultsModel::patchClassTexts(ClassState& cls, const std::vector<Entry*>& entries, std::int32_t limit,
                                       bool finals, int texts) {
    std::array<std::string*, 3> classTexts{&cls.practiceText, &cls.qualText, &cls.raceText};
    std::array<std::size_t, 3> copied{0, 0, 0}; // of the old pieces, written up to here
    for (int d = 0; d < texts; ++d) {
        cls.oldTexts[d].swap(*classTexts[d]);
        classTexts[d]->clear();
        classTexts[d]->reserve(cls.oldTexts[d].size() + 256);
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        Entry& e = *entries[k];
        const bool attemptsChanged = e.fresh;
        const bool raceChanged = finals && (e.fresh || e.raceDirty);
        const std::span<const TDragAttempt> attempts = attemptsOf(e.resultAttempts);
        const TSessionBests bests = attemptsChanged || raceChanged ? sessionBests(attempts, limit) : TSessionBests{};
        for (int d = 0; d < texts; ++d) {
            Span& span = e.doc[d];
            const std::string& old = cls.oldTexts[d];
            std::string& out = *classTexts[d];
            if (!(d < 2 ? attemptsChanged : raceChanged)) {
                span.start = static_cast<std::uint32_t>(out.size() + (span.start - copied[d]));
                continue;
            }
            // An object appearing or going moves a comma: the class is written whole.
            if (hasPieceObject(d, bests) != (span.length != 0)) return false;
            out.append(old, copied[d], span.start - copied[d]);
            copied[d] = span.start + span.length;
            const auto start = out.size();
            if (span.length != 0) writePieceObject(d, out, e.result, attempts, limit, bests);
            span = Span{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(out.size() - start)};
        }
    }
    // The seeds' objects are as they were.
    for (int d = 0; d < texts; ++d) classTexts[d]->append(cls.oldTexts[d], copied[d]);
    return true;
}

// The class's pieces written whole, with every racer's spans.
void DragResultsModel::writeClassTexts(ClassState& cls, const std::vector<Entry*>& entries, std::int32_t limit,
                                       int texts) {
    std::array<std::string*, 3> classTexts{&cls.practiceText, &cls.qualText, &cls.raceText};
    // Room for the pieces at once: an attempt object is some 50-60 characters, a racer's
    // some 80 more (a guess on the high side; the pieces are copied into the documents).
    std::array<std::size_t, 3> bytes{0, 0, 0};
    const auto count = [&bytes](std::span<const TDragAttempt> attempts) {
        for (const TDragAttempt& a : attempts)
            bytes[a.runMode == RUN_MODE_PRACTICE ? 0 : a.runMode == RUN_MODE_QUALIFICATION ? 1 : 2] += 64;
    };
    for (const Entry* e : entries) count(attemptsOf(e->resultAttempts));
    for (const TDragResult& s : cls.seeded) count(s.attempts);
    const std::size_t racers = entries.size() + cls.seeded.size();
    for (int d = 0; d < texts; ++d) {
        classTexts[d]->clear();
        classTexts[d]->reserve(bytes[d] + racers * (d == 2 ? 112 : 96));
    }
    std::array<bool, 3> first{true, true, true};
    const auto add = [&](const TDragResult& r, std::span<const TDragAttempt> attempts, Span* spans) {
        const TSessionBests bests = sessionBests(attempts, limit);
        for (int d = 0; d < texts; ++d) {
            std::string& out = *classTexts[d];
            const bool has = hasPieceObject(d, bests);
            if (has && !first[d]) out += ',';
            first[d] = first[d] && !has;
            const auto start = out.size();
            if (has) writePieceObject(d, out, r, attempts, limit, bests);
            if (spans)
                spans[d] = Span{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(out.size() - start)};
        }
    };
    for (Entry* e : entries) add(e->result, attemptsOf(e->resultAttempts), e->doc.data());
    for (const TDragResult& s : cls.seeded) add(s, s.attempts, nullptr);
    cls.textLayout = true;
}

// The class's standings: its entries and seeds sorted by the standings keys, and the
// most attempts a racer of it has.
void DragResultsModel::sortStandings(ClassState& cls, const std::vector<Entry*>& entries) {
    std::vector<Standing> list;
    list.reserve(entries.size() + cls.seeded.size());
    cls.maxAttempts = 0;
    for (Entry* e : entries) {
        e->fresh = false;
        e->raceDirty = false;
        list.push_back(Standing{&e->result, e});
        cls.maxAttempts = std::max(cls.maxAttempts, static_cast<std::int32_t>(e->resultAttempts.count));
    }
    for (const TDragResult& s : cls.seeded) {
        list.push_back(Standing{&s, nullptr});
        cls.maxAttempts = std::max(cls.maxAttempts, static_cast<std::int32_t>(s.attempts.size()));
    }

    // Sorted by keys, as the qualification order is; skipped when the racers, their order
    // and keys are those of the last sort.
    std::vector<std::pair<std::uint64_t, Standing>>& keys = cls.standingKeys;
    const TDragRankOptions& rank = options_.rank;
    bool same = cls.standingsSorted && keys.size() == list.size();
    for (std::size_t k = 0; k < list.size(); ++k) {
        const TDragResult& r = *list[k].result;
        const std::uint64_t key = standingsKey(r.finalPoints, r.bestLegalStart, rank);
        if (same && (keys[k].first != key || keys[k].second != list[k])) same = false;
        if (!same) {
            keys.resize(list.size());
            keys[k] = {key, list[k]};
        }
    }
    if (!same) {
        std::vector<std::pair<std::uint64_t, Standing>> sorted = keys;
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        cls.standings.resize(sorted.size());
        for (std::size_t i = 0; i < sorted.size(); ++i) cls.standings[i] = sorted[i].second;
        cls.standingsSorted = true;
    }
}

// allDragResults: the last one with the changed runs' lane objects put in (sorted,
// distinct indexes) and the added runs' ones appended (`patch` false when the layout is
// not known), else written whole.
void DragResultsModel::writeLaneDocument(std::string& all, const std::vector<const TDragRaceItem*>& runs,
                                         const std::vector<std::size_t>& changedRuns, std::size_t previous,
                                         bool patch) {
    static constexpr std::string_view kHead = "{\"allDragResults\":[";
    // The runs from `from` on, then the closing brackets.
    const auto appendRuns = [&](std::size_t from) {
        bool first = all.size() == kHead.size();
        for (std::size_t i = from; i < runs.size(); ++i) {
            const bool objects = hasLaneObjects(*runs[i]);
            if (objects && !first) all += ',';
            first = first && !objects;
            const auto start = static_cast<std::uint32_t>(all.size());
            {
                JsonTextBuffer text(all);
                appendLaneObjects(text, *runs[i]);
            }
            runs_[i].doc = Span{start, static_cast<std::uint32_t>(all.size() - start)};
        }
        all += "]}";
    };
    patch = patch && laneLayout_ && last_;
    // A run gaining or losing its objects moves a comma: written whole.
    for (std::size_t i = 0; patch && i < changedRuns.size(); ++i)
        patch = hasLaneObjects(*runs[changedRuns[i]]) == (runs_[changedRuns[i]].doc.length != 0);
    if (patch) {
        const std::string& old = last_->allDragResults;
        all.reserve(old.size() + 512 * (changedRuns.size() + runs.size() - previous));
        std::size_t pos = 0;
        std::int64_t shift = 0;
        std::size_t next = 0;
        for (std::size_t i = changedRuns.empty() ? previous : changedRuns.front(); i < previous; ++i) {
            Span& span = runs_[i].doc;
            span.start = static_cast<std::uint32_t>(span.start + shift);
            if (next == changedRuns.size() || changedRuns[next] != i) continue;
            ++next;
            const std::size_t oldStart = span.start - shift;
            all.append(old, pos, oldStart - pos);
            pos = oldStart + span.length;
            {
                JsonTextBuffer text(all);
                appendLaneObjects(text, *runs[i]);
            }
            const auto length = static_cast<std::uint32_t>(all.size() - span.start);
            shift += static_cast<std::int64_t>(length) - span.length;
            span.length = length;
        }
        // The added runs go before the closing brackets.
        all.append(old, pos, old.size() - 2 - pos);
        appendRuns(previous);
        return;
    }
    all.reserve(last_ ? last_->allDragResults.size() + 4096 : 160 * runs.size() + 64);
    all.assign(kHead);
    appendRuns(0);
    laneLayout_ = true;
}

// practiceResults, qualResults, raceResults: the last ones with the changed classes'
// arrays and the bracket members put in, while the same classes are listed and the
// brackets still have members or still have none; else written whole.
void DragResultsModel::writeClassDocuments(TDragResultsView& view, const std::string& bracketMembers) {
    std::string& practice = view.practiceResults;
    std::string& qual = view.qualResults;
    std::string& race = view.raceResults;
    const auto bodyOf = [](const ClassState& cls, int doc) -> const std::string& {
        return doc == 0 ? cls.practiceText : doc == 1 ? cls.qualText : cls.raceText;
    };
    bool patch = classLayout_ && last_ && layoutClasses_.size() == classes_.size() &&
                 bracketMembers.empty() == (bracketSpan_.length == 0);
    for (std::size_t i = 0; patch && i < layoutClasses_.size(); ++i) patch = classes_.count(layoutClasses_[i]) != 0;
    if (patch) {
        const std::string* olds[3] = {&last_->practiceResults, &last_->qualResults, &last_->raceResults};
        std::string* outs[3] = {&practice, &qual, &race};
        for (int doc = 0; doc < 3; ++doc) {
            const std::string& old = *olds[doc];
            std::string& out = *outs[doc];
            std::size_t size = old.size();
            if (doc == 2) size = size - bracketSpan_.length + bracketMembers.size();
            for (std::int32_t c : layoutClasses_) {
                const ClassState& cls = classes_.find(c)->second;
                if (cls.changedAt == generation_) size = size - cls.doc[doc].length + bodyOf(cls, doc).size();
            }
            out.reserve(size);
            std::size_t pos = 0;
            // Copies the old text up to the piece, then the piece's new text (null: its old one).
            const auto put = [&](Span& span, const std::string* text) {
                out.append(old, pos, span.start - pos);
                pos = span.start + span.length;
                const auto start = static_cast<std::uint32_t>(out.size());
                if (text)
                    out += *text;
                else
                    out.append(old, span.start, span.length);
                span = Span{start, static_cast<std::uint32_t>(out.size() - start)};
            };
            if (doc == 2) put(bracketSpan_, &bracketMembers);
            for (std::int32_t c : layoutClasses_) {
                if (doc == 2 && c == -1) continue;
                ClassState& cls = classes_.find(c)->second;
                put(cls.doc[doc], cls.changedAt == generation_ ? &bodyOf(cls, doc) : nullptr);
            }
            out.append(old, pos);
        }
        return;
    }

    std::vector<std::pair<std::string, std::int32_t>> members;
    members.reserve(classes_.size());
    std::size_t practiceBytes = 64, qualBytes = 64, raceBytes = bracketMembers.size() + 64;
    for (const auto& [c, cls] : classes_) {
        members.emplace_back(classKey("clsId_%d", c), c);
        practiceBytes += cls.practiceText.size() + 24;
        qualBytes += cls.qualText.size() + 24;
        raceBytes += cls.raceText.size() + 24;
    }
    std::sort(members.begin(), members.end(),
              [](const auto& a, const auto& b) { return std::string_view(a.first) < std::string_view(b.first); });
    practice.reserve(practiceBytes);
    qual.reserve(qualBytes);
    race.reserve(raceBytes);
    practice = "{\"practiceResults\":{";
    qual = "{\"qualResults\":{";
    race = "{\"raceResults\":{";
    bracketSpan_ = Span{static_cast<std::uint32_t>(race.size()), static_cast<std::uint32_t>(bracketMembers.size())};
    race += bracketMembers;
    bool firstPractice = true, firstQual = true, firstRace = bracketMembers.empty();
    const auto member = [](std::string& doc, bool& firstMember, const std::string& key, const std::string& body,
                           Span& span) {
        if (!firstMember) doc += ',';
        firstMember = false;
        doc += '"';
        doc += key;
        doc += "\":[";
        span = Span{static_cast<std::uint32_t>(doc.size()), static_cast<std::uint32_t>(body.size())};
        doc += body;
        doc += ']';
    };
    layoutClasses_.clear();
    for (const auto& [key, c] : members) {
        ClassState& cls = classes_.find(c)->second;
        layoutClasses_.push_back(c);
        member(practice, firstPractice, key, cls.practiceText, cls.doc[0]);
        member(qual, firstQual, key, cls.qualText, cls.doc[1]);
        if (key != "clsId_-1") member(race, firstRace, key, cls.raceText, cls.doc[2]);
    }
    practice += "}}";
    qual += "}}";
    race += "}}";
    classLayout_ = true;
}

namespace {

// A new rebuild's view, in the spare's emptied buffers when there is one.
std::shared_ptr<TDragResultsView> newView(const TDragResultsOptions& options, TDragResultsView* spare) {
    auto view = std::make_shared<TDragResultsView>();
    view->rank = options.rank;
    if (spare) {
        view->allDragResults.swap(spare->allDragResults);
        view->practiceResults.swap(spare->practiceResults);
        view->qualResults.swap(spare->qualResults);
        view->raceResults.swap(spare->raceResults);
        view->allDragResults.clear();
        view->practiceResults.clear();
        view->qualResults.clear();
        view->raceResults.clear();
    }
    return view;
}

} // namespace

std::shared_ptr<TDragResultsView> DragResultsModel::build(const std::vector<const TDragRaceItem*>& runs,
                                                          const TDragResultsOptions& options,
                                                          const std::vector<std::size_t>* changed) {
    const bool full = !ready_ || !changed || !sameOptions(options, options_) || runs.size() < runs_.size() ||
                      changed->size() + (runs.size() - runs_.size()) > kMostIncrementalRuns;
    std::vector<std::size_t> changedRuns; // re-read runs that were there before, ascending
    std::size_t previous = 0;             // runs that were there before
    if (full) {
        readAllRuns(runs, options);
    } else {
        previous = readChangedRuns(runs, *changed, changedRuns);
    }
    rebuildChangedRacers(full);

    for (auto& [c, cls] : classes_)
        if (cls.dirty) rankClass(c, cls);

    ++generation_;
    const std::shared_ptr<TDragResultsView> spare = takeSpare(full);
    std::shared_ptr<TDragResultsView> view = newView(options, spare.get());
    std::string bracketMembers;
    playBrackets(runs, bracketMembers);
    for (auto& [c, cls] : classes_) finishClass(c, cls);

    writeLaneDocument(view->allDragResults, runs, changedRuns, previous, !full);
    writeClassDocuments(*view, bracketMembers);
    view->maxAttempts = writeClassLists(*view, spare.get());
    spare_ = std::move(last_);
    last_ = view;
    return view;
}

// A whole rebuild's model made anew from every run.
void DragResultsModel::readAllRuns(const std::vector<const TDragRaceItem*>& runs, const TDragResultsOptions& options) {
    ++full_;
    reset(options);
    runs_.resize(runs.size());
    lanes_.resize(runs.size() * 2);
    runsById_.reserve(runs.size());
    racers_.reserve(options.registry ? options.registry->racers.size() : 0);
    addAllRuns(runs);
    if (!racers_.empty()) classes_[-1].entries.reserve(racers_.size()); // every racer is listed there
    attempts_.reserve(runs.size() * 8); // each lane in two lists or so, qualification twice that
}

// The changed runs re-read and the added ones read (`changedRuns`: the changed runs
// that were there before, ascending); the number of runs there before.
std::size_t DragResultsModel::readChangedRuns(const std::vector<const TDragRaceItem*>& runs,
                                              const std::vector<std::size_t>& changed,
                                              std::vector<std::size_t>& changedRuns) {
    ++incremental_;
    const std::size_t previous = runs_.size();
    changedRuns.reserve(changed.size());
    for (std::size_t i : changed)
        if (i < previous) changedRuns.push_back(i);
    std::sort(changedRuns.begin(), changedRuns.end());
    changedRuns.erase(std::unique(changedRuns.begin(), changedRuns.end()), changedRuns.end());
    for (std::size_t i : changedRuns) {
        dropRun(i);
        readRun(i, *runs[i]);
        addRun(i);
    }
    runs_.resize(runs.size());
    lanes_.resize(runs.size() * 2);
    for (std::size_t i = previous; i < runs.size(); ++i) {
        readRun(i, *runs[i]);
        addRun(i);
    }
    return previous;
}

// The entries of the racers whose lanes changed (every racer on a whole rebuild).
void DragResultsModel::rebuildChangedRacers(bool full) {
    if (!full && attempts_.size() > 2 * liveAttempts_ + 4096) compactAttempts();
    if (!full) { // a whole rebuild lists each racer once
        std::sort(dirtyRacers_.begin(), dirtyRacers_.end());
        dirtyRacers_.erase(std::unique(dirtyRacers_.begin(), dirtyRacers_.end()), dirtyRacers_.end());
    }
    // In first-lane order, as a whole rebuild meets them (only a class's order matters).
    bulk_ = full;
    for (std::int32_t number : dirtyRacers_) rebuildRacerEntries(number);
    dirtyRacers_.clear();
    if (bulk_) // in order already when the racers came in first-lane order
        for (auto& [c, cls] : classes_)
            if (!std::is_sorted(cls.order.begin(), cls.order.end())) std::sort(cls.order.begin(), cls.order.end());
    bulk_ = false;
}

// The rebuild before last, when nobody holds it any more, lends its lists and buffers.
std::shared_ptr<TDragResultsView> DragResultsModel::takeSpare(bool full) {
    std::shared_ptr<TDragResultsView> spare;
    if (spare_ && spare_.use_count() == 1 && !full) {
        std::atomic_thread_fence(std::memory_order_acquire); // after the last reader let it go
        spare = std::move(spare_);
    }
    spare_.reset();
    return spare;
}

// Each class's results and qualification lists of the view; the most attempts of a racer.
std::int32_t DragResultsModel::writeClassLists(TDragResultsView& view, TDragResultsView* spare) {
    const std::uint64_t spareGeneration = generation_ - 2;
    std::int32_t maxAttempts = 0;
    for (const auto& entry : classes_) {
        // Named references, not a structured binding: the lambdas below capture the class.
        const std::int32_t c = entry.first;
        const auto& cls = entry.second;
        maxAttempts = std::max(maxAttempts, cls.maxAttempts);
        std::vector<TDragResult>& results =
            view.resultsByClass.emplace_hint(view.resultsByClass.end(), c, std::vector<TDragResult>{})->second;
        std::vector<TDragResult>& qualList =
            view.qualByClass.emplace_hint(view.qualByClass.end(), c, std::vector<TDragResult>{})->second;
        // The rebuild before last, when it is free, gives its lists: as they are when the
        // class has not changed since, else as buffers written over element by element
        // (their attempts keep their room: no allocation per racer).
        auto sr = spare ? spare->resultsByClass.find(c) : std::map<std::int32_t, std::vector<TDragResult>>::iterator{};
        auto sq = spare ? spare->qualByClass.find(c) : std::map<std::int32_t, std::vector<TDragResult>>::iterator{};
        const bool spareLists = spare && sr != spare->resultsByClass.end() && sq != spare->qualByClass.end();
        if (spareLists) {
            results = std::move(sr->second);
            qualList = std::move(sq->second);
        }
        // Written over, each result keeps room for the class's most attempts: a racer
        // taking the place of one with fewer attempts needs no new allocation.
        const auto room = spareLists ? static_cast<std::size_t>(cls.maxAttempts) : 0;
        // `source(i)`: the i-th result and its attempts (the result's own, or the entry's
        // kept apart when its own list is empty).
        const auto put = [room](std::vector<TDragResult>& list, std::size_t count, const auto& source) {
            list.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                TDragResult& r = list[i];
                if (r.attempts.capacity() < room) r.attempts.reserve(room);
                const auto [from, attempts] = source(i);
                r = from;
                if (from.attempts.empty()) r.attempts.assign(attempts.begin(), attempts.end());
            }
        };
        using Source = std::pair<const TDragResult&, std::span<const TDragAttempt>>;
        if (cls.changedAt < generation_) {
            if (spareLists && cls.changedAt <= spareGeneration) continue; // unchanged since
            const std::vector<TDragResult>& lastResults = last_->resultsByClass.at(c);
            const std::vector<TDragResult>& lastQual = last_->qualByClass.at(c);
            put(results, lastResults.size(), [&](std::size_t i) { return Source{lastResults[i], {}}; });
            put(qualList, lastQual.size(), [&](std::size_t i) { return Source{lastQual[i], {}}; });
            continue;
        }
        put(results, cls.standings.size(), [&](std::size_t i) {
            return Source{*cls.standings[i].result, attemptsOf(cls.standings[i])};
        });
        put(qualList, cls.qualOrder.size(), [&](std::size_t i) {
            return Source{cls.qualOrder[i]->qual, attemptsOf(cls.qualOrder[i]->qualAttempts)};
        });
    }
    return maxAttempts;
}

} // namespace velmaro
