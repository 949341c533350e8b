#include "ui/app/console_application.h"

#include <exception>

#include "core/platform/operator.h"

namespace velmaro::ui {

bool ConsoleApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        theOperator().message(e.what(), "Velmaro", Operator::Icon::Error);
    } catch (...) {
        theOperator().message("", "Velmaro", Operator::Icon::Error);
    }
    return false;
}

} // namespace velmaro::ui
