// Lap results on the main thread: what a change hands to the lap results worker, the
// finished build taken back, the rebuild at once, the gathering that the split into
// classes uses, and the debounce used without a worker.
#include "core/lap/lap_results.h"

#include <algorithm>
#include <map>

#include "core/lap/lap_results_model.h"
#include "core/lap/lap_results_worker.h"
#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"

namespace velmaro {

ResultsTable LapResultsTable::toResultsTable() const {
    ResultsTable t;
    t.columnWidths = columnWidths;
    for (int row = 0; row < rowCount(); ++row) {
        const auto first = texts.begin() + static_cast<std::ptrdiff_t>(row) * columnCount();
        t.cells.emplace_back(first, first + columnCount());
    }
    return t;
}

namespace {

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

} // namespace

std::string formatResultTime(int32_t ms) {
    std::string out;
    appendResultTime(out, ms);
    return out;
}

void computeLapTotals(std::vector<std::unique_ptr<TLapResult>>& results, const TLapRankOptions& options) {
    for (auto& rp : results) {
        TLapResult& r = *rp;
        r.sum = 0;
        r.penaltySum = 0;
        r.lapCount = 0;
        int32_t cleanKey = 0;
        int32_t dirtyKey = 0;
        for (size_t i = 0; i < r.events.size(); ++i) {
            TRaceItem& e = *r.events[i];
            e.penaltyLapCarry = 0;
            const bool isLap = e.kind == TRaceItem::LAP;
            if (isLap) {
                r.sum = wrapAdd(r.sum, options.clearTime ? e.lap : e.fromStart);
                r.penaltySum = wrapAdd(r.penaltySum, e.penalty);
                ++r.lapCount;
            }
            if (i == 0) {
                r.bestClean = &e;
                r.bestFromStart = &e;
                cleanKey = e.lap;
                dirtyKey = e.fromStart;
            }
            if (e.kind == TRaceItem::FAIL) {
                if (r.bestClean->kind != TRaceItem::LAP) r.bestClean = &e;
                if (r.bestFromStart->kind != TRaceItem::LAP) r.bestFromStart = &e;
            }
            if (isLap && i > 0) {
                for (size_t k = i; k-- > 0;) {
                    const TRaceItem& p = *r.events[k];
                    if (p.kind == TRaceItem::LAP) break;
                    if (p.kind == TRaceItem::PLAP) e.penaltyLapCarry = wrapAdd(e.penaltyLapCarry, p.penalty);
                }
            }
            if (isLap && e.lap != 0 && wrapAdd(e.lap, e.penaltyLapCarry) < cleanKey) {
                r.bestClean = &e;
                cleanKey = wrapAdd(e.lap, e.penaltyLapCarry);
            }
            if (isLap && e.fromStart != 0 && wrapAdd(e.fromStart, e.penaltyLapCarry) < dirtyKey) {
                r.bestFromStart = &e;
                dirtyKey = wrapAdd(e.fromStart, e.penaltyLapCarry);
            }
        }
    }
}

namespace {

int sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

LapRankKey rankKey(const TLapResult& r, const TLapRankOptions& o) {
    const TRaceItem& best = o.clearTime ? *r.bestClean : *r.bestFromStart;
    return LapRankKey{r.lapCount, r.sum, best.kind, best.lap, best.fromStart, best.penaltyLapCarry};
}

int compareWithinClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& o) {
    return compareLapRankKeys(rankKey(a, o), rankKey(b, o), o);
}

} // namespace

int compareLapRankKeys(const LapRankKey& a, const LapRankKey& b, const TLapRankOptions& o) {
    if (o.sumTime) {
        if (a.lapCount != b.lapCount) return a.lapCount > b.lapCount ? -1 : 1;
        return sign(static_cast<int64_t>(a.sum) - b.sum);
    }
    const bool aFail = a.bestKind == TRaceItem::FAIL;
    const bool bFail = b.bestKind == TRaceItem::FAIL;
    if (aFail || bFail) return aFail == bFail ? 0 : (aFail ? 1 : -1);
    const int32_t av = o.clearTime ? a.bestLap : a.bestFromStart;
    const int32_t bv = o.clearTime ? b.bestLap : b.bestFromStart;
    if ((av == 0) != (bv == 0)) return av == 0 ? 1 : -1;
    if (o.clearTime) return sign(static_cast<int64_t>(av) - bv);
    return sign(static_cast<int64_t>(wrapAdd(a.bestFromStart, a.bestCarry)) - wrapAdd(b.bestFromStart, b.bestCarry));
}

int compareLapResultsByClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options) {
    if (a.classPosition != b.classPosition) return a.classPosition < b.classPosition ? -1 : 1;
    return compareWithinClass(a, b, options);
}

int compareLapResults(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options) {
    return compareWithinClass(a, b, options);
}

