#include "ui/lap/lap_receipt.h"

#include "core/drag/drag_run.h"
#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/program_folder.h"
#include "ui/drag/receipt_printing.h"

namespace velmaro::ui {

std::optional<LapReceiptTexts> lapReceiptTexts(const LapTiming& timing, int index) {
    if (!timing.raceItems() || index < 0) return std::nullopt;
    const TRaceItemList& items = *timing.raceItems();
    const TRaceItem* lap = nullptr;
    for (std::size_t i = static_cast<std::size_t>(index); i < items.size() && !lap; ++i)
        if (items[i]->kind == TRaceItem::LAP) lap = items[i].get();
    if (!lap) return std::nullopt;

    LapReceiptTexts t;
    t.number = "№ " + std::to_string(lap->racer);
    if (LapRegistry* registry = timing.host().registry()) {
        for (const LapClassInfo& cls : registry->classes())
            if (cls.id == lap->classId) {
                t.className = cls.name;
                break;
            }
        if (const std::optional<LapRacerInfo> racer = registry->findRacer(lap->racer)) {
            t.name = racer->name;
            t.car = racer->carModel;
            t.city = racer->city;
        }
    }
    t.time = formatLaneTime(lap->lap - lap->penalty);
    t.penalty = formatSignedTime(lap->penalty);
    t.total = formatLaneTime(lap->lap);
    return t;
}

Status printLapReceiptDocument(PrintDevice& printer, const ReceiptHeading& heading, const LapReceiptTexts& t,
                               const std::optional<std::vector<std::string>>& footerLines) {
    int y = 0;
    if (Status st = beginReceipt(printer, "Lap receipt", heading, y); !st.ok()) return st;
    PaintCanvas& canvas = printer.canvas();
    if (!t.className.empty()) y += printLineCentred(printer, y, t.className);
    y += printLineCentred(printer, y, t.number);
    for (const std::string* text : {&t.name, &t.car, &t.city})
        if (!text->empty()) y += printLineCentred(printer, y, *text);
    y += canvas.textHeight(" ");
    const int colon = canvas.textWidth("Время: ");
    const auto row = [&](const char* label, const std::string& value) {
        printLineLeft(printer, y, label);
        canvas.textOut(colon, y, ":");
        y += printLineRight(printer, y, value);
    };
    row("Время", t.time);
    row("Штраф", t.penalty);
    row("Итог", t.total);
    if (footerLines) {
        y += printLineCentred(printer, y, " ");
        for (const std::string& line : *footerLines) y += printLineCentred(printer, y, line);
    }
    y += 2 * canvas.textHeight(" ");
    printReceiptFooter(printer, y, false);
    return printer.endDoc();
}

Status printLapReceipt(const LapTiming& lap, int index, const ReceiptHeading& heading, ReceiptPrinterSource& printers,
                       const std::filesystem::path& footerFile) {
    const std::optional<LapReceiptTexts> texts = lapReceiptTexts(lap, index);
    if (!texts) return Status::Ok();
    std::optional<std::vector<std::string>> footer;
    if (std::vector<std::string> lines; readTextLines(footerFile, lines).ok()) footer = std::move(lines);
    const std::unique_ptr<PrintDevice> printer = printers.openReceiptPrinter();
    if (!printer) return Status::Error("Принтер не найден");
    Status st = printLapReceiptDocument(*printer, heading, *texts, footer);
    if (st.ok()) printers.printed(*printer);
    return st;
}

void printLapReceiptCommand(const Console& console, const LapTiming& lap, int index) {
    PosReceiptPrinters printers(console, "lap_receipt", lap.op());
    const Status st = printLapReceipt(lap, index, consoleReceiptHeading(console, lap.op()), printers,
                                      programFolder() / "printfooter.txt");
    if (!st.ok()) lap.op().message(st.message(), "Печать", Operator::Icon::Error);
}

} // namespace velmaro::ui
