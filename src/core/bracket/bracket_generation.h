#pragma once
// Bracket generation: a new elimination bracket for one class page, its size worked out
// from the size chosen on the page and the racers entered in the class, its racer slots
// filled from the qualification order, a random draw or an order set by hand.
//
// Main thread only (it reads the registry). It takes the bracket lock for each access
// to the page and never holds it across a question or the manual order dialog.
// Ownership: racer pointers in the orders below observe the registry's records.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/bracket/bracket_pages.h"

namespace velmaro {

struct TRacerItem;
struct TClassItem;
class TRegistry;
class Operator;

// Item indexes of the main window's generation method list.
enum TGenerationMethod : std::int32_t {
    GENERATION_QUALIFICATION = 0, // "Квалификация"
    GENERATION_DRAW = 1,          // "Жребий (случайный порядок)"
    GENERATION_MANUAL = 2,        // "Вручную"
};

inline constexpr const char* kChooseClassPageText = "Выберите соответствующую вкладку!";
inline constexpr const char* kReplaceBracketText = "В этом классе уже создана сетка.\nУдалить данные?";
inline constexpr const char* kTooManyRacersText =
    "Количество зарегистрированных\nучастников больше\nколичества участников в сетке.\nПродолжить?";

// The bracket size for `racerCount` racers when `requested` slots were chosen: the
// requested size halved while it is at least twice the racer count (it never grows).
// 0 racers give 0 (no bracket); the result may be 1, which the bracket makes 2.
std::int32_t generatedBracketSize(std::int32_t requested, std::int32_t racerCount);

// The draw's pseudo-random generator: 64-bit linear congruential (x 22695477 + 1),
// yielding bits 32..62 of the state (0 .. 2^31-1).
class TBracketRandom {
public:
    explicit TBracketRandom(std::int64_t seedSeconds);
    std::uint32_t next();

private:
    std::uint64_t state_ = 0;
};

// Shuffles so that every position i is exchanged with a strictly later one
// (j = i + 1 + r mod (n-1-i)).
void shuffleDrawOrder(std::vector<TRacerItem*>& racers, TBracketRandom& random);

// The registered racers of the seeded slots of `bracket`, in slot order (unregistered
// numbers and empty slots left out). REQUIRES: bracket lock held.
std::vector<TRacerItem*> previousBracketOrder(const TFinalBracket& bracket, const TRegistry& registry);
// The registered racers of the class's timed results (its results when it has none), in order.
std::vector<TRacerItem*> qualificationOrder(const TClassItem& cls, const TRegistry& registry);
// The racers entered in the class, in registration order, at most `limit` of them.
std::vector<TRacerItem*> classRacers(const TClassItem& cls, const TRegistry& registry, std::size_t limit);
// `previous` first, then the class's other racers in registration order.
std::vector<TRacerItem*> manualOrderList(const std::vector<TRacerItem*>& previous, const TClassItem& cls,
                                         const TRegistry& registry);
// Racer k of the order into slot k, at most `limit` racers (the generated size, which
// is 1 for a class of one racer while the bracket holds 2 slots). REQUIRES: bracket lock held.
void placeRacers(TFinalBracket& bracket, const std::vector<TRacerItem*>& order, std::int32_t classId,
                 std::int32_t limit);

// What generation needs of the console.
class TBracketGenerationPort {
public:
    TBracketGenerationPort() = default;
    TBracketGenerationPort(const TBracketGenerationPort&) = delete;
    TBracketGenerationPort& operator=(const TBracketGenerationPort&) = delete;
    virtual ~TBracketGenerationPort() = default;
    // The manual order dialog, modal: shows `racers` and on OK leaves them in the order
    // the operator set. False on any other close.
    virtual bool editRacerOrder(std::vector<TRacerItem*>& racers) = 0;
    // The page's bracket was replaced or removed: fit and repaint its window.
    virtual void bracketInstalled() = 0;
    // DragResults::notifyResultsThread: the results thread rebuilds and advances every bracket.
    virtual void requestRebuild() = 0;
    // Folder of the open event (final_bracket.txt); empty = none.
    virtual std::filesystem::path eventFolder() = 0;
};

struct TGenerationRequest {
    std::int32_t type = 0;          // item index of the bracket type list (outside 0..10 builds type 0)
    std::int32_t method = 0;        // TGenerationMethod; another value places no racer
    std::int32_t requestedSize = 8; // value of the page's size list
    std::int64_t nowSeconds = 0;    // calendar time, seeds the draw
};

enum class TGenerationOutcome {
    Kept,      // the operator kept the old bracket
    NoRacers,  // the class has no racers: the page holds no bracket
    Generated, // a new bracket with its racers
    Empty,     // a new bracket without racers (question declined, dialog cancelled, no method)
};

// Generates the bracket of `page` (TMainForm::sbGenerateBracketClick after the page
// check). Whenever the page's bracket changed, final_bracket.txt is rewritten at once
// and a rebuild is requested, so the file and memory agree on every path.
// `pages` is the list `page` belongs to (its lock guards the page).
TGenerationOutcome generateBracket(BracketPages& pages, const std::shared_ptr<TBracketPage>& page,
                                   const TGenerationRequest& request, TRegistry& registry, Operator& op,
                                   TBracketGenerationPort& port);

} // namespace velmaro
