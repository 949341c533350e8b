#pragma once
// What the run grid shows: the text and the style code of every cell, worked out from
// the runs (DragRuns) and the grid selection each time a cell is painted. The grid keeps no texts
// of its own. Nothing here changes a run. Main thread only.
//
// Rows: each run owns its block gridRow .. gridRow + gridRows - 1 (drag_selection.h).
// Columns: 0 left result, 1 left hit name, 2 right hit name, 3 right result; in the racer
// row 0 and 3 describe the racers and 1 and 2 carry the run number; the start row shows
// the start text in every column.
#include <cstdint>
#include <string>

#include "core/drag/drag_run.h"

namespace velmaro {

class DragRuns;  // core/drag/drag_runs.h
class TRegistry; // core/registration/registry.h

inline constexpr int DRAG_GRID_COLUMNS = 4;

// Style of a cell that belongs to no run (or a column outside 0..3 outside the start row).
inline constexpr int32_t GRID_STYLE_NONE = -1;

// Cell kinds, bits 0..2 of the style.
inline constexpr int32_t GRID_CELL_LEFT_RACER = 0;
inline constexpr int32_t GRID_CELL_RUN_NUMBER = 1;
inline constexpr int32_t GRID_CELL_RIGHT_RACER = 2;
inline constexpr int32_t GRID_CELL_START = 3;
inline constexpr int32_t GRID_CELL_LEFT_RESULT = 4;
inline constexpr int32_t GRID_CELL_LEFT_HIT = 5;
inline constexpr int32_t GRID_CELL_RIGHT_HIT = 6;
inline constexpr int32_t GRID_CELL_RIGHT_RESULT = 7;
inline constexpr int32_t GRID_CELL_KIND_MASK = 0x0F; // the painter reads the low four bits

// Flags of the style.
inline constexpr int32_t GRID_FLAG_FINAL = 0x10;     // run mode final
inline constexpr int32_t GRID_FLAG_LOSER = 0x20;     // racer cell: fouled or the other lane won
inline constexpr int32_t GRID_FLAG_WINNER = 0x40;    // racer cell: this lane won
inline constexpr int32_t GRID_FLAG_SELECTED = 0x80;  // highlighted by the selection
inline constexpr int32_t GRID_FLAG_PRACTICE = 0x100; // run mode practice

// The cells' texts and styles and the rows the runs take are DragRuns' (dragGridCellText,
// dragGridCellStyle, dragGridRowCount in drag_runs.h).

// Result text of one hit row cell from the lane's figures; side 0 left, 1 right (mirrored).
std::string laneResultText(const TLineHit& hit, const TDragRaceItem& run, int side);
// Description of the racer on a lane: "" for no racer, the number alone for an unknown
// one, else "<n> - <name>, <car>, <city>", with " (<note>)" when the racer is entered in
// exactly one class.
std::string leftRacerText(const TRegistry& registry, const TDragRaceItem& run);
std::string rightRacerText(const TRegistry& registry, const TDragRaceItem& run);
std::string laneRacerText(const TRegistry& registry, const TDragRaceItem& run, int lane);

// Racer and class texts for the race reports. An unregistered number leaves all three
// outputs untouched; the class name is empty when no class has that id.
void reportRacerText(const TRegistry& registry, int32_t number, int32_t classId, std::string& description,
                     std::string& city, std::string& className);

// Which items of the run grid's popup menu can act, in a timing mode with the current
// selection. The lap-kind items (STLIN, FRST, PLAP) never act on runs.
struct DragGridMenuState {
    bool setNumber = false;    // "Задать номер"
    bool fail = false;         // "Сход"
    bool lapKinds = false;     // "STLIN", "FRST", "PLAP"
    bool lap = false;          // "LAP"
    bool otherLane = false;    // "На другую полосу"
    bool runMode = false;      // "Тренировка", "Квалификация"
    bool penalty = false;      // "Штраф"
    bool deleteItem = false;   // "Удалить запись"
    bool toScoreboard = false; // "На табло"

    bool operator==(const DragGridMenuState&) const = default;
};
DragGridMenuState dragGridMenuState(const DragRuns& runs, int raceMode);

} // namespace velmaro
