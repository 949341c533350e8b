#pragma once
// The run result display "Результаты заезда": a borderless white window with the racer
// and the ET, RT and SPD of the left lane in the left half and of the right lane in
// the right half. Created at start-up; the console neither fills nor shows it.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QLabel>
#include <QWidget>

#include <array>

namespace velmaro::ui {

class TDragResultsForm : public QWidget {
    Q_OBJECT
public:
    explicit TDragResultsForm(QWidget* parent = nullptr);

    // Per lane (0 left, 1 right): racer information, ET, RT, SPD.
    struct Lane {
        QLabel* racer = nullptr;
        QLabel* et = nullptr;
        QLabel* rt = nullptr;
        QLabel* spd = nullptr;
    };
    std::array<Lane, 2> lanes;

protected:
    // Lays the two lanes out side by side, each in its half of the window.
    void resizeEvent(QResizeEvent* event) override;
};

extern TDragResultsForm* DragResultsForm;

} // namespace velmaro::ui
