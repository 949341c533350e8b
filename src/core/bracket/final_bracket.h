#pragma once
// The elimination bracket of one class: eleven bracket types, the rounds of pairings
// with the links that carry winners and losers on, seeding of the first round,
// progression from the runs, standings, layout and drawing, printing, and the SVG
// picture with its JSON object.
//
// Ownership: a TFinalBracket owns its racer slots, its placeholder racer and every
// round of both round arrays; a round owns its pairs. Pairs only observe (raw
// pointers) racer slots, the placeholder and other pairs of the same bracket. The
// racer slot vector is sized once at construction and never resized, so those
// pointers stay valid for the bracket's life.
//
// Threads: a bracket is plain data. It is advanced by the drag results thread and
// painted, edited, saved and loaded on the main thread; every access to any bracket
// (and to the class-page list that holds them) happens under the one bracket lock,
// BracketPages::lockBrackets() in core/bracket/bracket_pages.h. Brackets are held by
// std::shared_ptr, so a bracket replaced on its page (new generation, file reload)
// lives on until the last holder lets it go. See bracket_pages.h for the rules.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/drag/drag_run.h"
#include "core/json/json_builder.h"
#include "core/platform/paint_canvas.h"
#include "core/platform/status.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

struct TClassItem; // core/registration/registry.h

// Bracket types: the item index of the main window's bracket-type list.
enum TBracketType : std::int32_t {
    BRACKET_SINGLE = 0,       // "Олимпийская, финал до 1 победы"
    BRACKET_SINGLE_THIRD = 1, // "Олимпийская, финал до 1 победы+заезд за 3 место"
    BRACKET_SINGLE_FINAL_BEST_OF_3 = 2, // "Олимпийская, финал до 2 побед"
    BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD = 3, // "Олимпийская, финал до 2 побед+заезд за 3 место"
    BRACKET_DOUBLE = 4,               // "До двух поражений (Double Elimination), правильная"
    BRACKET_SINGLE_ALL_BEST_OF_3 = 5, // "Олимпийская, до 2х побед"
    BRACKET_FIA = 6,                  // "FIA"
    BRACKET_FIA_THIRD = 7,            // "FIA + заезд 3-4"
    BRACKET_FIA_HANDICAP = 8,         // "FIA Handicap"
    BRACKET_FIA_HANDICAP_THIRD = 9,   // "FIA Handicap+заезд 3-4"
    BRACKET_DOUBLE_FIXED = 10,        // "До двух поражений (Kestrel-GT-club)"
};
inline constexpr int kBracketTypeCount = 11;
inline constexpr int kMaxBracketSize = 64;

// The captions of the bracket-type list, index = type.
const std::vector<std::string>& bracketTypeCaptions();
// A size the bracket file and generation accept: a power of two from 2 to 64.
bool isValidBracketSize(std::int32_t size);
bool isValidBracketType(std::int32_t type);

// The name of the registered racer with a number; empty for 0, -1 and unknown numbers.
// The results thread and the window pass the registration racer list in this form.
using TRacerNames = std::function<std::string(std::int32_t number)>;
std::string racerName(std::int32_t number, const TRacerNames& names);

// Runs keyed by run id, as the bracket update takes them. The results rebuild builds it
// from the heat list: a later run of the same id replaces an earlier one; id 0 is left out.
using TDragRunMap = std::map<std::int32_t, TDragRaceItem>;

struct TFinalRacer {
    std::int32_t number = 0;    // 0 empty slot; -1 the placeholder
    std::int32_t classId = 0;   // class id stored by setRacer
    std::int32_t timeKey = 0;   // ms, set by the standings
    std::int32_t place = 0;     // standing, 0 none
    std::int32_t seedIndex = 0; // slot index, later the qualification position

    bool operator==(const TFinalRacer&) const = default;
};

using TFinalRect = PaintRect;

