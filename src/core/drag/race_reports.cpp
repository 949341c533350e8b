#include "core/drag/race_reports.h"

#include <cstdio>
#include <cstdlib>

#include "core/app/console.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_lookup.h"
#include "core/drag/drag_runs.h"
#include "core/platform/csv.h"
#include "core/platform/document_opener.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

// The lane's class for the reports: a racer entered in exactly one class runs in it.
int32_t laneClassId(const TDragRaceItem& run, int lane, const TRacerItem& racer) {
    return racer.classIds.size() == 1 ? racer.classIds.front() : run.classId[lane];
}

std::string laneText(const TRegistry& registry, const TDragRaceItem& run, int lane, bool emptyBrackets) {
    std::string text = laneRacerDescription(registry, run, lane);
    const std::string cls = laneReportClassName(registry, run, lane);
    if (emptyBrackets || !cls.empty()) text += " (" + cls + ")";
    return text;
}

} // namespace

std::string laneRacerDescription(const TRegistry& registry, const TDragRaceItem& run, int lane) {
    const int32_t number = run.racer[lane];
    if (number == 0) return {};
    const TRacerItem* racer = lookupRacer(registry, number);
    if (!racer) return std::to_string(number);
    std::string text = std::to_string(number) + " - " + racer->name + ", " + racer->carModel + ", " + racer->city;
    if (racer->classIds.size() == 1) text += " (" + run.note[lane] + ")";
    return text;
}

std::string laneReportClassName(const TRegistry& registry, const TDragRaceItem& run, int lane) {
    const TRacerItem* racer = lookupRacer(registry, run.racer[lane]);
    if (!racer) return {};
    const TClassItem* cls = lookupClass(registry, laneClassId(run, lane, *racer));
    return cls ? cls->name : std::string();
}

std::string formatReportTime(long long ms) {
    const char* sign = ms < 0 ? "-" : "";
    const unsigned long long mag = static_cast<unsigned long long>(std::llabs(ms));
    char text[48];
    std::snprintf(text, sizeof text, "%s%llu:%02llu.%03llu", sign, mag / 60000, mag / 1000 % 60, mag % 1000);
    return text;
}

ReportLines raceLogLines(const TRegistry& registry, const std::vector<TDragRaceItem>& runs) {
    ReportLines lines;
    for (const TDragRaceItem& run : runs) {
        lines.push_back({laneText(registry, run, LANE_LEFT, false), std::to_string(run.runId),
                         laneText(registry, run, LANE_RIGHT, false)});
        lines.push_back({"START  " + formatClockTime(run.startTime)});
        lines.push_back({formatLaneTime(run.rt[0]), "RT", formatLaneTime(run.rt[1])});
        lines.push_back({formatLaneTime(run.sixtyFeet[0]), "60ft", formatLaneTime(run.sixtyFeet[1])});
        lines.push_back(
            {formatSpeed(static_cast<float>(run.speed[0])), "SPD", formatSpeed(static_cast<float>(run.speed[1]))});
        lines.push_back({formatLaneTime(run.et[0]), "ET", formatLaneTime(run.et[1])});
    }
    return lines;
}

ReportLines lapReportLines(const TRegistry& registry, const std::vector<TDragRaceItem>& runs) {
    ReportLines lines;
    for (const TDragRaceItem& run : runs) {
        std::array<std::string, 2> start, lap1, lap2, attempt;
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            const std::vector<TLineHit>& hits = run.hits[lane];
            if (!hits.empty() && hits[0].type == HIT_TYPE_RT) start[lane] = formatClockTime(hits[0].time);
            bool lapMarked = false;
            uint64_t lapMark = 0;
            if (hits.size() > 1 && hits[1].type == HIT_TYPE_PLAP) {
                lap1[lane] = formatReportTime(hits[1].fromLaunch);
                lapMark = hits[1].time;
                lapMarked = true;
            }
            if (hits.size() > 2 && hits[2].type == HIT_TYPE_ET) {
                // The second lap needs the first lap's passage to count from.
                if (lapMarked) lap2[lane] = formatReportTime(timeDiff32(hits[2].time, lapMark));
                attempt[lane] = formatReportTime(run.et[lane]);
            }
        }
        lines.push_back({"Пилот", laneText(registry, run, LANE_LEFT, true), laneText(registry, run, LANE_RIGHT, true)});
        lines.push_back({"Старт", start[0], start[1]});
        lines.push_back({"Круг 1", lap1[0], lap1[1]});
        lines.push_back({"Круг 2", lap2[0], lap2[1]});
        lines.push_back({"Время попытки", attempt[0], attempt[1]});
        lines.push_back({});
    }
    return lines;
}

