#pragma once
// The manual bracket order dialog, shown only by bracket generation. Its racer list and
// buttons come with bracket generation.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TmanualBracketOrderForm : public QDialog {
    Q_OBJECT
public:
    explicit TmanualBracketOrderForm(QWidget* parent = nullptr);
};

extern TmanualBracketOrderForm* manualBracketOrderForm;

} // namespace velmaro::ui
