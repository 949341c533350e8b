#include "core/drag/receipt_lines.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <fstream>

#include "core/drag/footer_cipher.h"
#include "core/platform/program_folder.h"
#include "core/platform/receipt_layout.h"

namespace velmaro {
namespace {

std::int32_t le32(const unsigned char* p) {
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                     std::uint32_t(p[3]) << 24);
}

} // namespace

int printLineLeft(PrintDevice& printer, int y, const std::string& text) {
    return printLine(printer.canvas(), printer.pageWidth(), y, text, ReceiptAlign::Left);
}

int printLineCentred(PrintDevice& printer, int y, const std::string& text) {
    return printLine(printer.canvas(), printer.pageWidth(), y, text, ReceiptAlign::Centre);
}

int printLineRight(PrintDevice& printer, int y, const std::string& text) {
    return printLine(printer.canvas(), printer.pageWidth(), y, text, ReceiptAlign::Right);
}

ReceiptLogo readReceiptLogo(const std::filesystem::path& bmpFile) {
    std::ifstream in(bmpFile, std::ios::binary);
    std::array<unsigned char, 26> header{};
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) return {};
    if (header[0] != 'B' || header[1] != 'M') return {};
    // BITMAPINFOHEADER and later: 32-bit width and height at 18 and 22 (height negative
    // for a top-down bitmap); the old core header has 16-bit values there.
    const std::int32_t infoSize = le32(&header[14]);
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (infoSize == 12) {
        width = header[18] | header[19] << 8;
        height = header[20] | header[21] << 8;
    } else {
        width = le32(&header[18]);
        height = le32(&header[22]);
    }
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return {};
    return ReceiptLogo{bmpFile, width, height};
}

ReceiptLogo programReceiptLogo() { return readReceiptLogo(programFolder() / "printlogo.bmp"); }

int printReceiptLogo(PrintDevice& printer, const ReceiptLogo& logo) {
    if (logo.width < 1) return 0;
    if (!printer.canvas().drawImage(PaintRect{0, 0, logo.width, logo.height}, logo.file.string())) return 0;
    return logo.height;
}

Status beginReceipt(PrintDevice& printer, const char* title, const ReceiptHeading& heading, int& y) {
    printer.setLandscape(false);
    if (Status st = printer.beginDoc(title); !st.ok()) return st;
    y = printReceiptLogo(printer, heading.logo);
    printer.canvas().setFontSize(11);
    y += printLineCentred(printer, y, heading.eventName);
    y += printLineCentred(printer, y, heading.date);
    y += printer.canvas().textHeight(" ");
    return Status::Ok();
}

int printReceiptFooter(PrintDevice& printer, int y, bool closingBlank) {
    printer.canvas().setFontSize(8);
    for (const std::string& line : footerLines()) y += printLineCentred(printer, y, line);
    if (closingBlank) y += printLineCentred(printer, y, " ");
    return y;
}

std::string receiptDateToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &local);
    return text;
}

} // namespace velmaro
