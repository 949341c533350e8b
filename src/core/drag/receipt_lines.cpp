#include "core/drag/receipt_lines.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <limits>
#include <string>

#include "core/drag/footer_cipher.h"
#include "core/platform/operator.h"
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

ReceiptLogo readReceiptLogo(const std::filesystem::path& bmpFile, Operator& op) {
    std::ifstream in(bmpFile, std::ios::binary);
    // The file header and the first 24 bytes of the info header; a short core header
    // leaves the fields past it 0.
    std::array<unsigned char, 38> header{};
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    if (in.gcount() < 26) return {};
    if (header[0] != 'B' || header[1] != 'M') return {};
    const auto refuse = [&](const std::string& why) {
        op.log("Логотип печати " + bmpFile.string() + " не используется: " + why);
        return ReceiptLogo{};
    };
    // BITMAPINFOHEADER and later: 32-bit width and height at 18 and 22 (height negative
    // for a top-down bitmap), bits per pixel at 28, compression at 30, pixel bytes at 34;
    // the old core header has 16-bit values at 18, 20 and 24.
    const std::uint32_t infoSize = static_cast<std::uint32_t>(le32(&header[14]));
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t pixelBytes = 0;
    if (infoSize == 12) {
        width = header[18] | header[19] << 8;
        height = header[20] | header[21] << 8;
        bitsPerPixel = header[24] | header[25] << 8;
    } else {
        width = le32(&header[18]);
        height = le32(&header[22]);
        bitsPerPixel = header[28] | header[29] << 8;
        compression = static_cast<std::uint32_t>(le32(&header[30]));
        pixelBytes = static_cast<std::uint32_t>(le32(&header[34]));
    }
    if (height == std::numeric_limits<std::int32_t>::min()) return refuse("высота " + std::to_string(height));
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0) return {};
    if (width > kMaxReceiptLogoSide || height > kMaxReceiptLogoSide)
        return refuse("размер " + std::to_string(width) + " x " + std::to_string(height) + " больше " +
                      std::to_string(kMaxReceiptLogoSide) + " x " + std::to_string(kMaxReceiptLogoSide));
    // As long as its header says: the length it gives, the info header, and the pixels
    // from their offset on (uncompressed rows are padded to 4 bytes; a compressed
    // bitmap gives its byte count).
    const std::uint64_t uncompressedRows = (std::uint64_t(width) * bitsPerPixel + 31) / 32 * 4 * std::uint64_t(height);
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6; // RGB, bit fields
    const std::uint64_t claimed =
        std::max({std::uint64_t(static_cast<std::uint32_t>(le32(&header[2]))), 14 + std::uint64_t(infoSize),
                  std::uint64_t(static_cast<std::uint32_t>(le32(&header[10]))) +
                      (uncompressed ? uncompressedRows : pixelBytes)});
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(bmpFile, ec);
    if (ec || size < claimed)
        return refuse("файл короче, чем сказано в заголовке (" + std::to_string(ec ? 0 : size) + " байт из " +
                      std::to_string(claimed) + ")");
    return ReceiptLogo{bmpFile, width, height};
}

ReceiptLogo programReceiptLogo(Operator& op) { return readReceiptLogo(programFolder() / "printlogo.bmp", op); }

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
