#pragma once
// The console as the results window sees it: the open event of the console it is built
// with, the two rebuild requests and the ranking options (the lap timing and the drag
// results and the runs it is built with; none is owned) and
// the way to a lap event in the main window's lap grid; and the desktop opener the
// export shows its workbook with.
#include "core/results/results_window.h"
#include "ui/platform/desktop_opener.h"

namespace velmaro {
class Console;
class DragResults;
class DragRuns;
class LapTiming;
} // namespace velmaro

namespace velmaro::ui {

class ConsoleResultsHost final : public ResultsWindowHost {
public:
    ConsoleResultsHost(LapTiming& lap, const Console& console, DragResults& results, DragRuns& drag)
        : lap_(lap), console_(console), results_(results), drag_(drag) {}

    int raceMode() const override;
    std::filesystem::path eventFolder() const override;
    std::string eventName() const override;
    void rebuildLapResults() override;  // LapTiming::scheduleLapResults
    void rebuildDragResults() override; // DragResults::notifyResultsThread
    void setRankOptions(const TDragRankOptions& options) override;
    void showLapEvent(int index) override;

    DesktopOpener opener;

private:
    LapTiming& lap_;
    const Console& console_;
    DragResults& results_;
    DragRuns& drag_;
};

} // namespace velmaro::ui
