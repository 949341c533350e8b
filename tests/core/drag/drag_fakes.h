#pragma once
// Fakes for the drag-run tests: a drag host that records every output
// (fake_drag_host.h), a scoreboard controller that records its calls, and a fixture that
// builds fresh runs on a fresh host.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/app/scoreboard_controller.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {

class RecordingController : public TScoreboardController {
public:
    int type = 0;
    std::vector<std::string> calls;

    void showResult(int one, int lane, int racer, int timeMs, int a5, int a6, int a7, int a8) override {
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
                  int laneWon, const std::string& name, const std::string& city) override {
        calls.push_back("showLane(" + join({one, lane, racer, time, speedX10, sixtyFeet, zero, reaction, laneWon}) +
                        "," + name + "," + city + ")");
    }
    void showRacerAtStart(int) override { calls.push_back("showRacerAtStart"); }

    static std::string join(std::initializer_list<int> values) {
        std::string s;
        for (int v : values) {
            if (!s.empty()) s += ",";
            s += std::to_string(v);
        }
        return s;
    }
};

// A fresh fake host and fresh runs built on it for each test.
class DragTest : public ::testing::Test {
protected:
    FakeDragHost host;
    DragRuns runs{host};
};

// A DragTest whose host points drag.txt into a fresh folder, with a scripted operator.
class DragFolderTest : public DragTest {
protected:
    TempFolder folder;
    ScriptedOperator op;
    std::optional<ScopedSaveReportLog> scopedOp;

    void SetUp() override {
        DragTest::SetUp();
        host.folder = folder.path();
        host.questions = &op;
        scopedOp.emplace(op);
    }
};

inline TLineHit hitAt(int32_t type, uint64_t time) {
    TLineHit h;
    h.type = type;
    h.time = time;
    return h;
}

} // namespace velmaro::test
