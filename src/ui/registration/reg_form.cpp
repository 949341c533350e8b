#include "ui/registration/reg_form.h"

#include <filesystem>

#include "core/platform/operator.h"

namespace velmaro::ui {

TRegForm* RegForm = nullptr;

TRegForm::TRegForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RegForm");
    setWindowTitle(QString::fromUtf8("Регистрация"));
    setRegistry(&registry);
    // The racer database is read when the window is made; no file yet is a first start.
    const Status st = registry.loadRacerDb();
    if (!st.ok() && std::filesystem::exists(registry.databaseFile())) theOperator().log(st.message());
}

TRegForm::~TRegForm() {
    if (&theRegistry() == &registry) setRegistry(nullptr);
}

} // namespace velmaro::ui
