// The race official's edits of lap events: deletion with backups and undo, penalties,
// kinds, penalty laps, retirements, class refresh and the split into classes by best lap.
#include <algorithm>
#include <chrono>
#include <map>

#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/save_report.h"

namespace velmaro {

namespace {

long long nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void backupFailed(Operator& op, const std::string& what) {
    op.message("Не удалось сохранить резервную копию файла кругов (" + what + ").\r\nИзменение отменено.", "Ошибка",
               Operator::Icon::Error);
}

std::filesystem::path historyPath(const std::filesystem::path& eventFolder) {
    return uniqueHistoryPath(eventFolder, "lap_single_", nowSeconds(), ".txt");
}

} // namespace

void LapTiming::deleteRaceItems(int firstRow, int lastRow) {
    if (!raceItems_) return;
    TRaceItemList& list = *raceItems_;
    const int count = static_cast<int>(list.size());
    const bool all = firstRow == -1;
    if (!all && (firstRow < 1 || lastRow < firstRow || lastRow > count)) return;

    // The backups hold the events exactly as they stand before the deletion.
    const std::string before = lapFileText(list);
    if (host_.eventFolder().empty()) {
        backupFailed(op_, "нет папки события");
        return;
    }
    Status undo = writeFileAtomic(lapFilePath("lap_single_undelete.txt"), before);
    if (!undo.ok()) {
        backupFailed(op_, undo.message());
        return;
    }
    Status history = writeFileAtomic(historyPath(host_.eventFolder()), before);
    if (!history.ok()) {
        backupFailed(op_, history.message());
        return;
    }

    releaseEvents([&] {
        if (all)
            list.clear();
        else
            list.erase(list.begin() + (firstRow - 1), list.begin() + lastRow);
    });
    host_.setGridRowCount(static_cast<int>(list.size()) + 1);
    rebuildQueuesAfterFree();
    recalcRaceItems(list);
    (void)saveLapSingleReported();
    host_.repaintGrid();
}

void LapTiming::undeleteRaceItems() {
    if (host_.eventFolder().empty()) return;
    const std::filesystem::path current = lapFilePath("lap_single.txt");
    const std::filesystem::path undelete = lapFilePath("lap_single_undelete.txt");
    std::error_code ec;
    if (std::filesystem::exists(undelete, ec)) {
        // The state being replaced is kept too, so an undo can itself be undone by hand.
        if (std::filesystem::exists(current, ec)) {
            Status history = copyFileAtomic(current, historyPath(host_.eventFolder()));
            if (!history.ok()) {
                backupFailed(op_, history.message());
                return;
            }
        }
        (void)reportSave(current, copyFileAtomic(undelete, current)); // when it fails the current file stays
    }
    loadLapSingle();
    if (lapMode() == TimingMode::StartFinish) rebuildFinishQueue();
}

void LapTiming::setRaceItemPenalty(int index, int32_t ms) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    e->penalty = ms;
    finishLapChange();
}

void LapTiming::setRaceItemKind(int index, uint32_t kind) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    e->kind = kind;
    rebuildCourseQueue();
    finishLapChange();
}

void LapTiming::togglePenaltyLap(int index) {
    TRaceItem* e = getRaceItem(index);
    if (!e) return;
    e->kind = e->kind == TRaceItem::PLAP ? TRaceItem::LAP : TRaceItem::PLAP;
    if (lapMode() == TimingMode::StartFinish) rebuildFinishQueue();
    finishLapChange();
}

void LapTiming::retireRacer(int index) {
    const std::optional<TimingMode> mode = lapMode();
    std::vector<TRaceItem*> listed;
    if (mode == TimingMode::LapOneGate)
        listed = courseQueue_;
    else if (mode == TimingMode::StartFinish)
        listed = finishQueue_;

    if (index == -1) {
        std::vector<std::string> items;
        LapRegistry* reg = host_.registry();
        for (const TRaceItem* s : listed) {
            std::optional<LapRacerInfo> racer = reg && s->racer != 0 ? reg->findRacer(s->racer) : std::nullopt;
            items.push_back(racer ? std::to_string(s->racer) + " " + racer->name : "№ " + std::to_string(s->racer));
        }
        index = op_.pick("Сход участника", items);
    }
    if (index < 0 || index >= static_cast<int>(listed.size()) || !raceItems_ || raceItems_->empty()) return;

    const TRaceItem& s = *listed[static_cast<size_t>(index)];
    auto fail = std::make_unique<TRaceItem>();
    fail->racer = s.racer;
    fail->classId = s.classId;
    fail->kind = TRaceItem::FAIL;
    fail->time = raceItems_->back()->time + 1;
    (void)insertRaceItem(std::move(fail));

    if (mode == TimingMode::LapOneGate) {
        courseQueue_.erase(courseQueue_.begin() + index);
        cntOnLane_ = static_cast<int>(courseQueue_.size());
    } else if (mode == TimingMode::StartFinish) {
        rebuildFinishQueue();
    }

    recalcRaceItems(*raceItems_);
    const int count = static_cast<int>(raceItems_->size());
    host_.setGridRowCount(count + 1);
    if (!host_.editingNumber() && host_.gridCurrentRow() == count - 1) host_.setGridCurrentRow(count);
    host_.repaintGrid();
    (void)saveLapSingleReported();
}

void LapTiming::refreshRaceItemClasses() {
    if (!raceItems_) return;
    std::map<uint32_t, LapRacerInfo> byNumber;
    if (LapRegistry* reg = host_.registry())
        for (LapRacerInfo& r : reg->racers()) byNumber[r.number] = std::move(r); // the last of a number wins
    for (const auto& e : *raceItems_) {
        if (e->racer == 0) {
            e->classId = -1;
            continue;
        }
        auto it = byNumber.find(e->racer);
        if (it == byNumber.end())
            e->classId = -1;
        else if (it->second.classIds.size() == 1)
            e->classId = it->second.classIds.front();
        else if (it->second.classIds.empty())
            e->classId = -1;
    }
    finishLapChange();
}

void LapTiming::assignClassesByBestLap() {
    LapRegistry* reg = host_.registry();
    if (!reg || !raceItems_) return;
    // Work on results built just now from the events, not on those of the last rebuild.
    TLapRankOptions options{host_.clearTime(), host_.sumTime()};
    collectLapResults(options);
    std::vector<TLapResult*> order;
    for (const auto& r : results_.results) order.push_back(r.get());
    std::sort(order.begin(), order.end(),
              [&](const TLapResult* a, const TLapResult* b) { return compareLapResults(*a, *b, options) < 0; });
    const std::vector<LapClassInfo> classes = reg->classes();
    for (const TLapResult* r : order) {
        const TRaceItem* best = r->bestClean;
        if (!best || best->kind == TRaceItem::FAIL || best->lap == 0) continue; // no timed lap
        if (!reg->findRacer(r->racerNumber)) continue;
        const int64_t b = best->lap;
        for (const LapClassInfo& c : classes) {
            if (c.minTime == 0 && c.maxTime == 0) continue;
            if (c.maxTime != 0 && b >= static_cast<int64_t>(c.maxTime) * 100) continue;
            if (b < static_cast<int64_t>(c.minTime) * 100) continue;
            reg->setRacerClasses(r->racerNumber, {c.id});
            break;
        }
    }
    reg->saveRacers();
}

} // namespace velmaro
