#pragma once
// The run result display: a borderless window created at start-up, never shown.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QWidget>

namespace velmaro::ui {

class TDragResultsForm : public QWidget {
    Q_OBJECT
public:
    explicit TDragResultsForm(QWidget* parent = nullptr);
};

extern TDragResultsForm* DragResultsForm;

} // namespace velmaro::ui
