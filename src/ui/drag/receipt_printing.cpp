#include "ui/drag/receipt_printing.h"

#include "core/app/console.h"
#include "core/drag/drag_runs.h"
#include "core/drag/race_reports.h"
#include "core/platform/operator.h"
#include "ui/platform/desktop_opener.h"
#include "ui/platform/printing.h"

namespace velmaro::ui {

std::unique_ptr<PrintDevice> PosReceiptPrinters::openReceiptPrinter() {
    return velmaro::openReceiptPrinter(theConsole().eventFolder, stem_);
}

void PosReceiptPrinters::printed(PrintDevice& printer) { tellWherePrinted(printer); }

ReceiptHeading consoleReceiptHeading() {
    return ReceiptHeading{theConsole().eventName, receiptDateToday(), programReceiptLogo()};
}

void printTimeslipCommand(const DragRuns& runs, int which) {
    PosReceiptPrinters printers("timeslip");
    const Status st = printTimeslip(runs, which, consoleReceiptHeading(), printers);
    if (!st.ok()) theOperator().message(st.message(), "Печать", Operator::Icon::Error);
}

void raceReportMenuCommand(const DragRuns& runs) {
    DesktopOpener opener;
    raceReportCommand(runs, opener, theOperator());
}

} // namespace velmaro::ui
