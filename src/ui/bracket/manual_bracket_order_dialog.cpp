#include "ui/bracket/manual_bracket_order_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/registration/registry.h"

namespace velmaro::ui {

TmanualBracketOrderForm* manualBracketOrderForm = nullptr;

TmanualBracketOrderForm::TmanualBracketOrderForm(QWidget* parent) : QDialog(parent) {
    setObjectName("manualBracketOrderForm");
    setWindowTitle(QString::fromUtf8("Расстановка сетки"));
    resize(480, 420);

    auto* layout = new QHBoxLayout(this);
    lvRacersList = new QTreeWidget(this);
    lvRacersList->setObjectName("lvRacersList");
    lvRacersList->setColumnCount(3);
    lvRacersList->setHeaderLabels({QString::fromUtf8("Поз."), QString::fromUtf8("Ст.Номер"), QString::fromUtf8("Имя")});
    lvRacersList->setRootIsDecorated(false);
    lvRacersList->setUniformRowHeights(true);
    lvRacersList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvRacersList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvRacersList->setColumnWidth(0, 50);
    lvRacersList->setColumnWidth(1, 70);
    lvRacersList->setColumnWidth(2, 250);
    // Grid lines. A style sheet that draws the items draws their selection too: without
    // its own rule the selected row would be white text on white.
    lvRacersList->setStyleSheet("QTreeView::item { border: 1px solid #d0d0d0; }"
                                "QTreeView::item:selected { background: palette(highlight);"
                                " color: palette(highlighted-text); }");
    layout->addWidget(lvRacersList, 1);

    auto* buttons = new QVBoxLayout;
    sSpeedButton1 = new QPushButton(QString::fromUtf8("Выше"), this);
    sSpeedButton2 = new QPushButton(QString::fromUtf8("Ниже"), this);
    sSpeedButton3 = new QPushButton(QString::fromUtf8("ОК"), this);
    buttons->addWidget(sSpeedButton1);
    buttons->addWidget(sSpeedButton2);
    buttons->addStretch(1);
    buttons->addWidget(sSpeedButton3);
    layout->addLayout(buttons);

    connect(sSpeedButton1, &QPushButton::clicked, this, &TmanualBracketOrderForm::sSpeedButton1Click);
    connect(sSpeedButton2, &QPushButton::clicked, this, &TmanualBracketOrderForm::sSpeedButton2Click);
    connect(sSpeedButton3, &QPushButton::clicked, this, &TmanualBracketOrderForm::sSpeedButton3Click);
}

bool TmanualBracketOrderForm::editOrder(std::vector<TRacerItem*>& order) {
    racers = order;
    if (exec() != QDialog::Accepted) return false;
    order = racers;
    return true;
}

void TmanualBracketOrderForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TmanualBracketOrderForm::FormShow() {
    const int keep = lvRacersList->currentIndex().row();
    lvRacersList->clear();
    for (std::size_t i = 0; i < racers.size(); ++i) {
        const TRacerItem* r = racers[i];
        auto* row = new QTreeWidgetItem(lvRacersList);
        row->setText(0, QString::number(i + 1));
        row->setText(1, QString::number(r ? r->number : 0));
        row->setText(2, r ? QString::fromStdString(r->name) : QString());
    }
    if (keep >= 0 && keep < int(racers.size())) lvRacersList->setCurrentItem(lvRacersList->topLevelItem(keep));
}

void TmanualBracketOrderForm::move(int step) {
    QTreeWidgetItem* item = lvRacersList->currentItem();
    if (!item || !item->isSelected()) return;
    const int i = lvRacersList->indexOfTopLevelItem(item);
    const int j = i + step;
    if (i < 0 || j < 0 || j >= int(racers.size())) return;
    std::swap(racers[std::size_t(i)], racers[std::size_t(j)]);
    for (int k : {i, j}) {
        QTreeWidgetItem* row = lvRacersList->topLevelItem(k);
        const TRacerItem* r = racers[std::size_t(k)];
        row->setText(1, QString::number(r ? r->number : 0));
        row->setText(2, r ? QString::fromStdString(r->name) : QString());
    }
    lvRacersList->setCurrentItem(lvRacersList->topLevelItem(j)); // the selection moves with the racer
}

void TmanualBracketOrderForm::sSpeedButton1Click() { move(-1); }
void TmanualBracketOrderForm::sSpeedButton2Click() { move(1); }
void TmanualBracketOrderForm::sSpeedButton3Click() { accept(); }

} // namespace velmaro::ui
