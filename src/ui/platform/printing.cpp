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
    const QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                    : QPrinterInfo::printerInfo(printerName);
    d->m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return d;
}

std::unique_ptr<QtPrintDevice> QtPrintDevice::forPdf(const std::filesystem::path& path, int dpi) {
    std::unique_ptr<QtPrintDevice> d(new QtPrintDevice);
    d->m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    d->m_printer->setOutputFormat(QPrinter::PdfFormat);
    d->m_printer->setOutputFileName(QString::fromStdString(path.string()));
    d->m_printer->setPageSize(QPageSize(QPageSize::A4));
    d->m_printer->setResolution(dpi);
    d->m_pdfPath = path;
    return d;
}

QtPrintDevice::~QtPrintDevice() {
    if (m_painter && m_painter->isActive()) m_painter->end();
}

void QtPrintDevice::setLandscape(bool landscape) {
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int QtPrintDevice::pixelsPerInchX() const { return m_printer->logicalDpiX(); }
int QtPrintDevice::pixelsPerInchY() const { return m_printer->logicalDpiY(); }

int QtPrintDevice::pageWidth() const { return m_printer->pageLayout().fullRectPixels(m_printer->resolution()).width(); }
int QtPrintDevice::pageHeight() const {
    return m_printer->pageLayout().fullRectPixels(m_printer->resolution()).height();
}

Status QtPrintDevice::beginDoc(const std::string& title) {
    m_printer->setDocName(QString::fromStdString(title));
    // Draw in physical page coordinates: the page's own margins are ours to set.
    m_printer->setFullPage(true);
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_printer.get())) {
        m_painter.reset();
        return Status::Error(isPdf() ? "Не удалось создать файл " + m_pdfPath.string()
                                     : "Принтер не начал печать");
    }
    m_canvas = std::make_unique<QtPaintCanvas>(*m_painter);
    return Status::Ok();
}

PaintCanvas& QtPrintDevice::canvas() { return *m_canvas; }

Status QtPrintDevice::newPage() {
    if (!m_printer->newPage()) return Status::Error("Принтер не начал новую страницу");
    return Status::Ok();
}

Status QtPrintDevice::endDoc() {
    m_canvas.reset();
    if (!m_painter) return Status::Error("Печать не была начата");
    const bool ok = m_painter->end();
    m_painter.reset();
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