void LapTiming::collectLapResults(const TLapRankOptions& options) {
    owner_.assertOwner();
    std::vector<std::unique_ptr<TLapResult>>& results = results_.results;
    results.clear();
    if (!raceItems_) return;
    LapRegistry* reg = host_.registry();
    std::vector<LapClassInfo> classes = reg ? reg->classes() : std::vector<LapClassInfo>{};
    std::map<std::pair<uint32_t, int32_t>, TLapResult*> byRacer;
    const TRaceItemList& list = *raceItems_;
    for (size_t i = 0; i < list.size(); ++i) {
        TRaceItem& e = *list[i];
        if (e.racer == 0) continue;
        if (e.kind != TRaceItem::LAP && e.kind != TRaceItem::PLAP && e.kind != TRaceItem::FAIL) continue;
        if (e.kind != TRaceItem::FAIL && e.lap == 0 && e.fromStart == 0) continue;
        TLapResult*& r = byRacer[{e.racer, e.classId}];
        if (!r) {
            auto made = std::make_unique<TLapResult>();
            made->racerNumber = e.racer;
            made->classId = e.classId;
            if (reg) {
                if (std::optional<LapRacerInfo> racer = reg->findRacer(e.racer)) {
                    made->racerRegistered = true;
                    made->name = racer->name;
                    made->city = racer->city;
                    made->team = racer->team;
                    made->carModel = racer->carModel;
                }
            }
            made->classPosition = static_cast<int>(classes.size());
            for (size_t k = 0; k < classes.size(); ++k)
                if (classes[k].id == e.classId) made->classPosition = static_cast<int>(k); // the later of equal ids
            r = made.get();
            results.push_back(std::move(made));
        }
        r->current |= e.current;
        r->events.push_back(&e);
        r->eventIndexes.push_back(static_cast<int>(i));
        r->eventCount = static_cast<int32_t>(r->events.size());
    }
    computeLapTotals(results, options);
}

LapResultsChange LapTiming::baseChange(LapResultsChange::Kind kind) const {
    LapResultsChange c;
    c.kind = kind;
    c.enabled = isSingleLaneMode(host_.raceMode()) && raceItems_ && host_.resultsWindowExists();
    if (!c.enabled) return c;
    c.options = TLapRankOptions{host_.clearTime(), host_.sumTime()};
    auto view = std::make_shared<LapRegistryView>();
    if (LapRegistry* reg = host_.registry()) {
        view->classes = reg->classes();
        view->racers = reg->racers();
    }
    c.registry = std::move(view);
    c.tableFile = programFolder() / "www" / "table.html";
    return c;
}

LapResultsChange LapTiming::wholeLapResultsChange() const {
    owner_.assertOwner();
    LapResultsChange c = baseChange(LapResultsChange::Kind::Whole);
    if (!c.enabled) return c;
    const TRaceItemList& list = *raceItems_;
    for (size_t i = 0; i < list.size(); ++i)
        if (countsForLapResults(*list[i])) c.events.push_back(lapEventValue(*list[i], static_cast<int32_t>(i)));
    return c;
}

void LapTiming::scheduleLapResultsAfterAppend(const std::vector<size_t>& flagged) {
    LapResultsWorker* worker = host_.lapResultsWorker();
    if (!worker || worker != results_.syncedWorker || !raceItems_ || raceItems_->empty()) {
        scheduleLapResults();
        return;
    }
    LapResultsChange c = baseChange(LapResultsChange::Kind::Append);
    if (!c.enabled) {
        results_.syncedWorker = nullptr;
        worker->notify(std::move(c));
        return;
    }
    const TRaceItemList& list = *raceItems_;
    const size_t last = list.size() - 1;
    if (countsForLapResults(*list[last])) c.events.push_back(lapEventValue(*list[last], static_cast<int32_t>(last)));
    for (size_t index : flagged) {
        const TRaceItem& e = *list[index];
        if (index != last && countsForLapResults(e))
            c.currentFlags.push_back({static_cast<int32_t>(index), e.racer, e.classId, e.current});
    }
    worker->notify(std::move(c));
}

void LapTiming::applyLapResults(LapResultsOutput output) {
    owner_.assertOwner();
    if (!isSingleLaneMode(host_.raceMode()) || !raceItems_) return;
    if (LapRegistry* reg = host_.registry()) {
        reg->clearClassResults();
        for (const auto& [classId, number] : output.classResults) reg->appendClassResult(classId, number);
    }
    results_.table = std::move(output.table);
    host_.showLapResults(results_.table);
}

void LapTiming::buildLapResults() {
    LapResultsChange change = wholeLapResultsChange();
    if (!change.enabled) return;
    LapResultsModel model;
    model.apply(std::move(change));
    std::optional<LapResultsOutput> out = model.build();
    if (!out) return;
    std::error_code ec;
    std::filesystem::create_directories(out->tableFile.parent_path(), ec);
    (void)writeFileAtomic(out->tableFile, out->html);
    applyLapResults(std::move(*out));
}

// ---- hand-over

void LapTiming::scheduleLapResults() {
    owner_.assertOwner();
    if (LapResultsWorker* worker = host_.lapResultsWorker()) {
        LapResultsChange c = wholeLapResultsChange();
        results_.syncedWorker = c.enabled ? worker : nullptr;
        worker->notify(std::move(c));
    }
}

} // namespace velmaro
