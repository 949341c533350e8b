// The lap grid panel: rows from the lap events, the on-course list after START, NEXT
// and a retirement, the menus' enabled states, the keys, and a picture of a lap run.
#include "core/lap/lap_fixture.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
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
        lap.emplace(panelHost); // the fixture's lap timing, on this host
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
    EXPECT_EQ(panel->SingleLaneGrid->model()->index(3, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 255, 189));
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
    const std::vector<QAction*> rowItems{panel->mSetNumber, panel->mStartLine,  panel->mFrStart, panel->mPLAP,
                                         panel->mLAP,       panel->mSetPenalty, panel->mDeleteItem};
    panel->updateMenuStates();
    for (QAction* a : rowItems) EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString(); // no row yet
    EXPECT_TRUE(panel->N2->isEnabled()); // 6 is on the course
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

TEST_F(LapGridPanelTest, ColumnsFitAtTheDefaultSize) {
    // The main window's run page leaves the panel about 760 px at 1024 px.
    const QHeaderView* header = panel->SingleLaneGrid->horizontalHeader();
    const int used = header->sectionViewportPosition(6) + header->sectionSize(6);
    EXPECT_LE(used, panel->SingleLaneGrid->viewport()->width());
    EXPECT_GE(header->sectionSize(0), 110);
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
