#pragma once
// The retired racer dialog "Сход участника": the lap timing empties lbRacers, adds one
// item per racer on course, shows the dialog and on OK takes lbRacers' current row
// (-1 when none) as the retiring racer.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>
#include <QListWidget>
#include <QPushButton>

namespace velmaro::ui {

class TfailRacerForm : public QDialog {
    Q_OBJECT
public:
    explicit TfailRacerForm(QWidget* parent = nullptr);

    QListWidget* lbRacers = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;
};

extern TfailRacerForm* failRacerForm;

} // namespace velmaro::ui
