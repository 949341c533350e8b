#include "ui/drag/receipt_printing.h"

#include "core/app/console.h"
#include "core/drag/race_reports.h"
#include "core/platform/operator.h"
#include "ui/platform/desktop_opener.h"
#include "ui/platform/printing.h"

namespace velmaro::ui {

std::unique_ptr<PrintDevice> PosReceiptPrinters::openReceiptPrinter() {
    return velmaro::openReceiptPrinter(console_.eventFolder, stem_);
}

void PosReceiptPrinters::printed(PrintDevice& printer) { tellWherePrinted(printer); }

ReceiptHeading consoleReceiptHeading(const Console& console) {
    return ReceiptHeading{console.eventName, receiptDateToday(), programReceiptLogo()};
}

void printTimeslipCommand(const Console& console, int which) {
    PosReceiptPrinters printers(console, "timeslip");
    const Status st = printTimeslip(which, consoleReceiptHeading(console), printers);
    if (!st.ok()) theOperator().message(st.message(), "Печать", Operator::Icon::Error);
}

void raceReportMenuCommand(const Console& console) {
    DesktopOpener opener;
    raceReportCommand(console, opener, theOperator());
}

} // namespace velmaro::ui
