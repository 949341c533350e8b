#pragma once
// The start controls of the main window: NEXT ("СЛЕД. СТАРТ") prepares the next run or
// lap racer, START ("СТАРТ") gives the start command, Block ST blocks and releases the
// start unit, "Сброс табло" clears the displays, the brightness bar sets the start
// light, and the keys of the main window repeat them. It also makes the runs: new runs
// of the two-lane modes and the final runs of bracket pairs.
//
// State: `armed` (a prepared run waits for its start: START, Enter and the start unit's
// signal 9 fire it), the lane arrangement of the last confirmed lane choice, and whether
// a command is in progress. START and NEXT ask questions (racer numbers, the lane
// choice), whose dialogs run nested event loops while the node link, the remote signals
// and the interval start timer keep pressing START and NEXT. One rule for every source
// (buttons, keys, the interval start timer, remote signal 101, signal 9): a press while
// any question is open (core/platform/operator.h), START's and NEXT's own included, or
// while a command is in progress, waits in line and runs once no question is open, in
// the order pressed, with a log line saying it waited. A press the same as the one last
// in line is dropped, and signal 9's START is dropped when no run is armed; both say so
// in a log line.
//
// Modifiers: START and the reset take the Shift/Alt/Ctrl state of the click that pressed
// them (StartModifier bits); every other press (keys, remote signal 101, signal 9, the
// interval start timer) passes none. Alt on START sends only command 53; Ctrl on START
// gives an armed start (code 45) in the drag modes; Ctrl on the reset resets the radio
// scoreboards instead of showing the logo.
//
// Reads the settings, the timing mode and the scoreboard controller of the console it is
// built with, the drag host (core/drag) for the run grid, the registry's racers, the
// radio scoreboards and the lane displays; START and NEXT of the single-lane modes go
// to the lap timing it is built with; everything else through StartPorts. Questions and
// the waiting for another command's question go through the question desk it is built
// with. Neither the ports, the lap timing, the console nor the desk is owned. Main thread
// only.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/start/start_ports.h"

namespace velmaro {

class Console;
class BracketPages;
class DragRuns; // core/drag/drag_runs.h
class LapTiming;
class QuestionDesk;
struct TFinalPair;
struct TDragRaceItem;

enum StartModifier : int { START_MOD_SHIFT = 1, START_MOD_ALT = 2, START_MOD_CTRL = 4 };

// Keys the main window hands over (it previews every key of its own controls).
enum class StartKey { Enter, F4, F5, F8, F9, F12 };

// Run mode of an item of the run-mode group: 0 qualification, 1 (practice) 2, 2 (final) 1; -1 none.
int runModeOfItem(int item);

class StartSequence {
public:
    // `brackets`: the class pages' brackets the pair runs are made from. `runs`: the
    // two-lane runs a start adds to. Neither the console, the brackets, the desk nor the
    // runs is owned.
    StartSequence(StartPorts& ports, LapTiming& lap, Console& console, BracketPages& brackets, QuestionDesk& desk,
                  DragRuns& runs);
    ~StartSequence();
    StartSequence(const StartSequence&) = delete;
    StartSequence& operator=(const StartSequence&) = delete;

    bool armed() const { return armed_; }
    void setArmed(bool armed) { armed_ = armed; }
    // START or NEXT (or a run being made) is in progress.
    bool busy() const { return busy_; }
    // The arrangement the next lane choice opens with (0 slot 0 left, 1 slot 0 right).
    int lanesSwapped() const { return lanesSwapped_; }

    // --- the controls ---
    void start(int modifiers = 0);
    // START for the armed run (the start unit's signal 9): nothing but a log line when no
    // run is armed, also when the press had to wait and the run was disarmed meanwhile.
    void startArmedRun();
    void next();
    // Block ST after its toggle changed: `down` is the button's new state.
    void blockStart(bool down);
    void resetScoreboards(int modifiers = 0);
    // The brightness track bar, positions 1 to 20.
    void brightness(int position);
    // A key of the main window; true when it acted (the key is then used up).
    bool keyDown(StartKey key, bool ctrl);

