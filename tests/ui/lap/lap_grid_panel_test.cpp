// The lap grid panel: rows from the lap events, the on-course list after START, NEXT
// and a retirement, the menus' enabled states, the keys, and a picture of a lap run.
#include "core/lap/lap_fixture.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTest>

#include "ui/lap/lap_grid_panel.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

// The lap timing's host with the grid methods forwarded to a panel, as the console's is.
class PanelLapHost : public FakeLapHost {
public:
    ui::LapGridPanel* panel = nullptr;
    int gridCurrentRow() const override { return panel->currentRow(); }
    void setGridCurrentRow(int row) override { panel->setCurrentRow(row); }
    void setGridRowCount(int rows) override { panel->setRowCount(rows); }
    void repaintGrid() override { panel->repaintGrid(); }
    void setOnCourseListCount(int count) override { panel->setOnCourseCount(count); }
};

class LapGridPanelTest : public LapTest {
protected:
    PanelLapHost panelHost;
    RecordingGridPort port;
    std::unique_ptr<ui::LapGridPanel> panel;
    uint64_t t = 1700000000000ull;

    void SetUp() override {
        LapTest::SetUp();
        panelHost.folder = temp.path();
        panelHost.reg = &registry;
        lap.emplace(panelHost, intake, op); // the fixture's lap timing, on this host
        panel = std::make_unique<ui::LapGridPanel>(*lap, port);
        panelHost.panel = panel.get();
        QFont font("Tahoma");
        font.setPointSize(10);
        panel->SingleLaneGrid->setupColumns(font);
        panel->resize(760, 300);
        panel->show();
        registry.addClass(1, "Сток");
        registry.addRacer(5, "Смирнов", {1});
        registry.addRacer(6, "Орлов", {1});
    }
    void TearDown() override {
        panel.reset();
        lap.reset();
    }
    QString cell(int gridRow, int column) const {
        return panel->SingleLaneGrid->model()->index(gridRow - 1, column).data().toString();
    }
    QStringList listRow(int i) const {
        QTreeWidgetItem* item = panel->lvChannel->topLevelItem(i);
        panel->lvChannel->repaint();
        return {item->text(0), item->text(1)};
    }
    int hit(int node, int signal, uint64_t ms) {
        t += ms;
        return lap->processHitStartFinish(node, signal, t, 0, -1);
    }
};

