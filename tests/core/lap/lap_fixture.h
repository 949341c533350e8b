#pragma once
// Shared fixture of the lap timing tests: a lap timing built fresh for each test on a
// host with a fake registry, a recording scoreboard and a temporary event folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/app/scoreboard_controller.h"
#include "core/lap/lap_grid.h"
#include "core/lap/lap_timing.h"
#include "core/platform/program_folder.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {

class FakeLapRegistry : public LapRegistry {
public:
    std::vector<LapRacerInfo> racerList;
    std::vector<LapClassInfo> classList;
    std::map<int32_t, std::vector<uint32_t>> results; // class id -> numbers appended
    int saves = 0;

    std::vector<LapRacerInfo> racers() const override { return racerList; }
    std::optional<LapRacerInfo> findRacer(uint32_t number) const override {
        if (number == 0) return std::nullopt;
        for (const auto& r : racerList)
            if (r.number == number) return r;
        return std::nullopt;
    }
    std::vector<LapClassInfo> classes() const override { return classList; }
    void moveClass(int from, int to) override {
        for (int k = from; k > to; --k) std::swap(classList[k], classList[k - 1]);
    }
    void setRacerClasses(uint32_t number, const std::vector<int32_t>& ids) override {
        for (auto& r : racerList)
            if (r.number == number) {
                r.classIds = ids;
                return;
            }
    }
    void saveRacers() override { ++saves; }
    void clearClassResults() override { results.clear(); }
    void appendClassResult(int32_t classId, uint32_t number) override { results[classId].push_back(number); }

    void addRacer(uint32_t number, std::string name, std::vector<int32_t> classes) {
        LapRacerInfo r;
        r.number = number;
        r.name = std::move(name);
        r.city = "City" + std::to_string(number);
        r.team = "Team" + std::to_string(number);
        r.carModel = "Car" + std::to_string(number);
        r.classIds = std::move(classes);
        racerList.push_back(r);
    }
    void addClass(int32_t id, std::string name, int32_t minTime = 0, int32_t maxTime = 0) {
        classList.push_back(LapClassInfo{id, std::move(name), minTime, maxTime});
    }
};

// Records every call but getType as text, e.g. "showResult(1,2,7,30000,0,0,0,0)".
class RecordingScoreboard : public TScoreboardController {
public:
    int type = 0;
    std::vector<std::string> calls;

    static std::string join(std::initializer_list<long long> v) {
        std::string s;
        for (long long x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
        return s;
    }
    void showResult(int a, int b, int c, int d, int e, int f, int g, int h) override {
        calls.push_back("showResult(" + join({a, b, c, d, e, f, g, h}) + ")");
    }
    void reset(int full) override { calls.push_back("reset(" + join({full}) + ")"); }
    void setDisplayState(int a, int b) override { calls.push_back("setDisplayState(" + join({a, b}) + ")"); }
    void showClock(const std::string&, int, int, int) override { calls.push_back("showClock"); }
    void startTiming() override { calls.push_back("startTiming()"); }
    void stopTiming() override { calls.push_back("stopTiming()"); }
    void setBrightness(int) override {}
    void setWaitTimeout(int) override {}
    int getType() override { return type; }
    void showText(const std::string& text, int a, int b, int c, int d, int e) override {
        calls.push_back("showText(" + text + "," + join({a, b, c, d, e}) + ")");
    }
    void handleLine(const std::string&, const sockaddr_in&) override {}
    void showLogo() override {}
    void showLane(int, int, int, int, int, int, int, int, int, const std::string&, const std::string&) override {}
    void showRacerAtStart(int) override {}
};

class FakeLapHost : public LapHost {
public:
    int mode = 1;
    std::filesystem::path folder;
    bool blockSt = false;
    bool editing = false;
    bool transponders = false;
    bool dirtyOnBoard = false;
    RecordingScoreboard* board = nullptr;
    FakeLapRegistry* reg = nullptr;
    int currentRow = 0;
    int rowCount = 1;
    int onCourseCount = -1;
    bool resultsWindow = true;
    bool clean = true;
    bool sum = false;
    int tablesShown = 0;
    int repaints = 0;
    LapResultsWorker* worker = nullptr; // null: nothing scheduled, buildLapResults builds

