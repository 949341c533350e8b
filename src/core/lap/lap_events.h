#pragma once
// The lap event of the single-lane modes (1 laps through one gate, 4 start and finish
// through two gates, 6 gymkhana), its line in lap_single.txt and the texts made of it.
// The list of an event and everything that works on it belong to LapTiming
// (core/lap/lap_timing.h).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmaro {

// One lap event.
struct TRaceItem {
    // Event kinds (`kind`); any other value read from the file is kept and shown "UNKWN".
    enum Kind : uint32_t {
        LAP = 0,   // a line crossing that ends a lap
        STSIG = 1, // start signal (green light of the start unit)
        STLIN = 2, // first crossing of the start line after a start signal or START
        FRST = 3,  // first crossing after NEXT, with no start signal
        PLAP = 4,  // penalty lap: timed like a lap, no boundary for the next lap
        FAIL = 5,  // retirement of the racer
    };

    uint32_t racer = 0; // start number; 0 = no racer
    uint32_t kind = LAP;
    uint64_t time = 0;           // ms since 1970 on the node clock
    int32_t lap = 0;             // lap time incl. penalty; 0 = none (derived)
    int32_t fromStart = 0;       // time since the start signal incl. penalty; 0 = none (derived)
    int32_t classId = -1;        // -1 = none
    int32_t penalty = 0;         // ms, set by the operator
    int32_t penaltyLapCarry = 0; // working value of the lap results; never stored
    uint8_t current = 0;         // 1 while the racer is on the course (derived)
    uint8_t falseStart = 0;      // always 0

    bool operator==(const TRaceItem&) const = default;
};

using TRaceItemList = std::vector<std::unique_ptr<TRaceItem>>;

// Node ids of the single-lane modes.
inline constexpr int kNodeStart = 1;
inline constexpr int kNodeFinish = 2;
inline constexpr int kNodeStart2 = 4;

// "LAP", "STSIG", "STLIN", "FRST", "PLAP", "FAIL"; "UNKWN" for any other kind.
std::string_view raceKindName(uint32_t kind);
// The file line of one event, without line end: "racer,kind,time,lap,fromStart,class,penalty".
std::string formatLapLine(const TRaceItem& item);
// Parses one file line; false when it is not seven numbers in their ranges.
bool parseLapLine(std::string_view line, TRaceItem& item);
// lap_single.txt text of a list.
std::string lapFileText(const TRaceItemList& list);
// "%d:%02d.%03d" of minutes, seconds, ms.
std::string formatLapTime(int32_t ms);
bool lessRaceItemLap(const TRaceItem* a, const TRaceItem* b);
bool lessRaceItemFromStart(const TRaceItem* a, const TRaceItem* b);

} // namespace velmaro
