// Hit intake of the single-lane modes, the queues of racers on the course, START and
// NEXT, and the scoreboard output of new laps.
#include <algorithm>
#include <cstdio>

#include "core/app/scoreboard_controller.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_events.h"
#include "core/lap/lap_internal.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"

namespace velmaro {

int gLapStartState = 0;
int gPendingRacer = 0;
int gPendingClass = -1;
std::vector<TRaceItem*> gCourseQueue;
std::vector<TRaceItem*> gFinishQueue;
int gCntOnLane = 0;

namespace {

bool sameRacer(const TRaceItem& a, const TRaceItem& b) { return a.racer == b.racer && a.classId == b.classId; }
bool isStart(const TRaceItem& e) { return e.kind == TRaceItem::STSIG || e.kind == TRaceItem::FRST; }
bool isLapKind(const TRaceItem& e) { return e.kind == TRaceItem::LAP || e.kind == TRaceItem::PLAP; }

TRaceItemList& items() {
    ensureRaceItems();
    return *gRaceItems;
}

int eventCount() { return gRaceItems ? static_cast<int>(gRaceItems->size()) : 0; }

// What the intake keeps of the end of the list, so that a hit does not walk back over
// the whole event: the newest event that is neither a lap nor a retirement (the newest
// start of the course group), the retirements after it, and how far the mode-4 finish
// queue has been folded in, all as of the first `scanned` events. Appending events only
// moves it on; every other change drops it (forgetLapTail), and the next hit walks the
// list once more.
struct LapTail {
    static constexpr size_t kNone = static_cast<size_t>(-1);
    bool valid = false;
    size_t scanned = 0;
    const TRaceItem* lastScanned = nullptr;
    size_t boundary = kNone;
    const TRaceItem* boundaryItem = nullptr;
    std::vector<const TRaceItem*> failsAfter; // retirements after the boundary, oldest first
    bool finishValid = false;                 // gFinishQueue holds the first finishScanned events
    size_t finishScanned = 0;
    const TRaceItem* finishLast = nullptr;
};
LapTail gTail;

bool tailBoundaryKind(const TRaceItem& e) { return !isLapKind(e) && e.kind != TRaceItem::FAIL; }

// The list still begins with what was scanned (an event appended since is fine).
bool prefixKept(size_t count, const TRaceItem* last) {
    if (!gRaceItems || count > gRaceItems->size()) return false;
    return count == 0 || (*gRaceItems)[count - 1].get() == last;
}

// Brings the kept boundary up to the end of the list.
void advanceTail() {
    const TRaceItemList& list = *gRaceItems;
    const bool kept = gTail.valid && prefixKept(gTail.scanned, gTail.lastScanned) &&
                      (gTail.boundary == LapTail::kNone || list[gTail.boundary].get() == gTail.boundaryItem);
    if (!kept) { // walked once more from the start
        gTail.valid = true;
        gTail.scanned = 0;
        gTail.boundary = LapTail::kNone;
        gTail.failsAfter.clear();
    }
    for (size_t i = gTail.scanned; i < list.size(); ++i) {
        const TRaceItem& e = *list[i];
        if (tailBoundaryKind(e)) {
            gTail.boundary = i;
            gTail.failsAfter.clear();
        } else if (e.kind == TRaceItem::FAIL) {
            gTail.failsAfter.push_back(&e);
        }
    }
    gTail.scanned = list.size();
    gTail.boundaryItem = gTail.boundary == LapTail::kNone ? nullptr : list[gTail.boundary].get();
    gTail.lastScanned = list.empty() ? nullptr : list.back().get();
}

// The starts of the newest group of starters, newest first: from the newest start back
// to the lap crossing before it. Retirements are passed over, never taken as a start.
// `kept`: take the newest start from what the intake keeps instead of walking back.
std::vector<TRaceItem*> courseGroup(bool kept = false) {
    std::vector<TRaceItem*> group;
    if (!gRaceItems) return group;
    const TRaceItemList& list = *gRaceItems;
    size_t from = list.size();
    if (kept) {
        advanceTail();
        from = gTail.boundary;
    } else {
        while (from-- > 0)
            if (tailBoundaryKind(*list[from])) break;
    }
    if (from == static_cast<size_t>(-1)) return group;
    for (size_t i = from + 1; i-- > 0;) {
        TRaceItem& e = *list[i];
        if (isStart(e)) group.push_back(&e);
        if (isLapKind(e)) break;
    }
    return group;
}

// The starts of the group whose racer did not retire after them. The list is in time
// order, so the retirements later than a start all lie after the oldest start.
// `kept`: the group came from what the intake keeps (courseGroup(true)).
std::vector<TRaceItem*> stillOnCourse(const std::vector<TRaceItem*>& group, bool kept = false) {
    std::vector<TRaceItem*> q;
    if (group.empty()) return q;
    uint64_t oldest = group.front()->time;
    for (const TRaceItem* s : group) oldest = std::min(oldest, s->time);
    std::vector<const TRaceItem*> retirements;
    // The retirements later than the oldest start: those after the group's newest start
    // are kept by the intake; before it only the group itself is walked.
    size_t walkFrom = gRaceItems->size();
    if (kept) {
        for (const TRaceItem* f : gTail.failsAfter)
            if (f->time > oldest) retirements.push_back(f);
        walkFrom = gTail.boundary + 1;
    }
    for (size_t i = walkFrom; i-- > 0;) {
        const TRaceItem& e = *(*gRaceItems)[i];
        if (e.time <= oldest) break;
        if (e.kind == TRaceItem::FAIL) retirements.push_back(&e);
    }
    for (TRaceItem* s : group) {
        const bool retired = std::any_of(retirements.begin(), retirements.end(), [&](const TRaceItem* f) {
            return f->time > s->time && sameRacer(*f, *s);
        });
        if (!retired) q.push_back(s);
    }
    return q;
}

// Folds one event into the finish queue: a start joins it, a lap or retirement takes the
// racer's oldest start out.
void foldIntoFinishQueue(TRaceItem& e) {
    if (isStart(e)) {
        gFinishQueue.push_back(&e);
    } else if (e.kind == TRaceItem::LAP || e.kind == TRaceItem::FAIL) {
        auto it = std::find_if(gFinishQueue.begin(), gFinishQueue.end(),
                               [&](const TRaceItem* s) { return sameRacer(*s, e); });
        if (it != gFinishQueue.end()) gFinishQueue.erase(it);
    }
}

void finishQueueCounted() {
    lapHost().setOnCourseListCount(static_cast<int>(gFinishQueue.size()));
    gCntOnLane = static_cast<int>(gFinishQueue.size());
}

// rebuildFinishQueue for the intake: only the events appended since the last time.
void advanceFinishQueue() {
    if (!gTail.finishValid || !prefixKept(gTail.finishScanned, gTail.finishLast)) {
        rebuildFinishQueue();
        return;
    }
    const TRaceItemList& list = *gRaceItems;
    for (size_t i = gTail.finishScanned; i < list.size(); ++i) foldIntoFinishQueue(*list[i]);
    gTail.finishScanned = list.size();
    gTail.finishLast = list.empty() ? nullptr : list.back().get();
    finishQueueCounted();
}

// rebuildCourseQueue for the intake.
void advanceCourseQueue() {
    if (lapMode() == 4) {
        advanceFinishQueue();
        return;
    }
    gCourseQueue = stillOnCourse(courseGroup(true), true);
    gCntOnLane = static_cast<int>(gCourseQueue.size());
}

void takeRacerOf(TRaceItem& e, const TRaceItem* from) {
    e.racer = from ? from->racer : 0;
    e.classId = from ? from->classId : -1;
}

int32_t scoreboardTime(const TRaceItem& e) { return lapHost().showDirtyTime() ? e.fromStart : e.lap; }

void showNewLap(int mode) {
    TScoreboardController* sb = lapHost().scoreboard();
    if (!sb || !gRaceItems || gRaceItems->empty()) return;
    const TRaceItemList& list = *gRaceItems;
    const TRaceItem& newest = *list.back();
    if (mode == 1) {
        int type = sb->getType();
        std::vector<const TRaceItem*> shown{&newest};
        if (type == 142 || type == 153) {
            sb->reset(0);
        } else if (list.size() >= 2 && list[list.size() - 2]->kind == TRaceItem::LAP) {
            shown.push_back(list[list.size() - 2].get());
        }
        if (sb->getType() == 156) {
            sb->showResult(1, 1, static_cast<int>(newest.racer), scoreboardTime(newest), 0, 0, 0, 0);
        } else {
            bool dirty = lapHost().showDirtyTime();
            std::stable_sort(shown.begin(), shown.end(), [dirty](const TRaceItem* a, const TRaceItem* b) {
                return dirty ? lessRaceItemFromStart(a, b) : lessRaceItemLap(a, b);
            });
            for (size_t i = 0; i < shown.size(); ++i)
                sb->showResult(1, static_cast<int>(i) + 1, static_cast<int>(shown[i]->racer), scoreboardTime(*shown[i]),
                               0, 0, 0, 0);
        }
        switch (sb->getType()) {
        case 122: break;
        case 118: sb->setDisplayState(0, 3); break;
        case 132:
            sb->showResult(1, 1, static_cast<int>(newest.racer), scoreboardTime(newest), 0, 0, 0, 0);
            sb->setDisplayState(0, -1);
            break;
        default: sb->setDisplayState(0, 0); break;
        }
    } else if (mode == 4) {
        if (sb->getType() == 117) return;
        sb->showResult(1, 1, static_cast<int>(newest.racer), scoreboardTime(newest), 0, 0, 0, 0);
        int type = sb->getType();
        if (type == 122) return;
        sb->setDisplayState(0, type == 132 ? -1 : 0);
    }
}

// The kind of a hit; nullopt when it is ignored. Moves the start state.
std::optional<uint32_t> hitKind(int mode, int signal) {
    if (signal == 6) {
        gLapStartState = 2;
        return TRaceItem::STSIG;
    }
    bool line = mode == 6 ? (signal >= 0 && signal < 100 && signal != 15)
                          : (signal == 0 || signal == 2 || signal == 7 || signal == 8);
    if (!line) return std::nullopt;
    // Mode 4 reaches here only with the finish gate (the start gates are decided by the caller).
    if (mode == 4) return TRaceItem::LAP;
    uint32_t kind = gLapStartState == 1 ? TRaceItem::FRST : gLapStartState == 2 ? TRaceItem::STLIN : TRaceItem::LAP;
    gLapStartState = 0;
    return kind;
}

// The queue commands of the intake; `kept`: from what the intake keeps of the list.
void assignFromCourse(int index, bool kept);
void assignFromFinish(int index, bool kept);

int processHit(int mode, int node, int signal, uint64_t time, int racer, int classId) {
    ensureRaceItems();
    LapHost& host = lapHost();
    if (host.blockStDown() && !(mode == 4 && node == kNodeFinish && racer != 0)) return 0;

    std::optional<uint32_t> kind;
    if (mode == 4 && signal != 6 && (signal == 0 || signal == 2 || signal == 7 || signal == 8) &&
        (node == kNodeStart || node == kNodeStart2)) {
        // A start gate: FRST or STLIN depending on the start state and a start signal near it.
        if (gLapStartState == 2) {
            kind = TRaceItem::STLIN;
        } else if (gLapStartState == 1 || racer != 0) {
            kind = hasKindWithin(TRaceItem::STSIG, time, 5000) ? TRaceItem::STLIN : TRaceItem::FRST;
        } else {
            return 0;
        }
        gLapStartState = 0;
    } else {
        kind = hitKind(mode, signal);
    }
    if (!kind) return 0;
    if (isDuplicateRaceItem(*kind, time)) return 1;

    auto item = std::make_unique<TRaceItem>();
    item->racer = static_cast<uint32_t>(racer);
    item->kind = *kind;
    item->time = time;
    item->classId = classId;
    const int index = insertRaceItem(std::move(item));
    host.setGridRowCount(eventCount() + 1);
    TRaceItem& e = *(*gRaceItems)[static_cast<size_t>(index)];
    const bool noRacer = racer == 0;

    // The pending racer.
    if (mode == 1) {
        if (e.kind == TRaceItem::STLIN) {
            if (noRacer) {
                applyRaceItemRacer(index, gPendingRacer, gPendingClass);
                gPendingRacer = 0;
            }
        } else if (isStart(e) && noRacer) {
            applyRaceItemRacer(index, gPendingRacer, gPendingClass);
        }
    } else if (mode == 4) {
        if (e.kind == TRaceItem::STLIN) {
            if (noRacer) applyRaceItemRacer(index, gPendingRacer, gPendingClass);
            gPendingRacer = 0;
        } else if (isStart(e)) {
            if (noRacer) applyRaceItemRacer(index, gPendingRacer, gPendingClass);
            if (gLapStartState != 2) gPendingRacer = 0;
        }
    } else if (mode == 6 && isStart(e)) {
        e.racer = static_cast<uint32_t>(gPendingRacer);
        e.classId = gPendingClass;
        if (noRacer) applyRaceItemRacer(index, gPendingRacer, gPendingClass);
        gPendingRacer = 0;
    }

    // Queue work.
    switch (e.kind) {
    case TRaceItem::STSIG:
        advanceCourseQueue();
        if (mode != 6) pairSignalWithNextLine(index);
        break;
    case TRaceItem::FRST:
        advanceCourseQueue();
        break;
    case TRaceItem::LAP:
        if (mode == 1) {
            if (noRacer) assignFromCourse(index, true);
            else advanceCourseQueue();
        } else if (mode == 4) {
            if (noRacer && !host.transpondersInUse()) assignFromFinish(index, true);
            else advanceFinishQueue();
        } else if (noRacer) {
            assignFromPreviousEvent(index);
        }
        break;
    case TRaceItem::STLIN:
        if (mode == 6 || gPendingRacer == 0) pairLineWithNextSignal(index);
        break;
    default: break;
    }

    // A hit at the end of the list (the usual case) changes only itself and the current
    // flags: recalculated, handed to the results and saved as that much.
    const bool appended = index == eventCount() - 1 && e.kind != TRaceItem::STSIG;
    if (appended) recalcAppendedRaceItem(*gRaceItems);
    else recalcRaceItems(*gRaceItems);
    if (e.kind == TRaceItem::LAP) showNewLap(mode);

    const int count = eventCount();
    if (!host.editingNumber() && host.gridCurrentRow() == count - 1) host.setGridCurrentRow(count);
    host.repaintGrid();
    // Once per batch of hits (see the hit intake).
    afterHits("lap_single.txt", [] { (void)saveLapSingleAfterHits(); });
    return 1;
}

void showPendingOnTextBoard(TScoreboardController& sb, bool stopTiming) {
    sb.reset(1);
    if (stopTiming) sb.stopTiming();
    sb.showText(std::to_string(gPendingRacer), 0, 3, 0, 3, 16);
}

} // namespace

// ---- helpers shared with the edits

void ensureRaceItems() {
    if (!gRaceItems) gRaceItems = std::make_unique<TRaceItemList>();
}

void releaseEvents(const std::function<void()>& free) {
    forgetMarkedRaceItems();
    forgetLapTail();
    gCourseQueue.clear();
    gFinishQueue.clear();
    gLapResults.clear();
    free();
}

void rebuildQueuesAfterFree() {
    gCourseQueue.clear();
    gFinishQueue.clear();
    if (lapMode() == 4) {
        rebuildFinishQueue();
    } else {
        rebuildCourseQueue();
        lapHost().setOnCourseListCount(0);
    }
}

int insertRaceItem(std::unique_ptr<TRaceItem> item) {
    TRaceItemList& list = items();
    auto at = std::upper_bound(list.begin(), list.end(), item->time,
                               [](uint64_t t, const std::unique_ptr<TRaceItem>& e) { return t < e->time; });
    const bool atEnd = at == list.end();
    at = list.insert(at, std::move(item));
    if (!atEnd) forgetLapTail(); // the events after it moved
    return static_cast<int>(at - list.begin());
}

void finishLapChange() {
    recalcRaceItems(items());
    lapHost().repaintGrid();
    (void)saveLapSingleReported();
}

std::optional<int32_t> pickRacerClass(const LapRacerInfo& racer) {
    std::vector<std::string> names;
    std::vector<int32_t> ids;
    if (LapRegistry* reg = lapHost().registry()) {
        std::vector<LapClassInfo> classes = reg->classes();
        for (int32_t id : racer.classIds)
            for (const LapClassInfo& c : classes)
                if (c.id == id) {
                    names.push_back(c.name + " (" + std::to_string(c.id) + ")");
                    ids.push_back(c.id);
                }
    }
    if (ids.empty()) return std::nullopt;
    int chosen = theOperator().pick("Класс участника", names);
    // The picker opens with its first item selected; closing it keeps that choice.
    if (chosen < 0 || chosen >= static_cast<int>(ids.size())) chosen = 0;
    return ids[static_cast<size_t>(chosen)];
}

void resetLapTiming() {
    releaseEvents([] { gRaceItems.reset(); });
    gLapStartState = 0;
    gPendingRacer = 0;
    gPendingClass = -1;
    gCntOnLane = 0;
    resetLapResultsState();
}

// ---- hit handlers

int processHitLapSingle(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(1, node, signal, time, racer, classId);
}
int processHitStartFinish(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(4, node, signal, time, racer, classId);
}
int processHitGymkhana(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(6, node, signal, time, racer, classId);
}

// ---- queues

void rebuildCourseQueue() {
    if (lapMode() == 4) {
        rebuildFinishQueue();
        return;
    }
    gCourseQueue = stillOnCourse(courseGroup());
    gCntOnLane = static_cast<int>(gCourseQueue.size());
}

void rebuildFinishQueue() {
    gFinishQueue.clear();
    gTail.finishValid = gRaceItems != nullptr;
    gTail.finishScanned = 0;
    gTail.finishLast = nullptr;
    if (gRaceItems) {
        for (const auto& p : *gRaceItems) foldIntoFinishQueue(*p);
        gTail.finishScanned = gRaceItems->size();
        gTail.finishLast = gRaceItems->empty() ? nullptr : gRaceItems->back().get();
    }
    finishQueueCounted();
}

void forgetLapTail() { gTail = LapTail{}; }

namespace {

void assignFromCourse(int index, bool kept) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    const std::vector<TRaceItem*> group = courseGroup(kept); // every start of the group, newest first
    const std::vector<TRaceItem*> onCourse = stillOnCourse(group, kept);
    auto isOnCourse = [&](const TRaceItem* s) {
        return std::find(onCourse.begin(), onCourse.end(), s) != onCourse.end();
    };
    for (int i = index - 1; i >= 0; --i) {
        const TRaceItem& p = *(*gRaceItems)[static_cast<size_t>(i)];
        if (isLapKind(p)) {
            // The racer who started after the one who made the previous lap; after the
            // newest start comes the oldest again. Retired racers are passed.
            int found = -1;
            for (int k = static_cast<int>(group.size()) - 1; k >= 0; --k)
                if (sameRacer(*group[static_cast<size_t>(k)], p)) { found = k; break; }
            if (found < 0) { takeRacerOf(*e, nullptr); return; }
            const int n = static_cast<int>(group.size());
            for (int step = 1; step <= n; ++step) {
                const TRaceItem* s = group[static_cast<size_t>(((found - step) % n + n) % n)];
                if (isOnCourse(s)) { takeRacerOf(*e, s); return; }
            }
            takeRacerOf(*e, nullptr);
            return;
        }
        if (p.kind == TRaceItem::FAIL) continue;
        if (!onCourse.empty()) {
            takeRacerOf(*e, onCourse.back());
            return;
        }
    }
}

void assignFromFinish(int index, bool kept) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    takeRacerOf(*e, gFinishQueue.empty() ? nullptr : gFinishQueue.front());
    if (kept) advanceFinishQueue();
    else rebuildFinishQueue();
}

} // namespace

