#include "ui/link/scoreboard_settings_dialog.h"

#include <cmath>
#include <cstdio>

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/scoreboard_controller.h"
#include "core/platform/numbers.h"

namespace velmaro::ui {

TfScoreboardConfig* fScoreboardConfig = nullptr;

namespace {

QLineEdit* maskEdit(QWidget* parent, const char* name, const char* mask, const char* text) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setInputMask(QString::fromLatin1(mask));
    e->setText(QString::fromLatin1(text));
    return e;
}

std::string trimmed(const QLineEdit* e) { return e->text().trimmed().toStdString(); }

// A number typed in a masked field; nullopt when it does not read.
std::optional<double> fieldNumber(const QLineEdit* e) { return parseDouble(trimmed(e)); }

} // namespace

std::string scoreboardTestText120(long long number, long long timeMs) {
    char head[16], tail[32];
    std::snprintf(head, sizeof head, "%2d ", int(number % 100));
    std::snprintf(tail, sizeof tail, "%d:%02d.%02d", int(timeMs / 60000), int((timeMs % 60000) / 1000),
                  int((timeMs % 1000) / 10));
    return std::string(head) + '\x03' + tail;
}

TfScoreboardConfig::TfScoreboardConfig(ScoreboardSettingsPort& port, QWidget* parent) : QDialog(parent), port_(port) {
    setObjectName("fScoreboardConfig");
    setWindowTitle(QString::fromUtf8("Настройки табло"));
    auto* layout = new QVBoxLayout(this);

    auto* brightness = new QGroupBox(QString::fromUtf8("Яркость"), this);
    auto* bLayout = new QHBoxLayout(brightness);
    tbBrightness = new QSlider(Qt::Horizontal, brightness);
    tbBrightness->setObjectName("tbBrightness");
    tbBrightness->setRange(1, 16);
    tbBrightness->setValue(16);
    tbBrightness->setTickPosition(QSlider::TicksBelow);
    sSpeedButton3 = new QPushButton(QString::fromUtf8("Установить\nяркость"), brightness);
    bLayout->addWidget(tbBrightness, 1);
    bLayout->addWidget(sSpeedButton3);
    layout->addWidget(brightness);

    cbShowDirtyTime = new QCheckBox(QString::fromUtf8("Выводить грязное время"), this);
    cbShowLogo = new QCheckBox(QString::fromUtf8("Показывать лого"), this);
    layout->addWidget(cbShowDirtyTime);
    layout->addWidget(cbShowLogo);

    auto* test = new QGroupBox(QString::fromUtf8("Тест"), this);
    auto* form = new QFormLayout(test);
    sMaskEdit2 = maskEdit(test, "sMaskEdit2", "000;_", " 33");
    sMaskEdit1 = maskEdit(test, "sMaskEdit1", "0.000;_", "0.321");
    eScoreboardTop = maskEdit(test, "eScoreboardTop", "00.000;_", "12.345");
    eScoreboardBottom = maskEdit(test, "eScoreboardBottom", "000.0;_", "123.4");
    form->addRow(QString::fromUtf8("Номер"), sMaskEdit2);
    form->addRow(QString::fromUtf8("Реакция, с"), sMaskEdit1);
    form->addRow(QString::fromUtf8("Время, с"), eScoreboardTop);
    form->addRow(QString::fromUtf8("Скорость"), eScoreboardBottom);
    sSpeedButton2 = new QPushButton(QString::fromUtf8("Вывести"), test);
    form->addRow(sSpeedButton2);
    layout->addWidget(test);

    auto* bottom = new QHBoxLayout;
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    SpeedButton1->setToolTip(QString::fromUtf8("Таймауты в стартовый блок"));
    sSpeedButton1 = new QPushButton(QString::fromUtf8("Закрыть"), this);
    bottom->addWidget(SpeedButton1);
    bottom->addStretch(1);
    bottom->addWidget(sSpeedButton1);
    layout->addLayout(bottom);

    connect(tbBrightness, &QSlider::valueChanged, this, &TfScoreboardConfig::tbBrightnessChange);
    connect(sSpeedButton3, &QPushButton::clicked, this, &TfScoreboardConfig::sSpeedButton3Click);
    connect(sSpeedButton2, &QPushButton::clicked, this, &TfScoreboardConfig::sSpeedButton2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfScoreboardConfig::SpeedButton1Click);
    connect(sSpeedButton1, &QPushButton::clicked, this, &TfScoreboardConfig::sSpeedButton1Click);
    connect(cbShowDirtyTime, &QCheckBox::clicked, this, &TfScoreboardConfig::saveOptions);
    connect(cbShowLogo, &QCheckBox::clicked, this, &TfScoreboardConfig::saveOptions);
}

void TfScoreboardConfig::fillFromSettings(int brightness, bool showLogo, bool showDirtyTime) {
    filling_ = true;
    tbBrightness->setValue(brightness);
    cbShowLogo->setChecked(showLogo);
    cbShowDirtyTime->setChecked(showDirtyTime);
    filling_ = false;
}

void TfScoreboardConfig::applyBrightness() {
    const int p = tbBrightness->value();
    if (TScoreboardController* sb = port_.scoreboard()) {
        sb->setBrightness(p);
    } else {
        port_.sendDisplayBrightness(std::uint16_t(p), 8);
        port_.sendDisplayBrightness(std::uint16_t(p), 9);
    }
    port_.radioSetBrightness(p);
}

void TfScoreboardConfig::tbBrightnessChange() {
    if (filling_) return;
    port_.takeBrightness(tbBrightness->value());
    applyBrightness();
}

void TfScoreboardConfig::sSpeedButton3Click() { applyBrightness(); }

void TfScoreboardConfig::sSpeedButton2Click() {
    const std::optional<double> time = fieldNumber(eScoreboardTop);
    if (TScoreboardController* sb = port_.scoreboard()) {
        if (sb->getType() == 120) {
            const long long number = parseInteger(trimmed(sMaskEdit2)).value_or(0);
            const long long m = static_cast<long long>(std::trunc(time.value_or(0.0) * 1000));
            sb->showText(scoreboardTestText120(number, m), 0, 3, 1, 3, 16);
        } else {
            sb->reset(0);
            const int number = int(parseInteger(trimmed(sMaskEdit2)).value_or(-1));
            const double reaction = fieldNumber(sMaskEdit1).value_or(0.0);
            const double speed = fieldNumber(eScoreboardBottom).value_or(0.0);
            const double t = time.value_or(0.0);
            for (int lane : {1, 2})
                sb->showResult(1, lane, number, int(t * 1000), int(speed * 10), 0, 0, int(reaction * 1000));
            sb->setDisplayState(0, 0);
            sb->setDisplayState(0, 1);
        }
    }
    const std::string top = eScoreboardTop->text().toStdString();
    port_.showTextOnLaneDisplays(top, eScoreboardBottom->text().toStdString(), tbBrightness->value());
    port_.radioShowText(top, 0, 0, 0);
    port_.radioShowText(top, 0, 0, 1);
}

void TfScoreboardConfig::SpeedButton1Click() { port_.requestTimeoutsPush(); }

void TfScoreboardConfig::sSpeedButton1Click() { accept(); }

void TfScoreboardConfig::saveOptions() {
    if (filling_) return;
    port_.saveScoreboardSettings(tbBrightness->value(), cbShowLogo->isChecked(), cbShowDirtyTime->isChecked());
}

void TfScoreboardConfig::done(int result) {
    saveOptions();
    QDialog::done(result);
}

} // namespace velmaro::ui
