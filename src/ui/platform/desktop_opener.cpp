#include "ui/platform/desktop_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace velmaro {

bool DesktopOpener::open(const std::filesystem::path& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

} // namespace velmaro
