#include "ui/app/small_dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

#include "core/start/interval_start_timer.h"
#include "ui/app/main_form.h"

namespace velmaro::ui {

TLogWindow* LogWindow = nullptr;
TSetTimeoutsForm* SetTimeoutsForm = nullptr;
TSelectClassForm* SelectClassForm = nullptr;
TSelectLanesForm* SelectLanesForm = nullptr;
TSetWinnerForm* SetWinnerForm = nullptr;
TstartTimerForm* startTimerForm = nullptr;
TSetCommentsForm* SetCommentsForm = nullptr;

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

void fixedDialog(QDialog* d, const char* name, const char* caption) {
    d->setObjectName(name);
    d->setWindowTitle(QString::fromUtf8(caption));
}

// A fixed-size dialog: the layout decides the size and the user cannot change it.
void fixSize(QLayout* layout) { layout->setSizeConstraint(QLayout::SetFixedSize); }

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    return b;
}

// "OK" accepting and a cancel button rejecting, right-aligned in one row.
QHBoxLayout* okCancelRow(QDialog* d, QPushButton*& ok, QPushButton*& cancel, const char* cancelCaption) {
    ok = button(d, "bOk", "OK");
    ok->setDefault(true);
    cancel = button(d, "bCancel", cancelCaption);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
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

// ---------------------------------------------------------------- class picker

TSelectClassForm::TSelectClassForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SelectClassForm", "Класс участника");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("Укажите класс"), this));
    RClass = new QListWidget(this);
    RClass->setObjectName("RClass");
    RClass->setMinimumSize(260, 140);
    layout->addWidget(RClass);
    bOk = button(this, "bOk", "OK");
    bOk->setDefault(true);
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(RClass, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(bOk, 0, Qt::AlignHCenter);
    fixSize(layout);
}

int TSelectClassForm::pick(const std::vector<std::string>& lines) {
    RClass->clear();
    for (const std::string& line : lines) RClass->addItem(q(line));
    if (lines.empty()) return -1;
    RClass->setCurrentRow(0);
    // The picker has no cancel: closing it without OK keeps the line selected then.
    exec();
    return RClass->currentRow();
}

// ---------------------------------------------------------------- lane picker

TSelectLanesForm::TSelectLanesForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SelectLanesForm", "Расположение участников");
    auto lane = [this](QLabel*& label, const char* name, const char* caption) {
        auto* group = new QGroupBox(QString::fromUtf8(caption), this);
        auto* inner = new QVBoxLayout(group);
        label = new QLabel(group);
        label->setObjectName(name);
        label->setMinimumWidth(200);
        QFont f = label->font();
        f.setPointSize(f.pointSize() + 2);
        f.setBold(true);
        label->setFont(f);
        inner->addWidget(label);
        return group;
    };
    auto* lanes = new QHBoxLayout;
    lanes->addWidget(lane(lLeftLaneRacer, "lLeftLaneRacer", "Левая полоса"));
    bSwap = button(this, "bSwap", "<---->");
    connect(bSwap, &QPushButton::clicked, this, &TSelectLanesForm::bSwapClick);
    lanes->addWidget(bSwap);
    lanes->addWidget(lane(lRightLaneRacer, "lRightLaneRacer", "Правая полоса"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lanes);
    layout->addLayout(okCancelRow(this, bOk, bCancel, "ОТМЕНА"));
    fixSize(layout);
}

void TSelectLanesForm::bSwapClick() {
    const QString left = lLeftLaneRacer->text();
    lLeftLaneRacer->setText(lRightLaneRacer->text());
    lRightLaneRacer->setText(left);
    swapped ^= 1;
}

bool TSelectLanesForm::choose(const std::array<std::string, 2>& texts, int& swappedValue) {
    lLeftLaneRacer->setText(q(texts[0]));
    lRightLaneRacer->setText(q(texts[1]));
    swapped = swappedValue;
    if (exec() != QDialog::Accepted) return false;
    swappedValue = swapped;
    return true;
}

// ---------------------------------------------------------------- winner dialog

TSetWinnerForm::TSetWinnerForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SetWinnerForm", "Победитель");
    WinnerSelector = new QGroupBox(QString::fromUtf8("Присвоить победу в заезде"), this);
    WinnerSelector->setObjectName("WinnerSelector");
    auto* items = new QVBoxLayout(WinnerSelector);
    winnerGroup = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        winnerItems[std::size_t(i)] = new QRadioButton(WinnerSelector);
        winnerGroup->addButton(winnerItems[std::size_t(i)], i);
        items->addWidget(winnerItems[std::size_t(i)]);
    }
    eComment = new QLineEdit(this);
    eComment->setObjectName("eComment");
    eComment->setPlaceholderText(QString::fromUtf8("Комментарий (обоснование)"));
    eComment->setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WinnerSelector);
    layout->addWidget(eComment);
    layout->addLayout(okCancelRow(this, bOk, bCancel, "ОТМЕНА"));
    fixSize(layout);
}

int TSetWinnerForm::selectedItem() const { return winnerGroup->checkedId(); }

