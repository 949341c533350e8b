#include "core/start/start_sequence.h"

#include "core/drag/drag_runs.h"

#include "core/app/console.h"
#include "core/app/scoreboard_controller.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/bracket_pair_commands.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_scoreboard.h"
#include "core/drag/timeslip.h"
#include "core/lap/lap_timing.h"
#include "core/platform/operator.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

namespace {

bool typeOneOf(int type, std::initializer_list<int> types) {
    for (int t : types)
        if (type == t) return true;
    return false;
}

// The start-unit mode NEXT sends ahead of a run for the scoreboards that need it.
std::uint16_t nextStartUnitMode(std::optional<TimingMode> mode) {
    if (mode == TimingMode::DragRacing) return 1;
    if (mode == TimingMode::LapOneGate) return 2;
    if (mode == TimingMode::StartFinish) return 0;
    return 3;
}

// A pair's slot holds a racer number above 0.
bool slotHasRacer(const TFinalRacer* slot) { return slot && slot->number > 0; }

} // namespace

int runModeOfItem(int item) {
    switch (item) {
    case 0: return RUN_MODE_QUALIFICATION;
    case 1: return RUN_MODE_PRACTICE;
    case 2: return RUN_MODE_FINAL;
    default: return -1;
    }
}

StartSequence::StartSequence(StartPorts& ports, LapTiming& lap, Console& console, BracketPages& brackets,
                             QuestionDesk& desk, DragRuns& runs)
    : ports_(ports), lap_(lap), console_(console), brackets_(brackets), desk_(desk), runs_(runs) {}

StartSequence::~StartSequence() { desk_.forgetWaitingAction(this); }

void StartSequence::start(int modifiers) { press({Press::Start, modifiers, false, {}}); }

void StartSequence::startArmedRun() { press({Press::Start, 0, true, {}}); }

void StartSequence::next() { press({Press::Next, 0, false, {}}); }

void StartSequence::press(WaitingPress p) {
    // Behind an open question, a command in progress or presses still waiting: in the order pressed.
    if (desk_.questionOpen() || busy_ || runningWaiting_ || !waiting_.empty()) {
        waitInLine(std::move(p));
        return;
    }
    runPress(p, {});
}

void StartSequence::asCommand(const std::function<void()>& work) {
    {
        const Busy busy(busy_);
        work();
    }
    // The presses that waited for it. Not when a handler's exception left it (this is then
    // skipped): the next press runs them.
    if (!waiting_.empty()) runWaitingPressesSoon();
}

void StartSequence::runWaitingPressesSoon() {
    desk_.whenNoQuestionOpen(this, [this] { runWaitingPresses(); });
}

void StartSequence::waitInLine(WaitingPress p) {
    p.question = desk_.openQuestionCaption();
    if (!waiting_.empty() && waiting_.back().sameAs(p)) {
        // A key held down or a signal sent again: what it asks for already waits.
        desk_.log(pressName(p) + " во время вопроса «" + p.question + "» не добавлен: такое же нажатие уже ждёт");
        return;
    }
    waiting_.push_back(std::move(p));
    runWaitingPressesSoon();
}

void StartSequence::runWaitingPresses() {
    // A command in progress runs the rest when it ends; the outer round goes on by itself.
    if (busy_ || runningWaiting_) return;
    const Busy round(runningWaiting_);
    while (!waiting_.empty()) {
        if (desk_.questionOpen()) {
            runWaitingPressesSoon();
            return;
        }
        const WaitingPress w = std::move(waiting_.front());
        waiting_.erase(waiting_.begin());
        runPress(w, w.question.empty() ? "ждал окончания предыдущей команды"
                                       : "ждал закрытия вопроса «" + w.question + "»");
    }
}

void StartSequence::runPress(const WaitingPress& p, const std::string& waited) {
    const std::string line = waited.empty() ? pressName(p) : pressName(p) + " " + waited;
    if (p.onlyIfArmed && !armed_) {
        desk_.log((waited.empty() ? line + " не выполнен" : line + " и не выполнен") + ": заезд больше не ждёт старта");
        return;
    }
    if (!waited.empty()) desk_.log(line + " и выполнен после него");
    asCommand([&] {
        if (p.press == Press::Start)
            startNow(p.modifiers);
        else
            nextNow();
    });
}

std::string StartSequence::pressName(const WaitingPress& p) {
    return p.press == Press::Start ? "СТАРТ" : "СЛЕД. СТАРТ";
}

