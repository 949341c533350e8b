#pragma once
// The console's printers. Core code prints through PrintDevice (core/platform/
// paint_canvas.h); this is the Qt side that opens the device:
//   - openDefaultPrinter: the system's default printer (brackets, fallback of receipts);
//   - openPosPrinter: the first installed printer whose name contains "POS", else the
//     default printer (start lists);
//   - openReceiptPrinter: the same printers for timeslips and lap receipts;
//   - with no printer installed at all, they write a PDF file instead (an event
//     folder file named after the document; receipts on receipt-sized pages,
//     ui/platform/receipt_pdf.h), and tellWherePrinted() lets the operator know
//     where it went.
// Main thread only (QPrinter and QPainter are GUI objects).
#include <filesystem>
#include <memory>
#include <string>

#include <QPainter>
#include <QPrinter>

#include "core/platform/operator.h"
#include "core/platform/paint_canvas.h"
#include "ui/platform/qt_paint_canvas.h"

namespace velmaro {

class QtPrintDevice : public PrintDevice {
public:
    // A real printer by name (empty = the default printer).
    static std::unique_ptr<QtPrintDevice> forPrinter(const QString& printerName);
    // A PDF file at `path`, A4, `dpi` dots per inch.
    static std::unique_ptr<QtPrintDevice> forPdf(const std::filesystem::path& path, int dpi = 600);

    ~QtPrintDevice() override;

    void setLandscape(bool landscape) override;
    int pixelsPerInchX() const override;
    int pixelsPerInchY() const override;
    int pageWidth() const override;
    int pageHeight() const override;
    Status beginDoc(const std::string& title) override;
    PaintCanvas& canvas() override;
    Status newPage() override;
    Status endDoc() override;

    bool isPdf() const { return !pdfPath_.empty(); }
    const std::filesystem::path& pdfPath() const { return pdfPath_; }
    QPrinter& printer() { return *printer_; }

private:
    QtPrintDevice() = default;

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<QtPaintCanvas> canvas_;
    std::filesystem::path pdfPath_;
};

// Names of the installed printers, and the first whose name contains "POS" (empty = none).
QStringList installedPrinterNames();
QString findPosPrinterName();
bool anyPrinterInstalled();

// Where a PDF stands in for paper: <folder>/<stem>_<yyyyMMdd_hhmmss>.pdf (a free name).
std::filesystem::path pdfFallbackPath(const std::filesystem::path& folder, const std::string& stem);

// The default printer, or with no printer installed a PDF in `pdfFolder` named after `stem`.
std::unique_ptr<QtPrintDevice> openDefaultPrinter(const std::filesystem::path& pdfFolder, const std::string& stem);
// The first "POS" printer, else the default printer, else a PDF as above.
std::unique_ptr<QtPrintDevice> openPosPrinter(const std::filesystem::path& pdfFolder, const std::string& stem);
// The first "POS" printer, else the default printer, else a PDF of receipt-sized pages.
std::unique_ptr<PrintDevice> openReceiptPrinter(const std::filesystem::path& pdfFolder, const std::string& stem);

// After a job: when it went to a PDF file, tells `op` the file's path.
void tellWherePrinted(const PrintDevice& device, Operator& op);

} // namespace velmaro
