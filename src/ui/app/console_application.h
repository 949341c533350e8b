#pragma once
// The console's application object: an exception that escapes an event handler is
// shown to the operator (its message, or an empty one for anything that is not an
// exception object) and the event loop goes on. The console's root names the operator
// it tells (tellErrorsTo) for its lifetime; before and after, such an exception is dropped.
#include <QApplication>

namespace velmaro {
class Operator;
}

namespace velmaro::ui {

class ConsoleApplication : public QApplication {
public:
    ConsoleApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
    // Where escaped exceptions are told (not owned; null: nowhere).
    void tellErrorsTo(Operator* op) { errors_ = op; }

private:
    Operator* errors_ = nullptr;
};

} // namespace velmaro::ui
