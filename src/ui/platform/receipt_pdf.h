#pragma once
// The receipt printer's stand-in when no printer is installed: a PDF file whose pages are
// a receipt roll's width (80 mm) at a receipt printer's resolution (203 dpi), with
// margins around the printed width, each page as long as what was drawn on it. A
// timeslip or a lap receipt is one document of one page: it reads like the slip the
// printer would have cut.
//
// What is drawn on a page is kept (texts measured as the printer's fonts measure them)
// until the page ends; endDoc then lays every page on a PDF page of its own length.
// Main thread only.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/paint_canvas.h"

namespace velmaro {

class ReceiptPdfDevice final : public PrintDevice {
public:
    static constexpr int kDotsPerInch = 203;
    static constexpr double kPageWidthMm = 80.0;
    static constexpr double kSideMarginMm = 4.0;     // the printed width is 72 mm
    static constexpr double kEndMarginMm = 5.0;      // above and below what is printed
    static constexpr double kLongestPageMm = 2000.0; // what pageHeight() offers

    explicit ReceiptPdfDevice(std::filesystem::path path);
    ~ReceiptPdfDevice() override;

    // A roll has no landscape.
    void setLandscape(bool) override {}
    int pixelsPerInchX() const override { return kDotsPerInch; }
    int pixelsPerInchY() const override { return kDotsPerInch; }
    // The printed width, in dots.
    int pageWidth() const override;
    // A roll's length: a receipt never runs out of page.
    int pageHeight() const override;
    Status beginDoc(const std::string& title) override;
    PaintCanvas& canvas() override;
    Status newPage() override;
    Status endDoc() override;

    const std::filesystem::path& path() const { return path_; }

private:
    class Recorder;
    struct Page {
        std::vector<std::function<void(PaintCanvas&)>> calls;
        int bottom = 0; // below everything drawn, in dots
    };

    std::filesystem::path path_;
    std::string title_;
    std::unique_ptr<Recorder> recorder_;
    std::vector<Page> pages_;
};

} // namespace velmaro
