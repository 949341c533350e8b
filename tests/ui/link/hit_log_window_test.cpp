// The hit log window offscreen: its rows follow intake.hitList(), "Вкл. в расчет" and Enter feed
// the selected hit through the hit intake, the run-time look-up selects the right row, and
// RUN and STEP replay the logged hits to their targets.
#include <gtest/gtest.h>

#include <QPixmap>
#include <QTableView>
#include <QTest>

#include "fakes/fake_hit_intake_host.h"
#include "fakes/temp_folder.h"
#include "ui/link/hit_log_window.h"

using namespace velmaro;
using velmaro::ui::THitLog;

namespace {

class FakeHitLogPort : public ui::HitLogPort {
public:
    int releases = 0;
    std::vector<std::pair<TNodeMessage, NodeAddress>> sent;
    HitReplayTargets targets{"10.213.0.2", "10.213.0.3"};
    void releaseBlockSt() override { ++releases; }
    HitReplayTargets replayTargets() const override { return targets; }
    bool sendAsReceivedPacket(const TNodeMessage& m, const NodeAddress& to) override {
        sent.emplace_back(m, to);
        return true;
    }
};

struct Fed {
    int node, signal;
    std::uint64_t time;
    int source;
    bool operator==(const Fed&) const = default;
};

THitRecord rec(int node, int signal, std::uint32_t seconds, std::uint16_t ms, std::uint64_t arrival = 0) {
    THitRecord r;
    r.node = node;
    r.signal = signal;
    r.seconds = seconds;
    r.milliseconds = ms;
    r.arrival = arrival;
    return r;
}

class HitLogWindow : public ::testing::Test {
protected:
    velmaro::test::TempFolder dir;
    velmaro::test::FakeHitIntakeHost intakeHost;
    HitIntake intake{intakeHost};
    FakeHitLogPort port;
    std::unique_ptr<THitLog> window;
    std::vector<Fed> fed;

