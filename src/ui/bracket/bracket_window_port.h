#pragma once
// What the bracket window needs of the rest of the console (implemented by the
// composition root). All calls come on the main thread, never with the bracket lock held.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace velmaro {

class DragRuns; // core/drag/drag_runs.h
class TFinalBracket;
struct TFinalPair;

class TBracketWindowPort {
public:
    TBracketWindowPort() = default;
    TBracketWindowPort(const TBracketWindowPort&) = delete;
    TBracketWindowPort& operator=(const TBracketWindowPort&) = delete;
    virtual ~TBracketWindowPort() = default;

    // --- results and files ---
    // DragResults::notifyResultsThread: the results thread rebuilds and advances every bracket.
    virtual void requestRebuild() = 0;
    // Folder of the open event (final_bracket.txt); empty = none.
    virtual std::filesystem::path eventFolder() = 0;

    // --- dialogs ---
    // SetWinnerForm's caption and its radio group's caption.
    virtual void setWinnerCaptions(const std::string& caption, const std::string& groupCaption) = 0;
    // SetWinnerForm with its two items, no item chosen; its comment field keeps the text
    // of its last use. The chosen item on OK with `comment` = the field's text; -1 on
    // cancel or when no item was chosen.
    virtual int chooseWinner(const std::array<std::string, 2>& items, std::string& comment) = 0;
    // SetCommentsForm: the two labels and fields; true on OK with the fields' texts.
    virtual bool editComments(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments) = 0;

    // --- main window ---
    // The runs of the event (the run grid's selection, the current run).
    virtual DragRuns& dragRuns() = 0;
    // The run grid: current row `row` (the run already selected in dragRuns()), then
    // DragPageControl shows page 0.
    virtual void showRunGridRow(std::int32_t row) = 0;
    // The last visible row of DragStringGrid (top row + visible rows - 1).
    virtual std::int32_t lastVisibleGridRow() = 0;
    virtual unsigned raceMode() = 0;   // TMainForm::raceMode
    virtual bool proStartSignal() = 0; // "Светофор PRO Start" ticked
    virtual bool autoStartOn() = 0;    // "Автостарт" ticked
    virtual void pressBlockSt() = 0;   // bBlockSt shown down
    virtual bool startArmed() = 0;     // gStartArmed

    // --- start unit (TSystemInterface commands) ---
    virtual void armCommand37() = 0;
    virtual void sendStartSignalMode(std::uint16_t mode) = 0;
    virtual void armAutoStart(int leftRacer, int rightRacer, int code, int proStart, int aux) = 0;

    // --- prepare a pair's final run (bracket-pair runs) ---
    // Lane choice dialog for the pair's two racers; on OK a new final run, copied into
    // the pair's run, the racers on their lanes and the start armed. `bracket` keeps the
    // pair alive; the implementation takes the bracket lock to write the pair and checks
    // bracket->ownsPair(pair) first (an update may have removed it meanwhile).
    virtual void startBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) = 0;
    // The same in roller slalom (mode 7).
    virtual void startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>& bracket, TFinalPair* pair) = 0;
};

} // namespace velmaro
