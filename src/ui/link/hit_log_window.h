#pragma once
// The hit log window "Журнал срабатываний", shown by the main menu "Срабатывания": every
// hit of the event (the intake's hit list) in a grid, one row per record. The operator feeds the
// selected hit into the timing again ("Вкл. в расчет" or Enter) through the hit intake,
// and replays logged hits onto the node network as nodes would send them (RUN: from the
// selected row to the next start signal; STEP: the selected row).
// Created once at start-up in the fixed window order; lives until the program ends.
// Main thread only.
#include <QAbstractTableModel>
#include <QWidget>

#include <cstdint>
#include <optional>

#include "core/intake/hit_replay.h"

class QPushButton;
class QTableView;
class QToolButton;

namespace velmaro::ui {

// What the window needs of the rest of the console.
class HitLogPort : public HitReplaySender {
public:
    // The main window's Block ST button up, without running its click handler.
    virtual void releaseBlockSt() = 0;
    // The replay targets of the settings.
    virtual HitReplayTargets replayTargets() const = 0;
};

// The intake's hit list as a table: row r is record r.
class HitLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    HitLogModel(const HitIntake& intake, QObject* parent) : QAbstractTableModel(parent), intake_(intake) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The list changed (records added, replaced or marked): every row is read again.
    void reload();

private:
    const HitIntake& intake_;
};

class THitLog : public QWidget {
    Q_OBJECT
public:
    // `intake` takes the hits fed again and keeps the list shown; it outlives the window.
    THitLog(HitLogPort& port, HitIntake& intake, QWidget* parent = nullptr);

    // ---- entry points of the console
    // The hit intake's hook on every change of its hit list (record count given): the rows
    // follow the list and the selected row stays where it was.
    void hitListChanged(std::size_t recordCount);
    // Selects the row of the hit with that node time (seconds x 1000 + ms); with several,
    // the last; a time no record has changes nothing (the drag grid's double click).
    void selectHitByTime(std::uint64_t timeMs);

    // ---- the window's own controls
    void Button1Click();      // "Вкл. в расчет": feeds the selected hit (logged, no second record)
    void enterPressed();      // Enter: feeds the selected hit (not logged), then the next row
    void SpeedButton1Click(); // RUN
    void SpeedButton2Click(); // STEP

    // The selected record, -1 when none.
    int currentRecord() const;
    void selectRecord(int index);

    QTableView* grid() const { return mHitLog; }
    HitLogModel& model() { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void feedCurrent(int source);
    void moveDown(int from);
    // Reads the list again and selects `hit` (by node, signal and time) when it is still
    // there, else the row `fallbackRow` (clamped to the list).
    void reloadKeeping(std::optional<THitRecord> hit, int fallbackRow);

    HitLogPort& port_;
    HitIntake& intake_;
    HitLogModel model_;
    QTableView* mHitLog = nullptr;
    QPushButton* Button1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    std::optional<THitRecord> selectedHit_; // the hit of the selected row, kept across list changes
    bool reloading_ = false;
};

extern THitLog* HitLog;

} // namespace velmaro::ui
