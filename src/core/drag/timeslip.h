#pragma once
// The timeslip: the short receipt a racer takes away after a two-lane run, in one of two
// forms. The both-lanes form shows the heat, both racer numbers, both lanes' figures in
// two columns and the winner; the one-lane form shows the lane's class, racer, lane and
// figures. Texts are built from the run and the registry, then laid out on a receipt
// printer (core/drag/receipt_lines.h). Main thread only.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/drag/drag_run.h"
#include "core/drag/receipt_lines.h"
#include "core/platform/paint_canvas.h"
#include "core/platform/status.h"

namespace velmaro {

class DragRuns;  // core/drag/drag_runs.h
class TRegistry; // core/registration/registry.h

// What a timeslip shows (`which` of the print commands).
inline constexpr int TIMESLIP_LAST_RUN_BOTH = -2; // both lanes of the last run, selection ignored
inline constexpr int TIMESLIP_BOTH = -1;          // both lanes of the selected run (else the last)
inline constexpr int TIMESLIP_LEFT = 0;           // left lane of the selected run (else the last)
inline constexpr int TIMESLIP_RIGHT = 1;          // right lane of the selected run (else the last)

// The run a timeslip of `which` prints: the selected run, the last run when none is
// selected or for TIMESLIP_LAST_RUN_BOTH. Nothing when there is no run or the selected
// index lies outside the list.
std::optional<int> timeslipRunIndex(int which, int selectedRun, std::size_t runCount);

// The figure texts of one lane.
struct TimeslipLane {
    std::string number; // both lanes: the number ("0" for an empty lane); one lane: "# " + number
    std::string rt, sixtyFeet, speed, et, etPlusRt;
    std::string foulMark; // ": Foul!" when the reaction time is below 0, else ":"
    bool operator==(const TimeslipLane&) const = default;
};

struct TimeslipTexts {
    bool bothLanes = true;
    std::string heat;                  // both lanes: "Heat #" + run id
    std::array<TimeslipLane, 2> lanes; // one lane: only lanes[0] is used
    int winner = -1;                   // both lanes: 0 left, 1 right, -1 none
    // One lane: class, racer name, car, city (each empty when not known) and lane text.
    std::string className, name, car, city, laneText;
    bool operator==(const TimeslipTexts&) const = default;
};

// The figures of one lane. A lane whose reaction time is minus the launch window of the
// start-light setting did not start: its times stay empty, its speed still shows.
TimeslipLane timeslipLane(const TDragRaceItem& run, int lane, bool proStartSignal);
// Both lanes (TIMESLIP_BOTH) or one lane (TIMESLIP_LEFT, TIMESLIP_RIGHT) of a run.
TimeslipTexts timeslipTexts(const TRegistry& registry, const TDragRaceItem& run, int which, bool proStartSignal);

// Lays one timeslip out on `printer` as one document (portrait).
Status printTimeslipDocument(PrintDevice& printer, const ReceiptHeading& heading, const TimeslipTexts& texts);

// The print command: chooses the run from the runs and their selected run, builds its texts
// and prints one timeslip. Nothing is printed without a run, for a selection outside the
// run list, or for one lane without a racer. A device error is returned.
Status printTimeslip(const DragRuns& runs, int which, const ReceiptHeading& heading, ReceiptPrinterSource& printers);

} // namespace velmaro
