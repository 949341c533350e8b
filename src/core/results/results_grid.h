#pragma once
// The results grid of the two-lane modes (one block per class, then the overall block)
// and the reading of the grid's cell grammar that the results window and the export
// share. The lap modes write the same grid in core/lap/lap_results.
//
// Thread: the main thread (the racer and class names come from the live registry).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/records/results_table.h"
#include "core/results/drag_results.h"

namespace velmaro {

class TRegistry;
struct TRegistrySnapshot;

// The title of a class block whose class id no class has.
inline constexpr const char* kUnknownClassTitle = "--";

// Width of an attempt column ("Заезд 1", ...) in pixels.
inline constexpr int kAttemptColumnWidth = 124;

// The text of one attempt: the run-mode digit and ':', the time (formatLaneTime of et
// under clean time, of et + rt otherwise), "(F)" after a foul, two spaces and the speed
// (formatSpeedKmh). A fouled qualification run of 9.5 s at 150.5 km/h under clean time:
// "0: 09.500(F)   150.5 км/ч".
std::string dragAttemptText(const TDragAttempt& attempt, bool clearTime);

// The grid of one drag rebuild: the fixed columns, one "Заезд i" column per attempt of
// the longest result, a title row and the standings of every class in ascending class
// id (titled kUnknownClassTitle when no class has the id), then "Абсолютный зачет" and the overall
// list. Names, city, team and model come from the registry (left empty for a number
// nobody has). Column 6 and the attempts follow the options the view was ranked under.
ResultsTable dragResultsTable(const TDragResultsView& view, const TRegistry& registry);
ResultsTable dragResultsTable(const TDragResultsView& view, const TRegistrySnapshot& registry);

// ---- the cell grammar

// What the window shows of a cell and the background code it carries.
struct ShownCell {
    std::string text;
    int code = -1; // run-mode prefix (two-lane modes only); -1 = none
    bool operator==(const ShownCell&) const = default;
};
ShownCell shownCell(std::string_view cell, bool twoLaneMode);

// A title row: its cell 0 is empty (or the row has no cells).
bool isTitleRow(const std::vector<std::string>& row);

// The lap event index a lap cell leads to: the decimal number after its first '|';
// nullopt when there is none.
std::optional<int> lapEventIndexOfCell(std::string_view cell);

// The cell the results window's double click leads from, checked against the current
// grid: the lap event index when (row, column) is a lap cell (column 9 and up, a row
// below the titles) of a lap mode; nullopt otherwise (also for a row or column that a
// refresh has removed since the click).
std::optional<int> lapEventIndexAt(const ResultsTable& table, int row, int column, int mode);

} // namespace velmaro
