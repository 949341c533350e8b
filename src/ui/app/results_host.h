#pragma once
// The console as the results window sees it: the open event of theConsole(), the two
// rebuild requests and the way to a lap event in the main window's lap grid; and the
// desktop opener the export shows its workbook with.
#include "core/results/results_window.h"
#include "ui/platform/desktop_opener.h"

namespace velmaro::ui {

class ConsoleResultsHost final : public ResultsWindowHost {
public:
    int raceMode() const override;
    std::filesystem::path eventFolder() const override;
    std::string eventName() const override;
    void rebuildLapResults() override;  // scheduleLapResults
    void rebuildDragResults() override; // notifyResultsThread
    void showLapEvent(int index) override;

    DesktopOpener opener;
};

} // namespace velmaro::ui
