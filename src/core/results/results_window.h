#pragma once
// What the results window needs of the console, and what it offers to the rankings.
//
// The window owns the three time options ("Чистое время" / "Грязное время" and
// "Суммарное время"). It answers them as a ResultsOptionSource, which the lap results
// host reads at every rebuild and the drag results hand-over samples; it also keeps the
// drag ranking options in force (DragResults::currentRankOptions) equal to them, through
// its host, for the main-thread code that holds no source.
#include <filesystem>
#include <string>

#include "core/records/drag_result.h"

namespace velmaro {

struct ResultsTimeOptions {
    bool clearTime = true; // clean time (elapsed alone); false = dirty time
    bool sumTime = false;  // rank by the sum of times
    bool operator==(const ResultsTimeOptions&) const = default;
};

// Who holds the time options answers here. Main thread.
class ResultsOptionSource {
public:
    ResultsOptionSource() = default;
    ResultsOptionSource(const ResultsOptionSource&) = delete;
    ResultsOptionSource& operator=(const ResultsOptionSource&) = delete;
    virtual ~ResultsOptionSource() = default;
    virtual ResultsTimeOptions timeOptions() const = 0;
};

// The drag ranking options of a source in a timing mode.
inline TDragRankOptions dragRankOptions(const ResultsTimeOptions& o, int raceMode) {
    return TDragRankOptions{o.clearTime, o.sumTime, raceMode};
}

// The console as the results window sees it. Main thread.
class ResultsWindowHost {
public:
    ResultsWindowHost() = default;
    ResultsWindowHost(const ResultsWindowHost&) = delete;
    ResultsWindowHost& operator=(const ResultsWindowHost&) = delete;
    virtual ~ResultsWindowHost() = default;

    virtual int raceMode() const = 0;                      // timing mode 0..8
    virtual std::filesystem::path eventFolder() const = 0; // of the open event
    virtual std::string eventName() const = 0;
    // Asks the lap results for a rebuild (scheduleLapResults).
    virtual void rebuildLapResults() = 0;
    // Hands the runs to the drag results worker (DragResults::notifyResultsThread).
    virtual void rebuildDragResults() = 0;
    // The window's time options changed (or were first set): the drag ranking options
    // in force become `options` (DragResults::setCurrentRankOptions).
    virtual void setRankOptions(const TDragRankOptions& options) = 0;
    // Selects the lap event's row of the main window's lap grid and brings the main
    // window to the front.
    virtual void showLapEvent(int index) = 0;
};

// Showing the window or changing an option asks for a rebuild of the mode's results:
// the lap results in modes 1, 4 and 6, the drag results in 0, 2, 3, 7 and 8, nothing in
// mode 5 or any other value.
enum class ResultsRebuild { None, Lap, Drag };
ResultsRebuild resultsRebuildFor(int mode);
void requestResultsRebuild(ResultsWindowHost& host);

} // namespace velmaro
