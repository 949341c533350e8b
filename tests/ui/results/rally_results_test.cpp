// The results window: time options, rebuild requests, the grid by its cell grammar, the
// way to a lap event, the export.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <filesystem>

#include "core/platform/document_opener.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "fakes/recording_opener.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/results/rally_results.h"
#include "ui/results/results_table_model.h"

namespace velmaro::ui {
namespace {

class FakeResultsHost : public ResultsWindowHost {
public:
    int mode = 0;
    std::filesystem::path folder;
    std::vector<std::string> calls;
    int raceMode() const override { return mode; }
    std::filesystem::path eventFolder() const override { return folder; }
    std::string eventName() const override { return "Кубок"; }
    void rebuildLapResults() override { calls.push_back("lap"); }
    void rebuildDragResults() override { calls.push_back("drag"); }
    void showLapEvent(int index) override { calls.push_back("event " + std::to_string(index)); }
    void setRankOptions(const TDragRankOptions& options) override { rank = options; }
    TDragRankOptions rank{false, true, -1}; // what the window set last
};

TDragAttempt attempt(std::int32_t et, std::int32_t rt, std::int32_t mode, float spd) {
    TDragAttempt a;
    a.et = et;
    a.rt = rt;
    a.runMode = mode;
    a.spd = spd;
    return a;
}

// Two classes of a drag event with qualification, final and practice attempts.
TDragResultsView dragView() {
    TDragResultsView v;
    v.rank = TDragRankOptions{true, false, 0};
    v.maxAttempts = 3;
    const std::pair<int, int> entries[] = {{7, 1}, {8, 1}, {12, 1}, {21, 2}, {22, 2}};
    for (const auto& [num, cls] : entries) {
        TDragResult r(num, cls);
        r.attempts = {attempt(9400 + num * 10, 30 + num, 0, 150.0f + num), attempt(9300 + num * 10, 25, 1, 151.5f),
                      attempt(9900, 60, 2, 140.0f)};
        if (num == 22) r.attempts.resize(1);
        r.bestLegalStart = r.attempts.size() > 1 ? r.attempts[1] : r.attempts[0];
        r.bestAnyStart = r.bestLegalStart;
        r.bestRt = 25;
        r.bestSpeed = 151.5f;
        v.resultsByClass[cls].push_back(r);
        v.resultsByClass[-1].push_back(r);
    }
    return v;
}

// The grid of a lap event as the lap results write it.
ResultsTable lapTable() {
    ResultsTable t = resultsTableFrame(false);
    t.cells[0].insert(t.cells[0].end(), {"Круг 1", "Круг 2"});
    t.columnWidths.insert(t.columnWidths.end(), {116, 116});
    t.cells.push_back({"", "", "Сток", "", "", "", "", "", "", "", ""});
    t.cells.push_back({"1|1", "7", "Альфа", "Тверь", "Red", "Lada", "1:02.345", "", "", "1:05.000|3", "1:02.345|17"});
    t.cells.push_back(
        {"2|0", "8", "Браво", "Псков", "", "ВАЗ", "1:04.000 (+2.500)", "", "", "1:04.000 (+2.50)|4", "Сход|9"});
    t.cells.push_back({"", "", "Абсолютный зачет", "", "", "", "", "", "", "", ""});
    t.cells.push_back(
        {"1", "7", "Альфа (Сток)", "Тверь", "Red", "Lada", "1:02.345", "", "", "1:05.000|3", "1:02.345|17"});
    t.cells.push_back(
        {"2", "8", "Браво (Сток)", "Псков", "", "ВАЗ", "1:04.000 (+2.50)", "", "", "1:04.000 (+2.50)|4", "Сход|9"});
    return t;
}

class RallyResultsTest : public ::testing::Test {
protected:
    test::TempFolder temp;
    FakeResultsHost host;
    test::RecordingOpener opener;
    test::ScriptedOperator op;
    test::ScopedSaveReportLog scoped{op};
    TRegistry registry; // the racers and classes the drag results name

    void SetUp() override { host.folder = temp.path(); }

