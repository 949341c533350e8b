#include "ui/app/velmaro_app.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "core/app/console.h"
#include "core/platform/operator.h"
#include "ui/app/console_windows.h"
#include "ui/app/console_wiring.h"
#include "ui/app/main_form.h"
#include "ui/app/qt_operator.h"
#include "ui/link/scoreboard_settings_dialog.h"
#include "ui/registration/reg_form.h"

namespace velmaro {

int runConsole(QApplication& app) {
    ui::QtOperator op;
    setOperator(&op);
    int result = 0;
    ui::ConsoleWiring wiring;
    try {
        // Closing the main window ends the program, whatever other windows are open.
        app.setQuitOnLastWindowClosed(false);

        ConsoleHooks& hooks = theConsole().hooks;
        // The registry lives in the registration window: no event loads before it exists.
        hooks.registryExists = [] { return ui::RegForm != nullptr; };
        hooks.scoreboardSettingsExist = [] { return ui::fScoreboardConfig != nullptr; };

        wiring.installHooks();
        ui::createConsoleWindows([&wiring](ui::TMainForm& form) { wiring.attachMainForm(form); });
        wiring.attachRegistry(*ui::RegForm);
        op.setOwner(ui::MainForm);
        ui::MainForm->onClosed = [] { QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection); };
        ui::MainForm->show();
        result = app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Velmaro", QString::fromUtf8(e.what()));
        result = 1;
    } catch (...) {
        QMessageBox::critical(nullptr, "Velmaro", QString());
        result = 1;
    }
    if (ui::MainForm && !ui::MainForm->closing()) ui::MainForm->close();
    wiring.release();
    ui::destroyConsoleWindows();
    setOperator(nullptr);
    return result;
}

} // namespace velmaro
