// The run grid widget offscreen: mouse and keys set the selection, the popup items are
// enabled per mode and act on the runs, painting shows the core's colours and changes
// nothing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "core/drag/drag_fakes.h"
#include "core/drag/drag_file.h"
#include "core/registration/registry.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/drag/drag_grid_widget.h"

namespace velmaro::test {
namespace {

using ui::DragGridWidget;

constexpr uint64_t kStart = 36300000; // 10:05:00.000

class GridWidgetTest : public DragFolderTest {
protected:
    std::unique_ptr<DragGridWidget> grid;

    void SetUp() override {
        DragFolderTest::SetUp();
        grid = std::make_unique<DragGridWidget>(runs);
        QFont font("Tahoma");
        font.setPointSize(10);
        grid->setFont(font);
        grid->resize(800, 300);
        const int widths[] = {320, 72, 72, 320};
        for (int c = 0; c < 4; ++c) grid->setColumnWidth(c, widths[c]);
        grid->show();
    }
    void TearDown() override {
        grid.reset();
        DragTest::TearDown();
    }

    // A finished run: left wins after a foul of the right lane; the left lane has a
    // breakout in the final session when `final` is set.
    static TDragRaceItem finishedRun(int32_t id) {
        TDragRaceItem run;
        run.runId = id;
        run.racer = {12, 34};
        run.startTime = kStart;
        run.hits[0] = {hitAt(HIT_TYPE_RT, kStart + 310), hitAt(HIT_TYPE_60FEET, kStart + 1800),
                       hitAt(HIT_TYPE_SPEED, kStart + 9500), hitAt(HIT_TYPE_ET, kStart + 10186)};
        run.hits[1] = {hitAt(HIT_TYPE_RT, kStart - 120), hitAt(HIT_TYPE_ET, kStart + 11000)};
        return run;
    }
    void addRuns(int count) {
        runs.dragRuns().clear();
        for (int i = 0; i < count; ++i) runs.dragRuns().push_back(finishedRun(i + 1));
        runs.relayoutRuns();
    }
    // Centre of a cell in viewport coordinates (rows of 17 pixels from the top row).
    QPoint cell(int column, int row) const {
        int x = 0;
        for (int c = 0; c < column; ++c) x += grid->columnWidth(c);
        return {x + grid->columnWidth(column) / 2, (row - grid->topRow()) * 17 + 8};
    }
    // A point of a cell where no text is drawn: near the side the text does not start from.
    QPoint background(int column, int row) const {
        const QPoint centre = cell(column, row);
        const int half = grid->columnWidth(column) / 2;
        return {column == 0 ? centre.x() + half - 2 : centre.x() - half + 2, centre.y() - 6};
    }
    void click(int column, int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, cell(column, row));
    }
    std::array<int32_t, 3> selection() const { return {runs.selectedRun(), runs.selectedLane(), runs.selectedHit()}; }
    QAction* item(const char* name) const { return grid->popupMenu()->findChild<QAction*>(name); }
};

TEST_F(GridWidgetTest, MouseSelectsTheCellUnderIt) {
    addRuns(3); // blocks of 6 rows: 0..5, 6..11, 12..17
    struct Case {
        int column, row;
        Qt::MouseButton button;
        std::array<int32_t, 3> selected;
    };
    const Case cases[] =
        {
            {3, 0, Qt::LeftButton, {0, 1, -1}},
            {1, 6, Qt::LeftButton, {1, 2, -1}},
            {2, 7, Qt::LeftButton, {1, 2, -1}},
            {0, 9, Qt::RightButton, {1, 0, 1}}, // a right click selects before the menu
            {3, 15, Qt::LeftButton, {2, 1, 1}},
            {3, 16, Qt::LeftButton, {2, -1, -1}}, // no right hit there: the run, nothing lit
            {2, 16, Qt::LeftButton, {2, -1, -1}},
        };
    for (const Case& c : cases) {
        click(c.column, c.row, c.button);
        EXPECT_EQ(selection(), c.selected) << c.column << "," << c.row;
    }
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 18 * 17 + 4));
    EXPECT_EQ(selection(), (std::array<int32_t, 3>{-1, -1, -1})); // below the rows: nothing
}

