#pragma once
class QApplication;
namespace velmaro {
// Loads Qt's Russian texts for the standard buttons, builds the composition root, runs
// the event loop until the main window closes and shuts down.
void installRussianTranslation(QApplication& app);
int runConsole(QApplication& app);
} // namespace velmaro
