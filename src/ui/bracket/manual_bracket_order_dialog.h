#pragma once
// The manual bracket order dialog "Расстановка сетки", shown only by bracket generation:
// the racers of the new bracket in slot order, moved with "Выше" and "Ниже", confirmed
// with "ОК"; closing it any other way is a cancel.
// Created once at start-up in the fixed window order; lives until the program ends.
// `racers` observes the registry's records (the dialog owns only the list).
#include <QDialog>

#include <vector>

class QPushButton;
class QTreeWidget;

namespace velmaro {
struct TRacerItem;
}

namespace velmaro::ui {

class TmanualBracketOrderForm : public QDialog {
    Q_OBJECT
public:
    explicit TmanualBracketOrderForm(QWidget* parent = nullptr);

    // Shows `order` modally; on OK `order` takes the dialog's final order and true returns.
    bool editOrder(std::vector<TRacerItem*>& order);

    // Row count from `racers`, rows refilled ("Поз.", "Ст.Номер", "Имя").
    void FormShow();
    void sSpeedButton1Click(); // "Выше"
    void sSpeedButton2Click(); // "Ниже"
    void sSpeedButton3Click(); // "ОК"

    std::vector<TRacerItem*> racers;
    QTreeWidget* lvRacersList = nullptr;
    QPushButton* sSpeedButton1 = nullptr;
    QPushButton* sSpeedButton2 = nullptr;
    QPushButton* sSpeedButton3 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void move(int step);
};

extern TmanualBracketOrderForm* manualBracketOrderForm;

} // namespace velmaro::ui
