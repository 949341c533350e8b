// The runs the start controls make: new runs of the two-lane modes and roller slalom,
// and the final runs of bracket pairs. All of them go through createRun.
#include <algorithm>

#include "core/app/console.h"
#include "core/app/scoreboard_controller.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/bracket_pair_commands.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_commands.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/drag_selection.h"
#include "core/platform/operator.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registration_edits.h"
#include "core/start/start_sequence.h"

namespace velmaro {

namespace {

constexpr const char* kNumberCaption = "Задать номер";
constexpr const char* kLeftPrompt = "Номер участника на левой дорожке";
constexpr const char* kRightPrompt = "Номер участника на правой дорожке";
constexpr const char* kLanesCaption = "Расположение участников";

// Asks a lane's racer number into the shared `text`: the number typed, `marker` for an
// entry that is not a whole number in range, nullopt on cancel.
std::optional<std::int32_t> askLaneNumber(Operator& op, const char* prompt, std::string& text, std::int32_t marker) {
    std::string answer = text;
    if (!op.inputQuery(kNumberCaption, prompt, answer)) return std::nullopt;
    text = answer;
    const std::optional<std::uint32_t> number = parseRacerNumber(answer);
    return number ? static_cast<std::int32_t>(*number) : marker;
}

void showNumberOnScoreboard(const DragHost& host, TScoreboardController& sb, int boardLane, std::int32_t number) {
    if (const auto racer = host.findRacer(number))
        sb.showLane(1, boardLane, number, 0, 0, 0, 0, 0, 0, racer->name, racer->city);
    else
        sb.showResult(1, boardLane, number, 0, 0, 0, 0, 0);
}

// Scoreboards that get reset(0) and the logo at a new run.
bool typeOneOfScoreboardLogo(int type) { return type == 135 || type == 148; }
// Scoreboards that need the start-unit mode before a bracket pair's run.
bool typeOneOfStartUnitBoards(int type) {
    return type == 124 || type == 132 || type == 142 || type == 153 || type == 156;
}
// The start-unit mode those scoreboards get before a bracket pair's run.
std::uint16_t pairStartUnitMode(std::optional<TimingMode> mode) {
    if (mode == TimingMode::DragRacing || mode == TimingMode::ParallelRace) return 1;
    if (mode == TimingMode::LapOneGate) return 2;
    if (mode == TimingMode::StartFinish) return 0;
    return 3;
}

std::string prepareSlotText(const DragHost& host, const TFinalRacer* slot) {
    if (!slot || slot->number == 0) return {};
    if (const auto racer = host.findRacer(slot->number)) return std::to_string(slot->number) + " - " + racer->name;
    return {};
}

std::string startSlotText(const DragHost& host, const TFinalRacer* slot) {
    if (!slot || slot->number == 0) return {};
    if (const auto racer = host.findRacer(slot->number)) return std::to_string(slot->number) + " - " + racer->name;
    return std::to_string(slot->number);
}

} // namespace

void StartSequence::createRun(int runMode, bool select, const std::function<void(TDragRaceItem& run)>& fill) {
    runs_.dragRuns().emplace_back();
    runs_.currentRunIndex() = static_cast<std::int32_t>(runs_.dragRuns().size()) - 1;
    TDragRaceItem& run = runs_.dragRuns().back();
    run.runMode = runMode;
    runs_.addRunGridRows(run);
    std::int32_t largest = 0;
    for (const TDragRaceItem& r : runs_.dragRuns()) largest = std::max(largest, r.runId);
    run.runId = largest + 1;
    const std::int32_t runId = run.runId;

    fill(run); // may run dialogs: `run` is not used after it

    if (select) {
        TDragRaceItem key;
        key.runId = runId;
        runs_.selectRunById(key);
    }
    runs_.commit();
    armed_ = true;
}

void StartSequence::newRun(int runMode) {
    if (busy_) return;
    asCommand([&] { newRunPrompts(runMode); });
}

void StartSequence::newRollersRun(int runMode) {
    if (busy_) return;
    asCommand([&] { newRollersRunPrompts(runMode); });
}

void StartSequence::newRunPrompts(int runMode) {
    Console& c = console_;
    c.exchange.sendReset();
    createRun(runMode, true, [this, &c](TDragRaceItem&) {
        TScoreboardController* sb = c.scoreboard;
        if (sb) {
            if (typeOneOfScoreboardLogo(sb->getType())) {
                sb->reset(0);
                if (c.showLogo != 0) sb->showLogo();
            } else {
                sb->reset(1);
            }
        }
        std::array<std::int32_t, 10> record{};
        int cancelled = 0;
        std::string text;
        const int boardLeft = c.invertScoreboard != 0 ? 2 : 1;
        const int boardRight = c.invertScoreboard != 0 ? 1 : 2;

        if (const auto number = askLaneNumber(desk_, kLeftPrompt, text, -1)) {
            runs_.setLaneRacer(*number, LANE_LEFT, -1);
            if ((sb = c.scoreboard)) {
                showNumberOnScoreboard(runs_.host(), *sb, boardLeft, *number);
                sb->showResult(1, boardRight, 0, 0, 0, 0, 0, 0);
                if (sb->getType() != 118) sb->setDisplayState(1, 2);
            }
            if (*number > 0) {
                record[0] = *number;
                runs_.host().showRadioResult(record, 0);
                runs_.host().showRadioResult(record, 1);
            }
            runs_.showRacerNumber(*number, LANE_LEFT);
        } else {
            text.clear();
            runs_.setLaneRacer(-1, LANE_LEFT, -1);
            cancelled = 1;
        }

        if (const auto number = askLaneNumber(desk_, kRightPrompt, text, -2)) {
            runs_.setLaneRacer(*number, LANE_RIGHT, -1);
            if ((sb = c.scoreboard)) {
                showNumberOnScoreboard(runs_.host(), *sb, boardRight, *number);
                if (sb->getType() != 118) sb->setDisplayState(0, 2);
            }
            if (*number > 0) {
                record[5] = *number;
                runs_.host().showRadioResult(record, 1);
                runs_.host().showRadioResult(record, 0);
            }
            runs_.showRacerNumber(*number, LANE_RIGHT);
        } else {
            runs_.setLaneRacer(-2, LANE_RIGHT, -1);
            cancelled += 2;
        }
        if (cancelled == 3 && (sb = c.scoreboard)) sb->reset(1);
    });
}

void StartSequence::newRollersRunPrompts(int runMode) {
    Console& c = console_;
    createRun(runMode, false, [this, &c, runMode](TDragRaceItem&) {
        if (TScoreboardController* sb = c.scoreboard) sb->reset(1);
        std::string text;
        const char* leftPrompt = runMode == RUN_MODE_QUALIFICATION ? "Номер участника" : kLeftPrompt;
        if (const auto number = askLaneNumber(desk_, leftPrompt, text, -1)) {
            runs_.setLaneRacer(*number, LANE_LEFT, -1);
            if (TScoreboardController* sb = c.scoreboard) {
                sb->showResult(1, 1, *number, 0, 0, 0, 0, 0);
                if (sb->getType() != 118) sb->setDisplayState(0, 0);
            }
        } else {
            text.clear();
            runs_.setLaneRacer(-1, LANE_LEFT, -1);
        }
        if (runMode == RUN_MODE_FINAL) {
            if (const auto number = askLaneNumber(desk_, kRightPrompt, text, -2)) {
                runs_.setLaneRacer(*number, LANE_RIGHT, -1);
                if (TScoreboardController* sb = c.scoreboard) {
                    sb->showResult(1, 2, *number, 0, 0, 0, 0, 0);
                    if (sb->getType() != 118) sb->setDisplayState(0, 1);
                }
            } else {
                runs_.setLaneRacer(-2, LANE_RIGHT, -1);
            }
        }
        const TDragRaceItem* run = runs_.currentRun();
        TScoreboardController* sb = c.scoreboard;
        if (runMode == RUN_MODE_QUALIFICATION && sb && sb->getType() == 122 && run && run->racer[0] > 0)
            sb->showText(std::to_string(run->racer[0]), 30, 3, 0, 3, 16);
    });
}

// ---------------------------------------------------------------- bracket pairs

bool StartSequence::choosePairLanes(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair*& pair, PairTexts kind,
                                    PairLanes& lanes) {
    if (!bracket || !pair) return false;
    // The pair is kept by its place across the dialog and found again after it.
    std::optional<TPairTarget> target;
    std::array<std::string, 2> slotText;
    {
        auto lock = brackets_.lockBrackets();
        target = pairTarget(bracket, pair);
        if (!target) return false;
        for (int k = 0; k < 2; ++k)
            slotText[std::size_t(k)] = kind == PairTexts::Prepare ? prepareSlotText(runs_.host(), pair->racers[k])
                                                                  : startSlotText(runs_.host(), pair->racers[k]);
    }
    int swapped = lanesSwapped_ != 0 ? 1 : 0;
    const std::array<std::string, 2> texts = swapped ? std::array<std::string, 2>{slotText[1], slotText[0]} : slotText;
    {
        const QuestionScope open(desk_, kLanesCaption);
        if (!ports_.chooseLanes(texts, swapped)) return false;
    }
    lanes.swapped = swapped != 0 ? 1 : 0;
    auto lock = brackets_.lockBrackets();
    pair = findPairTarget(brackets_, *target);
    if (!pair) {
        lock.unlock();
        desk_.message(kPairGoneText, kLanesCaption, Operator::Icon::Warning);
        return false;
    }
    for (int k = 0; k < 2; ++k) {
        const TFinalRacer* slot = pair->racers[k];
        const std::size_t lane = std::size_t(lanes.swapped ? 1 - k : k);
        lanes.present[lane] = slot != nullptr;
        lanes.number[lane] = slot ? slot->number : 0;
        lanes.classId[lane] = slot ? slot->classId : -1;
    }
    return true;
}

void StartSequence::makePairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair, const PairLanes& lanes,
                                bool displays) {
    createRun(RUN_MODE_FINAL, false, [&](TDragRaceItem& run) {
        {
            // The pair is tied to the run by its id; the results take the rest from the run list.
            auto lock = brackets_.lockBrackets();
            if (bracket->ownsPair(pair)) pair->run = run;
        }
        // Slot 0 first, whichever lane it takes.
        for (int k = 0; k < 2; ++k) {
            const int lane = lanes.swapped ? 1 - k : k;
            if (!lanes.present[std::size_t(lane)]) continue;
            runs_.setLaneRacer(lanes.number[std::size_t(lane)], lane, lanes.classId[std::size_t(lane)]);
            if (displays) runs_.showRacerNumber(lanes.number[std::size_t(lane)], lane);
        }
    });
}

