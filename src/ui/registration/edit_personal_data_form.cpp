#include "ui/registration/edit_personal_data_form.h"

namespace velmaro::ui {

TEditPersonalDataForm* EditPersonalDataForm = nullptr;

TEditPersonalDataForm::TEditPersonalDataForm(QWidget* parent) : QDialog(parent) {
    setObjectName("EditPersonalDataForm");
    setWindowTitle(QString::fromUtf8("Данные участника"));
}

} // namespace velmaro::ui
