#pragma once
// The lap receipt of the single-lane modes: one lap of a racer on the receipt printer,
// with the event, the date, the racer and three times (lap without penalty, penalty, lap
// with penalty), the lines of printfooter.txt and the two footer lines, of one lap
// timing's events. Main thread only.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/drag/receipt_lines.h"
#include "core/drag/timeslip.h"

namespace velmaro {
class Console;
class LapTiming;
} // namespace velmaro

namespace velmaro::ui {

struct LapReceiptTexts {
    std::string className;       // empty when the class is not registered
    std::string number;          // "№ " + racer number
    std::string name, car, city; // each empty when the racer is not registered
    std::string time, penalty, total;
    bool operator==(const LapReceiptTexts&) const = default;
};

// The texts of the first LAP event at `index` or after it in the lap events; nothing
// when there is no lap event list, the index lies outside it or no LAP follows.
std::optional<LapReceiptTexts> lapReceiptTexts(const LapTiming& timing, int index);

// Lays one lap receipt out on `printer`; `footerLines` are the lines of printfooter.txt
// (nullopt when the file is missing).
Status printLapReceiptDocument(PrintDevice& printer, const ReceiptHeading& heading, const LapReceiptTexts& texts,
                               const std::optional<std::vector<std::string>>& footerLines);

// The print command: prints the lap receipt of the event at `index` (nothing when
// lapReceiptTexts has none); printfooter.txt is read from `footerFile`.
Status printLapReceipt(const LapTiming& lap, int index, const ReceiptHeading& heading, ReceiptPrinterSource& printers,
                       const std::filesystem::path& footerFile);

// sbPrintBoth in the single-lane modes (1, 4, 6), with the lap grid's selected row - 1;
// the heading and the PDF fallback are the console's.
void printLapReceiptCommand(const Console& console, const LapTiming& lap, int index);

} // namespace velmaro::ui
