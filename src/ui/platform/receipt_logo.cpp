#include "ui/platform/receipt_logo.h"

#include <QImageReader>

#include "core/platform/program_folder.h"

namespace velmaro {

ReceiptImage receiptLogo() {
    ReceiptImage logo;
    logo.path = programFolder() / "printlogo.bmp";
    const QSize size = QImageReader(QString::fromStdString(logo.path.string())).size();
    if (size.isValid()) {
        logo.width = size.width();
        logo.height = size.height();
    }
    return logo;
}

} // namespace velmaro