struct TFinalPair {
    std::int32_t seedPos[2] = {0, 0};   // 1-based seed shown per slot, 0 none
    TFinalRacer* placeholder = nullptr; // the bracket's placeholder racer
    std::int32_t forceWinner = -1;      // -1 none, else slot declared winner
    std::int32_t winner = -1;           // -1 undecided, else winning slot
    TDragRaceItem run;                  // own copy; run.runId 0 = no run
    std::int32_t selected = 0;
    TFinalRect rect;                                 // from the last layout
    TFinalRacer* racers[2] = {nullptr, nullptr};     // slot 0 upper, slot 1 lower line
    TFinalPair* nextPair = nullptr;                  // receives the winner
    TFinalPair* loserPair = nullptr;                 // receives the loser
    TFinalPair* sourcePairs[2] = {nullptr, nullptr}; // feed slot 0 and slot 1
    std::int32_t nextSlot = -1;                      // slot of nextPair (type 10 lower pairs), -1 unset
    std::int32_t loserSlot = -1;                     // slot of loserPair, -1 unset
    std::string comments[2];                         // shown in place of the slot's result text

    explicit TFinalPair(TFinalRacer* placeholderRacer = nullptr) : placeholder(placeholderRacer) {}
    TFinalPair(const TFinalPair&) = delete;
    TFinalPair& operator=(const TFinalPair&) = delete;

    // Whether a pair without a winner still sends somebody on (round index r).
    bool hasRacers(std::int32_t r) const;
    // The racer's time in this pair's run, ms; 0 without run or when the racer drove
    // no lane. Elapsed time in laps with crossover, elapsed plus reaction time otherwise.
    std::int32_t racerTime(std::int32_t number, std::int32_t raceMode = timingModeNumber(TimingMode::DragRacing)) const;
    // The winner rule: forced winner, byes, then the run mapped to slots by number.
    // Returns the slot (or -1); does not store it.
    std::int32_t computeWinner() const;
    // The racer in the winning slot / the other slot, null when undecided.
    TFinalRacer* winningRacer() const;
    TFinalRacer* losingRacer() const;
};

struct TFinalRound {
    std::vector<std::unique_ptr<TFinalPair>> pairs; // owned
    std::int32_t count = 0;                         // pairs.size()

    // `count` pairs in their initial state with the given placeholder.
    TFinalRound(std::int32_t pairCount, TFinalRacer* placeholder);
    // The same; the previous round is not used (kept for callers that pass it).
    TFinalRound(std::int32_t pairCount, const TFinalRound* /*previous*/, TFinalRacer* placeholder)
        : TFinalRound(pairCount, placeholder) {}
    TFinalRound(const TFinalRound&) = delete;
    TFinalRound& operator=(const TFinalRound&) = delete;
    TFinalPair* pair(std::int32_t k) const { return k >= 0 && k < count ? pairs[k].get() : nullptr; }
};

class TFinalBracket {
public:
    // Builds an empty bracket: size below 2 becomes 2, above 64 becomes 64; a type
    // outside 0..10 is built as type 0; types 4 and 10 of 2 slots become type 2; the
    // seeded count is min(size, participants). Rounds made on demand stay null.
    // Every pair is laid out once at scale 1. Touches no printer.
    TFinalBracket(std::int32_t size, std::int32_t type, std::int32_t classId, std::int32_t participants,
                  std::string title);
    ~TFinalBracket();
    TFinalBracket(const TFinalBracket&) = delete;
    TFinalBracket& operator=(const TFinalBracket&) = delete;

    // --- model (final_bracket.cpp) ---
    // Stores a racer into slot `slot`: -1 when some slot already holds the same number
    // with the same class id, or when the slot is outside 0..size-1; else 0.
    std::int32_t setRacer(std::int32_t number, std::int32_t classId, std::int32_t slot);
    // Mirrored halving: the racer slot of first-round position `position` and its
    // 1-based seed position.
    TFinalRacer* firstRoundSlot(std::int32_t position, std::int32_t& seedPosition);
    // Number of halvings of size (log2 for powers of two).
    std::int32_t roundsR() const { return r_; }
    TFinalRound* upperRound(std::int32_t r) const;
    TFinalRound* lowerRound(std::int32_t j) const;
    // Makes an on-demand upper round with `pairCount` pairs when it does not exist
    // (the bracket file reader's use). Null for an index outside the array.
    TFinalRound* ensureUpperRound(std::int32_t r, std::int32_t pairCount = 1);
    // Destroys an upper round; clears selectedPair when it pointed into it.
    void destroyUpperRound(std::int32_t r);
    // Whether `pair` belongs to this bracket (any existing round).
    bool ownsPair(const TFinalPair* pair) const;