void assignFromCourseQueue(int index) { assignFromCourse(index, false); }
void assignFromFinishQueue(int index) { assignFromFinish(index, false); }

void assignFromPreviousEvent(int index) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    takeRacerOf(*e, getRaceItem(index - 1));
}

void pairSignalWithNextLine(int index) {
    TRaceItem* signal = getRaceItem(index);
    TRaceItem* next = getRaceItem(index + 1);
    if (signal && next && next->kind == TRaceItem::STLIN && next->racer == 0) takeRacerOf(*signal, next);
}

void pairLineWithNextSignal(int index) {
    TRaceItem* line = getRaceItem(index);
    TRaceItem* next = getRaceItem(index + 1);
    if (line && next && next->kind == TRaceItem::STSIG) takeRacerOf(*line, next);
}

// ---- START and NEXT

int askLapRacerNumber(int number) {
    gPendingRacer = 0;
    gPendingClass = -1;
    if (number == 0) {
        std::string text;
        if (!theOperator().inputQuery("Задать номер", "Номер", text)) return -1;
        number = static_cast<int>(parseIntegerInRange(text, 0, 2147483647).value_or(0));
    }
    if (LapRegistry* reg = lapHost().registry()) {
        if (std::optional<LapRacerInfo> racer = reg->findRacer(static_cast<uint32_t>(number))) {
            if (racer->classIds.size() == 1) {
                gPendingClass = racer->classIds.front();
            } else if (racer->classIds.size() >= 2) {
                if (std::optional<int32_t> id = pickRacerClass(*racer)) gPendingClass = *id;
            }
        }
    }
    gPendingRacer = number;
    return 0;
}

