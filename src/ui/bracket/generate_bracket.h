#pragma once
// The main window's button "Создать\r\nсетку" (TMainForm::sbGenerateBracketClick):
// generates the bracket of the class page in view of DragPageControl.
#include <cstdint>

class QTabWidget;

namespace velmaro {
class Operator;
}

namespace velmaro::ui {

class TmanualBracketOrderForm;

// `bracketType` and `method` are the item indexes of cbBracketType and
// cbGenerationMethod; `nowSeconds` seeds the draw. Page 0 (the run grid) in view: the
// error "Выберите соответствующую вкладку!". The page's bracket window must have been
// made with its port (rebuild and event folder come through it). Questions and messages
// go to `op`.
void sbGenerateBracketClick(QTabWidget& DragPageControl, int bracketType, int method, TmanualBracketOrderForm& dialog,
                            std::int64_t nowSeconds, Operator& op);

} // namespace velmaro::ui
