#pragma once
// The registration window: classes and racers of the open event, and the registry
// every area reads. Its lists, buttons and registry operations come with the
// registration area; until then it is an empty window of the right class.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>

namespace velmaro::ui {

class TRegForm : public QDialog {
    Q_OBJECT
public:
    explicit TRegForm(QWidget* parent = nullptr);
};

extern TRegForm* RegForm;

} // namespace velmaro::ui
