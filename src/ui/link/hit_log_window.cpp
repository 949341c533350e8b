#include "ui/link/hit_log_window.h"

namespace velmaro::ui {

THitLog* HitLog = nullptr;

THitLog::THitLog(QWidget* parent) : QWidget(parent) {
    setObjectName("HitLog");
    setWindowTitle(QString::fromUtf8("Журнал срабатываний"));
}

} // namespace velmaro::ui
