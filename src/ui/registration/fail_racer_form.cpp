#include "ui/registration/fail_racer_form.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace velmaro::ui {

TfailRacerForm* failRacerForm = nullptr;

TfailRacerForm::TfailRacerForm(QWidget* parent) : QDialog(parent) {
    setObjectName("failRacerForm");
    setWindowTitle(QString::fromUtf8("Сход участника"));
    setFixedSize(195, 245);
    auto* layout = new QVBoxLayout(this);
    lbRacers = new QListWidget(this);
    lbRacers->setObjectName("lbRacers");
    lbRacers->setStyleSheet("background: white;");
    layout->addWidget(lbRacers);
    bOk = new QPushButton("OK", this);
    bCancel = new QPushButton(QString::fromUtf8("Отмена"), this);
    for (QPushButton* b : {bOk, bCancel}) b->setFixedSize(75, 45);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bOk);
    buttons->addWidget(bCancel);
    layout->addLayout(buttons);
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace velmaro::ui
