#include "ui/drag/receipt_printing.h"

#include "core/app/console.h"
#include "core/drag/race_reports.h"
#include "core/platform/operator.h"
#include "ui/platform/desktop_opener.h"
#include "ui/platform/printing.h"

namespace velmaro::ui {

std::unique_ptr<PrintDevice> PosReceiptPrinters::openReceiptPrinter() {
    return velmaro::openReceiptPrinter(theConsole().eventFolder, stem_);
}

void PosReceiptPrinters::printed(PrintDevice& printer) { tellWherePrinted(printer, op_); }

ReceiptHeading consoleReceiptHeading(Operator& op) {
    return ReceiptHeading{theConsole().eventName, receiptDateToday(), programReceiptLogo(op)};
}

void printTimeslipCommand(int which, Operator& op) {
    PosReceiptPrinters printers("timeslip", op);
    const Status st = printTimeslip(which, consoleReceiptHeading(op), printers);
    if (!st.ok()) op.message(st.message(), "Печать", Operator::Icon::Error);
}

void raceReportMenuCommand(Operator& op) {
    DesktopOpener opener;
    raceReportCommand(opener, op);
}

} // namespace velmaro::ui
