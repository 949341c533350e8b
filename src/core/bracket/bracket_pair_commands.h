#pragma once
// The pair commands of the bracket window, as operations on the bracket: the three reset
// scopes, technical win and loss, comments, the slot texts of the dialogs, and finding
// the pair's run in the run list.
//
// REQUIRES: bracket lock held for every operation that takes a pair (the pair belongs to
// a bracket of a class page). Main thread: the run look-up reads the runs (DragRuns).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/bracket/final_bracket.h"

namespace velmaro {

class BracketPages;
class TRegistry;
class DragRuns; // core/drag/drag_runs.h

inline constexpr const char* kOverwriteBracketText = "Будет переписано продолжение сетки\nПереписать данные заезда?";
inline constexpr const char* kDeleteRunDataText = "Точно удалить данные заезда?";
// Told when the pair a command asked about left its page's bracket while the question was open.
inline constexpr const char* kPairGoneText = "Пара сетки изменилась, пока был открыт вопрос.\nКоманда не выполнена.";

// The pair a command works on, as it is kept across a question: its bracket and its place
// there (round array, round, index), never the pair's address (an update of the bracket may
// remove a decider or reset round while the question is open).
struct TPairTarget {
    std::shared_ptr<TFinalBracket> bracket;
    bool lower = false;
    std::int32_t round = 0;
    std::int32_t index = 0;
};
// REQUIRES: lock held. The target of `pair` of `bracket`; nullopt when the bracket does
// not own the pair.
std::optional<TPairTarget> pairTarget(const std::shared_ptr<TFinalBracket>& bracket, const TFinalPair* pair);
// REQUIRES: lock held. The target's pair now: null when its bracket is on no class page
// any more (generated again, reloaded) or no pair stands at its place.
TFinalPair* findPairTarget(const BracketPages& pages, const TPairTarget& target);

// A pair has a result to lose: a run (run id not 0) or a forced winner.
bool pairHasResult(const TFinalPair& pair);

// Clears the pair and every pair reachable through nextPair and loserPair: forced
// winner, comments, winner and run. Each pair is cleared once, so links that loop
// (a malformed bracket) end. A null pair does nothing.
void resetPair(TFinalPair* pair);
// "Удалить заезд": the pair and the chain of nextPair links from it, then its loserPair
// and the chain from that: forced winner, winner and run; comments stay.
void clearPairRunData(TFinalPair* pair);
// "Подготовить" after Yes: the pair as resetPair clears it, its nextPair and loserPair
// (one link each) lose run, winner and forced winner; comments stay.
void clearPairForPrepare(TFinalPair* pair);

// Text of slot k in the winner and comments dialogs: "№ 12 Name" for a registered
// racer, "№ 7" for another number (the placeholder reads "№ -1"), else "--Нет участника--".
std::string pairSlotText(const TFinalPair& pair, int k, const TRegistry& registry);

// Technical win (`win` true) or loss of slot `chosen` (0 or 1): the pair keeps its run,
// everything after it is reset; forced winner and the chosen slot's comment set.
void applyTechnicalResult(TFinalPair& pair, int chosen, bool win, const std::string& comment);

// Where the run with `runId` stands in the run grid now (looked up in `runs` by id,
// never from the pair's copy): its first and last grid row. Selects it as a whole run
// (selectGridCell). nullopt when the id is 0 or no run has it.
struct TRunGridRows {
    std::int32_t first = 0;
    std::int32_t last = 0;
    bool operator==(const TRunGridRows&) const = default;
};
std::optional<TRunGridRows> selectRunForPair(DragRuns& runs, std::int32_t runId);

} // namespace velmaro
