#pragma once
// Lines of a narrow receipt (timeslip, start list, lap receipt) on a print device: a
// text at the left edge, centred or at the right edge of the page, the print logo at the
// top and the two footer lines at the end.
//
// The three line printers draw one text at height y in the canvas's current font and
// return the height of " " in that font; they neither move y nor change the font, the
// caller adds the returned height to its own y. A text wider than the page starts at
// x = 0. They are used between beginDoc and endDoc.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/platform/paint_canvas.h"

namespace velmaro {

class Operator;

int printLineLeft(PrintDevice& printer, int y, const std::string& text);
int printLineCentred(PrintDevice& printer, int y, const std::string& text);
int printLineRight(PrintDevice& printer, int y, const std::string& text);

// The print logo (printlogo.bmp of the program folder) with its size in pixels; drawn at
// the top left corner of a receipt in printer dots, one dot per pixel.
struct ReceiptLogo {
    std::filesystem::path file;
    int width = 0; // 0 = no logo
    int height = 0;
    bool operator==(const ReceiptLogo&) const = default;
};

// The widest and the highest logo drawn, in pixels.
constexpr int kMaxReceiptLogoSide = 4096;

// Reads the size from the header of a BMP file; no logo when the file is missing or is
// no BMP. A height of INT_MIN (no size), a side beyond kMaxReceiptLogoSide and a file
// shorter than its header says are refused too, each with a line in the log window.
ReceiptLogo readReceiptLogo(const std::filesystem::path& bmpFile, Operator& op);
// programFolder()/printlogo.bmp.
ReceiptLogo programReceiptLogo(Operator& op);

// Draws the logo at (0, 0) and returns the y below it; 0 without a logo.
int printReceiptLogo(PrintDevice& printer, const ReceiptLogo& logo);

// Everything printed above the body of a receipt.
struct ReceiptHeading {
    std::string eventName;
    std::string date; // "dd.mm.yyyy"
    ReceiptLogo logo;
};

// The head of every receipt, in portrait: opens the document, draws the logo, sets the
// font to 11 points and prints the event name and the date centred and a blank line.
// Sets `y` below them; the document stays open.
Status beginReceipt(PrintDevice& printer, const char* title, const ReceiptHeading& heading, int& y);

// The end of every receipt: the font becomes 8 points, then the two deciphered footer
// lines, centred, and with `closingBlank` a centred " " (the timeslip's last line).
// Returns the y below them.
int printReceiptFooter(PrintDevice& printer, int y, bool closingBlank);

// Opens the receipt printer for one document (the first "POS" printer, else the default
// one, else a PDF stand-in); null when none can be opened.
class ReceiptPrinterSource {
public:
    ReceiptPrinterSource() = default;
    ReceiptPrinterSource(const ReceiptPrinterSource&) = delete;
    ReceiptPrinterSource& operator=(const ReceiptPrinterSource&) = delete;
    virtual ~ReceiptPrinterSource() = default;
    virtual std::unique_ptr<PrintDevice> openReceiptPrinter() = 0;
    // After a document was printed on `printer` (a PDF stand-in tells the official where it went).
    virtual void printed(PrintDevice& printer) = 0;
};

// Today's local date as "dd.mm.yyyy", the date line of the receipts.
std::string receiptDateToday();

} // namespace velmaro