    void SetUp() override {
        intake.hitList() = {rec(1, SIG_GREEN, 1717243200, 0, 1717243200456ull), rec(2, SIG_LEFT, 1717243205, 120),
                            rec(3, 4101, 1717243206, 5), rec(1, SIG_GREEN, 1717243300, 0),
                            rec(2, SIG_RIGHT, 1717243305, 7)};
        window = std::make_unique<THitLog>(port, intake);
        intakeHost.mode = 0;
        intakeHost.folder = dir.path();
        intakeHost.listChanged = [this](std::size_t n) { window->hitListChanged(n); };
        intake.handlers().setDragHandler(TimingMode::DragRacing,
                                         [this](int node, int signal, std::uint64_t t, int source) {
                                             fed.push_back({node, signal, t, source});
                                         });
        window->hitListChanged(intake.hitList().size());
        window->show();
    }
    void TearDown() override { window.reset(); }
    std::string cell(int row, int column) {
        return window->model().data(window->model().index(row, column), Qt::DisplayRole).toString().toStdString();
    }
};

TEST_F(HitLogWindow, RowsFollowTheHitList) {
    EXPECT_EQ(window->model().rowCount(), 5);
    EXPECT_EQ(window->model().headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Время прихода"));
    EXPECT_EQ(cell(0, 0), "СТАРТ");
    EXPECT_EQ(cell(0, 1), "ЗЕЛ. СИГНАЛ");
    EXPECT_EQ(cell(0, 2), "01.06.2024 12:00:00.000");
    EXPECT_EQ(cell(0, 4), "01.06.2024 12:00:00.456");
    EXPECT_EQ(cell(2, 0), "3");    // no name for node 3
    EXPECT_EQ(cell(2, 1), "1025"); // a transponder signal shows its tag
    EXPECT_EQ(cell(2, 3), "0");
    EXPECT_EQ(cell(2, 4), ""); // no arrival time

    // A device hit through the intake: a new row in time order; the selected hit stays
    // selected, one row further down.
    window->selectRecord(2);
    intake.processHit(5, SIG_LEFT, 1717243205100ull, HIT_FROM_DEVICE);
    EXPECT_EQ(window->model().rowCount(), 6);
    EXPECT_EQ(cell(1, 0), "60Ft");
    EXPECT_EQ(window->currentRecord(), 3) << cell(window->currentRecord(), 1);
    EXPECT_EQ(cell(3, 1), "1025");
    window->grab().save(VELMARO_BINARY_DIR "/hit_log_window.png"); // to be looked at
    window->hitListChanged(0);
    intake.hitList().clear();
    window->hitListChanged(0);
    EXPECT_EQ(window->model().rowCount(), 0);
    EXPECT_EQ(window->currentRecord(), -1);
}

TEST_F(HitLogWindow, FeedingTheSelectedHitAgain) {
    // Nothing selected: nothing fed.
    window->Button1Click();
    QTest::keyClick(window->grid(), Qt::Key_Return);
    EXPECT_TRUE(fed.empty());

    window->selectRecord(1);
    window->Button1Click();
    window->Button1Click();
    QTest::keyClick(window->grid(), Qt::Key_Return);
    const std::vector<Fed> expected = {{2, SIG_LEFT, 1717243205120ull, HIT_FROM_LOG_SELECTED},
                                       {2, SIG_LEFT, 1717243205120ull, HIT_FROM_LOG_SELECTED},
                                       {2, SIG_LEFT, 1717243205120ull, HIT_FROM_LOG_CURRENT}};
    EXPECT_EQ(fed, expected);
    EXPECT_EQ(port.releases, 3);
    // Never logged twice: one record, marked used; the file holds the five hits.
    EXPECT_EQ(intake.hitList().size(), 5u);
    EXPECT_EQ(intake.hitList()[1].used, 1);
    EXPECT_EQ(cell(1, 3), "1");
    EXPECT_EQ(dir.read("hitlog.txt").substr(0, 23), "1,6,1717243200,0,171724");
    // Enter moved on to the next row; on the last row it stays there.
    EXPECT_EQ(window->currentRecord(), 2);
    window->selectRecord(4);
    QTest::keyClick(window->grid(), Qt::Key_Enter);
    EXPECT_EQ(window->currentRecord(), 4);
    EXPECT_EQ(fed.back(), (Fed{2, SIG_RIGHT, 1717243305007ull, HIT_FROM_LOG_CURRENT}));
}

TEST_F(HitLogWindow, RunTimeLookUpSelectsTheRow) {
    window->selectHitByTime(1717243206005ull);
    EXPECT_EQ(window->currentRecord(), 2);
    window->selectHitByTime(1717243206006ull); // no such hit: the selection stays
    EXPECT_EQ(window->currentRecord(), 2);
    intake.hitList().push_back(rec(4, SIG_LEFT, 1717243305, 7)); // same time as row 4: the last one wins
    window->hitListChanged(intake.hitList().size());
    window->selectHitByTime(1717243305007ull);
    EXPECT_EQ(window->currentRecord(), 5);
}

TEST_F(HitLogWindow, RunAndStepReplayToTheirTargets) {
    window->SpeedButton1Click(); // no row: nothing
    EXPECT_TRUE(port.sent.empty());

    // RUN from a green signal: that hit and the following ones up to the next green signal.
    window->selectRecord(0);
    window->SpeedButton1Click();
    ASSERT_EQ(port.sent.size(), 3u);
    const NodeAddress run = NodeAddress::fromString("10.213.0.2");
    for (const auto& [m, to] : port.sent) EXPECT_EQ(to, run);
    EXPECT_EQ(port.sent[1].first, replayMessage(intake.hitList()[1]));
    EXPECT_EQ(port.sent[2].first.param, 4101);
    EXPECT_EQ(window->currentRecord(), 3);
    EXPECT_EQ(cell(2, 3), "1");
    EXPECT_EQ(cell(3, 3), "0");

    // STEP: one hit to the STEP target, then the next row.
    window->SpeedButton2Click();
    ASSERT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(port.sent[3].second, NodeAddress::fromString("10.213.0.3"));
    EXPECT_EQ(port.sent[3].first, replayMessage(intake.hitList()[3]));
    EXPECT_EQ(window->currentRecord(), 4);

    // RUN on the last row sends that one message.
    window->SpeedButton1Click();
    EXPECT_EQ(port.sent.size(), 5u);
    EXPECT_EQ(window->currentRecord(), 4);
    EXPECT_TRUE(fed.empty()); // a replay goes to the network, not into the timing
}

} // namespace
