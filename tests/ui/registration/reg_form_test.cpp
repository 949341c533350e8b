// The registration window: its dialogs, lists, class panel, export and start list.
#include "ui/registration/reg_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

#include "core/platform/document_opener.h"
#include "core/platform/program_folder.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/controls/editable_list_view.h"
#include "ui/platform/printing.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"

namespace velmaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ui::TEditableListView;
using Panel = std::vector<std::pair<QString, QString>>;

class RecordingHost : public RegistrationHost, public DocumentOpener {
public:
    std::vector<std::string> calls;
    std::string eventName() const override { return "Кубок"; }
    DocumentOpener& documentOpener() override { return *this; }
    void reloadEvent() override { calls.push_back("reloadEvent"); }
    void open(const std::filesystem::path& file, std::function<void()>) override {
        calls.push_back("open " + file.filename().string());
    }
};

class RegFormTest : public ::testing::Test {
protected:
    RegFormTest() : scoped(op), classDialog(op), racerDialog(op), form(registry, op) {
        setProgramFolder(tmp.path());
        std::filesystem::create_directories(tmp / "event");
        ui::EditClassForm = &classDialog;
        ui::EditPersonalDataForm = &racerDialog;
        form.registry.setEventFolder(tmp / "event");
        form.registry.setDatabaseFile(tmp / "DB" / "racersdb.txt");
        form.show();
    }
    ~RegFormTest() override {
        ui::EditClassForm = nullptr;
        ui::EditPersonalDataForm = nullptr;
    }
    // Runs `click` while `dialog` answers: `fill` sets its fields, then OK or cancel.
    static void answer(QDialog& dialog, const std::function<void()>& fill, bool ok,
                       const std::function<void()>& click) {
        QTimer::singleShot(0, &dialog, [&dialog, fill, ok] {
            if (fill) fill();
            ok ? dialog.accept() : dialog.reject();
        });
        click();
    }
    void addClass(const char* name, const char* min = "", const char* max = "") {
        form.pRegPages->setCurrentIndex(0);
        answer(
            classDialog,
            [=, this] {
                classDialog.setFields({name, min, max, ""});
            },
            true, [this] { form.bAddClick(); });
    }
    void addRacer(const char* number, const char* name, std::vector<int> ticked) {
        form.pRegPages->setCurrentIndex(1);
        answer(
            racerDialog,
            [=, this] {
                racerDialog.setFields({number, "", name, "", "", "", {}});
                for (int i : ticked) racerDialog.lClassesList->item(i)->setCheckState(Qt::Checked);
            },
            true, [this] { form.bAddClick(); });
    }
    std::string file(const char* name) const { return tmp.read(std::string("event/") + name); }

    TempFolder tmp;
    ScriptedOperator op;
    ScopedSaveReportLog scoped;
    TRegistry registry; // the root's in the console
    ui::TEditClassForm classDialog;
    ui::TEditPersonalDataForm racerDialog;
    ui::TRegForm form;
};

TEST_F(RegFormTest, AddingClassesAndRacersFillsTheListsThePanelAndTheFiles) {
    addClass("Pro", "4.1", "11");
    addClass("Street");
    EXPECT_EQ(file("classes.txt"), "0:Pro\t41,110,0\n1:Street\t0,0,0\n");
    EXPECT_EQ(form.lvClasses->model()->rowCount(), 2);
    EXPECT_EQ(form.lvClasses->model()->index(0, 2).data().toString(), "от  04.100 с, до  10.999 с");

    addRacer("7", "Иванов", {0, 1});
    addRacer("12", "Петров", {1});
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Pro", "1"}, {"Street", "2"}}));
    EXPECT_EQ(form.lTotalRacers->text(), "2");
    EXPECT_EQ(form.lvRacers->model()->index(0, 4).data().toString(), "Pro, Street");
    EXPECT_THAT(file("racers.txt"), HasSubstr("12,Петров,,,1:1,"));

    addRacer("07", "Дубль", {0}); // the number 7 is taken, however it is typed
    EXPECT_THAT(op.shown, ElementsAre("Участник с номером 7\n уже зарегистрирован"));
    EXPECT_EQ(form.lvRacers->model()->rowCount(), 2);
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Pro", "1"}, {"Street", "2"}}));
}

