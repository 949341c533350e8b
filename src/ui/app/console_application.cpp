#include "ui/app/console_application.h"

#include <QMessageBox>

#include <exception>

namespace velmaro::ui {

bool ConsoleApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), "Velmaro", QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), "Velmaro", QString());
    }
    return false;
}

} // namespace velmaro::ui
