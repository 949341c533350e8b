// The results export: CSV text and workbook.
#include "core/results/results_export.h"

#include <charconv>
#include <optional>

#include "core/platform/csv.h"
#include "core/platform/document_opener.h"
#include "core/platform/files.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"
#include "core/platform/timing_mode.h"
#include "core/results/results_grid.h"

namespace velmaro {

namespace {

std::string cutAtBar(const std::string& text) { return text.substr(0, text.find('|')); }

// The grid columns of texts the official or the web typed: name (or class title), city,
// team, car model.
bool isTypedColumn(int column) { return column >= 2 && column <= 5; }
// What the program itself writes there: the title of a class that is not registered
// (kUnknownClassTitle in the two-lane modes, the class id in the lap modes), in a title
// row. A racer row holds only typed texts.
bool isProgramText(const std::string& text, bool titleRow) {
    if (!titleRow) return false;
    const std::optional<long long> id = parseInteger(text);
    return text == kUnknownClassTitle || (id && std::to_string(*id) == text);
}
// A typed text stays the text it is: one a spreadsheet would read as a number is written
// as a formula showing it, one it would run as a formula gets its apostrophe.
std::string typedTextField(const std::string& text) {
    return csvReadsAsNumber(text) ? csvFormulaText(text) : csvText(text);
}
// The best reaction time and the best speed.
bool isNumberColumn(int column) { return column == 7 || column == 8; }

bool shown(const std::vector<int>& widths, int column) {
    return column == 0 || column >= static_cast<int>(widths.size()) || widths[static_cast<std::size_t>(column)] != 0;
}

} // namespace

std::string exportNumberField(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return {};
    if (text[i] == '+') ++i;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end == text.data() + i) return {};
    return formatFixed(value, 3);
}

std::vector<ExportRow> resultsExportRows(const ResultsTable& table, const std::vector<int>& widths, bool twoLaneMode) {
    std::vector<ExportRow> rows;
    if (table.rowCount() == 0) return rows;
    rows.reserve(static_cast<std::size_t>(table.rowCount()));
    const int columns = table.columnCount();
    ExportRow titles;
    for (int c = 0; c < columns; ++c) {
        if (!shown(widths, c)) continue;
        titles.fields.push_back(cutAtBar(table.cells[0][static_cast<std::size_t>(c)]));
        titles.columns.push_back(c);
    }
    rows.push_back(std::move(titles));
    for (int r = 1; r < table.rowCount(); ++r) {
        const auto& cells = table.cells[static_cast<std::size_t>(r)];
        ExportRow row;
        row.title = isTitleRow(cells);
        for (int c = 0; c < columns; ++c) {
            if (!shown(widths, c)) continue;
            const std::string& cell =
                c < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(c)] : std::string();
            std::string text = c == 0 ? cutAtBar(cell) : shownCell(cell, twoLaneMode).text;
            if (isNumberColumn(c)) text = exportNumberField(text);
            row.fields.push_back(std::move(text));
            row.columns.push_back(c);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string resultsCsv(const std::vector<ExportRow>& rows, std::string_view decimalSeparator) {
    std::string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> fields = rows[r].fields;
        // Below the column titles (which are the program's own texts).
        for (std::size_t i = 0; r > 0 && i < fields.size() && i < rows[r].columns.size(); ++i) {
            const int c = rows[r].columns[i];
            if (isTypedColumn(c)) {
                if (!isProgramText(fields[i], rows[r].title)) fields[i] = typedTextField(fields[i]);
            } else if (isNumberColumn(c)) {
                if (const std::size_t point = fields[i].find('.'); point != std::string::npos)
                    fields[i].replace(point, 1, decimalSeparator);
            }
        }
        out += csvLine(fields);
    }
    return out;
}

Sheet resultsSheet(const std::vector<ExportRow>& rows, const std::string& sheetName) {
    Sheet sheet;
    sheet.name = sheetName;
    sheet.titleColor = 0xE0E0E0;
    sheet.columnCount = rows.empty() ? 0 : static_cast<int>(rows.front().fields.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SheetRow out;
        out.title = rows[r].title;
        out.bold = r == 0;
        if (rows[r].title) {
            // Merged, the row shows its first cell: that is its title.
            std::string title;
            for (const std::string& f : rows[r].fields)
                if (!f.empty()) {
                    title = f;
                    break;
                }
            out.cells.push_back(SheetCell{title, false});
        } else {
            for (const std::string& f : rows[r].fields)
                out.cells.push_back(r == 0 ? SheetCell{f, false} : sheetCellFromText(f));
        }
        sheet.rows.push_back(std::move(out));
    }
    return sheet;
}

ResultsExportFiles resultsExportFiles(const std::filesystem::path& eventFolder, const std::string& eventName) {
    return {eventFolder / (eventName + ".csv"), eventFolder / (eventName + ".xlsx")};
}

Status exportResults(const ResultsTable& table, const std::vector<int>& widths, int mode,
                     const std::filesystem::path& eventFolder, const std::string& eventName,
                     std::string_view decimalSeparator, DocumentOpener& opener, Operator& op) {
    const ResultsExportFiles files = resultsExportFiles(eventFolder, eventName);
    const std::vector<ExportRow> rows = resultsExportRows(table, widths, isTwoLaneMode(mode));
    Status st = writeFileAtomic(files.csv, resultsCsv(rows, decimalSeparator));
    if (!st.ok()) st = Status::Error("Не удалось записать файл " + files.csv.string());
    if (st.ok()) st = writeWorkbook(files.workbook, resultsSheet(rows, eventName));
    if (!st.ok()) {
        op.message(st.message(), "Экспорт", Operator::Icon::Error);
        return st;
    }
    showExportedFiles(opener, op, {files.csv, files.workbook}, files.workbook);
    return Status::Ok();
}

} // namespace velmaro
