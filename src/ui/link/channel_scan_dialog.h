#pragma once
// The channel scan window, shown by the main menu "Каналы". Its scan button and level
// graph come with the timing network dialogs.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QWidget>

namespace velmaro::ui {

class TscanChannelsForm : public QWidget {
    Q_OBJECT
public:
    explicit TscanChannelsForm(QWidget* parent = nullptr);
};

extern TscanChannelsForm* scanChannelsForm;

} // namespace velmaro::ui
