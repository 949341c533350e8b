#include "ui/registration/check_classes_form.h"

namespace velmaro::ui {

TCheckClassesForm* CheckClassesForm = nullptr;

TCheckClassesForm::TCheckClassesForm(QWidget* parent) : QDialog(parent) {
    setObjectName("CheckClassesForm");
    setWindowTitle(QString::fromUtf8("Классы для зачета"));
}

} // namespace velmaro::ui
