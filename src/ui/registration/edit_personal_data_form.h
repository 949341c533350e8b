#pragma once
// The racer data dialog (racer fields and the racer database), filled and read by the
// registration window. Its controls come with the registration edit dialogs.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TEditPersonalDataForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditPersonalDataForm(QWidget* parent = nullptr);
};

extern TEditPersonalDataForm* EditPersonalDataForm;

} // namespace velmaro::ui