    static QString shown(const TRallyResults& w, int gridRow, int column) {
        return w.ResultsGrid->model()->index(gridRow - 1, column).data().toString();
    }
    static QVariant fill(const TRallyResults& w, int gridRow, int column) {
        return w.ResultsGrid->model()->index(gridRow - 1, column).data(Qt::BackgroundRole);
    }
    static QString header(const TRallyResults& w, int column) {
        return w.ResultsGrid->model()->headerData(column, Qt::Horizontal).toString();
    }
};

TEST_F(RallyResultsTest, OptionsAreTheRankingSourceAndAskForARebuild) {
    TRallyResults w(host, opener, op);
    EXPECT_EQ(w.windowTitle().toStdString(), "Результаты");
    EXPECT_EQ(w.timeOptions(), (ResultsTimeOptions{true, false}));
    EXPECT_EQ(host.rank, (TDragRankOptions{true, false, 0}));
    EXPECT_EQ(header(w, 6).toStdString(), "Лучшее время(+штраф)");

    w.cbSumTime->click(); // the title changes at once
    EXPECT_EQ(header(w, 6).toStdString(), "Суммарное время(+штраф)");
    EXPECT_EQ(w.timeOptions(), (ResultsTimeOptions{true, true}));
    host.mode = 4;
    w.DirtyTime->click();
    EXPECT_EQ(w.timeOptions(), (ResultsTimeOptions{false, true}));
    EXPECT_EQ(host.rank, (TDragRankOptions{false, true, 4}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"drag", "lap"}));