TEST_F(GridWidgetTest, WheelScrollsWithoutSelecting) {
    addRuns(20);
    click(0, 2);
    const auto before = selection();
    QWheelEvent down(QPointF(50, 50), grid->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -240), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &down);
    EXPECT_EQ(grid->topRow(), 2);
    EXPECT_EQ(selection(), before);
}

TEST_F(GridWidgetTest, KeysMoveAndSelect) {
    addRuns(2);
    click(0, 0);
    QTest::keyClick(grid.get(), Qt::Key_Down); // racer row -> start row: the whole run
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(selection(), (std::array<int32_t, 3>{0, 2, -1}));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QTest::keyClick(grid.get(), Qt::Key_Right); // hit row 0, right column
    EXPECT_EQ(selection(), (std::array<int32_t, 3>{0, 1, 0}));
    QTest::keyClick(grid.get(), Qt::Key_Left);
    EXPECT_EQ(selection(), (std::array<int32_t, 3>{0, 0, 0}));
    QTest::keyClick(grid.get(), Qt::Key_Up);
    EXPECT_EQ(grid->currentRow(), 1);

    click(2, 6); // whole second run, then Delete with yes
    op.yesNoAnswers = {true};
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    EXPECT_EQ(runs.dragRuns().size(), 1u);
    EXPECT_EQ(grid->rowCount(), 6);
    host.mode = 7; // roller slalom: the key deletes nothing
    click(1, 0);
    op.yesNoAnswers = {true};
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    EXPECT_EQ(runs.dragRuns().size(), 1u);
}

TEST_F(GridWidgetTest, DoubleClickReportsTheHitTime) {
    addRuns(1);
    QSignalSpy spy(grid.get(), &DragGridWidget::hitTimeActivated);
    click(0, 3);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(0, 3));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<quint64>(), kStart + 1800);
    click(0, 0);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(0, 0)); // a racer: no time
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(GridWidgetTest, PopupItemsPerModeAndTheirActions) {
    addRuns(1);
    click(0, 2, Qt::RightButton); // left RT hit
    struct Case {
        int mode;
        std::vector<const char*> enabled;
    };
    const Case cases[] = {
        {0,
         {"mSetNumber", "N2", "mLAP", "N18", "makeItemPractice", "makeItemQual", "mSetPenalty", "mDeleteItem",
          "mSendToScoreboard"}},
        {7,
         {"mSetNumber", "N2", "mLAP", "N18", "makeItemPractice", "makeItemQual", "mSetPenalty", "mDeleteItem",
          "mSendToScoreboard"}},
        {4, {}},
    };
    const char* all[] = {"mSetNumber",   "N2",          "mStartLine",  "mFrStart",
                         "mPLAP",        "mLAP",        "N18",         "makeItemPractice",
                         "makeItemQual", "mSetPenalty", "mDeleteItem", "mSendToScoreboard"};
    for (const Case& c : cases) {
        host.mode = c.mode;
        grid->updateMenuStates();
        for (const char* name : all) {
            ASSERT_NE(item(name), nullptr) << name;
            const bool expected = std::find_if(c.enabled.begin(), c.enabled.end(), [&](const char* e) {
                                      return std::string(e) == name;
                                  }) != c.enabled.end();
            EXPECT_EQ(item(name)->isEnabled(), expected) << c.mode << " " << name;
        }
    }
    host.mode = 0;
    click(1, 0, Qt::RightButton); // the whole run
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, cell(1, 0), grid->mapToGlobal(cell(1, 0)));
    QApplication::sendEvent(grid->viewport(), &menuEvent);
    EXPECT_TRUE(grid->popupMenu()->isVisible());
    EXPECT_FALSE(item("mLAP")->isEnabled());
    EXPECT_TRUE(item("mDeleteItem")->isEnabled());
    grid->popupMenu()->hide();

    item("makeItemPractice")->trigger();
    EXPECT_EQ(runs.dragRuns()[0].runMode, RUN_MODE_PRACTICE);
    EXPECT_NE(folder.read("drag.txt").find(",2,1,0,0\n"), std::string::npos);
    click(0, 5); // the left ET hit
    grid->updateMenuStates();
    item("N18")->trigger();
    EXPECT_EQ(runs.dragRuns()[0].hits[0].size(), 3u);
    EXPECT_EQ(runs.dragRuns()[0].hits[1].size(), 3u);
    EXPECT_GE(host.notifies, 2);

    QSignalSpy board(grid.get(), &DragGridWidget::sendToScoreboardRequested);
    item("mSendToScoreboard")->trigger();
    EXPECT_EQ(board.count(), 1);
}

