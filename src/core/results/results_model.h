#pragma once
// The drag results as a model that is kept between rebuilds: a rebuild after one changed
// run recomputes only the racers of that run, the lists of their classes and the overall
// lists, reuses every other racer's document pieces and re-plays the brackets. A full
// rebuild (first one, other options, runs inserted or removed, many runs changed) makes
// it anew. Both give the same documents and lists, byte for byte. The four documents of
// a rebuild after a hit are the last ones with the changed pieces put in (the model keeps
// where each run's, class's and racer's objects sit, not their texts), and the class lists
// are written over those of the rebuild before last once nobody holds it.
//
// Used by the results worker only (one thread); the brackets of the class pages it is
// built with (not owned, outlive it) are read under their lock.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/bracket/final_bracket.h"
#include "core/results/drag_results.h"

namespace velmaro {

class JsonTextBuffer;

namespace results_detail {
// A racer's place in the qualification order as two integers (results_model.cpp).
struct QualKey {
    std::uint64_t hi = 0, lo = 0;
    bool operator<(const QualKey& o) const { return hi != o.hi ? hi < o.hi : lo < o.lo; }
    bool operator==(const QualKey&) const = default;
};
} // namespace results_detail

class DragResultsModel {
public:
    explicit DragResultsModel(BracketPages& brackets) : brackets_(brackets) {}
    DragResultsModel(const DragResultsModel&) = delete; // its racer names refer to it
    DragResultsModel& operator=(const DragResultsModel&) = delete;

    // A rebuild of `runs` (none may be null) under `options`. `changed` lists the indexes
    // of runs that differ from the previous call (runs beyond the previous count are
    // new); null = unknown, rebuild everything. The rebuild is full anyway when the
    // options differ from the previous call's or fewer runs are given.
    std::shared_ptr<TDragResultsView> build(const std::vector<const TDragRaceItem*>& runs,
                                            const TDragResultsOptions& options,
                                            const std::vector<std::size_t>* changed);

    // The rewritten lane breakout flags of a run (qualification runs: the ET under the
    // breakout limit of the racer's first class).
    std::array<std::int32_t, 2> laneBreakout(std::size_t runIndex) const { return runs_[runIndex].flag; }

    // Incremental rebuilds since the last full one; full rebuilds so far.
    std::uint64_t incrementalCount() const { return incremental_; }
    std::uint64_t fullCount() const { return full_; }

private:
    // Where a piece sits in the last rebuild's document.
    struct Span {
        std::uint32_t start = 0, length = 0;
    };
    struct RunState {
        std::array<std::int32_t, 2> racer{0, 0}; // racer of a timed lane; 0 = lane not timed
        std::array<std::int32_t, 2> flag{0, 0};  // lane breakout flags as the attempts see them
        std::int32_t runId = 0;
        Span doc; // the run's lane objects in the last allDragResults (start only when none)
    };
    struct RacerState {
        std::vector<std::uint32_t> lanes; // run index * 2 + lane of the timed lanes, ascending
        const TRacerItem* racer = nullptr;
        std::vector<std::int32_t> classes; // distinct class ids of the racer (not -1), in its order
        std::uint32_t countedLanes = 0;    // a whole rebuild's count, before it makes the lane list
    };
    // A run of attempts in attempts_.
    struct AttemptRange {
        std::uint32_t start = 0, count = 0;
    };
    // One racer in one class.
    struct Entry {
        TDragResult result, qual; // their attempts are kept in attempts_, these lists stay empty
        AttemptRange resultAttempts, qualAttempts;
        std::uint32_t firstLane = 0; // run index * 2 + lane of the racer's first timed lane
        std::array<Span, 3> doc;     // its objects in the class's pieces (start only when none)
        bool fresh = true;           // attempts rebuilt since its objects were written
        bool raceDirty = true;
    };
    // A racer of a class's standings: an entry, or a bracket seed (entry null).
    struct Standing {
        const TDragResult* result = nullptr;
        const Entry* entry = nullptr;
        bool operator==(const Standing&) const = default;
    };
    struct ClassState {
        std::unordered_map<std::int32_t, Entry> entries;           // by racer number
        std::vector<std::pair<std::uint32_t, std::int32_t>> order; // (first lane, number), ascending
        std::vector<Entry*> qualOrder;
        std::vector<TDragResult> seeded;                       // bracket racers without a result, in bracket order
        std::unordered_map<std::int32_t, std::int32_t> places; // final places from the brackets
        std::string practiceText, qualText, raceText;          // the class's members' array contents
        std::vector<Standing> standings;                       // into entries and seeded
        // The last sorts' input: (key, racer) in cls.order order (seeds last for standings).
        std::vector<std::pair<results_detail::QualKey, Entry*>> qualKeys;
        std::vector<std::pair<std::uint64_t, Standing>> standingKeys;
        bool qualSorted = false, standingsSorted = false;
        std::uint64_t changedAt = 0; // the rebuild that last changed its lists
        std::int32_t maxAttempts = 0;
        bool dirty = true; // racers changed: order, qualification and texts to redo
        bool textsDirty = true;
        bool listed = false;                 // has racers (else only a bracket's class)
        bool orderChanged = true;            // racers came, went or moved since the pieces were written
        bool textLayout = false;             // the racers' spans in the pieces are known
        std::array<std::string, 3> oldTexts; // the pieces before, while they are patched
        std::array<Span, 3> doc;             // its array contents in the last practice, qual, race documents
    };

