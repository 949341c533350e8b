#pragma once
// "Отчет по парным": a report of every run of the open event, written to the event folder
// as semicolon text (lap_double_report.csv) and as a workbook (race_log.xlsx) that is then
// shown in the desktop's spreadsheet application.
//   - drag racing (mode 0): the race log, six lines per run (racers and run id, start
//     clock, RT, 60ft, SPD, ET), the workbook coloured by session and winner;
//   - the two-lane lap modes (2, 3, 5, 8): the lap report, five lines and an empty line
//     per run (racer, start, lap 1, lap 2, attempt time);
//   - any other mode: nothing.
// Both kinds write the same two files, so each use replaces both. Main thread only.
#include <filesystem>
#include <string>
#include <vector>

#include "core/drag/drag_run.h"
#include "core/platform/status.h"
#include "core/platform/workbook.h"

namespace velmaro {

class Console;
class DocumentOpener;
class DragRuns; // core/drag/drag_runs.h
class Operator;
class TRegistry; // core/registration/registry.h

// The lines of a report, each a list of cells; an empty list is an empty line.
using ReportLines = std::vector<std::vector<std::string>>;

// The description of a lane's racer as the run grid shows it: "" for no racer, the number
// alone for an unregistered one, else "N - name, car, city", followed by " (" note ")" when
// the racer is entered in exactly one class.
std::string laneRacerDescription(const TRegistry& registry, const TDragRaceItem& run, int lane);
// The class name of a lane's racer for the reports: empty unless the racer is registered;
// then the class of the lane (the racer's only class when it has exactly one).
std::string laneReportClassName(const TRegistry& registry, const TDragRaceItem& run, int lane);

// "M:SS.mmm" of a non-negative time ("0:09.876", "1:12.345"); a negative one gets a "-".
std::string formatReportTime(long long ms);

ReportLines raceLogLines(const TRegistry& registry, const std::vector<TDragRaceItem>& runs);
ReportLines lapReportLines(const TRegistry& registry, const std::vector<TDragRaceItem>& runs);
// Semicolon text of report lines: fields quoted where needed, "\n" after each line.
std::string reportCsv(const ReportLines& lines);

// The workbook of each report (sheet named after the event).
Sheet raceLogSheet(const TRegistry& registry, const std::vector<TDragRaceItem>& runs, const std::string& eventName);
Sheet lapReportSheet(const TRegistry& registry, const std::vector<TDragRaceItem>& runs, const std::string& eventName);

// Colours of the race log workbook (RGB).
inline constexpr std::uint32_t RACE_LOG_QUALIFICATION_FILL = 0xFFFFFF;
inline constexpr std::uint32_t RACE_LOG_FINAL_FILL = 0xC8C7FF;
inline constexpr std::uint32_t RACE_LOG_PRACTICE_FILL = 0x7FFFD4;
inline constexpr std::uint32_t RACE_LOG_WINNER_FILL = 0xC0FFBD;
inline constexpr std::uint32_t RACE_LOG_LOSER_FILL = 0xFFBDBD;

inline constexpr const char* kReportCsvName = "lap_double_report.csv";
inline constexpr const char* kReportWorkbookName = "race_log.xlsx";

// Writes the report of `mode` for `runs` into `eventFolder`; Ok without writing anything
// for a mode that has no report. An error names the file that could not be written.
Status writeRaceReport(const TRegistry& registry, unsigned mode, const std::vector<TDragRaceItem>& runs,
                       const std::filesystem::path& eventFolder, const std::string& eventName);

// The menu command: the report of the open event's runs (`runs`, `console`), then
// both files named in the log and the workbook opened with `opener` (showExportedFiles). A file that cannot be written stops the command with a
// message to the official naming it.
void raceReportCommand(const Console& console, const DragRuns& runs, DocumentOpener& opener, Operator& op);

} // namespace velmaro
