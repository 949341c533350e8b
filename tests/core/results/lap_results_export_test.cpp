// The export of a lap event's results grid: what the lap results write, as the CSV file
// shows it.
#include "core/lap/lap_fixture.h"
#include "core/results/results_export.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

TEST_F(LapTest, LapResultsCsvExactly) {
    registry.addClass(1, "Сток");
    registry.addRacer(7, "Альфа", {1});
    registry.addRacer(8, "Браво; мл.", {1});
    setEvents({{7, K::FRST, 0, 1},
               {8, K::FRST, 100, 1},
               {77, K::FRST, 200, -1},
               {7, K::LAP, 40000, 1},
               {8, K::LAP, 30100, 1, 2500},
               {77, K::LAP, 20200, -1},
               {7, K::LAP, 70000, 1, 1500},
               {8, K::FAIL, 70001, 1}});
    lap->buildLapResults();
    const ResultsTable t = lap->lapResultsTable().toResultsTable();
    ASSERT_EQ(t.columnCount(), 11);
    EXPECT_EQ(resultsCsv(resultsExportRows(t, t.columnWidths, false)),
              "Место;№;Имя;Город;Команда;Модель;Лучшее время(+штраф);Лучшее RT;Макс. скосроть;Круг 1;Круг 2;\n"
              ";;Сток;;;;;;;;;\n"
              "1;7;Альфа;City7;Team7;Car7;0:30.000 (+1.500);;;0:40.000;0:30.000 (+1.50);\n"
              "2;8;\"Браво; мл.\";City8;Team8;Car8;0:30.000 (+2.500);;;0:30.000 (+2.50);Сход;\n"
              ";;Абсолютный зачет;;;;;;;;;\n"
              "1;77;;;;;0:20.000;;;0:20.000;;\n"
              "2;7;Альфа (Сток);City7;Team7;Car7;0:30.000 (+1.50);;;0:40.000;0:30.000 (+1.50);\n"
              "3;8;\"Браво; мл. (Сток)\";City8;Team8;Car8;0:30.000 (+2.50);;;0:30.000 (+2.50);Сход;\n");

    // A lap mode reads no run-mode prefix: "0:20.000" stays whole. A hidden lap column
    // leaves the file.
    std::vector<int> widths = t.columnWidths;
    widths[9] = 0;
    const auto rows = resultsExportRows(t, widths, false);
    EXPECT_EQ(rows[5].fields, (std::vector<std::string>{"1", "77", "", "", "", "", "0:20.000", "", "", ""}));
}

} // namespace
} // namespace velmaro::test
