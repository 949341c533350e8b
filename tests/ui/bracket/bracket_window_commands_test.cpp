// The bracket window's pair commands with a fake console: their effect on the bracket,
// the runs and final_bracket.txt; generation from the page in view; the manual order dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>

#include "core/bracket/bracket_pair_commands.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "fakes/bracket_player.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "qt_app.h"
#include "ui/bracket/form_final.h"
#include "ui/bracket/generate_bracket.h"
#include "ui/bracket/manual_bracket_order_dialog.h"

namespace velmaro {
namespace {

class FakeWindowPort : public TBracketWindowPort {
public:
    explicit FakeWindowPort(std::filesystem::path folder) : folder_(std::move(folder)) {}
    DragRuns& dragRuns() override { return runs; }
    void requestRebuild() override { calls.push_back("rebuild"); }
    std::filesystem::path eventFolder() override { return folder_; }
    void setWinnerCaptions(const std::string& caption, const std::string& group) override {
        calls.push_back("captions " + caption + " / " + group);
    }
    int chooseWinner(const std::array<std::string, 2>& items, std::string& comment) override {
        calls.push_back("winner " + items[0] + " / " + items[1]);
        if (onChooseWinner) onChooseWinner();
        comment = winnerComment;
        return winnerChoice;
    }
    bool editComments(const std::array<std::string, 2>& labels, std::array<std::string, 2>& comments) override {
        calls.push_back("comments " + labels[0] + " / " + labels[1] + " / " + comments[0] + " / " + comments[1]);
        comments = newComments;
        return true;
    }
    void showRunGridRow(std::int32_t row) override { calls.push_back("row " + std::to_string(row)); }
    std::int32_t lastVisibleGridRow() override { return lastVisible; }
    unsigned raceMode() override { return mode; }
    bool proStartSignal() override { return pro; }
    bool autoStartOn() override { return autoStart; }
    void pressBlockSt() override { calls.push_back("blockst"); }
    bool startArmed() override { return armed; }
    void armCommand37() override { calls.push_back("37"); }
    void sendStartSignalMode(std::uint16_t m) override { calls.push_back("signalmode " + std::to_string(m)); }
    void armAutoStart(int l, int r, int code, int proStart, int aux) override {
        calls.push_back("autostart " + std::to_string(l) + " " + std::to_string(r) + " " + std::to_string(code) + " " +
                        std::to_string(proStart) + " " + std::to_string(aux));
    }
    void startBracketPairRun(const std::shared_ptr<TFinalBracket>& b, TFinalPair* pair) override {
        calls.push_back("pairrun");
        EXPECT_TRUE(b->ownsPair(pair));
        armed = true;
    }
    void startRollersBracketPairRun(const std::shared_ptr<TFinalBracket>&, TFinalPair*) override {
        calls.push_back("rollersrun");
    }

    std::vector<std::string> calls;
    std::function<void()> onChooseWinner;
    int winnerChoice = 1;
    std::string winnerComment = "не вышел";
    std::array<std::string, 2> newComments{"c0", "c1"};
    std::int32_t lastVisible = 30;
    unsigned mode = 0;
    bool pro = true;
    bool autoStart = true;
    bool armed = false;
    test::FakeDragHost host;
    DragRuns runs{host}; // the event's runs the window selects in and starts

private:
    std::filesystem::path folder_;
};

class BracketWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureQtApplication(); }
    void SetUp() override {
        for (int i = 1; i <= 16; ++i) {
            auto& r = registry.racers.emplace_back(std::make_unique<TRacerItem>(i));
            r->name = "Гонщик " + std::to_string(i);
            r->classIds = {3};
        }
        cls.racerCount = 16;
    }
    void TearDown() override {}
    // A window with a played-in 8 bracket with a race for third place: first round run.
    std::shared_ptr<TFinalBracket> bracketOnWindow(TformFinal& form, int type = BRACKET_SINGLE_THIRD) {
        form.setClassItem(&cls);
        form.resize(1200, 700);
        form.show();
        auto b = std::make_shared<TFinalBracket>(8, type, 3, 8, "Сток");
        for (int i = 0; i < 8; ++i) b->setRacer(i + 1, 3, i);
        test::BracketPlayer player;
        player.nextId = 1;
        player.play(*b, 1); // the first round gets runs 1..4
        b->update(player.runs);
        for (auto& [id, run] : player.runs) {
            run.gridRow = 2 * int(port.runs.dragRuns().size());
            run.gridRows = 2;
            port.runs.dragRuns().push_back(run);
        }
        form.setBracket(b);
        return b;
    }
    void click(TformFinal& form, const TFinalPair* p, Qt::MouseButton button = Qt::RightButton) {
        form.pbFinalBracketMouseDown(button, (p->rect.left + p->rect.right) / 2, (p->rect.top + p->rect.bottom) / 2);
    }
    std::string file() { return folder.read("final_bracket.txt"); }
    // DragPageControl's shape: page 0 the run grid, page 1 the class page window.
    TformFinal* classPage(QTabWidget& pages, int w, int h) {
        pages.addTab(new QWidget, "Заезды");
        auto* form = new TformFinal(brackets, registry, port, desk, &pages);
        form->setClassItem(&cls);
        pages.addTab(form, "ТОП - Сток");
        pages.resize(w, h);
        pages.show();
        return form;
    }

