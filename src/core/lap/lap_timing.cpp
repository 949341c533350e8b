// The lap timing's state and the steps its sources share.
#include "core/lap/lap_timing.h"

#include <algorithm>

#include "core/platform/operator.h"

namespace velmaro {

LapTiming::LapTiming(LapHost& host, HitIntake& intake, Operator& op) : host_(host), intake_(intake), op_(op) {}

LapTiming::~LapTiming() = default;

// ---- the event state

std::unique_ptr<TRaceItemList>& LapTiming::raceItems() {
    owner_.assertOwner();
    return raceItems_;
}
const std::unique_ptr<TRaceItemList>& LapTiming::raceItems() const {
    owner_.assertOwner();
    return raceItems_;
}
int& LapTiming::lapStartState() {
    owner_.assertOwner();
    return lapStartState_;
}
int LapTiming::lapStartState() const {
    owner_.assertOwner();
    return lapStartState_;
}
int& LapTiming::pendingRacer() {
    owner_.assertOwner();
    return pendingRacer_;
}
int LapTiming::pendingRacer() const {
    owner_.assertOwner();
    return pendingRacer_;
}
int& LapTiming::pendingClass() {
    owner_.assertOwner();
    return pendingClass_;
}
int LapTiming::pendingClass() const {
    owner_.assertOwner();
    return pendingClass_;
}
std::vector<TRaceItem*>& LapTiming::courseQueue() {
    owner_.assertOwner();
    return courseQueue_;
}
const std::vector<TRaceItem*>& LapTiming::courseQueue() const {
    owner_.assertOwner();
    return courseQueue_;
}
std::vector<TRaceItem*>& LapTiming::finishQueue() {
    owner_.assertOwner();
    return finishQueue_;
}
const std::vector<TRaceItem*>& LapTiming::finishQueue() const {
    owner_.assertOwner();
    return finishQueue_;
}
int& LapTiming::cntOnLane() {
    owner_.assertOwner();
    return cntOnLane_;
}
int LapTiming::cntOnLane() const {
    owner_.assertOwner();
    return cntOnLane_;
}
const std::vector<std::unique_ptr<TLapResult>>& LapTiming::lapResults() const {
    owner_.assertOwner();
    return results_.results;
}
const LapResultsTable& LapTiming::lapResultsTable() const {
    owner_.assertOwner();
    return results_.table;
}

// ---- steps shared by the sources

int LapTiming::eventCount() const { return raceItems_ ? static_cast<int>(raceItems_->size()) : 0; }

TRaceItemList& LapTiming::ensureRaceItems() {
    if (!raceItems_) raceItems_ = std::make_unique<TRaceItemList>();
    return *raceItems_;
}

void LapTiming::releaseEvents(const std::function<void()>& free) {
    markedCurrent_.clear();
    forgetLapTail();
    courseQueue_.clear();
    finishQueue_.clear();
    results_.results.clear();
    free();
}

void LapTiming::rebuildQueuesAfterFree() {
    courseQueue_.clear();
    finishQueue_.clear();
    if (lapMode() == TimingMode::StartFinish) {
        rebuildFinishQueue();
    } else {
        rebuildCourseQueue();
        host_.setOnCourseListCount(0);
    }
}

int LapTiming::insertRaceItem(std::unique_ptr<TRaceItem> item) {
    owner_.assertOwner();
    TRaceItemList& list = ensureRaceItems();
    auto at = std::upper_bound(list.begin(), list.end(), item->time,
                               [](uint64_t t, const std::unique_ptr<TRaceItem>& e) { return t < e->time; });
    const bool atEnd = at == list.end();
    at = list.insert(at, std::move(item));
    if (!atEnd) forgetLapTail(); // the events after it moved
    return static_cast<int>(at - list.begin());
}

void LapTiming::finishLapChange() {
    recalcRaceItems(ensureRaceItems());
    host_.repaintGrid();
    (void)saveLapSingleReported();
}

std::filesystem::path LapTiming::lapFilePath(std::string_view name) const {
    return host_.eventFolder() / std::string(name);
}

std::optional<int32_t> LapTiming::pickRacerClass(const LapRacerInfo& racer) {
    std::vector<std::string> names;
    std::vector<int32_t> ids;
    if (LapRegistry* reg = host_.registry()) {
        std::vector<LapClassInfo> classes = reg->classes();
        for (int32_t id : racer.classIds)
            for (const LapClassInfo& c : classes)
                if (c.id == id) {
                    names.push_back(c.name + " (" + std::to_string(c.id) + ")");
                    ids.push_back(c.id);
                }
    }
    if (ids.empty()) return std::nullopt;
    int chosen = op_.pick("Класс участника", names);
    // The picker opens with its first item selected; closing it keeps that choice.
    if (chosen < 0 || chosen >= static_cast<int>(ids.size())) chosen = 0;
    return ids[static_cast<size_t>(chosen)];
}

} // namespace velmaro