TEST_F(LapGridPanelTest, RowsAndOnCourseListFollowTheLapRun) {
    panelHost.mode = 4;
    ASSERT_EQ(lap->lapStart(5), 0);
    hit(kNodeStart, 6, 1000); // start signal
    hit(kNodeStart, 0, 200);  // 5 crosses the start line
    lap->lapNext(6);
    hit(kNodeStart2, 0, 10000); // 6 starts
    ASSERT_EQ(panel->SingleLaneGrid->rowCount(), 4);
    EXPECT_EQ(panel->SingleLaneGrid->model()->rowCount(), 3);
    EXPECT_EQ(cell(1, 1).toStdString(), "STSIG");
    EXPECT_EQ(cell(2, 0).toStdString(), "5  Смирнов");
    EXPECT_EQ(cell(2, 1).toStdString(), "STLIN");
    EXPECT_EQ(cell(2, 5).toStdString(), "Сток");
    EXPECT_EQ(cell(3, 6).toStdString(), "0.00");
    ASSERT_EQ(panel->lvChannel->topLevelItemCount(), 2);
    EXPECT_EQ(listRow(0), (QStringList{"1", QString::fromUtf8("5 - Смирнов")}));
    EXPECT_EQ(listRow(1), (QStringList{"2", QString::fromUtf8("6 - Орлов")}));

    hit(kNodeFinish, 0, 30000); // 5 finishes
    EXPECT_EQ(cell(4, 1).toStdString(), "LAP");
    EXPECT_EQ(panel->SingleLaneGrid->model()->index(3, 0).data(Qt::BackgroundRole).value<QColor>(),
              QColor(192, 255, 189));
    ASSERT_EQ(panel->lvChannel->topLevelItemCount(), 1);
    EXPECT_EQ(listRow(0), (QStringList{"1", QString::fromUtf8("6 - Орлов")}));

    // 6 retires from the list's menu.
    panel->lvChannel->topLevelItem(0)->setSelected(true);
    panel->updateMenuStates();
    EXPECT_TRUE(panel->N24->isEnabled());
    panel->N24->trigger();
    EXPECT_EQ(panel->lvChannel->topLevelItemCount(), 0);
    EXPECT_EQ(cell(5, 1).toStdString(), "FAIL");
    EXPECT_EQ(cell(5, 0).toStdString(), "6  Орлов");
    EXPECT_EQ(panel->SingleLaneGrid->model()->index(4, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    panel->updateMenuStates();
    EXPECT_FALSE(panel->N24->isEnabled());
    EXPECT_FALSE(panel->N2->isEnabled()); // nobody left to retire
}

TEST_F(LapGridPanelTest, MenuItemsFollowTheCurrentRow) {
    setEvents({{5, K::FRST, 1000, 1}, {5, K::LAP, 31000, 1}, {6, K::FRST, 32000, 1}});
    panelHost.mode = 1;
    lap->rebuildCourseQueue();
    ASSERT_EQ(panel->SingleLaneGrid->rowCount(), 1); // setEvents does not size the grid
    panel->setRowCount(4);
    const std::vector<QAction*> rowItems{panel->mSetNumber, panel->mStartLine,  panel->mFrStart,   panel->mPLAP,
                                         panel->mLAP,       panel->mSetPenalty, panel->mDeleteItem};
    panel->updateMenuStates();
    for (QAction* a : rowItems) EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString(); // no row yet
    EXPECT_TRUE(panel->N2->isEnabled());                                                       // 6 is on the course
    EXPECT_FALSE(panel->mSendToScoreboard->isEnabled());

    panel->setCurrentRow(2);
    EXPECT_EQ(panel->currentRow(), 2);
    panelHost.board = &board;
    panel->updateMenuStates();
    for (QAction* a : rowItems) EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(panel->mSendToScoreboard->isEnabled());

    // The list shrinks under the current row: the items go grey and do nothing.
    panel->setCurrentRow(3);
    lap->raceItems()->pop_back();
    panel->updateMenuStates();
    EXPECT_FALSE(panel->mPLAP->isEnabled());
    panel->mPLAP->trigger();
    EXPECT_EQ(kinds(), (std::vector<std::string>{"FRST", "LAP"}));
}

TEST_F(LapGridPanelTest, KeysAndDoubleClick) {
    panelHost.mode = 1;
    setEvents({{5, K::FRST, 1000, 1}, {5, K::LAP, 31000, 1}, {5, K::LAP, 61000, 1}});
    panel->setRowCount(4);
    panel->setCurrentRow(2);
    panel->SingleLaneGrid->setFocus();
    QTest::keyClick(panel->SingleLaneGrid, Qt::Key_L);
    EXPECT_EQ(item(1).kind, K::PLAP);
    QTest::keyClick(panel->SingleLaneGrid, Qt::Key_L);
    EXPECT_EQ(item(1).kind, K::LAP);
    op.inputs = {std::string("2,5")};
    QTest::keyClick(panel->SingleLaneGrid, Qt::Key_P);
    EXPECT_EQ(item(1).penalty, 2500);
    QTest::keyClick(panel->SingleLaneGrid, Qt::Key_F1); // nothing

    // The Russian layout: the same physical keys send З and Д.
    const auto russian = [this](int code, const char* letter) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString::fromUtf8(letter));
        QApplication::sendEvent(panel->SingleLaneGrid, &press);
    };
    russian(0x0414, "д");
    EXPECT_EQ(item(1).kind, K::PLAP);
    russian(0x0414, "д");
    EXPECT_EQ(item(1).kind, K::LAP);
    op.inputs = {std::string("1,5")};
    russian(0x0417, "з");
    EXPECT_EQ(op.shown.back(), "Штраф, с");
    EXPECT_EQ(item(1).penalty, 1500);
    op.yesNoAnswers = {false};
    QTest::keyClick(panel->SingleLaneGrid, Qt::Key_Delete);
    EXPECT_EQ(count(), 3);
    EXPECT_EQ(op.shown.back(), "Точно удалить?");

    // Double click: the racer number outside column 6, the penalty in column 6.
    const auto centre = [this](int gridRow, int column) {
        return panel->SingleLaneGrid->visualRect(panel->SingleLaneGrid->model()->index(gridRow - 1, column)).center();
    };
    op.inputs = {std::string("6")};
    QTest::mouseClick(panel->SingleLaneGrid->viewport(), Qt::LeftButton, {}, centre(3, 1));
    QTest::mouseDClick(panel->SingleLaneGrid->viewport(), Qt::LeftButton, {}, centre(3, 1));
    EXPECT_EQ(item(2).racer, 6u);
    op.inputs = {std::string("1")};
    QTest::mouseDClick(panel->SingleLaneGrid->viewport(), Qt::LeftButton, {}, centre(3, 6));
    EXPECT_EQ(item(2).penalty, 1000);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"editing", "done", "editing", "done"}));
    // A row the last refresh removed: nothing is asked.
    const QPoint last = centre(3, 1);
    lap->raceItems()->pop_back();
    panel->setRowCount(3);
    const std::size_t asked = op.shown.size();
    QTest::mouseDClick(panel->SingleLaneGrid->viewport(), Qt::LeftButton, {}, last);
    EXPECT_EQ(op.shown.size(), asked);
}

