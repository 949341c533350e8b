#include "ui/app/console_windows.h"

#include <QToolButton>
#include <QWidget>

#include "core/app/console.h"
#include "core/link/system_interface.h"
#include <memory>

#include "ui/app/main_form.h"
#include "ui/app/results_host.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/manual_bracket_order_dialog.h"
#include "ui/link/channel_scan_dialog.h"
#include "core/lap/lap_timing.h"
#include "ui/link/hit_log_window.h"
#include "ui/link/link_dialog_ports.h"
#include "ui/link/scoreboard_settings_dialog.h"
#include "ui/registration/check_classes_form.h"
#include "ui/registration/drag_results_form.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"
#include "ui/registration/fail_racer_form.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro::ui {
namespace {

QList<QWidget*> gWindows;
// What the results window reaches of the console; lives as long as the windows.
std::unique_ptr<ConsoleResultsHost> gResultsHost;

// The hit log window on the running console: the main window's Block ST button, the node
// link's socket and the replay targets (the defaults until the settings keep them).
class ConsoleHitLogPort final : public HitLogPort {
public:
    void releaseBlockSt() override {
        if (MainForm && MainForm->bBlockSt) MainForm->bBlockSt->setChecked(false); // no click
    }
    bool sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to) override {
        TSystemInterface* link = theConsole().systemInterface;
        return link && link->sendAsReceivedPacket(message, to);
    }
    HitReplayTargets replayTargets() const override {
        return {theConsole().replayRunTarget, theConsole().replayStepTarget};
    }
};

ConsoleHitLogPort gHitLogPort;

template <class T, class... Args>
T* make(T*& global, Args&... args) {
    global = new T(args..., nullptr); // top-level, owned by the application (gWindows)
    gWindows.append(global);
    return global;
}

// The link dialogs' ports over theConsole()'s link and scoreboard objects.
std::unique_ptr<ConsoleScoreboardSettingsPort> gScoreboardSettingsPort;
ConsoleChannelScanPort gChannelScanPort;

} // namespace

QList<QWidget*> createConsoleWindows(MainFormCommands& commands, LapTiming& lap, DragRuns& drag,
                                     const std::function<void(TMainForm&)>& beforeCreate) {
    MainForm = new TMainForm(commands, lap, drag, nullptr);
    gWindows.append(MainForm);
    if (beforeCreate) beforeCreate(*MainForm);
    MainForm->FormCreate();
    make(RegForm);
    make(EditPersonalDataForm);
    make(SelectClassForm);
    make(LogWindow);
    gResultsHost = std::make_unique<ConsoleResultsHost>(lap, drag);
    RallyResults = new TRallyResults(*gResultsHost, gResultsHost->opener, nullptr);
    gWindows.append(RallyResults);
    make(SelectLanesForm);
    make(CheckClassesForm);
    HitLog = new THitLog(gHitLogPort, lap.intake());
    gWindows.append(HitLog);
    make(SetTimeoutsForm);
    gScoreboardSettingsPort = std::make_unique<ConsoleScoreboardSettingsPort>(drag);
    make(fScoreboardConfig, *gScoreboardSettingsPort);
    make(failRacerForm);
    make(SetWinnerForm);
    make(DragResultsForm);
    make(EditClassForm);
    make(manualBracketOrderForm);
    make(scanChannelsForm, gChannelScanPort);
    make(startTimerForm, commands);
    make(SetCommentsForm);
    return gWindows;
}

void destroyConsoleWindows() {
    while (!gWindows.isEmpty()) delete gWindows.takeLast();
    gResultsHost.reset();
    gScoreboardSettingsPort.reset();
    MainForm = nullptr;
    RegForm = nullptr;
    EditPersonalDataForm = nullptr;
    SelectClassForm = nullptr;
    LogWindow = nullptr;
    RallyResults = nullptr;
    SelectLanesForm = nullptr;
    CheckClassesForm = nullptr;
    HitLog = nullptr;
    SetTimeoutsForm = nullptr;
    fScoreboardConfig = nullptr;
    failRacerForm = nullptr;
    SetWinnerForm = nullptr;
    DragResultsForm = nullptr;
    EditClassForm = nullptr;
    manualBracketOrderForm = nullptr;
    scanChannelsForm = nullptr;
    startTimerForm = nullptr;
    SetCommentsForm = nullptr;
}

} // namespace velmaro::ui
