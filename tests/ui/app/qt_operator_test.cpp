// The official's questions as windows: each owned by the window it is asked on behalf of,
// and that window in front and active again once it is answered.
#include "ui/app/qt_operator.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "console_app.h"
#include "core/platform/operator.h"
#include "ui/registration/edit_class_form.h"

namespace velmaro::test {
namespace {

// The message box open now, answered Yes or OK once `look` has seen it.
void answerBoxSoon(const std::function<void(QMessageBox&)>& look) {
    QTimer::singleShot(0, [look] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        look(*box);
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        (yes ? yes : box->button(QMessageBox::Ok))->click();
    });
}

// The registration window's class dialog refuses an empty name: the message is the
// dialog's, and the dialog is the active window again after it, not the main window.
TEST(QtOperatorTest, ARefusalBelongsToTheDialogThatAskedWhichIsActiveAfterIt) {
    consoleApp();
    QWidget main;
    main.setWindowTitle("Velmaro");
    main.resize(600, 400);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ui::QtOperator dialogs(&main);
    QuestionDesk desk(dialogs);
    ui::TEditClassForm classDialog(desk, nullptr);

    QWidget* boxOwner = nullptr;
    bool stillOpen = false;
    QWidget* activeAfter = nullptr;
    QTimer::singleShot(0, &classDialog, [&] {
        answerBoxSoon([&](QMessageBox& box) {
            boxOwner = box.parentWidget();
            EXPECT_EQ(box.text(), QString::fromUtf8("Не указано название класса!"));
        });
        classDialog.sButton1->click(); // OK without a name
        stillOpen = classDialog.isVisible();
        QTest::qWaitFor([&] { return QApplication::activeWindow() == &classDialog; }, 2000);
        activeAfter = QApplication::activeWindow();
        classDialog.reject();
    });
    classDialog.exec();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(boxOwner, &classDialog);
    EXPECT_EQ(activeAfter, &classDialog);
}

// With no dialog open the question is the active window's; the main window's when none is.
TEST(QtOperatorTest, AQuestionWithNoDialogOpenBelongsToTheActiveWindow) {
    consoleApp();
    QWidget main;
    main.show();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ui::QtOperator dialogs(&main);
    QWidget* owner = nullptr;
    answerBoxSoon([&](QMessageBox& box) { owner = box.parentWidget(); });
    EXPECT_TRUE(dialogs.askYesNo("Удалить заезд?", "", Operator::Icon::Question));
    EXPECT_EQ(owner, &other);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &other; }, 2000));
}

} // namespace
} // namespace velmaro::test
