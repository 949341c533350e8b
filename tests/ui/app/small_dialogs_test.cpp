// The small dialogs as their callers use them: fill, show modally, read; and their captions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>

#include "console_app.h"
#include "core/start/interval_start_timer.h"
#include "counting_commands.h"
#include "ui/app/main_form.h"
#include "ui/app/small_dialogs.h"

namespace velmaro::test {
namespace {

void ensureApp() { consoleApp(); }

// Acts on the dialog once its modal loop runs.
void whenShown(const std::function<void()>& act) { QTimer::singleShot(0, act); }

std::string text(const QLabel* l) { return l->text().toStdString(); }

using PressCounter = CountingCommands;

class SmallDialogsTest : public ::testing::Test {
protected:
    SmallDialogsTest() { ensureApp(); }
};

TEST_F(SmallDialogsTest, LanePickerSwapsAndReportsTheArrangement) {
    ui::TSelectLanesForm form;
    EXPECT_EQ(form.windowTitle().toStdString(), "Расположение участников");
    EXPECT_EQ(form.bSwap->text().toStdString(), "<---->");
    EXPECT_EQ(form.bCancel->text().toStdString(), "ОТМЕНА");
    int swapped = 1;
    whenShown([&] {
        EXPECT_EQ(text(form.lLeftLaneRacer), "7 - Петров");
        form.bSwap->click();
        form.bSwap->click(); // twice: as it opened
        EXPECT_EQ(text(form.lLeftLaneRacer), "7 - Петров");
        EXPECT_EQ(form.swapped, 1);
        form.bSwap->click();
        EXPECT_EQ(text(form.lLeftLaneRacer), "12 - Иванов");
        EXPECT_EQ(text(form.lRightLaneRacer), "7 - Петров");
        form.bOk->click();
    });
    ASSERT_TRUE(form.choose({"7 - Петров", "12 - Иванов"}, swapped));
    EXPECT_EQ(swapped, 0);

    whenShown([&] {
        form.bSwap->click();
        form.bCancel->click();
    });
    EXPECT_FALSE(form.choose({"a", "b"}, swapped));
    EXPECT_EQ(swapped, 0);
}

TEST_F(SmallDialogsTest, WinnerDialogOpensWithNoItemChosenAndKeepsItsComment) {
    ui::TSetWinnerForm form;
    EXPECT_EQ(form.windowTitle().toStdString(), "Победитель");
    EXPECT_EQ(form.WinnerSelector->title().toStdString(), "Присвоить победу в заезде");
    EXPECT_EQ(form.eComment->placeholderText().toStdString(), "Комментарий (обоснование)");
    std::string comment;
    whenShown([&] {
        EXPECT_EQ(form.selectedItem(), -1);
        EXPECT_EQ(form.winnerItems[1]->text().toStdString(), "№ 7");
        form.winnerItems[1]->setChecked(true);
        form.eComment->setText("фальстарт");
        form.bOk->click();
    });
    form.setCaptions("Техническая победа", "Присвоить победу");
    EXPECT_EQ(form.choose({"№ 12 Иванов", "№ 7"}, comment), 1);
    EXPECT_EQ(comment, "фальстарт");
    EXPECT_EQ(form.windowTitle().toStdString(), "Техническая победа");
    EXPECT_EQ(form.WinnerSelector->title().toStdString(), "Присвоить победу");

    // Opened again: nothing chosen, the comment still there; OK without a choice is no choice.
    whenShown([&] {
        EXPECT_EQ(form.selectedItem(), -1);
        EXPECT_EQ(form.eComment->text().toStdString(), "фальстарт");
        form.bOk->click();
    });
    EXPECT_EQ(form.choose({"a", "b"}, comment), -1);
    whenShown([&] {
        form.winnerItems[0]->setChecked(true);
        form.bCancel->click();
    });
    EXPECT_EQ(form.choose({"a", "b"}, comment), -1);
}

TEST_F(SmallDialogsTest, CommentsDialogAndClassPicker) {
    ui::TSetCommentsForm comments;
    EXPECT_EQ(comments.windowTitle().toStdString(), "Комментарии");
    EXPECT_EQ(comments.bCancel->text().toStdString(), "Отмена");
    std::array<std::string, 2> texts{"был", ""};
    whenShown([&] {
        EXPECT_EQ(text(comments.leComment0Label), "№ 12 Иванов");
        EXPECT_EQ(comments.leComment0->text().toStdString(), "был");
        comments.leComment1->setText("новый");
        comments.bOk->click();
    });
    ASSERT_TRUE(comments.edit({"№ 12 Иванов", "№ 7"}, texts));
    EXPECT_EQ(texts, (std::array<std::string, 2>{"был", "новый"}));
    whenShown([&] {
        comments.leComment0->setText("x");
        comments.bCancel->click();
    });
    EXPECT_FALSE(comments.edit({"a", "b"}, texts));
    EXPECT_EQ(texts[0], "был");

    ui::TSelectClassForm classes;
    EXPECT_EQ(classes.windowTitle().toStdString(), "Класс участника");
    whenShown([&] {
        EXPECT_EQ(classes.RClass->currentRow(), 0);
        classes.RClass->setCurrentRow(1);
        classes.bOk->click();
    });
    EXPECT_EQ(classes.pick({"Стрит (0)", "Pro (1)"}), 1);
    // No cancel: Esc or the close button gives the line selected at that moment.
    whenShown([&] {
        EXPECT_EQ(classes.RClass->currentRow(), 0);
        classes.RClass->setCurrentRow(2);
        QTest::keyClick(classes.RClass, Qt::Key_Escape);
    });
    EXPECT_EQ(classes.pick({"Стрит (0)", "Pro (1)", "Drift (4)"}), 2);
    whenShown([&] { classes.close(); });
    EXPECT_EQ(classes.pick({"Стрит (0)", "Pro (1)"}), 0);
}

TEST_F(SmallDialogsTest, StartTimerWindowPressesNextThenStartAndSwitchesOffWhenHidden) {
    PressCounter commands;
    ui::TstartTimerForm form(commands);
    EXPECT_EQ(form.windowTitle().toStdString(), "Таймер старта");
    EXPECT_EQ(form.bTimerActive->text().toStdString(), "Включить таймер");
    EXPECT_EQ(text(form.lCurrentTime), "00:00:00");
    EXPECT_EQ(text(form.lStartCountdown), "00:00");
    EXPECT_EQ(form.eStartInterval->value(), 60);
    EXPECT_EQ(form.eStartInterval->minimum(), 1); // never faster than one start a second
    EXPECT_TRUE(form.Timer1->isActive());

    form.TimerTick(); // switched off: nothing pressed
    EXPECT_EQ(commands.nexts + commands.starts, 0);
    form.eStartInterval->setValue(30);
    form.bTimerActive->setChecked(true);
    form.TimerTick(); // first tick: NEXT
    EXPECT_EQ(commands.nexts, 1);
    EXPECT_EQ(text(form.lStartCountdown), "00:30");
    form.bStart->click(); // "СТАРТ": START at the next tick, without modifiers
    form.TimerTick();
    EXPECT_EQ(commands.starts, 1);
    EXPECT_EQ(commands.lastModifiers, 0);

    form.show();
    form.close();
    EXPECT_FALSE(form.bTimerActive->isChecked());
    EXPECT_FALSE(form.timer().on());

    // Esc hides the window without closing it: the timer stops all the same, and the
    // intervals that follow press nothing.
    form.show();
    form.bTimerActive->setChecked(true);
    form.bStart->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&form, &escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.bTimerActive->isChecked());
    EXPECT_FALSE(form.timer().on());
    const int presses = commands.starts + commands.nexts;
    for (int i = 0; i < 3; ++i) form.TimerTick();
    EXPECT_EQ(commands.starts + commands.nexts, presses);
}

} // namespace
} // namespace velmaro::test
