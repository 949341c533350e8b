#pragma once
// Fakes for the drag-run tests: a drag host that records every output, a scoreboard
// controller that records its calls, and a fixture that resets the run globals.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/app/scoreboard_controller.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {

class RecordingController : public TScoreboardController {
public:
    int type = 0;
    std::vector<std::string> calls;

    void showResult(int one, int lane, int racer, int timeMs, int a5, int a6, int a7, int a8) override
    {
        calls.push_back("showResult(" + join({one, lane, racer, timeMs, a5, a6, a7, a8}) + ")");
    }
    void reset(int full) override { calls.push_back("reset(" + std::to_string(full) + ")"); }
    void setDisplayState(int a, int b) override { calls.push_back("setDisplayState(" + join({a, b}) + ")"); }
    void showClock(const std::string&, int, int, int) override { calls.push_back("showClock"); }
    void startTiming() override { calls.push_back("startTiming"); }
    void stopTiming() override { calls.push_back("stopTiming"); }
    void setBrightness(int) override { calls.push_back("setBrightness"); }
    void setWaitTimeout(int) override { calls.push_back("setWaitTimeout"); }
    int getType() override { return type; }
    void showText(const std::string&, int, int, int, int, int) override { calls.push_back("showText"); }
    void handleLine(const std::string&, const sockaddr_in&) override {}
    void showLogo() override { calls.push_back("showLogo"); }
    void showLane(int one, int lane, int racer, int time, int speedX10, int sixtyFeet, int zero, int reaction,
                  int laneWon, const std::string& name, const std::string& city) override
    {
        calls.push_back("showLane(" + join({one, lane, racer, time, speedX10, sixtyFeet, zero, reaction, laneWon}) +
                        "," + name + "," + city + ")");
    }
    void showRacerAtStart(int) override { calls.push_back("showRacerAtStart"); }

    static std::string join(std::initializer_list<int> values)
    {
        std::string s;
        for (int v : values) {
            if (!s.empty())
                s += ",";
            s += std::to_string(v);
        }
        return s;
    }
};

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
    int notifies = 0;
    std::vector<size_t> changedRuns; // notifyRunChanged indexes, in order (each also counts in notifies)
    int bracketLoads = 0;

    int raceMode() const override { return mode; }
    std::filesystem::path eventFolder() const override { return folder; }
    bool proStartSignal() const override { return pro; }
    float speedTrapDistance() const override { return distance; }
    int blockFinishTimeout() const override { return blockTimeout; }
    bool blockStDown() const override { return blockSt; }
    bool showDirtyTime() const override { return dirty; }
    int invertScoreboard() const override { return invert; }
    std::optional<DragRacerInfo> findRacer(int32_t number) const override
    {
        auto it = racers.find(number);
        if (number == 0 || it == racers.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<int32_t> classBreakoutLimit(int32_t classId) const override
    {
        auto it = classLimits.find(classId);
        if (it == classLimits.end())
            return std::nullopt;
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
    void repaintGrid() override { ++repaints; }
    void notifyResultsThread() override { ++notifies; }
    void notifyRunChanged(size_t index) override
    {
        ++notifies;
        changedRuns.push_back(index);
    }
    void loadFinalBracketFile() override { ++bracketLoads; }
};

// Installs a fresh fake host and empties the run globals before and after each test.
class DragTest : public ::testing::Test {
protected:
    FakeDragHost host;

    void SetUp() override
    {
        setDragHost(&host);
        resetGlobals();
    }
    void TearDown() override
    {
        resetGlobals();
        setDragHost(nullptr);
    }
    static void resetGlobals()
    {
        gDragRuns.clear();
        gCurrentRun = -1;
        clearRunSelection();
    }
};

// A DragTest whose host points drag.txt into a fresh folder, with a scripted operator.
class DragFolderTest : public DragTest {
protected:
    TempFolder folder;
    ScriptedOperator op;
    std::optional<ScopedOperator> scopedOp;

    void SetUp() override
    {
        DragTest::SetUp();
        host.folder = folder.path();
        scopedOp.emplace(op);
    }
};

inline TLineHit hitAt(int32_t type, uint64_t time)
{
    TLineHit h;
    h.type = type;
    h.time = time;
    return h;
}

} // namespace velmaro::test
