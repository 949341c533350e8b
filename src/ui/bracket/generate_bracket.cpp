#include "ui/bracket/generate_bracket.h"

#include <QTabWidget>

#include "core/bracket/bracket_generation.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "ui/bracket/form_final.h"
#include "ui/bracket/manual_bracket_order_dialog.h"

namespace velmaro::ui {

namespace {

// Generation's view of one class page window.
class WindowGenerationPort final : public TBracketGenerationPort {
public:
    WindowGenerationPort(TformFinal& window, TBracketWindowPort& console, TmanualBracketOrderForm& dialog)
        : window_(window), console_(console), dialog_(dialog) {}
    bool editRacerOrder(std::vector<TRacerItem*>& racers) override { return dialog_.editOrder(racers); }
    void bracketInstalled() override { window_.FormResize(); }
    void requestRebuild() override { console_.requestRebuild(); }
    std::filesystem::path eventFolder() override { return console_.eventFolder(); }

private:
    TformFinal& window_;
    TBracketWindowPort& console_;
    TmanualBracketOrderForm& dialog_;
};

} // namespace

void sbGenerateBracketClick(QTabWidget& DragPageControl, int bracketType, int method, TmanualBracketOrderForm& dialog,
                            std::int64_t nowSeconds, Operator& op) {
    auto* window =
        DragPageControl.currentIndex() > 0 ? qobject_cast<TformFinal*>(DragPageControl.currentWidget()) : nullptr;
    if (!window) {
        op.message(kChooseClassPageText, "Ошибка", Operator::Icon::Error);
        return;
    }
    TBracketWindowPort* console = window->port();
    if (!console) return;
    TGenerationRequest request;
    request.type = bracketType;
    request.method = method;
    request.requestedSize = window->cbFinalCount->currentText().toInt();
    request.nowSeconds = nowSeconds;
    WindowGenerationPort port(*window, *console, dialog);
    generateBracket(window->pages(), window->page(), request, window->registry(), op, port);
}

} // namespace velmaro::ui
