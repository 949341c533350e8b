#include "ui/link/channel_scan_dialog.h"

namespace velmaro::ui {

TscanChannelsForm* scanChannelsForm = nullptr;

TscanChannelsForm::TscanChannelsForm(QWidget* parent) : QWidget(parent) {
    setObjectName("scanChannelsForm");
    setWindowTitle(QString::fromUtf8("Channels"));
}

} // namespace velmaro::ui
