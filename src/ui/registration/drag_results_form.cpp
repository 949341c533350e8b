#include "ui/registration/drag_results_form.h"

namespace velmaro::ui {

TDragResultsForm* DragResultsForm = nullptr;

TDragResultsForm::TDragResultsForm(QWidget* parent) : QWidget(parent) {
    setObjectName("DragResultsForm");
    setWindowTitle(QString::fromUtf8("Результаты заезда"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setStyleSheet("background: white;");
}

} // namespace velmaro::ui
