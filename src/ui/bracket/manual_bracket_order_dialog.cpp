#include "ui/bracket/manual_bracket_order_dialog.h"

namespace velmaro::ui {

TmanualBracketOrderForm* manualBracketOrderForm = nullptr;

TmanualBracketOrderForm::TmanualBracketOrderForm(QWidget* parent) : QDialog(parent) {
    setObjectName("manualBracketOrderForm");
    setWindowTitle(QString::fromUtf8("Расстановка сетки"));
}

} // namespace velmaro::ui
