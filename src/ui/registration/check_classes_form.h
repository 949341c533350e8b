#pragma once
// The class check dialog: created at start-up, never shown or filled.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TCheckClassesForm : public QDialog {
    Q_OBJECT
public:
    explicit TCheckClassesForm(QWidget* parent = nullptr);
};

extern TCheckClassesForm* CheckClassesForm;

} // namespace velmaro::ui
