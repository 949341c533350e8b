#include "ui/registration/fail_racer_form.h"

namespace velmaro::ui {

TfailRacerForm* failRacerForm = nullptr;

TfailRacerForm::TfailRacerForm(QWidget* parent) : QDialog(parent) {
    setObjectName("failRacerForm");
    setWindowTitle(QString::fromUtf8("Сход участника"));
}

} // namespace velmaro::ui
