#pragma once
// The racer list grouped by class, as the registration window exports it (racers.csv
// and racers.xlsx in the event folder) and prints it as the start list.
//
// One row per racer and class the racer is entered in; a racer whose classes name no
// existing class (or who has none) has one row under "Без класса". Racers numbered 0
// are left out. Rows are ordered by compareByClassAndNumber.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/platform/status.h"
#include "core/platform/workbook.h"
#include "core/registration/registry.h"

namespace velmaro {

class DocumentOpener;
class Operator;

inline constexpr const char* kNoClassText = "Без класса";

// One racer under one class. `racer` observes a record of the registry the rows were
// made from; the rows must not outlive a change of the racer list.
struct RacerClassRow {
    const TRacerItem* racer = nullptr;
    std::string classText; // the class name, or kNoClassText
};

// Class texts in collation order with "Без класса" last, then racer numbers ascending.
// Negative, 0 or positive.
int compareByClassAndNumber(const RacerClassRow& a, const RacerClassRow& b);

// The rows of the registry, sorted.
std::vector<RacerClassRow> racerClassRows(const TRegistry& reg);

// Walks sorted rows class by class: `title` for every new class text, then `racer` for
// every row with its running number, from 1 within each class.
void forEachClassGroup(const std::vector<RacerClassRow>& rows, const std::function<void(const std::string&)>& title,
                       const std::function<void(unsigned, const TRacerItem&)>& racer);

// racers.csv: a header line, then per class a title line (the class text as a formula
// showing it, between two empty cells) and the class's racers with a running number
// from 1: running number, number, tag ("" for 0), name, car model, city, team (the four
// texts through csvText, so none runs as a formula). Every cell ends with ';'; a cell
// holding ';', '"' or a line end is quoted.
std::string racersCsv(const std::vector<RacerClassRow>& rows);

// The same table as a sheet named after the event: class titles merged and shaded
// over the seven columns, grid lines, fitted columns.
Sheet racersSheet(const std::vector<RacerClassRow>& rows, const std::string& eventName);

// The "Excel" button: writes racers.csv and racers.xlsx into `eventFolder`, names them in
// the log and opens the workbook (showExportedFiles). Nothing happens without racers. A
// file that cannot be written stops the export with a message naming it. Returns the
// status of the first failure.
Status exportRacerList(const TRegistry& reg, const std::filesystem::path& eventFolder, const std::string& eventName,
                       DocumentOpener& opener, Operator& op);

} // namespace velmaro
