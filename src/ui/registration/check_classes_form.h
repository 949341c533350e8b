#pragma once
// The class check dialog "Классы для зачета": a check list of classes under a prompt,
// with "OK" and "Отмена". Created at start-up; the console neither fills nor shows it.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>
#include <QListWidget>
#include <QPushButton>

namespace velmaro::ui {

class TCheckClassesForm : public QDialog {
    Q_OBJECT
public:
    explicit TCheckClassesForm(QWidget* parent = nullptr);

    QListWidget* ClassList = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;
};

extern TCheckClassesForm* CheckClassesForm;

} // namespace velmaro::ui
