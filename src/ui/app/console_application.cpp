#include "ui/app/console_application.h"

#include <exception>

#include "core/platform/operator.h"

namespace velmaro::ui {

bool ConsoleApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (errors_) errors_->message(e.what(), "Velmaro", Operator::Icon::Error);
    } catch (...) {
        if (errors_) errors_->message("", "Velmaro", Operator::Icon::Error);
    }
    return false;
}

} // namespace velmaro::ui
