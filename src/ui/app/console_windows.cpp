#include "ui/app/console_windows.h"

#include <QWidget>

#include "ui/app/main_form.h"
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

QList<QWidget*> gWindows;

template <class T, class... Args>
T* make(T*& global, Args&... args) {
    global = new T(args..., nullptr); // top-level, owned by the application (gWindows)
    gWindows.append(global);
    return global;
}

// The link dialogs' ports over theConsole()'s link and scoreboard objects.
ConsoleScoreboardSettingsPort gScoreboardSettingsPort;
ConsoleChannelScanPort gChannelScanPort;

} // namespace

QList<QWidget*> createConsoleWindows(MainFormCommands& commands, const std::function<void(TMainForm&)>& beforeCreate) {
    MainForm = new TMainForm(commands, nullptr);
    gWindows.append(MainForm);
    if (beforeCreate) beforeCreate(*MainForm);
    MainForm->FormCreate();
    make(RegForm);
    make(EditPersonalDataForm);
    make(SelectClassForm);
    make(LogWindow);
    make(RallyResults);
    make(SelectLanesForm);
    make(CheckClassesForm);
    make(HitLog);
    make(SetTimeoutsForm);
    make(fScoreboardConfig, gScoreboardSettingsPort);
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
