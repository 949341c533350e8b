#pragma once
// The scoreboard settings dialog "Настройки табло", shown modally by the main menu
// "Табло": brightness of every scoreboard, a test display, the options "Выводить
// грязное время" and "Показывать лого", and the push of the time-outs to the start unit.
// The values live in the console (scoreboardBrightness, showLogo, showDirtyTimeSB):
// fillFromSettings shows them, every change saves them through the port. The track bar's
// position is the brightness the console reads from the moment it moves.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <string>

#include "ui/link/link_dialog_ports.h"

namespace velmaro::ui {

class TfScoreboardConfig : public QDialog {
    Q_OBJECT
public:
    // `port` (not owned) outlives the dialog.
    explicit TfScoreboardConfig(ScoreboardSettingsPort& port, QWidget* parent = nullptr);

    // Shows the settings values without saving them again (when the main window is shown).
    void fillFromSettings(int brightness, bool showLogo, bool showDirtyTime);

    void tbBrightnessChange(); // track bar moved
    void sSpeedButton3Click(); // "Установить\r\nяркость"
    void sSpeedButton2Click(); // "Вывести": test display
    void SpeedButton1Click();  // time-outs to the start unit
    void sSpeedButton1Click(); // "Закрыть"
    void saveOptions();        // either check box clicked, or the dialog closed

    QSlider* tbBrightness = nullptr;
    QCheckBox* cbShowDirtyTime = nullptr;
    QCheckBox* cbShowLogo = nullptr;
    QLineEdit* sMaskEdit2 = nullptr;        // test racer number
    QLineEdit* sMaskEdit1 = nullptr;        // test reaction time, s
    QLineEdit* eScoreboardTop = nullptr;    // test time, s; also the test text
    QLineEdit* eScoreboardBottom = nullptr; // test speed
    QPushButton* sSpeedButton3 = nullptr;
    QPushButton* sSpeedButton2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QPushButton* sSpeedButton1 = nullptr;

protected:
    // Every close (button, Escape, the window's close box) saves the options.
    void done(int result) override;

private:
    void applyBrightness();

    ScoreboardSettingsPort& port_;
    bool filling_ = false;
};

// The text a type 120 scoreboard shows in the test: "%2d " + 0x03 + "%d:%02d.%02d" from
// the number mod 100 and the time in ms.
std::string scoreboardTestText120(long long number, long long timeMs);

extern TfScoreboardConfig* fScoreboardConfig;

} // namespace velmaro::ui
