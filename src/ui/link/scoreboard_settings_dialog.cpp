#include "ui/link/scoreboard_settings_dialog.h"

namespace velmaro::ui {

TfScoreboardConfig* fScoreboardConfig = nullptr;

TfScoreboardConfig::TfScoreboardConfig(QWidget* parent) : QDialog(parent) {
    setObjectName("fScoreboardConfig");
    setWindowTitle(QString::fromUtf8("Настройки табло"));
}

} // namespace velmaro::ui
