#pragma once
class QApplication;
namespace velmaro {
// Creates the console's windows in their start-up order, runs the event loop and shuts down.
int runConsole(QApplication& app);
}
