#include "ui/app/results_host.h"

#include "core/app/console.h"
#include "core/lap/lap_timing.h"
#include "core/results/drag_results.h"
#include "ui/app/main_form.h"

namespace velmaro::ui {

int ConsoleResultsHost::raceMode() const { return static_cast<int>(theConsole().raceMode); }
std::filesystem::path ConsoleResultsHost::eventFolder() const { return theConsole().eventFolder; }
std::string ConsoleResultsHost::eventName() const { return theConsole().eventName; }
void ConsoleResultsHost::rebuildLapResults() { lap_.scheduleLapResults(); }
void ConsoleResultsHost::rebuildDragResults() { notifyResultsThread(drag_); }

void ConsoleResultsHost::showLapEvent(int index) {
    if (!MainForm) return;
    MainForm->SingleLanePanel->selectEvent(index);
    MainForm->raise();
    MainForm->activateWindow();
}

} // namespace velmaro::ui