    test::TempFolder folder;
    TRegistry registry;
    TClassItem cls{3, "Сток"};
    test::ScriptedOperator op;
    BracketPages brackets;
    QuestionDesk desk{op};
    FakeWindowPort port{folder.path()};
};

TEST_F(BracketWindowTest, ClickSelectsAndTechnicalWinRewritesTheRest) {
    TformFinal form(brackets, registry, port, desk, nullptr);
    auto b = bracketOnWindow(form);
    TFinalPair* first = b->upperRound(0)->pair(0);
    int selected = -1;
    QObject::connect(&form, &TformFinal::runSelected, [&](int id) { selected = id; });
    click(form, first);
    EXPECT_EQ(selected, first->run.runId);
    {
        auto lock = brackets.lockBrackets();
        ASSERT_EQ(b->selectedPair, first);
    }
    // Between pairs: the selection stays.
    form.pbFinalBracketMouseDown(Qt::LeftButton, 3, 3);
    EXPECT_EQ(b->selectedPair, first);

    // The pair has a run: asked first; No leaves it.
    const std::int32_t runId = first->run.runId;
    form.N2Click();
    EXPECT_EQ(op.shown.back(), "Будет переписано продолжение сетки\nПереписать данные заезда?");
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Question);
    EXPECT_EQ(first->forceWinner, -1);
    EXPECT_EQ(port.calls, std::vector<std::string>{"captions Техническая победа / Присвоить победу"});

    port.calls.clear();
    op.yesNoAnswers = {true};
    TFinalPair* semi = first->nextPair;
    ASSERT_NE(semi->racers[0], nullptr);
    form.N2Click();
    ASSERT_EQ(port.calls.size(), 3u);
    EXPECT_EQ(port.calls[0], "captions Техническая победа / Присвоить победу");
    EXPECT_EQ(port.calls[1], "winner № 1 Гонщик 1 / № 8 Гонщик 8");
    EXPECT_EQ(port.calls.back(), "rebuild");
    EXPECT_EQ(first->forceWinner, 1);
    EXPECT_EQ(first->run.runId, runId); // the pair keeps its run
    EXPECT_EQ(first->comments[1], "не вышел");
    EXPECT_NE(file().find("FORCEWINNER:0,1"), std::string::npos);
    EXPECT_NE(file().find("COMMENT:0,1:не вышел"), std::string::npos);
    EXPECT_NE(file().find("DRAGID:0," + std::to_string(runId)), std::string::npos);

    // Technical loss, first item: slot 1 wins, the comment goes to slot 0.
    port.winnerChoice = 0;
    op.yesNoAnswers = {true};
    form.N7Click();
    EXPECT_EQ(first->forceWinner, 1);
    EXPECT_EQ(first->comments[0], "не вышел");
    EXPECT_EQ(first->comments[1], "");

    // Comments.
    port.calls.clear();
    form.N10Click();
    EXPECT_EQ(port.calls[0], "comments № 1 Гонщик 1 / № 8 Гонщик 8 / не вышел / ");
    EXPECT_EQ(first->comments[0], "c0");
    EXPECT_NE(file().find("COMMENT:0,1:c1"), std::string::npos);
}

