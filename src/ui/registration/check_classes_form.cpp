#include "ui/registration/check_classes_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace velmaro::ui {

TCheckClassesForm* CheckClassesForm = nullptr;

TCheckClassesForm::TCheckClassesForm(QWidget* parent) : QDialog(parent) {
    setObjectName("CheckClassesForm");
    setWindowTitle(QString::fromUtf8("Классы для зачета"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("Укажите классы, в которые требуется зачесть результат"), this));
    ClassList = new QListWidget(this);
    ClassList->setObjectName("ClassList");
    layout->addWidget(ClassList);
    bOk = new QPushButton("OK", this);
    bCancel = new QPushButton(QString::fromUtf8("Отмена"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOk);
    buttons->addWidget(bCancel);
    layout->addLayout(buttons);
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace velmaro::ui
