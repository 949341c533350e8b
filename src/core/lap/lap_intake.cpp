// Hit intake of the single-lane modes, the queues of racers on the course, START and
// NEXT, and the scoreboard output of new laps.
#include <algorithm>
#include <cstdio>

#include "core/app/scoreboard_controller.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_timing.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"

namespace velmaro {

namespace {

bool sameRacer(const TRaceItem& a, const TRaceItem& b) { return a.racer == b.racer && a.classId == b.classId; }
bool isStart(const TRaceItem& e) { return e.kind == TRaceItem::STSIG || e.kind == TRaceItem::FRST; }
bool isLapKind(const TRaceItem& e) { return e.kind == TRaceItem::LAP || e.kind == TRaceItem::PLAP; }

bool tailBoundaryKind(const TRaceItem& e) { return !isLapKind(e) && e.kind != TRaceItem::FAIL; }

void takeRacerOf(TRaceItem& e, const TRaceItem* from) {
    e.racer = from ? from->racer : 0;
    e.classId = from ? from->classId : -1;
}

} // namespace

bool LapTiming::prefixKept(size_t count, const TRaceItem* last) const {
    if (!raceItems_ || count > raceItems_->size()) return false;
    return count == 0 || (*raceItems_)[count - 1].get() == last;
}

void LapTiming::advanceTail() {
    const TRaceItemList& list = *raceItems_;
    const bool kept = tail_.valid && prefixKept(tail_.scanned, tail_.lastScanned) &&
                      (tail_.boundary == LapTail::kNone || list[tail_.boundary].get() == tail_.boundaryItem);
    if (!kept) { // walked once more from the start
        tail_.valid = true;
        tail_.scanned = 0;
        tail_.boundary = LapTail::kNone;
        tail_.failsAfter.clear();
    }
    for (size_t i = tail_.scanned; i < list.size(); ++i) {
        const TRaceItem& e = *list[i];
        if (tailBoundaryKind(e)) {
            tail_.boundary = i;
            tail_.failsAfter.clear();
        } else if (e.kind == TRaceItem::FAIL) {
            tail_.failsAfter.push_back(&e);
        }
    }
    tail_.scanned = list.size();
    tail_.boundaryItem = tail_.boundary == LapTail::kNone ? nullptr : list[tail_.boundary].get();
    tail_.lastScanned = list.empty() ? nullptr : list.back().get();
}

// The starts of the newest group of starters, newest first: from the newest start back
// to the lap crossing before it. Retirements are passed over, never taken as a start.
// `kept`: take the newest start from what the intake keeps instead of walking back.
std::vector<TRaceItem*> LapTiming::courseGroup(bool kept) {
    std::vector<TRaceItem*> group;
    if (!raceItems_) return group;
    const TRaceItemList& list = *raceItems_;
    size_t from = list.size();
    if (kept) {
        advanceTail();
        from = tail_.boundary;
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
std::vector<TRaceItem*> LapTiming::stillOnCourse(const std::vector<TRaceItem*>& group, bool kept) const {
    std::vector<TRaceItem*> q;
    if (group.empty()) return q;
    uint64_t oldest = group.front()->time;
    for (const TRaceItem* s : group) oldest = std::min(oldest, s->time);
    std::vector<const TRaceItem*> retirements;
    // The retirements later than the oldest start: those after the group's newest start
    // are kept by the intake; before it only the group itself is walked.
    size_t walkFrom = raceItems_->size();
    if (kept) {
        for (const TRaceItem* f : tail_.failsAfter)
            if (f->time > oldest) retirements.push_back(f);
        walkFrom = tail_.boundary + 1;
    }
    for (size_t i = walkFrom; i-- > 0;) {
        const TRaceItem& e = *(*raceItems_)[i];
        if (e.time <= oldest) break;
        if (e.kind == TRaceItem::FAIL) retirements.push_back(&e);
    }
    for (TRaceItem* s : group) {
        const bool retired = std::any_of(retirements.begin(), retirements.end(),
                                         [&](const TRaceItem* f) { return f->time > s->time && sameRacer(*f, *s); });
        if (!retired) q.push_back(s);
    }
    return q;
}

// Folds one event into the finish queue: a start joins it, a lap or retirement takes the
// racer's oldest start out.
void LapTiming::foldIntoFinishQueue(TRaceItem& e) {
    if (isStart(e)) {
        finishQueue_.push_back(&e);
    } else if (e.kind == TRaceItem::LAP || e.kind == TRaceItem::FAIL) {
        auto it = std::find_if(finishQueue_.begin(), finishQueue_.end(),
                               [&](const TRaceItem* s) { return sameRacer(*s, e); });
        if (it != finishQueue_.end()) finishQueue_.erase(it);
    }
}

void LapTiming::finishQueueCounted() {
    host_.setOnCourseListCount(static_cast<int>(finishQueue_.size()));
    cntOnLane_ = static_cast<int>(finishQueue_.size());
}

// rebuildFinishQueue for the intake: only the events appended since the last time.
void LapTiming::advanceFinishQueue() {
    if (!tail_.finishValid || !prefixKept(tail_.finishScanned, tail_.finishLast)) {
        rebuildFinishQueue();
        return;
    }
    const TRaceItemList& list = *raceItems_;
    for (size_t i = tail_.finishScanned; i < list.size(); ++i) foldIntoFinishQueue(*list[i]);
    tail_.finishScanned = list.size();
    tail_.finishLast = list.empty() ? nullptr : list.back().get();
    finishQueueCounted();
}

// rebuildCourseQueue for the intake.
void LapTiming::advanceCourseQueue() {
    if (lapMode() == TimingMode::StartFinish) {
        advanceFinishQueue();
        return;
    }
    courseQueue_ = stillOnCourse(courseGroup(true), true);
    cntOnLane_ = static_cast<int>(courseQueue_.size());
}

int32_t LapTiming::scoreboardTime(const TRaceItem& e) const { return host_.showDirtyTime() ? e.fromStart : e.lap; }

void LapTiming::showNewLap(TimingMode mode) {
    TScoreboardController* sb = host_.scoreboard();
    if (!sb || !raceItems_ || raceItems_->empty()) return;
    const TRaceItemList& list = *raceItems_;
    const TRaceItem& newest = *list.back();
    if (mode == TimingMode::LapOneGate) {
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
            bool dirty = host_.showDirtyTime();
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
    } else if (mode == TimingMode::StartFinish) {
        if (sb->getType() == 117) return;
        sb->showResult(1, 1, static_cast<int>(newest.racer), scoreboardTime(newest), 0, 0, 0, 0);
        int type = sb->getType();
        if (type == 122) return;
        sb->setDisplayState(0, type == 132 ? -1 : 0);
    }
}

// The kind of a hit; nullopt when it is ignored. Moves the start state.
std::optional<uint32_t> LapTiming::hitKind(TimingMode mode, int signal) {
    if (signal == 6) {
        lapStartState_ = 2;
        return TRaceItem::STSIG;
    }
    bool line = mode == TimingMode::Gymkhana ? (signal >= 0 && signal < 100 && signal != 15)
                                             : (signal == 0 || signal == 2 || signal == 7 || signal == 8);
    if (!line) return std::nullopt;
    // Mode 4 reaches here only with the finish gate (the start gates are decided by the caller).
    if (mode == TimingMode::StartFinish) return TRaceItem::LAP;
    uint32_t kind = lapStartState_ == 1 ? TRaceItem::FRST : lapStartState_ == 2 ? TRaceItem::STLIN : TRaceItem::LAP;
    lapStartState_ = 0;
    return kind;
}

int LapTiming::processHit(TimingMode mode, int node, int signal, uint64_t time, int racer, int classId) {
    owner_.assertOwner();
    ensureRaceItems();
    if (host_.blockStDown() && !(mode == TimingMode::StartFinish && node == kNodeFinish && racer != 0)) return 0;

    std::optional<uint32_t> kind;
    if (mode == TimingMode::StartFinish && signal != 6 && (signal == 0 || signal == 2 || signal == 7 || signal == 8) &&
        (node == kNodeStart || node == kNodeStart2)) {
        // A start gate: FRST or STLIN depending on the start state and a start signal near it.
        if (lapStartState_ == 2) {
            kind = TRaceItem::STLIN;
        } else if (lapStartState_ == 1 || racer != 0) {
            kind = hasKindWithin(TRaceItem::STSIG, time, 5000) ? TRaceItem::STLIN : TRaceItem::FRST;
        } else {
            return 0;
        }
        lapStartState_ = 0;
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
    host_.setGridRowCount(eventCount() + 1);
    TRaceItem& e = *(*raceItems_)[static_cast<size_t>(index)];
    const bool noRacer = racer == 0;

    // The pending racer.
    if (mode == TimingMode::LapOneGate) {
        if (e.kind == TRaceItem::STLIN) {
            if (noRacer) {
                applyRaceItemRacer(index, pendingRacer_, pendingClass_);
                pendingRacer_ = 0;
            }
        } else if (isStart(e) && noRacer) {
            applyRaceItemRacer(index, pendingRacer_, pendingClass_);
        }
    } else if (mode == TimingMode::StartFinish) {
        if (e.kind == TRaceItem::STLIN) {
            if (noRacer) applyRaceItemRacer(index, pendingRacer_, pendingClass_);
            pendingRacer_ = 0;
        } else if (isStart(e)) {
            if (noRacer) applyRaceItemRacer(index, pendingRacer_, pendingClass_);
            if (lapStartState_ != 2) pendingRacer_ = 0;
        }
    } else if (mode == TimingMode::Gymkhana && isStart(e)) {
        e.racer = static_cast<uint32_t>(pendingRacer_);
        e.classId = pendingClass_;
        if (noRacer) applyRaceItemRacer(index, pendingRacer_, pendingClass_);
        pendingRacer_ = 0;
    }

    // Queue work.
    switch (e.kind) {
    case TRaceItem::STSIG:
        advanceCourseQueue();
        if (mode != TimingMode::Gymkhana) pairSignalWithNextLine(index);
        break;
    case TRaceItem::FRST: advanceCourseQueue(); break;
    case TRaceItem::LAP:
        if (mode == TimingMode::LapOneGate) {
            if (noRacer)
                assignFromCourse(index, true);
            else
                advanceCourseQueue();
        } else if (mode == TimingMode::StartFinish) {
            if (noRacer && !host_.transpondersInUse())
                assignFromFinish(index, true);
            else
                advanceFinishQueue();
        } else if (noRacer) {
            assignFromPreviousEvent(index);
        }
        break;
    case TRaceItem::STLIN:
        if (mode == TimingMode::Gymkhana || pendingRacer_ == 0) pairLineWithNextSignal(index);
        break;
    default: break;
    }

    // A hit at the end of the list (the usual case) changes only itself and the current
    // flags: recalculated, handed to the results and saved as that much.
    const bool appended = index == eventCount() - 1 && e.kind != TRaceItem::STSIG;
    if (appended)
        recalcAppendedRaceItem(*raceItems_);
    else
        recalcRaceItems(*raceItems_);
    if (e.kind == TRaceItem::LAP) showNewLap(mode);

    const int count = eventCount();
    if (!host_.editingNumber() && host_.gridCurrentRow() == count - 1) host_.setGridCurrentRow(count);
    host_.repaintGrid();
    // Once per batch of hits (see the hit intake), under the file's own path: another
    // lap timing's file in the same batch is written too.
    intake_.afterHits(lapFilePath("lap_single.txt").string().c_str(), [this] { (void)saveLapSingleAfterHits(); });
    return 1;
}

void LapTiming::showPendingOnTextBoard(TScoreboardController& sb, bool stopTiming) {
    sb.reset(1);
    if (stopTiming) sb.stopTiming();
    sb.showText(std::to_string(pendingRacer_), 0, 3, 0, 3, 16);
}

// ---- hit handlers

int LapTiming::processHitLapSingle(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(TimingMode::LapOneGate, node, signal, time, racer, classId);
}
int LapTiming::processHitStartFinish(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(TimingMode::StartFinish, node, signal, time, racer, classId);
}
int LapTiming::processHitGymkhana(int node, int signal, uint64_t time, int racer, int classId) {
    return processHit(TimingMode::Gymkhana, node, signal, time, racer, classId);
}

// ---- queues

void LapTiming::rebuildCourseQueue() {
    if (lapMode() == TimingMode::StartFinish) {
        rebuildFinishQueue();
        return;
    }
    courseQueue_ = stillOnCourse(courseGroup());
    cntOnLane_ = static_cast<int>(courseQueue_.size());
}

void LapTiming::rebuildFinishQueue() {
    finishQueue_.clear();
    tail_.finishValid = raceItems_ != nullptr;
    tail_.finishScanned = 0;
    tail_.finishLast = nullptr;
    if (raceItems_) {
        for (const auto& p : *raceItems_) foldIntoFinishQueue(*p);
        tail_.finishScanned = raceItems_->size();
        tail_.finishLast = raceItems_->empty() ? nullptr : raceItems_->back().get();
    }
    finishQueueCounted();
}

void LapTiming::forgetLapTail() { tail_ = LapTail{}; }

void LapTiming::assignFromCourse(int index, bool kept) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    const std::vector<TRaceItem*> group = courseGroup(kept); // every start of the group, newest first
    const std::vector<TRaceItem*> onCourse = stillOnCourse(group, kept);
    auto isOnCourse = [&](const TRaceItem* s) {
        return std::find(onCourse.begin(), onCourse.end(), s) != onCourse.end();
    };
    for (int i = index - 1; i >= 0; --i) {
        const TRaceItem& p = *(*raceItems_)[static_cast<size_t>(i)];
        if (isLapKind(p)) {
            // The racer who started after the one who made the previous lap; after the
            // newest start comes the oldest again. Retired racers are passed.
            int found = -1;
            for (int k = static_cast<int>(group.size()) - 1; k >= 0; --k)
                if (sameRacer(*group[static_cast<size_t>(k)], p)) {
                    found = k;
                    break;
                }
            if (found < 0) {
                takeRacerOf(*e, nullptr);
                return;
            }
            const int n = static_cast<int>(group.size());
            for (int step = 1; step <= n; ++step) {
                const TRaceItem* s = group[static_cast<size_t>(((found - step) % n + n) % n)];
                if (isOnCourse(s)) {
                    takeRacerOf(*e, s);
                    return;
                }
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

void LapTiming::assignFromFinish(int index, bool kept) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    takeRacerOf(*e, finishQueue_.empty() ? nullptr : finishQueue_.front());
    if (kept)
        advanceFinishQueue();
    else
        rebuildFinishQueue();
}

void LapTiming::assignFromPreviousEvent(int index) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    takeRacerOf(*e, getRaceItem(index - 1));
}

void LapTiming::pairSignalWithNextLine(int index) {
    TRaceItem* signal = getRaceItem(index);
    TRaceItem* next = getRaceItem(index + 1);
    if (signal && next && next->kind == TRaceItem::STLIN && next->racer == 0) takeRacerOf(*signal, next);
}

void LapTiming::pairLineWithNextSignal(int index) {
    TRaceItem* line = getRaceItem(index);
    TRaceItem* next = getRaceItem(index + 1);
    if (line && next && next->kind == TRaceItem::STSIG) takeRacerOf(*line, next);
}

// ---- START and NEXT

int LapTiming::askLapRacerNumber(int number) {
    pendingRacer_ = 0;
    pendingClass_ = -1;
    if (number == 0) {
        std::string text;
        if (!op_.inputQuery("Задать номер", "Номер", text)) return -1;
        number = static_cast<int>(parseIntegerInRange(text, 0, 2147483647).value_or(0));
    }
    if (LapRegistry* reg = host_.registry()) {
        if (std::optional<LapRacerInfo> racer = reg->findRacer(static_cast<uint32_t>(number))) {
            if (racer->classIds.size() == 1) {
                pendingClass_ = racer->classIds.front();
            } else if (racer->classIds.size() >= 2) {
                if (std::optional<int32_t> id = pickRacerClass(*racer)) pendingClass_ = *id;
            }
        }
    }
    pendingRacer_ = number;
    return 0;
}

void LapTiming::lapNext(int number) {
    owner_.assertOwner();
    lapStartState_ = 1;
    pendingRacer_ = 0;
    (void)askLapRacerNumber(number);
    TScoreboardController* sb = host_.scoreboard();
    if (pendingRacer_ == 0 || !sb) return;
    switch (sb->getType()) {
    case 120: showPendingOnTextBoard(*sb, true); break;
    case 122: showPendingOnTextBoard(*sb, false); break;
    case 117:
    case 118: break;
    default:
        sb->reset(1);
        sb->showResult(1, 1, pendingRacer_, 0, 0, 0, 0, 0);
        sb->setDisplayState(0, 2);
        break;
    }
}

int LapTiming::lapStart(int number) {
    owner_.assertOwner();
    lapStartState_ = 2;
    if (number != 0 && number != pendingRacer_) {
        // A racer reported at the start line brings his own (first) class.
        pendingClass_ = -1;
        if (LapRegistry* reg = host_.registry())
            if (auto racer = reg->findRacer(static_cast<uint32_t>(number)); racer && !racer->classIds.empty())
                pendingClass_ = racer->classIds.front();
        pendingRacer_ = number;
    }
    if (pendingRacer_ == 0) {
        if (askLapRacerNumber(number) == -1) return -1;
        TScoreboardController* sb = host_.scoreboard();
        if (sb && sb->getType() == 120) showPendingOnTextBoard(*sb, true);
    }
    TScoreboardController* sb = host_.scoreboard();
    if (sb) {
        int type = sb->getType();
        if (type == 120 || type == 122) sb->startTiming();
    }
    return 0;
}

void LapTiming::applyRaceItemRacer(int index, int racer, int classId) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    e->racer = static_cast<uint32_t>(racer);
    e->classId = classId;
    if (classId == -2) {
        e->classId = -1; // a class that cannot be read is no class, never the "ask" marker
        LapRegistry* reg = host_.registry();
        std::optional<LapRacerInfo> found;
        if (reg) {
            for (const LapRacerInfo& r : reg->racers())
                if (r.number == static_cast<uint32_t>(racer)) {
                    found = r;
                    break;
                }
        }
        if (found) {
            if (found->classIds.size() == 1)
                e->classId = found->classIds.front();
            else if (found->classIds.size() >= 2)
                e->classId = pickRacerClass(*found).value_or(-1);
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
    if (static_cast<size_t>(index) + 1 != raceItems_->size()) forgetLapTail();
}

void LapTiming::setRaceItemRacer(int index, int racer, int classId) {
    if (!getRaceItem(index)) return;
    applyRaceItemRacer(index, racer, classId);
    if (lapMode() == TimingMode::StartFinish) rebuildFinishQueue();
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

void LapTiming::showLastLapsOnScoreboard() {
    TScoreboardController* sb = host_.scoreboard();
    if (!sb || sb->getType() != 117) return;
    std::vector<const TRaceItem*> laps;
    if (raceItems_)
        for (size_t i = raceItems_->size(); i-- > 0 && laps.size() < 5;)
            if ((*raceItems_)[i]->kind == TRaceItem::LAP) laps.push_back((*raceItems_)[i].get());
    const bool dirty = host_.showDirtyTime();
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
