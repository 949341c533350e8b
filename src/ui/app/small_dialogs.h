#pragma once
// The small windows of the console, created once at start-up and kept until the end.
// The log window and the timeouts dialog work here; the pickers, the comments and
// winner dialogs and the interval start timer are windows of their class and caption
// whose controls and behaviour come with the small dialogs area.
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QLineEdit;

namespace velmaro::ui {

// "Журнал": diagnostic lines (appendLog).
class TLogWindow : public QDialog {
    Q_OBJECT
public:
    explicit TLogWindow(QWidget* parent = nullptr);
    QPlainTextEdit* LogMemo = nullptr;
};

// Adds a line to the log window's memo while the window is visible; a memo that then
// holds 200 lines or more is cleared; the memo scrolls to its last line.
void appendLog(const QString& line);

// "Настройка таймаутов": three labelled edits, OK and Отмена.
class TSetTimeoutsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetTimeoutsForm(QWidget* parent = nullptr);
    QLineEdit* lBlockTimeout = nullptr;  // "Таймаут повтора    "
    QLineEdit* lDetectTimeout = nullptr; // "Таймаут детектора"
    QLineEdit* lBlockFinish = nullptr;   // "Блокировка после старта,с"
};

class TSelectClassForm : public QDialog { // "Класс участника"
    Q_OBJECT
public:
    explicit TSelectClassForm(QWidget* parent = nullptr);
};

class TSelectLanesForm : public QDialog { // "Расположение участников"
    Q_OBJECT
public:
    explicit TSelectLanesForm(QWidget* parent = nullptr);
    int swapped = 0;
};

class TSetWinnerForm : public QDialog { // "Победитель"
    Q_OBJECT
public:
    explicit TSetWinnerForm(QWidget* parent = nullptr);
};

class TstartTimerForm : public QDialog { // "Таймер старта"
    Q_OBJECT
public:
    explicit TstartTimerForm(QWidget* parent = nullptr);
};

class TSetCommentsForm : public QDialog { // "Комментарии"
    Q_OBJECT
public:
    explicit TSetCommentsForm(QWidget* parent = nullptr);
};

extern TLogWindow* LogWindow;
extern TSetTimeoutsForm* SetTimeoutsForm;
extern TSelectClassForm* SelectClassForm;
extern TSelectLanesForm* SelectLanesForm;
extern TSetWinnerForm* SetWinnerForm;
extern TstartTimerForm* startTimerForm;
extern TSetCommentsForm* SetCommentsForm;

} // namespace velmaro::ui
