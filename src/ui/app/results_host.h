#pragma once
// The console as the results window sees it: the open event of theConsole(), the two
// rebuild requests (the lap results of the lap timing and the drag results of the runs
// it is built with, neither owned) and
// the way to a lap event in the main window's lap grid; and the desktop opener the
// export shows its workbook with.
#include "core/results/results_window.h"
#include "ui/platform/desktop_opener.h"

namespace velmaro {
class DragRuns;
class LapTiming;
} // namespace velmaro

namespace velmaro::ui {

class ConsoleResultsHost final : public ResultsWindowHost {
public:
    ConsoleResultsHost(LapTiming& lap, DragRuns& drag) : lap_(lap), drag_(drag) {}

    int raceMode() const override;
    std::filesystem::path eventFolder() const override;
    std::string eventName() const override;
    void rebuildLapResults() override;  // LapTiming::scheduleLapResults
    void rebuildDragResults() override; // notifyResultsThread
    void showLapEvent(int index) override;

    DesktopOpener opener;

private:
    LapTiming& lap_;
    DragRuns& drag_;
};

} // namespace velmaro::ui
