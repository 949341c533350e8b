#pragma once
// The start list on the receipt printer: the print logo, a ruled table with a bar per
// class and a line per racer of that class (running number, start number, name), the
// lines of printfooter.txt and the two footer lines. The table continues on a new page
// when it reaches the bottom of one, with the header line repeated.
#include <array>
#include <string>
#include <vector>

#include "core/platform/paint_canvas.h"
#include "core/platform/receipt_layout.h"
#include "core/platform/status.h"
#include "core/registration/registry.h"

namespace velmaro {

struct StartListPage {
    ReceiptImage logo;                   // width 0: none
    std::vector<std::string> footerFile; // lines of printfooter.txt (none when missing)
    std::array<std::string, 2> footer;   // the two footer lines (footerLines())
};

// Prints the start list of `reg` on `device` (which must not have begun its document).
// Nothing is printed without racers. Fails when the device does.
Status printStartList(PrintDevice& device, const TRegistry& reg, const StartListPage& page);

} // namespace velmaro