void lapNext(int number) {
    gLapStartState = 1;
    gPendingRacer = 0;
    (void)askLapRacerNumber(number);
    TScoreboardController* sb = lapHost().scoreboard();
    if (gPendingRacer == 0 || !sb) return;
    switch (sb->getType()) {
    case 120: showPendingOnTextBoard(*sb, true); break;
    case 122: showPendingOnTextBoard(*sb, false); break;
    case 117:
    case 118: break;
    default:
        sb->reset(1);
        sb->showResult(1, 1, gPendingRacer, 0, 0, 0, 0, 0);
        sb->setDisplayState(0, 2);
        break;
    }
}

int lapStart(int number) {
    gLapStartState = 2;
    if (number != 0 && number != gPendingRacer) {
        // A racer reported at the start line brings his own (first) class.
        gPendingClass = -1;
        if (LapRegistry* reg = lapHost().registry())
            if (auto racer = reg->findRacer(static_cast<uint32_t>(number)); racer && !racer->classIds.empty())
                gPendingClass = racer->classIds.front();
        gPendingRacer = number;
    }
    if (gPendingRacer == 0) {
        if (askLapRacerNumber(number) == -1) return -1;
        TScoreboardController* sb = lapHost().scoreboard();
        if (sb && sb->getType() == 120) showPendingOnTextBoard(*sb, true);
    }
    TScoreboardController* sb = lapHost().scoreboard();
    if (sb) {
        int type = sb->getType();
        if (type == 120 || type == 122) sb->startTiming();
    }
    return 0;
}