TEST_F(RegFormTest, ChangingARacerMovesItsCountsAndCancellingKeepsThem) {
    addClass("Pro");
    addClass("Street");
    addRacer("7", "Иванов", {0, 1});
    form.lvRacers->selectItem(0, 0);
    answer(racerDialog, nullptr, false, [this] { form.bEditClick(); });
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Pro", "1"}, {"Street", "1"}}));

    answer(
        racerDialog,
        [this] {
            EXPECT_EQ(racerDialog.RacerNumEdit->text(), "7");
            EXPECT_EQ(racerDialog.lClassesList->item(0)->checkState(), Qt::Checked);
            racerDialog.lClassesList->item(0)->setCheckState(Qt::Unchecked);
            racerDialog.RacerNameEdit->setText("Иванов-Петров");
        },
        true, [this] { form.bEditClick(); });
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Pro", "0"}, {"Street", "1"}}));
    EXPECT_EQ(form.lvRacers->model()->index(0, 2).data().toString(), "Иванов-Петров");
    EXPECT_THAT(file("racers.txt"), HasSubstr("7,Иванов-Петров,,,1:1,"));
}

TEST_F(RegFormTest, RemovingTakesTheSelectedRowAndAClassLeavesThePanel) {
    addClass("Pro");
    addClass("Street");
    addRacer("0", "Первый", {0});
    addRacer("0", "Второй", {0});
    form.pRegPages->setCurrentIndex(1);
    form.lvRacers->selectItem(1, 0);
    op.yesNoAnswers = {true};
    form.bRemoveClick();
    ASSERT_EQ(form.registry.racers.size(), 1u);
    EXPECT_EQ(form.registry.racers[0]->name, "Первый");
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Pro", "1"}, {"Street", "0"}}));

    form.pRegPages->setCurrentIndex(0);
    form.lvClasses->selectItem(0, 0);
    op.yesNoAnswers = {true};
    form.bRemoveClick();
    EXPECT_EQ(form.classPanelTexts(), (Panel{{"Street", "0"}}));
    EXPECT_EQ(form.lvRacers->model()->index(0, 4).data().toString(), "");
    EXPECT_EQ(file("classes.txt"), "1:Street\t0,0,0\n");
    EXPECT_THAT(op.shown.back(), "Удалить класс \"Pro\"?");
}

TEST_F(RegFormTest, ACellEditedInPlaceIsSavedAtOnce) {
    addClass("Pro");
    addRacer("7", "Иванов", {});
    form.pRegPages->setCurrentIndex(1);
    form.lvRacers->setFocus();
    form.lvRacers->selectItem(0, 2);
    QTest::keyClick(form.lvRacers, Qt::Key_F2);
    auto* edit = form.lvRacers->findChild<QLineEdit*>("cellEditor");
    ASSERT_NE(edit, nullptr);
    edit->setText("Сидоров; \"С\"");
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.lvRacers->model()->index(0, 2).data().toString(), "Сидоров; \"С\"");
    EXPECT_THAT(file("racers.txt"), HasSubstr("7,Сидоров; \"С\","));
}

