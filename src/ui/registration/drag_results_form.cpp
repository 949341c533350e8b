#include "ui/registration/drag_results_form.h"

#include <QResizeEvent>

namespace velmaro::ui {

TDragResultsForm* DragResultsForm = nullptr;

TDragResultsForm::TDragResultsForm(QWidget* parent) : QWidget(parent) {
    setObjectName("DragResultsForm");
    setWindowTitle(QString::fromUtf8("Результаты заезда"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setStyleSheet("background: white;");
    const char* const side[] = {"Left", "Right"};
    for (int i = 0; i < 2; ++i) {
        auto make = [&](const char* what, const char* text) {
            auto* label = new QLabel(QString::fromUtf8(text), this);
            label->setObjectName(QString("l%1%2").arg(what, side[i]));
            label->setAlignment(Qt::AlignCenter);
            return label;
        };
        lanes[i] = {make("Racer", ""), make("ET", "ET"), make("RT", "RT"), make("SPD", "SPD")};
    }
    resize(640, 240);
}

void TDragResultsForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = width() / 2;
    const int rowHeight = height() / 4;
    for (int i = 0; i < 2; ++i) {
        const Lane& l = lanes[i];
        int y = 0;
        for (QLabel* label : {l.racer, l.et, l.rt, l.spd}) {
            label->setGeometry(i * half, y, half, rowHeight);
            y += rowHeight;
        }
    }
}

} // namespace velmaro::ui