void applyRaceItemRacer(int index, int racer, int classId) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    e->racer = static_cast<uint32_t>(racer);
    e->classId = classId;
    if (classId == -2) {
        e->classId = -1; // a class that cannot be read is no class, never the "ask" marker
        LapRegistry* reg = lapHost().registry();
        std::optional<LapRacerInfo> found;
        if (reg) {
            for (const LapRacerInfo& r : reg->racers())
                if (r.number == static_cast<uint32_t>(racer)) { found = r; break; }
        }
        if (found) {
            if (found->classIds.size() == 1) e->classId = found->classIds.front();
            else if (found->classIds.size() >= 2) e->classId = pickRacerClass(*found).value_or(-1);
        }
    }
    if (e->kind == TRaceItem::STSIG) {
        TRaceItem* next = getRaceItem(index + 1);
        if (next && (next->kind == TRaceItem::STLIN || next->kind == TRaceItem::FRST)) {
            next->racer = e->racer;
            next->classId = e->classId;
            next->kind = TRaceItem::STLIN;
        }
    }
    // An event before the newest changed (this one, or the one after it above).
    if (static_cast<size_t>(index) + 1 != gRaceItems->size()) forgetLapTail();
}

void setRaceItemRacer(int index, int racer, int classId) {
    if (!getRaceItem(index)) return;
    applyRaceItemRacer(index, racer, classId);
    if (lapMode() == 4) rebuildFinishQueue();
    finishLapChange();
}

