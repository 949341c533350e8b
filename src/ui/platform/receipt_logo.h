#pragma once
// The print logo that heads receipts (start list, timeslip, lap receipt): printlogo.bmp
// of the program folder, drawn in its own pixel size. Width 0 when the file is missing
// or unreadable.
#include "core/platform/receipt_layout.h"

namespace velmaro {

ReceiptImage receiptLogo();

} // namespace velmaro
