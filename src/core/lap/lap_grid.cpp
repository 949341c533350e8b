// The lap grid's colours, on-course list texts, prompts and commands.
#include "core/lap/lap_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/app/scoreboard_controller.h"
#include "core/lap/lap_timing.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"

namespace velmaro {

namespace {
constexpr const char* kLapEventGoneText = "Отметка удалена, пока был открыт вопрос.\nКоманда не выполнена.";
} // namespace

LapCellFill lapGridCellFill(const LapTiming& lap, int row, int column) {
    const TRaceItem* e = lap.getRaceItem(row - 1);
    if (!e) return LapCellFill::Window;
    if (column == 6 && e->penalty != 0 && lap.raceItemCellText(row - 1, 6) != "0.00") return LapCellFill::Penalty;
    switch (e->kind) {
    case TRaceItem::LAP: return LapCellFill::Lap;
    case TRaceItem::STLIN: return e->fromStart < 0 ? LapCellFill::EarlyStart : LapCellFill::Window;
    case TRaceItem::FAIL: return LapCellFill::Fail;
    default: return LapCellFill::Window;
    }
}

int onCourseCount(const LapTiming& lap) {
    return timingModeFrom(lap.host().raceMode()) == TimingMode::StartFinish ? lap.finishQueueCount() : 0;
}

std::string onCourseCaption(const LapTiming& lap, int row) {
    if (row < 0 || row >= onCourseCount(lap)) return {};
    return std::to_string(row + 1);
}

std::string onCourseText(const LapTiming& lap, int row) {
    if (row < 0 || row >= onCourseCount(lap)) return {};
    const TRaceItem& s = *lap.finishQueue()[static_cast<std::size_t>(row)];
    std::string text = std::to_string(s.racer);
    if (LapRegistry* reg = lap.host().registry())
        if (std::optional<LapRacerInfo> racer = reg->findRacer(s.racer); racer && !racer->name.empty())
            text += " - " + racer->name;
    return text;
}

std::optional<int> racerNumberAnswer(std::string_view text) {
    std::optional<long long> n = parseIntegerInRange(text, -2147483647LL - 1, 2147483647LL);
    if (!n) return std::nullopt;
    return static_cast<int>(*n);
}

std::int32_t penaltyAnswerMs(std::string_view text) {
    // Rounded to the millisecond: "1.234" is 1234 ms, although 1.234 has no exact binary form.
    const double ms = std::round(parseOperatorNumber(text).value_or(0.0) * 1000.0);
    if (!(ms > -2147483648.0 && ms < 2147483648.0)) return 0;
    return static_cast<std::int32_t>(ms);
}

std::string lapScoreboardText120(std::uint32_t racer, std::int32_t lapMs) {
    std::int64_t t = static_cast<std::int64_t>(lapMs) + 5;
    if (t < 0) t = 0;
    if (t >= 600000) t = 599990;
    char number[16];
    std::snprintf(number, sizeof number, "%2d ", static_cast<int>(racer % 100));
    char time[32];
    std::snprintf(time, sizeof time, "%d:%02d.%02d", static_cast<int>(t / 60000), static_cast<int>(t % 60000 / 1000),
                  static_cast<int>(t % 1000 / 10));
    return std::string(number) + '\x03' + time;
}

void sendLapRowToScoreboard(const LapTiming& lap, TScoreboardController& sb, int row, bool dirtyTime) {
    const TRaceItem* e = row > 0 ? lap.getRaceItem(row - 1) : nullptr;
    if (!e) return;
    const int type = sb.getType();
    if (type == 120) {
        sb.showText(lapScoreboardText120(e->racer, e->lap), 0, 3, 1, 3, 16);
        return;
    }
    if (e->kind != TRaceItem::LAP) return;
    sb.reset(0);
    sb.showResult(1, 1, static_cast<int>(e->racer), dirtyTime ? e->fromStart : e->lap, 0, 0, 0, 0);
    if (type == 122) return;
    if (type == 132)
        sb.setDisplayState(0, -1);
    else
        sb.setDisplayState(1, 1);
}

// ---- commands

bool LapGridCommands::rowValid(int row) const { return row > 0 && lap_.getRaceItem(row - 1) != nullptr; }

bool LapGridCommands::canRetire() const {
    const std::optional<TimingMode> mode = timingModeFrom(lap_.host().raceMode());
    if (mode == TimingMode::LapOneGate) return lap_.courseQueueCount() > 0;
    if (mode == TimingMode::StartFinish) return lap_.finishQueueCount() > 0;
    return false;
}

std::optional<LapGridCommands::EventKey> LapGridCommands::keyOfRow(int row) const {
    const TRaceItem* item = row > 0 ? lap_.getRaceItem(row - 1) : nullptr;
    if (!item) return std::nullopt;
    return EventKey{item->kind, item->time};
}

int LapGridCommands::rowOfKey(const EventKey& key, const char* caption) const {
    if (const TRaceItemList* list = lap_.raceItems().get())
        for (std::size_t i = 0; i < list->size(); ++i)
            if ((*list)[i]->kind == key.kind && (*list)[i]->time == key.time) return static_cast<int>(i) + 1;
    lap_.op().message(kLapEventGoneText, caption, Operator::Icon::Warning);
    return 0;
}

void LapGridCommands::setNumber(int row) {
    const std::optional<EventKey> key = keyOfRow(row);
    if (!key) return;
    port_.setEditingNumber(true);
    std::string text;
    const bool ok = lap_.op().inputQuery("Задать номер", "Номер", text);
    port_.setEditingNumber(false);
    if (!ok) return;
    const std::optional<int> number = racerNumberAnswer(text);
    if (!number) return;
    if (const int now = rowOfKey(*key, "Задать номер")) lap_.setRaceItemRacer(now - 1, *number, -2);
}

void LapGridCommands::setPenalty(int row) {
    const std::optional<EventKey> key = keyOfRow(row);
    if (!key) return;
    std::string text;
    if (!lap_.op().inputQuery("Задать штраф", "Штраф, с", text)) return;
    if (const int now = rowOfKey(*key, "Задать штраф")) lap_.setRaceItemPenalty(now - 1, penaltyAnswerMs(text));
}

void LapGridCommands::setPenaltyFromDoubleClick(int row) {
    port_.setEditingNumber(true);
    setPenalty(row);
    port_.setEditingNumber(false);
}

void LapGridCommands::setKind(int row, std::uint32_t kind) {
    if (rowValid(row)) lap_.setRaceItemKind(row - 1, kind);
}

void LapGridCommands::togglePenaltyLap(int row) {
    if (rowValid(row)) lap_.togglePenaltyLap(row - 1);
}

void LapGridCommands::deleteRows(int firstRow, int lastRow) {
    const std::optional<EventKey> first = keyOfRow(firstRow);
    if (!first) return;
    const int count = static_cast<int>(lap_.raceItems()->size());
    const std::optional<EventKey> last = keyOfRow(std::clamp(lastRow, firstRow, count));
    if (!last) return;
    if (!lap_.op().askYesNo("Точно удалить?", "")) return;
    const int from = rowOfKey(*first, "Удаление");
    const int to = from ? rowOfKey(*last, "Удаление") : 0;
    if (from && to) lap_.deleteRaceItems(from, std::max(from, to)); // grid rows
}

void LapGridCommands::retire() { lap_.retireRacer(-1); }

void LapGridCommands::retireListed(int listRow) {
    if (listRow >= 0 && listRow < onCourseCount(lap_)) lap_.retireRacer(listRow);
}

void LapGridCommands::sendToScoreboard(int row) {
    LapHost& host = lap_.host();
    if (TScoreboardController* sb = host.scoreboard()) sendLapRowToScoreboard(lap_, *sb, row, host.showDirtyTime());
}

void LapGridCommands::undelete() {
    if (isSingleLaneMode(lap_.host().raceMode()))
        lap_.undeleteRaceItems();
    else
        port_.undeleteRuns();
}

void LapGridCommands::deleteAll() {
    if (!lap_.op().askYesNo("Точно удалить?", "")) return;
    if (isSingleLaneMode(lap_.host().raceMode()))
        lap_.deleteRaceItems(-1, -1);
    else
        port_.deleteAllRuns();
}

} // namespace velmaro
