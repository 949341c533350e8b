#pragma once
// The class dialog "Класс": name and the three time limits in seconds, filled, shown
// and read by the registration window. Keeps its texts between uses; each time it is
// shown the cursor is in the name field. OK with an empty name is refused with a message
// and the dialog stays open.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "core/registration/registration_edits.h"

namespace velmaro::ui {

class TEditClassForm : public QDialog {
    Q_OBJECT
public:
    // A refused name is told through `op` (not owned; outlives the dialog).
    explicit TEditClassForm(Operator& op, QWidget* parent = nullptr);

    ClassFields fields() const;
    void setFields(const ClassFields& fields);

    // OK: closes the dialog only when the name is accepted (classNameAccepted).
    void accept() override;

    QLineEdit* eClassName = nullptr;
    QLineEdit* eMinTime = nullptr;
    QLineEdit* eMaxTime = nullptr;
    QLineEdit* eBreakoutLimit = nullptr;
    QPushButton* sButton1 = nullptr; // "OK"
    QPushButton* sButton2 = nullptr; // "Отмена"

protected:
    void showEvent(QShowEvent* event) override;

private:
    Operator& op_;
};

extern TEditClassForm* EditClassForm;

} // namespace velmaro::ui
