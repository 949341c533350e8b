#include "ui/app/results_host.h"

#include "core/app/console.h"
#include "core/lap/lap_timing.h"
#include "core/results/drag_results.h"
#include "ui/app/main_form.h"

namespace velmaro::ui {

int ConsoleResultsHost::raceMode() const { return static_cast<int>(console_.raceMode); }
std::filesystem::path ConsoleResultsHost::eventFolder() const { return console_.eventFolder; }
std::string ConsoleResultsHost::eventName() const { return console_.eventName; }
void ConsoleResultsHost::rebuildLapResults() { lap_.scheduleLapResults(); }
void ConsoleResultsHost::rebuildDragResults() { results_.notifyResultsThread(drag_); }
void ConsoleResultsHost::setRankOptions(const TDragRankOptions& options) { results_.setCurrentRankOptions(options); }

void ConsoleResultsHost::showLapEvent(int index) {
    if (!MainForm) return;
    MainForm->SingleLanePanel->selectEvent(index);
    MainForm->raise();
    MainForm->activateWindow();
}

} // namespace velmaro::ui
