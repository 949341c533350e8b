#pragma once
// The scoreboard settings dialog, shown modally by the main menu "Табло". Its
// brightness, test display and options come with the timing network dialogs; the
// values it shows live in theConsole() (scoreboardBrightness, showLogo, showDirtyTimeSB).
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TfScoreboardConfig : public QDialog {
    Q_OBJECT
public:
    explicit TfScoreboardConfig(QWidget* parent = nullptr);
};

extern TfScoreboardConfig* fScoreboardConfig;

} // namespace velmaro::ui