    // --- progression (bracket_progress.cpp) ---
    // Brings the bracket up to date with the runs: run copies, winners, advancement,
    // deciders and reset round, standings, layout at scale 1 with `names`, SVG, JSON.
    // `raceMode` is the timing mode (laps with crossover rank by elapsed time alone).
    void update(const TDragRunMap& runs, const TRacerNames& names = {},
                std::int32_t raceMode = timingModeNumber(TimingMode::DragRacing));

    // --- standings (bracket_standings.cpp) ---
    void computePlaces();
    void computePlacesDouble();
    void placeRound(std::int32_t r, std::int32_t& place, bool& laterDecided);

    // --- layout, drawing, printing (bracket_draw.cpp) ---
    // Layout of every pair (canvas null) or layout and drawing; stores `names` as racerList.
    void draw(PaintCanvas* canvas, const TRacerNames& names, double scale);
    void drawPair(PaintCanvas* canvas, std::int32_t round, std::int32_t pairIndex, const TRacerNames& names,
                  std::int32_t lower, double scale, std::int32_t offsetX, std::int32_t offsetY, bool screen);
    // Selects the pair at (x, y) of the last layout. Returns the run id the run grid
    // should select when an upper pair was hit (0 clears the selection), nullopt when
    // the run selection stays as it is.
    std::optional<std::int32_t> selectAt(std::int32_t x, std::int32_t y);
    // Prints the bracket on one landscape page of `printer` (landscape is set here, at
    // print time): the title "Класс: <title>" and every pair, scaled so that forty box
    // heights fill the printable height, or smaller when the drawing would not fit the
    // page. Names come from racerList (the last draw). Leaves the pair rectangles in
    // printer units until the next layout; maxRight/maxBottom are not changed.
    // Device failures are returned.
    Status print(PrintDevice& printer);

    // --- SVG and JSON (bracket_svg.cpp) ---
    void makeSVG();
    void roundSVG(const TFinalRound& round, std::string& out) const;
    void fillJSON();

    // --- fields ---
    std::int32_t maxRight = 0;
    std::int32_t maxBottom = 0;
    std::int32_t seededCount = 0;
    std::unique_ptr<TFinalRacer> placeholder;
    std::int32_t upperRoundCount = 0;
    std::int32_t lowerRoundCount = 0;
    std::vector<std::unique_ptr<TFinalRound>> upperRounds; // null = on-demand round absent
    std::vector<std::unique_ptr<TFinalRound>> lowerRounds;
    TClassItem* classItem = nullptr; // set by the creator; not owned
    TFinalPair* selectedPair = nullptr;
    TRacerNames racerList; // names of the last draw
    std::string title;
    std::int32_t classId = 0;
    std::int32_t boxWidth = 200;
    std::int32_t boxHeight = 34;
    std::int32_t upperHeight = 0;
    std::int32_t lowerHeight = 0;
    std::int32_t columnWidth = 264;
    std::int32_t totalWidth = 0;
    std::int32_t size = 2;
    std::int32_t type = 0;
    std::vector<TFinalRacer> racers; // `size` slots, never resized
    MyJSONObject json;
    std::string svg;                                                  // UTF-8
    std::int32_t raceMode = timingModeNumber(TimingMode::DragRacing); // timing mode of the last update

private:
    void buildRounds();
    void makeLinks();
    void makeFixedLinks();
    void seedFirstRound();
    void setGeometry();
    void progressUpper();
    void progressLower();
    void progressOnDemand();
    void onDemandDecider(std::int32_t f1, std::int32_t f2, std::int32_t d);
    void onDemandReset();
    TFinalRacer* emptySeedSlot();

    std::int32_t r_ = 1;

    // What `json` was last made from (fillJSON): the object is a function of these three
    // alone, so an update that draws the same SVG keeps it as it is.
    bool jsonMade_ = false;
    std::int32_t jsonClassId_ = 0;
    std::string jsonTitle_;
    std::string jsonSvg_;
};

// Orders on racer slots for the standings; each true when a goes before b.
bool compareTimes(const TFinalRacer* a, const TFinalRacer* b);
bool compareTimesDescending(const TFinalRacer* a, const TFinalRacer* b);
bool comparePlaces(const TFinalRacer* a, const TFinalRacer* b);

// Lane time text: empty for 0, else a sign (blank or "-") and "SS.mmm" or "M:SS.mmm".
std::string bracketLaneTime(std::int32_t ms);

} // namespace velmaro