    // Mode 5 rebuilds nothing; showing the window asks like an option does.
    host.calls.clear();
    host.mode = 5;
    w.ClearTime->click();
    w.show();
    EXPECT_TRUE(host.calls.empty());
    w.hide();
    host.mode = 8;
    w.show();
    EXPECT_EQ(host.calls, std::vector<std::string>{"drag"});
    w.cbSumTime->click();
}

TEST_F(RallyResultsTest, DragGridShowsRunModeColoursAndTitleRows) {
    TClassItem* stock = registry.addClass("Сток");
    TRacerItem* r7 = registry.addRacer(7);
    r7->name = "Иванов";
    TDragResultsView v = dragView();
    v.resultsByClass[stock->id] = v.resultsByClass[1];
    v.resultsByClass.erase(1);
    TRallyResults w(host, opener, op);
    w.showDragResults(v, registry);
    EXPECT_EQ(w.ResultsGrid->model()->columnCount(), 12);
    EXPECT_EQ(header(w, 9).toStdString(), "Заезд 1");
    EXPECT_EQ(shown(w, 1, 2).toStdString(), "Сток");
    EXPECT_EQ(fill(w, 1, 0).value<QColor>(), kResultsTitleRowColour);
    EXPECT_EQ(shown(w, 2, 2).toStdString(), "Иванов");
    EXPECT_EQ(shown(w, 2, 9).toStdString(), " 09.470   157.0 км/ч"); // qualification: no colour
    EXPECT_FALSE(fill(w, 2, 9).isValid());
    EXPECT_EQ(fill(w, 2, 10).value<QColor>(), kResultsFinalColour);
    EXPECT_EQ(fill(w, 2, 11).value<QColor>(), kResultsPracticeColour);
    EXPECT_EQ(shown(w, 2, 6).toStdString(), " 09.370   151.5 км/ч");
    host.mode = 1; // a lap mode reads no prefix
    w.showDragResults(v, registry);
    EXPECT_EQ(shown(w, 2, 10).toStdString(), "1: 09.370   151.5 км/ч");
}

// What the grid paints: the selected row grey except where a final or practice colour
// replaces it; title rows in their colour unless selected; the column titles in the
// window colour.
TEST_F(RallyResultsTest, RunModeColoursLieOverTheSelectionAndTitlesInTheWindowColour) {
    TRallyResults w(host, opener, op);
    w.showDragResults(dragView(), registry);
    w.resize(1600, 400); // every attempt column in view
    w.show();
    QTableView* grid = w.ResultsGrid;
    const auto painted = [&](int gridRow, int column) {
        const QImage shot = grid->viewport()->grab().toImage();
        const QRect r = grid->visualRect(grid->model()->index(gridRow - 1, column));
        return shot.pixelColor(r.right() - 1, r.bottom());
    };
    grid->selectRow(1); // grid row 2: a racer with qualification, final and practice
    EXPECT_EQ(painted(2, 9), kResultsSelectedColour);
    EXPECT_EQ(painted(2, 10), kResultsFinalColour);
    EXPECT_EQ(painted(2, 11), kResultsPracticeColour);
    EXPECT_EQ(painted(2, 1), kResultsSelectedColour);
    EXPECT_EQ(painted(1, 0), kResultsTitleRowColour);
    EXPECT_EQ(painted(3, 10), kResultsFinalColour);
    grid->selectRow(0); // a class title row
    EXPECT_EQ(painted(1, 0), kResultsSelectedColour);

    QHeaderView* titles = grid->horizontalHeader();
    const QImage head = titles->grab().toImage();
    const int right = titles->sectionViewportPosition(1) + titles->sectionSize(1) - 3;
    EXPECT_EQ(head.pixelColor(right, head.height() - 3), grid->palette().color(QPalette::Base));
}

TEST_F(RallyResultsTest, LapCellLeadsToItsEventCheckedAgainstTheCurrentGrid) {
    host.mode = 1;
    TRallyResults w(host, opener, op);
    w.resize(985, 400);
    w.show();
    host.calls.clear();
    w.showLapResults(lapTable());
    EXPECT_EQ(shown(w, 2, 0).toStdString(), "1");
    EXPECT_EQ(shown(w, 2, 10).toStdString(), "1:02.345");
    EXPECT_EQ(shown(w, 3, 10).toStdString(), "Сход");

    const auto cellCentre = [&w](int gridRow, int column) {
        return w.ResultsGrid->visualRect(w.ResultsGrid->model()->index(gridRow - 1, column)).center();
    };
    w.ResultsGrid->horizontalHeader()->resizeSection(2, 100); // lap columns in view
    const QPoint lap = cellCentre(2, 10);
    QTest::mouseDClick(w.ResultsGrid->viewport(), Qt::LeftButton, {}, lap);
    QTest::mouseDClick(w.ResultsGrid->viewport(), Qt::LeftButton, {}, cellCentre(2, 6)); // not a lap column
    EXPECT_EQ(host.calls, std::vector<std::string>{"event 17"});

    // A refresh with fewer rows and columns between the clicks: nothing there now.
    ResultsTable smaller = resultsTableFrame(false);
    smaller.cells.push_back({"", "", "Абсолютный зачет", "", "", "", "", "", ""});
    w.showLapResults(smaller);
    QTest::mouseDClick(w.ResultsGrid->viewport(), Qt::LeftButton, {}, lap);
    EXPECT_EQ(host.calls, std::vector<std::string>{"event 17"});

    host.mode = 0; // two-lane modes do not navigate
    w.showLapResults(lapTable());
    QTest::mouseDClick(w.ResultsGrid->viewport(), Qt::LeftButton, {}, lap);
    EXPECT_EQ(host.calls, std::vector<std::string>{"event 17"});
}

TEST_F(RallyResultsTest, ExportWritesTheShownColumnsAndOpensTheWorkbook) {
    host.mode = 1;
    TRallyResults w(host, opener, op);
    w.showLapResults(lapTable());
    w.ResultsGrid->horizontalHeader()->resizeSection(7, 0);
    w.ResultsGrid->horizontalHeader()->hideSection(8);
    w.Button4->click();
    ASSERT_EQ(opener.opened, std::vector<std::filesystem::path>{temp / "Кубок.xlsx"})
        << (op.shown.empty() ? "" : op.shown[0]);
    EXPECT_EQ(temp.read("Кубок.csv"), "Место;№;Имя;Город;Команда;Модель;Лучшее время(+штраф);Круг 1;Круг 2;\n"
                                      ";;Сток;;;;;;;\n"
                                      "1;7;Альфа;Тверь;Red;Lada;1:02.345;1:05.000;1:02.345;\n"
                                      "2;8;Браво;Псков;;ВАЗ;1:04.000 (+2.500);1:04.000 (+2.50);Сход;\n"
                                      ";;Абсолютный зачет;;;;;;;\n"
                                      "1;7;Альфа (Сток);Тверь;Red;Lada;1:02.345;1:05.000;1:02.345;\n"
                                      "2;8;Браво (Сток);Псков;;ВАЗ;1:04.000 (+2.50);1:04.000 (+2.50);Сход;\n");
    EXPECT_TRUE(op.shown.empty());

    host.folder = temp / "нет";
    w.Button4->click();
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_NE(op.shown[0].find("Кубок.csv"), std::string::npos);
    EXPECT_EQ(opener.opened.size(), 1u);
}

// Under a Russian locale the numbers of the text file take ',' (a Russian spreadsheet
// reads "0.025" as text or a date); the fields stay separated by ';' and the titles keep
// their points. The workbook stores numbers as numbers in every locale.
TEST_F(RallyResultsTest, ExportUnderARussianLocaleWritesDecimalCommas) {
    struct DefaultLocale {
        QLocale before;
        explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
        ~DefaultLocale() { QLocale::setDefault(before); }
    } russian{QLocale(QLocale::Russian, QLocale::Russia)};
    TRallyResults w(host, opener, op);
    w.showDragResults(dragView(), registry);
    w.Button4->click();
    ASSERT_EQ(opener.opened.size(), 1u) << (op.shown.empty() ? "" : op.shown[0]);
    const std::string csv = temp.read("Кубок.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "Место;№;Имя;Город;Команда;Модель;Лучшее время(+штраф);Лучшее RT;"
                                             "Макс. скосроть;Заезд 1;Заезд 2;Заезд 3;");
    EXPECT_NE(csv.find("\n1;7;;;;; 09.370   151.5 км/ч;0,025;151,500; 09.470   157.0 км/ч;"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("0.025"), std::string::npos);
}

} // namespace
} // namespace velmaro::ui
