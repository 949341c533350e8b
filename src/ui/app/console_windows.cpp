#include "ui/app/console_windows.h"

#include <QToolButton>
#include <QWidget>

#include "core/app/console.h"
#include "core/link/node_link.h"
#include <memory>

#include "core/lap/lap_timing.h"
#include "ui/app/main_form.h"
#include "ui/app/results_host.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/manual_bracket_order_dialog.h"
#include "ui/link/channel_scan_dialog.h"
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

// The hit log window on the running console: the main window's Block ST button, the node
// link's socket and the replay targets (the defaults until the settings keep them).
class ConsoleHitLogPort final : public HitLogPort {
public:
    ConsoleHitLogPort(Console& console, NodeLink& link) : console_(console), link_(link) {}
    void releaseBlockSt() override {
        if (MainForm && MainForm->bBlockSt) MainForm->bBlockSt->setChecked(false); // no click
    }
    bool sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to) override {
        return link_.sendAsReceivedPacket(message, to);
    }
    HitReplayTargets replayTargets() const override { return {console_.replayRunTarget, console_.replayStepTarget}; }

private:
    Console& console_;
    NodeLink& link_;
};

QList<QWidget*> gWindows;
// What the windows reach of the console; they live as long as the windows.
std::unique_ptr<ConsoleResultsHost> gResultsHost;
std::unique_ptr<ConsoleHitLogPort> gHitLogPort;
// The link dialogs' ports over the console's link and scoreboard objects.
std::unique_ptr<ConsoleScoreboardSettingsPort> gScoreboardSettingsPort;
std::unique_ptr<ConsoleChannelScanPort> gChannelScanPort;

template <class T, class... Args>
T* make(T*& global, Args&... args) {
    global = new T(args..., nullptr); // top-level, owned by the application (gWindows)
    gWindows.append(global);
    return global;
}

} // namespace

QList<QWidget*> createConsoleWindows(MainFormCommands& commands, LapTiming& lap, Console& console, ConsolePorts& ports,
                                     DragResults& results, TRegistry& registry, Operator& op, DragRuns& drag,
                                     NodeLink& link, const std::function<void(TMainForm&)>& beforeCreate) {
    gResultsHost = std::make_unique<ConsoleResultsHost>(lap, console, results, drag);
    gHitLogPort = std::make_unique<ConsoleHitLogPort>(console, link);
    gScoreboardSettingsPort = std::make_unique<ConsoleScoreboardSettingsPort>(console, ports, drag, link);
    gChannelScanPort = std::make_unique<ConsoleChannelScanPort>(link);
    MainForm = new TMainForm(commands, lap, console, ports, op, drag, nullptr);
    gWindows.append(MainForm);
    if (beforeCreate) beforeCreate(*MainForm);
    MainForm->FormCreate();
    make(RegForm, registry, op);
    make(EditPersonalDataForm, op);
    make(SelectClassForm);
    make(LogWindow);
    RallyResults = new TRallyResults(*gResultsHost, gResultsHost->opener, op, nullptr);
    gWindows.append(RallyResults);
    make(SelectLanesForm);
    make(CheckClassesForm);
    HitLog = new THitLog(*gHitLogPort, lap.intake());
    gWindows.append(HitLog);
    make(SetTimeoutsForm);
    make(fScoreboardConfig, *gScoreboardSettingsPort);
    make(failRacerForm);
    make(SetWinnerForm);
    make(DragResultsForm);
    make(EditClassForm, op);
    make(manualBracketOrderForm);
    make(scanChannelsForm, *gChannelScanPort);
    make(startTimerForm, commands);
    make(SetCommentsForm);
    return gWindows;
}

void destroyConsoleWindows() {
    while (!gWindows.isEmpty()) delete gWindows.takeLast();
    gResultsHost.reset();
    gHitLogPort.reset();
    gScoreboardSettingsPort.reset();
    gChannelScanPort.reset();
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
