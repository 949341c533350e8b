#pragma once
// A drag host for tests and benchmarks: settings and registry answers set by the caller,
// every output recorded. No test framework needed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/drag/drag_host.h"
#include "core/drag/drag_scoreboard.h"
#include "core/intake/hit_intake.h"
#include "core/registration/registry.h"
#include "fakes/fake_hit_intake_host.h"
#include "fakes/scripted_operator.h"

namespace velmaro::test {

class FakeDragHost : public DragHost {
public:
    // settings
    int mode = 0;
    std::filesystem::path folder;
    bool pro = false;
    float distance = 20.0f;
    int blockTimeout = 0;
    bool blockSt = false;
    bool dirty = false;
    int invert = 0;
    // registry and brackets
    std::map<int32_t, DragRacerInfo> racers;
    std::map<int32_t, int32_t> classLimits;
    std::vector<int32_t> brackets;
    // outputs
    std::vector<int> winners;
    std::vector<std::pair<LaneDisplayBuffer, int>> displays;
    std::vector<std::pair<std::array<int32_t, 10>, int>> radio;
    TScoreboardController* controller = nullptr;
    int rows = 0;
    int cursorMoves = 0;
    int repaints = 0;
    int pageRefreshes = 0;
    int notifies = 0;
    std::vector<size_t> changedRuns; // notifyRunChanged indexes, in order (each also counts in notifies)
    int bracketLoads = 0;
    // While `onCall` is set: the results-thread notices and grid repaints in order
    // ("notify", "run changed", "repaint"), each entry as `onCall` returns it when it sees
    // the call happen (benchmarks leave it unset and keep nothing).
    std::vector<std::string> calls;
    std::function<std::string(const std::string&)> onCall;
    // The hit intake the hit handlers hand their saves to: its own, with a fake host (a
    // test that feeds hits through it registers the drag handlers in its table).
    FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};

    HitIntake& hitIntake() override { return intake; }

    // The registry the drag look-ups and commands read: its own, filled by the test.
    TRegistry reg;
    TRegistry& registry() override { return reg; }

    // the official: `script` unless a test points `questions` elsewhere
    ScriptedOperator script;
    Operator* questions = &script;

    int raceMode() const override { return mode; }
    std::filesystem::path eventFolder() const override { return folder; }
    bool proStartSignal() const override { return pro; }
    float speedTrapDistance() const override { return distance; }
    int blockFinishTimeout() const override { return blockTimeout; }
    bool blockStDown() const override { return blockSt; }
    bool showDirtyTime() const override { return dirty; }
    int invertScoreboard() const override { return invert; }
    std::optional<DragRacerInfo> findRacer(int32_t number) const override {
        auto it = racers.find(number);
        if (number == 0 || it == racers.end()) return std::nullopt;
        return it->second;
    }
    std::optional<int32_t> classBreakoutLimit(int32_t classId) const override {
        auto it = classLimits.find(classId);
        if (it == classLimits.end()) return std::nullopt;
        return it->second;
    }
    std::vector<int32_t> bracketClassIds() const override { return brackets; }
    void sendWinner(int lane) override { winners.push_back(lane); }
    void sendDisplay(const std::array<uint8_t, 9>& buffer, int lane) override { displays.emplace_back(buffer, lane); }
    void showRadioResult(const std::array<int32_t, 10>& values, int lane) override { radio.emplace_back(values, lane); }
    TScoreboardController* scoreboard() override { return controller; }
    int gridRowCount() const override { return rows; }
    void setGridRowCount(int r) override { rows = r; }
    void gridCursorToLastRow() override { ++cursorMoves; }
    void repaintGrid() override {
        ++repaints;
        record("repaint");
    }
    void refreshActivePage() override { ++pageRefreshes; }
    void notifyResultsThread(DragRuns&) override {
        ++notifies;
        record("notify");
    }
    void notifyRunChanged(DragRuns&, size_t index) override {
        ++notifies;
        changedRuns.push_back(index);
        record("run changed");
    }
    void loadFinalBracketFile(const DragRuns&) override { ++bracketLoads; }
    Operator& op() override { return *questions; }

private:
    void record(const std::string& call) {
        if (onCall) calls.push_back(onCall(call));
    }
};

} // namespace velmaro::test
