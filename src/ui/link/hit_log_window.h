#pragma once
// The hit log window, shown by the main menu "Срабатывания". Its grid, feed-again and
// replay come with the hit log area.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QWidget>

namespace velmaro::ui {

class THitLog : public QWidget {
    Q_OBJECT
public:
    explicit THitLog(QWidget* parent = nullptr);
};

extern THitLog* HitLog;

} // namespace velmaro::ui
