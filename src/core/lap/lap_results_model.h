#pragma once
// The kept lap results: a copy of the counted lap events grouped per racer and class,
// with each group's totals and cell texts kept from one build to the next. A change
// of the lap events reaches it as a LapResultsChange (the whole list after an edit,
// or one appended event and the moved current flags after a hit); a build then
// formats again only the groups whose events changed and assembles the results
// table, the HTML table and the class result lists from the kept texts.
//
// It works on copies only (never on a LapTiming's list), so it may live on another thread
// than the lap events. Not thread safe itself: one thread owns it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/lap/lap_host.h"
#include "core/lap/lap_results.h"

namespace velmaro {

struct TRaceItem;

// One counted lap event (LAP, PLAP or FAIL with a racer; a LAP or PLAP also with a
// time) as the results see it.
struct LapEventValue {
    int32_t index = 0; // in the lap events (what a lap cell leads to)
    uint32_t racer = 0;
    uint32_t kind = 0;
    int32_t lap = 0;
    int32_t fromStart = 0;
    int32_t classId = -1;
    int32_t penalty = 0;
    uint8_t current = 0;
    bool operator==(const LapEventValue&) const = default;
};

// formatResultTime appended to `out`.
void appendResultTime(std::string& out, int32_t ms);
// A text of the HTML table: cut before its first "|", with & < > " ' escaped.
void appendHtmlText(std::string& out, std::string_view text);

// True when the event takes part in the lap results.
bool countsForLapResults(const TRaceItem& e);
LapEventValue lapEventValue(const TRaceItem& e, int32_t index);

// The registry as one build reads it.
struct LapRegistryView {
    std::vector<LapClassInfo> classes; // display order
    std::vector<LapRacerInfo> racers;  // registration order
    bool operator==(const LapRegistryView&) const = default;
};

// What changed since the last change handed over (main thread -> model).
struct LapResultsChange {
    enum class Kind {
        Whole,  // `events` is every counted event of the list
        Append, // `events` holds the events appended at the end of the list (0 or 1)
    };
    // The current flag of one counted event, moved by the recalculation after a hit.
    struct CurrentFlag {
        int32_t index = 0;
        uint32_t racer = 0;
        int32_t classId = -1;
        uint8_t current = 0;
    };
    Kind kind = Kind::Whole;
    bool enabled = false; // lap mode, the lap events exist and so does the results window
    TLapRankOptions options;
    std::vector<LapEventValue> events;
    std::vector<CurrentFlag> currentFlags;           // Append only
    std::shared_ptr<const LapRegistryView> registry; // never null when enabled
    std::filesystem::path tableFile;                 // www/table.html of the program folder
};

// One finished build.
struct LapResultsOutput {
    LapResultsTable table;
    std::string html;                                       // the HTML results table
    std::vector<std::pair<int32_t, uint32_t>> classResults; // (class id, racer number) in ranking order
    std::filesystem::path tableFile;
};

class LapResultsModel {
public:
    LapResultsModel();
    ~LapResultsModel();
    LapResultsModel(const LapResultsModel&) = delete;
    LapResultsModel& operator=(const LapResultsModel&) = delete;

    void apply(LapResultsChange change);
    // Nothing while the last change was not enabled (another mode, no results window).
    std::optional<LapResultsOutput> build();

private:
    struct Group;
    struct RegistryIndex;
    class TableWriter;
    void markAllDirty();
    Group& groupOf(uint32_t racer, int32_t classId);
    std::vector<Group*> groupsInClassOrder(const RegistryIndex& index);
    void writeClassSections(TableWriter& writer, const std::vector<Group*>& order, const RegistryIndex& index,
                            std::vector<std::pair<int32_t, uint32_t>>& classResults);
    void writeOverallSection(TableWriter& writer, std::vector<Group*>& order, const RegistryIndex& index);

    std::unordered_map<uint64_t, std::unique_ptr<Group>> groups_;
    bool enabled_ = false;
    bool haveOptions_ = false;
    TLapRankOptions options_;
    std::shared_ptr<const LapRegistryView> registry_;
    std::filesystem::path tableFile_;
};

} // namespace velmaro
