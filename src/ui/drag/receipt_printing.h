#pragma once
// The console's print and report commands of the two-lane runs, as the main window calls
// them: timeslips from the print buttons and F8, and "Отчет по парным". Main thread only.
#include "core/drag/receipt_lines.h"
#include "core/drag/timeslip.h"

namespace velmaro {
class Console;
class Operator;
class QtPrintDevice;
class DragRuns; // core/drag/drag_runs.h
} // namespace velmaro

namespace velmaro::ui {

// The receipt printer: the first "POS" printer, else the default one, else a PDF of
// receipt-sized pages in the console's event folder named after `stem` (the official is
// then told where it went, through `op`). The console and `op` are not owned.
class PosReceiptPrinters final : public ReceiptPrinterSource {
public:
    PosReceiptPrinters(const Console& console, std::string stem, Operator& op)
        : console_(console), stem_(std::move(stem)), op_(op) {}
    std::unique_ptr<PrintDevice> openReceiptPrinter() override;
    void printed(PrintDevice& printer) override;

private:
    const Console& console_;
    std::string stem_;
    Operator& op_;
};

// The console's event name, today's date and printlogo.bmp of the program folder.
ReceiptHeading consoleReceiptHeading(const Console& console, Operator& op);

// sbPrintLeft (TIMESLIP_LEFT), sbPrintRight (TIMESLIP_RIGHT), sbPrintBoth (TIMESLIP_BOTH)
// and F8 (TIMESLIP_LAST_RUN_BOTH, or the two lanes, as the start sequence's key table
// chooses) in the two-lane modes 0, 2, 3, 5, 8. A device error is shown to the official
// through `op`. The runs are those of `runs`.
void printTimeslipCommand(const Console& console, int which, Operator& op, const DragRuns& runs);

// N16 "Отчет по парным": the report of the open event, opened in the spreadsheet application.
void raceReportMenuCommand(const Console& console, Operator& op, const DragRuns& runs);

} // namespace velmaro::ui
