#pragma once
// The retired racer dialog, filled, shown and read by the lap timing. Its list and
// buttons come with the registration edit dialogs.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TfailRacerForm : public QDialog {
    Q_OBJECT
public:
    explicit TfailRacerForm(QWidget* parent = nullptr);
};

extern TfailRacerForm* failRacerForm;

} // namespace velmaro::ui