TEST_F(BracketWindowTest, DeleteRunDataClearsTheChainAndTheFile) {
    TformFinal form(brackets, registry, port, desk, nullptr);
    auto b = bracketOnWindow(form);
    b->update([this] {
        TDragRunMap map;
        for (const auto& r : port.runs.dragRuns()) map[r.runId] = r;
        return map;
    }());
    TFinalPair* first = b->upperRound(0)->pair(0);
    first->comments[0] = "keep";
    click(form, first);
    form.N3Click(); // unanswered: No
    EXPECT_EQ(op.shown.back(), "Точно удалить данные заезда?");
    EXPECT_NE(first->run.runId, 0);
    op.yesNoAnswers = {true};
    form.N3Click();
    EXPECT_EQ(first->run.runId, 0);
    EXPECT_EQ(first->winner, -1);
    EXPECT_EQ(first->comments[0], "keep");
    EXPECT_EQ(port.runs.dragRuns().size(), 4u); // the run itself stays in the run list
    EXPECT_EQ(file().find("DRAGID:0,"), std::string::npos);
    EXPECT_NE(file().find("DRAGID:1,"), std::string::npos);
    EXPECT_EQ(port.calls.back(), "rebuild");
}

// While a pair command's question is open the class is drawn again: the command finds its
// pair gone, says so and changes neither bracket. Its dialogs count as open questions.
TEST_F(BracketWindowTest, APairCommandWhoseBracketWasReplacedMeanwhileChangesNothing) {
    TformFinal form(brackets, registry, port, desk, nullptr);
    auto b = bracketOnWindow(form);
    TFinalPair* first = b->upperRound(0)->pair(0);
    click(form, first);
    const std::int32_t runId = first->run.runId;
    ASSERT_NE(runId, 0);
    op.yesNoAnswers = {true};
    op.whileOpen = [&] { form.setBracket(std::make_shared<TFinalBracket>(8, BRACKET_SINGLE_THIRD, 3, 8, "Сток")); };
    form.N3Click();
    EXPECT_EQ(op.shown.back(), kPairGoneText);
    EXPECT_EQ(first->run.runId, runId);
    EXPECT_EQ(form.bracket()->upperRound(0)->pair(0)->run.runId, 0);

    // The winner dialog (not asked through the operator) is an open question too.
    op.whileOpen = nullptr;
    form.setBracket(b);
    click(form, first);
    bool openInDialog = false;
    port.onChooseWinner = [&] { openInDialog = desk.questionOpen(); };
    op.yesNoAnswers = {true};
    form.N2Click();
    EXPECT_TRUE(openInDialog);
}

TEST_F(BracketWindowTest, FindInLogUsesTheRunIdOfTheRunList) {
    TformFinal form(brackets, registry, port, desk, nullptr);
    auto b = bracketOnWindow(form);
    TFinalPair* pair = b->upperRound(0)->pair(2);
    const std::int32_t id = pair->run.runId;
    // Another run was inserted before it: the pair's copy holds stale grid rows.
    TDragRaceItem earlier;
    earlier.runId = 50;
    earlier.gridRows = 6;
    port.runs.dragRuns().insert(port.runs.dragRuns().begin(), earlier);
    for (std::size_t i = 1; i < port.runs.dragRuns().size(); ++i) port.runs.dragRuns()[i].gridRow += 6;
    click(form, pair);
    port.calls.clear();
    form.N1Click();
    const auto it =
        std::find_if(port.runs.dragRuns().begin(), port.runs.dragRuns().end(), [&](auto& r) { return r.runId == id; });
    EXPECT_EQ(port.calls, (std::vector<std::string>{"row " + std::to_string(it->gridRow)}));
    EXPECT_EQ(port.runs.selectedRun(), int(it - port.runs.dragRuns().begin()));
    // The last row below the visible rows: the cursor goes to the last row.
    port.lastVisible = 0;
    port.calls.clear();
    form.N1Click();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"row " + std::to_string(it->gridRow + 1)}));
    // The run was deleted from the list: nothing happens.
    port.runs.dragRuns().erase(it);
    port.calls.clear();
    form.N1Click();
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(BracketWindowTest, PrepareAsksClearsAndArmsTheStart) {
    TformFinal form(brackets, registry, port, desk, nullptr);
    auto b = bracketOnWindow(form);
    TFinalPair* first = b->upperRound(0)->pair(0);
    TFinalPair* next = first->nextPair;
    next->run.runId = 77;
    next->comments[0] = "stays";
    click(form, first);

    form.N6Click(); // has a run, question unanswered: nothing
    EXPECT_TRUE(port.calls.empty());
    EXPECT_EQ(op.shown.back(), kOverwriteBracketText);
    EXPECT_EQ(op.questionIcons.back(), Operator::Icon::Error);
    op.yesNoAnswers = {true};
    TDragRaceItem current;
    current.racer = {1, 8};
    port.runs.dragRuns().push_back(current);
    port.runs.currentRunIndex() = int(port.runs.dragRuns().size()) - 1;
    form.pbFinalBracketDblClick();
    EXPECT_EQ(first->run.runId, 0);
    EXPECT_EQ(next->run.runId, 0);
    EXPECT_EQ(next->comments[0], "stays");
    EXPECT_EQ(port.calls,
              (std::vector<std::string>{"37", "blockst", "signalmode 1", "pairrun", "autostart 1 8 24 1 1"}));
    EXPECT_EQ(file().find("DRAGID:0,"), std::string::npos);

    // Roller slalom: its own road, neither Block ST nor the start light settings.
    port.calls.clear();
    port.mode = 7;
    form.N6Click(); // nothing to clear now: no question
    EXPECT_EQ(port.calls, (std::vector<std::string>{"rollersrun"}));
}

