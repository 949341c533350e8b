#include "ui/registration/edit_class_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "core/platform/operator.h"

namespace velmaro::ui {

TEditClassForm* EditClassForm = nullptr;

namespace {
QString u(const char* text) { return QString::fromUtf8(text); }
std::string s(const QLineEdit* edit) { return edit->text().toStdString(); }
} // namespace

TEditClassForm::TEditClassForm(Operator& op, QWidget* parent) : QDialog(parent), op_(op) {
    setObjectName("EditClassForm");
    setWindowTitle(u("Класс"));
    setFixedSize(236, 183);
    auto* grid = new QGridLayout(this);
    auto row = [&](int r, const char* caption, QLineEdit*& edit, const char* name, bool unit) {
        grid->addWidget(new QLabel(u(caption), this), r, 0);
        edit = new QLineEdit(this);
        edit->setObjectName(name);
        grid->addWidget(edit, r, 1);
        if (unit) grid->addWidget(new QLabel("c", this), r, 2);
    };
    row(0, "Название", eClassName, "eClassName", false);
    row(1, "Мин. время", eMinTime, "eMinTime", true);
    row(2, "Макс. время", eMaxTime, "eMaxTime", true);
    row(3, "Брейк-аут лимит", eBreakoutLimit, "eBreakoutLimit", true);
    sButton1 = new QPushButton("OK", this);
    sButton2 = new QPushButton(u("Отмена"), this);
    sButton1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sButton1);
    buttons->addWidget(sButton2);
    grid->addLayout(buttons, 4, 0, 1, 3);
    connect(sButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(sButton2, &QPushButton::clicked, this, &QDialog::reject);
}

ClassFields TEditClassForm::fields() const { return {s(eClassName), s(eMinTime), s(eMaxTime), s(eBreakoutLimit)}; }

void TEditClassForm::accept() {
    if (!classNameAccepted(s(eClassName), op_)) {
        eClassName->setFocus();
        return;
    }
    QDialog::accept();
}

void TEditClassForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The dialog is reused: without this it would open on the field used last.
    eClassName->setFocus();
}

void TEditClassForm::setFields(const ClassFields& f) {
    eClassName->setText(QString::fromStdString(f.name));
    eMinTime->setText(QString::fromStdString(f.minTime));
    eMaxTime->setText(QString::fromStdString(f.maxTime));
    eBreakoutLimit->setText(QString::fromStdString(f.breakoutLimit));
}

} // namespace velmaro::ui
