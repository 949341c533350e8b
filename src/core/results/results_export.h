#pragma once
// The export of the results grid: a semicolon-separated text file and a workbook in the
// event folder (event name + ".csv" and ".xlsx"), the workbook then shown to the official.
//
// Exported columns: column 0 always, every further column whose width is not 0 (the
// official hides a column by narrowing it to nothing). Texts are the shown texts of the
// grid (run-mode prefix and hidden suffix removed); columns 7 and 8 hold numbers with
// three decimals (a text that does not begin with a number gives an empty field). The
// text file writes them with the official's decimal separator, so that a spreadsheet
// set up for that language reads them as numbers (the fields are separated by ';', so a
// ',' needs no quoting); the workbook stores them as numbers. In the text file the
// typed texts (name, city, team, car model, class titles: columns 2 to 5) stay texts: one
// that reads as a number is written as a formula showing it (csvFormulaText), any other
// goes through csvText; the program's own class titles stay bare. Title rows are merged
// across the table in the workbook, carrying the row's title, and shaded. Nothing reads
// these files back.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/status.h"
#include "core/platform/workbook.h"
#include "core/records/results_table.h"

namespace velmaro {

class DocumentOpener;
class Operator;

struct ExportRow {
    std::vector<std::string> fields;
    std::vector<int> columns; // the grid column of each field
    bool title = false;       // a title row of the grid (not the column titles)
    bool operator==(const ExportRow&) const = default;
};

// The rows of the export: the column titles first, then one row per grid row from 1.
// `widths` are the grid's current column widths (missing ones count as shown).
std::vector<ExportRow> resultsExportRows(const ResultsTable& table, const std::vector<int>& widths, bool twoLaneMode);

// "0.000" of the number a text begins with (leading blanks allowed); empty when none.
std::string exportNumberField(const std::string& text);

// The text file: every field followed by ';'; the numbers of columns 7 and 8 (below the
// column titles) with `decimalSeparator` in place of '.'.
std::string resultsCsv(const std::vector<ExportRow>& rows, std::string_view decimalSeparator = ".");
Sheet resultsSheet(const std::vector<ExportRow>& rows, const std::string& sheetName);

struct ResultsExportFiles {
    std::filesystem::path csv, workbook;
};
ResultsExportFiles resultsExportFiles(const std::filesystem::path& eventFolder, const std::string& eventName);

// Writes both files, names them in the log and shows the workbook (showExportedFiles). A
// file that cannot be written stops the export with a message naming it; the status says
// the same. `decimalSeparator`: the official's, as the desktop's locale gives it.
Status exportResults(const ResultsTable& table, const std::vector<int>& widths, int mode,
                     const std::filesystem::path& eventFolder, const std::string& eventName,
                     std::string_view decimalSeparator, DocumentOpener& opener, Operator& op);

} // namespace velmaro