TEST_F(BracketWindowTest, WindowWithoutPortOrPairDoesNothing) {
    TformFinal viewer(brackets, registry);
    auto b = bracketOnWindow(viewer);
    click(viewer, b->upperRound(0)->pair(0));
    op.yesNoAnswers = {true, true};
    viewer.N3Click();
    viewer.N6Click();
    EXPECT_NE(b->upperRound(0)->pair(0)->run.runId, 0);
    EXPECT_FALSE(viewer.hasPairCommands());

    TformFinal form(brackets, registry, port, desk, nullptr);
    bracketOnWindow(form);
    form.N1Click();
    form.N10Click();
    form.N6Click();
    form.N3Click();
    EXPECT_TRUE(port.calls.empty());
    // The winner dialog takes its captions even when no pair is selected.
    form.N7Click();
    form.N2Click();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"captions Техническое поражение / Присвоить поражение",
                                                    "captions Техническая победа / Присвоить победу"}));
    EXPECT_EQ(form.PopupMenu1->actions().size(), 10);
    EXPECT_EQ(form.N1->text(), "Найти в логе");
}

TEST_F(BracketWindowTest, GenerationFromThePageInView) {
    QTabWidget pages;
    TformFinal* form = classPage(pages, 1000, 700);
    ui::TmanualBracketOrderForm dialog;

    sbGenerateBracketClick(pages, 4, 1, dialog, 1700000000, desk);
    EXPECT_EQ(op.shown.back(), "Выберите соответствующую вкладку!");
    EXPECT_FALSE(form->bracket());

    pages.setCurrentIndex(1);
    form->cbFinalCount->setCurrentText("16");
    sbGenerateBracketClick(pages, 4, 1, dialog, 1700000000, desk); // draw of 16 into 16: no question
    auto b = form->bracket();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->size, 16);
    EXPECT_EQ(b->type, 4);
    EXPECT_EQ(form->pbFinalBracket->width(), b->totalWidth);
    EXPECT_NE(file().find("BRACKETCLASS:3,16,4,16"), std::string::npos);
    EXPECT_EQ(port.calls.back(), "rebuild");
}

// A 16-slot double-elimination class page in the middle of its final: the grand final's
// racers known, its race not run yet, the pair selected. VELMARO_KEEP_PNG=<folder> keeps
// the picture.
TEST_F(BracketWindowTest, DoubleEliminationPageMidFinal) {
    QTabWidget pages;
    TformFinal* form = classPage(pages, 1400, 900);
    pages.setCurrentIndex(1);
    auto b = std::make_shared<TFinalBracket>(16, BRACKET_DOUBLE, 3, 16, "Сток");
    for (int i = 0; i < 16; ++i) b->setRacer(i + 1, 3, i);
    test::BracketPlayer player;
    player.nextId = 1;
    TFinalPair* grandFinal = nullptr;
    for (int step = 0; step < 40; ++step) {
        b->update(player.runs, racerNamesOf(registry));
        grandFinal = b->upperRound(b->roundsR())->pair(0);
        if (grandFinal->racers[0] && grandFinal->racers[1] && grandFinal->racers[0]->number > 0 &&
            grandFinal->racers[1]->number > 0)
            break;
        player.play(*b, 1);
    }
    ASSERT_TRUE(grandFinal);
    EXPECT_EQ(grandFinal->run.runId, 0);
    EXPECT_GT(grandFinal->racers[0]->number, 0);
    EXPECT_GT(grandFinal->racers[1]->number, 0);
    form->cbFinalCount->setCurrentText("16");
    form->setBracket(b);
    click(*form, grandFinal, Qt::LeftButton);
    EXPECT_EQ(b->selectedPair, grandFinal);
    // Drag the drawing to the left as far as it goes: its right edge stops at the panel's.
    form->pFinalPanelMouseDown(Qt::LeftButton, 1000, 300);
    form->pFinalPanelMouseMove(Qt::LeftButton, -4000, 300);
    EXPECT_LT(form->pbFinalBracket->x(), 0);
    EXPECT_EQ(form->pbFinalBracket->x() + form->pbFinalBracket->width(), form->pBracket->width());
    EXPECT_EQ(form->pbFinalBracket->y(), 0);
    const QImage shot = pages.grab().toImage();
    EXPECT_EQ(shot.size(), pages.size());
    if (const char* keep = std::getenv("VELMARO_KEEP_PNG")) shot.save(QString(keep) + "/bracket16_double.png");
}

