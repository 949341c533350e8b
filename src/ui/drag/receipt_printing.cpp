#include "ui/drag/receipt_printing.h"

#include "core/app/console.h"
#include "core/drag/drag_runs.h"
#include "core/drag/race_reports.h"
#include "core/platform/operator.h"
#include "ui/platform/desktop_opener.h"
#include "ui/platform/printing.h"

namespace velmaro::ui {

std::unique_ptr<PrintDevice> PosReceiptPrinters::openReceiptPrinter() {
    return velmaro::openReceiptPrinter(console_.eventFolder, stem_);
}

void PosReceiptPrinters::printed(PrintDevice& printer) { tellWherePrinted(printer, op_); }

ReceiptHeading consoleReceiptHeading(const Console& console, Operator& op) {
    return ReceiptHeading{console.eventName, receiptDateToday(), programReceiptLogo(op)};
}

void printTimeslipCommand(const Console& console, int which, Operator& op, const DragRuns& runs) {
    PosReceiptPrinters printers(console, "timeslip", op);
    const Status st = printTimeslip(runs, which, consoleReceiptHeading(console, op), printers);
    if (!st.ok()) op.message(st.message(), "Печать", Operator::Icon::Error);
}

void raceReportMenuCommand(const Console& console, Operator& op, const DragRuns& runs) {
    DesktopOpener opener;
    raceReportCommand(console, runs, opener, op);
}

} // namespace velmaro::ui