void StartSequence::startBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) {
    if (busy_ || !bracket || !pair) return;
    asCommand([&] { prepareBracketPairRun(bracket, pair); });
}

void StartSequence::prepareBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) {
    Console& c = console_;
    c.exchange.sendReset();
    if (TScoreboardController* sb = c.scoreboard; sb && typeOneOfStartUnitBoards(sb->getType())) {
        ports_.sendStartUnitMode(pairStartUnitMode(timingModeFrom(c.raceMode)));
        sb->reset(1);
    }
    PairLanes lanes;
    if (!choosePairLanes(bracket, pair, PairTexts::Prepare, lanes)) return;
    makePairRun(bracket, pair, lanes, true);

    TScoreboardController* sb = c.scoreboard;
    if (!sb) return;
    sb->reset(1);
    std::array<std::int32_t, 10> record{};
    for (int k = 0; k < 2; ++k) {
        const int lane = lanes.swapped ? 1 - k : k;
        if (!lanes.present[std::size_t(lane)]) continue;
        const std::int32_t number = lanes.number[std::size_t(lane)];
        const int boardLane = lane == LANE_LEFT ? c.invertScoreboard + 1 : 2 - c.invertScoreboard;
        showNumberOnScoreboard(runs_.host(), *sb, boardLane, number);
        record[lane == LANE_LEFT ? 0 : 5] = number;
    }
    lanesSwapped_ = lanes.swapped;
    runs_.host().showRadioResult(record, 0);
    runs_.host().showRadioResult(record, 1);
    sb->setDisplayState(1, 2);
    if (sb->getType() == 118) sb->setWaitTimeout(c.waitRacerTimeout);
}

void StartSequence::startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) {
    if (busy_ || !bracket || !pair) return;
    asCommand([&] { prepareRollersBracketPairRun(bracket, pair); });
}

void StartSequence::prepareRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) {
    if (TScoreboardController* sb = console_.scoreboard; sb && sb->getType() == 122) {
        ports_.sendStartUnitMode(1);
        sb->reset(1);
    }
    PairLanes lanes;
    if (!choosePairLanes(bracket, pair, PairTexts::Prepare, lanes)) return;
    makePairRun(bracket, pair, lanes, false);
}

int StartSequence::startNextFinalPair(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) {
    PairLanes lanes;
    if (!choosePairLanes(bracket, pair, PairTexts::Start, lanes)) return -1;
    makePairRun(bracket, pair, lanes, false);
    return 0;
}

} // namespace velmaro
