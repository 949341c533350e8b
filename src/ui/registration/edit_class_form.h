#pragma once
// The class dialog "Класс": name and the three time limits in seconds, filled, shown
// and read by the registration window. Keeps its texts between uses.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "core/registration/registration_edits.h"

namespace velmaro::ui {

class TEditClassForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditClassForm(QWidget* parent = nullptr);

    ClassFields fields() const;
    void setFields(const ClassFields& fields);

    QLineEdit* eClassName = nullptr;
    QLineEdit* eMinTime = nullptr;
    QLineEdit* eMaxTime = nullptr;
    QLineEdit* eBreakoutLimit = nullptr;
    QPushButton* sButton1 = nullptr; // "OK"
    QPushButton* sButton2 = nullptr; // "Отмена"
};

extern TEditClassForm* EditClassForm;

} // namespace velmaro::ui