void StartSequence::startNow(int modifiers) {
    if (modifiers & START_MOD_ALT) {
        ports_.sendCommand53();
        return;
    }
    const Console& c = console_;
    const std::optional<TimingMode> mode = timingModeFrom(c.raceMode);
    ports_.startLampRed();
    TScoreboardController* sb = c.scoreboard;
    if (mode == TimingMode::RollerSlalom && sb && !typeOneOf(sb->getType(), {142, 153})) sb->reset(1);

    if (isTwoLaneMode(mode)) {
        if (!sb) {
            ports_.clearDisplay(LANE_LEFT);
            ports_.clearDisplay(LANE_RIGHT);
        } else if (mode != TimingMode::RollerSlalom && armed_ && !typeOneOf(sb->getType(), {124, 132})) {
            sb->startTiming();
        }
        if (ports_.onRunsPage()) {
            if (mode == TimingMode::RollerSlalom) ports_.sendStartUnitMode(ports_.runModeItem() == 2 ? 1 : 0);
            if (!armed_) {
                if (sb) sb->reset(1);
                const int runMode = runModeOfItem(ports_.runModeItem());
                if (runMode >= 0) {
                    if (mode == TimingMode::RollerSlalom)
                        newRollersRunPrompts(runMode);
                    else
                        newRunPrompts(runMode);
                }
            }
        } else {
            const std::shared_ptr<TFinalBracket> bracket = ports_.pageBracket();
            TFinalPair* pair = nullptr;
            bool slotsUsable = false, hasRun = false, isArmedRun = false;
            if (bracket) {
                auto lock = brackets_.lockBrackets();
                pair = bracket->selectedPair;
                if (pair && bracket->ownsPair(pair)) {
                    slotsUsable = pair->racers[0] && pair->racers[1] &&
                                  (slotHasRacer(pair->racers[0]) || slotHasRacer(pair->racers[1]));
                    hasRun = pair->run.runId != 0;
                    const std::vector<TDragRaceItem>& runs = runs_.dragRuns();
                    isArmedRun = armed_ && !runs.empty() && pair->run.runId == runs.back().runId;
                } else {
                    pair = nullptr;
                }
            }
            if (pair) {
                if (mode == TimingMode::RollerSlalom) ports_.sendStartUnitMode(1);
                if (!slotsUsable) return;
                if (!hasRun) {
                    if (startNextFinalPair(bracket, pair) != 0) return;
                } else if (!isArmedRun) {
                    // The pair is kept by its place across the question and found again after it.
                    std::optional<TPairTarget> target;
                    {
                        auto lock = brackets_.lockBrackets();
                        target = pairTarget(bracket, pair);
                    }
                    if (!desk_.askYesNo(kOverwriteBracketText, "", Operator::Icon::Error)) return;
                    {
                        auto lock = brackets_.lockBrackets();
                        pair = target ? findPairTarget(brackets_, *target) : nullptr;
                        if (!pair) {
                            lock.unlock();
                            desk_.message(kPairGoneText, "", Operator::Icon::Warning);
                            return;
                        }
                        for (TFinalPair* p : {pair, pair->nextPair, pair->loserPair}) {
                            if (!p) continue;
                            p->forceWinner = -1;
                            p->winner = -1;
                            p->run = TDragRaceItem{};
                        }
                    }
                    if (startNextFinalPair(bracket, pair) != 0) return;
                }
            }
        }
    }
    startCommand(modifiers);
}

void StartSequence::startCommand(int modifiers) {
    const Console& c = console_;
    const std::optional<TimingMode> mode = timingModeFrom(c.raceMode);
    TScoreboardController* sb = c.scoreboard;
    armed_ = false;
    std::uint8_t code = 24;
    if (mode == TimingMode::DragRacing && sb && sb->getType() == 153) code = 50;
    if (isSingleLaneMode(mode)) code = 5;
    if (isTwoLaneNonRollerMode(mode)) {
        if (modifiers & START_MOD_CTRL) {
            code = 45;
            armed_ = true; // Enter or signal 9 gives the start later
        } else {
            ports_.showBlockSt(false);
        }
    } else if (mode == TimingMode::RollerSlalom) {
        ports_.showBlockSt(false);
        if (sb && sb->getType() == 122) sb->startTiming();
    } else if (isSingleLaneMode(mode)) {
        ports_.showBlockSt(false);
        if (lap_.lapStart(c.racerAtStart) != 0) return;
    }
    ports_.sendStartCommand(code, c.proStart ? 1 : 0, 1);
}

