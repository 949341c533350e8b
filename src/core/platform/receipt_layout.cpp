#include "core/platform/receipt_layout.h"

#include "core/platform/files.h"

namespace velmaro {

int receiptX(ReceiptAlign align, int pageWidth, int textWidth) {
    int x = 0;
    if (align == ReceiptAlign::Centre) x = (pageWidth - textWidth) / 2;
    else if (align == ReceiptAlign::Right) x = pageWidth - textWidth;
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
    : m_device(device), m_pageWidth(device.pageWidth()), m_pageHeight(device.pageHeight()) {}

int ReceiptWriter::lineHeight() { return canvas().textHeight(" "); }

bool ReceiptWriter::ensureRoom(int height) {
    if (m_y == 0 || m_y + height <= m_pageHeight) return true;
    if (!m_device.newPage().ok()) {
        m_ok = false;
        return false;
    }
    m_y = 0;
    return true;
}

bool ReceiptWriter::line(const std::string& text, ReceiptAlign align) {
    if (!ensureRoom(lineHeight())) return false;
    m_y += printLine(canvas(), m_pageWidth, m_y, text, align);
    return true;
}

bool ReceiptWriter::row(const std::string& left, const std::string& centre, const std::string& right) {
    const int h = lineHeight();
    if (!ensureRoom(h)) return false;
    if (!left.empty()) printLine(canvas(), m_pageWidth, m_y, left, ReceiptAlign::Left);
    if (!centre.empty()) printLine(canvas(), m_pageWidth, m_y, centre, ReceiptAlign::Centre);
    if (!right.empty()) printLine(canvas(), m_pageWidth, m_y, right, ReceiptAlign::Right);
    m_y += h;
    return true;
}

void ReceiptWriter::skip(int lines) { m_y += lineHeight() * lines; }

bool ReceiptWriter::image(const ReceiptImage& image) {
    if (image.width <= 0 || image.height <= 0) return true;
    if (!ensureRoom(image.height)) return false;
    canvas().drawImage({0, m_y, image.width, m_y + image.height}, image.path.string());
    m_y += image.height;
    return true;
}

} // namespace velmaro