TEST_F(GridWidgetTest, SearchScrollsTheFoundRunIntoView) {
    addRuns(30);
    runs.dragRuns()[25].racer[1] = 77;
    grid->searchRacer("77", 1);
    EXPECT_EQ(selection(), (std::array<int32_t, 3>{25, 2, -1}));
    EXPECT_EQ(grid->currentRow(), 25 * 6 + 5); // the block's last row, so all of it shows
    EXPECT_LE(grid->topRow(), 25 * 6);
    grid->searchRacer("7 7", 1); // not a number: nothing
    grid->searchRacer("", -1);
    EXPECT_EQ(runs.selectedRun(), 25);
}

TEST_F(GridWidgetTest, PaintShowsTheCoreColoursAndChangesNothing) {
    auto& r = host.reg.racers.emplace_back(std::make_unique<TRacerItem>(12));
    r->name = "Иванов Пётр";
    r->carModel = "Lada 2107";
    r->city = "Тверь";
    r->classIds = {3};
    host.racers[12] = DragRacerInfo{"Иванов Пётр", "Тверь", {3}};
    host.classLimits[3] = 100; // 10.0 s: the left lane's 9.876 is a breakout
    addRuns(3);
    runs.dragRuns()[1].runMode = RUN_MODE_FINAL;
    runs.dragRuns()[2].runMode = RUN_MODE_PRACTICE;
    for (TDragRaceItem& run : runs.dragRuns()) run.recalculate(host);
    ASSERT_EQ(runs.dragRuns()[0].winner, 0);
    ASSERT_EQ(runs.dragRuns()[0].foul[1], 1);
    ASSERT_EQ(runs.dragRuns()[0].breakout[0], 1);
    runs.selectedRun() = 0;
    runs.selectedLane() = 0;
    runs.selectedHit() = 3; // the left ET hit
    const auto before = runs.dragRuns();
    const QImage image = grid->viewport()->grab().toImage();
    EXPECT_EQ(runs.dragRuns(), before);
    image.save(QString::fromStdString(std::string(VELMARO_BINARY_DIR) + "/drag_grid.png"));

    const auto pixel = [&](int column, int row) { return QColor(image.pixel(background(column, row))); };
    EXPECT_EQ(pixel(0, 0), QColor(192, 255, 189)); // winner
    EXPECT_EQ(pixel(3, 0), QColor(255, 189, 189)); // fouled loser
    EXPECT_EQ(pixel(0, 5), QColor(192, 192, 192)); // the selected hit
    EXPECT_EQ(pixel(0, 4), grid->palette().color(QPalette::Base));
    EXPECT_EQ(pixel(1, 7), QColor(200, 199, 255));  // final
    EXPECT_EQ(pixel(0, 14), QColor(127, 255, 212)); // practice
    EXPECT_EQ(pixel(3, 12), QColor(255, 189, 189)); // loser colour over the practice colour

    runs.selectedLane() = 2; // the whole run
    runs.selectedHit() = -1;
    const QImage whole = grid->viewport()->grab().toImage();
    whole.save(QString::fromStdString(std::string(VELMARO_BINARY_DIR) + "/drag_grid_whole.png"));
    EXPECT_EQ(QColor(whole.pixel(background(2, 3))), QColor(192, 192, 192));
    EXPECT_EQ(QColor(whole.pixel(background(0, 0))), QColor(192, 192, 192));
}

} // namespace
} // namespace velmaro::test
