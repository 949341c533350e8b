#include "ui/registration/edit_class_form.h"

namespace velmaro::ui {

TEditClassForm* EditClassForm = nullptr;

TEditClassForm::TEditClassForm(QWidget* parent) : QDialog(parent) {
    setObjectName("EditClassForm");
    setWindowTitle(QString::fromUtf8("Класс"));
}

} // namespace velmaro::ui
