#include "core/drag/timeslip.h"

#include <algorithm>
#include <limits>

#include "core/drag/drag_host.h"
#include "core/drag/drag_lookup.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/registration/registry.h"

namespace velmaro {

std::optional<int> timeslipRunIndex(int which, int selectedRun, std::size_t runCount) {
    long long index = which == TIMESLIP_LAST_RUN_BOTH ? -1 : selectedRun;
    if (index == -1) index = static_cast<long long>(runCount) - 1;
    if (index < 0 || index >= static_cast<long long>(runCount)) return std::nullopt;
    return static_cast<int>(index);
}

TimeslipLane timeslipLane(const TDragRaceItem& run, int lane, bool proStartSignal) {
    TimeslipLane t;
    const int32_t rt = run.rt[lane];
    const int32_t noStart = -(proStartSignal ? PRO_LAUNCH_WINDOW_MS : COMMON_LAUNCH_WINDOW_MS);
    t.speed = formatSpeed(static_cast<float>(run.speed[lane]));
    t.foulMark = rt < 0 ? ": Foul!" : ":";
    if (rt == noStart) return t;
    t.rt = formatLaneTime(rt);
    t.sixtyFeet = formatLaneTime(run.sixtyFeet[lane]);
    t.et = formatLaneTime(run.et[lane]);
    // Elapsed plus reaction time of the two fields (not the run's stored dirty time).
    const long long sum = static_cast<long long>(run.et[lane]) + rt;
    t.etPlusRt = formatLaneTime(static_cast<int32_t>(
        std::clamp<long long>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
    return t;
}

TimeslipTexts timeslipTexts(const TRegistry& registry, const TDragRaceItem& run, int which, bool proStartSignal) {
    TimeslipTexts t;
    if (which != TIMESLIP_LEFT && which != TIMESLIP_RIGHT) {
        t.bothLanes = true;
        t.heat = "Heat #" + std::to_string(run.runId);
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            t.lanes[lane] = timeslipLane(run, lane, proStartSignal);
            t.lanes[lane].number = std::to_string(run.racer[lane]);
        }
        t.winner = run.winner;
        return t;
    }
    const int lane = which;
    t.bothLanes = false;
    t.lanes[0] = timeslipLane(run, lane, proStartSignal);
    t.lanes[0].number = "# " + std::to_string(run.racer[lane]);
    if (const TClassItem* cls = lookupClass(registry, run.classId[lane])) t.className = cls->name;
    if (const TRacerItem* racer = lookupRacer(registry, run.racer[lane])) {
        t.name = racer->name;
        t.car = racer->carModel;
        t.city = racer->city;
    }
    t.laneText = lane == LANE_LEFT ? "Left lane" : "Right lane";
    return t;
}

namespace {

int printBothLanes(PrintDevice& printer, int y, const TimeslipTexts& t) {
    y += printLineCentred(printer, y, t.heat);
    printLineCentred(printer, y, "Racer num");
    printLineLeft(printer, y, t.lanes[0].number);
    y += printLineRight(printer, y, t.lanes[1].number);
    y += printLineCentred(printer, y, " ");
    const auto row = [&](const char* label, std::string TimeslipLane::*field) {
        printLineCentred(printer, y, label);
        printLineLeft(printer, y, t.lanes[0].*field);
        y += printLineRight(printer, y, t.lanes[1].*field);
    };
    row("RT", &TimeslipLane::rt);
    row("60FT", &TimeslipLane::sixtyFeet);
    row("SPD", &TimeslipLane::speed);
    row("ET", &TimeslipLane::et);
    row("ET+RT", &TimeslipLane::etPlusRt);
    if (t.winner == 0 || t.winner == 1) {
        y += printLineLeft(printer, y, " ");
        y += t.winner == 0 ? printLineLeft(printer, y, "Winner!") : printLineRight(printer, y, "Winner!");
    }
    return y;
}

int printOneLane(PrintDevice& printer, int y, const TimeslipTexts& t) {
    const TimeslipLane& lane = t.lanes[0];
    if (!t.className.empty()) y += printLineCentred(printer, y, t.className);
    y += printLineCentred(printer, y, lane.number);
    for (const std::string* text : {&t.name, &t.car, &t.city})
        if (!text->empty()) y += printLineCentred(printer, y, *text);
    y += printer.canvas().textHeight(" ");
    y += printLineCentred(printer, y, t.laneText);
    const int colon = printer.canvas().textWidth("SPEED ");
    const auto row = [&](const char* label, const std::string& colonText, const std::string& value) {
        printLineLeft(printer, y, label);
        printer.canvas().textOut(colon, y, colonText);
        y += printLineRight(printer, y, value);
    };
    row("RT", lane.foulMark, lane.rt);
    row("60FT", ":", lane.sixtyFeet);
    row("SPEED", ":", lane.speed);
    row("ET", ":", lane.et);
    row("ET+RT", ":", lane.etPlusRt);
    return y;
}

} // namespace

Status printTimeslipDocument(PrintDevice& printer, const ReceiptHeading& heading, const TimeslipTexts& texts) {
    int y = 0;
    if (Status st = beginReceipt(printer, "Timeslip", heading, y); !st.ok()) return st;
    PaintCanvas& canvas = printer.canvas();
    y = texts.bothLanes ? printBothLanes(printer, y, texts) : printOneLane(printer, y, texts);
    y += 3 * canvas.textHeight(" ");
    printReceiptFooter(printer, y, true);
    return printer.endDoc();
}

Status printTimeslip(const DragRuns& runs, int which, const ReceiptHeading& heading, ReceiptPrinterSource& printers) {
    const std::optional<int> index = timeslipRunIndex(which, runs.selectedRun(), runs.dragRuns().size());
    if (!index) return Status::Ok();
    const TDragRaceItem& run = runs.dragRuns()[static_cast<std::size_t>(*index)];
    if ((which == TIMESLIP_LEFT || which == TIMESLIP_RIGHT) && run.racer[which] == 0) return Status::Ok();
    const TimeslipTexts texts = timeslipTexts(runs.host().registry(), run, which, runs.host().proStartSignal());
    const std::unique_ptr<PrintDevice> printer = printers.openReceiptPrinter();
    if (!printer) return Status::Error("Принтер не найден");
    Status st = printTimeslipDocument(*printer, heading, texts);
    if (st.ok()) printers.printed(*printer);
    return st;
}

} // namespace velmaro
