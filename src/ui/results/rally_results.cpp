#include "ui/results/rally_results.h"

namespace velmaro::ui {

TRallyResults* RallyResults = nullptr;

TRallyResults::TRallyResults(QWidget* parent) : QWidget(parent) {
    setObjectName("RallyResults");
    setWindowTitle(QString::fromUtf8("Результаты"));
}

} // namespace velmaro::ui
