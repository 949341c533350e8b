#include "core/registration/racer_export.h"

#include <algorithm>

#include "core/platform/csv.h"
#include "core/platform/document_opener.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"

namespace velmaro {

namespace {

constexpr int kExportColumns = 7;

// The cells of a racer line after the running number.
std::vector<std::string> racerCells(const TRacerItem& r) {
    return {std::to_string(r.number),
            r.tag == 0 ? std::string() : std::to_string(r.tag),
            r.name,
            r.carModel,
            r.city,
            r.team};
}

const std::vector<std::string>& headerCells() {
    static const std::vector<std::string> cells = {"№ п/п", "№ борт.", "Метка", "ФИО", "Модель", "Город", "Команда"};
    return cells;
}

} // namespace

void forEachClassGroup(const std::vector<RacerClassRow>& rows, const std::function<void(const std::string&)>& title,
                       const std::function<void(unsigned, const TRacerItem&)>& racer) {
    std::string current;
    unsigned running = 1;
    for (const RacerClassRow& row : rows) {
        if (row.classText != current) {
            current = row.classText;
            running = 1;
            title(current);
        }
        racer(running++, *row.racer);
    }
}

int compareByClassAndNumber(const RacerClassRow& a, const RacerClassRow& b) {
    if (a.classText != b.classText) {
        if (a.classText == kNoClassText) return 1;
        if (b.classText == kNoClassText) return -1;
        return collateText(a.classText, b.classText);
    }
    const std::uint32_t na = a.racer->number, nb = b.racer->number;
    return na < nb ? -1 : na > nb ? 1 : 0;
}

std::vector<RacerClassRow> racerClassRows(const TRegistry& reg) {
    std::vector<RacerClassRow> rows;
    std::vector<const TRacerItem*> classless;
    for (const auto& r : reg.racers) {
        if (r->number == 0) continue;
        bool listed = false;
        for (std::int32_t id : r->classIds) {
            if (const TClassItem* cls = reg.findClass(id)) {
                rows.push_back({r.get(), cls->name});
                listed = true;
            }
        }
        if (!listed) classless.push_back(r.get());
    }
    for (const TRacerItem* r : classless) rows.push_back({r, kNoClassText});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return compareByClassAndNumber(a, b) < 0; });
    return rows;
}

std::string racersCsv(const std::vector<RacerClassRow>& rows) {
    std::string text = csvLine(headerCells());
    forEachClassGroup(
        rows,
        [&](const std::string& cls) {
            // A formula showing the text keeps the spreadsheet from reading it as a number or
            // date; the name stays inside its quoted literal, so nothing in it is run.
            text += csvLine({"", csvFormulaText(cls)});
        },
        [&](unsigned running, const TRacerItem& r) {
            std::vector<std::string> cells = racerCells(r);
            for (std::size_t i = 2; i < cells.size(); ++i) cells[i] = csvText(cells[i]); // the typed texts
            cells.insert(cells.begin(), std::to_string(running));
            text += csvLine(cells);
        });
    return text;
}

Sheet racersSheet(const std::vector<RacerClassRow>& rows, const std::string& eventName) {
    Sheet sheet;
    sheet.name = eventName;
    sheet.columnCount = kExportColumns;
    SheetRow header;
    header.bold = true;
    for (const auto& h : headerCells()) header.cells.push_back({h, false});
    sheet.rows.push_back(std::move(header));
    forEachClassGroup(
        rows,
        [&](const std::string& cls) {
            SheetRow title;
            title.title = true;
            title.cells.push_back({cls, false});
            sheet.rows.push_back(std::move(title));
        },
        [&](unsigned running, const TRacerItem& r) {
            SheetRow line;
            line.cells.push_back({std::to_string(running), true});
            const std::vector<std::string> cells = racerCells(r);
            for (std::size_t i = 0; i < cells.size(); ++i)
                line.cells.push_back(i < 2 ? sheetCellFromText(cells[i]) : SheetCell{cells[i], false});
            sheet.rows.push_back(std::move(line));
        });
    return sheet;
}

Status exportRacerList(const TRegistry& reg, const std::filesystem::path& eventFolder, const std::string& eventName,
                       DocumentOpener& opener, Operator& op) {
    if (reg.racers.empty()) return Status::Ok();
    const std::vector<RacerClassRow> rows = racerClassRows(reg);
    const std::filesystem::path csvPath = eventFolder / "racers.csv";
    const std::filesystem::path bookPath = eventFolder / "racers.xlsx";
    auto fail = [&](const std::filesystem::path& file, const Status& st) {
        op.message("Не удалось записать файл " + file.string() + "\n" + st.message(), "Excel", Operator::Icon::Error);
        return st;
    };
    if (Status st = writeFileAtomic(csvPath, racersCsv(rows)); !st.ok()) return fail(csvPath, st);
    if (Status st = writeWorkbook(bookPath, racersSheet(rows, eventName)); !st.ok()) return fail(bookPath, st);
    showExportedFiles(opener, op, {csvPath, bookPath}, bookPath);
    return Status::Ok();
}

} // namespace velmaro