// The class dialog is reused: it opens on the name field every time, a new class takes
// every field typed (the breakout limit too), and OK without a name keeps it open.
TEST_F(RegFormTest, ClassDialogOpensOnTheNameTakesEveryFieldAndRefusesAnEmptyName) {
    form.pRegPages->setCurrentIndex(0);
    bool openAfterRefusal = false;
    QTimer::singleShot(0, &classDialog, [&] {
        EXPECT_EQ(classDialog.focusWidget(), classDialog.eClassName);
        classDialog.eMinTime->setFocus();
        classDialog.eMinTime->setText("4");
        classDialog.eBreakoutLimit->setText("9,5");
        classDialog.sButton1->click(); // no name
        openAfterRefusal = classDialog.isVisible();
        EXPECT_EQ(classDialog.focusWidget(), classDialog.eClassName);
        classDialog.eClassName->setText("Pro");
        classDialog.eBreakoutLimit->setFocus(); // the field used last
        classDialog.sButton1->click();
    });
    form.bAddClick();
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_THAT(op.shown, ElementsAre("Не указано название класса!"));
    EXPECT_EQ(file("classes.txt"), "0:Pro\t40,0,95\n");

    const auto fieldTexts = [this] {
        return std::vector<QString>{classDialog.eClassName->text(), classDialog.eMinTime->text(),
                                    classDialog.eMaxTime->text(), classDialog.eBreakoutLimit->text()};
    };
    std::vector<QString> shown;
    QWidget* focused = nullptr;
    const auto look = [&] {
        QTimer::singleShot(0, &classDialog, [&] {
            shown = fieldTexts();
            focused = classDialog.focusWidget();
            classDialog.reject();
        });
    };
    look();
    form.bAddClick(); // a new class: every field empty, the breakout limit too
    EXPECT_EQ(shown, (std::vector<QString>{"", "", "", ""}));
    EXPECT_EQ(focused, classDialog.eClassName);

    form.lvClasses->selectItem(0, 0);
    look();
    form.bEditClick();
    EXPECT_EQ(shown, (std::vector<QString>{"Pro", "4.0", "", "9.5"}));
    EXPECT_EQ(focused, classDialog.eClassName);
}

TEST_F(RegFormTest, ExcelWritesBothFilesOpensTheWorkbookAndClosingReloads) {
    addClass("Pro");
    addRacer("7", "Иванов", {0});
    RecordingHost host;
    QTimer::singleShot(0, &form, [this] {
        form.bExcelClick();
        form.accept();
    });
    form.openModal(host);
    EXPECT_THAT(host.calls, ElementsAre("open racers.xlsx", "reloadEvent"));
    EXPECT_EQ(file("racers.csv"),
              "№ п/п;№ борт.;Метка;ФИО;Модель;Город;Команда;\n;\"=\"\"Pro\"\"\";\n1;7;;Иванов;;;;\n");
    EXPECT_TRUE(std::filesystem::exists(tmp / "event" / "racers.xlsx"));
}

TEST_F(RegFormTest, StartListGoesToAPdfWithoutPrinters) {
    if (anyPrinterInstalled()) GTEST_SKIP() << "a printer is installed";
    addClass("Pro");
    for (int i = 1; i <= 80; ++i) addRacer(std::to_string(i).c_str(), ("Участник " + std::to_string(i)).c_str(), {0});
    tmp.write("printfooter.txt", "Спасибо за участие!\r\n");
    op.shown.clear();
    form.bPrintPosClick();
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_THAT(op.shown[0], HasSubstr("start_list_"));
    std::filesystem::path pdf;
    for (const auto& e : std::filesystem::directory_iterator(tmp / "event"))
        if (e.path().extension() == ".pdf") pdf = e.path();
    ASSERT_FALSE(pdf.empty());
    EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
    if (const char* shots = std::getenv("VELMARO_SHOTS")) {
        std::filesystem::copy_file(pdf, std::filesystem::path(shots) / "start_list.pdf",
                                   std::filesystem::copy_options::overwrite_existing);
        form.pRegPages->setCurrentIndex(1);
        QCoreApplication::processEvents(); // the class panel's new labels show
        form.grab().save(QString::fromStdString((std::filesystem::path(shots) / "reg_form.png").string()));
    }
}

} // namespace
} // namespace velmaro::test
