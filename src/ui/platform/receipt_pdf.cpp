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
    Recorder() : bitmap_(1, 1, QImage::Format_RGB32) {
        const int dotsPerMetre = static_cast<int>(std::lround(kDotsPerInch / 0.0254));
        bitmap_.setDotsPerMeterX(dotsPerMetre);
        bitmap_.setDotsPerMeterY(dotsPerMetre);
        painter_.begin(&bitmap_);
        measure_ = std::make_unique<QtPaintCanvas>(painter_);
    }
    ~Recorder() override {
        measure_.reset();
        painter_.end();
    }

    Page takePage() { return std::exchange(page_, Page{}); }

    void setPen(PaintColor color, int width) override {
        penWidth_ = std::max(1, width);
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
        reach(std::max(y1, y2) + penWidth_);
        draw([=](PaintCanvas& c) { c.line(x1, y1, x2, y2); });
    }
    void textOut(int x, int y, const std::string& text) override {
        reach(y + measure_->textHeight(text));
        draw([=](PaintCanvas& c) { c.textOut(x, y, text); });
    }
    void textRect(const PaintRect& clip, int x, int y, const std::string& text) override {
        reach(std::min(clip.bottom, y + measure_->textHeight(text)));
        draw([=](PaintCanvas& c) { c.textRect(clip, x, y, text); });
    }
    int textWidth(const std::string& text) override { return measure_->textWidth(text); }
    int textHeight(const std::string& text) override { return measure_->textHeight(text); }
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
        call(*measure_);
        page_.calls.emplace_back(std::move(call));
    }
    template <class Call>
    void draw(Call call) {
        page_.calls.emplace_back(std::move(call));
    }
    void reach(int y) { page_.bottom = std::max(page_.bottom, y); }

    QImage bitmap_;
    QPainter painter_;
    std::unique_ptr<QtPaintCanvas> measure_;
    Page page_;
    int penWidth_ = 1;
};

ReceiptPdfDevice::ReceiptPdfDevice(std::filesystem::path path) : path_(std::move(path)) {}

ReceiptPdfDevice::~ReceiptPdfDevice() = default;

int ReceiptPdfDevice::pageWidth() const { return dotsOf(kPageWidthMm - 2 * kSideMarginMm); }
int ReceiptPdfDevice::pageHeight() const { return dotsOf(kLongestPageMm); }

Status ReceiptPdfDevice::beginDoc(const std::string& title) {
    title_ = title;
    pages_.clear();
    recorder_ = std::make_unique<Recorder>();
    return Status::Ok();
}

PaintCanvas& ReceiptPdfDevice::canvas() { return *recorder_; }

Status ReceiptPdfDevice::newPage() {
    if (!recorder_) return Status::Error("Печать не была начата");
    pages_.push_back(recorder_->takePage());
    return Status::Ok();
}

Status ReceiptPdfDevice::endDoc() {
    if (!recorder_) return Status::Error("Печать не была начата");
    pages_.push_back(recorder_->takePage());
    recorder_.reset();
    const Status failed = Status::Error("Не удалось создать файл " + path_.string());

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path_.string()));
    printer.setResolution(kDotsPerInch);
    printer.setDocName(QString::fromStdString(title_));
    printer.setFullPage(false); // the painter starts inside the margins
    if (!printer.setPageLayout(receiptPage(pages_.front().bottom))) return failed;
    QPainter painter;
    if (!painter.begin(&printer)) return failed;
    QtPaintCanvas canvas(painter);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (i > 0 && (!printer.setPageLayout(receiptPage(pages_[i].bottom)) || !printer.newPage())) {
            painter.end();
            return Status::Error("Принтер не начал новую страницу");
        }
        for (const auto& call : pages_[i].calls) call(canvas);
    }
    pages_.clear();
    return painter.end() ? Status::Ok() : failed;
}

} // namespace velmaro
