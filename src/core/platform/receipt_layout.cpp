#include "core/platform/receipt_layout.h"

#include "core/platform/files.h"

namespace velmaro {

int receiptX(ReceiptAlign align, int pageWidth, int textWidth) {
    int x = 0;
    if (align == ReceiptAlign::Centre)
        x = (pageWidth - textWidth) / 2;
    else if (align == ReceiptAlign::Right)
        x = pageWidth - textWidth;
    return x < 0 ? 0 : x;
}

int printLine(PaintCanvas& canvas, int pageWidth, int y, const std::string& text, ReceiptAlign align) {
    const int x = align == ReceiptAlign::Left ? 0 : receiptX(align, pageWidth, canvas.textWidth(text));
    canvas.textOut(x, y, text);
    return canvas.textHeight(" ");
}

int printLineLeft(PaintCanvas& canvas, int pageWidth, int y, const std::string& text) {
    return printLine(canvas, pageWidth, y, text, ReceiptAlign::Left);
}
int printLineCentred(PaintCanvas& canvas, int pageWidth, int y, const std::string& text) {
    return printLine(canvas, pageWidth, y, text, ReceiptAlign::Centre);
}
int printLineRight(PaintCanvas& canvas, int pageWidth, int y, const std::string& text) {
    return printLine(canvas, pageWidth, y, text, ReceiptAlign::Right);
}

std::vector<std::string> readPrintFooter(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    if (!readTextLines(file, lines).ok()) return {};
    return lines;
}

ReceiptWriter::ReceiptWriter(PrintDevice& device)
    : device_(device), pageWidth_(device.pageWidth()), pageHeight_(device.pageHeight()) {}

int ReceiptWriter::lineHeight() { return canvas().textHeight(" "); }

bool ReceiptWriter::ensureRoom(int height) {
    if (y_ == 0 || y_ + height <= pageHeight_) return true;
    if (!device_.newPage().ok()) {
        ok_ = false;
        return false;
    }
    y_ = 0;
    return true;
}

bool ReceiptWriter::line(const std::string& text, ReceiptAlign align) {
    if (!ensureRoom(lineHeight())) return false;
    y_ += printLine(canvas(), pageWidth_, y_, text, align);
    return true;
}

bool ReceiptWriter::row(const std::string& left, const std::string& centre, const std::string& right) {
    const int h = lineHeight();
    if (!ensureRoom(h)) return false;
    if (!left.empty()) printLine(canvas(), pageWidth_, y_, left, ReceiptAlign::Left);
    if (!centre.empty()) printLine(canvas(), pageWidth_, y_, centre, ReceiptAlign::Centre);
    if (!right.empty()) printLine(canvas(), pageWidth_, y_, right, ReceiptAlign::Right);
    y_ += h;
    return true;
}

void ReceiptWriter::skip(int lines) { y_ += lineHeight() * lines; }

bool ReceiptWriter::image(const ReceiptImage& image) {
    if (image.width <= 0 || image.height <= 0) return true;
    if (!ensureRoom(image.height)) return false;
    canvas().drawImage({0, y_, image.width, y_ + image.height}, image.path.string());
    y_ += image.height;
    return true;
}

} // namespace velmaro