// A selected row is grey with black text, whatever its kind (a FAIL row is black with
// white text only while not selected); the column titles are in the window colour.
TEST_F(LapGridPanelTest, SelectedRowIsGreyWithBlackTextAndTitlesInTheWindowColour) {
    panelHost.mode = 4;
    ASSERT_EQ(lap->lapStart(5), 0);
    hit(kNodeStart, 6, 1000);
    hit(kNodeStart, 0, 200);
    lap->lapNext(6);
    hit(kNodeStart2, 0, 10000);
    panel->lvChannel->topLevelItem(1)->setSelected(true);
    panel->updateMenuStates();
    panel->N24->trigger(); // 6 retires: grid row 4 is his FAIL row
    ASSERT_EQ(cell(4, 1).toStdString(), "FAIL");
    lap->setRaceItemPenalty(3, 2000); // and it carries a penalty
    ui::LapEventGrid* grid = panel->SingleLaneGrid;
    // The lightest pixel inside the cells 0 to `last` of grid row `row`, and the colour at
    // the bottom right of one cell.
    const auto lightest = [&](int row, int last) {
        const QImage shot = grid->viewport()->grab().toImage();
        int most = 0;
        for (int c = 0; c <= last; ++c) {
            const QRect r = grid->visualRect(grid->model()->index(row - 1, c));
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) most = std::max(most, shot.pixelColor(x, y).lightness());
        }
        return most;
    };
    const auto painted = [&](int row, int column) {
        const QImage shot = grid->viewport()->grab().toImage();
        const QRect r = grid->visualRect(grid->model()->index(row - 1, column));
        return shot.pixelColor(r.right() - 1, r.bottom());
    };
    grid->setCurrentCell(2, 0);
    EXPECT_EQ(painted(4, 2), QColor(Qt::black));
    EXPECT_EQ(painted(4, 6), QColor(255, 189, 189));
    EXPECT_GT(lightest(4, 5), 192); // white text on black
    grid->setCurrentCell(4, 0);
    EXPECT_EQ(painted(4, 2), QColor(192, 192, 192));
    EXPECT_EQ(painted(4, 6), QColor(192, 192, 192));
    EXPECT_EQ(lightest(4, 6), 192); // grey, text black

    QHeaderView* titles = grid->horizontalHeader();
    const QImage head = titles->grab().toImage();
    const int right = titles->sectionViewportPosition(6) + titles->sectionSize(6) - 3;
    EXPECT_EQ(head.pixelColor(right, head.height() - 3), grid->palette().color(QPalette::Base));
}

TEST_F(LapGridPanelTest, ColumnsFitAtTheDefaultSize) {
    // The main window's run page leaves the panel about 1000 px at the window's smallest
    // (it is as wide as a drag run's rows need).
    panel->resize(1000, 300);
    QApplication::processEvents();
    const QHeaderView* header = panel->SingleLaneGrid->horizontalHeader();
    const int used = header->sectionViewportPosition(6) + header->sectionSize(6);
    EXPECT_LE(used, panel->SingleLaneGrid->viewport()->width());
    EXPECT_GE(header->sectionSize(0), 110);
}

// The fixed columns are as wide as their titles and their texts (the widest kind, a
// time of day, negative and long lap times, a penalty, a long class name); the number
// column takes the rest of the grid's width.
TEST_F(LapGridPanelTest, FixedColumnsHoldTheirTitlesAndTexts) {
    registry.addClass(2, "Супер Стрит полный привод");
    panelHost.mode = 1;
    setEvents({{5, K::STSIG, 1000, 2},
               {5, K::STLIN, 600, 2},
               {5, K::LAP, 3000000, 2, 125000},
               {6, K::FRST, 3100000, 1},
               {6, K::PLAP, 3190000, 1},
               {6, K::FAIL, 3200000, 1}});
    panel->setRowCount(count() + 1);
    panel->resize(1000, 300); // about the run page of the main window at its smallest
    QApplication::processEvents();
    const ui::LapEventGrid& grid = *panel->SingleLaneGrid;
    const QHeaderView& header = *grid.horizontalHeader();
    const QFontMetrics titles(header.font());
    const QFontMetrics texts(grid.font());
    const int margin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    for (int c = 1; c < 7; ++c) {
        SCOPED_TRACE(c);
        const QString title = grid.model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_LE(titles.horizontalAdvance(title) + 2 * margin, grid.columnWidth(c)) << title.toStdString();
        for (int row = 1; row <= count(); ++row)
            EXPECT_LE(texts.horizontalAdvance(cell(row, c)) + 4, grid.columnWidth(c)) << cell(row, c).toStdString();
    }
    EXPECT_EQ(cell(3, 6).toStdString(), "125.00");
    int used = 0;
    for (int c = 0; c < 7; ++c) used += grid.columnWidth(c);
    EXPECT_EQ(used, grid.viewport()->width());
}

TEST_F(LapGridPanelTest, Picture) {
    panelHost.mode = 4;
    registry.addRacer(7, "Волков", {1});
    ASSERT_EQ(lap->lapStart(5), 0);
    hit(kNodeStart, 6, 1000);
    hit(kNodeStart, 0, 200);
    for (int n : {6, 7}) {
        lap->lapNext(n);
        hit(kNodeStart2, 0, 8000);
    }
    hit(kNodeFinish, 0, 30000);
    lap->setRaceItemPenalty(4, 2000);
    panel->setCurrentRow(2);
    const std::filesystem::path dir = std::filesystem::path(VELMARO_BINARY_DIR) / "screens";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(panel->grab().save(QString::fromStdString((dir / "lap_grid.png").string())));
}

} // namespace
} // namespace velmaro::test
