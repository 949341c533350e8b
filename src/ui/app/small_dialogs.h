#pragma once
// The small windows of the console, created once at start-up and kept until the end:
// the log window, the class, lane and winner pickers, the comments and timeouts dialogs
// and the interval start timer. The pickers and dialogs are filled by their callers,
// shown modally and read afterwards; only the start timer acts on its own.
#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace velmaro {
class IntervalStartTimer;
}

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

class MainFormCommands;

// "Класс участника": the caller fills RClass (one line per class), the first line is
// selected, and the caller reads the selected line after the picker closes.
class TSelectClassForm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectClassForm(QWidget* parent = nullptr);
    // Fills the list, selects the first line, shows the picker modally: the line selected
    // when it closes, however it is closed (OK, a double click, Esc or the window's close
    // button); -1 when the list is empty or no line is selected.
    int pick(const std::vector<std::string>& lines);
    QListWidget* RClass = nullptr;
    QPushButton* bOk = nullptr;
};

// "Расположение участников": the racers of a pair on the two lanes; "<---->" exchanges
// them and toggles `swapped`.
class TSelectLanesForm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectLanesForm(QWidget* parent = nullptr);
    // Sets the two texts and `swapped`, shows the picker modally: true on OK, with
    // `swapped` as confirmed.
    bool choose(const std::array<std::string, 2>& texts, int& swapped);
    void bSwapClick();
    int swapped = 0;
    QLabel* lLeftLaneRacer = nullptr;
    QLabel* lRightLaneRacer = nullptr;
    QPushButton* bSwap = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;
};

// "Победитель": technical win or loss of a bracket pair.
class TSetWinnerForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetWinnerForm(QWidget* parent = nullptr);
    // The window's caption and the radio group's caption.
    void setCaptions(const std::string& caption, const std::string& groupCaption);
    // Sets the two items, no item chosen, and shows the dialog modally; eComment keeps
    // the text of its last use. The chosen item on OK (with `comment` the field's text);
    // -1 on cancel or when no item was chosen.
    int choose(const std::array<std::string, 2>& items, std::string& comment);
    // The selected item of WinnerSelector, -1 none.
    int selectedItem() const;
    QGroupBox* WinnerSelector = nullptr;
    std::array<QRadioButton*, 2> winnerItems{};
    QButtonGroup* winnerGroup = nullptr;
    QLineEdit* eComment = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;
};

// "Таймер старта": presses the main window's START every interval and NEXT 10 s after
// each START while "Включить таймер" is down (IntervalStartTimer on a monotonic clock).
class TstartTimerForm : public QDialog {
    Q_OBJECT
public:
    // START and NEXT are pressed through `commands` (as presses without modifiers).
    explicit TstartTimerForm(MainFormCommands& commands, QWidget* parent = nullptr);
    ~TstartTimerForm() override;
    // One tick of the window's 1 s timer (runs from creation on, visible or not).
    void TimerTick();
    void bTimerActiveClick(bool down);
    void bStartClick();
    void eStartIntervalChange();
    IntervalStartTimer& timer() { return *timer_; }

    QLabel* lCurrentTime = nullptr;
    QSpinBox* eStartInterval = nullptr;
    QPushButton* bTimerActive = nullptr;
    QLabel* lStartCountdown = nullptr;
    QPushButton* bStart = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    // Hidden in any way (closed, Esc, hide()): "Включить таймер" pops up and the timer
    // stops. A minimised window is not hidden by the program and keeps timing.
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<IntervalStartTimer> timer_;
};

// "Комментарии": two labelled edits set by the caller; on OK the caller takes both texts.
class TSetCommentsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetCommentsForm(QWidget* parent = nullptr);
    // Sets labels and texts, shows the dialog modally: true on OK with the fields' texts.
    bool edit(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments);
    QLabel* leComment0Label = nullptr;
    QLineEdit* leComment0 = nullptr;
    QLabel* leComment1Label = nullptr;
    QLineEdit* leComment1 = nullptr;
    QPushButton* bOk = nullptr;
    QPushButton* bCancel = nullptr;
};

extern TLogWindow* LogWindow;
extern TSetTimeoutsForm* SetTimeoutsForm;
extern TSelectClassForm* SelectClassForm;
extern TSelectLanesForm* SelectLanesForm;
extern TSetWinnerForm* SetWinnerForm;
extern TstartTimerForm* startTimerForm;
extern TSetCommentsForm* SetCommentsForm;

} // namespace velmaro::ui
