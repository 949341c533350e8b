#include "ui/app/small_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace velmaro::ui {

TLogWindow* LogWindow = nullptr;
TSetTimeoutsForm* SetTimeoutsForm = nullptr;
TSelectClassForm* SelectClassForm = nullptr;
TSelectLanesForm* SelectLanesForm = nullptr;
TSetWinnerForm* SetWinnerForm = nullptr;
TstartTimerForm* startTimerForm = nullptr;
TSetCommentsForm* SetCommentsForm = nullptr;

namespace {
void fixedDialog(QDialog* d, const char* name, const char* caption) {
    d->setObjectName(name);
    d->setWindowTitle(QString::fromUtf8(caption));
}
} // namespace

TLogWindow::TLogWindow(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "LogWindow", "Журнал");
    LogMemo = new QPlainTextEdit(this);
    LogMemo->setObjectName("LogMemo");
    LogMemo->setReadOnly(true);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LogMemo);
    resize(480, 320);
}

void appendLog(const QString& line) {
    if (!LogWindow || !LogWindow->isVisible()) return;
    QPlainTextEdit* memo = LogWindow->LogMemo;
    memo->appendPlainText(line);
    if (memo->document()->blockCount() >= 200) memo->clear();
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
}

TSetTimeoutsForm::TSetTimeoutsForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SetTimeoutsForm", "Настройка таймаутов");
    auto* form = new QFormLayout;
    auto edit = [&](QLineEdit*& field, const char* name, const char* label) {
        field = new QLineEdit(this);
        field->setObjectName(name);
        form->addRow(QString::fromUtf8(label), field);
    };
    edit(lBlockTimeout, "lBlockTimeout", "Таймаут повтора    ");
    edit(lDetectTimeout, "lDetectTimeout", "Таймаут детектора");
    edit(lBlockFinish, "lBlockFinish", "Блокировка после старта,с");
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

TSelectClassForm::TSelectClassForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SelectClassForm", "Класс участника");
}
TSelectLanesForm::TSelectLanesForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SelectLanesForm", "Расположение участников");
}
TSetWinnerForm::TSetWinnerForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SetWinnerForm", "Победитель");
}
TstartTimerForm::TstartTimerForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "startTimerForm", "Таймер старта");
}
TSetCommentsForm::TSetCommentsForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SetCommentsForm", "Комментарии");
}

} // namespace velmaro::ui
