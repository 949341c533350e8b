#pragma once
// The results window of every timing mode, shown by the main menu "Итоги". Its time
// options, grid and export come with the results window area.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QWidget>

namespace velmaro::ui {

class TRallyResults : public QWidget {
    Q_OBJECT
public:
    explicit TRallyResults(QWidget* parent = nullptr);
};

extern TRallyResults* RallyResults;

} // namespace velmaro::ui