    // --- runs ---
    // A new two-lane run (modes 0, 2, 3, 5, 8) with the two racer prompts.
    void newRun(int runMode);
    // A new roller slalom run (mode 7): one racer prompt, two in a final.
    void newRollersRun(int runMode);
    // The bracket window's "Подготовить": the pair's final run after the lane choice,
    // with scoreboard output (modes other than 7).
    void startBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair);
    // The same in roller slalom.
    void startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair);
    // START on a class page: the pair's final run; 0 made, -1 cancelled (or the pair left
    // its bracket meanwhile).
    int startNextFinalPair(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair);

private:
    enum class PairTexts { Prepare, Start };
    // Sets a flag for its scope (also when a dialog's handler throws).
    class Busy {
    public:
        explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
        ~Busy() { flag_ = false; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        bool& flag_;
    };
    // Runs `work` as a command in progress; then the presses that waited for it.
    void asCommand(const std::function<void()>& work);
    // The bodies of startBracketPairRun and startRollersBracketPairRun.
    void prepareBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair);
    void prepareRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair);

    enum class Press { Start, Next };
    struct WaitingPress {
        Press press;
        int modifiers;
        bool onlyIfArmed;     // START of signal 9: dropped when no run is armed any more
        std::string question; // the caption of the question it waited for (empty: a command)
        bool sameAs(const WaitingPress& o) const {
            return press == o.press && modifiers == o.modifiers && onlyIfArmed == o.onlyIfArmed;
        }
    };
    static std::string pressName(const WaitingPress& p);
    // Runs `p` now, or puts it in line behind what must come first.
    void press(WaitingPress p);
    void waitInLine(WaitingPress p);
    // The presses in line, oldest first, as long as no question is open.
    void runWaitingPresses();
    // runWaitingPresses once no question is open (at once when none is).
    void runWaitingPressesSoon();
    // Runs one press as a command; `waited` says what it waited for (empty: pressed now).
    void runPress(const WaitingPress& p, const std::string& waited);
    void startNow(int modifiers);
    void nextNow();
    void startCommand(int modifiers);
    // Appends a run of `runMode`, makes it the current run with its grid rows and the next
    // run id, lets `fill` put the racers on it, then (selecting it in the grid when asked)
    // hands the runs to the results thread, repaints, saves drag.txt and arms the start.
    void createRun(int runMode, bool select, const std::function<void(TDragRaceItem& run)>& fill);
    void newRunPrompts(int runMode);
    void newRollersRunPrompts(int runMode);
    // The lane choice for a pair: on OK the slots' numbers and classes by lane
    // (left, right; a missing slot gives number 0 with class -1) and whether each lane
    // has a slot, and `pair` found again after the dialog. False on cancel, or (told to
    // the official) when the pair left its page's bracket while the dialog was open.
    struct PairLanes {
        std::array<std::int32_t, 2> number{0, 0};
        std::array<std::int32_t, 2> classId{-1, -1};
        std::array<bool, 2> present{false, false};
        int swapped = 0;
    };
    bool choosePairLanes(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair*& pair, PairTexts texts,
                         PairLanes& lanes);
    // Makes the final run of a chosen pair: the pair's copy of the run, the racers on
    // their lanes (with the lane displays when `displays`).
    void makePairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair, const PairLanes& lanes,
                     bool displays);
    void scoreboardTypeStep118();

    StartPorts& ports_;
    LapTiming& lap_;
    Console& console_;
    BracketPages& brackets_;
    QuestionDesk& desk_;
    DragRuns& runs_;
    bool armed_ = false;
    bool busy_ = false;
    bool runningWaiting_ = false;
    std::vector<WaitingPress> waiting_; // in the order pressed
    int lanesSwapped_ = 0;
};

} // namespace velmaro
