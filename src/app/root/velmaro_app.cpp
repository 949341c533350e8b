#include "app/root/velmaro_app.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <exception>

#include "app/root/console_root.h"
#include "ui/app/qt_operator.h"

namespace velmaro {

void installRussianTranslation(QApplication& app) {
    // "Да", "Нет", "Отмена" on the standard buttons, beside the console's Russian texts.
    auto* translator = new QTranslator(&app);
    if (translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    else
        delete translator;
}

int runConsole(QApplication& app) {
    installRussianTranslation(app);
    try {
        ui::QtOperator op;
        ConsoleRoot root(op);
        return root.exec(app);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Velmaro", QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "Velmaro", QString());
    }
    return 1;
}

} // namespace velmaro
