#pragma once
// Receipt printouts (start list, timeslip, lap receipt): lines of text placed at the
// left edge, centred or at the right edge of a narrow page, drawn top to bottom.
//
// Two levels:
//   - printLineLeft / printLineCentred / printLineRight draw one text at a given y and
//     return the line height (the height of " " in the current font); they never move
//     anything, so several of them can share one line (a label centred, two values at
//     the edges).
//   - ReceiptWriter keeps the running y of a print job and starts a new page when the
//     next line would pass the bottom of the page, so a long list continues on the next
//     page instead of losing its lines.
//
// Texts are UTF-8. A text wider than the page is drawn from x = 0. All calls are made
// between PrintDevice::beginDoc and endDoc, on the thread that opened the device.
#include <filesystem>
#include <string>
#include <vector>

#include "core/platform/paint_canvas.h"

namespace velmaro {

enum class ReceiptAlign { Left, Centre, Right };

// x of a text `textWidth` wide on a page `pageWidth` wide; never negative.
int receiptX(ReceiptAlign align, int pageWidth, int textWidth);

// Draw `text` at y, aligned on the page; return the height of " " in the current font.
int printLine(PaintCanvas& canvas, int pageWidth, int y, const std::string& text, ReceiptAlign align);
int printLineLeft(PaintCanvas& canvas, int pageWidth, int y, const std::string& text);
int printLineCentred(PaintCanvas& canvas, int pageWidth, int y, const std::string& text);
int printLineRight(PaintCanvas& canvas, int pageWidth, int y, const std::string& text);

// The print logo on top of a receipt: an image file and its size in device units.
// A width of 0 means no logo.
struct ReceiptImage {
    std::filesystem::path path;
    int width = 0;
    int height = 0;
};

// The lines of printfooter.txt that end start lists and lap receipts: every line of the
// file (UTF-8, or CP1251 for old files), line ends removed. Missing file: no lines.
std::vector<std::string> readPrintFooter(const std::filesystem::path& file);

// The running y of one receipt job. The device must have begun its document.
class ReceiptWriter {
public:
    explicit ReceiptWriter(PrintDevice& device);

    PaintCanvas& canvas() { return device_.canvas(); }
    int pageWidth() const { return pageWidth_; }
    int y() const { return y_; }
    void setY(int y) { y_ = y; }
    // Height of " " in the current font.
    int lineHeight();

    // Starts a new page (y = 0) when `height` more units would pass the page bottom.
    // A page that holds nothing yet is never left. Returns false when the device
    // could not start the page.
    bool ensureRoom(int height);
    // One line at y, aligned; y moves down by the line height.
    bool line(const std::string& text, ReceiptAlign align = ReceiptAlign::Left);
    bool centred(const std::string& text) { return line(text, ReceiptAlign::Centre); }
    // Several texts on one line: left edge, centre, right edge (empty texts are skipped).
    bool row(const std::string& left, const std::string& centre, const std::string& right);
    // Moves y down by `lines` line heights (blank space never starts a page by itself:
    // the next line does when it no longer fits).
    void skip(int lines = 1);
    // Draws the image at (0, y) in its own size; y moves below it. No-op for width 0.
    bool image(const ReceiptImage& image);

    // Whether every page break so far succeeded.
    bool ok() const { return ok_; }

private:
    PrintDevice& device_;
    int pageWidth_;
    int pageHeight_;
    int y_ = 0;
    bool ok_ = true;
};

} // namespace velmaro
