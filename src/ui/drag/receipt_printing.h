#pragma once
// The console's print and report commands of the two-lane runs, as the main window calls
// them: timeslips from the print buttons and F8, and "Отчет по парным". Main thread only.
#include "core/drag/receipt_lines.h"
#include "core/drag/timeslip.h"

namespace velmaro {
class QtPrintDevice;
class DragRuns; // core/drag/drag_runs.h
}

namespace velmaro::ui {

// The receipt printer: the first "POS" printer, else the default one, else a PDF of
// receipt-sized pages in the event folder named after `stem` (the official is then told
// where it went).
class PosReceiptPrinters final : public ReceiptPrinterSource {
public:
    explicit PosReceiptPrinters(std::string stem) : stem_(std::move(stem)) {}
    std::unique_ptr<PrintDevice> openReceiptPrinter() override;
    void printed(PrintDevice& printer) override;

private:
    std::string stem_;
};

// Event name, today's date and printlogo.bmp of the program folder.
ReceiptHeading consoleReceiptHeading();

// sbPrintLeft (TIMESLIP_LEFT), sbPrintRight (TIMESLIP_RIGHT), sbPrintBoth (TIMESLIP_BOTH)
// and F8 (TIMESLIP_LAST_RUN_BOTH, or the two lanes, as the start sequence's key table
// chooses) in the two-lane modes 0, 2, 3, 5, 8. A device error is shown to the official.
void printTimeslipCommand(const DragRuns& runs, int which);

// N16 "Отчет по парным": the report of the open event, opened in the spreadsheet application.
void raceReportMenuCommand(const DragRuns& runs);

} // namespace velmaro::ui
