#pragma once
// The start controls over recording fakes: the ports (node link, radio boards, window),
// the scoreboard controller and the drag host (lane displays, radio results, grid), and
// an operator that answers the prompts from a script and notes the text each prompt
// opened with.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_fakes.h"
#include "core/drag/drag_file.h"
#include "core/lap/lap_fixture.h"
#include "core/lap/lap_timing.h"
#include "core/start/start_sequence.h"

namespace velmaro::test {

class RecordingStartPorts final : public StartPorts {
public:
    std::vector<std::string> calls;
    int item = 0;
    bool runsPage = true;
    std::shared_ptr<TFinalBracket> bracket;
    bool blockStDown = false;
    // Answers of the lane choice: the arrangement confirmed (nullopt = cancel; an empty
    // queue keeps the arrangement it opened with).
    std::deque<std::optional<int>> laneAnswers;
    std::vector<std::array<std::string, 2>> laneTexts;
    std::vector<int> laneOpenedWith;

    void sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux) override {
        add("sendStartCommand(" + std::to_string(code) + "," + std::to_string(param) + "," + std::to_string(aux) + ")");
    }
    void sendStartSignalMode(std::uint16_t mode) override { add("sendStartSignalMode(" + std::to_string(mode) + ")"); }
    void armCommand37() override { add("armCommand37"); }
    void armAutoStart(int l, int r, int code, int param, int aux) override {
        add("armAutoStart(" + RecordingController::join({l, r, code, param, aux}) + ")");
    }
    void sendStartUnitMode(std::uint16_t mode) override { add("sendStartUnitMode(" + std::to_string(mode) + ")"); }
    void clearDisplay(int lane) override { add("clearDisplay(" + std::to_string(lane) + ")"); }
    void sendLightBrightness(std::uint16_t value) override {
        add("sendLightBrightness(" + std::to_string(value) + ")");
    }
    void sendCommand53() override { add("sendCommand53"); }
    void resetRadioBoards() override { add("resetRadioBoards"); }
    void showRadioLogo() override { add("showRadioLogo"); }
    int runModeItem() override { return item; }
    bool onRunsPage() override { return runsPage; }
    std::shared_ptr<TFinalBracket> pageBracket() override { return bracket; }
    void showBlockSt(bool down) override {
        blockStDown = down;
        add(down ? "blockSt down" : "blockSt up");
    }
    void startLampRed() override { add("lamp red"); }
    bool chooseLanes(const std::array<std::string, 2>& texts, int& swapped) override {
        laneTexts.push_back(texts);
        laneOpenedWith.push_back(swapped);
        add("chooseLanes");
        if (laneAnswers.empty()) return true;
        const std::optional<int> a = laneAnswers.front();
        laneAnswers.pop_front();
        if (!a) return false;
        swapped = *a;
        return true;
    }
    void printTimeslip(int lane) override { add("printTimeslip(runs, " + std::to_string(lane) + ")"); }
    void pause(int ms) override { add("pause(" + std::to_string(ms) + ")"); }

    // Calls whose text starts with `prefix`.
    std::vector<std::string> only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

private:
    void add(std::string call) { calls.push_back(std::move(call)); }
};

// Scripted answers; notes the text each prompt opened with.
class PromptOperator : public ScriptedOperator {
public:
    std::vector<std::string> openedWith;

    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
        openedWith.push_back(value);
        return ScriptedOperator::inputQuery(caption, prompt, value);
    }
};

class StartTest : public DragTest {
protected:
    TempFolder folder;
    PromptOperator op;
    QuestionDesk desk{op}; // what the start controls, the lap timing and the drag host ask through
    std::optional<ScopedSaveReportLog> scopedOp;
    RecordingStartPorts ports;
    RecordingController controller;
    FakeLapHost lapHost;                       // the lap timing's view of the same event
    LapTiming lap{lapHost, host.intake, desk}; // one intake with the drag host's
    Console console;                           // fresh for each case
    BracketPages brackets;                     // the class pages' brackets of the event
    StartSequence seq{ports, lap, console, brackets, desk, runs};

    void SetUp() override {
        DragTest::SetUp();
        host.folder = folder.path();
        host.questions = &desk;
        lapHost.folder = folder.path();
        scopedOp.emplace(op);
        console.raceMode = 0;
        host.racers[12] = DragRacerInfo{"Иванов", "Москва", {}};
        host.racers[7] = DragRacerInfo{"Петров", "Тула", {}};
    }
    void TearDown() override { DragTest::TearDown(); }
    // Gives the console a scoreboard controller of `type`.
    void useScoreboard(int type) {
        controller.type = type;
        console.scoreboard = &controller;
        host.controller = &controller;
    }
    // drag.txt holds the runs as they are now.
    bool dragFileSaved() const { return folder.read("drag.txt") == formatDragFile(runs.dragRuns()); }
};

} // namespace velmaro::test
