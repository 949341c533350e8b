#pragma once
class QApplication;
namespace velmaro {
// Installs the operator, wires the seams, creates the console's windows in their
// start-up order, shows the main window, runs the event loop and shuts down.
int runConsole(QApplication& app);
}
