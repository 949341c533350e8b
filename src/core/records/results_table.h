#pragma once
// The results grid as texts, as the drag results and the lap results write it and the
// results window shows and exports it.
//
// cells[0] holds the column titles; every row has one cell per column. Cell grammar:
// - a row whose cell 0 is empty is a title row (class titles, "Абсолютный зачет");
// - in the two-lane modes a cell whose second character is ':' begins with a one-digit
//   run-mode code (0 qualification, 1 final, 2 practice) that is not shown;
// - everything from the first '|' of a cell on is not shown (in a lap cell the index of
//   its lap event, in the place cell of a lap class section the current-racer flag).
#include <string>
#include <string_view>
#include <vector>

namespace velmaro {

// A text the official or the web typed (a racer's name, city, team, car model, a class
// name) as a grid cell holds it: '|' would start the hidden suffix and cut the text, so it
// becomes the look-alike '¦'; control characters become blanks or are dropped
// (withoutControls). The registry keeps the text as it was typed.
std::string gridCellText(std::string_view text);

struct ResultsTable {
    std::vector<std::vector<std::string>> cells;
    std::vector<int> columnWidths; // pixels, one per column
    int columnCount() const { return static_cast<int>(columnWidths.size()); }
    int rowCount() const { return static_cast<int>(cells.size()); }
    bool operator==(const ResultsTable&) const = default;
};

// The nine fixed columns of every mode: place, number, name, city, team, model, time,
// best reaction time, best speed.
inline constexpr int kResultsFixedColumns = 9;

// Title of column 6.
inline const char* resultsTimeColumnTitle(bool sumTime) {
    return sumTime ? "Суммарное время(+штраф)" : "Лучшее время(+штраф)";
}

// Titles and widths of the fixed columns (title row only). Header-only, so the lap
// timing uses it without linking the drag results.
inline ResultsTable resultsTableFrame(bool sumTime) {
    ResultsTable t;
    t.cells.push_back({"Место", "№", "Имя", "Город", "Команда", "Модель", resultsTimeColumnTitle(sumTime), "Лучшее RT",
                       "Макс. скосроть"});
    t.columnWidths = {60, 60, 220, 100, 100, 150, 150, 100, 100};
    return t;
}

} // namespace velmaro
