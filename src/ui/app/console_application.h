#pragma once
// The console's application object: an exception that escapes an event handler is
// shown to the operator (its message, or an empty one for anything that is not an
// exception object) and the event loop goes on.
#include <QApplication>

namespace velmaro::ui {

class ConsoleApplication : public QApplication {
public:
    ConsoleApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace velmaro::ui