void TSetWinnerForm::setCaptions(const std::string& caption, const std::string& groupCaption) {
    setWindowTitle(q(caption));
    WinnerSelector->setTitle(q(groupCaption));
}

int TSetWinnerForm::choose(const std::array<std::string, 2>& items, std::string& comment) {
    // No item chosen each time the dialog opens.
    winnerGroup->setExclusive(false);
    for (std::size_t i = 0; i < 2; ++i) {
        winnerItems[i]->setText(q(items[i]));
        winnerItems[i]->setChecked(false);
    }
    winnerGroup->setExclusive(true);
    if (exec() != QDialog::Accepted) return -1;
    const int chosen = selectedItem();
    if (chosen < 0) return -1;
    comment = eComment->text().toStdString();
    return chosen;
}

// ---------------------------------------------------------------- interval start timer

namespace {
std::int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

TstartTimerForm::TstartTimerForm(MainFormCommands& commands, QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "startTimerForm", "Таймер старта");
    timer_ = std::make_unique<IntervalStartTimer>(
        monotonicMs, [&commands] { commands.start(0); }, [&commands] { commands.next(); });

    lCurrentTime = new QLabel("00:00:00", this);
    lCurrentTime->setObjectName("lCurrentTime");
    lCurrentTime->setAlignment(Qt::AlignCenter);
    QFont big = lCurrentTime->font();
    big.setPointSize(20);
    big.setBold(true);
    lCurrentTime->setFont(big);

    eStartInterval = new QSpinBox(this);
    eStartInterval->setObjectName("eStartInterval");
    // At least one second between starts.
    eStartInterval->setRange(1, 24 * 60 * 60);
    eStartInterval->setValue(60);
    connect(eStartInterval, &QSpinBox::valueChanged, this, [this] { eStartIntervalChange(); });

    bTimerActive = button(this, "bTimerActive", "Включить таймер");
    bTimerActive->setCheckable(true);
    connect(bTimerActive, &QPushButton::toggled, this, &TstartTimerForm::bTimerActiveClick);

    lStartCountdown = new QLabel("00:00", this);
    lStartCountdown->setObjectName("lStartCountdown");
    lStartCountdown->setFont(big);
    bStart = button(this, "bStart", "СТАРТ");
    connect(bStart, &QPushButton::clicked, this, &TstartTimerForm::bStartClick);

    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel(QString::fromUtf8("Интервал старта, с"), this));
    interval->addWidget(eStartInterval);
    auto* countdown = new QHBoxLayout;
    countdown->addWidget(new QLabel(QString::fromUtf8("Следующий старт через:"), this));
    countdown->addWidget(lStartCountdown);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lCurrentTime);
    layout->addLayout(interval);
    layout->addWidget(bTimerActive);
    layout->addLayout(countdown);
    layout->addWidget(bStart);
    fixSize(layout);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TstartTimerForm::TimerTick);
    Timer1->start();
}

TstartTimerForm::~TstartTimerForm() = default;

void TstartTimerForm::TimerTick() {
    lCurrentTime->setText(QTime::currentTime().toString("HH:mm:ss"));
    if (!timer_->on()) return;
    timer_->tick();
    lStartCountdown->setText(q(timer_->countdownText()));
}

void TstartTimerForm::bTimerActiveClick(bool down) {
    if (!down) {
        timer_->switchOff();
        return;
    }
    if (!timer_->switchOn(eStartInterval->cleanText().toStdString())) {
        const QSignalBlocker block(bTimerActive);
        bTimerActive->setChecked(false);
    }
}

void TstartTimerForm::bStartClick() { timer_->startNow(); }

void TstartTimerForm::eStartIntervalChange() { (void)timer_->setInterval(eStartInterval->cleanText().toStdString()); }

void TstartTimerForm::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) bTimerActive->setChecked(false);
    QDialog::hideEvent(event);
}

// ---------------------------------------------------------------- comments dialog

TSetCommentsForm::TSetCommentsForm(QWidget* parent) : QDialog(parent) {
    fixedDialog(this, "SetCommentsForm", "Комментарии");
    auto* layout = new QVBoxLayout(this);
    auto edit = [&](QLabel*& label, QLineEdit*& field, const char* name) {
        label = new QLabel(this);
        field = new QLineEdit(this);
        field->setObjectName(name);
        field->setMinimumWidth(320);
        label->setBuddy(field);
        layout->addWidget(label);
        layout->addWidget(field);
    };
    edit(leComment0Label, leComment0, "leComment0");
    edit(leComment1Label, leComment1, "leComment1");
    layout->addLayout(okCancelRow(this, bOk, bCancel, "Отмена"));
    fixSize(layout);
}

bool TSetCommentsForm::edit(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments) {
    leComment0Label->setText(q(labels[0]));
    leComment1Label->setText(q(labels[1]));
    leComment0->setText(q(comments[0]));
    leComment1->setText(q(comments[1]));
    if (exec() != QDialog::Accepted) return false;
    comments[0] = leComment0->text().toStdString();
    comments[1] = leComment1->text().toStdString();
    return true;
}

} // namespace velmaro::ui