TEST_F(BracketWindowTest, ManualOrderDialogMovesTheSelectedRacer) {
    ui::TmanualBracketOrderForm dialog;
    for (int i = 0; i < 3; ++i) dialog.racers.push_back(registry.racers[std::size_t(i)].get());
    dialog.FormShow();
    ASSERT_EQ(dialog.lvRacersList->topLevelItemCount(), 3);
    EXPECT_EQ(dialog.lvRacersList->topLevelItem(2)->text(2), "Гонщик 3");
    auto numbers = [&] {
        std::vector<int> v;
        for (auto* r : dialog.racers) v.push_back(int(r->number));
        return v;
    };
    dialog.sSpeedButton1Click(); // nothing selected
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
    dialog.lvRacersList->setCurrentItem(dialog.lvRacersList->topLevelItem(0));
    dialog.sSpeedButton1Click(); // first row up: nothing
    dialog.sSpeedButton2Click();
    dialog.sSpeedButton2Click(); // the selection moved with racer 1
    EXPECT_EQ(numbers(), (std::vector<int>{2, 3, 1}));
    dialog.sSpeedButton2Click(); // last row down: nothing
    EXPECT_EQ(numbers(), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(dialog.lvRacersList->topLevelItem(2)->text(1), "1");
    EXPECT_EQ(dialog.lvRacersList->topLevelItem(2)->text(0), "3");
    dialog.sSpeedButton1Click();
    EXPECT_EQ(numbers(), (std::vector<int>{2, 1, 3}));
    dialog.sSpeedButton3Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// Pixels of a row's name cell that stand out from the cell's own fill: its text drawn.
int namePixels(QTreeWidget& list, int row) {
    const QImage shot = list.viewport()->grab().toImage();
    const QRect line = list.visualItemRect(list.topLevelItem(row));
    const int left = list.header()->sectionViewportPosition(2);
    const QRect cell(left + 2, line.top() + 2, list.header()->sectionSize(2) - 4, line.height() - 4);
    const QColor fill = shot.pixelColor(cell.right(), cell.center().y());
    int ink = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (std::abs(c.red() - fill.red()) + std::abs(c.green() - fill.green()) + std::abs(c.blue() - fill.blue()) >
                150)
                ++ink;
        }
    return ink;
}

// The dialog is made once and shown for every generation: the racers of the next page
// are all listed, in the order they will be seeded, each row readable, the one still
// selected from the page before too. VELMARO_KEEP_PNG=<folder> keeps the picture.
TEST_F(BracketWindowTest, ManualOrderDialogListsEveryRacerOfTheNextPage) {
    ui::TmanualBracketOrderForm dialog;
    dialog.racers = {registry.racers[0].get(), registry.racers[1].get(), registry.racers[2].get()};
    dialog.show();
    dialog.lvRacersList->setCurrentItem(dialog.lvRacersList->topLevelItem(2));
    dialog.sSpeedButton1Click();
    dialog.sSpeedButton1Click(); // racer 3 to the top, still selected
    dialog.hide();

    dialog.racers.clear();
    for (std::size_t i = 4; i < 9; ++i) dialog.racers.push_back(registry.racers[i].get());
    dialog.show();
    QTreeWidget& list = *dialog.lvRacersList;
    ASSERT_EQ(list.topLevelItemCount(), 5);
    for (int row = 0; row < 5; ++row) {
        const int number = row + 5;
        EXPECT_EQ(list.topLevelItem(row)->text(0), QString::number(row + 1));
        EXPECT_EQ(list.topLevelItem(row)->text(1), QString::number(number));
        EXPECT_EQ(list.topLevelItem(row)->text(2), QString::fromStdString("Гонщик " + std::to_string(number)));
        EXPECT_GT(namePixels(list, row), 20)
            << "row " << row << (list.topLevelItem(row)->isSelected() ? " (selected)" : "");
    }
    if (const char* keep = std::getenv("VELMARO_KEEP_PNG")) dialog.grab().save(QString(keep) + "/manual_order.png");
}

} // namespace
} // namespace velmaro