    void reset(const TDragResultsOptions& options);
    void readRun(std::size_t index, const TDragRaceItem& run);
    void dropRun(std::size_t index);
    void addRun(std::size_t index);
    void addAllRuns(const std::vector<const TDragRaceItem*>& runs);
    RacerState& racerOf(std::int32_t number);
    void rebuildRacerEntries(std::int32_t number);
    void readAllRuns(const std::vector<const TDragRaceItem*>& runs, const TDragResultsOptions& options);
    std::size_t readChangedRuns(const std::vector<const TDragRaceItem*>& runs, const std::vector<std::size_t>& changed,
                                std::vector<std::size_t>& changedRuns);
    void rebuildChangedRacers(bool full);
    void rankClass(std::int32_t classId, ClassState& cls);
    void playBrackets(const std::vector<const TDragRaceItem*>& runs, std::string& bracketMembers);
    void finishClass(std::int32_t classId, ClassState& cls);
    std::vector<Entry*> placeClassEntries(ClassState& cls, bool finals);
    bool patchClassTexts(ClassState& cls, const std::vector<Entry*>& entries, std::int32_t limit, bool finals,
                         int texts);
    void writeClassTexts(ClassState& cls, const std::vector<Entry*>& entries, std::int32_t limit, int texts);
    void sortStandings(ClassState& cls, const std::vector<Entry*>& entries);
    void appendLaneObjects(JsonTextBuffer& text, const TDragRaceItem& run) const;
    void writeLaneDocument(std::string& all, const std::vector<const TDragRaceItem*>& runs,
                           const std::vector<std::size_t>& changedRuns, std::size_t previous, bool patch);
    void writeClassDocuments(TDragResultsView& view, const std::string& bracketMembers);
    std::shared_ptr<TDragResultsView> takeSpare(bool full);
    std::int32_t writeClassLists(TDragResultsView& view, TDragResultsView* spare);
    std::int32_t breakoutLimitMs(std::int32_t classId) const;
    std::span<const TDragAttempt> attemptsOf(AttemptRange range) const {
        return {attempts_.data() + range.start, range.count};
    }
    std::span<const TDragAttempt> attemptsOf(const Standing& s) const {
        return s.entry ? attemptsOf(s.entry->resultAttempts) : std::span<const TDragAttempt>(s.result->attempts);
    }
    // Room for `count` more attempts at the end of attempts_; its start.
    AttemptRange takeAttempts(std::uint32_t count);
    void dropAttempts(const Entry& e) { liveAttempts_ -= e.resultAttempts.count + e.qualAttempts.count; }
    void compactAttempts();
    const TRacerItem* findRacer(std::int32_t number) const;

    BracketPages& brackets_;
    TDragResultsOptions options_;
    bool ready_ = false;
    // The registry's racers by number: a table indexed by the number while the numbers
    // are small, else (number, racer) ascending (then the table is empty).
    std::vector<const TRacerItem*> racerByNumber_;
    std::vector<std::pair<std::int32_t, const TRacerItem*>> racerNumbers_;
    std::vector<std::pair<std::int32_t, std::int32_t>> limits_; // (class id, breakout limit ms), ascending
    TRacerNames names_;

    // The entries' attempts, each entry's two lists side by side. Rebuilt entries take
    // new room at the end; the lists left behind are dropped by compactAttempts.
    std::vector<TDragAttempt> attempts_;
    std::size_t liveAttempts_ = 0;

    std::vector<RunState> runs_;
    std::vector<std::pair<std::int32_t, std::uint32_t>> runsById_; // (run id, run index), ascending
    std::unordered_map<std::int32_t, RacerState> racers_;
    std::map<std::int32_t, ClassState> classes_;
    std::vector<std::int32_t> dirtyRacers_;
    // The timed lanes as the racers' lists take them, by run index * 2 + lane (readRun;
    // an untimed lane's is left as it was).
    struct LaneAttempt {
        TDragAttempt attempt;     // without the breakout flag
        std::int32_t classId = 0; // the lane's class in the run
        std::int32_t flag = 0;    // the lane's breakout flag
    };
    std::vector<LaneAttempt> lanes_;
    std::vector<std::int32_t> classIds_; // -1 and the racer's classes, while its entries are rebuilt
    bool bulk_ = false;                  // a whole rebuild: the classes' racer orders are sorted at the end
    // The last rebuild's documents are patched into the next one's where their layout
    // still holds: runs and classes at the places recorded in their spans.
    bool laneLayout_ = false;
    bool classLayout_ = false;
    std::vector<std::int32_t> layoutClasses_; // the classes of the last class documents, in their order
    Span bracketSpan_;                        // the bracket members in the last raceResults
    // The last two rebuilds handed out. A class's lists are moved over from the older one
    // once nobody else holds it, else copied from the last one, unless they changed.
    std::shared_ptr<TDragResultsView> last_, spare_;
    std::uint64_t generation_ = 0;
    std::uint64_t incremental_ = 0, full_ = 0;
};

} // namespace velmaro
