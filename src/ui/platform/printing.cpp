#include "ui/platform/printing.h"

#include <QDateTime>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>

#include "core/platform/operator.h"
#include "ui/platform/receipt_pdf.h"

namespace velmaro {

std::unique_ptr<QtPrintDevice> QtPrintDevice::forPrinter(const QString& printerName) {
    std::unique_ptr<QtPrintDevice> d(new QtPrintDevice);
    const QPrinterInfo info =
        printerName.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printerName);
    d->printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return d;
}

std::unique_ptr<QtPrintDevice> QtPrintDevice::forPdf(const std::filesystem::path& path, int dpi) {
    std::unique_ptr<QtPrintDevice> d(new QtPrintDevice);
    d->printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    d->printer_->setOutputFormat(QPrinter::PdfFormat);
    d->printer_->setOutputFileName(QString::fromStdString(path.string()));
    d->printer_->setPageSize(QPageSize(QPageSize::A4));
    d->printer_->setResolution(dpi);
    d->pdfPath_ = path;
    return d;
}

QtPrintDevice::~QtPrintDevice() {
    if (painter_ && painter_->isActive()) painter_->end();
}

void QtPrintDevice::setLandscape(bool landscape) {
    printer_->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int QtPrintDevice::pixelsPerInchX() const { return printer_->logicalDpiX(); }
int QtPrintDevice::pixelsPerInchY() const { return printer_->logicalDpiY(); }

int QtPrintDevice::pageWidth() const { return printer_->pageLayout().fullRectPixels(printer_->resolution()).width(); }
int QtPrintDevice::pageHeight() const { return printer_->pageLayout().fullRectPixels(printer_->resolution()).height(); }

Status QtPrintDevice::beginDoc(const std::string& title) {
    printer_->setDocName(QString::fromStdString(title));
    // Draw in physical page coordinates: the page's own margins are ours to set.
    printer_->setFullPage(true);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(printer_.get())) {
        painter_.reset();
        return Status::Error(isPdf() ? "Не удалось создать файл " + pdfPath_.string() : "Принтер не начал печать");
    }
    canvas_ = std::make_unique<QtPaintCanvas>(*painter_);
    return Status::Ok();
}

PaintCanvas& QtPrintDevice::canvas() { return *canvas_; }

Status QtPrintDevice::newPage() {
    if (!printer_->newPage()) return Status::Error("Принтер не начал новую страницу");
    return Status::Ok();
}

Status QtPrintDevice::endDoc() {
    canvas_.reset();
    if (!painter_) return Status::Error("Печать не была начата");
    const bool ok = painter_->end();
    painter_.reset();
    return ok ? Status::Ok() : Status::Error("Печать не завершена");
}

QStringList installedPrinterNames() { return QPrinterInfo::availablePrinterNames(); }

QString findPosPrinterName() {
    for (const QString& name : installedPrinterNames())
        if (name.contains("POS")) return name;
    return {};
}

bool anyPrinterInstalled() { return !installedPrinterNames().isEmpty(); }

std::filesystem::path pdfFallbackPath(const std::filesystem::path& folder, const std::string& stem) {
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd_hhmmss").toStdString();
    std::filesystem::path path = folder / (stem + "_" + stamp + ".pdf");
    for (int i = 2; std::filesystem::exists(path); ++i)
        path = folder / (stem + "_" + stamp + "_" + std::to_string(i) + ".pdf");
    return path;
}

namespace {

bool defaultPrinterAvailable() { return anyPrinterInstalled() && !QPrinterInfo::defaultPrinter().isNull(); }

// Where a PDF stand-in goes: a free name in `folder`, which is made when missing.
std::filesystem::path pdfStandInPath(const std::filesystem::path& folder, const std::string& stem) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return pdfFallbackPath(folder, stem);
}

} // namespace

std::unique_ptr<QtPrintDevice> openDefaultPrinter(const std::filesystem::path& pdfFolder, const std::string& stem) {
    if (!defaultPrinterAvailable()) return QtPrintDevice::forPdf(pdfStandInPath(pdfFolder, stem));
    return QtPrintDevice::forPrinter({});
}

std::unique_ptr<QtPrintDevice> openPosPrinter(const std::filesystem::path& pdfFolder, const std::string& stem) {
    const QString pos = findPosPrinterName();
    if (!pos.isEmpty()) return QtPrintDevice::forPrinter(pos);
    return openDefaultPrinter(pdfFolder, stem);
}

std::unique_ptr<PrintDevice> openReceiptPrinter(const std::filesystem::path& pdfFolder, const std::string& stem) {
    const QString pos = findPosPrinterName();
    if (!pos.isEmpty()) return QtPrintDevice::forPrinter(pos);
    if (defaultPrinterAvailable()) return QtPrintDevice::forPrinter({});
    return std::make_unique<ReceiptPdfDevice>(pdfStandInPath(pdfFolder, stem));
}

void tellWherePrinted(const PrintDevice& device, Operator& op) {
    std::filesystem::path pdf;
    if (const auto* qt = dynamic_cast<const QtPrintDevice*>(&device); qt && qt->isPdf()) pdf = qt->pdfPath();
    if (const auto* receipt = dynamic_cast<const ReceiptPdfDevice*>(&device)) pdf = receipt->path();
    if (pdf.empty()) return;
    op.message("Принтер не установлен. Документ сохранён в файл:\n" + pdf.string(), "Печать",
               Operator::Icon::Information);
}

} // namespace velmaro