void StartSequence::nextNow() {
    const Console& c = console_;
    const std::optional<TimingMode> mode = timingModeFrom(c.raceMode);
    const std::uint16_t pro = c.proStart ? 1 : 0;
    ports_.armCommand37();
    ports_.sendStartSignalMode(pro);
    if (mode == TimingMode::RollerSlalom) ports_.sendStartUnitMode(ports_.runModeItem() == 2 ? 1 : 0);
    TScoreboardController* sb = c.scoreboard;
    if (sb && typeOneOf(sb->getType(), {124, 132, 142, 153, 156})) {
        ports_.sendStartUnitMode(nextStartUnitMode(mode));
        sb->reset(1);
    }
    ports_.clearDisplay(LANE_LEFT);
    ports_.clearDisplay(LANE_RIGHT);
    if (c.showLogo != 0) ports_.showRadioLogo();

    const int runMode = runModeOfItem(ports_.runModeItem());
    if (isTwoLaneNonRollerMode(mode)) {
        ports_.showBlockSt(true);
        if (runMode >= 0) newRunPrompts(runMode);
        if (armed_ && c.autoStart) {
            const TDragRaceItem* run = runs_.currentRun();
            const TDragRaceItem current = run ? *run : TDragRaceItem{};
            ports_.armAutoStart(current.racer[0], current.racer[1], 24, pro, 1);
        }
        scoreboardTypeStep118();
    } else if (mode == TimingMode::RollerSlalom) {
        ports_.showBlockSt(true);
        if (runMode >= 0) newRollersRunPrompts(runMode);
        scoreboardTypeStep118();
    } else if (mode == TimingMode::StartFinish) {
        if (sb && sb->getType() == 156) armed_ = true;
        ports_.showBlockSt(false);
        lap_.lapNext(c.racerAtStart);
    } else if (isSingleLaneMode(mode)) {
        ports_.showBlockSt(false);
        lap_.lapNext(c.racerAtStart);
    }
    if (sb && c.racerAtStart != 0) sb->showRacerAtStart(c.racerAtStart);
}

void StartSequence::scoreboardTypeStep118() {
    TScoreboardController* sb = console_.scoreboard;
    if (sb && sb->getType() == 118) {
        sb->setDisplayState(1, 2);
        sb->setWaitTimeout(console_.waitRacerTimeout);
    }
}

void StartSequence::blockStart(bool down) {
    if (timingModeFrom(console_.raceMode) == TimingMode::RollerSlalom) return;
    if (TScoreboardController* sb = console_.scoreboard; sb && typeOneOf(sb->getType(), {132, 156})) return;
    ports_.sendStartUnitMode(down ? 0 : 2);
}

void StartSequence::resetScoreboards(int modifiers) {
    Console& c = console_;
    TScoreboardController* sb = c.scoreboard;
    if (sb) sb->reset(1);
    ports_.clearDisplay(LANE_LEFT);
    ports_.clearDisplay(LANE_RIGHT);
    if ((modifiers & START_MOD_CTRL) || c.showLogo == 0) {
        ports_.resetRadioBoards();
    } else {
        ports_.showRadioLogo();
        if (sb && typeOneOf(sb->getType(), {135, 148})) sb->showLogo();
    }
    c.exchange.sendReset();
}

void StartSequence::brightness(int position) { ports_.sendLightBrightness(static_cast<std::uint16_t>(21 - position)); }

bool StartSequence::keyDown(StartKey key, bool ctrl) {
    const Console& c = console_;
    switch (key) {
    case StartKey::Enter:
        if (ctrl) {
            next();
            return true;
        }
        if (!armed_ && lap_.pendingRacer() <= 0) return false;
        start(0);
        return true;
    case StartKey::F4: resetScoreboards(0); return true;
    case StartKey::F5: next(); return true;
    case StartKey::F8:
        // Roller slalom prints no timeslips.
        if (timingModeFrom(c.raceMode) == TimingMode::RollerSlalom) return true;
        if (c.printBoth) {
            ports_.printTimeslip(TIMESLIP_LAST_RUN_BOTH); // the last run, whatever is selected
        } else {
            ports_.printTimeslip(LANE_LEFT);
            ports_.printTimeslip(LANE_RIGHT);
        }
        return true;
    case StartKey::F9:
        if (TScoreboardController* sb = c.scoreboard) sb->reset(1);
        runs_.sendRunToScoreboards(1, 1, 0, LANE_LEFT, 0, 0);
        ports_.pause(200);
        runs_.sendRunToScoreboards(1, 1, 0, LANE_RIGHT, 0, 0);
        return true;
    case StartKey::F12: start(0); return true;
    }
    return false;
}

} // namespace velmaro
