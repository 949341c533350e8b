#include "ui/registration/reg_form.h"

namespace velmaro::ui {

TRegForm* RegForm = nullptr;

TRegForm::TRegForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RegForm");
    setWindowTitle(QString::fromUtf8("Регистрация"));
}

} // namespace velmaro::ui