    int raceMode() const override { return mode; }
    std::filesystem::path eventFolder() const override { return folder; }
    bool blockStDown() const override { return blockSt; }
    bool editingNumber() const override { return editing; }
    bool transpondersInUse() const override { return transponders; }
    bool showDirtyTime() const override { return dirtyOnBoard; }
    TScoreboardController* scoreboard() override { return board; }
    LapRegistry* registry() override { return reg; }
    int gridCurrentRow() const override { return currentRow; }
    void setGridCurrentRow(int row) override { currentRow = row; }
    void setGridRowCount(int rows) override { rowCount = rows; }
    void repaintGrid() override { ++repaints; }
    void setOnCourseListCount(int count) override { onCourseCount = count; }
    bool resultsWindowExists() const override { return resultsWindow; }
    bool clearTime() const override { return clean; }
    bool sumTime() const override { return sum; }
    void showLapResults(const LapResultsTable&) override { ++tablesShown; }
    LapResultsWorker* lapResultsWorker() override { return worker; }
};

// The lap grid's port: records the editing flag and the two-lane "Правка" calls.
class RecordingGridPort : public LapGridPort {
public:
    std::vector<std::string> calls;
    void setEditingNumber(bool editing) override { calls.push_back(editing ? "editing" : "done"); }
    void undeleteRuns() override { calls.push_back("undeleteRuns"); }
    void deleteAllRuns() override { calls.push_back("deleteAllRuns"); }
};

struct EventRow {
    uint32_t racer;
    uint32_t kind;
    uint64_t time;
    int32_t classId = -1;
    int32_t penalty = 0;
};

class LapTest : public ::testing::Test {
protected:
    TempFolder temp;
    FakeLapHost host;
    FakeLapRegistry registry;
    RecordingScoreboard board;
    ScriptedOperator op;
    ScopedSaveReportLog scopedOp{op};
    FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    std::optional<LapTiming> lap{std::in_place, host, intake, op}; // startOver builds another

    void SetUp() override {
        host.folder = temp.path();
        host.reg = &registry;
        setProgramFolder(temp.path());
    }

    // A fresh lap timing on the same host and event folder (what the folder holds stays).
    void startOver() { lap.emplace(host, intake, op); }

    // Replaces the list by these events (put in time order) and recalculates.
    void setEvents(const std::vector<EventRow>& rows) {
        std::unique_ptr<TRaceItemList>& list = lap->raceItems();
        list = std::make_unique<TRaceItemList>();
        for (const EventRow& r : rows) {
            auto e = std::make_unique<TRaceItem>();
            e->racer = r.racer;
            e->kind = r.kind;
            e->time = r.time;
            e->classId = r.classId;
            e->penalty = r.penalty;
            list->push_back(std::move(e));
        }
        std::stable_sort(list->begin(), list->end(), [](const auto& a, const auto& b) { return a->time < b->time; });
        lap->recalcRaceItems(*list);
    }
    TRaceItem& item(int i) { return *(*lap->raceItems())[static_cast<size_t>(i)]; }
    int count() const { return lap->raceItems() ? static_cast<int>(lap->raceItems()->size()) : 0; }
    std::vector<std::string> kinds() const {
        std::vector<std::string> v;
        if (lap->raceItems())
            for (const auto& e : *lap->raceItems()) v.emplace_back(raceKindName(e->kind));
        return v;
    }
    std::vector<uint32_t> racersOf(uint32_t kind) const {
        std::vector<uint32_t> v;
        if (lap->raceItems())
            for (const auto& e : *lap->raceItems())
                if (e->kind == kind) v.push_back(e->racer);
        return v;
    }
    static std::vector<uint32_t> queueRacers(const std::vector<TRaceItem*>& q) {
        std::vector<uint32_t> v;
        for (const TRaceItem* e : q) v.push_back(e->racer);
        return v;
    }
};

} // namespace velmaro::test
