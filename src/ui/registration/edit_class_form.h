#pragma once
// The class dialog, filled, shown and read by the registration window. Its fields come
// with the registration edit dialogs.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TEditClassForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditClassForm(QWidget* parent = nullptr);
};

extern TEditClassForm* EditClassForm;

} // namespace velmaro::ui
