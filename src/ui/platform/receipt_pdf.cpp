#include "ui/platform/receipt_pdf.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/platform/qt_paint_canvas.h"

namespace velmaro {

namespace {

int dotsOf(double mm) { return static_cast<int>(std::lround(mm / 25.4 * ReceiptPdfDevice::kDotsPerInch)); }
double mmOf(int dots) { return dots * 25.4 / ReceiptPdfDevice::kDotsPerInch; }

QPageLayout receiptPage(int bottomDots) {
    const double length = mmOf(bottomDots) + 2 * ReceiptPdfDevice::kEndMarginMm;
    return QPageLayout(QPageSize(QSizeF(ReceiptPdfDevice::kPageWidthMm, length), QPageSize::Millimeter),
                       QPageLayout::Portrait,
                       QMarginsF(ReceiptPdfDevice::kSideMarginMm, ReceiptPdfDevice::kEndMarginMm,
                                 ReceiptPdfDevice::kSideMarginMm, ReceiptPdfDevice::kEndMarginMm),
                       QPageLayout::Millimeter);
}

} // namespace

// Keeps every call of one page for the replay and answers the measuring calls from a
// canvas on a one-dot bitmap of the printer's resolution.
class ReceiptPdfDevice::Recorder final : public PaintCanvas {
public:
    Recorder() : m_bitmap(1, 1, QImage::Format_RGB32) {
        const int dotsPerMetre = static_cast<int>(std::lround(kDotsPerInch / 0.0254));
        m_bitmap.setDotsPerMeterX(dotsPerMetre);
        m_bitmap.setDotsPerMeterY(dotsPerMetre);
        m_painter.begin(&m_bitmap);
        m_measure = std::make_unique<QtPaintCanvas>(m_painter);
    }
    ~Recorder() override {
        m_measure.reset();
        m_painter.end();
    }

    Page takePage() { return std::exchange(m_page, Page{}); }

    void setPen(PaintColor color, int width) override {
        m_penWidth = std::max(1, width);
        keep([=](PaintCanvas& c) { c.setPen(color, width); });
    }
    void setBrush(PaintColor color, bool clear) override {
        keep([=](PaintCanvas& c) { c.setBrush(color, clear); });
    }
    void setFontSize(int points) override {
        keep([=](PaintCanvas& c) { c.setFontSize(points); });
    }
    void setFontPixelHeight(int pixels) override {
        keep([=](PaintCanvas& c) { c.setFontPixelHeight(pixels); });
    }
    void setFontColor(PaintColor color) override {
        keep([=](PaintCanvas& c) { c.setFontColor(color); });
    }
    void setFontBold(bool bold) override {
        keep([=](PaintCanvas& c) { c.setFontBold(bold); });
    }
    void rectangle(const PaintRect& rect) override {
        reach(rect.bottom);
        draw([=](PaintCanvas& c) { c.rectangle(rect); });
    }
    void fillRect(const PaintRect& rect) override {
        reach(rect.bottom);
        draw([=](PaintCanvas& c) { c.fillRect(rect); });
    }
    void line(int x1, int y1, int x2, int y2) override {
        reach(std::max(y1, y2) + m_penWidth);
        draw([=](PaintCanvas& c) { c.line(x1, y1, x2, y2); });
    }
    void textOut(int x, int y, const std::string& text) override {
        reach(y + m_measure->textHeight(text));
        draw([=](PaintCanvas& c) { c.textOut(x, y, text); });
    }
    void textRect(const PaintRect& clip, int x, int y, const std::string& text) override {
        reach(std::min(clip.bottom, y + m_measure->textHeight(text)));
        draw([=](PaintCanvas& c) { c.textRect(clip, x, y, text); });
    }
    int textWidth(const std::string& text) override { return m_measure->textWidth(text); }
    int textHeight(const std::string& text) override { return m_measure->textHeight(text); }
    bool drawImage(const PaintRect& rect, const std::string& path) override {
        if (!QImage(QString::fromStdString(path)).isNull()) {
            reach(rect.bottom);
            draw([=](PaintCanvas& c) { c.drawImage(rect, path); });
            return true;
        }
        return false;
    }

private:
    // Pen, brush and font calls reach the measuring canvas too; drawing calls are only kept.
    template <class Call>
    void keep(Call call) {
        call(*m_measure);
        m_page.calls.emplace_back(std::move(call));
    }
    template <class Call>
    void draw(Call call) {
        m_page.calls.emplace_back(std::move(call));
    }
    void reach(int y) { m_page.bottom = std::max(m_page.bottom, y); }

    QImage m_bitmap;
    QPainter m_painter;
    std::unique_ptr<QtPaintCanvas> m_measure;
    Page m_page;
    int m_penWidth = 1;
};

ReceiptPdfDevice::ReceiptPdfDevice(std::filesystem::path path) : m_path(std::move(path)) {}

ReceiptPdfDevice::~ReceiptPdfDevice() = default;

int ReceiptPdfDevice::pageWidth() const { return dotsOf(kPageWidthMm - 2 * kSideMarginMm); }
int ReceiptPdfDevice::pageHeight() const { return dotsOf(kLongestPageMm); }

Status ReceiptPdfDevice::beginDoc(const std::string& title) {
    m_title = title;
    m_pages.clear();
    m_recorder = std::make_unique<Recorder>();
    return Status::Ok();
}

PaintCanvas& ReceiptPdfDevice::canvas() { return *m_recorder; }

Status ReceiptPdfDevice::newPage() {
    if (!m_recorder) return Status::Error("Печать не была начата");
    m_pages.push_back(m_recorder->takePage());
    return Status::Ok();
}

Status ReceiptPdfDevice::endDoc() {
    if (!m_recorder) return Status::Error("Печать не была начата");
    m_pages.push_back(m_recorder->takePage());
    m_recorder.reset();
    const Status failed = Status::Error("Не удалось создать файл " + m_path.string());

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(m_path.string()));
    printer.setResolution(kDotsPerInch);
    printer.setDocName(QString::fromStdString(m_title));
    printer.setFullPage(false); // the painter starts inside the margins
    if (!printer.setPageLayout(receiptPage(m_pages.front().bottom))) return failed;
    QPainter painter;
    if (!painter.begin(&printer)) return failed;
    QtPaintCanvas canvas(painter);
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        if (i > 0 && (!printer.setPageLayout(receiptPage(m_pages[i].bottom)) || !printer.newPage())) {
            painter.end();
            return Status::Error("Принтер не начал новую страницу");
        }
        for (const auto& call : m_pages[i].calls) call(canvas);
    }
    m_pages.clear();
    return painter.end() ? Status::Ok() : failed;
}

} // namespace velmaro