// ---- scoreboard texts

std::string formatLapTime(int32_t ms) {
    int64_t v = ms;
    bool negative = v < 0;
    if (negative) v = -v;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%d:%02d.%03d", negative ? "-" : "", static_cast<int>(v / 60000),
                  static_cast<int>(v % 60000 / 1000), static_cast<int>(v % 1000));
    return buf;
}

bool lessRaceItemLap(const TRaceItem* a, const TRaceItem* b) { return a->lap < b->lap; }
bool lessRaceItemFromStart(const TRaceItem* a, const TRaceItem* b) { return a->fromStart < b->fromStart; }

void showLastLapsOnScoreboard() {
    TScoreboardController* sb = lapHost().scoreboard();
    if (!sb || sb->getType() != 117) return;
    std::vector<const TRaceItem*> laps;
    if (gRaceItems)
        for (size_t i = gRaceItems->size(); i-- > 0 && laps.size() < 5;)
            if ((*gRaceItems)[i]->kind == TRaceItem::LAP) laps.push_back((*gRaceItems)[i].get());
    const bool dirty = lapHost().showDirtyTime();
    std::string text;
    for (size_t i = 0; i < 5; ++i) {
        if (i < laps.size()) {
            char num[32];
            std::snprintf(num, sizeof num, "%2d ", static_cast<int>(laps[i]->racer));
            text += num;
            text += formatLapTime(dirty ? laps[i]->fromStart : laps[i]->lap);
            text += " \r\n";
        } else {
            text += std::string(13, ' ') + "\r\n";
        }
    }
    sb->showText(text, 0, 0, 0, 3, 13);
}

} // namespace velmaro