std::string reportCsv(const ReportLines& lines) {
    // The typed texts (names, car models, cities, class names) only ever follow the racer's
    // number in a lane's cell, so no cell begins with them and none can run as a formula.
    std::string text;
    for (const std::vector<std::string>& line : lines) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i > 0) text += ';';
            text += csvField(line[i]);
        }
        text += '\n';
    }
    return text;
}

namespace {

SheetRow sheetRow(const std::vector<std::string>& cells) {
    SheetRow row;
    for (const std::string& text : cells) row.cells.push_back(sheetCellFromText(text));
    return row;
}

Sheet reportSheet(const ReportLines& lines, const std::string& eventName) {
    Sheet sheet;
    sheet.name = eventName;
    sheet.columnCount = 3;
    sheet.gridLines = false;
    for (const std::vector<std::string>& line : lines) sheet.rows.push_back(sheetRow(line));
    return sheet;
}

std::uint32_t sessionFill(int32_t runMode) {
    if (runMode == RUN_MODE_FINAL) return RACE_LOG_FINAL_FILL;
    if (runMode == RUN_MODE_PRACTICE) return RACE_LOG_PRACTICE_FILL;
    return RACE_LOG_QUALIFICATION_FILL;
}

} // namespace

Sheet raceLogSheet(const TRegistry& registry, const std::vector<TDragRaceItem>& runs, const std::string& eventName) {
    Sheet sheet = reportSheet(raceLogLines(registry, runs), eventName);
    // Each run is a block of six rows, framed, filled with its session's colour; its START
    // row merged and centred; the racer cells coloured by the winner.
    sheet.columnAlign = {Sheet::Align::Left, Sheet::Align::Centre, Sheet::Align::Right};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TDragRaceItem& run = runs[i];
        for (std::size_t r = 6 * i; r < 6 * i + 6; ++r) sheet.rows[r].fill = sessionFill(run.runMode);
        sheet.outlinedBlocks.push_back({6 * i, 6 * i + 5});
        sheet.rows[6 * i + 1].merged = true;
        SheetRow& racers = sheet.rows[6 * i];
        if (run.winner == 0 || run.winner == 1) {
            racers.cells[0].fill = run.winner == 0 ? RACE_LOG_WINNER_FILL : RACE_LOG_LOSER_FILL;
            racers.cells[2].fill = run.winner == 1 ? RACE_LOG_WINNER_FILL : RACE_LOG_LOSER_FILL;
        }
    }
    return sheet;
}

Sheet lapReportSheet(const TRegistry& registry, const std::vector<TDragRaceItem>& runs, const std::string& eventName) {
    return reportSheet(lapReportLines(registry, runs), eventName);
}

Status writeRaceReport(const TRegistry& registry, unsigned mode, const std::vector<TDragRaceItem>& runs,
                       const std::filesystem::path& eventFolder, const std::string& eventName) {
    if (!isTwoLaneNonRollerMode(mode)) return Status::Ok();
    const bool raceLog = timingModeFrom(mode) == TimingMode::DragRacing;
    const std::filesystem::path csv = eventFolder / kReportCsvName;
    const std::string text = reportCsv(raceLog ? raceLogLines(registry, runs) : lapReportLines(registry, runs));
    if (!writeFileAtomic(csv, text).ok()) return Status::Error("Не удалось записать файл " + csv.string());
    const std::filesystem::path book = eventFolder / kReportWorkbookName;
    const Sheet sheet = raceLog ? raceLogSheet(registry, runs, eventName) : lapReportSheet(registry, runs, eventName);
    if (!writeWorkbook(book, sheet).ok()) return Status::Error("Не удалось записать файл " + book.string());
    return Status::Ok();
}

void raceReportCommand(const Console& console, const DragRuns& runs, DocumentOpener& opener, Operator& op) {
    if (!isTwoLaneNonRollerMode(console.raceMode)) return;
    const Status st = writeRaceReport(runs.host().registry(), console.raceMode, runs.dragRuns(), console.eventFolder,
                                      console.eventName);
    if (!st.ok()) {
        op.message(st.message(), "Отчет по парным", Operator::Icon::Error);
        return;
    }
    showExportedFiles(opener, op, {console.eventFolder / kReportCsvName, console.eventFolder / kReportWorkbookName},
                      console.eventFolder / kReportWorkbookName);
}

} // namespace velmaro
