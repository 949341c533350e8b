#pragma once
// The registration window: classes and racers of the open event. It owns the registry
// every area reads (theRegistry() answers with it while the window exists). Its lists,
// buttons and edit commands come with the registration area's window; until then it is
// an empty window of the right class.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

#include "core/registration/registry.h"

namespace velmaro::ui {

class TRegForm : public QDialog {
    Q_OBJECT
public:
    explicit TRegForm(QWidget* parent = nullptr);
    ~TRegForm() override;

    // The racers, classes and racer database of the open event.
    TRegistry registry;
};

extern TRegForm* RegForm;

} // namespace velmaro::ui
